#include "browser/page_element.h"

#include <cwctype>
#include "base/owned.h"

namespace kvr {

namespace {

class HtmlPageElement : public PageElement {
public:
    explicit HtmlPageElement(IHTMLElement* e) : m_el(e) {}  // a reference of its own
    HtmlPageElement(const HtmlPageElement&) = delete;
    HtmlPageElement& operator=(const HtmlPageElement&) = delete;

    bool IsDisabled() override {
        const OwnedBstr name(::SysAllocString(L"disabled"));
        if (!name) return false;
        VARIANT v;
        ::VariantInit(&v);
        bool disabled = false;
        if (SUCCEEDED(m_el->getAttribute(name.get(), 0, &v)))
            disabled = v.vt == VT_BOOL && v.boolVal != VARIANT_FALSE;
        ::VariantClear(&v);
        return disabled;
    }

    bool OffsetRect(RECT* rc) override {
        long x = 0, y = 0, w = 0, h = 0;
        if (FAILED(m_el->get_offsetLeft(&x)) || FAILED(m_el->get_offsetTop(&y)) ||
            FAILED(m_el->get_offsetWidth(&w)) || FAILED(m_el->get_offsetHeight(&h)))
            return false;
        rc->left = x;
        rc->top = y;
        rc->right = x + w;
        rc->bottom = y + h;
        return true;
    }

    bool SetBackgroundX(int px) override {
        ComPtr<IHTMLStyle> style;
        if (FAILED(m_el->get_style(&style)) || !style) return false;
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = px;
        return SUCCEEDED(style->put_backgroundPositionX(v));
    }

    void Click() override { m_el->click(); }

    bool Same(const PageElement& other) const override {
        auto* o = dynamic_cast<const HtmlPageElement*>(&other);
        if (!o) return false;
        // COM identity: compare the IUnknown of both.
        ComPtr<IUnknown> a, b;
        m_el->QueryInterface(IID_IUnknown, &a);
        o->m_el->QueryInterface(IID_IUnknown, &b);
        return a && a.Get() == b.Get();
    }

private:
    ComPtr<IHTMLElement> m_el;
};

}  // namespace

std::shared_ptr<PageElement> WrapHtmlElement(IHTMLElement* element) {
    if (!element) return nullptr;
    return std::make_shared<HtmlPageElement>(element);
}

std::wstring ElementClassName(IHTMLElement* element) {
    std::wstring out;
    OwnedBstr b;
    if (element && SUCCEEDED(element->get_className(b.put())) && b) out = b.get();
    return out;
}

std::wstring ElementTagName(IHTMLElement* element) {
    std::wstring out;
    OwnedBstr b;
    if (element && SUCCEEDED(element->get_tagName(b.put())) && b) out = b.get();
    for (auto& c : out) c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

}  // namespace kvr
