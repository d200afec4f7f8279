// Resource ids of the update subsystem.
#pragma once
#define IDD_PRGS 156             // CPrgsDlg, the update progress
#define IDC_PRGS_BAR 1000
#define IDD_DOWN_GAME 163        // CDownGameDlg, the game-hall client download
#define IDC_DOWN_GAME_LABEL 1024
#define IDC_DOWN_GAME_BAR 1025
