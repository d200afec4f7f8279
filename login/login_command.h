// The login page's commands, as plain rules: reading "app://loadgame", turning
// its account text into the page's caption (the key the game window keeps),
// the duplicate-login message, the "minimize" choice, the areas of the page
// that never drag the window, and the QQ/Weibo redirect links.
#pragma once
#include <windows.h>
#include <string>

namespace kvr {

// Longest account text and key, in characters (the 256-character buffers).
inline constexpr size_t kMaxAccountText = 255;

// "app://loadgame" + one separator + account text + "|" + game URL.
// Without "|" both parts are empty. The account text is cut at 255.
struct LoadGameCommand {
    std::wstring accountText;
    std::wstring gameUrl;
};
LoadGameCommand ParseLoadGame(const wchar_t* url);

// Percent-encoded UTF-8 account text decoded (only when it contains "%");
// other text is returned unchanged. Bounded to 255 bytes/characters.
std::wstring DecodeAccountText(const std::wstring& text);

// server + "服-" + area + "-" + account.
struct LoginCaption {
    std::wstring server;
    std::wstring area;
    std::wstring account;
};
LoginCaption SplitAccountText(const std::wstring& text);
// The caption rules: every "S" removed from the server; an area name with "》"
// becomes the 4 characters after the first "》".
LoginCaption NormalizeCaption(const LoginCaption& caption);
std::wstring ComposeKey(const LoginCaption& caption);
// Whether a key fits the game window's caption buffer (with its terminator).
bool KeyFits(const std::wstring& key);

// "账号 %s 已在 %s服 登录，同一账号不能在一服重复登录" with account and server.
std::wstring DuplicateLoginMessage(const std::wstring& account, const std::wstring& server);

// What "minimize" does.
enum class MinimizeAction { EndLogin, MinimizeLoginParent, MinimizeGameWindow };
MinimizeAction ChooseMinimize(int pageCount, bool userAccountControl);
// True when majorVersion > 5 and the key's "EnableLUA" reads as a 4-byte 1.
bool IsLuaEnabled(DWORD majorVersion, HKEY root, const wchar_t* subkey);
// The same for this system (GetVersionExW, the policies key of HKLM).
bool IsLuaEnabledHere();

// Points of the login page (client pixels) that never drag the window.
bool InDragExemptArea(POINT client);

// The external-login server's redirect links that open the QQ/Weibo window.
enum class OAuthRedirect { None, QQ, Weibo };
OAuthRedirect FindOAuthRedirect(const wchar_t* url);

}  // namespace kvr
