#include "browser/dhtml_dialog.h"

#include <urlmon.h>
#include <cwctype>
#include "base/system_library.h"
#include "browser/page_element.h"

namespace kvr {

namespace {

bool SameNoCase(const std::wstring& a, const wchar_t* b) {
    if (!b || a.size() != std::char_traits<wchar_t>::length(b)) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

// window.external of our dialogs: an object without members. Pages only test
// that it is there; it lives as long as its dialog.
class CExternalObject final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch) return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0) delete this;
        return static_cast<ULONG>(refs);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    ~CExternalObject() = default;
    LONG m_refs = 1;
};

}  // namespace

int FindElementEvent(const ElementEvent* map, size_t count, const std::wstring& className,
                     const std::wstring& tagName, DISPID id) {
    if (!map) return -1;
    for (size_t i = 0; i < count; ++i) {
        const ElementEvent& e = map[i];
        if (e.id != id || !e.name) continue;
        const bool match = e.match == ElementMatch::Class ? className == e.name
                                                         : SameNoCase(tagName, e.name);
        if (match) return static_cast<int>(i);
    }
    return -1;
}

CDHtmlDialog::CDHtmlDialog(UINT templateId, const wchar_t* startUrl)
    : CDialogImpl(templateId), m_startUrl(startUrl ? startUrl : L"") {}

CDHtmlDialog::~CDHtmlDialog() { m_host.Destroy(); }

BOOL CDHtmlDialog::OnInitDialog() {
    CBrowserControlSite* site = nullptr;
    if (SUCCEEDED(CreateControlSite(&site)) && site) {
        RECT rc{};
        ::GetClientRect(m_hWnd, &rc);
        m_host.Create(this, site, rc);
    }
    return TRUE;
}

HRESULT CDHtmlDialog::CreateControlSite(CBrowserControlSite** site) {
    if (!site) return E_POINTER;
    *site = new CBrowserControlSite(this);
    return S_OK;
}

LRESULT CDHtmlDialog::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    m_host.Destroy();
    handled = FALSE;
    return 0;
}

LRESULT CDHtmlDialog::OnSize(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    if (wParam != SIZE_MINIMIZED && m_host.IsCreated()) {
        const RECT client{0, 0, LOWORD(lParam), HIWORD(lParam)};
        m_host.SetRect(client);
    }
    handled = FALSE;
    return 0;
}

BOOL CDHtmlDialog::PreTranslateMessage(MSG* msg) {
    if (m_host.TranslateAccelerator(msg)) return TRUE;
    return CDialogImpl::PreTranslateMessage(msg);
}

void CDHtmlDialog::OnDocumentComplete(IDispatch*, const wchar_t* url) {
    m_currentUrl = url ? url : L"";
    m_host.ConnectDocumentEvents();
}

const ElementEvent* CDHtmlDialog::ElementEvents(size_t* count) {
    if (count) *count = 0;
    return nullptr;
}

HRESULT CDHtmlDialog::OnElementEvent(DISPID id, IHTMLElement* source, IHTMLEventObj*) {
    if (!source) return S_OK;
    size_t count = 0;
    const ElementEvent* map = ElementEvents(&count);
    const int i = FindElementEvent(map, count, ElementClassName(source), ElementTagName(source), id);
    if (i < 0 || !map[i].handler) return S_OK;
    return (this->*map[i].handler)(source);
}

HRESULT CDHtmlDialog::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!info) return E_POINTER;
    info->dwFlags = m_hostFlags;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

HRESULT CDHtmlDialog::GetExternal(IDispatch** dispatch) {
    if (!dispatch) return E_POINTER;
    *dispatch = nullptr;
    if (!CanAccessExternal()) return S_FALSE;
    if (!m_external) m_external.Attach(new CExternalObject());
    return m_external.CopyTo(dispatch);
}

BOOL CDHtmlDialog::CanAccessExternal() {
    if (IsExternalDispatchSafe()) return TRUE;
    // Otherwise only a page from this computer may script the dialog.
    ComPtr<IInternetSecurityManager> security;
    if (!EnsureSystemLibrary(L"urlmon.dll") ||
        FAILED(::CoInternetCreateSecurityManager(nullptr, &security, 0)) || !security)
        return FALSE;
    DWORD zone = URLZONE_UNTRUSTED;
    const HRESULT hr = security->MapUrlToZone(m_currentUrl.c_str(), &zone, 0);
    return SUCCEEDED(hr) && zone == URLZONE_LOCAL_MACHINE;
}

#ifdef KVR_TEST_HOOKS
LRESULT CDHtmlDialog::OnTestHookData(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    if (m_testHooks.Accept(m_hWnd, reinterpret_cast<const COPYDATASTRUCT*>(lParam))) return 1;
    handled = FALSE;
    return 0;
}

LRESULT CDHtmlDialog::OnTestHookRun(UINT, WPARAM, LPARAM, BOOL&) {
    m_testHooks.Run(this, m_host);
    return 0;
}
#endif

}  // namespace kvr
