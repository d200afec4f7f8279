// Resource ids of the login subsystem.
#pragma once
// The borderless dialog of the login background, the login page, the QQ and
// Weibo frame and its page (each sizes itself).
#define IDD_LOGIN_PAGE 157
