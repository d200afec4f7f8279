// The player's own files with the player's own rights. The program runs
// elevated, but the player's settings and folders (the shell folders under
// HKEY_CURRENT_USER, application data, favourites) are the player's to
// change, also by any of the player's unelevated programs: a junction or
// link at any level of such a path, or a shell-folder value pointed at a
// system folder, would send the program's deletions and writes wherever it
// points. So that work runs impersonating the player's unelevated token
// where there is one, and on paths held open at every level.
#pragma once
#include <windows.h>
#include <functional>
#include <vector>
#include "base/owned.h"

namespace kvr {

// The player's unelevated token, ready for impersonation: the linked token
// of the program's elevated one where the system hands it out at
// impersonation level, else the desktop shell's token when it is the same
// user's and not elevated (without the TCB privilege the linked token comes
// at identification level only, with which nothing can be opened). Empty
// where there is none: Windows XP, UAC off, no shell of this user.
OwnedHandle PlayerToken();

// Runs work on this thread impersonating token, back to the program's own
// rights afterwards; without a token, work runs as it is. False, and work
// not run, when the thread could not take the token.
bool RunAsPlayer(HANDLE token, const std::function<void()>& work);

// A local folder path ("C:\...") held open at every level below its drive's
// root: each level a real folder, not a junction or link, held without
// delete sharing so that none can be renamed or swapped for a link while
// this lives; and the final path the system reports for the folder
// (GetFinalPathNameByHandleW, Windows Vista on) is the path asked for. What
// is then opened by name below the folder stays below it.
class CHeldPath {
public:
    explicit CHeldPath(const wchar_t* folder);
    CHeldPath(const CHeldPath&) = delete;
    CHeldPath& operator=(const CHeldPath&) = delete;

    bool Valid() const { return m_valid; }

private:
    bool m_valid = false;
    std::vector<OwnedFile> m_levels;
};

}  // namespace kvr
