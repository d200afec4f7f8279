#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <string>
#include "base/settings.h"

using namespace kvr;

namespace {

SYSTEMTIME Date(WORD y, WORD m, WORD d, WORD weekday, WORD hour = 10, WORD minute = 30) {
    SYSTEMTIME st{};
    st.wYear = y;
    st.wMonth = m;
    st.wDay = d;
    st.wDayOfWeek = weekday;
    st.wHour = hour;
    st.wMinute = minute;
    return st;
}

void DeleteValue(const wchar_t* name) { DeleteValueInBothViews(kSettingsKey, name); }
// The key as this 64-bit test sees the 32-bit view, where both builds keep it.
const wchar_t kStoredKey[] = L"SOFTWARE\\WOW6432Node\\Marvole\\GameLogin\\Kvr";

// The registry values belong to the machine: each test starts without them.
class UpdateThrottle : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteValue(L"UpdTime");
        DeleteValue(L"DisableDays");
    }
    void TearDown() override { SetUp(); }
};

class IniFile : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t dir[MAX_PATH];
        ::GetTempPathW(MAX_PATH, dir);
        path_ = std::wstring(dir) + L"kvr_settings_test.ini";
        ::DeleteFileW(path_.c_str());
    }
    void TearDown() override { ::DeleteFileW(path_.c_str()); }
    std::wstring path_;
};

}  // namespace

TEST_F(UpdateThrottle, NoStoredTimeAllowsTheCheckTodaysDoesNot) {
    const SYSTEMTIME wed = Date(2026, 12, 9, 3);
    EXPECT_TRUE(ReadUpdateAllowed(wed));
    StoreUpdateTime(wed);
    EXPECT_FALSE(ReadUpdateAllowed(wed));
    // Only the date counts: later the same day is still today.
    EXPECT_FALSE(ReadUpdateAllowed(Date(2026, 12, 9, 3, 23, 59)));
    // Any of year, month or day differing allows it again.
    EXPECT_TRUE(ReadUpdateAllowed(Date(2026, 12, 10, 4)));
    EXPECT_TRUE(ReadUpdateAllowed(Date(2026, 11, 9, 1)));
    EXPECT_TRUE(ReadUpdateAllowed(Date(2025, 12, 9, 2)));
}

