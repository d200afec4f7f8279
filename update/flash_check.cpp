#include "update/flash_check.h"

#include <windows.h>
#include <cwchar>
#include "base/owned.h"

namespace kvr {

namespace {
// The text up to the next "," (or the end) as a number; moves past the ",".
unsigned long long NextComponent(const wchar_t*& p) {
    unsigned long long value = 0;
    bool digits = true;
    for (; *p && *p != L','; ++p) {
        if (digits && *p >= L'0' && *p <= L'9') {
            value = value * 10 + static_cast<unsigned>(*p - L'0');
            if (value > 0xFFFFFFFFull) value = 0xFFFFFFFFull;  // saturate, never wrap
        } else {
            digits = false;  // "12ab" reads as 12, "ab" as 0
        }
    }
    if (*p == L',') ++p;
    return value;
}
}  // namespace

bool FlashVersionPasses(const wchar_t* installed, const wchar_t* required) {
    const wchar_t* a = installed ? installed : L"";
    const wchar_t* b = required ? required : L"";
    for (int i = 0; i < 4; ++i) {
        const unsigned long long have = NextComponent(a);
        const unsigned long long need = NextComponent(b);
        if (need < have) return true;
        if (have < need) return false;
    }
    return false;  // equal is not enough
}

bool ReadInstalledFlashVersion(wchar_t* version, unsigned count) {
    if (!version || count == 0) return false;
    version[0] = L'\0';
    OwnedKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Macromedia\\FlashPlayer", 0,
                        KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return false;
    // 520 bytes as the value has always been read; one more character keeps
    // room for a terminator the registry does not promise.
    wchar_t buffer[261] = {};
    DWORD type = 0;
    DWORD size = 520;
    const LONG rc = ::RegQueryValueExW(key.get(), L"CurrentVersion", nullptr, &type,
                                       reinterpret_cast<BYTE*>(buffer), &size);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    buffer[size / sizeof(wchar_t) < 260 ? size / sizeof(wchar_t) : 260] = L'\0';
    wcsncpy(version, buffer, count - 1);
    version[count - 1] = L'\0';
    return true;
}

bool FlashPlayerIsCurrent() {
    wchar_t version[261] = {};
    if (!ReadInstalledFlashVersion(version, 261)) return false;
    return FlashVersionPasses(version);
}

}  // namespace kvr
