#include "browser/cache_clear.h"

namespace kvr {

// Still missing: the cache limit value in the registry.
void SetCacheLimit() {}

}  // namespace kvr
