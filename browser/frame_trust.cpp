#include "browser/frame_trust.h"

#include <exdisp.h>
#include "base/endpoints.h"
#include "browser/test_hooks.h"

namespace kvr {

std::wstring FramePageUrl(IDispatch* frame) {
#ifdef KVR_TEST_HOOKS
    // Under Wine no page ever loads: the automation channel says what the
    // navigating frame shows.
    if (const wchar_t* page = TestHookFramePage()) return page;
#endif
    if (!frame) return {};
    IWebBrowser2* browser = nullptr;
    if (FAILED(frame->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser))) || !browser) return {};
    BSTR location = nullptr;
    std::wstring url;
    if (SUCCEEDED(browser->get_LocationURL(&location)) && location) url.assign(location, ::SysStringLen(location));
    ::SysFreeString(location);
    browser->Release();
    return url;
}

bool FrameShowsTrustedPage(IDispatch* frame) { return IsTrustedPageUrl(FramePageUrl(frame).c_str()); }

}  // namespace kvr
