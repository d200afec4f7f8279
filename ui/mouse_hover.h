// Whether the mouse rests over a control. The skinned button and static ask
// for the hover notice (after 10 ms) and the leave notice once per visit.
#pragma once
#include <windows.h>

namespace kvr {

class MouseHover {
public:
    // On WM_MOUSEMOVE: asks for the notices unless already asked this visit.
    void Moved(HWND control) {
        if (m_tracking) return;
        TRACKMOUSEEVENT tme{sizeof(tme), TME_HOVER | TME_LEAVE, control, 10};
        m_tracking = ::TrackMouseEvent(&tme) != FALSE;
    }
    void Hovered() { m_hovering = true; }  // WM_MOUSEHOVER
    void Left() {                           // WM_MOUSELEAVE
        m_hovering = false;
        m_tracking = false;
    }
    // Forgets the hover look without ending the visit (the notices stay due).
    void Clear() { m_hovering = false; }
    bool Hovering() const { return m_hovering; }

private:
    bool m_hovering = false;
    bool m_tracking = false;
};

}  // namespace kvr
