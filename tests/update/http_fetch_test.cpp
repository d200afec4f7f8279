#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>
#include <atomic>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>
#include "app/endpoints.h"
#include "tests/support/portal_client.h"
#include "update/http_fetch.h"

using namespace kvr;
using namespace kvr::test;

namespace {

std::wstring Cs(const std::wstring& path) { return ServerUrl(Server::ClientService, path); }

std::wstring TempFile(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

std::vector<unsigned char> ReadAll(const std::wstring& path) {
    std::ifstream f(path.c_str(), std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), {});
}

class HttpFetch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PortalReset()) << "stand-in portal not reachable";
        target_ = TempFile(L"kvr_http_fetch_test.bin");
        ::DeleteFileW(target_.c_str());
    }
    void TearDown() override {
        ::DeleteFileW(target_.c_str());
        PortalReset();
    }
    std::wstring target_;
};

}  // namespace

TEST(SplitUrl, HostPortAndObject) {
    UrlParts p;
    ASSERT_TRUE(SplitUrl(L"http://host:8080/a/b.htm", true, &p));
    EXPECT_STREQ(p.host, L"host");
    EXPECT_EQ(p.port, 8080);
    EXPECT_STREQ(p.object, L"a/b.htm");
    ASSERT_TRUE(SplitUrl(L"HTTP://Example.com", true, &p));
    EXPECT_STREQ(p.host, L"Example.com");
    EXPECT_EQ(p.port, 80);
    EXPECT_STREQ(p.object, L"");
    ASSERT_TRUE(SplitUrl(L"http://h/?q=1:2/3", true, &p));
    EXPECT_STREQ(p.object, L"?q=1:2/3");
    // Reports insist on the scheme; downloads skip seven characters unseen.
    EXPECT_FALSE(SplitUrl(L"ftp://host/x", true, &p));
    EXPECT_FALSE(SplitUrl(L"http:/", true, &p));
    ASSERT_TRUE(SplitUrl(L"abcdefghost/x", false, &p));
    EXPECT_STREQ(p.host, L"host");
    EXPECT_FALSE(SplitUrl(nullptr, false, &p));
}

TEST(SplitUrl, OverlongOrBrokenPartsAreRefusedNotCut) {
    UrlParts p;
    std::wstring longHost = L"http://" + std::wstring(259, L'h') + L"/x";
    EXPECT_TRUE(SplitUrl(longHost.c_str(), true, &p));
    EXPECT_EQ(wcslen(p.host), 259u);
    longHost = L"http://" + std::wstring(260, L'h') + L"/x";
    EXPECT_FALSE(SplitUrl(longHost.c_str(), true, &p));
    std::wstring longObject = L"http://h/" + std::wstring(511, L'o');
    EXPECT_TRUE(SplitUrl(longObject.c_str(), true, &p));
    longObject = L"http://h/" + std::wstring(512, L'o');
    EXPECT_FALSE(SplitUrl(longObject.c_str(), true, &p));
    EXPECT_FALSE(SplitUrl(L"http://h:0/x", true, &p));
    EXPECT_FALSE(SplitUrl(L"http://h:70000/x", true, &p));
    EXPECT_FALSE(SplitUrl(L"http://:80/x", true, &p));
    EXPECT_FALSE(SplitUrl(L"http:///x", true, &p));
}

TEST_F(HttpFetch, ReportSendsTheFixedRequestShape) {
    std::wstring url = Cs(L"/a/b.htm?tag=kvr&ver=3.0.0.3");
    url.replace(0, 7, L"HTTP://");  // scheme in capitals is accepted
    ::SetLastError(123);
    EXPECT_EQ(ReportRequest(url.c_str()), 1);
    EXPECT_EQ(::GetLastError(), 0u);
    const auto found = FindRequests(PortalLog(), "/a/b.htm", "tag=kvr&ver=3.0.0.3");
    ASSERT_EQ(found.size(), 1u);
    const PortalRequest& r = found[0];
    EXPECT_EQ(r.role, "client-service");
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.Header("User-Agent"), "RTW");
    EXPECT_EQ(r.Header("Accept-Language"), "zh-cn");
    EXPECT_EQ(r.Header("Content-Type"), "application/x-www-form-urlencoded");
    // Always from the network, never from a cache.
    EXPECT_EQ(ReportRequest(url.c_str()), 1);
    EXPECT_EQ(FindRequests(PortalLog(), "/a/b.htm").size(), 2u);
}

TEST_F(HttpFetch, ReportToAClosedServerFailsWithTheWinInetError) {
    ASSERT_TRUE(PortalSetRole("client-service", false));
    EXPECT_EQ(ReportRequest(Cs(L"/active.htm").c_str()), 0);
    const DWORD error = ::GetLastError();
    EXPECT_GE(error, static_cast<DWORD>(INTERNET_ERROR_BASE)) << error;
    EXPECT_LE(error, static_cast<DWORD>(INTERNET_ERROR_LAST)) << error;
    // Not an http:// address: nothing is sent.
    ASSERT_TRUE(PortalSetRole("client-service", true));
    std::wstring noScheme = Cs(L"/active.htm");
    noScheme.replace(0, 4, L"ftp");
    EXPECT_EQ(ReportRequest(noScheme.c_str()), 0);
    EXPECT_TRUE(PortalLog().empty());
}

