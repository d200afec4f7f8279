#include "base/settings.h"

#include <shlobj.h>
#include <atomic>
#include <cwchar>
#include <ctime>
#include <cstring>
#include <string>
#include "base/access_list.h"
#include "base/owned.h"

namespace kvr {
namespace {

// RegCreateKeyExW for reading too: the key exists from the first access on.
OwnedKey OpenSettingsKey(REGSAM access) {
    OwnedKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, access | kSettingsView, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS)
        return OwnedKey();
    return key;
}

template <size_t N>
bool ReadBinary(HKEY key, const wchar_t* name, BYTE (&buf)[N]) {
    std::memset(buf, 0, N);
    DWORD type = 0, size = N;
    LONG rc = ::RegQueryValueExW(key, name, nullptr, &type, buf, &size);
    if (rc != ERROR_SUCCESS) std::memset(buf, 0, N);  // absent or too long: the default
    return rc == ERROR_SUCCESS;
}

// Null means the installed Statistic.ini; its folder is created on writing.
bool ResolveIni(const wchar_t* iniPath, wchar_t (&path)[MAX_PATH], bool forWriting) {
    if (iniPath) {
        ::lstrcpynW(path, iniPath, MAX_PATH);
        return true;
    }
    if (!StatisticIniPath(path)) return false;
    // Made safe (MakeInstallFolder) once a process: a folder of the
    // program's stays so, as only administrators can change it, and each
    // check costs file opens that a start writing several values would pay
    // again and again.
    static std::atomic<bool> folderMade{false};
    if (forWriting && !folderMade) {
        wchar_t folder[MAX_PATH] = {};
        folderMade = InstallFolder(folder) && MakeInstallFolder(folder, false);
        if (!folderMade) return false;  // nothing is written into a folder not made safe
    }
    return true;
}

}  // namespace

bool InstallFolder(wchar_t (&folder)[MAX_PATH]) {
    folder[0] = 0;
    wchar_t common[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common))) return false;
    int n = std::swprintf(folder, MAX_PATH, L"%ls\\Marvole\\GameLogin", common);
    if (n < 0) {  // would not fit: no folder rather than a cut one
        folder[0] = 0;
        return false;
    }
    return true;
}

bool MakeInstallFolder(const wchar_t* installFolder, bool setOnExisting, ForeignFolderTest isForeign) {
    if (!installFolder || !*installFolder) return false;
    const std::wstring folder(installFolder);
    const size_t last = folder.rfind(L'\\');
    // "C:\" itself is no folder of ours.
    if (last != std::wstring::npos && last > 2 &&
        !MakeProgramFolder(folder.substr(0, last).c_str(), setOnExisting, AccessKind::ProgramFolder, isForeign))
        return false;
    return MakeProgramFolder(installFolder, setOnExisting, AccessKind::ProgramFolder, isForeign);
}

bool StatisticIniPath(wchar_t (&path)[MAX_PATH]) {
    path[0] = 0;
    wchar_t folder[MAX_PATH] = {};
    if (!InstallFolder(folder)) return false;
    if (std::swprintf(path, MAX_PATH, L"%ls\\Statistic.ini", folder) < 0) {
        path[0] = 0;
        return false;
    }
    return true;
}

bool SameUtcDate(const BYTE (&updTime)[16], const SYSTEMTIME& nowUtc) {
    SYSTEMTIME stored;
    std::memcpy(&stored, updTime, sizeof stored);
    return stored.wYear == nowUtc.wYear && stored.wMonth == nowUtc.wMonth && stored.wDay == nowUtc.wDay;
}

bool DisableDaysHas(const BYTE (&disableDays)[4], int weekday) {
    DWORD value = 0;
    std::memcpy(&value, disableDays, sizeof value);
    if (value == 0) return false;
    for (int i = 0; i < 3; ++i)
        if (disableDays[i] == weekday) return true;
    return false;
}

void DeleteSettings() { DeleteKeyInBothViews(kSettingsKey); }

void DeleteValueInBothViews(const wchar_t* subkey, const wchar_t* name) {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        OwnedKey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, KEY_SET_VALUE | view, key.put()) == ERROR_SUCCESS)
            ::RegDeleteValueW(key.get(), name);
    }
}

void DeleteKeyInBothViews(const wchar_t* subkey) {
    // RegDeleteKeyExW names the view; the 32-bit Windows XP, which has one
    // view only, lacks it.
    using DeleteKeyExFn = LONG(WINAPI*)(HKEY, const wchar_t*, REGSAM, DWORD);
    HMODULE advapi = ::GetModuleHandleW(L"advapi32.dll");
    const auto deleteKeyEx = reinterpret_cast<DeleteKeyExFn>(
        reinterpret_cast<void*>(advapi ? ::GetProcAddress(advapi, "RegDeleteKeyExW") : nullptr));
    if (!deleteKeyEx) {
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, subkey);
        return;
    }
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) deleteKeyEx(HKEY_LOCAL_MACHINE, subkey, view, 0);
}

