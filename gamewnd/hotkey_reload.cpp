// Kept apart from the matching rules: only this needs the settings readers.
#include "gamewnd/hotkey_dispatch.h"

namespace kvr {

void ReloadHotkeys() {
    GameHotkeys keys;
    keys.boss = ReadBossKey();
    keys.switchKey = ReadSwitchKey();
    keys.sound = ReadSoundKey();
    SetCurrentHotkeys(keys);
}

}  // namespace kvr
