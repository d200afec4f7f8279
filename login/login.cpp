#include "login/login.h"

namespace kvr {

// Still missing: the login window.
INT_PTR RunLogin(HWND) { return IDCANCEL; }

}  // namespace kvr
