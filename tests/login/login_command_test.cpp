// The login page's command rules: loadgame's account text to the caption key,
// decoding, bounds, the minimize choice, the exempt drag areas, the
// QQ/Weibo pages.
#include <gtest/gtest.h>

#include <string>
#include "base/endpoints.h"
#include "login/login_command.h"
#include "login/oauth_pages.h"

using namespace kvr;

namespace {
// "【一线】" + "》" + six area characters.
const std::wstring kArea = L"\x3010\x4E00\x7EBF\x3011\x300B\x7D2B\x7981\x4E4B\x5DC5\x4E00\x533A";
const std::wstring kAreaFour = L"\x7D2B\x7981\x4E4B\x5DC5";
}  // namespace

TEST(LoadGame, ExampleGivesKeyAndGameUrl) {
    const std::wstring url = L"app://loadgame|S12服-" + kArea + L"-user|http://127.0.0.1:1/game?s=12";
    const LoadGameCommand cmd = ParseLoadGame(url.c_str());
    EXPECT_EQ(cmd.gameUrl, L"http://127.0.0.1:1/game?s=12");
    const LoginCaption c = NormalizeCaption(SplitAccountText(DecodeAccountText(cmd.accountText)));
    EXPECT_EQ(c.server, L"12");
    EXPECT_EQ(c.area, kAreaFour);
    EXPECT_EQ(c.account, L"user");
    EXPECT_EQ(ComposeKey(c), L"12服-" + kAreaFour + L"-user");
}

TEST(LoadGame, PercentEncodedTextIsUtf8) {
    // "S3服-双线一区-玩家" percent-encoded as UTF-8, as encodeURIComponent sends it.
    const std::wstring encoded =
        L"S3%E6%9C%8D-%E5%8F%8C%E7%BA%BF%E4%B8%80%E5%8C%BA-%E7%8E%A9%E5%AE%B6";
    const LoginCaption c = NormalizeCaption(SplitAccountText(DecodeAccountText(encoded)));
    EXPECT_EQ(c.server, L"3");
    EXPECT_EQ(c.area, L"双线一区");
    EXPECT_EQ(c.account, L"玩家");
    // Unencoded text is used as it is.
    EXPECT_EQ(DecodeAccountText(L"S3服-双线-玩家"), L"S3服-双线-玩家");
}

TEST(LoadGame, MissingBarAndOddShapes) {
    LoadGameCommand cmd = ParseLoadGame(L"app://loadgame|S1服-a-b");
    EXPECT_EQ(cmd.accountText, L"");
    EXPECT_EQ(cmd.gameUrl, L"");
    EXPECT_EQ(ComposeKey(NormalizeCaption(SplitAccountText(cmd.accountText))), L"服--");
    // Account names may hold "-": only the first one after the area splits.
    LoginCaption c = SplitAccountText(L"S2服-area-a-b-c");
    EXPECT_EQ(c.account, L"a-b-c");
    // "》" near the end: whatever follows, up to four.
    c = NormalizeCaption(SplitAccountText(L"S2服-x》ab-u"));
    EXPECT_EQ(c.area, L"ab");
    EXPECT_EQ(NormalizeCaption(SplitAccountText(L"SS1S服-a-u")).server, L"1");
}

TEST(LoadGame, AccountTextIsBoundedAndLongKeysRefused) {
    const std::wstring longText = L"S1服-a-" + std::wstring(400, L'x');
    const std::wstring url = L"app://loadgame|" + longText + L"|http://g/";
    const LoadGameCommand cmd = ParseLoadGame(url.c_str());
    EXPECT_EQ(cmd.accountText.size(), kMaxAccountText);
    EXPECT_EQ(cmd.gameUrl, L"http://g/");
    const std::wstring encoded(600, L'%');
    EXPECT_LE(DecodeAccountText(encoded + L"41").size(), kMaxAccountText);
    EXPECT_TRUE(KeyFits(std::wstring(255, L'k')));
    EXPECT_FALSE(KeyFits(std::wstring(256, L'k')));
}

TEST(LoadGame, DuplicateMessage) {
    EXPECT_EQ(DuplicateLoginMessage(L"user", L"12"),
              L"账号 user 已在 12服 登录，同一账号不能在一服重复登录");
    EXPECT_LE(DuplicateLoginMessage(std::wstring(2000, L'a'), L"1").size(), 511u);
}

