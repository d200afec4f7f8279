// The base of the program's page dialogs: the "app:" filter, page buttons
// (elements of class "button") with normal, hover and pressed states and a
// click only on release over the button, dragging the borderless dialog by
// the page background, and the shared host settings (silent browser, body
// scroll bars "auto", dialog host flag, no context menu, window.external
// always reachable, our control site with IDocHostShowUI).
#pragma once
#include <memory>
#include "browser/dhtml_dialog.h"
#include "browser/page_element.h"

namespace kvr {

enum class ButtonState { Normal, Hover, Pressed };

// backgroundPositionX of a three-frame button strip for an element w wide.
int ButtonBackgroundX(ButtonState state, int width);

class CDHtmDlgEx : public CDHtmlDialog {
public:
    explicit CDHtmDlgEx(UINT templateId, const wchar_t* startUrl = nullptr);
    ~CDHtmDlgEx() override;

    BEGIN_MSG_MAP(CDHtmDlgEx)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnButtonUp)
        MESSAGE_HANDLER(WM_RBUTTONUP, OnButtonUp)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        CHAIN_MSG_MAP(CDHtmlDialog)
    END_MSG_MAP()

    // The page's message boxes and help, reached through the control site's
    // IDocHostShowUI: S_FALSE lets the browser show its own (alerts stay).
    virtual HRESULT ShowMessage(HWND window, LPOLESTR text, LPOLESTR caption, DWORD type,
                                LPOLESTR helpFile, DWORD helpContext, LRESULT* result);
    virtual HRESULT ShowHelp(HWND window, LPOLESTR helpFile, UINT command, DWORD data,
                             POINT pt, IDispatch* hit);

    void OnBeforeNavigate2(IDispatch* disp, const wchar_t* url, bool* cancel) override;
    void OnDocumentComplete(IDispatch* disp, const wchar_t* url) override;
    HRESULT ShowContextMenu(DWORD id, POINT* pt, IUnknown* target, IDispatch* object) override;
    HRESULT GetHostInfo(DOCHOSTUIINFO* info) override;

    // Button rules on an element (the map's handlers wrap the browser element
    // and call these). Each answers S_FALSE.
    HRESULT ButtonOut(const std::shared_ptr<PageElement>& e);
    HRESULT ButtonOver(const std::shared_ptr<PageElement>& e);
    HRESULT ButtonDown(const std::shared_ptr<PageElement>& e);
    HRESULT ButtonUp(const std::shared_ptr<PageElement>& e);
    // The element holding the capture, if any.
    const std::shared_ptr<PageElement>& CapturedButton() const { return m_captured; }

    // Element event handlers of the map.
    HRESULT OnButtonMouseOut(IHTMLElement* e);
    HRESULT OnButtonMouseOver(IHTMLElement* e);
    HRESULT OnButtonMouseDown(IHTMLElement* e);
    HRESULT OnButtonMouseUp(IHTMLElement* e);
    HRESULT OnDragStart(IHTMLElement* e);
    HRESULT OnDragEnd(IHTMLElement* e);
    HRESULT OnDragMove(IHTMLElement* e);
    HRESULT OnNoContextMenu(IHTMLElement* e);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}  // Enter never closes a page dialog
    HRESULT CreateControlSite(CBrowserControlSite** site) override;
    const ElementEvent* ElementEvents(size_t* count) override;
    BOOL CanAccessExternal() override { return TRUE; }
    BOOL IsExternalDispatchSafe() override { return TRUE; }

    // Sends the dialog a non-client mouse message on its caption at the cursor
    // (the system then moves the window as if its caption were dragged).
    void DragBy(UINT ncMessage);

private:
    void SetState(PageElement& e, ButtonState state);
    LRESULT OnButtonUp(UINT msg, WPARAM, LPARAM lParam, BOOL& handled);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);
    std::shared_ptr<PageElement> m_captured;
};

}  // namespace kvr
