#include "browser/frame_trust.h"

#include <exdisp.h>
#include "base/endpoints.h"
#include "base/owned.h"
#include "browser/test_hooks.h"

namespace kvr {

std::wstring FramePageUrl(IDispatch* frame) {
#ifdef KVR_TEST_HOOKS
    // Under Wine no page ever loads: the automation channel says what the
    // navigating frame shows.
    if (const wchar_t* page = TestHookFramePage()) return page;
#endif
    if (!frame) return {};
    ComPtr<IWebBrowser2> browser;
    if (FAILED(frame->QueryInterface(IID_IWebBrowser2, &browser)) || !browser) return {};
    OwnedBstr location;
    std::wstring url;
    if (SUCCEEDED(browser->get_LocationURL(location.put())) && location)
        url.assign(location.get(), ::SysStringLen(location.get()));
    return url;
}

bool FrameShowsTrustedPage(IDispatch* frame) { return IsTrustedPageUrl(FramePageUrl(frame).c_str()); }

}  // namespace kvr
