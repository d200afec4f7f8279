#include "ui/message_box.h"

#include <algorithm>
#include <vector>

#include "res/resource.h"
#include "ui/image.h"
#include "ui/monitor.h"
#include "ui/paint_util.h"

namespace kvr {

namespace {
const wchar_t kYes[] = L"\u662F";         // 是
const wchar_t kNo[] = L"\u5426";          // 否
const wchar_t kOk[] = L"\u786E\u5B9A";    // 确定
const wchar_t kCancel[] = L"\u53D6\u6D88";  // 取消

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (;;) {
        const size_t lf = text.find(L'\n', start);
        std::wstring line = text.substr(start, lf == std::wstring::npos ? std::wstring::npos : lf - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
        if (lf == std::wstring::npos) break;
        start = lf + 1;
    }
    return lines;
}
}  // namespace

int MessageLineCount(const std::wstring& text) {
    return 1 + static_cast<int>(std::count(text.begin(), text.end(), L'\n'));
}

SIZE MessageBoxSize(int tw, int th, int lines, int bw, int bh) {
    // 30 pixels beside the text or the two buttons, whichever is wider (a
    // text a little wider than the buttons would otherwise reach the border).
    const int width = (tw > 2 * bw ? tw : 2 * bw) + 60;
    return SIZE{width, 3 * lines + th + bh + 90};
}

POINT MessageBoxPosition(const RECT& owner, const RECT& workArea, SIZE size) {
    const RECT& around = ::IsRectEmpty(&owner) ? workArea : owner;
    int x = around.left + (around.right - around.left - size.cx) / 2;
    int y = around.top + (around.bottom - around.top - size.cy) / 2;
    // Inside the work area; a box larger than it keeps its top-left corner in.
    x = std::max(static_cast<int>(workArea.left), std::min(x, static_cast<int>(workArea.right - size.cx)));
    y = std::max(static_cast<int>(workArea.top), std::min(y, static_cast<int>(workArea.bottom - size.cy)));
    return POINT{x, y};
}

void MessageBoxButtons(bool two, int cw, int cb, int bw, int bh, RECT* first, RECT* second) {
    const int bottom = cb - 30, top = bottom - bh;
    if (two) {
        const int m = cw / 2 - 10;
        *first = RECT{m - bw, top, m, bottom};
        *second = RECT{m + 20, top, m + 20 + bw, bottom};
    } else {
        const int left = (cw - bw) / 2;
        *first = RECT{left, top, left + bw, bottom};
        *second = RECT{0, 0, 0, 0};
    }
}

CMessageBox::CMessageBox(const wchar_t* text, HBITMAP background, HBITMAP closeImage,
                         HBITMAP firstButton, HBITMAP secondButton, const wchar_t* title, int kind)
    : CDlgEx(IDD_MESSAGE_BOX),
      m_text(text ? text : L""),
      m_title(title ? title : L""),
      m_kind(kind),
      m_background(background),
      m_closeImage(closeImage),
      m_firstImage(firstButton),
      m_secondImage(secondButton) {}

CMessageBox::~CMessageBox() = default;

RECT CMessageBox::MeasureText(HDC dc) const {
    RECT rc{0, 0, 0, 0};
    HGDIOBJ old = ::SelectObject(dc, m_font);
    ::DrawTextW(dc, m_text.c_str(), static_cast<int>(m_text.size()), &rc, DT_CALCRECT);
    ::SelectObject(dc, old);
    return rc;
}

BOOL CMessageBox::OnInitDialog() {
    SetCaptionHeight(30);
    SetCaptionButtonMargin(0);
    SetCaptionButtonTop(0);
    SetCaptionButtonGap(0);
    SetBorderWidth(4);
    // The background and close image now belong to the skinned base.
    SetSkin(m_background.release(), false, true, nullptr, nullptr, nullptr, m_closeImage.release());
    SetTitle(m_title.c_str());

    m_lines = MessageLineCount(m_text);
    m_font = reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
    const RECT text = MeasureText(WindowDc(m_hWnd).get());

    const SIZE strip = BitmapSize(m_firstImage.get());
    const int bw = strip.cx / 4, bh = strip.cy;
    const SIZE size = MessageBoxSize(text.right, text.bottom, m_lines, bw, bh);
    const POINT at = PlaceOnOwner(size);
    ::SetWindowPos(m_hWnd, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);

    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    CreateLines(client.right, text);
    RECT first{}, second{};
    MessageBoxButtons(TwoButtons(), client.right, client.bottom, bw, bh, &first, &second);
    m_first.Create(m_hWnd, first, m_kind == kMbYesNo ? kYes : kOk, 5000, m_firstImage.get());
    if (TwoButtons())
        m_second.Create(m_hWnd, second, m_kind == kMbYesNo ? kNo : kCancel, 5001, m_secondImage.get());
    ::SetFocus(m_first);
    return FALSE;  // focus set here
}

POINT CMessageBox::PlaceOnOwner(SIZE size) const {
    // Centred on a visible owner, on its monitor's work area otherwise.
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    RECT ownerRect{0, 0, 0, 0};
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &ownerRect);
    return MessageBoxPosition(ownerRect, MonitorWorkArea(owner ? owner : m_hWnd), size);
}

