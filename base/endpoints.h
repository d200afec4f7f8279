// The portal's servers: every address the program talks to, in one place.
// Hosts are build-time configuration (CMake cache variables KVR_*); paths and
// queries are the portal's own and fixed.
#pragma once
#include <string>

namespace kvr {

// The program version ("3.0.0.3"): sent in every report and the last part of
// the version key. Set by the build (CMake KVR_VERSION, base/version.cpp).
const wchar_t* ProgramVersion();

enum class Server { ClientService, Portal, PlayTime, ExtLogin, QQAuth };

// host[:port] of a server.
const wchar_t* ServerHost(Server server);

// "http://" + host + pathAndQuery (pathAndQuery starts with "/").
std::wstring ServerUrl(Server server, const std::wstring& pathAndQuery);

const wchar_t* ProbeUrl();          // connectivity probe
const wchar_t* PortalHomeUrl();     // opened by the portal shortcut
const wchar_t* PortalRootUrl();     // opened from the game window
const wchar_t* FlashDownloadUrl();  // the Flash Player download page

// Paths of the client-service and portal servers. The report paths end in
// their tag; VersionedPath adds "&ver=" and the program version.
namespace paths {
inline constexpr wchar_t kInstall[] = L"/install.htm?tag=kvr";
inline constexpr wchar_t kActiveGame[] = L"/active.htm?tag=kvr";
inline constexpr wchar_t kActivePortal[] = L"/active.htm?tag=webMarvole";
inline constexpr wchar_t kUninstall[] = L"/uninstall.htm?tag=kvr";
inline constexpr wchar_t kLoginRecord[] = L"/login.htm?tag=kvr";  // + version, "&uid=", "&index="
// The update page of this build: the 32-bit program reads the page installed
// clients have always read, the 64-bit one a page of its own, so that neither
// is offered the other's build.
#ifdef _WIN64
inline constexpr wchar_t kUpdateConfig[] = L"/update/ConfigKvr64.htm";
#else
inline constexpr wchar_t kUpdateConfig[] = L"/update/ConfigKvr.htm";
#endif
inline constexpr wchar_t kGameHall[] = L"/webgame.htm";
inline constexpr wchar_t kLoginPage[] = L"/zt/client/v2/index.html?cid=4224";
inline constexpr wchar_t kPlayTime[] = L"/d.php?a=web.online&game=k&server=S%s&length=%ld&cid=4224";
inline constexpr wchar_t kQQRedirect[] = L"/qzone/redirectToAuthorize.do?";
inline constexpr wchar_t kWeiboRedirect[] = L"/weibo/redirectToAuthorize.do?";
inline constexpr wchar_t kQQAuthorize[] = L"/oauth2.0/authorize";
}  // namespace paths

// A report path with the program version: kInstall -> "/install.htm?tag=kvr&ver=3.0.0.3".
std::wstring VersionedPath(const wchar_t* pathAndTag);

// url begins with "http://" or "https://", the server's host and path.
bool BeginsWithServerPage(const wchar_t* url, Server server, const wchar_t* path);

// The game-hall client configuration page: "/update/Config" + name + ".htm".
std::wstring GameHallConfigPath(const std::wstring& clientName);

// Downloads are taken only from the three trusted domains: the URL is one
// SplitUrl accepts and its host (case ignored) equals a trusted name or ends
// with "." + name.
bool IsTrustedDownloadUrl(const wchar_t* url);

// A page the program takes commands from and whose game address it opens:
// http:// or https:// on one of the portal's own hosts (client-service,
// portal, play-time record, external login) or on a trusted domain.
bool IsTrustedPageUrl(const wchar_t* url);

// The host SplitPageUrl reads from an http:// or https:// address,
// lower-cased and without port; empty when it refuses the address (user info
// "@", a port that is not all digits, a host of other characters than
// letters, digits, "." and "-").
std::wstring PageUrlHost(const wchar_t* url);

// The host SplitUrl reads from url, lower-cased, without port; empty when
// SplitUrl refuses the URL.
std::wstring UrlHost(const wchar_t* url);

}  // namespace kvr
