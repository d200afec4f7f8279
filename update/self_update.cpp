#include "update/self_update.h"

namespace kvr {

// Still missing: the configuration page, the version key, the download and the swap.
bool CheckUpdate(bool) { return false; }
bool InstallUpdate() { return false; }

}  // namespace kvr
