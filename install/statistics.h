// Usage statistics: the counters in Statistic.ini and the reports that carry them.
#pragma once
#include <windows.h>
#include <string>
#include "base/http_fetch.h"

namespace kvr {

// ---- Rules without any file: the tests call these directly ----------------

// The 7-bit mask of the last seven days with a start (bit 0 today), given the
// stored mask and the whole days since the last start. A stored value outside
// 0..128 counts as 0; a gap outside 0..6 leaves only today.
int NextWeekdaysMask(int storedMask, long long gap);
// Number of days with a start in a mask (the reported weekdays, 1 to 7).
int CountWeekdays(int mask);
// Consecutive days with a start, today included.
unsigned NextKeepDays(unsigned storedKeepDays, long long gap);
// Days without a start between the last start and today.
int ApartDays(long long gap);

// The three weekdays without the automatic update check, as stored in
// DisableDays: bytes e, c, d, 0 (see ChooseDisableDays in statistics.cpp).
struct DisableDaysValue {
    BYTE bytes[4];
};
DisableDaysValue ChooseDisableDays(unsigned utcMillisecond, unsigned rand1, unsigned rand2);

// Report addresses: base + "&count=%u" (install, portal start, uninstall), or
// base + "&count=%u&apartdays=%d&keepdays=%d&weekdays=%d" (game start). Cut
// at 511 characters, as the 512-character buffer they are built in.
std::wstring CountReportUrl(const std::wstring& baseUrl, unsigned count);
struct StartStats {
    unsigned count = 0;
    int apartdays = 0;
    unsigned keepdays = 1;
    int weekdays = 1;
};
std::wstring StartReportUrl(const std::wstring& baseUrl, const StartStats& stats);

// ---- Statistic.ini ---------------------------------------------------------

// Adds 1 to a counter of section "Kvr" (absent: 0) and returns the new value.
unsigned IncrementCounter(const wchar_t* iniPath, const wchar_t* key);

// The start statistics of a game-client start at local time nowLocal: updates
// weekdays, lstTime, keepdays and Game in iniPath and returns what the report
// carries. The day gap is taken once, before lstTime is rewritten.
StartStats UpdateStartStatistics(const wchar_t* iniPath, const SYSTEMTIME& nowLocal);

// ---- What start-up calls ---------------------------------------------------

// Install: chooses and stores the weekdays without the automatic update check.
void WriteDisableDays();
// Counts the install and sends the install report.
void SendInstallReport(ReportEvents& events);
// Counts a start and sends the active report: through the portal shortcut
// (tag "webMarvole") or of the game client (tag "kvr").
void SendActiveReport(bool portalShortcut, ReportEvents& events);

}  // namespace kvr