int CMessageBox::ResultOf(UINT id) const {
    if (id == 5001) return m_kind == kMbYesNo ? IDNO : IDCANCEL;
    return m_kind == kMbYesNo ? IDYES : IDOK;
}

LRESULT CMessageBox::OnButton(WORD, WORD id, HWND, BOOL&) {
    EndDialog(ResultOf(id));
    return 0;
}

void CMessageBox::OnOK() { EndDialog(ResultOf(5000)); }

void CMessageBox::CreateLines(int clientWidth, const RECT& text) {
    // The block of lines is centred; each line is left-aligned in it, 3
    // pixels below the one before, the first at y = 55.
    const int tw = text.right, lh = text.bottom / m_lines;
    const int left = (clientWidth - tw) / 2;
    int y = 55, id = kFirstLineId;
    for (const std::wstring& line : SplitLines(m_text)) {
        ::CreateWindowExW(0, L"STATIC", line.c_str(), WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, left, y, tw, lh,
                          m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), ModuleInstance(),
                          nullptr);
        y += lh + 3;
    }
}

LRESULT CMessageBox::OnDrawItem(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (!item || item->CtlType != ODT_STATIC || static_cast<int>(item->CtlID) < kFirstLineId) {
        handled = FALSE;  // the buttons draw themselves
        return 0;
    }
    wchar_t line[512] = L"";
    const int length = ::GetWindowTextW(item->hwndItem, line, 512);
    PaintParentBackground(item->hwndItem, item->hDC);
    HGDIOBJ oldFont = ::SelectObject(item->hDC, m_font);
    ::SetBkMode(item->hDC, TRANSPARENT);
    ::SetTextColor(item->hDC, m_textColor);
    RECT rc = item->rcItem;
    // Texts can carry names from elsewhere: "&" is shown, not an underline.
    ::DrawTextW(item->hDC, line, length, &rc, DT_NOPREFIX);
    ::SelectObject(item->hDC, oldFont);
    return TRUE;
}

int ShowMessageBoxWithImages(HWND owner, const wchar_t* text, HBITMAP background, HBITMAP closeImage,
                             HBITMAP firstButton, HBITMAP secondButton, const wchar_t* title, int kind) {
    CMessageBox box(text, background, closeImage, firstButton, secondButton, title, kind);
    const INT_PTR result = box.DoModal(owner);
    if (result == CDialogImpl::kNotCreated) {
        // The skinned box could not be made: the player still gets the message.
        const UINT type = kind == kMbYesNo ? MB_YESNO : kind == kMbOkCancel ? MB_OKCANCEL : MB_OK;
        return ::MessageBoxW(owner, text, title, type);
    }
    return static_cast<int>(result);
}

int ShowMessageBox(int kind, const wchar_t* title, const wchar_t* text, HWND owner) {
    return ShowMessageBoxWithImages(owner, text, LoadSkinImage(IDB_DLG_BG), LoadSkinImage(IDB_CLOSE),
                                    LoadSkinImage(IDB_BUTTON), LoadSkinImage(IDB_BUTTON), title, kind);
}

}  // namespace kvr
