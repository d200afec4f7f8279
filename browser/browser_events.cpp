#include "browser/browser_events.h"
#include "browser/app_command.h"
#include "browser/browser_guids.h"
#include "browser/test_hooks.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <mshtmdid.h>
#include "base/owned.h"

namespace kvr {

STDMETHODIMP CDispatchSink::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == EventsIid()) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CDispatchSink::AddRef() { return ::InterlockedIncrement(&m_refs); }

STDMETHODIMP_(ULONG) CDispatchSink::Release() {
    const LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CDispatchSink::GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return S_OK;
}

STDMETHODIMP CDispatchSink::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CDispatchSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}

const wchar_t* VariantText(const VARIANT* v) {
    if (!v) return nullptr;
    if (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    if (!v) return nullptr;
    if (v->vt == VT_BSTR) return v->bstrVal;
    if (v->vt == (VT_BYREF | VT_BSTR)) return v->pbstrVal ? *v->pbstrVal : nullptr;
    return nullptr;
}

namespace {

// Arguments arrive last-first: argument i of n is rgvarg[n - 1 - i].
const VARIANT* Arg(const DISPPARAMS* params, UINT i) {
    if (!params || i >= params->cArgs) return nullptr;
    return &params->rgvarg[params->cArgs - 1 - i];
}

IDispatch* ArgDispatch(const DISPPARAMS* params, UINT i) {
    const VARIANT* v = Arg(params, i);
    if (!v) return nullptr;
    if (v->vt == VT_DISPATCH) return v->pdispVal;
    if (v->vt == (VT_BYREF | VT_DISPATCH)) return v->ppdispVal ? *v->ppdispVal : nullptr;
    return nullptr;
}

// The object's identity: the same pointer through whichever interface it is named.
IUnknown* Identity(IUnknown* object) {
    ComPtr<IUnknown> identity;
    if (object) object->QueryInterface(IID_IUnknown, &identity);
    return identity.Get();
}

// An event's Cancel argument (a VARIANT_BOOL by reference): read, and set.
bool CancelOf(const VARIANT* arg) {
    return arg && arg->vt == (VT_BYREF | VT_BOOL) && arg->pboolVal && *arg->pboolVal != VARIANT_FALSE;
}

void SetCancel(const VARIANT* arg, bool cancel) {
    if (arg && arg->vt == (VT_BYREF | VT_BOOL) && arg->pboolVal)
        *arg->pboolVal = cancel ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace

CBrowserEventSink::CBrowserEventSink(CBrowserOwner* owner, IUnknown* browser)
    : CDispatchSink(owner), m_browserIdentity(Identity(browser)) {}

const IID& CBrowserEventSink::EventsIid() const { return DIID_DWebBrowserEvents2; }

STDMETHODIMP CBrowserEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                       VARIANT*, EXCEPINFO*, UINT*) {
    if (!m_owner || !params) return S_OK;
    switch (id) {
    case DISPID_BEFORENAVIGATE2: {
        // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
        const wchar_t* url = VariantText(Arg(params, 1));
        bool cancel = CancelOf(Arg(params, 6));
        if (!IsAllowedNavigation(url)) {
            cancel = true;  // the owner never hears of it
        } else {
#ifdef KVR_TEST_HOOKS
            CTestHookFrameScope frameFromTest(url);
#endif
            m_owner->OnBeforeNavigate2(ArgDispatch(params, 0), url, &cancel);
            // A command is read, never followed, whoever asked for it.
            if (IsAppUrl(url)) cancel = true;
        }
        SetCancel(Arg(params, 6), cancel);
        break;
    }
    // Nothing opens a window of its own: it would run with the program's
    // rights. NewWindow2 (ppDisp, Cancel) names no address to hand on.
    case DISPID_NEWWINDOW2:
        SetCancel(Arg(params, 1), true);
        break;
    case DISPID_NEWWINDOW3:  // (ppDisp, Cancel, Flags, UrlContext, Url)
        SetCancel(Arg(params, 1), true);
        m_owner->OnNewWindow(VariantText(Arg(params, 4)));
        break;
    case DISPID_NAVIGATECOMPLETE2:
    case DISPID_DOCUMENTCOMPLETE: {
        // (pDisp, URL): pDisp is the browser for the page, a frame's own object for a frame.
        IDispatch* disp = ArgDispatch(params, 0);
        if (!disp || Identity(disp) != m_browserIdentity) break;
        if (id == DISPID_NAVIGATECOMPLETE2)
            m_owner->OnNavigateComplete2(disp, VariantText(Arg(params, 1)));
        else
            m_owner->OnDocumentComplete(disp, VariantText(Arg(params, 1)));
        break;
    }
    case DISPID_TITLECHANGE:
        m_owner->OnTitleChange(VariantText(Arg(params, 0)));
        break;
    default:
        break;
    }
    return S_OK;
}

const IID& CDocumentEventSink::EventsIid() const { return kDiidHtmlDocumentEvents2; }

STDMETHODIMP CDocumentEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                        VARIANT* result, EXCEPINFO*, UINT*) {
    if (!m_owner) return S_OK;
    ComPtr<IHTMLEventObj> event;
    if (IDispatch* d = ArgDispatch(params, 0)) d->QueryInterface(IID_IHTMLEventObj, &event);
    ComPtr<IHTMLElement> source;
    if (event) event->get_srcElement(&source);
    const HRESULT hr = m_owner->OnElementEvent(id, source.Get(), event.Get());
    if (hr == S_FALSE) {
        // Cancel the default action (the browser's context menu, text selection).
        if (event) {
            VARIANT no;
            ::VariantInit(&no);
            no.vt = VT_BOOL;
            no.boolVal = VARIANT_FALSE;
            event->put_returnValue(no);
        }
        if (result) {
            ::VariantClear(result);
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_FALSE;
        }
    }
    return S_OK;
}

DWORD AdviseSink(IUnknown* source, const IID& iid, IUnknown* sink) {
    if (!source || !sink) return 0;
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(source->QueryInterface(IID_IConnectionPointContainer, &container)) || !container) return 0;
    DWORD cookie = 0;
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(container->FindConnectionPoint(iid, &point)) && point && FAILED(point->Advise(sink, &cookie)))
        cookie = 0;
    return cookie;
}

void UnadviseSink(IUnknown* source, const IID& iid, DWORD cookie) {
    if (!source || !cookie) return;
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(source->QueryInterface(IID_IConnectionPointContainer, &container)) || !container) return;
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(container->FindConnectionPoint(iid, &point)) && point) point->Unadvise(cookie);
}

}  // namespace kvr
