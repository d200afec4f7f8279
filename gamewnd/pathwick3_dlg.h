// CPathwick3Dlg: the game window. A container for up to three page
// processes' frames shown as tabs, with the caption controls, the menus and
// the tray icon; it owns the keyboard hook and the muted flag and sends the
// login and play-time records of its pages.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <string>
#include "base/messages.h"
#include "gamewnd/hotkey_dispatch.h"
#include "gamewnd/page_list.h"
#include "ui/btn_ex.h"
#include "ui/dlg_ex.h"
#include "ui/static_ex.h"

namespace kvr {

class CAddAccDlg;

class CPathwick3Dlg : public CDlgEx, public IHotkeyTarget {
public:
    CPathwick3Dlg();
    ~CPathwick3Dlg() override;

    // The game window of this process (set by the constructor).
    static CPathwick3Dlg* Instance();

    // The program started for pages, the hall and new windows: this
    // executable unless set otherwise (tests start a stand-in page).
    void SetPageProgram(const std::wstring& path) { m_pageProgram = path; }
    // Tick source of the start ticks and play-time records.
    void SetTickSource(DWORD (*tick)()) { m_tick = tick; }

    // IHotkeyTarget: what the keyboard hook acts on.
    int PageCount() const override { return m_pages.Count(); }
    void HideOrRestore() override;
    void ToggleMute() override { m_muted = m_muted ? 0 : 1; }

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
    bool HasPendingChild() const { return m_pendingChild != nullptr; }
    bool TrayIconShown() const { return m_trayShown; }
    int HoveredTab() const { return m_hovered; }
    int CloseBoxState() const { return m_closeState; }
    HWND AddAccountWindow() const;

    BOOL PreTranslateMessage(MSG* msg) override;

    // The menu's update check, run off this thread, reports here
    // (wParam: the UpdateCheck).
    static constexpr UINT kMsgUpdateChecked = WM_APP + 0x3E8;

    BEGIN_MSG_MAP(CPathwick3Dlg)
        MESSAGE_HANDLER(WM_COPYDATA, OnCopyData)
        MESSAGE_HANDLER(WM_KVR_TRAY, OnTray)
        MESSAGE_HANDLER(WM_KVR_FRAME_READY, OnFrameReady)
        MESSAGE_HANDLER(WM_KVR_TRAY_MENU, OnTrayMenu)
        MESSAGE_HANDLER(WM_KVR_HOTKEYS_CHANGED, OnHotkeysChanged)
        MESSAGE_HANDLER(WM_KVR_ADD_ACCOUNT, OnAddAccount)
        MESSAGE_HANDLER(kMsgUpdateChecked, OnUpdateChecked)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_WINDOWPOSCHANGING, OnWindowPosChanging)
        MESSAGE_HANDLER(WM_SYSCOMMAND, OnSysCommand)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
        MESSAGE_HANDLER(WM_NCHITTEST, OnNcHitTest)
        MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_MOUSELEAVE, OnMouseLeave)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
        MESSAGE_HANDLER(WM_MBUTTONUP, OnMButtonUp)
        MESSAGE_HANDLER(WM_LBUTTONDBLCLK, OnLButtonDblClk)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        COMMAND_HANDLER(1001, BN_CLICKED, OnHideButton)
        COMMAND_HANDLER(1002, BN_CLICKED, OnSoundButton)
        COMMAND_HANDLER(1003, BN_CLICKED, OnMenuButton)
        COMMAND_HANDLER(1004, BN_CLICKED, OnHallButton)
        COMMAND_HANDLER(1005, STN_CLICKED, OnOtherAccount)
        CHAIN_MSG_MAP(CDlgEx)
    END_MSG_MAP()

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}                       // Enter never closes the window
    void OnCancel() override { HandleClose(0); }  // WM_CLOSE

private:
    LRESULT OnCopyData(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTray(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFrameReady(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTrayMenu(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnHotkeysChanged(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnAddAccount(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnUpdateChecked(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnWindowPosChanging(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSysCommand(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNcHitTest(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMButtonUp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonDblClk(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnHideButton(WORD, WORD, HWND, BOOL&) { HideOrRestore(); return 0; }
    LRESULT OnSoundButton(WORD, WORD, HWND, BOOL&) { ToggleMute(); return 0; }
    LRESULT OnMenuButton(WORD, WORD, HWND, BOOL&);
    LRESULT OnHallButton(WORD, WORD, HWND, BOOL&);
    LRESULT OnOtherAccount(WORD, WORD, HWND, BOOL&);

    void SetUpSkin();
    void StartPageProcess();
    void HandleClose(LPARAM lParam);
    void CancelOperation();
    void ClosePage(int index, bool byPlayer);
    void DropDeadPages();
    void SendMuteState();
    void UpdateToolImages();
    void RunMenuCommand(UINT command);
    void ShowMenu(bool tray);
    void PlaceCaptionControls(int width);
    void InvalidateBrowser();
    void InvalidateTab(int index);
    void InvalidateStrip(int count);
    void ResetHover();
    void ShowTooltip(int tab);
    void BringToFront();
    void RunSettingsDialog();
    void EndOpenSettingsDialog();
    bool HallVisible() const;
    bool FromPendingProcess(HWND frame) const;
    POINT ClientPoint(LPARAM lParam) const;
    DWORD Now() const { return m_tick(); }

    HICON m_icon = nullptr;
    HICON m_smallIcon = nullptr;
    CBtnEx m_hide, m_menu, m_sound, m_hall;
    CStaticEx m_otherAccount;
    volatile LONG m_muted = 0;
    LONG m_hallShown = 0;
    OSVERSIONINFOW m_os{};
    HANDLE m_pendingChild = nullptr;
    HANDLE m_pendingHall = nullptr;  // the hall process until its frame registers
    PageList m_pages;
    HIMAGELIST m_tabImages = nullptr;
    HIMAGELIST m_closeImages = nullptr;
    int m_hovered = -1;
    int m_closeState = -1;
    HWND m_tooltip = nullptr;
    bool m_tooltipShown = false;
    bool m_tracking = false;
    std::unique_ptr<CAddAccDlg> m_addAccount;
    CDialogImpl* m_settings = nullptr;  // the hotkey settings dialog while it is open

    HFONT m_tabFont = nullptr;
    LONG m_mutedShown = 0;  // the state button 1002 shows
    bool m_trayShown = false;
    bool m_timerOn = false;
    bool m_exiting = false;
    bool m_updateChecking = false;  // the menu's check is on its way
    int m_lastWidth = -1;
    std::wstring m_pageProgram;
    DWORD (*m_tick)() = nullptr;
};

}  // namespace kvr
