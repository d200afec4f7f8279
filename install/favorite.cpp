#include "install/favorite.h"

#include <shlobj.h>
#include <cwctype>
#include "base/access_list.h"
#include "base/player_rights.h"

namespace kvr {

bool IsValidFavoriteName(const wchar_t* name) {
    if (!name || !*name) return false;
    const std::wstring text(name);
    if (text.size() > static_cast<size_t>(kFavoriteNameMax)) return false;
    for (wchar_t c : text)
        if (c < 32 || std::wcschr(L"\\/:*?\"<>|", c)) return false;
    if (text.find(L"..") != std::wstring::npos) return false;
    if (text.find_first_not_of(L". ") == std::wstring::npos) return false;
    // Device names open the device, not a file, whatever follows the dot.
    std::wstring stem = text.substr(0, text.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    for (auto& c : stem) c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t* const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* d : devices)
        if (stem == d) return false;
    if (stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
        stem[3] >= L'0' && stem[3] <= L'9')
        return false;
    return true;
}

std::string FavoriteFileText(const wchar_t* url, UINT codePage) {
    const std::wstring u = url ? url : L"";
    const std::wstring text = L"[DEFAULT]\r\nBASEURL=" + u +
                              L"\r\n[{000214A0-0000-0000-C000-000000000046}]\r\n=19,2\r\n"
                              L"[InternetShortcut]\r\nURL=" + u + L"\r\nIDList=\r\n";
    // Character by character (a surrogate pair as one), so that a cut never
    // splits a character of the code page.
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const int units = (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) ? 2 : 1;
        char bytes[16];
        const int n = ::WideCharToMultiByte(codePage, 0, text.data() + i, units, bytes, sizeof bytes, nullptr, nullptr);
        if (n <= 0 || out.size() + static_cast<size_t>(n) > kFavoriteTextMax) break;
        out.append(bytes, static_cast<size_t>(n));
        i += static_cast<size_t>(units);
    }
    return out;
}

bool WriteFavorite(const wchar_t* folder, const wchar_t* name, const wchar_t* url) {
    if (!folder || !*folder || !IsValidFavoriteName(name)) return false;
    const std::wstring path = std::wstring(folder) + L"\\" + name + L".url";
    if (path.size() >= MAX_PATH) return false;
    const std::string text = FavoriteFileText(url);
    const CHeldPath held(folder);
    if (!held.Valid()) return false;
    const OwnedFile file = CreateFreshFile(path.c_str(), GENERIC_WRITE, nullptr);
    DWORD written = 0;
    return file && ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

std::wstring FavoritesFolder() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_FAVORITES, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

}  // namespace kvr
