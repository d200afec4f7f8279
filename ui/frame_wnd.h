// A frame window with one view filling its client area: the small
// single-document frame/view pair of the game page process. The frame makes
// its view in WM_CREATE (OnCreateClient); the owner calls InitialUpdate once
// the frame exists.
#pragma once
#include <windows.h>
#include "ui/window.h"

namespace kvr {

class CViewWnd : public CWindowImpl {
public:
    // After the frame was created: the view's first fill (a page to show).
    virtual void OnInitialUpdate() {}
    // Keyboard messages of the view's windows, before dispatch.
    virtual BOOL PreTranslateView(MSG*) { return FALSE; }

    BEGIN_MSG_MAP(CViewWnd)
    END_MSG_MAP()

protected:
    LPCWSTR WindowClassName() const override { return L"KvrView"; }
};

class CFrameWnd : public CWindowImpl {
public:
    explicit CFrameWnd(CViewWnd* view) : m_view(view) {}

    // Creates the frame hidden (no WS_VISIBLE) at rc.
    HWND CreateFrame(const wchar_t* title, DWORD style, DWORD exStyle, const RECT& rc);
    // The view's initial update.
    void InitialUpdate();
    CViewWnd* View() const { return m_view; }

    BEGIN_MSG_MAP(CFrameWnd)
        MESSAGE_HANDLER(WM_CREATE, OnCreateMessage)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_SETFOCUS, OnSetFocus)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

protected:
    LPCWSTR WindowClassName() const override { return L"KvrFrame"; }
    // Frame creation: creates the view; -1 ends the window's creation.
    virtual int OnCreate(CREATESTRUCTW* cs);
    // The main frame of a process ends the thread's loop when destroyed.
    bool m_quitOnDestroy = true;

private:
    LRESULT OnCreateMessage(UINT, WPARAM, LPARAM lParam, BOOL&) {
        return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
    }
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnSetFocus(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);

    CViewWnd* m_view;
};

}  // namespace kvr