bool ReadUpdateAllowed(const SYSTEMTIME& nowUtc) {
    const OwnedKey key = OpenSettingsKey(KEY_READ);
    if (!key) return false;
    BYTE updTime[16];
    BYTE days[4];
    ReadBinary(key.get(), L"UpdTime", updTime);
    ReadBinary(key.get(), L"DisableDays", days);
    return !SameUtcDate(updTime, nowUtc) && !DisableDaysHas(days, nowUtc.wDayOfWeek);
}

bool ReadUpdateAllowed() {
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    return ReadUpdateAllowed(now);
}

void StoreUpdateTime(const SYSTEMTIME& nowUtc) {
    static_assert(sizeof(SYSTEMTIME) == 16, "UpdTime is a 16-byte SYSTEMTIME");
    const OwnedKey key = OpenSettingsKey(KEY_WRITE);
    if (!key) return;
    ::RegSetValueExW(key.get(), L"UpdTime", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&nowUtc),
                     sizeof nowUtc);
}

void StoreUpdateTime() {
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    StoreUpdateTime(now);
}

bool WeekdayDisabled(int weekday) {
    const OwnedKey key = OpenSettingsKey(KEY_READ);
    if (!key) return false;
    BYTE days[4];
    ReadBinary(key.get(), L"DisableDays", days);
    return DisableDaysHas(days, weekday);
}

void StoreDisableDays(BYTE first, BYTE second, BYTE third) {
    const OwnedKey key = OpenSettingsKey(KEY_WRITE);
    if (!key) return;
    const BYTE days[4] = {first, second, third, 0};
    ::RegSetValueExW(key.get(), L"DisableDays", 0, REG_BINARY, days, sizeof days);
}

int IniReadString(const wchar_t* key, const wchar_t* def, wchar_t (&value)[kIniValueChars],
                  const wchar_t* iniPath) {
    value[0] = 0;
    wchar_t path[MAX_PATH];
    if (!ResolveIni(iniPath, path, false)) {
        ::lstrcpynW(value, def ? def : L"", kIniValueChars);
        return ::lstrlenW(value);
    }
    return static_cast<int>(
        ::GetPrivateProfileStringW(kIniSection, key, def ? def : L"", value, kIniValueChars, path));
}

int IniReadInt(const wchar_t* key, int def, const wchar_t* iniPath) {
    wchar_t path[MAX_PATH];
    if (!ResolveIni(iniPath, path, false)) return def;
    return static_cast<int>(::GetPrivateProfileIntW(kIniSection, key, def, path));
}

bool IniWriteString(const wchar_t* key, const wchar_t* value, const wchar_t* iniPath) {
    wchar_t path[MAX_PATH];
    if (!ResolveIni(iniPath, path, true)) return false;
    wchar_t text[kIniValueChars] = {};
    ::lstrcpynW(text, value ? value : L"", kIniValueChars);
    return ::WritePrivateProfileStringW(kIniSection, key, text, path) != FALSE;
}

bool IniWriteUInt(const wchar_t* key, unsigned value, const wchar_t* iniPath) {
    wchar_t text[kIniValueChars];
    std::swprintf(text, kIniValueChars, L"%u", value);
    return IniWriteString(key, text, iniPath);
}

bool IniWriteInt(const wchar_t* key, int value, const wchar_t* iniPath) {
    wchar_t text[kIniValueChars];
    std::swprintf(text, kIniValueChars, L"%d", value);
    return IniWriteString(key, text, iniPath);
}

int ReadWeekdaysMask(const wchar_t* iniPath) {
    int mask = IniReadInt(L"weekdays", 0, iniPath);
    return mask >= 129 || mask < 0 ? 0 : mask;
}

bool ParseLstTime(const wchar_t* text, const SYSTEMTIME& nowLocal, int* year, int* month, int* day) {
    *year = nowLocal.wYear;
    *month = nowLocal.wMonth;
    *day = nowLocal.wDay;
    if (!text) return false;
    const wchar_t* first = std::wcschr(text, L'/');
    const wchar_t* last = std::wcsrchr(text, L'/');
    if (!first || first == last) return false;
    // Each part is read up to its own end; wcstol stops at the next "/".
    *year = static_cast<int>(std::wcstol(text, nullptr, 10));
    *month = static_cast<int>(std::wcstol(first + 1, nullptr, 10));
    *day = static_cast<int>(std::wcstol(last + 1, nullptr, 10));
    return true;
}

long long DaysSinceLstTime(const wchar_t* text, const SYSTEMTIME& nowLocal) {
    int year = 0, month = 0, day = 0;
    ParseLstTime(text, nowLocal, &year, &month, &day);
    std::tm then{};
    then.tm_year = year - 1900;
    then.tm_mon = month - 1;
    then.tm_mday = day;
    then.tm_hour = nowLocal.wHour;
    then.tm_min = nowLocal.wMinute;
    then.tm_sec = nowLocal.wSecond;
    then.tm_isdst = -1;
    std::tm now = then;
    now.tm_year = nowLocal.wYear - 1900;
    now.tm_mon = nowLocal.wMonth - 1;
    now.tm_mday = nowLocal.wDay;
    now.tm_isdst = -1;
    const __time64_t a = ::_mktime64(&then);
    const __time64_t b = ::_mktime64(&now);
    if (a == -1 || b == -1) return 0;
    return static_cast<long long>(b - a) / 86400;
}

}  // namespace kvr