TEST_F(HttpFetch, BackgroundReportSignalsStartedThenDone) {
    ReportEvents events;
    events.started = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    events.done = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);  // left set by an earlier report
    ASSERT_TRUE(PortalFault("/active.htm", "slow", 800));
    const std::wstring url = Cs(L"/active.htm?tag=kvr&ver=3.0.0.3&count=7");
    EXPECT_EQ(ReportInBackground(url.c_str(), events), 1);
    // Back as soon as the worker copied the URL; started is reset for the next one.
    EXPECT_EQ(::WaitForSingleObject(events.started, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(::WaitForSingleObject(events.done, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(::WaitForSingleObject(events.done, 15000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(PortalReceived("/active.htm", "count=7"));
    ::CloseHandle(events.started);
    ::CloseHandle(events.done);
}

TEST_F(HttpFetch, DownloadOfTheExactLengthSucceeds) {
    const size_t size = 5000;  // not a multiple of the 512-byte block
    ASSERT_TRUE(PortalServePattern("/dl/file.bin", size));
    std::vector<int> percents;
    EXPECT_TRUE(Download(Cs(L"/dl/file.bin").c_str(), target_.c_str(),
                         [&](int p) { percents.push_back(p); }));
    EXPECT_EQ(ReadAll(target_), PatternBytes(size));
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    for (size_t i = 1; i < percents.size(); ++i) EXPECT_LE(percents[i - 1], percents[i]);
    const auto found = FindRequests(PortalLog(), "/dl/file.bin");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Header("User-Agent"), "RTW");
    EXPECT_EQ(found[0].Header("Accept-Language"), "zh-cn");
    // The game-hall download reads 1024-byte blocks: same result.
    ::DeleteFileW(target_.c_str());
    EXPECT_TRUE(Download(Cs(L"/dl/file.bin").c_str(), target_.c_str(), {}, nullptr, 1024));
    EXPECT_EQ(ReadAll(target_), PatternBytes(size));
}

TEST_F(HttpFetch, NotFoundAndMissingLengthFailBeforeTheFileExists) {
    EXPECT_FALSE(Download(Cs(L"/dl/absent.bin").c_str(), target_.c_str()));
    EXPECT_FALSE(::PathFileExistsW(target_.c_str()));
    ASSERT_TRUE(PortalServePattern("/dl/file.bin", 2000));
    ASSERT_TRUE(PortalFault("/dl/file.bin", "404"));
    EXPECT_FALSE(Download(Cs(L"/dl/file.bin").c_str(), target_.c_str()));
    EXPECT_FALSE(::PathFileExistsW(target_.c_str()));
    ASSERT_TRUE(PortalFault("/dl/file.bin", "nolength"));
    EXPECT_FALSE(Download(Cs(L"/dl/file.bin").c_str(), target_.c_str()));
    EXPECT_FALSE(::PathFileExistsW(target_.c_str()));
    EXPECT_EQ(FindRequests(PortalLog(), "/dl/file.bin").size(), 2u);
}

TEST_F(HttpFetch, TransferCutShortFailsAndKeepsWhatArrived) {
    ASSERT_TRUE(PortalServePattern("/dl/file.bin", 6000));
    ASSERT_TRUE(PortalFault("/dl/file.bin", "short", 0, 2500));
    EXPECT_FALSE(Download(Cs(L"/dl/file.bin").c_str(), target_.c_str()));
    const auto got = ReadAll(target_);
    EXPECT_EQ(got.size(), 2500u);
    const auto all = PatternBytes(6000);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin()));
}

TEST_F(HttpFetch, CancelFromAnotherThreadEndsTheDownload) {
    ASSERT_TRUE(PortalServePattern("/dl/slow.bin", 512 * 40));
    ASSERT_TRUE(PortalFault("/dl/slow.bin", "trickle", 250));  // ~10 s in all
    DownloadSession session;
    std::atomic<int> calls{0};
    std::thread canceller([&] {
        for (int i = 0; i < 500 && calls == 0; ++i) ::Sleep(10);
        session.Cancel();
    });
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(Download(Cs(L"/dl/slow.bin").c_str(), target_.c_str(), [&](int) { ++calls; }, &session));
    canceller.join();
    EXPECT_GT(calls.load(), 0);
    EXPECT_LT(::GetTickCount64() - start, 6000u);
    EXPECT_TRUE(session.Cancelled());
    // A cancelled session refuses to start again until it is reset.
    EXPECT_FALSE(Download(Cs(L"/dl/slow.bin").c_str(), target_.c_str(), {}, &session));
}

TEST_F(HttpFetch, UnwritableTargetFails) {
    ASSERT_TRUE(PortalServePattern("/dl/file.bin", 100));
    const std::wstring bad = TempFile(L"no_such_folder_kvr\\x.bin");
    EXPECT_FALSE(Download(Cs(L"/dl/file.bin").c_str(), bad.c_str()));
}
