// The small window framework every window of the program stands on.
//
// CWindowBase  an HWND owned by a C++ object whose messages go through the
//              object's message table (msg_map.h); what the table does not
//              handle goes to the window's original procedure.
// CWindowImpl  a window of a class we register ourselves, or a control we
//              subclass (SubclassWindow).
// CDialogImpl  a dialog from a numbered template, modal (DoModal, with our own
//              loop so that PreTranslateMessage works as it does for modeless
//              windows) or modeless (Create).
// CMessageLoop the message loop of a thread, with pre-translation: thread
//              filters first, then PreTranslateMessage of each of our windows
//              from the message's window up to its top-level window.
#pragma once
#include <windows.h>
#include <vector>
#include "ui/msg_map.h"

namespace kvr {

// Owner-draw plumbing: a parent whose table does not handle WM_DRAWITEM
// passes it on to the control when the control is one of our windows, as
// this message (same wParam and lParam). An owner-drawn control thus draws
// itself, whichever dialog it sits in.
inline constexpr UINT kMsgReflectDrawItem = WM_USER + 0x1c00 + WM_DRAWITEM;

class CMessageFilter {
public:
    virtual ~CMessageFilter() = default;
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;
};

class CWindowBase : public CMessageMap {
public:
    HWND m_hWnd = nullptr;

    CWindowBase() = default;
    CWindowBase(const CWindowBase&) = delete;
    CWindowBase& operator=(const CWindowBase&) = delete;
    ~CWindowBase() override;

    operator HWND() const { return m_hWnd; }
    bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

    // The C++ object behind one of our windows, or nullptr.
    static CWindowBase* FromHandle(HWND hWnd);

    // Called by the message loop before a message is dispatched; TRUE means
    // the message was consumed.
    virtual BOOL PreTranslateMessage(MSG* msg);

    // Default handling: the window's original procedure.
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Default handling of the message being processed now.
    LRESULT DefWindowProc();

    // Take over an existing window (a dialog control, say).
    BOOL SubclassWindow(HWND hWnd);
    HWND UnsubclassWindow();

    BOOL ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) override { return FALSE; }

protected:
    friend class CWindowImpl;
    friend class CDialogImpl;

    // Called after WM_NCDESTROY, when m_hWnd is already null.
    virtual void OnFinalMessage(HWND) {}

    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Attach(HWND hWnd, WNDPROC superProc);
    void Detach();

    // The object whose window is being created on this thread; its first
    // message attaches it (so that no message of the window is missed).
    static thread_local CWindowBase* s_creating;

    WNDPROC m_superProc = nullptr;
    MSG m_curMsg{};
};

class CWindowImpl : public CWindowBase {
public:
    HWND Create(HWND parent, const RECT& rc, LPCWSTR title, DWORD style,
                DWORD exStyle = 0, UINT_PTR idOrMenu = 0);

protected:
    // Our registered window class; derived classes name their own and may
    // change its style, cursor or background.
    virtual LPCWSTR WindowClassName() const { return L"KvrWindow"; }
    virtual void ModifyWindowClass(WNDCLASSEXW&) const {}

private:
    static LRESULT CALLBACK StartWindowProc(HWND, UINT, WPARAM, LPARAM);
};

// Registers every common control class (ICC_WIN95_CLASSES..ICC_ANIMATE_CLASS
// = 255), loading the common controls if they are not yet.
void RegisterCommonControls();

class CDialogImpl : public CWindowBase {
public:
    // DoModal's result when the dialog's window could not be created.
    static constexpr INT_PTR kNotCreated = -1;

    explicit CDialogImpl(UINT templateId) : m_templateId(templateId) {}

    // The result given to EndDialog; IDCANCEL when the loop ended otherwise
    // (the window was destroyed, or WM_QUIT came, which is posted again for
    // the outer loop); kNotCreated when there was no window.
    INT_PTR DoModal(HWND owner = nullptr);
    HWND Create(HWND owner = nullptr);          // modeless
    // Modal: ends the loop with this result. Modeless: destroys the window.
    BOOL EndDialog(INT_PTR result);
    bool IsModal() const { return m_modal; }
    UINT TemplateId() const { return m_templateId; }
    // Modal, shown without an owner: the owner that came to exist later (a
    // window of another process) takes the dialog, and is disabled until it
    // ends, as DoModal's own would be. Only the first one counts.
    void AdoptModalOwner(HWND owner);

    BOOL PreTranslateMessage(MSG* msg) override;

    BEGIN_MSG_MAP(CDialogImpl)
        COMMAND_ID_HANDLER(IDOK, OnOKCommand)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancelCommand)
    END_MSG_MAP()

protected:
    // IDOK and IDCANCEL (Enter, Esc, WM_CLOSE) end the dialog with their id
    // unless a derived dialog decides otherwise.
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    // A modal dialog is shown when its loop starts unless this is cleared
    // (a dialog that shows itself later, at its own time).
    bool m_showOnStart = true;

    // A modal dialog destroyed without EndDialog ends its loop.
    void OnFinalMessage(HWND) override;

private:
    static INT_PTR CALLBACK StartDialogProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnOKCommand(WORD, WORD, HWND, BOOL&) { OnOK(); return 0; }
    LRESULT OnCancelCommand(WORD, WORD, HWND, BOOL&) { OnCancel(); return 0; }
    UINT m_templateId;
    HWND m_owner = nullptr;       // of the modal dialog
    bool m_reenableOwner = false;  // it was enabled when the dialog took it
    bool m_modal = false;
    bool m_endModal = false;
    INT_PTR m_result = 0;
};

class CMessageLoop {
public:
    // The loop of the calling thread (there is one per thread).
    static CMessageLoop& Current();

    void AddMessageFilter(CMessageFilter* filter);
    void RemoveMessageFilter(CMessageFilter* filter);

    // Thread filters, then our windows from msg->hwnd up to its top level.
    BOOL PreTranslate(MSG* msg);

    // Runs until WM_QUIT; returns its exit code.
    int Run();
    // Runs until *done becomes true (a modal loop); false on WM_QUIT, which
    // is posted again for the outer loop.
    bool RunUntil(const bool* done);

private:
    std::vector<CMessageFilter*> m_filters;
};

HINSTANCE ModuleInstance();

}  // namespace kvr
