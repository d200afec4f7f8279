#include "install/browser_emulation.h"

#include <cwchar>
#include "base/owned.h"
#include "base/settings.h"

namespace kvr {
namespace {
const wchar_t kEmulationKey[] =
    L"SOFTWARE\\Microsoft\\Internet Explorer\\MAIN\\FeatureControl\\FEATURE_BROWSER_EMULATION";
const wchar_t kExplorerKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer";

// The number before the first "." of "11.0.9600.18860"; 0 for anything else.
DWORD MajorVersion(const wchar_t* text) {
    if (!text) return 0;
    DWORD major = 0;
    const wchar_t* p = text;
    for (; *p >= L'0' && *p <= L'9' && major < 1000; ++p) major = major * 10 + static_cast<DWORD>(*p - L'0');
    return p != text && *p == L'.' && major < 1000 ? major : 0;
}

// A text value of at most 63 characters; empty when absent or longer.
void ReadText(HKEY key, const wchar_t* name, wchar_t (&text)[64]) {
    text[0] = L'\0';
    DWORD type = 0, size = sizeof text - sizeof(wchar_t);
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        text[0] = L'\0';
    else
        text[size / sizeof(wchar_t)] = L'\0';
}
}  // namespace

DWORD BrowserEmulationValue(const wchar_t* svcVersion, const wchar_t* version) {
    DWORD major = MajorVersion(svcVersion);
    if (major == 0) major = MajorVersion(version);
    return major >= 7 ? major * 1000 : 0;
}

bool WriteBrowserEmulation(const wchar_t* exeName) {
    if (!exeName || !*exeName || std::wcschr(exeName, L'\\')) return false;
    wchar_t svcVersion[64], version[64];
    {
        OwnedKey explorer;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kExplorerKey, 0, KEY_QUERY_VALUE, explorer.put()) != ERROR_SUCCESS)
            return false;
        ReadText(explorer.get(), L"svcVersion", svcVersion);
        ReadText(explorer.get(), L"Version", version);
    }
    const DWORD value = BrowserEmulationValue(svcVersion, version);
    OwnedKey key;
    return value != 0 &&
           ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEmulationKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                             nullptr) == ERROR_SUCCESS &&
           ::RegSetValueExW(key.get(), exeName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof value) == ERROR_SUCCESS;
}

void DeleteBrowserEmulation(const wchar_t* exeName) {
    if (exeName && *exeName) DeleteValueInBothViews(kEmulationKey, exeName);
}

}  // namespace kvr
