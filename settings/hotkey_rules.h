// The rules of the hotkey settings dialog that need no window: which keys a
// field accepts, what clears a field, what counts as a conflict, how a shown
// text becomes a stored hotkey, and who is told to reload.
#pragma once
#include <windows.h>
#include <string>
#include "settings/hotkey.h"

namespace kvr {

enum class HotKeyField { kBoss, kSwitch, kSound };

// Keys a field takes as its main key (Tab only in the window-switch field).
bool IsAcceptedHotKey(unsigned vk, HotKeyField field);
// Keys that set a field to "无" (F12 only in the boss-key and sound fields).
bool IsClearingKey(unsigned vk, HotKeyField field);

// The text a key press shows: the prefixes of the modifiers that are down
// (Ctrl, Shift, Alt in that order) and the key's name when it is accepted.
std::wstring CaptureText(unsigned vk, bool accepted, bool ctrl, bool shift, bool alt);

// Two of the three shown texts equal (exact comparison; two "无" conflict).
bool HotKeyTextsConflict(const std::wstring& boss, const std::wstring& sw, const std::wstring& sound);

// The hotkey to store for a shown text and the key code the field holds;
// false for an unfinished text (empty, or ending in a space) that is skipped.
bool HotKeyFromText(const std::wstring& text, unsigned heldKey, HotKey* out);

// Posts WM_USER+4 to the first 10 top-level "#32770" windows titled
// "MarvoleKelvara"; returns how many were told.
int NotifyGameWindows();

}  // namespace kvr
