// Short names of virtual-key codes, the vocabulary of every hotkey text the
// player sees ("Page Up", "Num 5", "F10"). The settings dialog compares these
// texts to find conflicts, so each name is fixed.
#pragma once

namespace kvr {

inline constexpr int kKeyNameChars = 16;

// Fills `buffer` (kKeyNameChars characters) with the name of `vk` and
// returns it; a code without a name gives "". No buffer: returns nullptr.
wchar_t* KeyName(wchar_t* buffer, unsigned vk);

}  // namespace kvr
