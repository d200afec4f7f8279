#include "login/login.h"

#include "login/login_bk_dlg.h"

namespace kvr {

std::optional<std::wstring> RunLogin(HWND gameWindow, int pageCount) {
    CLoginBkDlg dialog(gameWindow, pageCount);
    if (dialog.DoModal(gameWindow) != IDOK) return std::nullopt;
    return dialog.GameUrl();
}

}  // namespace kvr
