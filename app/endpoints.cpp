#include "app/endpoints.h"

#include <windows.h>
#include <shlwapi.h>
#include <cwctype>
#include "endpoints_config.h"

namespace kvr {

const wchar_t* ServerHost(Server server) {
    switch (server) {
    case Server::ClientService: return KVR_CFG_CLIENT_SERVICE;
    case Server::Portal: return KVR_CFG_PORTAL;
    case Server::PlayTime: return KVR_CFG_PLAYTIME;
    case Server::ExtLogin: return KVR_CFG_EXTLOGIN;
    case Server::QQAuth: return KVR_CFG_QQ_AUTH;
    }
    return L"";
}

std::wstring ServerUrl(Server server, const std::wstring& pathAndQuery) {
    return std::wstring(L"http://") + ServerHost(server) + pathAndQuery;
}

const wchar_t* ProbeUrl() { return KVR_CFG_PROBE_URL; }
const wchar_t* PortalHomeUrl() { return KVR_CFG_PORTAL_HOME; }
const wchar_t* PortalRootUrl() { return KVR_CFG_PORTAL_ROOT; }
const wchar_t* FlashDownloadUrl() { return KVR_CFG_FLASH_DOWNLOAD_URL; }

std::wstring VersionedPath(const wchar_t* pathAndTag) {
    return std::wstring(pathAndTag) + L"&ver=" + ProgramVersion();
}

bool BeginsWithServerPage(const wchar_t* url, Server server, const wchar_t* path) {
    if (!url || !path) return false;
    const std::wstring u(url);
    for (const wchar_t* scheme : {L"http://", L"https://"}) {
        const std::wstring page = std::wstring(scheme) + ServerHost(server) + path;
        if (u.compare(0, page.size(), page) == 0) return true;
    }
    return false;
}

std::wstring GameHallConfigPath(const std::wstring& clientName) {
    return L"/update/Config" + clientName + L".htm";
}

std::wstring UrlHost(const wchar_t* url) {
    // _wcsnicmp stops at the terminator; StrCmpNIW compares all 7 characters
    // and reads past the end of a shorter text.
    if (!url || _wcsnicmp(url, L"http://", 7) != 0) return {};
    const wchar_t* p = url + 7;
    size_t end = 0;
    while (p[end] && p[end] != L'/' && p[end] != L'?' && p[end] != L'#' && p[end] != L'\\') ++end;
    std::wstring authority(p, end);
    size_t at = authority.rfind(L'@');
    if (at != std::wstring::npos) authority.erase(0, at + 1);
    size_t colon = authority.find(L':');
    if (colon != std::wstring::npos) authority.erase(colon);
    for (auto& c : authority) c = static_cast<wchar_t>(std::towlower(c));
    return authority;
}

namespace {

std::wstring Lower(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// A trusted domain itself or a host below it.
bool InTrustedDomain(const std::wstring& host) {
    if (host.empty()) return false;
    static const wchar_t* const trusted[] = KVR_CFG_TRUSTED_DOMAINS;
    for (const wchar_t* name : trusted) {
        std::wstring n(name);
        for (auto& c : n) c = static_cast<wchar_t>(std::towlower(c));
        if (n.empty()) continue;
        if (host == n) return true;
        if (host.size() > n.size() + 1 && host.compare(host.size() - n.size(), n.size(), n) == 0 &&
            host[host.size() - n.size() - 1] == L'.')
            return true;
    }
    return false;
}

}  // namespace

bool IsTrustedDownloadUrl(const wchar_t* url) { return InTrustedDomain(UrlHost(url)); }

std::wstring PageUrlHost(const wchar_t* url) {
    if (!url) return {};
    size_t start = 0;
    if (_wcsnicmp(url, L"http://", 7) == 0)
        start = 7;
    else if (_wcsnicmp(url, L"https://", 8) == 0)
        start = 8;
    else
        return {};
    const std::wstring u(url);
    const size_t end = u.find_first_of(L"/?#\\", start);
    const std::wstring authority = u.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    const size_t colon = authority.find(L':');
    const std::wstring host = Lower(authority.substr(0, colon));
    if (colon != std::wstring::npos) {
        const std::wstring port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of(L"0123456789") != std::wstring::npos) return {};
    }
    if (host.empty() || host.find_first_not_of(L"abcdefghijklmnopqrstuvwxyz0123456789.-") != std::wstring::npos)
        return {};
    return host;
}

bool IsTrustedPageUrl(const wchar_t* url) {
    const std::wstring host = PageUrlHost(url);
    if (host.empty()) return false;
    for (Server server : {Server::ClientService, Server::Portal, Server::PlayTime, Server::ExtLogin}) {
        const std::wstring own = Lower(ServerHost(server));
        if (host == own.substr(0, own.find(L':'))) return true;
    }
    return InTrustedDomain(host);
}

}  // namespace kvr
