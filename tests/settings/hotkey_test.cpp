// Key names, the stored form of a hotkey and its display form.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>

#include "settings/hotkey.h"
#include "settings/hotkey_rules.h"
#include "settings/key_names.h"

using namespace kvr;

namespace {
std::wstring Name(unsigned vk) {
    wchar_t buf[kKeyNameChars];
    return KeyName(buf, vk);
}

// A scratch INI file in the temporary folder, removed afterwards.
class ScratchIni {
public:
    explicit ScratchIni(const wchar_t* name) {
        wchar_t dir[MAX_PATH];
        ::GetTempPathW(MAX_PATH, dir);
        m_path = std::wstring(dir) + name;
        ::DeleteFileW(m_path.c_str());
    }
    ~ScratchIni() { ::DeleteFileW(m_path.c_str()); }
    const wchar_t* path() const { return m_path.c_str(); }
    void Set(const wchar_t* key, const wchar_t* value) {
        ::WritePrivateProfileStringW(L"Kvr", key, value, m_path.c_str());
    }

private:
    std::wstring m_path;
};
}  // namespace

TEST(KeyNames, TableEdges) {
    EXPECT_EQ(L"Back", Name(8));
    EXPECT_EQ(L"Tab", Name(9));
    EXPECT_EQ(L"Pause Break", Name(19));
    EXPECT_EQ(L"Caps", Name(20));
    EXPECT_EQ(L"Page Up", Name(33));
    EXPECT_EQ(L"Down", Name(40));
    EXPECT_EQ(L"Insert", Name(45));
    EXPECT_EQ(L"Del", Name(46));
    EXPECT_EQ(L"0", Name(48));
    EXPECT_EQ(L"9", Name(57));
    EXPECT_EQ(L"A", Name(65));
    EXPECT_EQ(L"Z", Name(90));
    EXPECT_EQ(L"LWin", Name(91));
    EXPECT_EQ(L"RWin", Name(92));
    EXPECT_EQ(L"Num 0", Name(96));
    EXPECT_EQ(L"Num 9", Name(105));
    EXPECT_EQ(L"Num *", Name(106));
    EXPECT_EQ(L"Num +", Name(107));
    EXPECT_EQ(L"Num -", Name(109));
    EXPECT_EQ(L"Num Del", Name(110));
    EXPECT_EQ(L"Num /", Name(111));
    EXPECT_EQ(L"F1", Name(112));
    EXPECT_EQ(L"F9", Name(120));
    EXPECT_EQ(L"F10", Name(121));
    EXPECT_EQ(L"F12", Name(123));
    EXPECT_EQ(L"Num Lock", Name(144));
    EXPECT_EQ(L"Scroll Lock", Name(145));
    EXPECT_EQ(L";", Name(186));
    EXPECT_EQ(L"+", Name(187));
    EXPECT_EQ(L"`", Name(192));
    EXPECT_EQ(L"[", Name(219));
    EXPECT_EQ(L"\\", Name(220));
    EXPECT_EQ(L"'", Name(222));
}

TEST(KeyNames, UnknownCodesAreEmpty) {
    for (unsigned vk : {0u, 1u, 12u, 47u, 58u, 64u, 93u, 108u, 124u, 143u, 193u, 218u, 223u, 255u, 1000u})
        EXPECT_EQ(L"", Name(vk)) << vk;
    for (unsigned vk = 146; vk <= 185; ++vk) EXPECT_EQ(L"", Name(vk)) << vk;
    EXPECT_EQ(nullptr, KeyName(nullptr, 65));
}

TEST(HotKeyStore, ParsesTheStoredForm) {
    EXPECT_EQ((HotKey{6, 116}), ParseHotKey(L"6,116"));
    EXPECT_EQ((HotKey{1, 65}), ParseHotKey(L"1,65"));
    EXPECT_EQ((HotKey{3, 0}), ParseHotKey(L"3,0"));
    EXPECT_EQ((HotKey{2, 0}), ParseHotKey(L"2"));          // no comma: no key
    EXPECT_EQ((HotKey{2, 9}), ParseHotKey(L"  +2, 9xyz"));  // blanks, sign, trailing junk
    EXPECT_EQ((HotKey{0, 0}), ParseHotKey(L"a,b"));
    EXPECT_EQ((HotKey{4, 5}), ParseHotKey(L"4,5,6"));       // split at the first comma
    EXPECT_EQ((HotKey{0, 0}), ParseHotKey(L""));
    EXPECT_EQ((HotKey{0, 0}), ParseHotKey(nullptr));
    EXPECT_EQ(0x7FFFFFFFu, ParseHotKey(L"99999999999999999999,1").modifiers);  // held, not wrapped
}

