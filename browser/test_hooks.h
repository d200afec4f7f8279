// Test-only automation channel (builds with KVR_TEST_HOOKS only; release
// builds contain none of it). Under Wine the browser has no HTML engine: a
// navigation goes as far as BeforeNavigate2, and document-complete, navigate-
// complete and title events never come, and no frame ever shows a page. A
// test driver in another process uses
// this channel to make a running login dialog, OAuth page or game page
// navigate through its real control, or to hand it one of those events.
//
// The driver sends WM_COPYDATA with dwData kTestHookCopyData and a
// TestHookRequest to the window (the DHTML dialog, or the page frame). The
// window answers 1 at once and carries the request out from its own message
// loop, so the driver is never blocked by what the request triggers.
#pragma once
#ifdef KVR_TEST_HOOKS
#include <windows.h>
#include <deque>
#include <string>
#include "browser/browser_host.h"

namespace kvr {

inline constexpr ULONG_PTR kTestHookCopyData = 0x4B565254;  // "KVRT"

enum TestHookCommand : UINT {
    kHookNavigate = 1,          // Navigate(text) through the real control
    kHookDocumentComplete = 2,  // DocumentComplete(browser, text), as the control fires it
    kHookNavigateComplete = 3,  // NavigateComplete2(browser, text), as the control fires it
    kHookTitleChange = 4,       // OnTitleChange(text)
    kHookScriptAlert = 5,       // a page's alert(text): a modal box over the page's window
    kHookNavigateFrom = 6,      // Navigate(text) as asked by a frame that shows page
    kHookFrameNavigateComplete = 7,  // NavigateComplete2(a frame inside the page, text)
};

struct TestHookRequest {
    UINT command;
    wchar_t text[512];
    wchar_t page[512];  // kHookNavigateFrom: the page the navigating frame shows
};

// Driver side: true when the window took the request.
bool SendTestHook(HWND target, UINT command, const wchar_t* text, const wchar_t* page = nullptr);

// The page the frame of a kHookNavigateFrom navigation shows, while its
// BeforeNavigate2 is handled (the frame check reads it in place of the
// frame's LocationURL); else nullptr.
const wchar_t* TestHookFramePage();

// Held by the browser events around BeforeNavigate2 of url: when url is one
// a kHookNavigateFrom asked for, its page holds for that event. (Wine fires
// the event inside Navigate or later, when another navigation is under way.)
class CTestHookFrameScope {
public:
    explicit CTestHookFrameScope(const wchar_t* url);
    ~CTestHookFrameScope();
    CTestHookFrameScope(const CTestHookFrameScope&) = delete;
    CTestHookFrameScope& operator=(const CTestHookFrameScope&) = delete;

private:
    bool m_active = false;
};

// Window side.
class CTestHookReceiver {
public:
    // The message a window posts itself to carry out its queued requests.
    static UINT RunMessage();
    // Queues a request of ours and posts RunMessage() to self; false when cds
    // is not one.
    bool Accept(HWND self, const COPYDATASTRUCT* cds);
    // Carries out the queued requests.
    void Run(CBrowserOwner* owner, CBrowserHost& host);

private:
    std::deque<TestHookRequest> m_pending;
};

}  // namespace kvr
#endif  // KVR_TEST_HOOKS
