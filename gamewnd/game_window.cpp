#include "gamewnd/game_window.h"

#include <utility>
#include "base/process.h"
#include "base/window_handoff.h"
#include "gamewnd/game_commands.h"
#include "gamewnd/pathwick3_dlg.h"

namespace kvr {

FirstPage StartFirstPage(const std::wstring& program) {
    WindowHandoff handoff = CreateWindowHandoff();
    HANDLE process = nullptr;
    if (!handoff.readEnd || !StartProcessWithHandle(FirstPageCommandLine(program, handoff.readEnd.get()),
                                                    IDLE_PRIORITY_CLASS, handoff.readEnd.get(), &process))
        return {};
    // The player started this process, which may therefore bring a window to
    // the foreground; its login window is the page's, shown before this
    // process has any window: the right passes on to it.
    ::AllowSetForegroundWindow(::GetProcessId(process));
    return {OwnedHandle(process), std::move(handoff.writeEnd)};
}

void RunGameWindow(FirstPage firstPage) {
    CPathwick3Dlg dialog;
    dialog.SetFirstPage(std::move(firstPage));
    dialog.DoModal(nullptr);
}

}  // namespace kvr
