#include "browser/my_browser_control_site.h"
#include "browser/browser_guids.h"

#include "browser/dhtm_dlg_ex.h"

namespace kvr {

CMyBrowserControlSite::CMyBrowserControlSite(CBrowserOwner* container, CDHtmlDialog* dialog)
    : CBrowserControlSite(container), m_dialog(dialog) {}

STDMETHODIMP CMyBrowserControlSite::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == kIidDocHostShowUI) {
        *out = static_cast<IDocHostShowUI*>(this);
        AddRef();
        return S_OK;
    }
    return CBrowserControlSite::QueryInterface(iid, out);
}

STDMETHODIMP CMyBrowserControlSite::ShowMessage(HWND window, LPOLESTR text, LPOLESTR caption,
                                                DWORD type, LPOLESTR helpFile, DWORD helpContext,
                                                LRESULT* result) {
    // Once the owner has gone (DetachOwner), nothing is forwarded.
    auto* dlg = Owner() ? dynamic_cast<CDHtmDlgEx*>(m_dialog) : nullptr;
    if (!dlg) return S_OK;
    return dlg->ShowMessage(window, text, caption, type, helpFile, helpContext, result);
}

STDMETHODIMP CMyBrowserControlSite::ShowHelp(HWND window, LPOLESTR helpFile, UINT command,
                                             DWORD data, POINT pt, IDispatch* hit) {
    auto* dlg = Owner() ? dynamic_cast<CDHtmDlgEx*>(m_dialog) : nullptr;
    if (!dlg) return S_OK;
    return dlg->ShowHelp(window, helpFile, command, data, pt, hit);
}

}  // namespace kvr
