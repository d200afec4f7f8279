// Clearing the browser and Flash caches, and the browser cache limit.
#pragma once

namespace kvr {

// Sets the browser's cache limit (start-up of every window process).
void SetCacheLimit();

}  // namespace kvr
