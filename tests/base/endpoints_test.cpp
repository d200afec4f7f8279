#include <gtest/gtest.h>
#include "base/endpoints.h"

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
