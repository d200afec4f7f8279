#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>
#include <atomic>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>
#include "base/endpoints.h"
#include "base/http_fetch.h"
#include "tests/support/portal_client.h"

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
    ASSERT_TRUE(SplitUrl(L"http://host:8080/a/b.htm", &p));
    EXPECT_STREQ(p.host, L"host");
    EXPECT_EQ(p.port, 8080);
    EXPECT_STREQ(p.object, L"a/b.htm");
    ASSERT_TRUE(SplitUrl(L"HTTP://Example.com", &p));
    EXPECT_STREQ(p.host, L"Example.com");
    EXPECT_EQ(p.port, 80);
    EXPECT_STREQ(p.object, L"");
    ASSERT_TRUE(SplitUrl(L"http://h/?q=1:2/3@x", &p));
    EXPECT_STREQ(p.object, L"?q=1:2/3@x");
    // Every use insists on the scheme.
    EXPECT_FALSE(SplitUrl(L"ftp://host/x", &p));
    EXPECT_FALSE(SplitUrl(L"http:/", &p));
    EXPECT_FALSE(SplitUrl(L"abcdefghost/x", &p));
    EXPECT_FALSE(SplitUrl(nullptr, &p));
}

TEST(SplitUrl, OverlongOrBrokenPartsAreRefusedNotCut) {
    UrlParts p;
    std::wstring longHost = L"http://" + std::wstring(259, L'h') + L"/x";
    EXPECT_TRUE(SplitUrl(longHost.c_str(), &p));
    EXPECT_EQ(wcslen(p.host), 259u);
    longHost = L"http://" + std::wstring(260, L'h') + L"/x";
    EXPECT_FALSE(SplitUrl(longHost.c_str(), &p));
    std::wstring longObject = L"http://h/" + std::wstring(511, L'o');
    EXPECT_TRUE(SplitUrl(longObject.c_str(), &p));
    longObject = L"http://h/" + std::wstring(512, L'o');
    EXPECT_FALSE(SplitUrl(longObject.c_str(), &p));
    EXPECT_FALSE(SplitUrl(L"http://h:0/x", &p));
    EXPECT_FALSE(SplitUrl(L"http://h:70000/x", &p));
    EXPECT_FALSE(SplitUrl(L"http://:80/x", &p));
    EXPECT_FALSE(SplitUrl(L"http:///x", &p));
}

TEST(SplitUrl, WhatReadersCouldReadDifferentlyIsRefused) {
    UrlParts p;
    // User info: the old test trusted the name after "@", the connection went
    // to the one before it.
    for (const wchar_t* url : {L"http://a.example:80@127.0.0.1/x.exe", L"http://127.0.0.1@a.example/x.exe",
                               L"http://@127.0.0.1/x", L"http://a.example:80@127.0.0.1"}) {
        EXPECT_FALSE(SplitUrl(url, &p)) << url;
    }
    // Ports that are not just digits, or too many of them.
    for (const wchar_t* url : {L"http://h:80x/x", L"http://h:+80/x", L"http://h: 80/x", L"http://h:-1/x",
                               L"http://h:/x", L"http://h:000080/x", L"http://h:0x50/x"}) {
        EXPECT_FALSE(SplitUrl(url, &p)) << url;
    }
    // Anything else between host and path, odd host names, and objects that
    // would change the request line.
    for (const wchar_t* url : {L"http://h?x=/y", L"http://h#/x", L"http://h\\@e/x", L"http://h%2e/x",
                               L"http://[::1]/x", L"http://h..e/x", L"http://.h/x", L"http://h./x",
                               L"http://h\\x/y", L"http://h/a b", L"http://h/a\r\nHost: e", L"http://h/\x7f",
                               L"http://h/\u00e9", L"http://\u00e9.example/x"}) {
        EXPECT_FALSE(SplitUrl(url, &p)) << url;
    }
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
    // A redirect never takes the player's uid to another host, and no
    // cookie of the server goes with a report. (A session cookie: one that
    // expires later would stay in the prefix for the login tests to find.)
    ASSERT_TRUE(::InternetSetCookieW(Cs(L"/").c_str(), nullptr, L"Pauth=secret"));
    ASSERT_TRUE(PortalRedirect("/login.htm", OtherHostUrl("/login.htm")));
    EXPECT_EQ(ReportRequest(Cs(L"/login.htm?uid=player").c_str()), 1);
    EXPECT_TRUE(RequestsOf(PortalLog(), "other").empty());
    EXPECT_EQ(FindRequests(PortalLog(), "/login.htm").at(0).Header("Cookie"), "");
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
    // An error page of the whole announced length is not the file either.
    for (const char* status : {"500", "403", "204", "206"}) {
        ASSERT_TRUE(PortalFault("/dl/file.bin", status));
        EXPECT_FALSE(Download(Cs(L"/dl/file.bin").c_str(), target_.c_str())) << status;
        EXPECT_FALSE(::PathFileExistsW(target_.c_str())) << status;
    }
    EXPECT_EQ(FindRequests(PortalLog(), "/dl/file.bin").size(), 6u);
}

