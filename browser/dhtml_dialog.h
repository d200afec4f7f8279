// A dialog whose client area is a web page: the browser control hosted by our
// container (browser_host.h), an element event map matched by class name or
// tag, and the document host defaults the program's HTML dialogs share.
#pragma once
#include <windows.h>
#include <string>
#include "browser/browser_host.h"
#include "browser/browser_owner.h"
#include "browser/test_hooks.h"
#include "ui/window.h"

namespace kvr {

class CDHtmlDialog;

// Dispatch ids of the document's element events.
enum : DISPID {
    kEvMouseOver = static_cast<DISPID>(0x80010008),
    kEvMouseOut = static_cast<DISPID>(0x80010009),
    kEvMouseDown = -605,
    kEvMouseMove = -606,
    kEvMouseUp = -607,
    kEvContextMenu = 1023,
};

enum class ElementMatch { Class, Tag };
using ElementHandler = HRESULT (CDHtmlDialog::*)(IHTMLElement*);

struct ElementEvent {
    ElementMatch match;
    const wchar_t* name;  // class name (exact) or tag name (any case)
    DISPID id;
    ElementHandler handler;
};

// Index of the first entry that matches the element and event, or -1.
int FindElementEvent(const ElementEvent* map, size_t count, const std::wstring& className,
                     const std::wstring& tagName, DISPID id);

class CDHtmlDialog : public CDialogImpl, public CBrowserOwner {
public:
    explicit CDHtmlDialog(UINT templateId, const wchar_t* startUrl = nullptr);
    ~CDHtmlDialog() override;

    IWebBrowser2* Browser() const { return m_host.Browser(); }
    CBrowserHost& Host() { return m_host; }
    bool Navigate(const wchar_t* url) { return m_host.Navigate(url); }
    const std::wstring& StartUrl() const { return m_startUrl; }
    void SetStartUrl(const wchar_t* url) { m_startUrl = url ? url : L""; }
    // The last URL whose document completed.
    const std::wstring& CurrentUrl() const { return m_currentUrl; }

    HWND BrowserParentWindow() override { return m_hWnd; }
    BOOL PreTranslateMessage(MSG* msg) override;

    // Document completion: remembers the URL and connects the element events.
    void OnDocumentComplete(IDispatch* disp, const wchar_t* url) override;
    // Element events go through ElementEvents().
    HRESULT OnElementEvent(DISPID id, IHTMLElement* source, IHTMLEventObj* event) override;
    HRESULT GetHostInfo(DOCHOSTUIINFO* info) override;
    HRESULT GetExternal(IDispatch** dispatch) override;

    BEGIN_MSG_MAP(CDHtmlDialog)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialogMessage)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
#ifdef KVR_TEST_HOOKS
        MESSAGE_HANDLER(WM_COPYDATA, OnTestHookData)
        MESSAGE_HANDLER(CTestHookReceiver::RunMessage(), OnTestHookRun)
#endif
        CHAIN_MSG_MAP(CDialogImpl)
    END_MSG_MAP()

protected:
    // Creates the browser over the whole client area, which it keeps filling
    // when the dialog is sized. Returns TRUE (focus to the default control)
    // as dialogs do.
    virtual BOOL OnInitDialog();
    // Makes the control site for the browser; E_POINTER without a slot.
    virtual HRESULT CreateControlSite(CBrowserControlSite** site);
    // The element event map of this dialog; none by default.
    virtual const ElementEvent* ElementEvents(size_t* count);
    // May the page reach window.external? By default only when that object is
    // declared safe, or the page comes from this computer.
    virtual BOOL CanAccessExternal();
    virtual BOOL IsExternalDispatchSafe() { return FALSE; }

    CBrowserHost m_host;
    std::wstring m_startUrl;
    std::wstring m_currentUrl;
    DWORD m_hostFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_THEME;

private:
    LRESULT OnInitDialogMessage(UINT, WPARAM, LPARAM, BOOL&) { return OnInitDialog(); }
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnSize(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled);
#ifdef KVR_TEST_HOOKS
    LRESULT OnTestHookData(UINT, WPARAM, LPARAM lParam, BOOL& handled);
    LRESULT OnTestHookRun(UINT, WPARAM, LPARAM, BOOL&);
    CTestHookReceiver m_testHooks;
#endif
    ComPtr<IDispatch> m_external;  // made on the first GetExternal
};

}  // namespace kvr
