// CStaticEx: static text for skinned dialogs. It paints its parent's skin
// behind itself, an optional picture (or 16 x 16 icon) at its left or right,
// and its text in the interface face with its own character wrapping; the
// control grows downwards when the text needs more lines. With a hover
// colour, the hand cursor and underlining it is a link (give the control
// SS_NOTIFY so that clicks reach the parent).
//
//   m_label.SubclassDlgItem(m_hWnd, IDC_LABEL);
//   m_label.SetTextColor(RGB(0, 0, 0));
//   m_label.SetText(L"...");              // or SetWindowText
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "base/owned.h"
#include "ui/mouse_hover.h"
#include "ui/window.h"

namespace kvr {

class CStaticEx : public CWindowImpl {
public:
    CStaticEx() = default;
    ~CStaticEx() override;

    BOOL SubclassDlgItem(HWND dialog, int id);
    // A new visible static child (style adds to WS_CHILD | WS_VISIBLE).
    HWND Create(HWND parent, const RECT& rc, const wchar_t* text, UINT id, DWORD style = 0);

    // The picture (a copy is kept; the bitmap stays the caller's); magenta is
    // transparent. Resets "picture on the right".
    bool SetPicture(HBITMAP bmp);
    bool SetPicture(UINT resourceId);
    void SetPictureOnRight(bool right) { m_pictureRight = right; Invalidate(); }
    void SetPictureIndex(int index) { m_pictureIndex = index; Invalidate(); }
    // A 16 x 16 icon shown when no picture is set (stays the caller's).
    void SetIcon(HICON icon) { m_icon = icon; Invalidate(); }

    void SetText(const wchar_t* text);
    void SetTextColor(COLORREF c) { m_textColor = c; Invalidate(); }
    void SetHoverColor(COLORREF c, bool use = true) { m_hoverColor = c; m_useHoverColor = use; Invalidate(); }
    void SetLineSpacing(int px) { m_lineSpacing = px; Invalidate(); }  // [3]
    void SetHandCursor(bool on) { m_handCursor = on; }
    // Font: 0 height means -12, -1 weight and 0 width keep the base font's.
    void SetFontHeight(int h) { m_fontHeight = h; ResetFont(); }
    void SetFontWeight(int w) { m_fontWeight = w; ResetFont(); }
    void SetFontWidth(int w) { m_fontWidth = w; ResetFont(); }
    void SetUnderline(bool on) { m_underline = on; ResetFont(); }

    bool IsHovering() const { return m_hover.Hovering(); }
    int LineSpacing() const { return m_lineSpacing; }
    // Lines the last painting drew (0 when the control was too narrow).
    int LastLineCount() const { return m_lastLines; }

    BEGIN_MSG_MAP(CStaticEx)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
        MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_MOUSEHOVER, OnMouseHover)
        MESSAGE_HANDLER(WM_MOUSELEAVE, OnMouseLeave)
        MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
    END_MSG_MAP()

private:
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseHover(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetCursor(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetText(UINT, WPARAM, LPARAM, BOOL&);
    void Draw(HDC dc, int width, int height);
    void Invalidate();
    void ResetFont();
    UINT FormatFlags() const;

    int m_fontWidth = 0;
    int m_fontWeight = -1;
    int m_fontHeight = 0;
    bool m_handCursor = false;
    bool m_underline = false;
    OwnedFont m_font;
    COLORREF m_textColor = RGB(0, 0, 0);
    COLORREF m_hoverColor = RGB(0, 0, 0);
    bool m_useHoverColor = false;
    int m_lineSpacing = 3;
    MouseHover m_hover;
    HICON m_icon = nullptr;
    OwnedImageList m_picture;
    SIZE m_pictureSize{0, 0};
    bool m_pictureRight = false;
    int m_pictureIndex = 0;
    int m_lastLines = 0;
};

}  // namespace kvr