TEST_F(HttpFetch, RedirectsLeadOnlyToTrustedHostsAndAtMostThreeTimes) {
    ASSERT_TRUE(PortalServePattern("/dl/file.bin", 3000));
    const std::string cs = Utf8(ServerHost(Server::ClientService));  // 127.0.0.1:<port>
    const std::string port = cs.substr(cs.rfind(':') + 1);
    const std::string other = OtherHostUrl("").substr(7);             // 127.0.0.2:<port>
    // A mirror on another trusted name, a path on the same server, and three
    // hops in all: each is asked once, and the file arrives.
    ASSERT_TRUE(PortalRedirect("/r/1", "http://localhost:" + port + "/r/2", 301));
    ASSERT_TRUE(PortalRedirect("/r/2", "/r/3", 307));
    ASSERT_TRUE(PortalRedirect("/r/3", "http://127.0.0.1:" + port + "/dl/file.bin", 302));
    EXPECT_TRUE(Download(Cs(L"/r/1").c_str(), target_.c_str()));
    EXPECT_EQ(ReadAll(target_), PatternBytes(3000));
    for (const char* path : {"/r/1", "/r/2", "/r/3", "/dl/file.bin"})
        EXPECT_EQ(FindRequests(PortalLog(), path).size(), 1u) << path;
    ::DeleteFileW(target_.c_str());

    // A fourth hop is one too many.
    ASSERT_TRUE(PortalRedirect("/r/0", "/r/1", 302));
    EXPECT_FALSE(Download(Cs(L"/r/0").c_str(), target_.c_str()));
    EXPECT_EQ(FindRequests(PortalLog(), "/dl/file.bin").size(), 1u);
    EXPECT_FALSE(::PathFileExistsW(target_.c_str()));

    // Hosts that are not trusted, however they are written, are never asked.
    const std::string evil[] = {"http://" + other + "/dl/file.bin", "http://" + other + "@" + cs + "/dl/file.bin",
                                "//" + other + "/dl/file.bin", "https://localhost:" + port + "/dl/file.bin",
                                "dl/file.bin"};
    for (const std::string& to : evil) {
        ASSERT_TRUE(PortalRedirect("/r/evil", to, 302));
        EXPECT_FALSE(Download(Cs(L"/r/evil").c_str(), target_.c_str())) << to;
        EXPECT_FALSE(::PathFileExistsW(target_.c_str())) << to;
    }
    const std::string direct = OtherHostUrl("/dl/file.bin");
    EXPECT_FALSE(Download(std::wstring(direct.begin(), direct.end()).c_str(), target_.c_str()));
    const auto log = PortalLog();
    EXPECT_TRUE(RequestsOf(log, "other").empty()) << RequestsOf(log, "other").size() << " request(s) reached it";
    EXPECT_EQ(FindRequests(log, "/dl/file.bin").size(), 1u);
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

TEST_F(HttpFetch, SizeAndTimeAreBounded) {
    // A configuration page over its cap fails before its file exists.
    ASSERT_TRUE(PortalServePattern("/dl/big.htm", kPageLimits.maxBytes + 1));
    EXPECT_FALSE(Download(Cs(L"/dl/big.htm").c_str(), target_.c_str(), {}, nullptr, 512, kPageLimits));
    EXPECT_FALSE(::PathFileExistsW(target_.c_str()));
    // A server that trickles one byte a second holds a fetch only until its
    // deadline (here 2 s), not for the 600 s it would take.
    ASSERT_TRUE(PortalServePattern("/dl/slow.htm", 600));
    ASSERT_TRUE(PortalFault("/dl/slow.htm", "trickle", 1000, 1));
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(Download(Cs(L"/dl/slow.htm").c_str(), target_.c_str(), {}, nullptr, 512, FetchLimits{1000, 2000}));
    EXPECT_LT(::GetTickCount64() - start, 20000u);
}

TEST_F(HttpFetch, UnwritableTargetFails) {
    ASSERT_TRUE(PortalServePattern("/dl/file.bin", 100));
    const std::wstring bad = TempFile(L"no_such_folder_kvr\\x.bin");
    EXPECT_FALSE(Download(Cs(L"/dl/file.bin").c_str(), bad.c_str()));
}
