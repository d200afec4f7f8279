// The yardstick for a page process: the least a program needs to show a page
// in the system's web browser control, in a dialog ("#32770", titled
// "KvrBenchBareBrowser"), with no skin, frame or hooks. Its start-up is the
// second half of the bare launcher's road (bare_launcher.cpp); its memory is
// measured against an idle page process. Command line: the page's URL.
#include <windows.h>
#include <exdisp.h>
#include <oleidl.h>
#include <vector>

namespace {

// Just enough of an OLE container for in-place activation.
class Site : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    explicit Site(HWND host) : m_host(host) {}
    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) *ppv = static_cast<IOleClientSite*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) *ppv = static_cast<IOleInPlaceSite*>(this);
        else if (riid == IID_IOleInPlaceFrame || riid == IID_IOleInPlaceUIWindow) *ppv = static_cast<IOleInPlaceFrame*>(this);
        else { *ppv = nullptr; return E_NOINTERFACE; }
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** c) override { *c = nullptr; return E_NOINTERFACE; }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow
    STDMETHODIMP GetWindow(HWND* h) override { *h = m_host; return S_OK; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** f, IOleInPlaceUIWindow** d, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override {
        *f = this;
        *d = nullptr;
        ::GetClientRect(m_host, pos);
        *clip = *pos;
        info->fMDIApp = FALSE;
        info->hwndFrame = m_host;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
    // IOleInPlaceUIWindow / IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return E_NOTIMPL; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    HWND m_host;
};

INT_PTR CALLBACK DialogProc(HWND h, UINT m, WPARAM, LPARAM) {
    if (m == WM_CLOSE) {
        ::DestroyWindow(h);
        return TRUE;
    }
    if (m == WM_DESTROY) ::PostQuitMessage(0);
    return m == WM_INITDIALOG;
}

// A dialog template in memory, word by word: DLGTEMPLATE (a popup with a
// caption, no controls, 500 x 300 dialog units, about the login window's
// size), no menu, the dialog class, the title.
std::vector<WORD> DialogTemplate() {
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    std::vector<WORD> t = {LOWORD(style), HIWORD(style), 0, 0, 0, 0, 0, 500, 300, 0, 0};
    for (const wchar_t* c = L"KvrBenchBareBrowser"; *c; ++c) t.push_back(*c);
    t.push_back(0);
    return t;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, LPWSTR cmdLine, int) {
    ::OleInitialize(nullptr);
    const std::vector<WORD> tpl = DialogTemplate();
    HWND host = ::CreateDialogIndirectParamW(inst, reinterpret_cast<const DLGTEMPLATE*>(tpl.data()), nullptr,
                                             DialogProc, 0);
    Site site(host);
    IOleObject* ole = nullptr;
    IWebBrowser2* browser = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                     reinterpret_cast<void**>(&ole)))) {
        ole->SetClientSite(&site);
        RECT rc;
        ::GetClientRect(host, &rc);
        ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &rc);
        if (SUCCEEDED(ole->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser)))) {
            VARIANT empty;
            ::VariantInit(&empty);
            BSTR url = ::SysAllocString(cmdLine && *cmdLine ? cmdLine : L"about:blank");
            browser->Navigate(url, &empty, &empty, &empty, &empty);
            ::SysFreeString(url);
        }
    }
    ::ShowWindow(host, SW_SHOW);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (::IsDialogMessageW(host, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (browser) browser->Release();
    if (ole) {
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
        ole->Release();
    }
    ::OleUninitialize();
    return 0;
}
