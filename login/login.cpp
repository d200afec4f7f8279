#include "login/login.h"

#include <cwchar>
#include <iterator>
#include "app/pathwick3_app.h"
#include "login/login_bk_dlg.h"

namespace kvr {

namespace {
wchar_t g_gameUrl[512] = L"";
}

INT_PTR RunLogin(HWND gameWindow) {
    CLoginBkDlg dialog(gameWindow, App().PageCount());
    return dialog.DoModal(gameWindow);
}

const wchar_t* LoginGameUrl() { return g_gameUrl; }

void SetLoginGameUrl(const wchar_t* url) {
    ::lstrcpynW(g_gameUrl, url ? url : L"", static_cast<int>(std::size(g_gameUrl)));
}

}  // namespace kvr
