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
HookAction ClassifyHookEvent(const GameHotkeys& keys, int pageCount, WPARAM message, unsigned vk,
                             unsigned modifiers);

// The game window as the hook sees it.
class IHotkeyTarget {
public:
    virtual ~IHotkeyTarget() = default;
    virtual int PageCount() const = 0;
    virtual void HideOrRestore() = 0;
    virtual void ToggleMute() = 0;
};

// Installs the WH_KEYBOARD_LL hook for the calling (UI) thread's target; the
// hook never swallows a key. One hook per process.
bool InstallKeyboardHook(IHotkeyTarget* target);
void RemoveKeyboardHook();
// Removes the hook only when it acts on target (a window going away).
void RemoveKeyboardHookOf(const IHotkeyTarget* target);

}  // namespace kvr
