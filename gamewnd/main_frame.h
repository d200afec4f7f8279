// CMainFrame: the frame of a game page process. Created hidden, it makes
// itself a child of the game window and registers with it (and goes with it;
// the page process also waits on the game window's process), relays the
// window-switch key to it, opens the favourites dialog on Ctrl+D, refreshes
// on F5 unless F5 is another hotkey, applies the mute state it is sent and
// re-reads the hotkeys on request.
#pragma once
#include "base/messages.h"
#include "gamewnd/gm_wnd_doc.h"
#include "gamewnd/gm_wnd_view.h"
#include "gamewnd/sound_mute.h"
#include "settings/hotkey.h"
#include "ui/frame_wnd.h"

namespace kvr {

// The keyboard rules of the page's message pre-translation.
// The modifier set held now (Ctrl 2, Shift 4, Alt 1).
unsigned CurrentModifiers();
// A key-down (or system key-down) not posted by the program itself that is
// the hotkey with exactly these modifiers.
bool IsHotKeyMessage(const MSG& msg, const HotKey& key, unsigned modifiers);
// Ctrl+D as a character: code 4 with scan code 0x20 and repeat count 1.
bool IsCtrlDChar(const MSG& msg);
// F5 refreshes when the program itself sent it (the menu's refresh), or when
// neither the boss key nor the sound key is plain F5.
bool F5Refreshes(LPARAM lParam, const HotKey& bossKey, const HotKey& soundKey);

class CMainFrame : public CFrameWnd, public CMessageFilter {
public:
    enum : UINT_PTR { kAlertTimer = 5, kRaiseTimer = 6 };

    CMainFrame(HWND gameWindow, const wchar_t* startUrl, bool hall);
    ~CMainFrame() override;

    // Creates the frame hidden with its view, 10 x 10, no menu.
    bool CreatePage();
    CGmWndView& View() { return m_view; }
    CGmWndDoc& Document() { return m_doc; }

    // The settings file the hotkeys are read from (default: the installed one).
    void SetSettingsFile(const wchar_t* iniPath) { m_iniPath = iniPath ? iniPath : L""; }
    const HotKey& SwitchKey() const { return m_switchKey; }

    BOOL PreTranslateMessage(MSG* msg) override;

    BEGIN_MSG_MAP(CMainFrame)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_MOUSEACTIVATE, OnMouseActivate)
        MESSAGE_HANDLER(WM_KVR_MUTE, OnMute)
        MESSAGE_HANDLER(WM_KVR_RELOAD_KEYS, OnReloadKeys)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_SYSCOMMAND, OnSysCommand)
#ifdef KVR_TEST_HOOKS
        MESSAGE_HANDLER(WM_COPYDATA, OnTestHookData)
#endif
        CHAIN_MSG_MAP(CFrameWnd)
    END_MSG_MAP()

protected:
    int OnCreate(CREATESTRUCTW* cs) override;

private:
    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnMouseActivate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMute(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnReloadKeys(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnSysCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled);
#ifdef KVR_TEST_HOOKS
    LRESULT OnTestHookData(UINT, WPARAM, LPARAM lParam, BOOL& handled);
#endif
    void ReadHotKeys();
    void DestroyScriptAlert();
    void RaiseGameWindow();

    HWND m_gameWindow;
    bool m_hall;
    CGmWndDoc m_doc;
    CGmWndView m_view;
    HotKey m_bossKey, m_switchKey, m_soundKey;
    MuteFollower m_mute;
    std::wstring m_iniPath;
    bool m_closePending = false;
};

}  // namespace kvr
