#include "browser/cache_clear.h"

#include <shlobj.h>
#include <wininet.h>
#include <cwchar>
#include <string>
#include <vector>
#include "base/access_list.h"
#include "base/owned.h"
#include "base/player_rights.h"
#include "base/system_library.h"

namespace kvr {

namespace {
// Deletes the player's folder tree with every folder above it held
// (CHeldPath), so that what DeleteFolderTree opens by name below them is
// what the player's own paths name.
BOOL DeletePlayerFolderTree(const wchar_t* folder) {
    const wchar_t* slash = std::wcsrchr(folder, L'\\');
    if (!slash) return FALSE;
    const CHeldPath above(std::wstring(folder, slash).c_str());
    if (!above.Valid()) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return DeleteFolderTree(folder);
}
}  // namespace

BOOL SetCacheLimit() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER,
                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\5.0\\Cache\\Content",
                        0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return FALSE;
    const DWORD limit = 0x100000;
    const bool written = ::RegSetValueExW(key, L"CacheLimit", 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&limit),
                                          sizeof(limit)) == ERROR_SUCCESS;
    const bool closed = ::RegCloseKey(key) == ERROR_SUCCESS;  // by hand: its result counts
    return written && closed;
}

void ClearCache(LPTHREAD_START_ROUTINE clearing) {
    const OwnedHandle thread(::CreateThread(nullptr, 0, clearing, nullptr, 0, nullptr));  // never waited on
}

DWORD WINAPI ClearCachesThread(LPVOID) { return static_cast<DWORD>(ClearCachesAs(PlayerToken().get())); }

BOOL ClearCachesAs(HANDLE playerToken) {
    BOOL result = FALSE;
    RunAsPlayer(playerToken, [&] {
        DeleteFlashSharedObjects();
        result = DeleteBrowserCache();
    });
    return result;
}

BOOL DeleteFlashSharedObjects() {
    wchar_t path[MAX_PATH] = L"";
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_APPDATA, &items)) && items) {
        if (!::SHGetPathFromIDListW(items, path)) path[0] = L'\0';
        ComPtr<IMalloc> shellMalloc;
        if (SUCCEEDED(::SHGetMalloc(&shellMalloc)) && shellMalloc) shellMalloc->Free(items);
    }
    // A path that does not fit fails this step (no truncated folder is removed).
    const wchar_t tail[] = L"\\Macromedia\\Flash Player\\#SharedObjects";
    const size_t used = std::wcslen(path);
    if (used == 0 || used + std::wcslen(tail) >= MAX_PATH) return FALSE;
    ::lstrcpynW(path + used, tail, static_cast<int>(MAX_PATH - used));
    return DeletePlayerFolderTree(path);
}

BOOL DeleteBrowserCache() {
    if (!EnsureSystemLibrary(L"wininet.dll")) return FALSE;
    // Entries first (the cache index), each but the cookies.
    DWORD size = 0;
    ::FindFirstUrlCacheEntryW(nullptr, nullptr, &size);
    std::vector<BYTE> buffer(static_cast<size_t>(size) * 2 + sizeof(INTERNET_CACHE_ENTRY_INFOW));
    DWORD bufferSize = static_cast<DWORD>(buffer.size());
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
    const OwnedUrlCacheFind find(::FindFirstUrlCacheEntryW(nullptr, entry, &bufferSize));
    if (find) {
        for (;;) {
            if (!(entry->CacheEntryType & COOKIE_CACHE_ENTRY) && entry->lpszSourceUrlName)
                ::DeleteUrlCacheEntryW(entry->lpszSourceUrlName);
            DWORD next = 0;
            ::FindNextUrlCacheEntryW(find.get(), nullptr, &next);
            if (next == 0) break;
            buffer.assign(static_cast<size_t>(next) * 2, 0);
            bufferSize = static_cast<DWORD>(buffer.size());
            entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
            if (!::FindNextUrlCacheEntryW(find.get(), entry, &bufferSize)) break;
        }
    }

    wchar_t folder[MAX_PATH] = L"";
    if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_INTERNET_CACHE, FALSE)) return FALSE;
    return DeletePlayerFolderTree(folder);
}

namespace {

// A folder held open without delete sharing cannot be renamed or removed, so
// nobody can put a link in its place while its entries are deleted.
OwnedFile HoldFolder(const wchar_t* folder) {
    OwnedFile h(::CreateFileW(folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr));
    if (h && !IsRealFolder(h.get())) h.reset();
    return h;
}

bool IsLinkEntry(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

}  // namespace

BOOL DeleteFolderTree(const wchar_t* folder) {
    if (!folder || folder[0] == L'\0') return FALSE;
    const size_t len = std::wcslen(folder);
    // Room for the folder, a "\", an entry name and "*": the fixed buffers
    // hold 260 characters; longer paths fail rather than being cut.
    if (len >= MAX_PATH - 2) {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    // A junction or symbolic link is removed itself; what it points to is
    // never entered (it may be anything on the machine).
    const DWORD own = ::GetFileAttributesW(folder);
    if (own != INVALID_FILE_ATTRIBUTES && IsLinkEntry(own)) return ::RemoveDirectoryW(folder);
    OwnedFile held = HoldFolder(folder);
    if (!held && own != INVALID_FILE_ATTRIBUTES) {
        // A link after all (seen through its handle), or not to be opened.
        const DWORD error = ::GetLastError();
        if (::RemoveDirectoryW(folder)) return TRUE;
        ::SetLastError(error ? error : ::GetLastError());
        return FALSE;
    }

    wchar_t base[MAX_PATH];
    std::swprintf(base, MAX_PATH, folder[len - 1] == L'\\' ? L"%ls" : L"%ls\\", folder);

    wchar_t pattern[MAX_PATH];
    std::swprintf(pattern, MAX_PATH, L"%ls*", base);

    DWORD error = 0;
    WIN32_FIND_DATAW data;
    OwnedFind find(::FindFirstFileW(pattern, &data));
    if (!find) {
        held.reset();  // the folder can go only once nobody holds it
        return ::RemoveDirectoryW(folder);
    }
    do {
        if (std::wcscmp(data.cFileName, L".") == 0 || std::wcscmp(data.cFileName, L"..") == 0)
            continue;
        wchar_t path[MAX_PATH];
        if (std::wcslen(base) + std::wcslen(data.cFileName) >= MAX_PATH) {
            error = ERROR_FILENAME_EXCED_RANGE;
            continue;
        }
        std::swprintf(path, MAX_PATH, L"%ls%ls", base, data.cFileName);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            DeleteFolderTree(path);  // its result is not used: the folder removal tells
        } else {
            // The read-only bit of a link's target is not ours to clear.
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) && !IsLinkEntry(data.dwFileAttributes))
                ::SetFileAttributesW(path, data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
            if (!::DeleteFileW(path)) error = ::GetLastError();
        }
    } while (::FindNextFileW(find.get(), &data));
    find.reset();
    held.reset();  // the folder can go only once nobody holds it

    if (!::RemoveDirectoryW(folder)) {
        if (error) {
            ::SetLastError(error);
            return FALSE;
        }
        error = ::GetLastError();
    }
    if (error) {
        ::SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

}  // namespace kvr
