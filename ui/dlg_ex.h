// CDlgEx: the base of our dialogs without a system frame. It paints a
// background bitmap (nine-part stretched, or at its own size), cuts the
// window's corners where that bitmap has magenta pixels, draws the small icon
// and the title in the caption band, carries up to three caption buttons
// (close 50000, minimise 50001, maximise/restore 50002), drags the window by
// the band, sizes it by its borders when resizable and maximises it into the
// work area.
//
// Deriving a dialog:
//
//   class CMyDlg : public CDlgEx {
//   public:
//     CMyDlg() : CDlgEx(IDD_MY) {}
//     BEGIN_MSG_MAP(CMyDlg)
//       COMMAND_ID_HANDLER(IDC_X, OnX)     // own messages first
//       CHAIN_MSG_MAP(CDlgEx)               // then the base
//     END_MSG_MAP()
//   protected:
//     BOOL OnInitDialog() override {        // do NOT handle WM_INITDIALOG
//       SetCaptionHeight(30);               // settings first,
//       SetBorderWidth(4);
//       SetCaptionButtonMargin(0); SetCaptionButtonTop(0); SetCaptionButtonGap(0);
//       SetTitle(L"...");
//       SetSkin(IDB_BACKGROUND, false, true, 0, 0, 0, IDB_CLOSE);   // then the skin
//       m_ok.SubclassDlgItem(m_hWnd, IDOK); m_ok.SetImage(IDB_BUTTON, false);
//       return TRUE;                        // as for WM_INITDIALOG
//     }
//   };
//
// The base initialisation (frame styles removed, work area read) has run
// when OnInitDialog is called. Enter and Esc reach OnOK/OnCancel of
// CDialogImpl; the close button and Alt+F4 become WM_CLOSE, i.e. IDCANCEL.
#pragma once
#include <windows.h>
#include <vector>
#include "base/owned.h"
#include "ui/btn_ex.h"
#include "ui/window.h"

namespace kvr {

inline constexpr UINT kIdCaptionClose = 50000;
inline constexpr UINT kIdCaptionMinimize = 50001;
inline constexpr UINT kIdCaptionMaximize = 50002;

class CDlgEx : public CDialogImpl {
public:
    explicit CDlgEx(UINT templateId);
    ~CDlgEx() override;

    // ---- Settings (defaults in brackets); set before SetSkin ----
    void SetShowTitle(bool on) { m_showTitle = on; }                   // [true]
    void SetShowIcon(bool on) { m_showIcon = on; }                     // [true]
    void SetCaptionHeight(int px) { m_captionHeight = px; }            // [-1: whole window]
    void SetCaptionButtonMargin(int px) { m_buttonMargin = px; }       // [5] right margin
    void SetCaptionButtonTop(int px) { m_buttonTop = px; }             // [1]
    void SetCaptionButtonGap(int px) { m_buttonGap = px; }             // [0]
    void SetBorderWidth(int px) { m_borderWidth = px; }                // [3]
    void SetTitleColor(COLORREF c) { m_titleColor = c; }               // [white]
    void SetTitleWeight(int weight);                                   // [400]
    void SetResizable(bool on) { m_resizable = on; }                   // [false]
    void SetMaxSize(int width, int height) { m_maxSize = SIZE{width, height}; }  // [work area]
    void SetRestoreRect(const RECT& rc) { m_restoreRect = rc; }

    // ---- Skin ----
    // Takes ownership of every bitmap given (nullptr: none). `resizeToImage`
    // sizes the window to the background; `stretch` selects nine-part
    // stretching. Each caption-button image is a strip of four frames.
    void SetSkin(HBITMAP background, bool resizeToImage, bool stretch, HBITMAP minimize,
                 HBITMAP maximize, HBITMAP restore, HBITMAP close);
    // The same with PNG resource ids (0: none).
    void SetSkin(UINT backgroundId, bool resizeToImage, bool stretch, UINT minimizeId,
                 UINT maximizeId, UINT restoreId, UINT closeId);
    // A picture drawn unscaled at the top right (right edge at width - margin,
    // top at the caption-button top); owned.
    void SetOverlay(HBITMAP overlay);
    // Window text, repainting the caption band.
    void SetTitle(const wchar_t* title);

