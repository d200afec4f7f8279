// The control site of the page dialogs: the standard site plus IDocHostShowUI,
// so that the page's message boxes and help requests reach the dialog. The
// added face shares the site's one reference count.
#pragma once
#include "browser/browser_control_site.h"

namespace kvr {

class CDHtmlDialog;

class CMyBrowserControlSite : public CBrowserControlSite, public IDocHostShowUI {
public:
    CMyBrowserControlSite(CBrowserOwner* container, CDHtmlDialog* dialog);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return CBrowserControlSite::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CBrowserControlSite::Release(); }

    // IDocHostShowUI: forwarded to a CDHtmDlgEx; S_OK (nothing shown) else.
    STDMETHODIMP ShowMessage(HWND window, LPOLESTR text, LPOLESTR caption, DWORD type,
                             LPOLESTR helpFile, DWORD helpContext, LRESULT* result) override;
    STDMETHODIMP ShowHelp(HWND window, LPOLESTR helpFile, UINT command, DWORD data, POINT pt,
                          IDispatch* hit) override;

private:
    CDHtmlDialog* m_dialog;
};

}  // namespace kvr
