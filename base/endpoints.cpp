#include "base/endpoints.h"

#include <windows.h>
#include <shlwapi.h>
#include <cwctype>
#include "base/url_parts.h"
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
        const std::wstring n = Lower(name);
        if (n.empty()) continue;
        if (host == n) return true;
        if (host.size() > n.size() + 1 && host.compare(host.size() - n.size(), n.size(), n) == 0 &&
            host[host.size() - n.size() - 1] == L'.')
            return true;
    }
    return false;
}

}  // namespace

std::wstring UrlHost(const wchar_t* url) {
    UrlParts parts;
    return SplitUrl(url, &parts) ? Lower(parts.host) : std::wstring();
}

bool IsTrustedDownloadUrl(const wchar_t* url) { return InTrustedDomain(UrlHost(url)); }

std::wstring PageUrlHost(const wchar_t* url) {
    UrlParts parts;
    return SplitPageUrl(url, &parts) ? Lower(parts.host) : std::wstring();
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
