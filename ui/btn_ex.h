// CBtnEx: a push button drawn from a horizontal strip of four equal frames
// (normal, hover, pressed, disabled). It paints its parent's background
// behind itself, so magenta (transparent) parts of a frame show the skin.
//
// Use:
//   m_ok.SubclassDlgItem(m_hWnd, IDOK);   // a button of the template
//   m_ok.SetImage(IDB_BUTTON, false);      // resource id, or an HBITMAP
//   m_ok.SetTooltip(L"...");               // optional
// Any dialog works as parent: the framework passes WM_DRAWITEM on to it.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "base/owned.h"
#include "ui/mouse_hover.h"
#include "ui/window.h"

namespace kvr {

class CBtnEx : public CWindowImpl {
public:
    enum Frame { kFrameNormal = 0, kFrameHover = 1, kFramePressed = 2, kFrameDisabled = 3 };

    CBtnEx() = default;
    ~CBtnEx() override;

    // Takes over a button of a dialog: its text becomes the caption and it
    // becomes owner-drawn.
    BOOL SubclassDlgItem(HWND dialog, int id);
    // A new visible owner-drawn child button.
    HWND Create(HWND parent, const RECT& rc, const wchar_t* caption, UINT id, HBITMAP image);
    // A caption button of a skinned dialog: empty text, its right edge at
    // `right`, top at `top`, one frame wide and the strip's height.
    HWND CreateCaptionButton(HWND parent, UINT id, int right, int top, HBITMAP image);

    // Rebuilds the frames from the strip (frame width = strip width / 4). The
    // strip stays the caller's. `resize`: the button becomes one frame big.
    bool SetImage(HBITMAP strip, bool resize);
    // Loads the strip from our resources (and frees it after).
    bool SetImage(UINT resourceId, bool resize);

    void SetTooltip(const wchar_t* text);
    void SetTextColor(COLORREF color);
    void SetHandCursor(bool on) { m_handCursor = on; }
    // Back to the normal frame (hover and pressed state cleared).
    void ResetState();

    const std::wstring& Caption() const { return m_caption; }
    SIZE FrameSize() const { return m_frameSize; }
    // The frame the next drawing uses, from the window's state.
    int CurrentFrame(bool selected) const;
    bool HasTooltip() const { return m_tooltipOn; }
    HWND TooltipWindow() const { return m_tooltip; }

    BOOL PreTranslateMessage(MSG* msg) override;

    BEGIN_MSG_MAP(CBtnEx)
        MESSAGE_HANDLER(kMsgReflectDrawItem, OnDrawItem)
        MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_MOUSEHOVER, OnMouseHover)
        MESSAGE_HANDLER(WM_MOUSELEAVE, OnMouseLeave)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
        MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
        MESSAGE_HANDLER(WM_NOTIFY, OnNotify)
    END_MSG_MAP()

protected:
    // The tooltip went with the window (it is owned by it): a button made
    // again on this object makes a new one.
    void OnFinalMessage(HWND) override;

private:
    LRESULT OnDrawItem(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseHover(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetCursor(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnSetText(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNotify(UINT, WPARAM, LPARAM, BOOL&);
    void MakeOwnerDraw();
    void UpdateTooltip();
    void Draw(HDC target, const RECT& rc, int frame);
    void DrawCaption(HDC dc, const RECT& rc, int frame);

    std::wstring m_caption;
    OwnedImageList m_frames;
    SIZE m_frameSize{0, 0};
    COLORREF m_textColor = RGB(0, 0, 0);
    MouseHover m_hover;
    bool m_pressedLatch = false;
    bool m_handCursor = false;
    bool m_tooltipOn = false;
    std::wstring m_tooltipText;
    HWND m_tooltip = nullptr;
    RECT m_windowRect{0, 0, 0, 0};
    OwnedFont m_font;  // the caption font, -12 high
};

}  // namespace kvr
