#include "browser/frame_trust.h"

#include <exdisp.h>
#include <mshtml.h>
#include <servprov.h>
#include "base/endpoints.h"
#include "base/owned.h"
#include "browser/test_hooks.h"

namespace kvr {

namespace {

// A frame's browser object is a dual IWebBrowser2; the events hand it over
// as IDispatch, and its properties are read through that.
constexpr DISPID kDispidParent = 201;       // IWebBrowser2::Parent
constexpr DISPID kDispidLocationUrl = 211;  // IWebBrowser2::LocationURL
// Frames inside frames deeper than this are not followed (and not trusted).
constexpr int kMaxFrameDepth = 16;

bool ReadProperty(IDispatch* object, DISPID id, VARIANT* value) {
    DISPPARAMS none{};
    return SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value,
                                    nullptr, nullptr));
}

// One COM object: the same IUnknown. (Compared through Get(): ComPtrs compare
// as booleans with MinGW's headers.)
bool SameObject(IUnknown* a, IUnknown* b) {
    ComPtr<IUnknown> identityA, identityB;
    return a && b && SUCCEEDED(a->QueryInterface(IID_IUnknown, &identityA)) &&
           SUCCEEDED(b->QueryInterface(IID_IUnknown, &identityB)) && identityA.Get() == identityB.Get();
}

// The frame that frame lies in. The browser reports a frame's Parent as the
// document of the page around it, whose window leads to that page's frame.
ComPtr<IDispatch> ParentFrame(IDispatch* frame) {
    ComPtr<IDispatch> parent;
    VARIANT value;
    ::VariantInit(&value);
    if (ReadProperty(frame, kDispidParent, &value) && value.vt == VT_DISPATCH) parent = value.pdispVal;
    ::VariantClear(&value);
    ComPtr<IHTMLDocument2> document;
    if (!parent || FAILED(parent.As(&document))) return parent;
    parent.Reset();
    ComPtr<IHTMLWindow2> window;
    ComPtr<IServiceProvider> services;
    ComPtr<IWebBrowser2> browser;
    if (SUCCEEDED(document->get_parentWindow(&window)) && window && SUCCEEDED(window.As(&services)) &&
        SUCCEEDED(services->QueryService(IID_IWebBrowserApp, IID_IWebBrowser2, &browser)) && browser)
        browser.As(&parent);
    return parent;
}

}  // namespace

std::wstring FramePageUrl(IDispatch* frame) {
#ifdef KVR_TEST_HOOKS
    // Under Wine no page ever loads: the automation channel says what the
    // navigating frame shows.
    if (const wchar_t* page = TestHookFramePage()) return page;
#endif
    std::wstring url;
    if (!frame) return url;
    VARIANT value;
    ::VariantInit(&value);
    if (ReadProperty(frame, kDispidLocationUrl, &value) && value.vt == VT_BSTR && value.bstrVal)
        url.assign(value.bstrVal, ::SysStringLen(value.bstrVal));
    ::VariantClear(&value);
    return url;
}

bool FrameChainShowsTrustedPages(IDispatch* frame, IDispatch* topLevel) {
    ComPtr<IDispatch> current(frame);
    for (int depth = 0; current && depth < kMaxFrameDepth; ++depth) {
        if (!IsTrustedPageUrl(FramePageUrl(current.Get()).c_str())) return false;
        if (SameObject(current.Get(), topLevel)) return true;
        current = ParentFrame(current.Get());
    }
    return false;
}

}  // namespace kvr
