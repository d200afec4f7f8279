#include "browser/dhtm_dlg_ex.h"

#include <windowsx.h>
#include <new>
#include "browser/app_command.h"
#include "browser/my_browser_control_site.h"

namespace kvr {

int ButtonBackgroundX(ButtonState state, int width) {
    switch (state) {
    case ButtonState::Normal: return 0;
    case ButtonState::Hover: return -width;
    case ButtonState::Pressed: return -2 * width;
    }
    return 0;
}

CDHtmDlgEx::CDHtmDlgEx(UINT templateId, const wchar_t* startUrl)
    : CDHtmlDialog(templateId, startUrl) {}

CDHtmDlgEx::~CDHtmDlgEx() = default;

BOOL CDHtmDlgEx::OnInitDialog() {
    CDHtmlDialog::OnInitDialog();
    if (IWebBrowser2* browser = Browser()) browser->put_Silent(VARIANT_TRUE);
    return TRUE;
}

HRESULT CDHtmDlgEx::CreateControlSite(CBrowserControlSite** site) {
    if (!site) return E_POINTER;
    *site = new (std::nothrow) CMyBrowserControlSite(this, this);
    return *site ? S_OK : E_OUTOFMEMORY;
}

const ElementEvent* CDHtmDlgEx::ElementEvents(size_t* count) {
    using H = ElementHandler;
    static const ElementEvent kMap[] = {
        {ElementMatch::Class, L"button", kEvMouseOut, static_cast<H>(&CDHtmDlgEx::OnButtonMouseOut)},
        {ElementMatch::Class, L"button", kEvMouseOver, static_cast<H>(&CDHtmDlgEx::OnButtonMouseOver)},
        {ElementMatch::Class, L"button", kEvMouseDown, static_cast<H>(&CDHtmDlgEx::OnButtonMouseDown)},
        {ElementMatch::Class, L"button", kEvMouseUp, static_cast<H>(&CDHtmDlgEx::OnButtonMouseUp)},
        {ElementMatch::Tag, L"body", kEvMouseDown, static_cast<H>(&CDHtmDlgEx::OnDragStart)},
        {ElementMatch::Tag, L"body", kEvMouseUp, static_cast<H>(&CDHtmDlgEx::OnDragEnd)},
        {ElementMatch::Tag, L"body", kEvMouseMove, static_cast<H>(&CDHtmDlgEx::OnDragMove)},
        {ElementMatch::Tag, L"body", kEvContextMenu, static_cast<H>(&CDHtmDlgEx::OnNoContextMenu)},
        {ElementMatch::Tag, L"td", kEvMouseDown, static_cast<H>(&CDHtmDlgEx::OnDragStart)},
        {ElementMatch::Tag, L"td", kEvMouseUp, static_cast<H>(&CDHtmDlgEx::OnDragEnd)},
        {ElementMatch::Tag, L"td", kEvMouseMove, static_cast<H>(&CDHtmDlgEx::OnDragMove)},
        {ElementMatch::Tag, L"td", kEvContextMenu, static_cast<H>(&CDHtmDlgEx::OnNoContextMenu)},
        {ElementMatch::Tag, L"div", kEvMouseDown, static_cast<H>(&CDHtmDlgEx::OnDragStart)},
        {ElementMatch::Tag, L"div", kEvMouseUp, static_cast<H>(&CDHtmDlgEx::OnDragEnd)},
        {ElementMatch::Tag, L"div", kEvMouseMove, static_cast<H>(&CDHtmDlgEx::OnDragMove)},
        {ElementMatch::Tag, L"div", kEvContextMenu, static_cast<H>(&CDHtmDlgEx::OnNoContextMenu)},
    };
    if (count) *count = sizeof(kMap) / sizeof(kMap[0]);
    return kMap;
}

void CDHtmDlgEx::OnBeforeNavigate2(IDispatch*, const wchar_t* url, bool* cancel) {
    FilterAppUrl(url, cancel);
}

void CDHtmDlgEx::OnDocumentComplete(IDispatch* disp, const wchar_t* url) {
    CDHtmlDialog::OnDocumentComplete(disp, url);
    const ComPtr<IHTMLDocument2> doc = m_host.Document();
    if (!doc) return;
    ComPtr<IHTMLElement> body;
    ComPtr<IHTMLBodyElement> bodyElement;
    if (SUCCEEDED(doc->get_body(&body)) && body &&
        SUCCEEDED(body->QueryInterface(IID_IHTMLBodyElement, &bodyElement)) && bodyElement) {
        const OwnedBstr scroll(::SysAllocString(L"auto"));
        if (scroll) bodyElement->put_scroll(scroll.get());
    }
}

HRESULT CDHtmDlgEx::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
    return S_OK;  // handled: the browser's own menu never appears
}

