#include "login/login.h"

#include <cwchar>
#include <iterator>
#include "login/login_bk_dlg.h"

namespace kvr {

namespace {
wchar_t g_gameUrl[512] = L"";
}

INT_PTR RunLogin(HWND gameWindow, int pageCount) {
    CLoginBkDlg dialog(gameWindow, pageCount);
    return dialog.DoModal(gameWindow);
}

const wchar_t* LoginGameUrl() { return g_gameUrl; }

void SetLoginGameUrl(const wchar_t* url) {
    ::lstrcpynW(g_gameUrl, url ? url : L"", static_cast<int>(std::size(g_gameUrl)));
}

}  // namespace kvr
