// Resource ids of the gamewnd subsystem.
#pragma once

// The game window.
#define IDD_GAME_WINDOW 102
#define IDC_GW_HIDE 1001          // hide/restore
#define IDC_GW_SOUND 1002         // sound on/off
#define IDC_GW_MENU 1003          // the window menu
#define IDC_GW_HALL 1004          // the game hall
#define IDC_GW_OTHER_ACCOUNT 1005 // link "登录其他账号"

// The add-account choice.
#define IDD_ADD_ACCOUNT 161
#define IDC_ADDACC_QUESTION 1023
