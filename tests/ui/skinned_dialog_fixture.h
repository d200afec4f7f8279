// The skinned dialog the control tests open: a caption band over a body, with
// magenta corners, as a modeless window at (100, 100) on the virtual display.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include "tests/ui/ui_test_util.h"
#include "ui/image.h"

namespace kvrtest {

inline const COLORREF kBand = RGB(20, 60, 140);
inline const COLORREF kBody = RGB(200, 220, 240);

inline bool CornerMagenta(int x, int y) {
    // A 3-pixel staircase in each corner of a 30 x 51 bitmap.
    auto tl = [](int cx, int cy) { return cx + cy < 2 || (cx == 0 && cy == 2); };
    return tl(x, y) || tl(29 - x, y) || tl(x, 50 - y) || tl(29 - x, 50 - y);
}

inline HBITMAP TestBackground() {
    return MakeBitmap(30, 51, [](int x, int y) {
        if (CornerMagenta(x, y)) return kvr::kMaskColor;
        return y < 30 ? kBand : kBody;
    });
}

class SkinnedDialog : public ::testing::Test {
protected:
    void SetUp() override { InitControls(); }
    void TearDown() override {
        if (dlg && dlg->IsWindow()) ::DestroyWindow(*dlg);
        Pump(50);
    }

    // A modeless skinned dialog of the given size at (100, 100).
    void Open(int w, int h, bool resizable = false, int caption = 30,
              std::function<void(SkinTestDlg&)> more = nullptr) {
        dlg = std::make_unique<SkinTestDlg>();
        dlg->init = [=](SkinTestDlg& d) {
            d.SetCaptionHeight(caption);
            d.SetBorderWidth(4);
            d.SetResizable(resizable);
            d.SetCaptionButtonMargin(0);
            d.SetCaptionButtonTop(0);
            ::SetWindowPos(d, nullptr, 100, 100, w, h, SWP_NOZORDER);
            d.SetSkin(TestBackground(), false, true, nullptr, nullptr, nullptr, nullptr);
            if (more) more(d);
        };
        ASSERT_NE(nullptr, dlg->Create(nullptr));
        ::ShowWindow(*dlg, SW_SHOW);
        ::SetForegroundWindow(*dlg);
        Pump(150);
    }

    COLORREF At(int x, int y) {
        const POINT p = ClientToScreenPt(*dlg, x, y);
        return ScreenPixel(p.x, p.y);
    }

    std::unique_ptr<SkinTestDlg> dlg;
};

}  // namespace kvrtest
