#include "update/flash_check.h"

namespace kvr {

// Still missing: reading and comparing the installed Flash Player version.
bool FlashPlayerIsCurrent() { return true; }

}  // namespace kvr
