// The three hotkeys: their stored form in Statistic.ini, their defaults and
// their display form.
#pragma once
#include <string>

namespace kvr {

enum HotKeyModifier : unsigned { kModAlt = 1, kModCtrl = 2, kModShift = 4 };

struct HotKey {
    unsigned modifiers = 0;  // kModAlt | kModCtrl | kModShift
    unsigned key = 0;        // virtual-key code; 0 = no hotkey
    bool operator==(const HotKey& o) const { return modifiers == o.modifiers && key == o.key; }
};

// One reader per hotkey, each with its INI key and default.
HotKey ReadBossKey();    // "ShortKey", default "0,121" (F10)
HotKey ReadSwitchKey();  // "AltWndKey", default "2,9" (Ctrl + Tab)
HotKey ReadSoundKey();   // "SndKey", default "2,81" (Ctrl + Q)

// The stored text "modifiers,key" as the readers interpret it.
HotKey ParseHotKey(const wchar_t* text);

// "Ctrl  +  Shift  +  Alt  +  " prefixes and the key name; key 0 -> "无".
std::wstring FormatHotKey(unsigned key, unsigned modifiers);

}  // namespace kvr