TEST(Minimize, ChoiceByPagesAndUserAccountControl) {
    const wchar_t* key = L"Software\\KvrTest\\Policies";
    ::RegDeleteKeyW(HKEY_CURRENT_USER, key);
    HKEY h = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                                nullptr), ERROR_SUCCESS);
    EXPECT_FALSE(IsLuaEnabled(6, HKEY_CURRENT_USER, key)) << "no value";
    DWORD one = 1, zero = 0;
    ::RegSetValueExW(h, L"EnableLUA", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4);
    EXPECT_TRUE(IsLuaEnabled(6, HKEY_CURRENT_USER, key));
    EXPECT_FALSE(IsLuaEnabled(5, HKEY_CURRENT_USER, key)) << "systems before Vista";
    ::RegSetValueExW(h, L"EnableLUA", 0, REG_DWORD, reinterpret_cast<BYTE*>(&zero), 4);
    EXPECT_FALSE(IsLuaEnabled(10, HKEY_CURRENT_USER, key));
    ULONGLONG wide = 1;
    ::RegSetValueExW(h, L"EnableLUA", 0, REG_QWORD, reinterpret_cast<BYTE*>(&wide), 8);
    EXPECT_FALSE(IsLuaEnabled(10, HKEY_CURRENT_USER, key)) << "only a 4-byte value counts";
    ::RegCloseKey(h);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, key);

    EXPECT_EQ(ChooseMinimize(0, true), MinimizeAction::MinimizeLoginParent);
    EXPECT_EQ(ChooseMinimize(0, false), MinimizeAction::MinimizeGameWindow);
    EXPECT_EQ(ChooseMinimize(2, true), MinimizeAction::EndLogin);
}

TEST(Drag, ExemptAreasAreInclusive) {
    EXPECT_TRUE(InDragExemptArea(POINT{832, 87}));
    EXPECT_TRUE(InDragExemptArea(POINT{882, 120}));
    EXPECT_FALSE(InDragExemptArea(POINT{831, 100}));
    EXPECT_FALSE(InDragExemptArea(POINT{883, 100}));
    EXPECT_FALSE(InDragExemptArea(POINT{850, 121}));
    EXPECT_TRUE(InDragExemptArea(POINT{826, 288}));
    EXPECT_TRUE(InDragExemptArea(POINT{855, 470}));
    EXPECT_FALSE(InDragExemptArea(POINT{840, 287}));
    EXPECT_FALSE(InDragExemptArea(POINT{840, 471}));
    EXPECT_FALSE(InDragExemptArea(POINT{-840, 300}));
    EXPECT_FALSE(InDragExemptArea(POINT{10, 10}));
}

TEST(OAuthPages, RedirectsAndRecognisedPages) {
    const std::wstring ext = std::wstring(L"http://") + ServerHost(Server::ExtLogin);
    const std::wstring qq = std::wstring(L"http://") + ServerHost(Server::QQAuth);
    EXPECT_EQ(FindOAuthRedirect((ext + L"/qzone/redirectToAuthorize.do?client=kvr").c_str()),
              OAuthRedirect::QQ);
    EXPECT_EQ(FindOAuthRedirect((ext + L"/weibo/redirectToAuthorize.do?client=kvr").c_str()),
              OAuthRedirect::Weibo);
    EXPECT_EQ(FindOAuthRedirect((ext + L"/qzone/redirectToAuthorize.do").c_str()), OAuthRedirect::None);
    EXPECT_EQ(FindOAuthRedirect(L"http://elsewhere/qzone/redirectToAuthorize.do?x"), OAuthRedirect::None);
    // The redirect address inside another page's query opens no login window.
    const std::wstring carried = L"http://elsewhere/page?next=" + ext + L"/weibo/redirectToAuthorize.do?x";
    EXPECT_EQ(FindOAuthRedirect(carried.c_str()), OAuthRedirect::None);

    EXPECT_TRUE(IsExternalLoginResultPage((ext + L"/qzone/callback.do?code=1").c_str()));
    EXPECT_TRUE(IsExternalLoginResultPage((ext + L"/weibo/extLoginBind.do").c_str()));
    EXPECT_FALSE(IsExternalLoginResultPage((ext + L"/qzone/callback.do?state=1").c_str()));
    // A recognised path inside another page's query is not that page.
    const std::wstring inside = L"http://127.0.0.1:1/page?next=" + ext + L"/qzone/callback.do?code=1";
    EXPECT_FALSE(IsExternalLoginResultPage(inside.c_str()));
    EXPECT_FALSE(IsExternalLoginResultPage(nullptr));

    EXPECT_TRUE(IsQQAuthorizePage((qq + L"/oauth2.0/authorize?client_id=1").c_str()));
    EXPECT_FALSE(IsQQAuthorizePage((ext + L"/oauth2.0/authorize").c_str()));
}
