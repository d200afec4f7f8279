#include "browser/browser_host.h"
#include "browser/browser_guids.h"

#include <mshtmdid.h>
#include <utility>

namespace kvr {

bool CBrowserHost::Create(CBrowserOwner* owner, CBrowserControlSite* site, const RECT& rc) {
    Destroy();
    ComPtr<CBrowserControlSite> taken;
    taken.Attach(site);  // the caller's reference
    if (!owner || !taken) return false;
    m_site = std::move(taken);
    HRESULT hr = ::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                    &m_oleObject);
    if (FAILED(hr) || !m_oleObject) {
        m_oleObject.Reset();
        Destroy();
        return false;
    }
    m_oleObject->SetClientSite(static_cast<IOleClientSite*>(m_site.Get()));
    RECT pos = rc;
    hr = m_oleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(m_site.Get()),
                             0, owner->BrowserParentWindow(), &pos);
    if (FAILED(hr) || FAILED(m_oleObject->QueryInterface(IID_IWebBrowser2, &m_browser))) {
        m_browser.Reset();
        Destroy();
        return false;
    }
    m_events.Attach(new CBrowserEventSink(owner, m_browser.Get()));
    m_eventsCookie = AdviseSink(m_browser.Get(), DIID_DWebBrowserEvents2, m_events.Get());
    SetRect(rc);
    return true;
}

void CBrowserHost::Destroy() {
    DisconnectDocumentEvents();
    if (m_events) {
        m_events->DetachOwner();
        if (m_browser) UnadviseSink(m_browser.Get(), DIID_DWebBrowserEvents2, m_eventsCookie);
        m_eventsCookie = 0;
        m_events.Reset();
    }
    if (m_browser) {
        m_browser->Stop();
        m_browser.Reset();
    }
    if (m_oleObject) {
        m_oleObject->Close(OLECLOSE_NOSAVE);
        m_oleObject->SetClientSite(nullptr);
        m_oleObject.Reset();
    }
    if (m_site) {
        m_site->DetachOwner();
        m_site.Reset();
    }
}

HWND CBrowserHost::Window() const {
    if (!m_oleObject) return nullptr;
    ComPtr<IOleWindow> window;
    HWND h = nullptr;
    if (SUCCEEDED(m_oleObject->QueryInterface(IID_IOleWindow, &window)) && window) window->GetWindow(&h);
    return h;
}

bool CBrowserHost::Navigate(const wchar_t* url) {
    if (!m_browser || !url) return false;
    const OwnedBstr b(::SysAllocString(url));
    if (!b) return false;
    VARIANT empty;
    ::VariantInit(&empty);
    return SUCCEEDED(m_browser->Navigate(b.get(), &empty, &empty, &empty, &empty));
}

void CBrowserHost::SetRect(const RECT& rc) {
    if (!m_oleObject) return;
    ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(m_oleObject->QueryInterface(IID_IOleInPlaceObject, &inPlace)) && inPlace)
        inPlace->SetObjectRects(&rc, &rc);
}

bool CBrowserHost::TranslateAccelerator(MSG* msg) {
    if (!msg || !m_site || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
    HWND own = Window();
    if (!own || (msg->hwnd != own && !::IsChild(own, msg->hwnd))) return false;
    IOleInPlaceActiveObject* active = m_site->ActiveObject();
    return active && active->TranslateAccelerator(msg) == S_OK;
}

ComPtr<IHTMLDocument2> CBrowserHost::Document() const {
    ComPtr<IHTMLDocument2> doc;
    if (!m_browser) return doc;
    ComPtr<IDispatch> disp;
    if (SUCCEEDED(m_browser->get_Document(&disp)) && disp) disp->QueryInterface(IID_IHTMLDocument2, &doc);
    return doc;
}

bool CBrowserHost::ConnectDocumentEvents() {
    DisconnectDocumentEvents();
    ComPtr<IHTMLDocument2> doc = Document();
    if (!doc || !m_site || !m_site->Owner()) return false;
    m_docEvents.Attach(new CDocumentEventSink(m_site->Owner()));
    m_docCookie = AdviseSink(doc.Get(), kDiidHtmlDocumentEvents2, m_docEvents.Get());
    if (!m_docCookie) {
        m_docEvents.Reset();
        return false;
    }
    m_document = std::move(doc);  // keeps the reference for the Unadvise
    return true;
}

void CBrowserHost::DisconnectDocumentEvents() {
    if (m_document) {
        UnadviseSink(m_document.Get(), kDiidHtmlDocumentEvents2, m_docCookie);
        m_document.Reset();
    }
    m_docCookie = 0;
    if (m_docEvents) {
        m_docEvents->DetachOwner();
        m_docEvents.Reset();
    }
}

}  // namespace kvr
