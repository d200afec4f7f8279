// What a window that hosts the browser control answers: the browser's events
// and the document host's questions. The control site (browser_control_site.h)
// and the event sinks forward to it; the DHTML dialogs and the game page view
// implement it. Defaults are the browser's own behaviour.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <mshtmhst.h>
#include <mshtml.h>

namespace kvr {

class CBrowserOwner {
public:
    virtual ~CBrowserOwner() = default;

    // The window the browser lives in (its in-place parent).
    virtual HWND BrowserParentWindow() = 0;

    // DWebBrowserEvents2. disp is the browser or frame the event is about.
    virtual void OnBeforeNavigate2(IDispatch* disp, const wchar_t* url, bool* cancel);
    virtual void OnNavigateComplete2(IDispatch* disp, const wchar_t* url);
    virtual void OnDocumentComplete(IDispatch* disp, const wchar_t* url);
    virtual void OnTitleChange(const wchar_t* title);
    // A page asked for a new window showing url (its own is cancelled); by
    // default a web page goes to the player's browser (base/web_page.h).
    virtual void OnNewWindow(const wchar_t* url);

    // An event of an element of the document (mouse, context menu). S_FALSE
    // cancels the page's default action for it.
    virtual HRESULT OnElementEvent(DISPID id, IHTMLElement* source, IHTMLEventObj* event);

    // IDocHostUIHandler questions the control site forwards.
    virtual HRESULT ShowContextMenu(DWORD id, POINT* pt, IUnknown* target, IDispatch* object);
    virtual HRESULT GetHostInfo(DOCHOSTUIINFO* info);
    virtual HRESULT TranslateAccelerator(LPMSG msg, const GUID* group, DWORD cmd);
    virtual HRESULT GetExternal(IDispatch** dispatch);
};

}  // namespace kvr
