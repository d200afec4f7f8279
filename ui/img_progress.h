// CImgProgress: a standard progress bar (msctls_progress32) drawn from two
// pictures, the empty bar and the full bar. Position and range stay the
// standard control's (PBM_SETRANGE, PBM_SETPOS, ...); the fill is drawn in
// two pieces from both ends of the fill picture, so its rounded caps show at
// every length. Optionally prints the percentage.
//
//   m_bar.SubclassDlgItem(m_hWnd, IDC_PROGRESS);
//   m_bar.SetImages(LoadSkinImage(IDB_PROGRESS_BG), LoadSkinImage(IDB_PROGRESS_FILL));
//   m_bar.SetShowPercent(true);
#pragma once
#include <windows.h>
#include "base/owned.h"
#include "ui/window.h"

namespace kvr {

// What the bar draws for a position: the fill length L, its first piece
// (L / 2 pixels from the picture's left end) and second piece (the rest,
// from the picture's right end), and the percentage. A range whose bounds
// are equal draws no fill and no percentage.
struct ProgressFill {
    int length = 0;
    int firstWidth = 0;   // from source x 0
    int secondSrcX = 0;   // source x of the second piece
    int secondWidth = 0;
    bool hasPercent = false;
    int percent = 0;
};
ProgressFill ComputeProgressFill(int fillWidth, int lower, int upper, int pos);

class CImgProgress : public CWindowImpl {
public:
    CImgProgress() = default;
    ~CImgProgress() override;

    BOOL SubclassDlgItem(HWND dialog, int id);
    // Takes ownership of both bitmaps; the control takes the background's size.
    void SetImages(HBITMAP background, HBITMAP fill);
    void SetShowPercent(bool on);
    void SetTextColor(COLORREF color);

    int GetPos() const;
    void GetRange(int* lower, int* upper) const;
    RECT BarRect() const { return m_barRect; }
    RECT FillRect() const { return m_fillRect; }

    BEGIN_MSG_MAP(CImgProgress)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
    END_MSG_MAP()

private:
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    void Draw(HDC dc);

    OwnedBitmap m_background;
    OwnedBitmap m_fill;
    RECT m_barRect{0, 0, 0, 0};
    RECT m_fillRect{0, 0, 0, 0};
    bool m_showPercent = false;
    COLORREF m_textColor = RGB(0, 0, 0);
};

}  // namespace kvr
