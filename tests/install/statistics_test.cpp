#include <gtest/gtest.h>
#include "install/statistics.h"
#include "tests/install/scratch.h"

using namespace kvr;
using kvrtest::IniValue;
using kvrtest::ScratchDir;

namespace {
SYSTEMTIME Day(int year, int month, int day, int hour = 10) {
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour);
    return t;
}
}  // namespace

TEST(WeekdayRules, MaskShiftsByTheGapAndKeepsSevenDays) {
    EXPECT_EQ(NextWeekdaysMask(0, 0), 1);
    EXPECT_EQ(NextWeekdaysMask(0x41, 1), 0x03);  // bit 7 falls out
    EXPECT_EQ(CountWeekdays(NextWeekdaysMask(0x41, 1)), 2);
    EXPECT_EQ(NextWeekdaysMask(0x05, 0), 0x05);  // same day: unchanged
    EXPECT_EQ(NextWeekdaysMask(0x7F, 6), 0x41);
    EXPECT_EQ(NextWeekdaysMask(0x7F, 7), 1);
    EXPECT_EQ(NextWeekdaysMask(0x7F, -1), 1);      // clock went back
    EXPECT_EQ(NextWeekdaysMask(200, 1), 1);        // 129 or more reads as 0
    EXPECT_EQ(NextWeekdaysMask(128, 0), 1);
    EXPECT_EQ(NextWeekdaysMask(-3, 1), 1);
    EXPECT_EQ(CountWeekdays(0x7F), 7);
}

TEST(WeekdayRules, KeepDaysAndApartDays) {
    EXPECT_EQ(NextKeepDays(4, 0), 4u);
    EXPECT_EQ(NextKeepDays(4, 1), 5u);
    EXPECT_EQ(NextKeepDays(4, 2), 1u);
    EXPECT_EQ(NextKeepDays(4, -3), 1u);
    EXPECT_EQ(ApartDays(0), 0);
    EXPECT_EQ(ApartDays(1), 0);
    EXPECT_EQ(ApartDays(2), 1);
    EXPECT_EQ(ApartDays(8), 7);
    EXPECT_EQ(ApartDays(-5), 0);
}

TEST(DisableDays, ThreeDaysFromMillisecondAndTwoRandomValues) {
    // ms 10: d = 3; c = (41 + 7 - 10) % 7 = 3 -> d becomes 2; e = (18467 + 7 - 10) % 7.
    DisableDaysValue v = ChooseDisableDays(10, 41, 18467);
    EXPECT_EQ(v.bytes[1], 3);
    EXPECT_EQ(v.bytes[2], 2);
    EXPECT_EQ(v.bytes[0], (18467u + 7u - 10u) % 7u);
    EXPECT_EQ(v.bytes[3], 0);
    // e equal to c moves on by one; the sums wrap as unsigned 32-bit numbers.
    v = ChooseDisableDays(999, 0, 0);
    const unsigned c = (0u + 7u - 999u) % 7u;  // 4294966304 % 7
    EXPECT_EQ(v.bytes[1], c);
    EXPECT_EQ(v.bytes[0], (c + 1) % 7);
    EXPECT_EQ(v.bytes[2], 999u % 7u == c ? (999u % 7u + 6) % 7 : 999u % 7u);
    for (unsigned ms = 0; ms < 1000; ms += 37) {
        v = ChooseDisableDays(ms, ms * 7919u, ms * 104729u);
        for (int i = 0; i < 3; ++i) EXPECT_LT(v.bytes[i], 7);
        EXPECT_NE(v.bytes[0], v.bytes[1]);
        EXPECT_NE(v.bytes[2], v.bytes[1]);
    }
}

TEST(ReportUrls, CountersAreAppendedAndTheAddressStaysBounded) {
    EXPECT_EQ(CountReportUrl(L"http://h/install.htm?tag=kvr&ver=3.0.0.3", 7),
              L"http://h/install.htm?tag=kvr&ver=3.0.0.3&count=7");
    StartStats s;
    s.count = 12;
    s.apartdays = 3;
    s.keepdays = 1;
    s.weekdays = 2;
    EXPECT_EQ(StartReportUrl(L"http://h/active.htm?tag=kvr&ver=3.0.0.3", s),
              L"http://h/active.htm?tag=kvr&ver=3.0.0.3&count=12&apartdays=3&keepdays=1&weekdays=2");
    EXPECT_EQ(CountReportUrl(std::wstring(600, L'a'), 1).size(), 511u);
}