HRESULT CDHtmDlgEx::GetHostInfo(DOCHOSTUIINFO* info) {
    const HRESULT hr = CDHtmlDialog::GetHostInfo(info);
    if (SUCCEEDED(hr)) info->dwFlags |= DOCHOSTUIFLAG_DIALOG;
    return hr;
}

HRESULT CDHtmDlgEx::ShowMessage(HWND, LPOLESTR, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT*) {
    return S_FALSE;
}

HRESULT CDHtmDlgEx::ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) { return S_FALSE; }

// ---- buttons ---------------------------------------------------------------

void CDHtmDlgEx::SetState(PageElement& e, ButtonState state) {
    RECT rc{};
    if (!e.OffsetRect(&rc)) return;
    e.SetBackgroundX(ButtonBackgroundX(state, rc.right - rc.left));
}

HRESULT CDHtmDlgEx::ButtonOut(const std::shared_ptr<PageElement>& e) {
    if (e && ::GetCapture() != m_hWnd) SetState(*e, ButtonState::Normal);
    return S_FALSE;
}

HRESULT CDHtmDlgEx::ButtonOver(const std::shared_ptr<PageElement>& e) {
    if (!e || ::GetCapture() == m_hWnd || e->IsDisabled()) return S_FALSE;
    SetState(*e, ButtonState::Hover);
    return S_FALSE;
}

HRESULT CDHtmDlgEx::ButtonDown(const std::shared_ptr<PageElement>& e) {
    if (!e || e->IsDisabled()) return S_FALSE;
    m_captured = e;
    ::SetCapture(m_hWnd);
    SetState(*e, ButtonState::Pressed);
    return S_FALSE;
}

HRESULT CDHtmDlgEx::ButtonUp(const std::shared_ptr<PageElement>& e) {
    if (!e) return S_FALSE;
    ButtonOver(e);
    e->Click();
    return S_FALSE;
}

LRESULT CDHtmDlgEx::OnButtonUp(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    if (!m_hWnd || ::GetCapture() != m_hWnd) {
        handled = FALSE;
        return 0;
    }
    ::ReleaseCapture();
    // Keep the element alive past forgetting it: its click may run page code
    // that reaches this dialog again.
    const std::shared_ptr<PageElement> captured = std::move(m_captured);
    m_captured.reset();
    if (captured) {
        RECT rc{};
        const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (captured->OffsetRect(&rc) && ::PtInRect(&rc, pt)) {
            SetState(*captured, ButtonState::Hover);
            captured->Click();
        } else {
            SetState(*captured, ButtonState::Normal);
        }
    }
    return 0;
}

LRESULT CDHtmDlgEx::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    m_captured.reset();
    handled = FALSE;
    return 0;
}

HRESULT CDHtmDlgEx::OnButtonMouseOut(IHTMLElement* e) { return ButtonOut(WrapHtmlElement(e)); }
HRESULT CDHtmDlgEx::OnButtonMouseOver(IHTMLElement* e) { return ButtonOver(WrapHtmlElement(e)); }
HRESULT CDHtmDlgEx::OnButtonMouseDown(IHTMLElement* e) { return ButtonDown(WrapHtmlElement(e)); }
HRESULT CDHtmDlgEx::OnButtonMouseUp(IHTMLElement* e) { return ButtonUp(WrapHtmlElement(e)); }

// ---- dragging by the page background ------------------------------------------

void CDHtmDlgEx::DragBy(UINT ncMessage) {
    POINT pt{};
    ::GetCursorPos(&pt);
    ::SendMessageW(m_hWnd, ncMessage, HTCAPTION, MAKELPARAM(pt.x, pt.y));
}

HRESULT CDHtmDlgEx::OnDragStart(IHTMLElement*) {
    DragBy(WM_NCLBUTTONDOWN);
    return S_FALSE;
}

HRESULT CDHtmDlgEx::OnDragEnd(IHTMLElement*) {
    DragBy(WM_NCLBUTTONUP);
    return S_FALSE;
}

HRESULT CDHtmDlgEx::OnDragMove(IHTMLElement*) {
    DragBy(WM_NCMOUSEMOVE);
    return S_FALSE;
}

HRESULT CDHtmDlgEx::OnNoContextMenu(IHTMLElement*) { return S_FALSE; }

}  // namespace kvr
