#include "browser/test_hooks.h"
#ifdef KVR_TEST_HOOKS
#include <cstring>
#include <cwchar>
#include <iterator>

namespace kvr {

bool SendTestHook(HWND target, UINT command, const wchar_t* text) {
    TestHookRequest req{};
    req.command = command;
    if (text) ::lstrcpynW(req.text, text, static_cast<int>(std::size(req.text)));
    COPYDATASTRUCT cds{};
    cds.dwData = kTestHookCopyData;
    cds.cbData = sizeof(req);
    cds.lpData = &req;
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                               SMTO_ABORTIFHUNG, 5000, &result))
        return false;
    return result == 1;
}

namespace {
// What the browser does for a page's alert(): a system message box with the
// browser's title, run modally over the top-level window holding it.
void ShowScriptAlert(HWND browserParent, const wchar_t* text) {
    HWND top = browserParent;
    while (top && (::GetWindowLongW(top, GWL_STYLE) & WS_CHILD)) top = ::GetParent(top);
    ::MessageBoxW(top, text, L"来自网页的消息", MB_OK | MB_ICONWARNING);
}
}  // namespace

UINT CTestHookReceiver::RunMessage() {
    static const UINT msg = ::RegisterWindowMessageW(L"Kvr.TestHook.Run");
    return msg;
}

bool CTestHookReceiver::Accept(HWND self, const COPYDATASTRUCT* cds) {
    if (!cds || cds->dwData != kTestHookCopyData || cds->cbData != sizeof(TestHookRequest) ||
        !cds->lpData)
        return false;
    TestHookRequest req;
    std::memcpy(&req, cds->lpData, sizeof(req));
    req.text[511] = L'\0';
    m_pending.push_back(req);
    ::PostMessageW(self, RunMessage(), 0, 0);
    return true;
}

void CTestHookReceiver::Run(CBrowserOwner* owner, CBrowserHost& host) {
    while (!m_pending.empty()) {
        const TestHookRequest req = m_pending.front();
        m_pending.pop_front();
        switch (req.command) {
        case kHookNavigate: host.Navigate(req.text); break;
        case kHookDocumentComplete: owner->OnDocumentComplete(host.Browser(), req.text); break;
        case kHookNavigateComplete: owner->OnNavigateComplete2(host.Browser(), req.text); break;
        case kHookTitleChange: owner->OnTitleChange(req.text); break;
        case kHookScriptAlert: ShowScriptAlert(owner->BrowserParentWindow(), req.text); break;
        default: break;
        }
    }
}

}  // namespace kvr
#endif  // KVR_TEST_HOOKS
