// CPathwick3Dlg: the caption buttons, the window and tray menus and what
// their commands do.
#include "gamewnd/pathwick3_dlg.h"

#include "base/module_path.h"
#include "base/process.h"
#include "browser/cache_clear.h"
#include "gamewnd/game_commands.h"
#include "login/add_acc_dlg.h"
#include "settings/setting_dlg.h"
#include "ui/message_box.h"

namespace kvr {

void CPathwick3Dlg::UpdateToolImages() {
    const LONG muted = m_muted ? 1 : 0;
    if (muted != m_mutedShown) {
        m_mutedShown = muted;
        m_sound.SetImage(static_cast<UINT>(muted ? IDB_TOOL_MUTED : IDB_TOOL_SOUND), false);
        ::InvalidateRect(m_sound, nullptr, TRUE);
    }
    const LONG hall = HallVisible() ? 1 : 0;
    if (hall != m_hallShown) {
        m_hallShown = hall;
        m_hall.SetImage(static_cast<UINT>(hall ? IDB_TOOL_HALL_SHOWN : IDB_TOOL_HALL), false);
        ::InvalidateRect(m_hall, nullptr, TRUE);
    }
}

// The "other account" link opens the add-account choice under it.
void CPathwick3Dlg::OnOtherAccount(HWND) {
    if (!m_addAccount) m_addAccount = std::make_unique<CAddAccDlg>();
    if (!m_addAccount->IsWindow() && !m_addAccount->Create(m_hWnd)) return;
    RECT link{}, panel{};
    ::GetWindowRect(m_otherAccount, &link);
    ::GetWindowRect(m_addAccount->m_hWnd, &panel);
    ::SetWindowPos(m_addAccount->m_hWnd, nullptr, link.right - (panel.right - panel.left), link.bottom, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(m_addAccount->m_hWnd, SW_SHOW);
}

void CPathwick3Dlg::OnTray(UINT mouseMessage) {
    if (mouseMessage == WM_LBUTTONUP) HideOrRestore();
    if (mouseMessage == WM_RBUTTONUP) ::PostMessageW(m_hWnd, WM_KVR_TRAY_MENU, 0, 0);
}

// The tray icon from the first page on. A failed add (explorer not up yet,
// or too busy to answer) is tried again until it holds.
void CPathwick3Dlg::ShowTrayIcon() {
    m_trayWanted = true;
    m_trayShown = AddTrayIcon(m_hWnd, m_smallIcon ? m_smallIcon : m_icon);
    if (m_trayShown)
        ::KillTimer(m_hWnd, kTimerTray);
    else
        ::SetTimer(m_hWnd, kTimerTray, kTrayRetryPeriod, nullptr);
}

void CPathwick3Dlg::RemoveTray() {
    m_trayWanted = false;
    ::KillTimer(m_hWnd, kTimerTray);
    if (m_trayShown) RemoveTrayIcon(m_hWnd);
    m_trayShown = false;
}

void CPathwick3Dlg::OnTrayTimer(UINT_PTR id, BOOL& handled) {
    if (id != kTimerTray) {
        handled = FALSE;
        return;
    }
    if (m_trayWanted && !m_trayShown)
        ShowTrayIcon();
    else
        ::KillTimer(m_hWnd, kTimerTray);
}

// Explorer started again: its new taskbar has none of the old icons.
void CPathwick3Dlg::OnTaskbarCreated() {
    if (m_trayWanted) ShowTrayIcon();
}

void CPathwick3Dlg::OnHotkeysChanged() {
    ReloadHotkeys();
    PostToPages(WM_KVR_RELOAD_KEYS);
}

void CPathwick3Dlg::ShowMenu(bool tray) {
    OwnedMenu menu(BuildGameMenu(tray, CurrentHotkeys().boss));
    if (!menu) return;
    UINT command = 0;
    if (tray) {
        ::SetForegroundWindow(m_hWnd);
        POINT cursor{};
        ::GetCursorPos(&cursor);
        command = static_cast<UINT>(::TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_RIGHTALIGN,
                                                     cursor.x, cursor.y, 0, m_hWnd, nullptr));
        // Without a message after it, a tray menu stays open when the player
        // clicks elsewhere.
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
    } else {
        RECT button{};
        ::GetWindowRect(m_menu, &button);
        command = static_cast<UINT>(
            ::TrackPopupMenu(menu.get(), TPM_RETURNCMD, button.left, button.bottom + 2, 0, m_hWnd, nullptr));
    }
    menu.reset();
    RunMenuCommand(command);
}

void CPathwick3Dlg::RunMenuCommand(UINT command) {
    switch (command) {
    case kCmdRefresh:
        ::PostMessageW(m_hWnd, WM_KEYDOWN, VK_F5, kSelfPostedMarker);
        break;
    case kCmdHideRestore:
        HideOrRestore();
        break;
    case kCmdClearCache:
        ClearCache();  // runs on its own thread; the message does not wait for it
        ShowMessageBox(kMbOk, kMessageTitle, L"缓存清除完毕！", m_hWnd);
        break;
    case kCmdUpdate:
        // Not on this thread: it owns the keyboard hook, which must not wait
        // for a slow server (the system drops a hook that keeps it waiting).
        if (!m_updateChecking) m_updateChecking = CheckUpdateInBackground(m_hWnd, kMsgUpdateChecked);
        break;
    case kCmdSettings:
        RunSettingsDialog();
        break;
    case kCmdExit:
        ExitAll();
        break;
    default:  // the version line and a dismissed menu do nothing
        break;
    }
}

void CPathwick3Dlg::OnUpdateChecked(UpdateCheck result) {
    m_updateChecking = false;
    switch (result) {
    case UpdateCheck::Newer:
        StartProcess(nullptr, L"\"" + OwnProgramPath() + L"\" /update", 0);
        ExitAll();
        break;
    case UpdateCheck::Current:
        ShowMessageBox(kMbOk, kMessageTitle, L"已经是最新版本，无需进行更新。", m_hWnd);
        break;
    default:  // a failed check is no news of the newest version
        ShowMessageBox(kMbOk, kMessageTitle, L"检查更新失败，请稍后再试。", m_hWnd);
        break;
    }
}

void CPathwick3Dlg::RunSettingsDialog() {
    if (m_settings) return;
    CSettingDlg dialog;
    m_settings = &dialog;  // hide/restore ends it while it is open
    dialog.DoModal(m_hWnd);
    m_settings = nullptr;
}

void CPathwick3Dlg::EndOpenSettingsDialog() {
    if (m_settings && m_settings->IsWindow() && ::IsWindowVisible(m_settings->m_hWnd)) m_settings->EndDialog(2);
}

}  // namespace kvr
