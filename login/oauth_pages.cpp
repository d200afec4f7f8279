#include "login/oauth_pages.h"

#include <string>
#include "app/endpoints.h"
#include "browser/app_command.h"

namespace kvr {

namespace {

// url begins with "http://" (or "https://") + host + path.
bool BeginsWithPage(const std::wstring& url, const wchar_t* host, const wchar_t* path) {
    for (const wchar_t* scheme : {L"http://", L"https://"}) {
        const std::wstring page = std::wstring(scheme) + host + path;
        if (url.compare(0, page.size(), page) == 0) return true;
    }
    return false;
}

}  // namespace

bool IsExternalLoginResultPage(const wchar_t* url) {
    static const wchar_t* const kPages[] = {
        L"/qzone/callback.do?code=", L"/weibo/callback.do?state", L"/qzone/extAutoBind.do",
        L"/weibo/extAutoBind.do",    L"/qzone/extLoginBind.do",   L"/weibo/extLoginBind.do",
    };
    const std::wstring u = SafeText(url);
    for (const wchar_t* path : kPages)
        if (BeginsWithPage(u, ServerHost(Server::ExtLogin), path)) return true;
    return false;
}

bool IsQQAuthorizePage(const wchar_t* url) {
    return BeginsWithPage(SafeText(url), ServerHost(Server::QQAuth), paths::kQQAuthorize);
}

}  // namespace kvr
