// The pages of the QQ/Weibo login that the page dialog recognises: the
// external-login server's callback and binding pages, and the QQ
// authorisation page. A page is recognised only when the URL begins with it.
#pragma once

namespace kvr {

// One of the six callback and binding pages of the external-login server.
bool IsExternalLoginResultPage(const wchar_t* url);
// The QQ OAuth authorisation page.
bool IsQQAuthorizePage(const wchar_t* url);

}  // namespace kvr
