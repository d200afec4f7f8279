// The game window's tab strip as the player meets it: the tab and close-box
// images and their painting, the tab under the mouse and the state of its
// close box, and the tooltip with that tab's whole caption. The window's
// mouse messages feed it; the geometry is tab_strip.h's.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "base/owned.h"
#include "gamewnd/page_list.h"

namespace kvr {

class CTabStripUi {
public:
    CTabStripUi() = default;
    CTabStripUi(const CTabStripUi&) = delete;
    CTabStripUi& operator=(const CTabStripUi&) = delete;

    // Makes the tooltip of window (the game window).
    void Create(HWND window);
    // The tab and close-box images, wanted from the first tab on.
    void LoadImages();

    // Draws the tabs of pages onto dc, over the skin already drawn there.
    void Paint(HDC dc, const PageList& pages);

    // The mouse at pt (client); pressed: the left button is down.
    void MouseMoved(POINT pt, bool pressed, const PageList& pages);
    void MouseLeft();
    // The left button went down on tab's close box.
    void PressClose(int tab);
    // Forgets the tab under the mouse and hides the tooltip, without
    // repainting; ClearHover repaints the tab that had the mouse.
    void ResetHover();
    void ClearHover();

    void InvalidateTab(int index) const;
    void InvalidateStrip(int count) const;
    // Mouse messages the tooltip must see.
    void RelayEvent(MSG* msg) const;

    int Hovered() const { return m_hovered; }
    // 1: the mouse over the hovered tab's close box, 2: pressed there, -1 not.
    int CloseState() const { return m_closeState; }

private:
    void ShowTooltip(const wchar_t* caption);

    HWND m_window = nullptr;
    OwnedImageList m_tabImages;
    OwnedImageList m_closeImages;
    OwnedFont m_font;
    HWND m_tooltip = nullptr;
    bool m_tooltipShown = false;
    bool m_tracking = false;
    int m_hovered = -1;
    int m_closeState = -1;
};

}  // namespace kvr
