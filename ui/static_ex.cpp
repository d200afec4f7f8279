#include "ui/static_ex.h"

#include <string>
#include <vector>

#include "ui/image.h"
#include "ui/paint_util.h"
#include "ui/text_wrap.h"

namespace kvr {

namespace {
// Ten characters of the interface's script: their measure gives the line
// height and an average character width.
const wchar_t kSample[] = L"\u6D4B\u8BD5\u7528\u6C49\u5B57\u6765\u83B7\u53D6\u5BBD\u5EA6";  // 测试用汉字来获取宽度
}  // namespace

CStaticEx::~CStaticEx() = default;

BOOL CStaticEx::SubclassDlgItem(HWND dialog, int id) {
    HWND h = ::GetDlgItem(dialog, id);
    return h && SubclassWindow(h);
}

HWND CStaticEx::Create(HWND parent, const RECT& rc, const wchar_t* text, UINT id, DWORD style) {
    HWND h = ::CreateWindowExW(0, L"STATIC", text ? text : L"", WS_CHILD | WS_VISIBLE | style,
                               rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                               ModuleInstance(), nullptr);
    if (!h || !SubclassWindow(h)) {
        if (h) ::DestroyWindow(h);
        return nullptr;
    }
    ::SendMessageW(h, WM_SETFONT, ::SendMessageW(parent, WM_GETFONT, 0, 0), FALSE);
    return h;
}

void CStaticEx::Invalidate() {
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CStaticEx::ResetFont() {
    m_font.reset();
    Invalidate();
}

bool CStaticEx::SetPicture(HBITMAP bmp) {
    const SIZE sz = BitmapSize(bmp);
    m_picture.reset();
    m_pictureSize = SIZE{0, 0};
    m_pictureRight = false;
    if (sz.cx <= 0 || sz.cy <= 0) return false;
    m_picture.reset(MaskedImageList(bmp, 1));
    if (!m_picture) return false;
    m_pictureSize = sz;
    Invalidate();
    return true;
}

bool CStaticEx::SetPicture(UINT resourceId) {
    const OwnedBitmap bmp(LoadSkinImage(resourceId));
    return bmp && SetPicture(bmp.get());
}

void CStaticEx::SetText(const wchar_t* text) {
    if (m_hWnd) ::SetWindowTextW(m_hWnd, text ? text : L"");
}

LRESULT CStaticEx::OnSetText(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
    const LRESULT r = DefWindowProc(msg, wParam, lParam);
    Invalidate();
    return r;
}

UINT CStaticEx::FormatFlags() const {
    const LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    UINT flags = DT_WORDBREAK;
    switch (style & SS_TYPEMASK) {
        case SS_CENTER: flags |= DT_CENTER | DT_VCENTER; break;
        case SS_RIGHT: flags |= DT_RIGHT; break;
        default: break;
    }
    if ((style & SS_ELLIPSISMASK) == SS_ENDELLIPSIS) flags |= DT_END_ELLIPSIS;
    if ((style & SS_ELLIPSISMASK) == SS_PATHELLIPSIS) flags |= DT_PATH_ELLIPSIS | DT_SINGLELINE;
    if (style & SS_CENTERIMAGE) flags |= DT_SINGLELINE | DT_VCENTER;
    return flags;
}

LRESULT CStaticEx::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    {
        CMemoryDC mem(dc, rc.right, rc.bottom);
        if (mem.ok()) {
            Draw(mem.dc(), rc.right, rc.bottom);
            mem.CopyTo(dc);
        }
    }
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

void CStaticEx::Draw(HDC dc, int width, int height) {
    PaintParentBackground(m_hWnd, dc);

    const int picW = m_picture ? m_pictureSize.cx : 16;
    const int picH = m_picture ? m_pictureSize.cy : 16;
    const int picX = m_pictureRight ? width - picW - 3 : 3;
    const int picY = (height - picH) / 2;
    if (m_picture)
        ImageList_Draw(m_picture.get(), m_pictureIndex, dc, picX, picY, ILD_TRANSPARENT);
    else if (m_icon)
        ::DrawIconEx(dc, picX, picY, m_icon, 16, 16, 0, nullptr, DI_NORMAL);

    RECT text{0, 0, width, height};
    if (m_picture) {
        if (m_pictureRight) text.right -= m_pictureSize.cx + 6;
        else text.left += m_pictureSize.cx + 6;
    }

    if (!m_font) {
        m_font.reset(DeriveFont(reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)),
                                SYSTEM_FONT, m_fontHeight ? m_fontHeight : -12, m_fontWeight,
                                m_fontWidth, m_underline, kUiFace));
    }
    HGDIOBJ oldFont = ::SelectObject(dc, m_font.get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, m_useHoverColor && m_hover.Hovering() ? m_hoverColor : m_textColor);

    RECT sample{0, 0, 0, 0};
    ::DrawTextW(dc, kSample, 11, &sample, DT_CALCRECT);
    const int lineHeight = sample.bottom - sample.top;
    const int avgWidth = (sample.right - sample.left) / 11;
    m_lastLines = 0;
    if (text.right - text.left < avgWidth || lineHeight <= 0) {
        ::SelectObject(dc, oldFont);
        return;
    }

    const int len = ::GetWindowTextLengthW(m_hWnd);
    std::wstring s(static_cast<size_t>(len) + 1, L'\0');
    s.resize(static_cast<size_t>(::GetWindowTextW(m_hWnd, &s[0], len + 1)));
    const std::vector<std::wstring> lines =
        WrapText(s, text.right - text.left, [dc](const std::wstring& line) {
            SIZE sz{0, 0};
            ::GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &sz);
            return static_cast<int>(sz.cx);
        });
    const UINT flags = FormatFlags();
    RECT lineRect = text;
    for (const std::wstring& line : lines) {
        ::DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &lineRect, flags);
        ::OffsetRect(&lineRect, 0, lineHeight + m_lineSpacing);
    }
    ::SelectObject(dc, oldFont);
    m_lastLines = static_cast<int>(lines.size());

    const int needed = WrappedHeight(m_lastLines, lineHeight, m_lineSpacing);
    if (height < needed)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, width, needed,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CStaticEx::OnMouseMove(UINT, WPARAM, LPARAM, BOOL& handled) {
    m_hover.Moved(m_hWnd);
    handled = FALSE;
    return 0;
}

LRESULT CStaticEx::OnMouseHover(UINT, WPARAM, LPARAM, BOOL&) {
    m_hover.Hovered();
    Invalidate();
    return 0;
}

LRESULT CStaticEx::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&) {
    m_hover.Left();
    Invalidate();
    return 0;
}

LRESULT CStaticEx::OnSetCursor(UINT, WPARAM, LPARAM, BOOL&) {
    if (m_handCursor) ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
}

}  // namespace kvr
