// Resource ids of the ui subsystem.
#pragma once

#define IDD_MESSAGE_BOX 130

// Skin images (type "PNG").
#define IDB_SPLASH 129           // 890 x 528 picture with alpha
#define IDB_DLG_BG 131           // 30 x 51 background of the small dialogs
#define IDB_CLOSE 132            // 132 x 28 close button, 4 frames
#define IDB_BUTTON 133           // 228 x 23 push button, 4 frames
#define IDB_MAIN_BG 134          // 30 x 51 background of the game window
#define IDB_MAXIMIZE 135         // 108 x 28 caption buttons, 4 frames each
#define IDB_MINIMIZE 136
#define IDB_RESTORE 137
#define IDB_TOOL_HIDE 138        // 108 x 27 tool button, 4 frames
#define IDB_TOOL_MENU 139        // 176 x 28 tool button, 4 frames
#define IDB_TABS 140             // 567 x 22 tabs: normal, hover, active
#define IDB_TAB_CLOSE 141        // 39 x 13 tab close boxes, 3 frames
#define IDB_LINK_PICTURE 142     // 14 x 16 picture of the add-account link
#define IDB_TOOL_MUTED 148       // 108 x 27 tool button, 4 frames
#define IDB_TOOL_SOUND 149       // 108 x 27 tool button, 4 frames
#define IDB_TOOL_HALL 150        // 316 x 28 tool button, 4 frames
#define IDB_TOOL_HALL_SHOWN 151  // 316 x 28 tool button, 4 frames
#define IDB_PROGRESS_BG 152      // 390 x 21 empty progress bar
#define IDB_PROGRESS_FILL 153    // 390 x 21 full progress bar
#define IDB_ADD_ACCOUNT_BG 162   // 284 x 150 background of the add-account dialog

// Message box buttons.
#define IDC_MSGBOX_FIRST 5000
#define IDC_MSGBOX_SECOND 5001