TEST(StartStatistics, FirstStartEver) {
    ScratchDir dir(L"stats");
    const std::wstring ini = dir / L"Statistic.ini";
    StartStats s = UpdateStartStatistics(ini.c_str(), Day(2026, 3, 10));
    EXPECT_EQ(s.count, 1u);
    EXPECT_EQ(s.keepdays, 1u);
    EXPECT_EQ(s.weekdays, 1);
    EXPECT_EQ(s.apartdays, 0);
    EXPECT_EQ(IniValue(ini, L"weekdays"), L"1");
    EXPECT_EQ(IniValue(ini, L"lstTime"), L"2026/3/10");
    EXPECT_EQ(IniValue(ini, L"Game"), L"1");
}

TEST(StartStatistics, NextDaySameDayAndAWeekLater) {
    ScratchDir dir(L"stats");
    const std::wstring ini = dir / L"Statistic.ini";
    UpdateStartStatistics(ini.c_str(), Day(2026, 2, 27));
    // Next day, across the month end.
    StartStats s = UpdateStartStatistics(ini.c_str(), Day(2026, 2, 28, 9));
    EXPECT_EQ(s.keepdays, 2u);
    EXPECT_EQ(s.weekdays, 2);
    EXPECT_EQ(IniValue(ini, L"weekdays"), L"3");
    s = UpdateStartStatistics(ini.c_str(), Day(2026, 3, 1, 23));
    EXPECT_EQ(s.keepdays, 3u);
    EXPECT_EQ(IniValue(ini, L"weekdays"), L"7");
    // Twice on one day: nothing but the count moves.
    s = UpdateStartStatistics(ini.c_str(), Day(2026, 3, 1, 23));
    EXPECT_EQ(s.keepdays, 3u);
    EXPECT_EQ(s.weekdays, 3);
    EXPECT_EQ(s.count, 4u);
    EXPECT_EQ(s.apartdays, 0);
    // Eight days later: a fresh week, and seven days without a start reported.
    s = UpdateStartStatistics(ini.c_str(), Day(2026, 3, 9));
    EXPECT_EQ(s.keepdays, 1u);
    EXPECT_EQ(s.weekdays, 1);
    EXPECT_EQ(s.apartdays, 7);
    EXPECT_EQ(IniValue(ini, L"weekdays"), L"1");
    EXPECT_EQ(IniValue(ini, L"lstTime"), L"2026/3/9");
    EXPECT_EQ(IniValue(ini, L"keepdays"), L"1");
    EXPECT_EQ(IniValue(ini, L"Game"), L"5");
}

TEST(StartStatistics, StoredMaskWithAGapOfOneAndOddStoredValues) {
    ScratchDir dir(L"stats");
    const std::wstring ini = dir / L"Statistic.ini";
    ::WritePrivateProfileStringW(L"Kvr", L"weekdays", L"65", ini.c_str());  // 0x41
    ::WritePrivateProfileStringW(L"Kvr", L"lstTime", L"2026/3/9", ini.c_str());
    ::WritePrivateProfileStringW(L"Kvr", L"keepdays", L"6", ini.c_str());
    ::WritePrivateProfileStringW(L"Kvr", L"Game", L"41", ini.c_str());
    StartStats s = UpdateStartStatistics(ini.c_str(), Day(2026, 3, 10));
    EXPECT_EQ(IniValue(ini, L"weekdays"), L"3");
    EXPECT_EQ(s.weekdays, 2);
    EXPECT_EQ(s.keepdays, 7u);
    EXPECT_EQ(s.count, 42u);
    // Two days apart: one day without a start.
    s = UpdateStartStatistics(ini.c_str(), Day(2026, 3, 12));
    EXPECT_EQ(s.apartdays, 1);
    EXPECT_EQ(s.keepdays, 1u);
    EXPECT_EQ(IniValue(ini, L"weekdays"), L"13");  // 0x03 << 2 | 1
    // A date without "/" counts as today.
    ::WritePrivateProfileStringW(L"Kvr", L"lstTime", L"2026-3-1", ini.c_str());
    s = UpdateStartStatistics(ini.c_str(), Day(2026, 3, 20));
    EXPECT_EQ(s.keepdays, 1u);  // stored keepdays 1 kept (gap 0)
    EXPECT_EQ(s.apartdays, 0);
    EXPECT_EQ(s.weekdays, 3);  // 13 & 0x7E | 1 = 13: three days
}

TEST(Counters, IncrementFromAbsentAndFromStored) {
    ScratchDir dir(L"stats");
    const std::wstring ini = dir / L"Statistic.ini";
    EXPECT_EQ(IncrementCounter(ini.c_str(), L"Inst"), 1u);
    EXPECT_EQ(IncrementCounter(ini.c_str(), L"Inst"), 2u);
    ::WritePrivateProfileStringW(L"Kvr", L"UnInst", L"4294967294", ini.c_str());
    EXPECT_EQ(IncrementCounter(ini.c_str(), L"UnInst"), 4294967295u);
    EXPECT_EQ(IniValue(ini, L"UnInst"), L"4294967295");
}
