// Resource ids. Each subsystem keeps its ids in its own header here so the
// numbers stay next to the templates that use them.
#pragma once
#define IDR_MAINFRAME 128  // application icon, also the page frame's resource id
#define IDI_KVR_SMALL 155

#include "ids_ui.h"
#include "ids_settings.h"
#include "ids_install.h"
#include "ids_update.h"
#include "ids_gamewnd.h"
#include "ids_browser.h"
#include "ids_login.h"
