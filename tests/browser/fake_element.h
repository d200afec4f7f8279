// A page element for the button rules, recording what the rules did to it.
#pragma once
#include <vector>
#include "browser/page_element.h"

namespace kvrtest {

class FakeElement : public kvr::PageElement {
public:
    explicit FakeElement(RECT rc = RECT{10, 10, 60, 30}) : rc(rc) {}
    bool IsDisabled() override { return disabled; }
    bool OffsetRect(RECT* out) override {
        *out = rc;
        return true;
    }
    bool SetBackgroundX(int px) override {
        positions.push_back(px);
        return true;
    }
    void Click() override { ++clicks; }
    bool Same(const kvr::PageElement& other) const override { return &other == this; }

    bool disabled = false;
    RECT rc;
    std::vector<int> positions;
    int clicks = 0;
};

}  // namespace kvrtest
