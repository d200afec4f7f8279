#include "browser/test_hooks.h"
#ifdef KVR_TEST_HOOKS
#include <exdispid.h>
#include <cstring>
#include <cwchar>
#include <iterator>
#include "base/owned.h"

namespace kvr {

namespace {
// Navigations asked for by kHookNavigateFrom whose event has not come yet:
// target URL and the page of the frame that asks. UI thread only.
std::deque<std::pair<std::wstring, std::wstring>> g_fromFrames;
std::wstring g_framePage;
bool g_framePageSet = false;
}  // namespace

const wchar_t* TestHookFramePage() { return g_framePageSet ? g_framePage.c_str() : nullptr; }

CTestHookFrameScope::CTestHookFrameScope(const wchar_t* url) {
    if (!url || g_framePageSet) return;
    for (auto it = g_fromFrames.begin(); it != g_fromFrames.end(); ++it) {
        if (it->first != url) continue;
        g_framePage = it->second;
        g_fromFrames.erase(it);
        g_framePageSet = m_active = true;
        return;
    }
}

CTestHookFrameScope::~CTestHookFrameScope() {
    if (m_active) g_framePageSet = false;
}

bool SendTestHook(HWND target, UINT command, const wchar_t* text, const wchar_t* page) {
    TestHookRequest req{};
    req.command = command;
    if (text) ::lstrcpynW(req.text, text, static_cast<int>(std::size(req.text)));
    if (page) ::lstrcpynW(req.page, page, static_cast<int>(std::size(req.page)));
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

// A frame inside the page as its events name it: an object of its own.
class CFrameStandIn : public CDispatchSink {
public:
    CFrameStandIn() : CDispatchSink(nullptr) {}
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return S_OK;
    }

protected:
    const IID& EventsIid() const override { return IID_IDispatch; }
};

// A completion event (pDisp, URL) as the control fires it into its sink.
void FireCompletion(CBrowserHost& host, DISPID id, IDispatch* disp, const wchar_t* url) {
    IDispatch* sink = host.EventSink();
    const OwnedBstr text(::SysAllocString(url));
    if (!sink || !text) return;
    VARIANT urlValue;
    ::VariantInit(&urlValue);
    urlValue.vt = VT_BSTR;
    urlValue.bstrVal = text.get();
    VARIANT args[2];  // last argument first
    ::VariantInit(&args[0]);
    args[0].vt = VT_BYREF | VT_VARIANT;
    args[0].pvarVal = &urlValue;
    ::VariantInit(&args[1]);
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = disp;
    DISPPARAMS params{args, nullptr, 2, 0};
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
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
    req.page[511] = L'\0';
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
        case kHookNavigateFrom:
            g_fromFrames.emplace_back(req.text, req.page);
            if (!host.Navigate(req.text)) g_fromFrames.pop_back();
            break;
        case kHookDocumentComplete: FireCompletion(host, DISPID_DOCUMENTCOMPLETE, host.Browser(), req.text); break;
        case kHookNavigateComplete: FireCompletion(host, DISPID_NAVIGATECOMPLETE2, host.Browser(), req.text); break;
        case kHookFrameNavigateComplete: {
            ComPtr<IDispatch> frame;
            frame.Attach(new CFrameStandIn());
            FireCompletion(host, DISPID_NAVIGATECOMPLETE2, frame.Get(), req.text);
            break;
        }
        case kHookTitleChange: owner->OnTitleChange(req.text); break;
        case kHookScriptAlert: ShowScriptAlert(owner->BrowserParentWindow(), req.text); break;
        default: break;
        }
    }
}

}  // namespace kvr
#endif  // KVR_TEST_HOOKS
