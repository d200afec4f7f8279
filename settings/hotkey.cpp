#include "settings/hotkey.h"

#include <climits>
#include <cwchar>

#include "base/settings.h"
#include "settings/key_names.h"

namespace kvr {

namespace {

// Leading blanks, an optional sign, then decimal digits; no digits give 0.
// Values beyond the int range are held at its ends.
int DecimalPrefix(const wchar_t* s, const wchar_t* end) {
    while (s < end && (*s == L' ' || *s == L'\t' || *s == L'\n' || *s == L'\r' || *s == L'\v' || *s == L'\f'))
        ++s;
    bool negative = false;
    if (s < end && (*s == L'+' || *s == L'-')) negative = *s++ == L'-';
    long long value = 0;
    for (; s < end && *s >= L'0' && *s <= L'9'; ++s) {
        value = value * 10 + (*s - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<int>(value);
}

const wchar_t kNone[] = L"\u65E0";  // 无

}  // namespace

HotKey ParseHotKey(const wchar_t* text) {
    HotKey hk;
    if (!text || !*text) return hk;
    const wchar_t* end = text + std::wcslen(text);
    const wchar_t* comma = std::wcschr(text, L',');
    if (comma) {
        hk.modifiers = static_cast<unsigned>(DecimalPrefix(text, comma));
        hk.key = static_cast<unsigned>(DecimalPrefix(comma + 1, end));
    } else {
        hk.modifiers = static_cast<unsigned>(DecimalPrefix(text, end));
    }
    return hk;
}

HotKey ReadHotKey(const wchar_t* iniKey, const wchar_t* def, const wchar_t* iniPath) {
    wchar_t value[kIniValueChars];
    IniReadString(iniKey, def, value, iniPath);
    return ParseHotKey(value);
}

HotKey ReadBossKey(const wchar_t* iniPath) { return ReadHotKey(kBossKeyName, kBossKeyDefault, iniPath); }
HotKey ReadSwitchKey(const wchar_t* iniPath) { return ReadHotKey(kSwitchKeyName, kSwitchKeyDefault, iniPath); }
HotKey ReadSoundKey(const wchar_t* iniPath) { return ReadHotKey(kSoundKeyName, kSoundKeyDefault, iniPath); }

std::wstring FormatHotKey(unsigned key, unsigned modifiers) {
    if (key == 0) return kNone;
    std::wstring text;
    if (modifiers & kModCtrl) text += L"Ctrl  +  ";
    if (modifiers & kModShift) text += L"Shift  +  ";
    if (modifiers & kModAlt) text += L"Alt  +  ";
    wchar_t name[kKeyNameChars];
    text += KeyName(name, key);
    return text;
}

bool WriteHotKey(const wchar_t* iniKey, const HotKey& hotKey, const wchar_t* iniPath) {
    wchar_t value[kIniValueChars];
    std::swprintf(value, kIniValueChars, L"%u,%u", hotKey.modifiers, hotKey.key);
    return IniWriteString(iniKey, value, iniPath);
}

}  // namespace kvr
