// Clearing the browser and Flash caches, and the browser cache limit.
#pragma once
#include <windows.h>

namespace kvr {

// Sets the browser's cache limit (start-up of every window process):
// "CacheLimit" = 0x100000 under the content cache key. Non-zero when the value
// was written and the key closed.
BOOL SetCacheLimit();

// Thread entry of the clearing: ClearCachesAs with the player's unelevated
// token (PlayerToken).
DWORD WINAPI ClearCachesThread(LPVOID);

// Flash shared objects, then the browser cache, impersonating playerToken
// (none: with the program's own rights), so that the deletion reaches only
// what the player could delete anyway; the result of the browser cache step.
// FALSE, with nothing deleted, when the thread could not take the token.
BOOL ClearCachesAs(HANDLE playerToken);

// The menu's "清除缓存": starts the clearing (`clearing` on a thread of its
// own) and returns at once, without waiting for it (the caller shows its
// message immediately).
void ClearCache(LPTHREAD_START_ROUTINE clearing = ClearCachesThread);

// Removes the user's Flash Player shared objects folder; non-zero when it was
// removed completely. The player's folders above it are held open at every
// level (CHeldPath): with a junction or link anywhere on the way nothing is
// deleted.
BOOL DeleteFlashSharedObjects();
// Deletes every browser cache entry except cookies, then the cache folder
// (its path held as above); non-zero when the folder was removed completely,
// 0 also without a folder.
BOOL DeleteBrowserCache();
// Deletes a folder with everything in it, going on past failures. Non-zero
// when every file and the folder itself were removed; else 0 with the last
// remembered error set as the last error. Paths of 260 characters or more
// fail.
BOOL DeleteFolderTree(const wchar_t* folder);

}  // namespace kvr
