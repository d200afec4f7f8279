// Message table entries that hand the handler the message's own types
// instead of WPARAM and LPARAM (msg_map.h has the table itself):
//
//   MSG_WM_COPYDATA(OnCopyData)        LRESULT OnCopyData(HWND from, const COPYDATASTRUCT* data)
//   MSG_WM_MOUSEMOVE(OnMouseMove)      void OnMouseMove(UINT keys, POINT pt, BOOL& handled)
//
// A handler that may let the message go on to the base class takes
// `BOOL& handled` last (it starts TRUE) and clears it.
#pragma once
#include <windows.h>
#include "ui/msg_map.h"

namespace kvr {
// The signed client (or screen) point of a mouse message's lParam.
inline POINT PointOfLParam(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}
}  // namespace kvr

// The entry of one message: `call` is evaluated with bHandled set, its value
// is the message's result.
#define KVR_CRACKED(msg, call)                                                 \
        if (uMsg == (msg)) {                                                   \
            bHandled = TRUE;                                                   \
            lResult = static_cast<LRESULT>(call);                              \
            if (bHandled) return TRUE;                                         \
        }
#define KVR_CRACKED_VOID(msg, call)                                            \
        if (uMsg == (msg)) {                                                   \
            bHandled = TRUE;                                                   \
            call;                                                              \
            lResult = 0;                                                       \
            if (bHandled) return TRUE;                                         \
        }

#define MSG_WM_COPYDATA(func)                                                  \
    KVR_CRACKED(WM_COPYDATA, func(reinterpret_cast<HWND>(wParam),               \
                                  reinterpret_cast<const COPYDATASTRUCT*>(lParam)))
#define MSG_WM_TIMER(func) KVR_CRACKED_VOID(WM_TIMER, func(static_cast<UINT_PTR>(wParam), bHandled))
#define MSG_WM_SIZE(func)                                                      \
    KVR_CRACKED(WM_SIZE, func(static_cast<UINT>(wParam),                        \
                              SIZE{LOWORD(lParam), HIWORD(lParam)}))
#define MSG_WM_WINDOWPOSCHANGING(func)                                         \
    KVR_CRACKED_VOID(WM_WINDOWPOSCHANGING, func(reinterpret_cast<WINDOWPOS*>(lParam), bHandled))
// The command with its low bits (which the system uses) and the parameter,
// a point for commands from the mouse.
#define MSG_WM_SYSCOMMAND(func)                                                \
    KVR_CRACKED(WM_SYSCOMMAND, func(static_cast<UINT>(wParam), lParam, bHandled))
#define MSG_WM_ERASEBKGND(func)                                                \
    KVR_CRACKED(WM_ERASEBKGND, func(reinterpret_cast<HDC>(wParam), bHandled))
#define MSG_WM_NCHITTEST(func)                                                 \
    KVR_CRACKED(WM_NCHITTEST, func(::kvr::PointOfLParam(lParam), bHandled))
#define KVR_CRACKED_MOUSE(msg, func)                                           \
    KVR_CRACKED_VOID(msg, func(static_cast<UINT>(wParam), ::kvr::PointOfLParam(lParam), bHandled))
#define MSG_WM_MOUSEMOVE(func) KVR_CRACKED_MOUSE(WM_MOUSEMOVE, func)
#define MSG_WM_LBUTTONDOWN(func) KVR_CRACKED_MOUSE(WM_LBUTTONDOWN, func)
#define MSG_WM_LBUTTONUP(func) KVR_CRACKED_MOUSE(WM_LBUTTONUP, func)
#define MSG_WM_MBUTTONUP(func) KVR_CRACKED_MOUSE(WM_MBUTTONUP, func)
#define MSG_WM_LBUTTONDBLCLK(func) KVR_CRACKED_MOUSE(WM_LBUTTONDBLCLK, func)
#define MSG_WM_MOUSELEAVE(func) KVR_CRACKED_VOID(WM_MOUSELEAVE, func())
#define MSG_WM_DESTROY(func) KVR_CRACKED_VOID(WM_DESTROY, func(bHandled))

// A message without parameters (a notice).
#define MSG_NOTICE(msg, func) KVR_CRACKED_VOID(msg, func())

// A control's notification: void OnClick(HWND control).
#define COMMAND_CODE_HANDLER_EX(id, code, func)                                \
        if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) &&                    \
            HIWORD(wParam) == (code)) {                                        \
            func(reinterpret_cast<HWND>(lParam));                              \
            lResult = 0;                                                       \
            return TRUE;                                                       \
        }
