#include "login/login.h"

#include <utility>
#include "login/login_bk_dlg.h"

namespace kvr {

std::optional<std::wstring> RunLogin(HWND* gameWindow, int pageCount, std::unique_ptr<LoginPicture> picture,
                                     OwnedHandle windowPipe) {
    CLoginBkDlg dialog(*gameWindow, pageCount, std::move(picture), std::move(windowPipe));
    const INT_PTR result = dialog.DoModal(*gameWindow);
    *gameWindow = dialog.TakeGameWindow();
    if (result != IDOK) return std::nullopt;
    return dialog.GameUrl();
}

}  // namespace kvr
