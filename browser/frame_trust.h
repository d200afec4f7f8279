// Which frame a navigation comes from. BeforeNavigate2 names the frame that
// navigates by its IWebBrowser2 (the control itself for the top page, an
// object of its own for each frame inside the page); what that frame shows
// is its LocationURL. Page commands count only from a frame that shows a page
// of a trusted host (base/endpoints.h): an advertisement's frame, a page that
// a hostile redirect brought in, or a frame's very first navigation (it shows
// nothing yet) is refused.
#pragma once
#include <windows.h>
#include <oaidl.h>
#include <string>

namespace kvr {

// The address of the page frame shows; "" when it is no browser frame or
// shows nothing.
std::wstring FramePageUrl(IDispatch* frame);

// True when frame shows a page of a trusted host.
bool FrameShowsTrustedPage(IDispatch* frame);

}  // namespace kvr
