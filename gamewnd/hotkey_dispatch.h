// Matching pressed keys against the three hotkeys, and the low-level keyboard
// hook through which the boss key and the sound key act system-wide.
#pragma once
#include <windows.h>
#include "settings/hotkey.h"

namespace kvr {

// The hotkeys of this process, as last read from the settings.
struct GameHotkeys {
    HotKey boss;
    HotKey switchKey;
    HotKey sound;
};
const GameHotkeys& CurrentHotkeys();
void ReloadHotkeys();  // reads the three from the settings (hotkey_reload.cpp)
void SetCurrentHotkeys(const GameHotkeys& keys);

// Modifier set held right now (GetKeyState): Ctrl 2, Shift 4, Alt 1.
unsigned CurrentModifierSet();

// Exact match: same key, and the same modifier set (not a superset).
bool HotKeyMatches(const HotKey& hotkey, unsigned vk, unsigned modifiers);

// What the hook does with one key event. The boss key wins when the boss and
// sound keys are equal.
enum class HookAction { None, BossKey, SoundKey };
HookAction ClassifyHookEvent(const GameHotkeys& keys, WPARAM message, unsigned vk, unsigned modifiers);

// A key held down repeats its key-down event until it is released; a hotkey
// acts once a press.
class CHeldKeyFilter {
public:
    // False for a key-up and for a repeated key-down of the key held down.
    bool FirstPress(WPARAM message, unsigned vk);

private:
    unsigned m_held = 0;
};

// Installs the WH_KEYBOARD_LL hook for the calling (UI) thread. Its callback
// only decides: for the first press of the boss or sound key it posts message
// (wParam: the HookAction) to window, whose handler does the work; the
// system drops a hook that keeps it waiting. The hook never swallows a key.
// One hook per process.
bool InstallKeyboardHook(HWND window, UINT message);
void RemoveKeyboardHook();
// Removes the hook only when it posts to window (a window going away).
void RemoveKeyboardHookOf(HWND window);

// The hook's callback, as the system calls it.
LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam);

}  // namespace kvr
