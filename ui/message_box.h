// The program's message box: every message the player must act on goes
// through here, in the program's skin.
#pragma once
#include <windows.h>

namespace kvr {

enum MessageBoxKind : int {
    kMbOk = 0,        // one OK button
    kMbOkCancel = 1,  // OK and Cancel
    kMbYesNo = 4,     // Yes and No
};

inline constexpr wchar_t kMessageTitle[] = L"MarvoleKelvara";

// Shows the box modally; returns IDOK (1), IDCANCEL (2), IDYES (6) or IDNO (7).
// Closing the box (WM_CLOSE) answers IDCANCEL.
int ShowMessageBox(int kind, const wchar_t* title, const wchar_t* text, HWND owner = nullptr);

}  // namespace kvr
