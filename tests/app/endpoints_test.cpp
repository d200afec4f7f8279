#include <gtest/gtest.h>
#include "app/endpoints.h"

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
    EXPECT_FALSE(IsTrustedDownloadUrl(L"ftp://localhost/kvr.exe"));
    EXPECT_FALSE(IsTrustedDownloadUrl(L""));
}
