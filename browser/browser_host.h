// The browser control (CLSID_WebBrowser) hosted in a window of ours: created
// and activated in place through a control site, its DWebBrowserEvents2 and
// (once a document exists) its document's events sunk into the owner.
#pragma once
#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include "base/owned.h"
#include "browser/browser_control_site.h"
#include "browser/browser_events.h"

namespace kvr {

class CBrowserHost {
public:
    CBrowserHost() = default;
    CBrowserHost(const CBrowserHost&) = delete;
    CBrowserHost& operator=(const CBrowserHost&) = delete;
    ~CBrowserHost() { Destroy(); }

    // Creates the control inside owner->BrowserParentWindow() at rc. Takes over
    // the caller's reference to site. False when the control cannot be made.
    bool Create(CBrowserOwner* owner, CBrowserControlSite* site, const RECT& rc);
    void Destroy();
    bool IsCreated() const { return m_browser != nullptr; }

    IWebBrowser2* Browser() const { return m_browser.Get(); }
    // The sink the control fires its events into (the test channel fires its
    // own there too).
    IDispatch* EventSink() const { return m_events.Get(); }
    CBrowserControlSite* Site() const { return m_site.Get(); }
    // The control's own window ("Shell Embedding"), or nullptr.
    HWND Window() const;

    bool Navigate(const wchar_t* url);
    void SetRect(const RECT& rc);

    // Lets the control see keyboard messages of its windows first (tab order,
    // accelerators); true when it used the message.
    bool TranslateAccelerator(MSG* msg);

    // Connects the document's element events to the owner (after the document
    // completed); replaces an earlier connection. False without a document.
    bool ConnectDocumentEvents();
    void DisconnectDocumentEvents();
    // The current document, or empty.
    ComPtr<IHTMLDocument2> Document() const;

private:
    // Destroy lets them go in its own order (events, control, site).
    ComPtr<IWebBrowser2> m_browser;
    ComPtr<IOleObject> m_oleObject;
    ComPtr<CBrowserControlSite> m_site;
    ComPtr<CBrowserEventSink> m_events;
    DWORD m_eventsCookie = 0;
    ComPtr<IHTMLDocument2> m_document;
    ComPtr<CDocumentEventSink> m_docEvents;
    DWORD m_docCookie = 0;
};

}  // namespace kvr
