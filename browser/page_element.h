// An element of the page as the button and drag rules see it. The rules work
// on this small face so that they can be exercised without an HTML engine;
// the browser's IHTMLElement is wrapped by HtmlPageElement.
#pragma once
#include <windows.h>
#include <mshtml.h>
#include <memory>
#include <string>

namespace kvr {

class PageElement {
public:
    virtual ~PageElement() = default;
    // Attribute "disabled" read with getAttribute (flags 0): true only for a
    // VT_BOOL true value.
    virtual bool IsDisabled() = 0;
    // offsetLeft/Top/Width/Height as a rectangle; false when unavailable.
    virtual bool OffsetRect(RECT* rc) = 0;
    // style.backgroundPositionX = px (VT_I4); false without a style object.
    virtual bool SetBackgroundX(int px) = 0;
    // The element's click(): the page's own click handler runs.
    virtual void Click() = 0;
    // Whether this is the same browser element as other.
    virtual bool Same(const PageElement& other) const = 0;
};

// Wraps a browser element, holding a reference for the wrapper's lifetime.
std::shared_ptr<PageElement> WrapHtmlElement(IHTMLElement* element);

// Class name and lower-case tag name of an element ("" when unavailable).
std::wstring ElementClassName(IHTMLElement* element);
std::wstring ElementTagName(IHTMLElement* element);

}  // namespace kvr
