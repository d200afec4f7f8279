#include <gtest/gtest.h>
#include <string>
#include "base/endpoints.h"
#include "base/owned.h"
#include "base/web_page.h"
#include "tests/support/ui_driver.h"

using kvr::IsTrustedDownloadUrl;

TEST(TrustedDownloads, HostMustBeATrustedNameOrItsSubdomain) {
    EXPECT_TRUE(IsTrustedDownloadUrl(L"http://127.0.0.1:18301/dl/kvr.exe"));
    EXPECT_TRUE(IsTrustedDownloadUrl(L"HTTP://LocalHost/x"));
    EXPECT_TRUE(IsTrustedDownloadUrl(L"http://cdn.dl.localhost/x"));
    // The trusted name only in the query, the path or as a prefix of another host.
    EXPECT_FALSE(IsTrustedDownloadUrl(L"http://evil.example/?x=127.0.0.1"));
    EXPECT_FALSE(IsTrustedDownloadUrl(L"http://evil.example/localhost/kvr.exe"));
    EXPECT_FALSE(IsTrustedDownloadUrl(L"http://localhost.evil.example/kvr.exe"));
    EXPECT_FALSE(IsTrustedDownloadUrl(L"http://evillocalhost/kvr.exe"));
    EXPECT_FALSE(IsTrustedDownloadUrl(L"http://localhost@evil.example/kvr.exe"));
    // What the connection would read differently: the host before "@", a
    // port with more than digits, a back slash.
    EXPECT_FALSE(IsTrustedDownloadUrl(L"http://evil.example:80@127.0.0.1/kvr.exe"));
    EXPECT_FALSE(IsTrustedDownloadUrl(L"http://localhost:80evil/kvr.exe"));
    EXPECT_FALSE(IsTrustedDownloadUrl(L"http://evil.example\\.localhost/kvr.exe"));
    EXPECT_EQ(kvr::UrlHost(L"http://evil.example:80@127.0.0.1/kvr.exe"), L"");
    EXPECT_EQ(kvr::UrlHost(L"HTTP://Dl.LocalHost:8080/x"), L"dl.localhost");
    EXPECT_FALSE(IsTrustedDownloadUrl(L"ftp://localhost/kvr.exe"));
    EXPECT_FALSE(IsTrustedDownloadUrl(L""));
}

TEST(TrustedPages, PortalHostsAndTrustedDomainsOnly) {
    using kvr::IsTrustedPageUrl;
    using kvr::Server;
    using kvr::ServerUrl;
    EXPECT_TRUE(IsTrustedPageUrl(ServerUrl(Server::Portal, L"/zt/client/v2/index.html?cid=4224").c_str()));
    EXPECT_TRUE(IsTrustedPageUrl(ServerUrl(Server::ClientService, L"/webgame.htm").c_str()));
    EXPECT_TRUE(IsTrustedPageUrl(L"HTTPS://cdn.dl.localhost/game.html"));
    EXPECT_TRUE(IsTrustedPageUrl(L"http://localhost:8080/x"));
    // Pages of anywhere else, and addresses that only mention a trusted host.
    for (const wchar_t* hostile :
         {L"http://ads.example/banner.html", L"http://evil.example/?next=http://127.0.0.1/",
          L"http://127.0.0.1.evil.example/", L"http://localhost@evil.example/", L"http://evil.example@localhost/",
          L"http://localhost:80x/", L"http://localhost:/", L"http://local_host/",
          L"ftp://localhost/", L"file:///C:/windows/", L"javascript:alert(1)", L"about:blank", L"app://loadgame|a|b",
          L"", L"http://"}) {
        EXPECT_FALSE(IsTrustedPageUrl(hostile)) << testing::PrintToString(std::wstring(hostile));
    }
    EXPECT_FALSE(IsTrustedPageUrl(nullptr));
}

// Web pages open in the player's browser through the desktop shell, never
// through a browser's name that the current directory could answer.
TEST(WebPage, OpensThroughTheDesktopShellNeverABrowserOfTheCurrentDirectory) {
    // This prefix's browser: the stand-in installer, noting its parent and
    // command line; a copy of it waits as "iexplore.exe" in the current directory.
    const std::wstring browser = kvrtest::BuildPath(L"tests/update/kvr_tiny_installer.exe");
    wchar_t temp[MAX_PATH] = {}, cwd[MAX_PATH] = {}, previous[MAX_PATH] = {}, image[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring mark = temp + std::wstring(L"kvr_tiny_installer.ran"), folder = temp + std::wstring(L"cwd");
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(browser.c_str(), (folder + L"\\iexplore.exe").c_str(), FALSE));
    ::DeleteFileW(mark.c_str());
    const wchar_t* key = L"http\\shell\\open\\command";
    DWORD size = sizeof(previous);
    ASSERT_EQ(::RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, previous, &size), 0);
    const std::wstring command = L"\"" + browser + L"\" \"%1\"";
    ::RegSetKeyValueW(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, command.c_str(), (command.size() + 1) * 2);
    ::GetCurrentDirectoryW(MAX_PATH, cwd);
    ::SetCurrentDirectoryW(folder.c_str());

    EXPECT_FALSE(kvr::OpenWebPage(L"http://127.0.0.1:1/\" --argument"));
    EXPECT_TRUE(kvr::OpenWebPage(L"http://127.0.0.1:1/flash?x=1"));
    std::wstring noted(200, L'\0');
    DWORD read = 0, chars = MAX_PATH;
    EXPECT_TRUE(kvrtest::WaitUntil([&] {
        kvr::OwnedFile f(::CreateFileW(mark.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        return f && ::ReadFile(f.get(), &noted[0], 398, &read, nullptr) && read > 0;
    }, 10000));
    ::SetCurrentDirectoryW(cwd);
    ::RegSetKeyValueW(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, previous, (wcslen(previous) + 1) * 2);
    // Started by the shell's process (Wine's explorer), not by this one.
    const kvr::OwnedHandle parent(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, std::stoul(noted)));
    ::QueryFullProcessImageNameW(parent.get(), 0, image, &chars);
    EXPECT_NE(std::wstring(image).find(L"explorer.exe"), std::wstring::npos) << image << L" ran " << noted;
    EXPECT_NE(noted.find(L"kvr_tiny_installer.exe\" \"http://127.0.0.1:1/flash?x=1\""), std::wstring::npos);
}
