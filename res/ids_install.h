// Resource ids of the install subsystem.
#pragma once
#define IDD_FAV 159        // CFavDlg, "添加收藏"
#define IDC_FAV_ICON 1017  // picture: icon 155
#define IDC_FAV_NAME 1018  // the favourite's name
#define IDC_FAV_TEXT 1019
#define IDC_FAV_LABEL 1020
