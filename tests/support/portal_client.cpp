#include "tests/support/portal_client.h"

#include <windows.h>
#include <wininet.h>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include "base/endpoints.h"

namespace kvr::test {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                  nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr,
                          nullptr);
    return out;
}

std::string UrlEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string PortalRequest::Header(const std::string& name) const {
    for (const auto& h : headers)
        if (::lstrcmpiA(h.first.c_str(), name.c_str()) == 0) return h.second;
    return {};
}

bool PortalControl(const std::string& control, std::string* answer) {
    const std::wstring url = ServerUrl(Server::Portal, L"/__kvr/") +
                             std::wstring(control.begin(), control.end());  // ASCII: encoded
    HINTERNET session = ::InternetOpenW(L"kvr-tests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!session) return false;
    bool ok = false;
    HINTERNET request = ::InternetOpenUrlW(
        session, url.c_str(), nullptr, 0,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 0);
    if (request) {
        DWORD status = 0, size = sizeof status;
        ::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                         nullptr);
        std::string body;
        char buf[4096];
        DWORD got = 0;
        while (::InternetReadFile(request, buf, sizeof buf, &got) && got) body.append(buf, got);
        ok = status == 200;
        if (answer) *answer = body;
        ::InternetCloseHandle(request);
    }
    ::InternetCloseHandle(session);
    return ok;
}

bool PortalReset() { return PortalControl("reset"); }

std::vector<PortalRequest> PortalLog() {
    std::vector<PortalRequest> log;
    std::string text;
    if (!PortalControl("log?format=tsv", &text)) return log;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        std::vector<std::string> fields;
        size_t start = 0;
        for (;;) {
            size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (fields.size() < 4) continue;
        PortalRequest r{fields[0], fields[1], fields[2], fields[3], {}};
        for (size_t i = 4; i < fields.size(); ++i) {
            size_t colon = fields[i].find(": ");
            if (colon == std::string::npos) continue;
            r.headers.emplace_back(fields[i].substr(0, colon), fields[i].substr(colon + 2));
        }
        log.push_back(std::move(r));
    }
    return log;
}

bool PortalSetUpdateConfig(const std::string& verKey, const std::string& updAddr) {
    return PortalControl("config?verkey=" + UrlEncode(verKey) + "&updaddr=" + UrlEncode(updAddr));
}

bool PortalServePattern(const std::string& path, size_t size) {
    return PortalControl("file?path=" + UrlEncode(path) + "&size=" + std::to_string(size));
}

bool PortalServeText(const std::string& path, const std::string& text) {
    return PortalControl("file?path=" + UrlEncode(path) + "&text=" + UrlEncode(text));
}

bool PortalServeLinuxFile(const std::string& path, const std::string& linuxPath) {
    return PortalControl("file?path=" + UrlEncode(path) + "&source=" + UrlEncode(linuxPath));
}

bool PortalFault(const std::string& path, const std::string& mode, int delayMs, long cut) {
    std::string control = "fault?path=" + UrlEncode(path) + "&mode=" + UrlEncode(mode) +
                          "&delay=" + std::to_string(delayMs);
    if (cut >= 0) control += "&cut=" + std::to_string(cut);
    return PortalControl(control);
}

bool PortalRedirect(const std::string& path, const std::string& to, int status) {
    return PortalControl("redirect?path=" + UrlEncode(path) + "&to=" + UrlEncode(to) +
                         "&status=" + std::to_string(status));
}

std::string OtherHostUrl(const std::string& path) {
    // The client-service host's port is base+1; the other host listens on base+6.
    const std::string cs = Utf8(ServerHost(Server::ClientService));
    const size_t colon = cs.rfind(':');
    const int port = colon == std::string::npos ? 80 : std::atoi(cs.c_str() + colon + 1);
    return "http://127.0.0.2:" + std::to_string(port + 5) + path;
}

std::vector<PortalRequest> RequestsOf(const std::vector<PortalRequest>& log, const std::string& role) {
    std::vector<PortalRequest> found;
    for (const auto& r : log)
        if (r.role == role) found.push_back(r);
    return found;
}

bool PortalSetRole(const std::string& role, bool up) {
    return PortalControl("role?name=" + UrlEncode(role) + "&up=" + (up ? "1" : "0"));
}

std::vector<unsigned char> PatternBytes(size_t size) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i % 251);
    return bytes;
}

std::vector<PortalRequest> FindRequests(const std::vector<PortalRequest>& log, const std::string& path,
                                        const std::string& queryPart) {
    std::vector<PortalRequest> found;
    for (const auto& r : log)
        if (r.path == path && r.query.find(queryPart) != std::string::npos) found.push_back(r);
    return found;
}

::testing::AssertionResult PortalReceived(const std::string& path, const std::string& queryPart) {
    const auto log = PortalLog();
    if (!FindRequests(log, path, queryPart).empty()) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure();
    failure << "no request " << path << " with query containing \"" << queryPart
            << "\"; the stand-in received " << log.size() << ":";
    for (const auto& r : log) failure << "\n  " << r.role << " " << r.method << " " << r.path << "?" << r.query;
    return failure;
}

}  // namespace kvr::test
