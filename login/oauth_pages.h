// The pages of the QQ/Weibo login that the page dialog recognises: the
// external-login server's callback and binding pages, and the QQ
// authorisation page. A page is recognised only when the URL begins with it.
// And the login cookie those pages leave.
#pragma once
#include <string>

namespace kvr {

// One of the six callback and binding pages of the external-login server.
bool IsExternalLoginResultPage(const wchar_t* url);
// The QQ OAuth authorisation page.
bool IsQQAuthorizePage(const wchar_t* url);

// The "Pauth" login cookie for url, "" when there is none (or it is longer
// than 255 characters). The server may mark it HttpOnly, which only
// InternetGetCookieExW with INTERNET_COOKIE_HTTPONLY reads (Internet Explorer
// 8 and later, looked up at run time); without it (Windows XP with an older
// Internet Explorer) the plain call reads what there is.
std::wstring ReadLoginCookie(const wchar_t* url);

}  // namespace kvr
