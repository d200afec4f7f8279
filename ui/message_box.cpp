#include "ui/message_box.h"

namespace kvr {

// Temporary until the skinned message box lands.
int ShowMessageBox(int kind, const wchar_t* title, const wchar_t* text, HWND owner) {
    UINT type = kind == kMbYesNo ? MB_YESNO : kind == kMbOkCancel ? MB_OKCANCEL : MB_OK;
    return ::MessageBoxW(owner, text, title, type);
}

}  // namespace kvr
