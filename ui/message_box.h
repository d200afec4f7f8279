// The program's message box: every message the player must act on goes
// through here, in the program's skin.
#pragma once
#include <windows.h>
#include <string>
#include "base/owned.h"
#include "ui/btn_ex.h"
#include "ui/dlg_ex.h"

namespace kvr {

enum MessageBoxKind : int {
    kMbOk = 0,        // one OK button
    kMbOkCancel = 1,  // OK and Cancel
    kMbYesNo = 4,     // Yes and No
};

inline constexpr wchar_t kMessageTitle[] = L"MarvoleKelvara";

// Shows the box modally; returns IDOK (1), IDCANCEL (2), IDYES (6) or IDNO (7).
// Closing the box (WM_CLOSE) answers IDCANCEL.
int ShowMessageBox(int kind, const wchar_t* title, const wchar_t* text, HWND owner = nullptr);
// The same with the images given (the box takes ownership of all four; any
// may be nullptr): background, close button strip, the two button strips.
int ShowMessageBoxWithImages(HWND owner, const wchar_t* text, HBITMAP background, HBITMAP closeImage,
                             HBITMAP firstButton, HBITMAP secondButton, const wchar_t* title, int kind);

// ---- Geometry of the box (no window needed) ----
// 1 plus the number of LF characters.
int MessageLineCount(const std::wstring& text);
// Window size for a measured text tw x th, its line count and the button
// strip's frame width bw and height bh.
SIZE MessageBoxSize(int tw, int th, int lines, int bw, int bh);
// Top-left corner of a box of `size`: centred on the owner's window
// rectangle (on the work area when `owner` is empty), then moved inside
// `workArea`, the work area of the owner's monitor. Monitors left of or
// above the primary one have negative coordinates.
POINT MessageBoxPosition(const RECT& owner, const RECT& workArea, SIZE size);
// Button rectangles in a client area cw wide with bottom cb: two buttons
// with a 20-pixel gap around the middle, or one centred (second empty).
void MessageBoxButtons(bool two, int cw, int cb, int bw, int bh, RECT* first, RECT* second);

// The box itself (template 130). Owns the four bitmaps it is given. Each
// line of the text is a static child (ids from kFirstLineId on) holding that
// line as its window text, so screen readers and tests read what it says;
// the box draws the lines into them.
class CMessageBox : public CDlgEx {
public:
    static constexpr int kFirstLineId = 5100;

    CMessageBox(const wchar_t* text, HBITMAP background, HBITMAP closeImage, HBITMAP firstButton,
                HBITMAP secondButton, const wchar_t* title, int kind);
    ~CMessageBox() override;

    int Kind() const { return m_kind; }
    CBtnEx& FirstButton() { return m_first; }
    CBtnEx& SecondButton() { return m_second; }

    BEGIN_MSG_MAP(CMessageBox)
        MESSAGE_HANDLER(WM_DRAWITEM, OnDrawItem)
        COMMAND_ID_HANDLER(5000, OnButton)
        COMMAND_ID_HANDLER(5001, OnButton)
        CHAIN_MSG_MAP(CDlgEx)
    END_MSG_MAP()

protected:
    BOOL OnInitDialog() override;
    // Enter answers as the first button does.
    void OnOK() override;

private:
    LRESULT OnDrawItem(UINT, WPARAM, LPARAM, BOOL&);
    void CreateLines(int clientWidth, const RECT& text);
    LRESULT OnButton(WORD, WORD id, HWND, BOOL&);
    bool TwoButtons() const { return m_kind == kMbYesNo || m_kind == kMbOkCancel; }
    int ResultOf(UINT id) const;
    POINT PlaceOnOwner(SIZE size) const;
    RECT MeasureText(HDC dc) const;

    std::wstring m_text;
    std::wstring m_title;
    int m_kind;
    OwnedBitmap m_background, m_closeImage, m_firstImage, m_secondImage;
    int m_lines = 1;
    HFONT m_font = nullptr;  // the dialog's
    COLORREF m_textColor = RGB(0, 0, 0);
    CBtnEx m_first, m_second;
};

}  // namespace kvr
