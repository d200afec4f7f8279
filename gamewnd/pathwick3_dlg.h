// CPathwick3Dlg: the game window. A container for up to three page
// processes' frames shown as tabs, with the caption controls, the menus and
// the tray icon; it owns the keyboard hook and the muted flag and sends the
// login and play-time records of its pages.
//
// By responsibility:
//   pathwick3_dlg.cpp        start, pages and tabs, size, close and exit
//   pathwick3_dlg_pages.cpp  the page protocol: registration, captions,
//                            login and play-time records, the hall
//   pathwick3_dlg_menu.cpp   the caption buttons, the menus and the tray
//   tab_strip_ui.cpp         the tab strip's hover, tooltip and close box
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "base/messages.h"
#include "base/owned.h"
#include "base/process_watch.h"
#include "gamewnd/game_commands.h"
#include "gamewnd/game_window.h"
#include "gamewnd/hotkey_dispatch.h"
#include "gamewnd/page_list.h"
#include "gamewnd/tab_strip_ui.h"
#include "res/resource.h"
#include "ui/btn_ex.h"
#include "ui/dlg_ex.h"
#include "ui/msg_crack.h"
#include "ui/static_ex.h"
#include "update/self_update.h"

// The program's own messages to the game window, cracked.
#define MSG_KVR_TRAY(func) KVR_CRACKED_VOID(WM_KVR_TRAY, func(static_cast<UINT>(lParam)))
#define MSG_KVR_FRAME_READY(func) \
    KVR_CRACKED_VOID(WM_KVR_FRAME_READY, func(reinterpret_cast<HWND>(wParam), lParam != 0))
#define MSG_KVR_ADD_ACCOUNT(func) KVR_CRACKED_VOID(WM_KVR_ADD_ACCOUNT, func(wParam == 1))
#define MSG_KVR_UPDATE_CHECKED(func) KVR_CRACKED_VOID(kMsgUpdateChecked, func(static_cast<UpdateCheck>(wParam)))
#define MSG_KVR_HOTKEY(func) KVR_CRACKED_VOID(kMsgHotkey, func(static_cast<HookAction>(wParam)))

namespace kvr {

class CAddAccDlg;

class CPathwick3Dlg : public CDlgEx {
public:
    CPathwick3Dlg();
    ~CPathwick3Dlg() override;

    // The program started for pages, the hall and new windows: this
    // executable unless set otherwise (tests start a stand-in page).
    void SetPageProgram(const std::wstring& path) { m_pageProgram = path; }
    // Tick source of the start ticks and play-time records.
    void SetTickSource(DWORD (*tick)()) { m_tick = tick; }
    // The first page, started before this window (instead of one started
    // when the window is made).
    void SetFirstPage(FirstPage page) { m_firstPage = std::move(page); }

    int PageCount() const { return m_pages.Count(); }
    // What the boss key and the sound key do.
    void HideOrRestore();
    void ToggleMute();

    void SwitchTab();
    // Shows one page (none: hides every page); `activate` also makes it the
    // foreground window, which only an action of the player may do.
    void ShowPage(HWND page, bool activate = true);
    // Closing a tab as the player does (asks first).
    void ExitAccount(int index);
    // Ends the window: every page's play-time record, every page closed.
    void ExitAll();

    const PageList& Pages() const { return m_pages; }
    bool Muted() const { return m_muted != 0; }
    bool HasPendingChild() const { return static_cast<bool>(m_pendingChild); }
    bool TrayIconShown() const { return m_trayShown; }
    int HoveredTab() const { return m_strip.Hovered(); }
    int CloseBoxState() const { return m_strip.CloseState(); }
    HWND AddAccountWindow() const;

    BOOL PreTranslateMessage(MSG* msg) override;

