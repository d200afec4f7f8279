#include "gamewnd/hotkey_dispatch.h"

namespace kvr {

namespace {

// Process-wide: a low-level keyboard hook procedure gets no user parameter,
// so the keys, the hook and the window it posts to are where it can read them.
GameHotkeys g_keys{HotKey{0, 121}, HotKey{2, 9}, HotKey{2, 81}};
HHOOK g_hook = nullptr;
HWND g_window = nullptr;
UINT g_message = 0;
CHeldKeyFilter g_held;

bool KeyDown(int vk) {
    // Down when the 16-bit state, read unsigned, is 256 or more.
    return static_cast<unsigned short>(::GetKeyState(vk)) >= 256;
}

// The low-level hook runs before any thread has seen the key, and the game
// window's thread seldom has the keyboard focus (a page does): its
// message-synchronous key state would miss modifiers held for another
// window. The hook reads the physical state instead.
unsigned HookModifierSet() {
    unsigned set = 0;
    if (::GetAsyncKeyState(VK_CONTROL) & 0x8000) set |= kModCtrl;
    if (::GetAsyncKeyState(VK_SHIFT) & 0x8000) set |= kModShift;
    if (::GetAsyncKeyState(VK_MENU) & 0x8000) set |= kModAlt;
    return set;
}

}  // namespace

const GameHotkeys& CurrentHotkeys() { return g_keys; }

void SetCurrentHotkeys(const GameHotkeys& keys) { g_keys = keys; }

unsigned CurrentModifierSet() {
    unsigned set = 0;
    if (KeyDown(VK_CONTROL)) set |= kModCtrl;
    if (KeyDown(VK_SHIFT)) set |= kModShift;
    if (KeyDown(VK_MENU)) set |= kModAlt;
    return set;
}

bool HotKeyMatches(const HotKey& hotkey, unsigned vk, unsigned modifiers) {
    return hotkey.key == vk && hotkey.modifiers == modifiers;
}

HookAction ClassifyHookEvent(const GameHotkeys& keys, WPARAM message, unsigned vk, unsigned modifiers) {
    if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN) return HookAction::None;
    if (HotKeyMatches(keys.boss, vk, modifiers)) return HookAction::BossKey;
    if (HotKeyMatches(keys.sound, vk, modifiers)) return HookAction::SoundKey;
    return HookAction::None;
}

bool CHeldKeyFilter::FirstPress(WPARAM message, unsigned vk) {
    if (message == WM_KEYUP || message == WM_SYSKEYUP) {
        if (vk == m_held) m_held = 0;
        return false;
    }
    if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN) return false;
    // Only the key pressed last repeats: another key's press ends the repeat.
    const bool repeat = vk == m_held;
    m_held = vk;
    return !repeat;
}

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && g_window) {
        const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if (g_held.FirstPress(wParam, info->vkCode)) {
            const HookAction action = ClassifyHookEvent(g_keys, wParam, info->vkCode, HookModifierSet());
            if (action != HookAction::None)
                ::PostMessageW(g_window, g_message, static_cast<WPARAM>(action), 0);
        }
    }
    return ::CallNextHookEx(g_hook, code, wParam, lParam);
}

bool InstallKeyboardHook(HWND window, UINT message) {
    g_window = window;
    g_message = message;
    if (!g_hook)
        g_hook = ::SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHookProc, ::GetModuleHandleW(nullptr), 0);
    return g_hook != nullptr;
}

void RemoveKeyboardHook() {
    if (g_hook) ::UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
    g_window = nullptr;
}

void RemoveKeyboardHookOf(HWND window) {
    if (window && g_window == window) RemoveKeyboardHook();
}

}  // namespace kvr