TEST_F(UpdateThrottle, StoredTimeIsTheSixteenByteSystemTime) {
    const SYSTEMTIME t = Date(2013, 5, 7, 2, 8, 9);
    StoreUpdateTime(t);
    BYTE raw[32] = {};
    DWORD size = sizeof raw, type = 0;
    ASSERT_EQ(::SHGetValueW(HKEY_LOCAL_MACHINE, kStoredKey, L"UpdTime", &type, raw, &size), 0u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(size, 16u);
    EXPECT_EQ(0, memcmp(raw, &t, 16));
}

TEST_F(UpdateThrottle, DisabledWeekdaySkipsTheCheckOnThatDayOnly) {
    StoreDisableDays(9, 3, 9);  // Wednesday in byte 1; 9 is no weekday
    EXPECT_TRUE(WeekdayDisabled(3));
    for (int day : {0, 1, 2, 4, 5, 6}) EXPECT_FALSE(WeekdayDisabled(day)) << day;
    EXPECT_FALSE(ReadUpdateAllowed(Date(2026, 12, 9, 3)));
    EXPECT_TRUE(ReadUpdateAllowed(Date(2026, 12, 10, 4)));
    DWORD type = 0, size = 8;
    BYTE raw[8] = {};
    ASSERT_EQ(::SHGetValueW(HKEY_LOCAL_MACHINE, kStoredKey, L"DisableDays", &type, raw, &size), 0u);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(raw[3], 0);
}

TEST(DisableDays, ZeroValueDisablesTheRuleEvenOnSunday) {
    const BYTE none[4] = {0, 0, 0, 0};
    EXPECT_FALSE(DisableDaysHas(none, 0));
    const BYTE sunday[4] = {0, 5, 6, 0};  // non-zero value: byte 0 (Sunday) counts
    EXPECT_TRUE(DisableDaysHas(sunday, 0));
    EXPECT_TRUE(DisableDaysHas(sunday, 6));
    EXPECT_FALSE(DisableDaysHas(sunday, 1));
    const BYTE byte3[4] = {9, 9, 9, 2};  // byte 3 is no weekday slot
    EXPECT_FALSE(DisableDaysHas(byte3, 2));
}

TEST_F(IniFile, MissingFileReadsDefaultsWritingCreatesIt) {
    wchar_t value[kIniValueChars];
    EXPECT_EQ(IniReadString(L"Inst", L"0", value, path_.c_str()), 1);
    EXPECT_STREQ(value, L"0");
    EXPECT_EQ(IniReadInt(L"keepdays", 1, path_.c_str()), 1);
    EXPECT_TRUE(IniWriteUInt(L"Inst", 4000000000u, path_.c_str()));
    EXPECT_TRUE(::PathFileExistsW(path_.c_str()));
    IniReadString(L"Inst", L"0", value, path_.c_str());
    EXPECT_STREQ(value, L"4000000000");
    EXPECT_TRUE(IniWriteInt(L"weekdays", -3, path_.c_str()));
    IniReadString(L"weekdays", L"0", value, path_.c_str());
    EXPECT_STREQ(value, L"-3");
    // Section "Kvr", as the other readers of the file expect.
    wchar_t raw[64];
    ::GetPrivateProfileStringW(L"Kvr", L"Inst", L"", raw, 64, path_.c_str());
    EXPECT_STREQ(raw, L"4000000000");
}

TEST_F(IniFile, LongValuesAreCutToTheBuffer) {
    const std::wstring longText(40, L'x');
    ASSERT_TRUE(::WritePrivateProfileStringW(L"Kvr", L"lstTime", longText.c_str(), path_.c_str()));
    wchar_t value[kIniValueChars];
    value[kIniValueChars - 1] = L'#';
    EXPECT_EQ(IniReadString(L"lstTime", L"", value, path_.c_str()), kIniValueChars - 1);
    EXPECT_EQ(std::wstring(value), std::wstring(kIniValueChars - 1, L'x'));
    // Writing cuts as well: at most 31 characters reach the file.
    EXPECT_TRUE(IniWriteString(L"SndKey", longText.c_str(), path_.c_str()));
    wchar_t raw[64];
    ::GetPrivateProfileStringW(L"Kvr", L"SndKey", L"", raw, 64, path_.c_str());
    EXPECT_EQ(std::wstring(raw), std::wstring(kIniValueChars - 1, L'x'));
}

TEST_F(IniFile, WeekdaysAbove128ReadAsZero) {
    EXPECT_EQ(ReadWeekdaysMask(path_.c_str()), 0);
    IniWriteInt(L"weekdays", 200, path_.c_str());
    EXPECT_EQ(ReadWeekdaysMask(path_.c_str()), 0);
    IniWriteInt(L"weekdays", 129, path_.c_str());
    EXPECT_EQ(ReadWeekdaysMask(path_.c_str()), 0);
    IniWriteInt(L"weekdays", 128, path_.c_str());
    EXPECT_EQ(ReadWeekdaysMask(path_.c_str()), 128);
    IniWriteInt(L"weekdays", 93, path_.c_str());
    EXPECT_EQ(ReadWeekdaysMask(path_.c_str()), 93);
    IniWriteInt(L"weekdays", -1, path_.c_str());
    EXPECT_EQ(ReadWeekdaysMask(path_.c_str()), 0);
}

TEST(LstTime, SlashDateIsReadOtherFormsMeanToday) {
    const SYSTEMTIME now = Date(2026, 12, 8, 2);
    int y = 0, m = 0, d = 0;
    EXPECT_TRUE(ParseLstTime(L"2013/5/7", now, &y, &m, &d));
    EXPECT_EQ(y, 2013);
    EXPECT_EQ(m, 5);
    EXPECT_EQ(d, 7);
    EXPECT_FALSE(ParseLstTime(L"2013-5-7", now, &y, &m, &d));
    EXPECT_EQ(y, 2026);
    EXPECT_EQ(m, 12);
    EXPECT_EQ(d, 8);
    EXPECT_FALSE(ParseLstTime(L"2013/5", now, &y, &m, &d));  // first "/" is the last
    EXPECT_EQ(y, 2026);
    EXPECT_FALSE(ParseLstTime(nullptr, now, &y, &m, &d));
    // First and last "/" split it: the middle part is read up to its own end.
    EXPECT_TRUE(ParseLstTime(L"2013/05/7/9", now, &y, &m, &d));
    EXPECT_EQ(y, 2013);
    EXPECT_EQ(m, 5);
    EXPECT_EQ(d, 9);
}

TEST(LstTime, WholeDaysToNow) {
    const SYSTEMTIME now = Date(2013, 5, 10, 5, 8, 30);
    EXPECT_EQ(DaysSinceLstTime(L"2013/5/7", now), 3);
    EXPECT_EQ(DaysSinceLstTime(L"2013/5/10", now), 0);
    EXPECT_EQ(DaysSinceLstTime(L"2013-5-7", now), 0);  // no "/": today
    EXPECT_EQ(DaysSinceLstTime(L"2012/5/10", now), 365);
    EXPECT_EQ(DaysSinceLstTime(L"2013/2/28", Date(2013, 3, 1, 5)), 1);
    EXPECT_EQ(DaysSinceLstTime(L"2012/2/28", Date(2012, 3, 1, 4)), 2);  // leap year
    EXPECT_EQ(DaysSinceLstTime(L"2013/5/12", now), -2);  // a date ahead (clock set back)
    // Day 0 and month 13 roll over as the C library normalises them.
    EXPECT_EQ(DaysSinceLstTime(L"2013/5/0", now), 10);
    // A year the C library cannot place counts as today rather than a huge gap.
    EXPECT_EQ(DaysSinceLstTime(L"abc/x/y", now), 0);
}

TEST(Folders, InstallFolderIsUnderCommonApplicationData) {
    wchar_t folder[MAX_PATH];
    ASSERT_TRUE(InstallFolder(folder));
    wchar_t common[MAX_PATH];
    ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common), S_OK);
    EXPECT_EQ(std::wstring(folder), std::wstring(common) + L"\\Marvole\\GameLogin");
    wchar_t ini[MAX_PATH];
    ASSERT_TRUE(StatisticIniPath(ini));
    EXPECT_EQ(std::wstring(ini), std::wstring(common) + L"\\Marvole\\GameLogin\\Statistic.ini");
    EXPECT_FALSE(::PathIsRelativeW(ini));
}
