// Message tables in the style of WTL: each window class lists the messages it
// handles, and anything it does not handle falls through to its base class.
//
//   BEGIN_MSG_MAP(CMyDlg)
//     MESSAGE_HANDLER(WM_TIMER, OnTimer)
//     COMMAND_ID_HANDLER(IDOK, OnOK)
//     CHAIN_MSG_MAP(CDlgEx)
//   END_MSG_MAP()
//
// Handlers:  LRESULT OnX(UINT msg, WPARAM wp, LPARAM lp, BOOL& handled);
//            LRESULT OnCmd(WORD notifyCode, WORD id, HWND ctl, BOOL& handled);
//            LRESULT OnNotify(int id, LPNMHDR hdr, BOOL& handled);
// `handled` starts TRUE; a handler clears it to let the message go on.
#pragma once
#include <windows.h>

namespace kvr {

class CMessageMap {
public:
    virtual ~CMessageMap() = default;
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam,
                                      LPARAM lParam, LRESULT& lResult) = 0;
};

}  // namespace kvr

#define BEGIN_MSG_MAP(theClass)                                                \
  public:                                                                      \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam,             \
                              LPARAM lParam, LRESULT& lResult) override {      \
        BOOL bHandled = TRUE;                                                  \
        (void)hWnd; (void)uMsg; (void)wParam; (void)lParam;                   \
        (void)bHandled; (void)lResult;

#define MESSAGE_HANDLER(msg, func)                                             \
        if (uMsg == (msg)) {                                                   \
            bHandled = TRUE;                                                   \
            lResult = func(uMsg, wParam, lParam, bHandled);                    \
            if (bHandled) return TRUE;                                         \
        }

#define MESSAGE_RANGE_HANDLER(msgFirst, msgLast, func)                         \
        if (uMsg >= (msgFirst) && uMsg <= (msgLast)) {                         \
            bHandled = TRUE;                                                   \
            lResult = func(uMsg, wParam, lParam, bHandled);                    \
            if (bHandled) return TRUE;                                         \
        }

#define COMMAND_ID_HANDLER(id, func)                                           \
        if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) {                    \
            bHandled = TRUE;                                                   \
            lResult = func(HIWORD(wParam), LOWORD(wParam), (HWND)lParam,       \
                           bHandled);                                          \
            if (bHandled) return TRUE;                                         \
        }

#define COMMAND_RANGE_HANDLER(idFirst, idLast, func)                           \
        if (uMsg == WM_COMMAND && LOWORD(wParam) >= (idFirst) &&               \
            LOWORD(wParam) <= (idLast)) {                                      \
            bHandled = TRUE;                                                   \
            lResult = func(HIWORD(wParam), LOWORD(wParam), (HWND)lParam,       \
                           bHandled);                                          \
            if (bHandled) return TRUE;                                         \
        }

#define COMMAND_HANDLER(id, code, func)                                        \
        if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) &&                    \
            HIWORD(wParam) == (code)) {                                        \
            bHandled = TRUE;                                                   \
            lResult = func(HIWORD(wParam), LOWORD(wParam), (HWND)lParam,       \
                           bHandled);                                          \
            if (bHandled) return TRUE;                                         \
        }

#define NOTIFY_HANDLER(id, code, func)                                         \
        if (uMsg == WM_NOTIFY && ((LPNMHDR)lParam)->idFrom == (UINT_PTR)(id) &&\
            ((LPNMHDR)lParam)->code == (code)) {                               \
            bHandled = TRUE;                                                   \
            lResult = func((int)wParam, (LPNMHDR)lParam, bHandled);            \
            if (bHandled) return TRUE;                                         \
        }

#define NOTIFY_CODE_HANDLER(code, func)                                        \
        if (uMsg == WM_NOTIFY && ((LPNMHDR)lParam)->code == (code)) {          \
            bHandled = TRUE;                                                   \
            lResult = func((int)wParam, (LPNMHDR)lParam, bHandled);            \
            if (bHandled) return TRUE;                                         \
        }

#define CHAIN_MSG_MAP(theBase)                                                 \
        if (theBase::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult))\
            return TRUE;

#define END_MSG_MAP()                                                          \
        return FALSE;                                                          \
    }
