#include "login/oauth_pages.h"

#include "base/endpoints.h"

namespace kvr {

bool IsExternalLoginResultPage(const wchar_t* url) {
    static const wchar_t* const kPages[] = {
        L"/qzone/callback.do?code=", L"/weibo/callback.do?state", L"/qzone/extAutoBind.do",
        L"/weibo/extAutoBind.do",    L"/qzone/extLoginBind.do",   L"/weibo/extLoginBind.do",
    };
    for (const wchar_t* path : kPages)
        if (BeginsWithServerPage(url, Server::ExtLogin, path)) return true;
    return false;
}

bool IsQQAuthorizePage(const wchar_t* url) {
    return BeginsWithServerPage(url, Server::QQAuth, paths::kQQAuthorize);
}

}  // namespace kvr
