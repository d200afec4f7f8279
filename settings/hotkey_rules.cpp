#include "settings/hotkey_rules.h"

#include <cwchar>

#include "base/messages.h"
#include "settings/key_names.h"

namespace kvr {

bool IsAcceptedHotKey(unsigned vk, HotKeyField field) {
    if (vk == VK_TAB) return field == HotKeyField::kSwitch;
    return vk == 20 || (vk >= 33 && vk <= 40) || vk == 45 || (vk >= 48 && vk <= 57) ||
           (vk >= 65 && vk <= 90) || (vk >= 96 && vk <= 107) || (vk >= 109 && vk <= 111) ||
           (vk >= 112 && vk <= 122) || vk == 144 || (vk >= 186 && vk <= 192) ||
           (vk >= 219 && vk <= 222);
}

bool IsClearingKey(unsigned vk, HotKeyField field) {
    if (vk == VK_BACK || vk == VK_DELETE || vk == VK_LWIN || vk == VK_RWIN) return true;
    return vk == VK_F12 && field != HotKeyField::kSwitch;
}

std::wstring CaptureText(unsigned vk, bool accepted, bool ctrl, bool shift, bool alt) {
    std::wstring text;
    if (ctrl) text += L"Ctrl  +  ";
    if (shift) text += L"Shift  +  ";
    if (alt) text += L"Alt  +  ";
    if (accepted) {
        wchar_t name[kKeyNameChars];
        text += KeyName(name, vk);
    }
    return text;
}

bool HotKeyTextsConflict(const std::wstring& boss, const std::wstring& sw, const std::wstring& sound) {
    return boss == sw || boss == sound || sw == sound;
}

bool HotKeyFromText(const std::wstring& text, unsigned heldKey, HotKey* out) {
    if (text.empty() || text.back() == L' ') return false;
    HotKey hk;
    hk.key = text.find(L'\u65E0') != std::wstring::npos ? 0 : heldKey;  // 无
    if (text.find(L"Ctrl") != std::wstring::npos) hk.modifiers |= kModCtrl;
    if (text.find(L"Shift") != std::wstring::npos) hk.modifiers |= kModShift;
    if (text.find(L"Alt") != std::wstring::npos) hk.modifiers |= kModAlt;
    *out = hk;
    return true;
}

int NotifyGameWindows() {
    HWND found[10];
    int count = 0;
    for (HWND h = ::GetWindow(::GetDesktopWindow(), GW_CHILD); h && count < 10;
         h = ::GetWindow(h, GW_HWNDNEXT)) {
        wchar_t cls[64] = L"", title[128] = L"";
        ::GetClassNameW(h, cls, 64);
        ::GetWindowTextW(h, title, 128);
        if (wcscmp(title, kGameWindowTitle) == 0 && wcscmp(cls, L"#32770") == 0) found[count++] = h;
    }
    for (int i = 0; i < count; ++i) ::PostMessageW(found[i], WM_KVR_HOTKEYS_CHANGED, 0, 0);
    return count;
}

}  // namespace kvr
