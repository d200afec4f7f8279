#include "login/login.h"

#include <utility>
#include "login/login_bk_dlg.h"

namespace kvr {

std::optional<std::wstring> RunLogin(HWND gameWindow, int pageCount, std::unique_ptr<LoginPicture> picture) {
    CLoginBkDlg dialog(gameWindow, pageCount, std::move(picture));
    if (dialog.DoModal(gameWindow) != IDOK) return std::nullopt;
    return dialog.GameUrl();
}

}  // namespace kvr