    // ---- Caption-button actions (overridable) ----
    virtual void OnCloseButton();      // posts WM_SYSCOMMAND SC_CLOSE
    virtual void OnMinimizeButton();   // posts WM_SYSCOMMAND SC_MINIMIZE
    virtual void ToggleMaximize();     // into the work area and back
    virtual void ShowMaximizeState();  // maximise/restore image and tooltip

    bool IsMaximized() const { return m_maximized; }
    RECT RestoreRect() const { return m_restoreRect; }
    SIZE MaxSize() const { return m_maxSize; }
    int CaptionHeight() const { return m_captionHeight; }
    int BorderWidth() const { return m_borderWidth; }
    HBITMAP Background() const { return m_background.get(); }
    CBtnEx& CloseButton() { return m_close; }
    CBtnEx& MinimizeButton() { return m_minimize; }
    CBtnEx& MaximizeButton() { return m_maximize; }

    // Paints the skin (background, overlay, icon, title) into `dc` in window
    // coordinates; false when there is no background.
    bool PaintSkin(HDC dc);

    BEGIN_MSG_MAP(CDlgEx)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialogMessage)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
        MESSAGE_HANDLER(WM_NCHITTEST, OnNcHitTest)
        MESSAGE_HANDLER(WM_NCLBUTTONDOWN, OnNcLButtonDown)
        MESSAGE_HANDLER(WM_NCLBUTTONDBLCLK, OnNcLButtonDblClk)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_SETICON, OnSetIcon)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
        MESSAGE_HANDLER(WM_SYSCOMMAND, OnSysCommand)
        COMMAND_ID_HANDLER(kIdCaptionClose, OnCaptionButton)
        COMMAND_ID_HANDLER(kIdCaptionMinimize, OnCaptionButton)
        COMMAND_ID_HANDLER(kIdCaptionMaximize, OnCaptionButton)
        CHAIN_MSG_MAP(CDialogImpl)
    END_MSG_MAP()

protected:
    // The derived dialog's initialisation; return as for WM_INITDIALOG.
    virtual BOOL OnInitDialog() { return TRUE; }

private:
    LRESULT OnInitDialogMessage(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNcHitTest(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNcLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNcLButtonDblClk(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSysCommand(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetIcon(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetText(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCaptionButton(WORD, WORD, HWND, BOOL&);

    void InitFrame();
    void UpdateRegion();
    void PlaceCaptionButtons();
    void RedrawAll();
    void FreeBitmaps();
    int TitleX() const;

    bool m_showTitle = true;
    bool m_showIcon = true;
    int m_captionHeight = -1;
    int m_buttonMargin = 5;
    int m_buttonTop = 1;
    int m_buttonGap = 0;
    int m_borderWidth = 3;
    COLORREF m_titleColor = RGB(255, 255, 255);
    int m_titleWeight = 400;
    bool m_resizable = false;
    bool m_stretch = false;
    // Unlimited: the whole work area of the monitor the window is on then.
    SIZE m_maxSize{LONG_MAX, LONG_MAX};
    RECT m_restoreRect{0, 0, 0, 0};
    bool m_maximized = false;

    OwnedBitmap m_background;
    OwnedBitmap m_overlay;
    OwnedBitmap m_maximizeImage;
    OwnedBitmap m_restoreImage;
    std::vector<std::uint32_t> m_backgroundPixels;  // for the region
    OwnedFont m_titleFont;
    bool m_iconDrawn = false;

    CBtnEx m_close, m_minimize, m_maximize;
};

}  // namespace kvr
