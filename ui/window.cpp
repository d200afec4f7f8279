#include "ui/window.h"

#include <commctrl.h>

#include <algorithm>

namespace kvr {

namespace {
const wchar_t kThisProp[] = L"Kvr.WindowObject";
}

thread_local CWindowBase* CWindowBase::s_creating = nullptr;

namespace {
// WM_DRAWITEM for one of our controls goes to the control itself.
bool ReflectToControl(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg != WM_DRAWITEM || !lParam) return false;
    const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (dis->CtlType == ODT_MENU || !CWindowBase::FromHandle(dis->hwndItem)) return false;
    result = ::SendMessageW(dis->hwndItem, kMsgReflectDrawItem, wParam, lParam);
    return true;
}
}  // namespace

HINSTANCE ModuleInstance() { return ::GetModuleHandleW(nullptr); }

CWindowBase::~CWindowBase() {
    // A window must not outlive its object: detach so no message reaches it.
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        HWND h = m_hWnd;
        Detach();
        ::DestroyWindow(h);
    }
}

CWindowBase* CWindowBase::FromHandle(HWND hWnd) {
    return hWnd ? static_cast<CWindowBase*>(::GetPropW(hWnd, kThisProp)) : nullptr;
}

BOOL CWindowBase::PreTranslateMessage(MSG*) { return FALSE; }

LRESULT CWindowBase::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = m_superProc ? m_superProc : ::DefWindowProcW;
    return ::CallWindowProcW(proc, m_hWnd, msg, wParam, lParam);
}

LRESULT CWindowBase::DefWindowProc() {
    return DefWindowProc(m_curMsg.message, m_curMsg.wParam, m_curMsg.lParam);
}

void CWindowBase::Attach(HWND hWnd, WNDPROC superProc) {
    m_hWnd = hWnd;
    m_superProc = superProc;
    ::SetPropW(hWnd, kThisProp, this);
}

void CWindowBase::Detach() {
    if (!m_hWnd) return;
    if (m_superProc &&
        reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC)) == WindowProc)
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
    ::RemovePropW(m_hWnd, kThisProp);
    m_hWnd = nullptr;
}

BOOL CWindowBase::SubclassWindow(HWND hWnd) {
    if (m_hWnd || !hWnd || FromHandle(hWnd)) return FALSE;
    auto old = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc)));
    if (!old) return FALSE;
    Attach(hWnd, old);
    return TRUE;
}

HWND CWindowBase::UnsubclassWindow() {
    HWND h = m_hWnd;
    Detach();
    return h;
}

LRESULT CALLBACK CWindowBase::WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWindowBase* self = FromHandle(hWnd);
    if (!self) return ::DefWindowProcW(hWnd, msg, wParam, lParam);

    const MSG saved = self->m_curMsg;
    self->m_curMsg = MSG{hWnd, msg, wParam, lParam, 0, {0, 0}};
    LRESULT result = 0;
    if (!self->ProcessWindowMessage(hWnd, msg, wParam, lParam, result)) {
        if (!ReflectToControl(msg, wParam, lParam, result))
            result = self->DefWindowProc(msg, wParam, lParam);
    }
    self->m_curMsg = saved;

    if (msg == WM_NCDESTROY && FromHandle(hWnd) == self) {
        self->Detach();
        self->OnFinalMessage(hWnd);
    }
    return result;
}

// ---- CWindowImpl -----------------------------------------------------------

LRESULT CALLBACK CWindowImpl::StartWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWindowBase* self = s_creating;
    if (!self || FromHandle(hWnd)) return ::DefWindowProcW(hWnd, msg, wParam, lParam);
    s_creating = nullptr;
    self->Attach(hWnd, ::DefWindowProcW);
    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc));
    return WindowProc(hWnd, msg, wParam, lParam);
}

HWND CWindowImpl::Create(HWND parent, const RECT& rc, LPCWSTR title, DWORD style,
                         DWORD exStyle, UINT_PTR idOrMenu) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (!::GetClassInfoExW(ModuleInstance(), WindowClassName(), &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = StartWindowProc;
        wc.hInstance = ModuleInstance();
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = WindowClassName();
        ModifyWindowClass(wc);
        wc.lpfnWndProc = StartWindowProc;
        if (!::RegisterClassExW(&wc)) return nullptr;
    }
    s_creating = this;
    HWND h = ::CreateWindowExW(exStyle, WindowClassName(), title, style, rc.left, rc.top,
                               rc.right - rc.left, rc.bottom - rc.top, parent,
                               reinterpret_cast<HMENU>(idOrMenu), ModuleInstance(), this);
    s_creating = nullptr;
    return h;
}

// ---- CDialogImpl -----------------------------------------------------------

