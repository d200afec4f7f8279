#include "gamewnd/game_commands.h"

#include <shellapi.h>
#include "base/endpoints.h"
#include "base/http_fetch.h"
#include "base/messages.h"
#include "base/owned.h"

namespace kvr {

std::wstring HideRestoreText(const HotKey& boss) {
    return L"隐藏/恢复(" + FormatHotKey(boss.key, boss.modifiers) + L")";
}

HMENU BuildGameMenu(bool tray, const HotKey& boss) {
    HMENU menu = ::CreatePopupMenu();
    if (!menu) return nullptr;
    ::AppendMenuW(menu, MF_STRING, kCmdRefresh, L"刷新 (F5)");
    ::AppendMenuW(menu, MF_STRING, kCmdHideRestore, HideRestoreText(boss).c_str());
    ::AppendMenuW(menu, MF_STRING, kCmdClearCache, L"清除缓存");
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, kCmdUpdate, L"更新");
    ::AppendMenuW(menu, MF_STRING, kCmdSettings, L"设置...");
    if (tray) {
        ::AppendMenuW(menu, MF_STRING, kCmdExit, L"退出");
    } else {
        const std::wstring version = std::wstring(L"版本号: ") + ProgramVersion();
        ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(kCmdVersion), version.c_str());
    }
    return menu;
}

namespace {
NOTIFYICONDATAW TrayData(HWND window) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = 1;
    return data;
}
}  // namespace

bool AddTrayIcon(HWND window, HICON icon) {
    NOTIFYICONDATAW data = TrayData(window);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_KVR_TRAY;
    data.hIcon = icon;
    ::lstrcpynW(data.szTip, kGameWindowTitle, ARRAYSIZE(data.szTip));
    // A busy explorer can let the add time out and still add the icon; then
    // only a change succeeds.
    return ::Shell_NotifyIconW(NIM_ADD, &data) || ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

void RemoveTrayIcon(HWND window) {
    NOTIFYICONDATAW data = TrayData(window);
    ::Shell_NotifyIconW(NIM_DELETE, &data);
}

UINT TaskbarCreatedMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

void AllowTaskbarCreated(HWND window) {
    // Looked up: the filter of one window came with Windows 7, the filter of
    // the whole process with Vista; XP has neither.
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (!user32) return;
    using WindowFilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    using ProcessFilterFn = BOOL(WINAPI*)(UINT, DWORD);
    const auto windowFilter = reinterpret_cast<WindowFilterFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
    const auto processFilter = reinterpret_cast<ProcessFilterFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(user32, "ChangeWindowMessageFilter")));
    constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW, and MSGFLT_ADD of the process filter
    if (windowFilter)
        windowFilter(window, TaskbarCreatedMessage(), kAllow, nullptr);
    else if (processFilter)
        processFilter(TaskbarCreatedMessage(), kAllow);
}

namespace {
std::wstring HandleText(const void* handle) {
    return std::to_wstring(static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(handle)));
}
}  // namespace

std::wstring PageCommandLine(const std::wstring& exe, HWND game, int pageCount) {
    return L"\"" + exe + L"\" /newgm /" + HandleText(game) + L" /" + std::to_wstring(pageCount);
}

std::wstring HallCommandLine(const std::wstring& exe, HWND game) {
    return L"\"" + exe + L"\" /gmhall /" + HandleText(game);
}

std::wstring FirstPageCommandLine(const std::wstring& exe, HANDLE windowPipe) {
    return PageCommandLine(exe, nullptr, 0) + L" /" + HandleText(windowPipe);
}

namespace {
DWORD WINAPI ReportThread(LPVOID param) {
    auto* url = static_cast<std::wstring*>(param);
    ReportRequest(url->c_str());
    delete url;
    return 0;
}
}  // namespace

void ReportOnWorkerThread(const std::wstring& url) {
    auto* copy = new std::wstring(url);
    const OwnedHandle thread(::CreateThread(nullptr, 0, ReportThread, copy, 0, nullptr));  // never waited on
    if (!thread) delete copy;
}

}  // namespace kvr
