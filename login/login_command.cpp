#include "login/login_command.h"

#include <shlwapi.h>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include "base/endpoints.h"
#include "base/messages.h"
#include "base/owned.h"
#include "browser/app_command.h"

namespace kvr {

LoadGameCommand ParseLoadGame(const wchar_t* url) {
    LoadGameCommand cmd;
    const AppArgs args = SplitAppArgs(url);
    if (!args.hasBar) return cmd;
    cmd.accountText = args.data.substr(0, kMaxAccountText);
    cmd.gameUrl = args.second;
    return cmd;
}

std::wstring DecodeAccountText(const std::wstring& text) {
    if (text.find(L'%') == std::wstring::npos) return text;
    // To the thread's ANSI code page (the escapes are ASCII), at most 255 bytes.
    char ansi[256] = {};
    const std::wstring cut = text.substr(0, kMaxAccountText);
    int n = ::WideCharToMultiByte(CP_THREAD_ACP, 0, cut.c_str(), static_cast<int>(cut.size()),
                                  ansi, 255, nullptr, nullptr);
    if (n <= 0) {
        // Did not fit whole: convert character by character as far as it goes.
        n = 0;
        for (wchar_t c : cut) {
            char one[8];
            const int k = ::WideCharToMultiByte(CP_THREAD_ACP, 0, &c, 1, one, sizeof(one), nullptr, nullptr);
            if (k <= 0 || n + k > 255) break;
            memcpy(ansi + n, one, static_cast<size_t>(k));
            n += k;
        }
    }
    ansi[n] = '\0';
    char unescaped[256] = {};
    DWORD size = sizeof(unescaped);
    if (FAILED(::UrlUnescapeA(ansi, unescaped, &size, 0))) return text;
    unescaped[255] = '\0';
    wchar_t wide[256] = {};
    const int w = ::MultiByteToWideChar(CP_UTF8, 0, unescaped, -1, wide, 256);
    if (w <= 0) return text;
    wide[255] = L'\0';
    return wide;
}

LoginCaption SplitAccountText(const std::wstring& text) {
    LoginCaption c;
    const size_t mark = text.find(L"服-");
    if (mark == std::wstring::npos) {
        c.server = text;
        return c;
    }
    c.server = text.substr(0, mark);
    const std::wstring rest = text.substr(mark + 2);
    const size_t dash = rest.find(L'-');
    if (dash == std::wstring::npos) {
        c.area = rest;
        return c;
    }
    c.area = rest.substr(0, dash);
    c.account = rest.substr(dash + 1);
    return c;
}

LoginCaption NormalizeCaption(const LoginCaption& caption) {
    LoginCaption c = caption;
    std::wstring server;
    for (wchar_t ch : c.server)
        if (ch != L'S') server += ch;
    c.server = server;
    const size_t bracket = c.area.find(L'\x300B');
    if (bracket != std::wstring::npos) c.area = c.area.substr(bracket + 1, 4);
    return c;
}

std::wstring ComposeKey(const LoginCaption& caption) {
    return caption.server + L"服-" + caption.area + L"-" + caption.account;
}

bool KeyFits(const std::wstring& key) { return key.size() < static_cast<size_t>(kMaxCaption); }

std::wstring DuplicateLoginMessage(const std::wstring& account, const std::wstring& server) {
    wchar_t text[512];
    std::swprintf(text, std::size(text), L"账号 %ls 已在 %ls服 登录，同一账号不能在一服重复登录",
                  account.c_str(), server.c_str());
    return text;
}

MinimizeAction ChooseMinimize(int pageCount, bool userAccountControl) {
    if (pageCount > 0) return MinimizeAction::EndLogin;
    return userAccountControl ? MinimizeAction::MinimizeLoginParent
                              : MinimizeAction::MinimizeGameWindow;
}

bool IsLuaEnabled(DWORD majorVersion, HKEY root, const wchar_t* subkey) {
    if (majorVersion <= 5) return false;
    OwnedKey key;
    if (::RegOpenKeyExW(root, subkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    DWORD value = 0, size = sizeof(value), type = 0;
    const LONG rc = ::RegQueryValueExW(key.get(), L"EnableLUA", nullptr, &type,
                                       reinterpret_cast<BYTE*>(&value), &size);
    return rc == ERROR_SUCCESS && size == 4 && value == 1;
}

bool IsLuaEnabledHere() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    if (!::GetVersionExW(&version)) return false;
    return IsLuaEnabled(version.dwMajorVersion, HKEY_LOCAL_MACHINE,
                        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\");
}

bool InDragExemptArea(POINT p) {
    if (p.x < 0) return false;
    if (p.x >= 832 && p.x <= 882 && p.y >= 87 && p.y <= 120) return true;
    if (p.x >= 826 && p.x <= 855 && p.y >= 288 && p.y <= 470) return true;
    return false;
}

OAuthRedirect FindOAuthRedirect(const wchar_t* url) {
    // Only at the start: the same text inside another page's query is that page.
    if (BeginsWithServerPage(url, Server::ExtLogin, paths::kQQRedirect)) return OAuthRedirect::QQ;
    if (BeginsWithServerPage(url, Server::ExtLogin, paths::kWeiboRedirect)) return OAuthRedirect::Weibo;
    return OAuthRedirect::None;
}

}  // namespace kvr