    // The menu's update check, run off this thread, reports here
    // (wParam: the UpdateCheck).
    static constexpr UINT kMsgUpdateChecked = WM_APP + 0x3E8;
    // A process this window started ended (posted by its wait).
    static constexpr UINT kMsgProcessEnded = WM_APP + 0x3E9;
    // The keyboard hook posts the hotkeys it saw (wParam: the HookAction).
    static constexpr UINT kMsgHotkey = WM_APP + 0x3EA;
    // From the hall's start until it first shows itself: its visibility.
    static constexpr UINT_PTR kTimerHall = 3;
    static constexpr UINT kTimerPeriod = 400;
    // While the tray icon could not be added: the next try.
    static constexpr UINT_PTR kTimerTray = 9;
    static constexpr UINT kTrayRetryPeriod = 2000;

    BEGIN_MSG_MAP(CPathwick3Dlg)
        // The page protocol (pathwick3_dlg_pages.cpp)
        MSG_WM_COPYDATA(OnCopyData)
        MSG_KVR_FRAME_READY(OnFrameReady)
        MSG_KVR_ADD_ACCOUNT(OnAddAccount)
        MSG_NOTICE(kMsgProcessEnded, OnProcessEnded)
        MSG_WM_TIMER(OnTimer)
        COMMAND_CODE_HANDLER_EX(IDC_GW_HALL, BN_CLICKED, OnHallButton)
        // The caption buttons, menus and tray (pathwick3_dlg_menu.cpp)
        COMMAND_CODE_HANDLER_EX(IDC_GW_HIDE, BN_CLICKED, OnHideButton)
        COMMAND_CODE_HANDLER_EX(IDC_GW_SOUND, BN_CLICKED, OnSoundButton)
        COMMAND_CODE_HANDLER_EX(IDC_GW_MENU, BN_CLICKED, OnMenuButton)
        COMMAND_CODE_HANDLER_EX(IDC_GW_OTHER_ACCOUNT, STN_CLICKED, OnOtherAccount)
        MSG_KVR_TRAY(OnTray)
        MSG_NOTICE(TaskbarCreatedMessage(), OnTaskbarCreated)
        MSG_WM_TIMER(OnTrayTimer)
        MSG_NOTICE(WM_KVR_TRAY_MENU, OnTrayMenu)
        MSG_NOTICE(WM_KVR_HOTKEYS_CHANGED, OnHotkeysChanged)
        MSG_KVR_UPDATE_CHECKED(OnUpdateChecked)
        MSG_KVR_HOTKEY(OnHotkey)
        // The window and its tab strip (pathwick3_dlg.cpp)
        MSG_WM_SIZE(OnSize)
        MSG_WM_WINDOWPOSCHANGING(OnWindowPosChanging)
        MSG_WM_SYSCOMMAND(OnSysCommand)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_NCHITTEST(OnNcHitTest)
        MSG_WM_MOUSEMOVE(OnMouseMove)
        MSG_WM_MOUSELEAVE(OnMouseLeave)
        MSG_WM_LBUTTONDOWN(OnLButtonDown)
        MSG_WM_LBUTTONUP(OnLButtonUp)
        MSG_WM_MBUTTONUP(OnMButtonUp)
        MSG_WM_LBUTTONDBLCLK(OnLButtonDblClk)
        MSG_WM_DESTROY(OnDestroy)
        CHAIN_MSG_MAP(CDlgEx)
    END_MSG_MAP()

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}                       // Enter never closes the window
    void OnCancel() override { HandleClose(0); }  // WM_CLOSE

private:
    // The page protocol.
    LRESULT OnCopyData(HWND from, const COPYDATASTRUCT* data);
    void OnFrameReady(HWND frame, bool hall);
    void OnAddAccount(bool inThisWindow);
    void OnProcessEnded();
    void PendingChildEnded();
    void OnTimer(UINT_PTR id, BOOL& handled);
    void FollowHall();
    void OnHallButton(HWND);
    void StartPageProcess();
    void AdoptFirstPage();
    bool FromPendingProcess(HWND frame) const;
    void ClosePage(int index, bool byPlayer);
    void DropDeadPages();
    std::vector<std::pair<HWND, ProcessWatch>>::iterator PageProcessOf(HWND page);
    void SendMuteState();
    void PostToPages(UINT message);

