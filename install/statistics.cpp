#include "install/statistics.h"

#include <cstdlib>
#include <cwchar>
#include "base/endpoints.h"
#include "base/settings.h"

namespace kvr {

namespace {
const size_t kUrlMax = 511;  // a 512-character buffer with its terminator

std::wstring Cut(std::wstring s, size_t max) {
    if (s.size() > max) s.resize(max);
    return s;
}
}  // namespace

int NextWeekdaysMask(int storedMask, long long gap) {
    // Stored values above 128 cannot come from us: start afresh.
    const unsigned old = (storedMask < 0 || storedMask >= 129) ? 0u : static_cast<unsigned>(storedMask);
    if (gap < 0 || gap > 6) return 1;
    return static_cast<int>(((old << gap) & 0x7Eu) | 1u);
}

int CountWeekdays(int mask) {
    int n = 0;
    for (unsigned m = static_cast<unsigned>(mask) & 0x7Fu; m; m >>= 1) n += static_cast<int>(m & 1u);
    return n;
}

unsigned NextKeepDays(unsigned storedKeepDays, long long gap) {
    if (gap == 0) return storedKeepDays;
    if (gap == 1) return storedKeepDays + 1;
    return 1;  // a day was missed, or the clock went back
}

int ApartDays(long long gap) {
    if (gap < 2) return 0;
    return gap - 1 > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(gap - 1);
}

DisableDaysValue ChooseDisableDays(unsigned ms, unsigned r1, unsigned r2) {
    // Unsigned 32-bit sums, as the stored choice has always been made.
    const unsigned c = static_cast<unsigned>(r1 + 7u - ms) % 7u;
    unsigned d = ms % 7u;
    unsigned e = static_cast<unsigned>(r2 + 7u - ms) % 7u;
    if (d == c) d = (d + 6u) % 7u;
    if (e == c) e = (e + 1u) % 7u;
    DisableDaysValue v{};
    v.bytes[0] = static_cast<BYTE>(e);
    v.bytes[1] = static_cast<BYTE>(c);
    v.bytes[2] = static_cast<BYTE>(d);
    v.bytes[3] = 0;
    return v;
}

std::wstring CountReportUrl(const std::wstring& baseUrl, unsigned count) {
    return Cut(baseUrl + L"&count=" + std::to_wstring(count), kUrlMax);
}

std::wstring StartReportUrl(const std::wstring& baseUrl, const StartStats& s) {
    return Cut(baseUrl + L"&count=" + std::to_wstring(s.count) + L"&apartdays=" +
                   std::to_wstring(s.apartdays) + L"&keepdays=" + std::to_wstring(s.keepdays) +
                   L"&weekdays=" + std::to_wstring(s.weekdays),
               kUrlMax);
}

static unsigned ReadCounter(const wchar_t* iniPath, const wchar_t* key, const wchar_t* def) {
    wchar_t text[kIniValueChars] = {};
    IniReadString(key, def, text, iniPath);
    return static_cast<unsigned>(std::wcstoul(text, nullptr, 10));
}

unsigned IncrementCounter(const wchar_t* iniPath, const wchar_t* key) {
    const unsigned value = ReadCounter(iniPath, key, L"0") + 1u;
    IniWriteUInt(key, value, iniPath);
    return value;
}

StartStats UpdateStartStatistics(const wchar_t* iniPath, const SYSTEMTIME& nowLocal) {
    // The gap is read once, before lstTime is rewritten: read afterwards it
    // would always be 0 and the days without a start would never be reported.
    wchar_t last[kIniValueChars] = {};
    IniReadString(L"lstTime", L"", last, iniPath);
    const long long gap = DaysSinceLstTime(last, nowLocal);

    StartStats stats;
    const int mask = NextWeekdaysMask(ReadWeekdaysMask(iniPath), gap);
    IniWriteInt(L"weekdays", mask, iniPath);
    stats.weekdays = CountWeekdays(mask);

    wchar_t today[kIniValueChars] = {};
    std::swprintf(today, kIniValueChars, L"%d/%d/%d", nowLocal.wYear, nowLocal.wMonth, nowLocal.wDay);
    IniWriteString(L"lstTime", today, iniPath);
    stats.keepdays = NextKeepDays(ReadCounter(iniPath, L"keepdays", L"1"), gap);
    IniWriteUInt(L"keepdays", stats.keepdays, iniPath);

    stats.apartdays = ApartDays(gap);
    stats.count = IncrementCounter(iniPath, L"Game");
    return stats;
}

void WriteDisableDays() {
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    // The runtime's generator is never seeded: the choice spreads the
    // machines over the week by the install's millisecond.
    const unsigned r1 = static_cast<unsigned>(std::rand());
    const unsigned r2 = static_cast<unsigned>(std::rand());
    const DisableDaysValue days = ChooseDisableDays(now.wMilliseconds, r1, r2);
    StoreDisableDays(days.bytes[0], days.bytes[1], days.bytes[2]);
}

void SendInstallReport(ReportEvents& events) {
    const unsigned count = IncrementCounter(nullptr, L"Inst");
    ReportInBackground(CountReportUrl(ServerUrl(Server::ClientService, VersionedPath(paths::kInstall)), count).c_str(),
                       events);
}

void SendActiveReport(bool portalShortcut, ReportEvents& events) {
    std::wstring url;
    if (portalShortcut) {
        const unsigned count = IncrementCounter(nullptr, L"Marvole");
        url = CountReportUrl(ServerUrl(Server::ClientService, VersionedPath(paths::kActivePortal)), count);
    } else {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        const StartStats stats = UpdateStartStatistics(nullptr, now);
        url = StartReportUrl(ServerUrl(Server::ClientService, VersionedPath(paths::kActiveGame)), stats);
    }
    ReportInBackground(url.c_str(), events);
}

}  // namespace kvr