INT_PTR CALLBACK CDialogImpl::StartDialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // The dialog's window procedure is replaced by ours at its first message,
    // so from then on only the dialog manager's default handling calls here.
    CWindowBase* self = s_creating;
    if (!self || FromHandle(hWnd)) return FALSE;
    s_creating = nullptr;
    auto super = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC));
    self->Attach(hWnd, super);
    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc));
    if (msg == WM_INITDIALOG) {
        // Already inside the dialog manager: answer through the table here.
        LRESULT result = TRUE;
        self->m_curMsg = MSG{hWnd, msg, wParam, lParam, 0, {0, 0}};
        if (!self->ProcessWindowMessage(hWnd, msg, wParam, lParam, result)) result = TRUE;
        return static_cast<INT_PTR>(result);
    }
    return FALSE;
}

void RegisterCommonControls() {
    INITCOMMONCONTROLSEX icc{sizeof icc, 0xFF};
    ::InitCommonControlsEx(&icc);
}

HWND CDialogImpl::Create(HWND owner) {
    // A template may hold common controls (a progress bar), and a process may
    // make its first dialog before it registered them.
    RegisterCommonControls();
    s_creating = this;
    HWND h = ::CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(m_templateId), owner,
                                  StartDialogProc, reinterpret_cast<LPARAM>(this));
    s_creating = nullptr;
    return h;
}

INT_PTR CDialogImpl::DoModal(HWND owner) {
    m_owner = owner;
    m_reenableOwner = owner && ::IsWindowEnabled(owner);
    if (m_reenableOwner) ::EnableWindow(owner, FALSE);
    m_modal = true;
    m_endModal = false;
    m_result = IDCANCEL;
    if (!Create(owner)) {
        if (m_reenableOwner) ::EnableWindow(owner, TRUE);
        m_modal = false;
        return kNotCreated;
    }
    if (!m_endModal && m_showOnStart && !(::GetWindowLongW(m_hWnd, GWL_STYLE) & WS_VISIBLE))
        ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    if (!m_endModal) CMessageLoop::Current().RunUntil(&m_endModal);

    // Give activation back to the owner before the dialog goes away.
    if (m_reenableOwner) ::EnableWindow(m_owner, TRUE);
    if (m_hWnd) {
        if (m_owner && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(m_owner);
        ::DestroyWindow(m_hWnd);
    }
    m_modal = false;
    return m_result;
}

void CDialogImpl::AdoptModalOwner(HWND owner) {
    if (!m_modal || !m_hWnd || m_owner || !owner) return;
    // GWLP_HWNDPARENT of a top-level window is its owner.
    ::SetWindowLongPtrW(m_hWnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    m_owner = owner;
    m_reenableOwner = ::IsWindowEnabled(owner) != FALSE;
    if (m_reenableOwner) ::EnableWindow(owner, FALSE);
}

BOOL CDialogImpl::EndDialog(INT_PTR result) {
    if (m_modal) {
        m_result = result;
        m_endModal = true;
        if (m_hWnd) ::PostMessageW(m_hWnd, WM_NULL, 0, 0);  // wake the loop
        return TRUE;
    }
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

void CDialogImpl::OnFinalMessage(HWND) {
    if (!m_modal || m_endModal) return;
    m_endModal = true;
    // The loop may be waiting in GetMessage (the window went inside a sent
    // message): wake it.
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
}

BOOL CDialogImpl::PreTranslateMessage(MSG* msg) {
    if (::GetWindowLongW(m_hWnd, GWL_STYLE) & WS_CHILD) return FALSE;
    return ::IsDialogMessageW(m_hWnd, msg);
}

// ---- CMessageLoop ----------------------------------------------------------

CMessageLoop& CMessageLoop::Current() {
    static thread_local CMessageLoop loop;
    return loop;
}

void CMessageLoop::AddMessageFilter(CMessageFilter* filter) { m_filters.push_back(filter); }

void CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) {
    m_filters.erase(std::remove(m_filters.begin(), m_filters.end(), filter), m_filters.end());
}

BOOL CMessageLoop::PreTranslate(MSG* msg) {
    // Copy: a filter may remove itself while it runs.
    const std::vector<CMessageFilter*> filters = m_filters;
    for (auto it = filters.rbegin(); it != filters.rend(); ++it)
        if ((*it)->PreTranslateMessage(msg)) return TRUE;

    for (HWND h = msg->hwnd; h; ) {
        if (CWindowBase* w = CWindowBase::FromHandle(h))
            if (w->PreTranslateMessage(msg)) return TRUE;
        if (!(::GetWindowLongW(h, GWL_STYLE) & WS_CHILD)) break;
        h = ::GetParent(h);
    }
    return FALSE;
}

int CMessageLoop::Run() {
    MSG msg;
    for (;;) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        if (!PreTranslate(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

bool CMessageLoop::RunUntil(const bool* done) {
    MSG msg;
    while (!*done) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) return false;
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (!PreTranslate(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return true;
}

}  // namespace kvr
