// Where the program keeps its state: one registry key for update throttling,
// Statistic.ini (section "Kvr") for statistics and hotkeys, and the
// installation folder.
#pragma once
#include <windows.h>
#include "base/access_list.h"

namespace kvr {

// HKEY_LOCAL_MACHINE key of the update throttling values, kept in the
// registry view kSettingsView (0: the view of the process's own bitness).
inline constexpr wchar_t kSettingsKey[] = L"Software\\Marvole\\GameLogin\\Kvr";
// The registry view of that key, the same for both builds: the 32-bit one,
// where installed 32-bit clients keep it, so that a 64-bit build installed
// over a 32-bit one finds its settings. What the system reads for this
// process (the Flash Player's key, the browser-emulation value) stays in the
// process's own view.
inline constexpr REGSAM kSettingsView = KEY_WOW64_32KEY;
inline constexpr wchar_t kIniSection[] = L"Kvr";
inline constexpr int kIniValueChars = 32;  // buffer of every INI value

// Common application data + "\Marvole\GameLogin" (no trailing backslash).
// False when the shell folder is unknown; the buffer then holds "".
bool InstallFolder(wchar_t (&folder)[MAX_PATH]);
// Creates installFolder and the folder above it ("Marvole") with the
// program's access list (MakeProgramFolder): someone else's is moved aside
// for a fresh one; where they are the program's, the install
// (setOnExisting) puts that list on them, anything else leaves them as
// they are.
bool MakeInstallFolder(const wchar_t* installFolder, bool setOnExisting,
                       ForeignFolderTest isForeign = IsSomeoneElsesFolder);
// The installation folder + "\Statistic.ini".
bool StatisticIniPath(wchar_t (&path)[MAX_PATH]);

// --- Update throttling (registry) ---
// True when the stored UpdTime is not the UTC date of nowUtc and nowUtc's
// weekday is not one of DisableDays; false when the key cannot be opened.
bool ReadUpdateAllowed(const SYSTEMTIME& nowUtc);
bool ReadUpdateAllowed();  // with GetSystemTime
// Stores nowUtc as UpdTime (16-byte SYSTEMTIME).
void StoreUpdateTime(const SYSTEMTIME& nowUtc);
void StoreUpdateTime();  // with GetSystemTime
// True when DisableDays is not 0 and one of its bytes 0..2 equals weekday.
bool WeekdayDisabled(int weekday);
// Stores the three weekdays (0 = Sunday) as DisableDays; byte 3 stays 0.
void StoreDisableDays(BYTE first, BYTE second, BYTE third);

// The uninstall: the settings key as any build wrote it (both views).
void DeleteSettings();
// Deletes a value, or a key without subkeys, under HKEY_LOCAL_MACHINE in the
// 32-bit and the 64-bit registry view alike.
void DeleteValueInBothViews(const wchar_t* subkey, const wchar_t* name);
void DeleteKeyInBothViews(const wchar_t* subkey);

// The rules on the raw values, for callers that already hold them.
bool SameUtcDate(const BYTE (&updTime)[16], const SYSTEMTIME& nowUtc);
bool DisableDaysHas(const BYTE (&disableDays)[4], int weekday);

// --- Statistic.ini, section "Kvr" (iniPath null = the installed file) ---
// Reads key into value (32 characters, cut), default def; returns the length.
int IniReadString(const wchar_t* key, const wchar_t* def, wchar_t (&value)[kIniValueChars],
                  const wchar_t* iniPath = nullptr);
int IniReadInt(const wchar_t* key, int def, const wchar_t* iniPath = nullptr);
// Writes value (cut to 31 characters); false when the file cannot be written.
bool IniWriteString(const wchar_t* key, const wchar_t* value, const wchar_t* iniPath = nullptr);
bool IniWriteUInt(const wchar_t* key, unsigned value, const wchar_t* iniPath = nullptr);  // "%u"
bool IniWriteInt(const wchar_t* key, int value, const wchar_t* iniPath = nullptr);        // "%d"

// "weekdays": the 7-bit mask of the last seven start days; a stored value of
// 129 or more (or below 0) reads as 0.
int ReadWeekdaysMask(const wchar_t* iniPath = nullptr);

// --- lstTime: "year/month/day" of the last start (local date) ---
// Splits at the first and the last "/"; false when there is no "/" or only
// one, and the date fields then hold nowLocal's date.
bool ParseLstTime(const wchar_t* text, const SYSTEMTIME& nowLocal, int* year, int* month, int* day);
// Whole days from the stored date (at nowLocal's time of day, daylight saving
// decided by the system) to nowLocal, rounded toward zero; 0 for a date the
// C library cannot represent.
long long DaysSinceLstTime(const wchar_t* text, const SYSTEMTIME& nowLocal);

}  // namespace kvr