TEST(HotKeyStore, ReadsValuesOrDefaults) {
    ScratchIni ini(L"kvr_hotkey_read.ini");
    EXPECT_EQ((HotKey{0, 121}), ReadBossKey(ini.path()));
    EXPECT_EQ((HotKey{2, 9}), ReadSwitchKey(ini.path()));
    EXPECT_EQ((HotKey{2, 81}), ReadSoundKey(ini.path()));
    ini.Set(L"ShortKey", L"6,116");
    ini.Set(L"AltWndKey", L"2");
    ini.Set(L"SndKey", L"1,65");
    EXPECT_EQ((HotKey{6, 116}), ReadBossKey(ini.path()));
    EXPECT_EQ((HotKey{2, 0}), ReadSwitchKey(ini.path()));
    EXPECT_EQ((HotKey{1, 65}), ReadSoundKey(ini.path()));
    ASSERT_TRUE(WriteHotKey(L"SndKey", HotKey{6, 116}, ini.path()));
    wchar_t raw[32];
    ::GetPrivateProfileStringW(L"Kvr", L"SndKey", L"", raw, 32, ini.path());
    EXPECT_STREQ(L"6,116", raw);
}

TEST(HotKeyStore, DisplayForms) {
    EXPECT_EQ(L"F10", FormatHotKey(121, 0));
    EXPECT_EQ(L"Ctrl  +  Tab", FormatHotKey(9, 2));
    EXPECT_EQ(L"Ctrl  +  Q", FormatHotKey(81, 2));
    EXPECT_EQ(L"Ctrl  +  Shift  +  F5", FormatHotKey(116, 6));
    EXPECT_EQ(L"Alt  +  A", FormatHotKey(65, 1));
    EXPECT_EQ(L"Ctrl  +  Shift  +  Alt  +  +", FormatHotKey(187, 7));
    EXPECT_EQ(L"\u65E0", FormatHotKey(0, 3));
    EXPECT_EQ(L"\u65E0", FormatHotKey(0, 0));
}

TEST(HotKeyRules, AcceptedAndClearingKeys) {
    for (unsigned vk : {20u, 33u, 40u, 45u, 48u, 90u, 96u, 107u, 109u, 111u, 112u, 122u, 144u, 186u, 192u, 219u, 222u})
        EXPECT_TRUE(IsAcceptedHotKey(vk, HotKeyField::kBoss)) << vk;
    for (unsigned vk : {8u, 13u, 16u, 17u, 18u, 27u, 46u, 91u, 108u, 123u, 145u, 193u, 223u})
        EXPECT_FALSE(IsAcceptedHotKey(vk, HotKeyField::kSound)) << vk;
    EXPECT_TRUE(IsAcceptedHotKey(VK_TAB, HotKeyField::kSwitch));
    EXPECT_FALSE(IsAcceptedHotKey(VK_TAB, HotKeyField::kBoss));
    EXPECT_FALSE(IsAcceptedHotKey(VK_TAB, HotKeyField::kSound));
    EXPECT_TRUE(IsClearingKey(VK_F12, HotKeyField::kBoss));
    EXPECT_TRUE(IsClearingKey(VK_F12, HotKeyField::kSound));
    EXPECT_FALSE(IsClearingKey(VK_F12, HotKeyField::kSwitch));
    for (unsigned vk : {8u, 46u, 91u, 92u}) EXPECT_TRUE(IsClearingKey(vk, HotKeyField::kSwitch)) << vk;
}

TEST(HotKeyRules, TextsToStoredHotKeys) {
    HotKey hk;
    EXPECT_FALSE(HotKeyFromText(L"", 65, &hk));
    EXPECT_FALSE(HotKeyFromText(L"Ctrl  +  ", 65, &hk));
    ASSERT_TRUE(HotKeyFromText(L"Ctrl  +  X", 88, &hk));
    EXPECT_EQ((HotKey{2, 88}), hk);
    ASSERT_TRUE(HotKeyFromText(L"Ctrl  +  Shift  +  Alt  +  F5", 116, &hk));
    EXPECT_EQ((HotKey{7, 116}), hk);
    ASSERT_TRUE(HotKeyFromText(L"\u65E0", 121, &hk));
    EXPECT_EQ((HotKey{0, 0}), hk);
    EXPECT_TRUE(HotKeyTextsConflict(L"\u65E0", L"\u65E0", L"F10"));
    EXPECT_TRUE(HotKeyTextsConflict(L"F10", L"Tab", L"F10"));
    EXPECT_FALSE(HotKeyTextsConflict(L"F10", L"Ctrl  +  Tab", L"Ctrl  +  Q"));
    EXPECT_EQ(L"Ctrl  +  Shift  +  ", CaptureText(VK_F12, false, true, true, false));
    EXPECT_EQ(L"Alt  +  F10", CaptureText(VK_F10, true, false, false, true));
}
