#include "login/oauth_pages.h"

#include <windows.h>
#include <wininet.h>
#include "base/endpoints.h"
#include "base/system_library.h"

namespace kvr {

bool IsExternalLoginResultPage(const wchar_t* url) {
    static const wchar_t* const kPages[] = {
        L"/qzone/callback.do?code=", L"/weibo/callback.do?state", L"/qzone/extAutoBind.do",
        L"/weibo/extAutoBind.do",    L"/qzone/extLoginBind.do",   L"/weibo/extLoginBind.do",
    };
    for (const wchar_t* path : kPages)
        if (BeginsWithServerPage(url, Server::ExtLogin, path)) return true;
    return false;
}

bool IsQQAuthorizePage(const wchar_t* url) {
    return BeginsWithServerPage(url, Server::QQAuth, paths::kQQAuthorize);
}

std::wstring ReadLoginCookie(const wchar_t* url) {
    using GetCookieExFn = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPWSTR, LPDWORD, DWORD, LPVOID);
    if (!EnsureSystemLibrary(L"wininet.dll")) return L"";
    const auto getCookieEx = reinterpret_cast<GetCookieExFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"wininet.dll"), "InternetGetCookieExW")));
    wchar_t cookie[256] = L"";
    DWORD size = 256;
    // Before Internet Explorer 8 the function may be there without the flag.
    BOOL found = getCookieEx && getCookieEx(url, L"Pauth", cookie, &size, INTERNET_COOKIE_HTTPONLY, nullptr);
    if (!found) {
        size = 256;
        found = ::InternetGetCookieW(url, L"Pauth", cookie, &size);
    }
    cookie[255] = L'\0';
    return found ? cookie : L"";
}

}  // namespace kvr
