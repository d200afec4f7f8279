#include "browser/browser_control_site.h"
#include "browser/browser_guids.h"

#include <mshtmcid.h>

namespace kvr {

CBrowserControlSite::CBrowserControlSite(CBrowserOwner* owner) : m_owner(owner) {}

CBrowserControlSite::~CBrowserControlSite() = default;

STDMETHODIMP CBrowserControlSite::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
        *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
        *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
        *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IDocHostUIHandler)
        *out = static_cast<IDocHostUIHandler*>(this);
    else if (iid == IID_IOleCommandTarget)
        *out = static_cast<IOleCommandTarget*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CBrowserControlSite::AddRef() { return ::InterlockedIncrement(&m_refs); }

STDMETHODIMP_(ULONG) CBrowserControlSite::Release() {
    const LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

// ---- IOleClientSite ---------------------------------------------------------

STDMETHODIMP CBrowserControlSite::SaveObject() { return E_NOTIMPL; }

STDMETHODIMP CBrowserControlSite::GetMoniker(DWORD, DWORD, IMoniker** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CBrowserControlSite::GetContainer(IOleContainer** out) {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CBrowserControlSite::ShowObject() { return S_OK; }
STDMETHODIMP CBrowserControlSite::OnShowWindow(BOOL) { return S_OK; }
STDMETHODIMP CBrowserControlSite::RequestNewObjectLayout() { return E_NOTIMPL; }

// ---- IOleWindow / IOleInPlaceSite --------------------------------------------

STDMETHODIMP CBrowserControlSite::GetWindow(HWND* out) {
    if (!out) return E_POINTER;
    *out = m_owner ? m_owner->BrowserParentWindow() : nullptr;
    return *out ? S_OK : E_FAIL;
}

STDMETHODIMP CBrowserControlSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
STDMETHODIMP CBrowserControlSite::CanInPlaceActivate() { return S_OK; }
STDMETHODIMP CBrowserControlSite::OnInPlaceActivate() { return S_OK; }
STDMETHODIMP CBrowserControlSite::OnUIActivate() { return S_OK; }

STDMETHODIMP CBrowserControlSite::GetWindowContext(IOleInPlaceFrame** frame,
                                                   IOleInPlaceUIWindow** doc, LPRECT pos,
                                                   LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *doc = nullptr;
    HWND parent = m_owner ? m_owner->BrowserParentWindow() : nullptr;
    RECT rc{};
    if (parent) ::GetClientRect(parent, &rc);
    *pos = rc;
    *clip = rc;
    info->cb = sizeof(OLEINPLACEFRAMEINFO);
    info->fMDIApp = FALSE;
    info->hwndFrame = parent;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP CBrowserControlSite::Scroll(SIZE) { return E_NOTIMPL; }
STDMETHODIMP CBrowserControlSite::OnUIDeactivate(BOOL) { return S_OK; }
STDMETHODIMP CBrowserControlSite::OnInPlaceDeactivate() { return S_OK; }
STDMETHODIMP CBrowserControlSite::DiscardUndoState() { return S_OK; }
STDMETHODIMP CBrowserControlSite::DeactivateAndUndo() { return S_OK; }
STDMETHODIMP CBrowserControlSite::OnPosRectChange(LPCRECT) { return S_OK; }

// ---- IOleInPlaceUIWindow / IOleInPlaceFrame ------------------------------------

STDMETHODIMP CBrowserControlSite::GetBorder(LPRECT) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP CBrowserControlSite::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP CBrowserControlSite::SetBorderSpace(LPCBORDERWIDTHS) { return OLE_E_INVALIDRECT; }

STDMETHODIMP CBrowserControlSite::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
    m_activeObject = object;  // a reference of its own
    return S_OK;
}

STDMETHODIMP CBrowserControlSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP CBrowserControlSite::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
STDMETHODIMP CBrowserControlSite::RemoveMenus(HMENU) { return E_NOTIMPL; }
STDMETHODIMP CBrowserControlSite::SetStatusText(LPCOLESTR) { return S_OK; }
STDMETHODIMP CBrowserControlSite::EnableModeless(BOOL) { return S_OK; }
STDMETHODIMP CBrowserControlSite::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

// ---- IDocHostUIHandler --------------------------------------------------------

STDMETHODIMP CBrowserControlSite::ShowContextMenu(DWORD id, POINT* pt, IUnknown* target,
                                                  IDispatch* object) {
    return m_owner ? m_owner->ShowContextMenu(id, pt, target, object) : S_FALSE;
}

STDMETHODIMP CBrowserControlSite::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!info) return E_POINTER;
    if (m_owner) return m_owner->GetHostInfo(info);
    info->dwFlags = 0;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

// S_OK: the host shows no menus or toolbars of the browser's own.
STDMETHODIMP CBrowserControlSite::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                         IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
    return S_OK;
}
STDMETHODIMP CBrowserControlSite::HideUI() { return S_OK; }
STDMETHODIMP CBrowserControlSite::UpdateUI() { return S_OK; }
STDMETHODIMP CBrowserControlSite::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP CBrowserControlSite::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP CBrowserControlSite::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }

STDMETHODIMP CBrowserControlSite::TranslateAccelerator(LPMSG msg, const GUID* group, DWORD cmd) {
    return m_owner ? m_owner->TranslateAccelerator(msg, group, cmd) : S_FALSE;
}

STDMETHODIMP CBrowserControlSite::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    if (key) *key = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CBrowserControlSite::GetDropTarget(IDropTarget*, IDropTarget** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CBrowserControlSite::GetExternal(IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return m_owner ? m_owner->GetExternal(out) : S_FALSE;
}

STDMETHODIMP CBrowserControlSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* out) {
    if (out) *out = nullptr;
    return S_FALSE;
}

STDMETHODIMP CBrowserControlSite::FilterDataObject(IDataObject*, IDataObject** out) {
    if (out) *out = nullptr;
    return S_FALSE;
}

// ---- IOleCommandTarget --------------------------------------------------------

STDMETHODIMP CBrowserControlSite::QueryStatus(const GUID*, ULONG, OLECMD[], OLECMDTEXT*) {
    return OLECMDERR_E_UNKNOWNGROUP;
}

STDMETHODIMP CBrowserControlSite::Exec(const GUID* group, DWORD id, DWORD, VARIANT*, VARIANT* out) {
    // A script error of the page: keep running its scripts and show nothing
    // (the browser is silent in every window of ours).
    if (group && *group == kCgidDocHostCommandHandler && id == OLECMDID_SHOWSCRIPTERROR) {
        if (out) {
            ::VariantClear(out);
            out->vt = VT_BOOL;
            out->boolVal = VARIANT_TRUE;
        }
        return S_OK;
    }
    return group ? OLECMDERR_E_UNKNOWNGROUP : OLECMDERR_E_NOTSUPPORTED;
}

}  // namespace kvr
