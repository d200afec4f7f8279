// The three hotkeys: their stored form in Statistic.ini (section "Kvr"),
// their defaults and their display form.
//
// Stored form: the modifier set in decimal, a comma, the key code in
// decimal, no spaces ("6,116" is Ctrl + Shift + F5).
#pragma once
#include <string>

namespace kvr {

enum HotKeyModifier : unsigned { kModAlt = 1, kModCtrl = 2, kModShift = 4 };

struct HotKey {
    unsigned modifiers = 0;  // kModAlt | kModCtrl | kModShift
    unsigned key = 0;        // virtual-key code; 0 = no hotkey
    bool operator==(const HotKey& o) const { return modifiers == o.modifiers && key == o.key; }
};

// INI keys and defaults of the three hotkeys.
inline constexpr wchar_t kBossKeyName[] = L"ShortKey";     // boss key
inline constexpr wchar_t kBossKeyDefault[] = L"0,121";     // F10
inline constexpr wchar_t kSwitchKeyName[] = L"AltWndKey";  // window-switch key
inline constexpr wchar_t kSwitchKeyDefault[] = L"2,9";     // Ctrl + Tab
inline constexpr wchar_t kSoundKeyName[] = L"SndKey";      // sound key
inline constexpr wchar_t kSoundKeyDefault[] = L"2,81";     // Ctrl + Q

// One reader per hotkey: the stored value, or the default when the file,
// section or key is missing (a malformed value reads as ParseHotKey says).
// iniPath: nullptr for the installed Statistic.ini.
HotKey ReadBossKey(const wchar_t* iniPath = nullptr);    // "ShortKey", "0,121"
HotKey ReadSwitchKey(const wchar_t* iniPath = nullptr);  // "AltWndKey", "2,9"
HotKey ReadSoundKey(const wchar_t* iniPath = nullptr);   // "SndKey", "2,81"
HotKey ReadHotKey(const wchar_t* iniKey, const wchar_t* def, const wchar_t* iniPath = nullptr);

// The stored text as the readers interpret it: split at the first comma
// (without one the whole text is the modifier part and the key is 0); each
// part a decimal number with optional leading blanks and sign, then digits;
// no digits give 0.
HotKey ParseHotKey(const wchar_t* text);

// Display form: "Ctrl  +  " (bit 2), "Shift  +  " (bit 4), "Alt  +  " (bit 1)
// in that order, then the key's name; key 0 gives "无" alone.
std::wstring FormatHotKey(unsigned key, unsigned modifiers);

// Stores "modifiers,key" under iniKey; false when the file cannot be written.
bool WriteHotKey(const wchar_t* iniKey, const HotKey& hotKey, const wchar_t* iniPath = nullptr);

}  // namespace kvr
