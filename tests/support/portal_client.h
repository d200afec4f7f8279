// Tests' handle on the stand-in portal (tools/portal/portal.py): configure
// its answers and read what it received. Talks to its /__kvr/ controls on the
// portal role's port of this build (any role's port answers them).
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace kvr::test {

// One request the stand-in received. Texts are as sent (path and query still
// percent-encoded), UTF-8.
struct PortalRequest {
    std::string role;    // "client-service", "portal", "playtime", "extlogin", "qqauth", "other"
    std::string method;  // "GET"
    std::string path;    // "/active.htm"
    std::string query;   // "tag=kvr&ver=3.0.0.3&count=1"
    std::vector<std::pair<std::string, std::string>> headers;
    // Value of a header (name case ignored), "" when absent.
    std::string Header(const std::string& name) const;
};

// GET /__kvr/<control>; true on a 200 answer (its body in *answer).
bool PortalControl(const std::string& control, std::string* answer = nullptr);

bool PortalReset();  // empty log, default answers, every role listening
std::vector<PortalRequest> PortalLog();
// Update configuration page "/update/ConfigKvr.htm": "Kvr" and "UpdAddr".
bool PortalSetUpdateConfig(const std::string& verKey, const std::string& updAddr);
// What an address of the stand-in serves (on every role's port).
bool PortalServePattern(const std::string& path, size_t size);  // PatternBytes(size)
bool PortalServeText(const std::string& path, const std::string& text);
bool PortalServeLinuxFile(const std::string& path, const std::string& linuxPath);
// mode: "404", "nolength", "short" (cut bytes, -1 = half), "slow" and
// "trickle" (delayMs; cut bytes a piece, -1 = 512), another status such as "500" (the body unchanged),
// "none" to clear. delayMs also delays the other modes.
bool PortalFault(const std::string& path, const std::string& mode, int delayMs = 0, long cut = -1);
// Answer path with a redirect (status 301, 302, 303, 307 or 308) to `to`;
// an empty `to` removes it.
bool PortalRedirect(const std::string& path, const std::string& to, int status = 302);
// "http://127.0.0.2:<base+6>" + path: the stand-in's host that is not
// trusted; whatever reaches it is logged with the role "other".
std::string OtherHostUrl(const std::string& path);
// The requests one role received.
std::vector<PortalRequest> RequestsOf(const std::vector<PortalRequest>& log, const std::string& role);
// Close (up = false) or reopen the listener of one role.
bool PortalSetRole(const std::string& role, bool up);

// The bytes PortalServePattern serves: byte i = i % 251.
std::vector<unsigned char> PatternBytes(size_t size);

// Requests with this path whose query contains queryPart ("" = any query).
std::vector<PortalRequest> FindRequests(const std::vector<PortalRequest>& log,
                                        const std::string& path, const std::string& queryPart = "");
// EXPECT_TRUE(PortalReceived("/active.htm", "tag=kvr")): on failure the
// message lists what the stand-in did receive.
::testing::AssertionResult PortalReceived(const std::string& path, const std::string& queryPart = "");

std::string UrlEncode(const std::string& text);
std::string Utf8(const std::wstring& text);

}  // namespace kvr::test
