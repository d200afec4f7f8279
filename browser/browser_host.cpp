#include "browser/browser_host.h"
#include "browser/browser_guids.h"

#include <mshtmdid.h>

namespace kvr {

bool CBrowserHost::Create(CBrowserOwner* owner, CBrowserControlSite* site, const RECT& rc) {
    Destroy();
    if (!owner || !site) {
        if (site) site->Release();
        return false;
    }
    m_site = site;
    HRESULT hr = ::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IOleObject, reinterpret_cast<void**>(&m_oleObject));
    if (FAILED(hr) || !m_oleObject) {
        m_oleObject = nullptr;
        Destroy();
        return false;
    }
    m_oleObject->SetClientSite(static_cast<IOleClientSite*>(m_site));
    RECT pos = rc;
    hr = m_oleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(m_site),
                             0, owner->BrowserParentWindow(), &pos);
    if (FAILED(hr) ||
        FAILED(m_oleObject->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser)))) {
        m_browser = nullptr;
        Destroy();
        return false;
    }
    m_events = new CBrowserEventSink(owner);
    m_eventsCookie = AdviseSink(m_browser, DIID_DWebBrowserEvents2, m_events);
    SetRect(rc);
    return true;
}

void CBrowserHost::Destroy() {
    DisconnectDocumentEvents();
    if (m_events) {
        m_events->DetachOwner();
        if (m_browser) UnadviseSink(m_browser, DIID_DWebBrowserEvents2, m_eventsCookie);
        m_eventsCookie = 0;
        m_events->Release();
        m_events = nullptr;
    }
    if (m_browser) {
        m_browser->Stop();
        m_browser->Release();
        m_browser = nullptr;
    }
    if (m_oleObject) {
        m_oleObject->Close(OLECLOSE_NOSAVE);
        m_oleObject->SetClientSite(nullptr);
        m_oleObject->Release();
        m_oleObject = nullptr;
    }
    if (m_site) {
        m_site->DetachOwner();
        m_site->Release();
        m_site = nullptr;
    }
}

HWND CBrowserHost::Window() const {
    if (!m_oleObject) return nullptr;
    IOleWindow* window = nullptr;
    HWND h = nullptr;
    if (SUCCEEDED(m_oleObject->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window))) &&
        window) {
        window->GetWindow(&h);
        window->Release();
    }
    return h;
}

bool CBrowserHost::Navigate(const wchar_t* url) {
    if (!m_browser || !url) return false;
    BSTR b = ::SysAllocString(url);
    if (!b) return false;
    VARIANT empty;
    ::VariantInit(&empty);
    const HRESULT hr = m_browser->Navigate(b, &empty, &empty, &empty, &empty);
    ::SysFreeString(b);
    return SUCCEEDED(hr);
}

void CBrowserHost::SetRect(const RECT& rc) {
    if (!m_oleObject) return;
    IOleInPlaceObject* inPlace = nullptr;
    if (SUCCEEDED(m_oleObject->QueryInterface(IID_IOleInPlaceObject,
                                              reinterpret_cast<void**>(&inPlace))) && inPlace) {
        inPlace->SetObjectRects(&rc, &rc);
        inPlace->Release();
    }
}

bool CBrowserHost::TranslateAccelerator(MSG* msg) {
    if (!msg || !m_site || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
    HWND own = Window();
    if (!own || (msg->hwnd != own && !::IsChild(own, msg->hwnd))) return false;
    IOleInPlaceActiveObject* active = m_site->ActiveObject();
    return active && active->TranslateAccelerator(msg) == S_OK;
}

IHTMLDocument2* CBrowserHost::Document() const {
    if (!m_browser) return nullptr;
    IDispatch* disp = nullptr;
    if (FAILED(m_browser->get_Document(&disp)) || !disp) return nullptr;
    IHTMLDocument2* doc = nullptr;
    disp->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&doc));
    disp->Release();
    return doc;
}

bool CBrowserHost::ConnectDocumentEvents() {
    DisconnectDocumentEvents();
    IHTMLDocument2* doc = Document();
    if (!doc || !m_site || !m_site->Owner()) {
        if (doc) doc->Release();
        return false;
    }
    m_docEvents = new CDocumentEventSink(m_site->Owner());
    m_docCookie = AdviseSink(doc, kDiidHtmlDocumentEvents2, m_docEvents);
    if (!m_docCookie) {
        doc->Release();
        m_docEvents->Release();
        m_docEvents = nullptr;
        return false;
    }
    m_document = doc;  // keeps the reference for the Unadvise
    return true;
}

void CBrowserHost::DisconnectDocumentEvents() {
    if (m_document) {
        UnadviseSink(m_document, kDiidHtmlDocumentEvents2, m_docCookie);
        m_document->Release();
        m_document = nullptr;
    }
    m_docCookie = 0;
    if (m_docEvents) {
        m_docEvents->DetachOwner();
        m_docEvents->Release();
        m_docEvents = nullptr;
    }
}

}  // namespace kvr
