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

bool IsTrustedDownloadUrl(const wchar_t* url) {
    const std::wstring host = UrlHost(url);
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

}  // namespace kvr
