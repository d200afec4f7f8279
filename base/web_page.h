// Opening a web page for the player. The program runs elevated, and a browser
// it started itself would run elevated too, with everything a page can make
// of that. The desktop shell, which runs as the player, opens the page
// instead: the shell window's own ShellExecute (IShellDispatch2), handed the
// address itself, never the name of a browser to be searched for in the
// current directory or on the player's PATH.
#pragma once
#include <windows.h>

namespace kvr {

// An address the shell may be given: http:// or https:// with a host
// SplitPageUrl accepts, in printable ASCII without blanks or quotes (which
// would end the argument in the browser's command line).
bool IsOpenableWebPage(const wchar_t* url);

// Opens url in the player's browser, shown as show (SW_*). Without the
// desktop shell's object (no explorer runs, or an XP setup without
// IShellDispatch2) the program opens it itself, but only where its rights are
// the player's own (no split administrator's token): elsewhere nothing opens.
// False when url is refused or nothing could be opened.
bool OpenWebPage(const wchar_t* url, int show = SW_SHOWNORMAL);

}  // namespace kvr
