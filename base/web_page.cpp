#include "base/web_page.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include "base/owned.h"
#include "base/system_library.h"
#include "base/url_parts.h"

namespace kvr {

namespace {

// COM on this thread for the length of a call, when nobody started it yet.
class ComScope {
public:
    ComScope() : m_started(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (m_started) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool m_started;
};

// The desktop's shell object, served by the explorer that shows the desktop:
// the desktop window of ShellWindows, its browser, the view on it, and that
// view's Application.
ComPtr<IShellDispatch2> DesktopShell() {
    ComPtr<IShellDispatch2> shell;
    ComPtr<IShellWindows> windows;
    if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                  &windows)))
        return shell;
    VARIANT desktop, none;
    ::VariantInit(&desktop);
    ::VariantInit(&none);
    desktop.vt = VT_I4;
    desktop.lVal = CSIDL_DESKTOP;
    long window = 0;
    ComPtr<IDispatch> found;
    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    if (windows->FindWindowSW(&desktop, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &found) != S_OK ||
        !found || FAILED(found.As(&services)) ||
        FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, &browser)) ||
        FAILED(browser->QueryActiveShellView(&view)) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, &background)) ||
        FAILED(background.As(&folderView)) || FAILED(folderView->get_Application(&application)) ||
        !application)
        return shell;
    application.As(&shell);  // some XP setups have IShellDispatch only
    return shell;
}

bool OpenThroughDesktopShell(const wchar_t* url, int show) {
    const ComScope com;
    const ComPtr<IShellDispatch2> shell = DesktopShell();
    const OwnedBstr file(::SysAllocString(url));
    const OwnedBstr open(::SysAllocString(L"open"));
    if (!shell || !file || !open) return false;
    VARIANT none, verb, shown;
    ::VariantInit(&none);
    ::VariantInit(&verb);
    ::VariantInit(&shown);
    verb.vt = VT_BSTR;
    verb.bstrVal = open.get();
    shown.vt = VT_I4;
    shown.lVal = show;
    return SUCCEEDED(shell->ShellExecute(file.get(), none, none, verb, shown));
}

// True where this process holds the full token of an administrator whom UAC
// splits: what it starts runs elevated, unlike the player's own programs.
// Windows XP has no such token (the query fails there).
bool RunsAsSplitAdministrator() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return true;
    const OwnedHandle token(raw);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    return ::GetTokenInformation(token.get(), TokenElevationType, &type, sizeof(type), &size) &&
           type == TokenElevationTypeFull;
}

}  // namespace

bool IsOpenableWebPage(const wchar_t* url) {
    UrlParts parts;
    if (!url || !SplitPageUrl(url, &parts)) return false;
    for (const wchar_t* c = url; *c; ++c)
        if (*c <= L' ' || *c > L'~' || *c == L'"') return false;
    return true;
}

bool OpenWebPage(const wchar_t* url, int show) {
    if (!IsOpenableWebPage(url)) return false;
    if (OpenThroughDesktopShell(url, show)) return true;
    if (RunsAsSplitAdministrator()) return false;
    // The address itself: the shell finds the player's browser for it.
    return reinterpret_cast<INT_PTR>(
               ::ShellExecuteW(nullptr, L"open", url, nullptr, SystemFolder().c_str(), show)) > 32;
}

}  // namespace kvr
