// Clearing the browser and Flash caches, and the browser cache limit.
#pragma once
#include <windows.h>

namespace kvr {

// Sets the browser's cache limit (start-up of every window process):
// "CacheLimit" = 0x100000 under the content cache key. Non-zero when the value
// was written and the key closed.
BOOL SetCacheLimit();

// Thread entry of the clearing: Flash shared objects, then the browser cache;
// the result of the browser cache step.
DWORD WINAPI ClearCachesThread(LPVOID);

// The menu's "清除缓存": starts the clearing (`clearing` on a thread of its
// own) and returns at once, without waiting for it (the caller shows its
// message immediately).
void ClearCache(LPTHREAD_START_ROUTINE clearing = ClearCachesThread);

// Removes the user's Flash Player shared objects folder; non-zero when it was
// removed completely.
BOOL DeleteFlashSharedObjects();
// Deletes every browser cache entry except cookies, then the cache folder;
// non-zero when the folder was removed completely, 0 also without a folder.
BOOL DeleteBrowserCache();
// Deletes a folder with everything in it, going on past failures. Non-zero
// when every file and the folder itself were removed; else 0 with the last
// remembered error set as the last error. Paths of 260 characters or more
// fail.
BOOL DeleteFolderTree(const wchar_t* folder);

}  // namespace kvr
