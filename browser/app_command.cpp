#include "browser/app_command.h"

#include <cwchar>

namespace kvr {

bool IsAppUrl(const wchar_t* url) {
    return url && std::wcsncmp(url, L"app:", 4) == 0;
}

void FilterAppUrl(const wchar_t* url, bool* cancel) {
    if (!url || !cancel) return;
    if (IsAppUrl(url))
        *cancel = true;
    else if (std::wcsncmp(url, L"javascript", 10) == 0)
        *cancel = false;
}

bool IsAllowedNavigation(const wchar_t* url) {
    if (!url) return false;
    if (IsAppUrl(url)) return true;
    const wchar_t* colon = std::wcschr(url, L':');
    if (!colon) return false;
    std::wstring scheme(url, colon);
    for (wchar_t& c : scheme)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return scheme == L"http" || scheme == L"https" || scheme == L"about" || scheme == L"javascript";
}

std::wstring AppCommandName(const wchar_t* url) {
    const std::wstring u = SafeText(url);
    if (u.size() < 14) return {};
    return u.substr(6, 8);
}

AppArgs SplitAppArgs(const wchar_t* url) {
    AppArgs args;
    const std::wstring u = SafeText(url);
    if (u.size() <= 15) return args;
    const size_t bar = u.find(L'|', 15);
    if (bar == std::wstring::npos) return args;
    args.hasBar = true;
    args.data = u.substr(15, bar - 15);
    args.second = u.substr(bar + 1);
    return args;
}

}  // namespace kvr
