// Which frame a navigation comes from. BeforeNavigate2 names the frame that
// navigates by its browser object (the control itself for the top page, an
// object of its own for each frame inside the page); what that frame shows
// is its LocationURL, and the frame it lies in is reached through its Parent.
// Page commands count only from a frame that shows a page of a trusted host
// (base/endpoints.h) and lies only in frames that do, up to the top page: an
// advertisement's frame, a frame that an advertisement put inside a portal
// page, a page that a hostile redirect brought in, or a frame's very first
// navigation (it shows nothing yet) is refused.
#pragma once
#include <windows.h>
#include <oaidl.h>
#include <string>

namespace kvr {

// The address of the page frame shows; "" when it is no browser frame or
// shows nothing.
std::wstring FramePageUrl(IDispatch* frame);

// True when frame and every frame around it up to topLevel (the hosted
// control) show pages of trusted hosts. A chain that does not reach topLevel
// within a few frames is refused.
bool FrameChainShowsTrustedPages(IDispatch* frame, IDispatch* topLevel);

}  // namespace kvr
