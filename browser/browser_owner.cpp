#include "browser/browser_owner.h"

#include "base/web_page.h"

namespace kvr {

void CBrowserOwner::OnBeforeNavigate2(IDispatch*, const wchar_t*, bool*) {}
void CBrowserOwner::OnNavigateComplete2(IDispatch*, const wchar_t*) {}
void CBrowserOwner::OnDocumentComplete(IDispatch*, const wchar_t*) {}
void CBrowserOwner::OnTitleChange(const wchar_t*) {}
void CBrowserOwner::OnNewWindow(const wchar_t* url) { OpenWebPage(url); }

HRESULT CBrowserOwner::OnElementEvent(DISPID, IHTMLElement*, IHTMLEventObj*) { return S_OK; }

// S_FALSE: the browser shows its own menu.
HRESULT CBrowserOwner::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) { return S_FALSE; }

HRESULT CBrowserOwner::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!info) return E_POINTER;
    info->dwFlags = 0;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

HRESULT CBrowserOwner::TranslateAccelerator(LPMSG, const GUID*, DWORD) { return S_FALSE; }

HRESULT CBrowserOwner::GetExternal(IDispatch** dispatch) {
    if (!dispatch) return E_POINTER;
    *dispatch = nullptr;
    return S_FALSE;
}

}  // namespace kvr
