#include "gamewnd/game_window.h"

#include "gamewnd/pathwick3_dlg.h"

namespace kvr {

void RunGameWindow() {
    CPathwick3Dlg dialog;
    dialog.DoModal(nullptr);
}

}  // namespace kvr