    // The caption buttons, menus and tray.
    void OnHideButton(HWND) { HideOrRestore(); }
    void OnSoundButton(HWND) { ToggleMute(); }
    void OnMenuButton(HWND) { ShowMenu(false); }
    void OnOtherAccount(HWND);
    void OnTray(UINT mouseMessage);
    void OnTaskbarCreated();
    void OnTrayTimer(UINT_PTR id, BOOL& handled);
    void ShowTrayIcon();
    void RemoveTray();
    void OnTrayMenu() { ShowMenu(true); }
    void OnHotkeysChanged();
    void OnUpdateChecked(UpdateCheck result);
    void OnHotkey(HookAction action);
    void UpdateToolImages();
    void ShowMenu(bool tray);
    void RunMenuCommand(UINT command);
    void RunSettingsDialog();
    void EndOpenSettingsDialog();

    // The window and its tab strip.
    LRESULT OnSize(UINT type, SIZE size);
    void OnWindowPosChanging(WINDOWPOS* pos, BOOL& handled);
    LRESULT OnSysCommand(UINT command, LPARAM param, BOOL& handled);
    BOOL OnEraseBkgnd(HDC dc, BOOL& handled);
    UINT OnNcHitTest(POINT screen, BOOL& handled);
    void OnMouseMove(UINT keys, POINT pt, BOOL& handled);
    void OnMouseLeave();
    void OnLButtonDown(UINT keys, POINT pt, BOOL& handled);
    void OnLButtonUp(UINT keys, POINT pt, BOOL& handled);
    void OnMButtonUp(UINT keys, POINT pt, BOOL& handled);
    void OnLButtonDblClk(UINT keys, POINT pt, BOOL& handled);
    void OnDestroy(BOOL& handled);
    void SetUpSkin();
    void LoadSkinImages();
    void HandleClose(LPARAM param);
    void CancelOperation();
    void PlaceCaptionControls(int width);
    void InvalidateBrowser();
    void BringToFront();
    bool HallVisible() const;
    // Moves window over the page area of a client rectangle, without showing it.
    static void PlaceInPageArea(HWND window, const RECT& client);
    DWORD Now() const { return m_tick(); }

    HICON m_icon = nullptr;
    HICON m_smallIcon = nullptr;
    CBtnEx m_hide, m_menu, m_sound, m_hall;
    CStaticEx m_otherAccount;
    volatile LONG m_muted = 0;
    LONG m_hallShown = 0;
    OSVERSIONINFOW m_os{};
    // The processes this window started, each waited on: the page and the
    // hall process until their frames register, then the hall's and each
    // page's (by frame).
    FirstPage m_firstPage;  // until the window exists
    ProcessWatch m_pendingChild;
    ProcessWatch m_pendingHall;
    ProcessWatch m_hallProcess;
    std::vector<std::pair<HWND, ProcessWatch>> m_pageProcesses;
    PageList m_pages;
    CTabStripUi m_strip;
    std::unique_ptr<CAddAccDlg> m_addAccount;
    CDialogImpl* m_settings = nullptr;  // the hotkey settings dialog while it is open

    LONG m_mutedShown = 0;  // the state the sound button shows
    bool m_trayWanted = false;  // from the first page on
    bool m_trayShown = false;   // the last add succeeded
    bool m_timerOn = false;
    bool m_hallSeen = false;  // the hall has shown itself since it started
    bool m_exiting = false;
    bool m_skinLoaded = false;  // from the first page on
    bool m_updateChecking = false;  // the menu's check is on its way
    int m_lastWidth = -1;
    std::wstring m_pageProgram;
    DWORD (*m_tick)() = nullptr;
};

}  // namespace kvr
