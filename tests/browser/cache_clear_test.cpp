// Cache clearing: the folder tree removal with read-only and locked files,
// the Flash shared objects, the browser cache keeping cookies, the limit.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <wininet.h>
#include <atomic>
#include <iostream>
#include <string>
#include "base/owned.h"
#include "browser/cache_clear.h"
#include "tests/install/scratch.h"

using namespace kvr;
using kvrtest::MakeFolderLink;
using kvrtest::RemoveFolderLink;

namespace {

std::wstring TempFolder(const wchar_t* name) {
    wchar_t tmp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, tmp);
    return std::wstring(tmp) + name;
}

void WriteFile(const std::wstring& path, const char* text = "x") {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cannot create a file";
    DWORD n = 0;
    ::WriteFile(h, text, static_cast<DWORD>(strlen(text)), &n, nullptr);
    ::CloseHandle(h);
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The Flash Player's shared objects folder, made with its parents.
std::wstring MakeSharedObjectsFolder() {
    wchar_t appData[MAX_PATH] = L"";
    ::SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE);
    const std::wstring macromedia = std::wstring(appData) + L"\\Macromedia";
    const std::wstring player = macromedia + L"\\Flash Player";
    const std::wstring shared = player + L"\\#SharedObjects";
    ::CreateDirectoryW(macromedia.c_str(), nullptr);
    ::CreateDirectoryW(player.c_str(), nullptr);
    ::CreateDirectoryW(shared.c_str(), nullptr);
    return shared;
}

// The real clearing, held until the test lets it go.
HANDLE g_release = nullptr;
std::atomic<bool> g_clearingDone{false};
DWORD WINAPI HeldClearing(LPVOID) {
    ::WaitForSingleObject(g_release, 5000);
    const DWORD result = ClearCachesThread(nullptr);
    g_clearingDone = true;
    return result;
}

// The clearing works in the player's application data folder: these tests
// give it one of their own, the shell folder "AppData" pointed at a scratch
// folder while they run, so the prefix's own Flash folder is never touched.
class ClearCache : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                    nullptr, m_key.put(), nullptr),
                  ERROR_SUCCESS);
        DWORD size = sizeof m_saved - sizeof(wchar_t);
        m_had = ::RegQueryValueExW(m_key.get(), L"AppData", nullptr, &m_type, reinterpret_cast<BYTE*>(m_saved),
                                   &size) == ERROR_SUCCESS;
        SetAppData(REG_EXPAND_SZ, m_folder.path().c_str());
        wchar_t appData[MAX_PATH] = L"";
        ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE));
        ASSERT_EQ(std::wstring(appData), m_folder.path()) << "the shell did not take the test's folder";
    }
    void TearDown() override {
        if (m_had)
            SetAppData(m_type, m_saved);
        else
            ::RegDeleteValueW(m_key.get(), L"AppData");
    }

private:
    static constexpr wchar_t kShellFolders[] =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    void SetAppData(DWORD type, const wchar_t* folder) {
        ::RegSetValueExW(m_key.get(), L"AppData", 0, type, reinterpret_cast<const BYTE*>(folder),
                         static_cast<DWORD>((wcslen(folder) + 1) * sizeof(wchar_t)));
    }
    kvrtest::ScratchDir m_folder{L"appdata"};
    kvr::OwnedKey m_key;
    bool m_had = false;
    DWORD m_type = REG_EXPAND_SZ;
    wchar_t m_saved[MAX_PATH + 1] = L"";
};

}  // namespace

TEST(DeleteFolderTree, RemovesNestedReadOnlyFiles) {
    const std::wstring root = TempFolder(L"kvr_tree_ro");
    DeleteFolderTree(root.c_str());
    ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((root + L"\\sub").c_str(), nullptr));
    WriteFile(root + L"\\a.txt");
    WriteFile(root + L"\\sub\\b.sol");
    ::SetFileAttributesW((root + L"\\sub\\b.sol").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeleteFolderTree((root + L"\\").c_str()) || !Exists(root));
    EXPECT_FALSE(Exists(root));
}

TEST(DeleteFolderTree, LockedFileKeepsItsFolderAndFails) {
    const std::wstring root = TempFolder(L"kvr_tree_locked");
    DeleteFolderTree(root.c_str());
    ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    WriteFile(root + L"\\free.txt");
    WriteFile(root + L"\\locked.txt");
    HANDLE lock = ::CreateFileW((root + L"\\locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    ::SetLastError(0);
    EXPECT_FALSE(DeleteFolderTree(root.c_str()));
    EXPECT_NE(::GetLastError(), 0u) << "the file's error is the last error";
    EXPECT_TRUE(Exists(root));
    EXPECT_TRUE(Exists(root + L"\\locked.txt"));
    EXPECT_FALSE(Exists(root + L"\\free.txt")) << "the rest is deleted past the failure";
    ::CloseHandle(lock);
    EXPECT_TRUE(DeleteFolderTree(root.c_str()));
}

TEST(DeleteFolderTree, EmptyMissingAndOverlongPathsFail) {
    EXPECT_FALSE(DeleteFolderTree(nullptr));
    EXPECT_FALSE(DeleteFolderTree(L""));
    EXPECT_FALSE(DeleteFolderTree(TempFolder(L"kvr_no_such_folder_here").c_str()));
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'a');
    EXPECT_FALSE(DeleteFolderTree(longPath.c_str()));
}

TEST_F(ClearCache, FlashSharedObjectsFolderIsRemoved) {
    const std::wstring shared = MakeSharedObjectsFolder();
    const std::wstring player = shared.substr(0, shared.rfind(L'\\'));
    ::CreateDirectoryW((shared + L"\\ABCD1234").c_str(), nullptr);
    WriteFile(shared + L"\\ABCD1234\\settings.sol");
    ::SetFileAttributesW((shared + L"\\ABCD1234\\settings.sol").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeleteFlashSharedObjects());
    EXPECT_FALSE(Exists(shared));
    EXPECT_TRUE(Exists(player)) << "only the shared objects go";
    EXPECT_FALSE(DeleteFlashSharedObjects()) << "nothing left to remove";
}

// Before the thread test: its clearing thread may still run after it.
TEST_F(ClearCache, LinksAreRemovedNeverFollowed) {
    // The player's (or anyone's) folder the links point to.
    const std::wstring victim = TempFolder(L"kvr_link_victim");
    wchar_t appData[MAX_PATH];
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE));
    const std::wstring player = std::wstring(appData) + L"\\Macromedia\\Flash Player";
    const std::wstring shared = player + L"\\#SharedObjects";
    RemoveFolderLink(shared + L"\\ABCD1234");
    RemoveFolderLink(shared);
    DeleteFolderTree(victim.c_str());
    ASSERT_TRUE(::CreateDirectoryW(victim.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((victim + L"\\sub").c_str(), nullptr));
    WriteFile(victim + L"\\precious.txt", "keep me");
    WriteFile(victim + L"\\sub\\more.txt", "and me");
    ::SetFileAttributesW((victim + L"\\precious.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ::CreateDirectoryW((std::wstring(appData) + L"\\Macromedia").c_str(), nullptr);
    ::CreateDirectoryW(player.c_str(), nullptr);
    DeleteFolderTree(shared.c_str());
    ASSERT_TRUE(::CreateDirectoryW(shared.c_str(), nullptr));
    WriteFile(shared + L"\\own.sol");

    // A link inside the shared objects: the cache's own files go, the
    // link's target stays whole (read-only bit included).
    const std::string kind = MakeFolderLink(shared + L"\\ABCD1234", victim);
    // Wine makes them (see MakeFolderLink): there a link not made is a fault.
    if (kind.empty() && kvrtest::UnderWine()) FAIL() << "no folder link could be made";
    if (kind.empty()) GTEST_SKIP() << "this system can make no folder link";
    std::cout << "[          ] folder link made as a " << kind << std::endl;
    DeleteFlashSharedObjects();
    EXPECT_TRUE(Exists(victim + L"\\precious.txt")) << "followed the " << kind;
    EXPECT_TRUE(Exists(victim + L"\\sub\\more.txt"));
    EXPECT_NE(::GetFileAttributesW((victim + L"\\precious.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(Exists(shared + L"\\own.sol"));
    // Windows removes the link itself. Wine cannot: its RemoveDirectoryW
    // looks through a Unix link and finds the target not empty.
    if (kind == "symbolic link") {
        EXPECT_FALSE(Exists(shared));
    }
    RemoveFolderLink(shared + L"\\ABCD1234");
    DeleteFolderTree(shared.c_str());

    // The shared objects folder itself a link.
    ASSERT_EQ(MakeFolderLink(shared, victim), kind);
    DeleteFlashSharedObjects();
    EXPECT_TRUE(Exists(victim + L"\\precious.txt")) << "followed the " << kind << " of the folder itself";
    EXPECT_TRUE(Exists(victim + L"\\sub\\more.txt"));
    RemoveFolderLink(shared);

    // A link higher up, the player's "Macromedia" folder itself: the shared
    // objects it leads to are not the player's folder's to clear.
    const std::wstring macromedia = std::wstring(appData) + L"\\Macromedia";
    DeleteFolderTree(macromedia.c_str());
    ASSERT_TRUE(::CreateDirectoryW((victim + L"\\Flash Player").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((victim + L"\\Flash Player\\#SharedObjects").c_str(), nullptr));
    WriteFile(victim + L"\\Flash Player\\#SharedObjects\\deep.sol", "and me");
    ASSERT_EQ(MakeFolderLink(macromedia, victim), kind);
    EXPECT_FALSE(DeleteFlashSharedObjects());
    EXPECT_TRUE(Exists(victim + L"\\Flash Player\\#SharedObjects\\deep.sol")) << "followed a " << kind << " above";
    RemoveFolderLink(macromedia);
    ::SetFileAttributesW((victim + L"\\precious.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFolderTree(victim.c_str());
}

TEST_F(ClearCache, CookiesSurviveOtherEntriesGo) {
    const wchar_t* site = L"http://kvr-cache.test/kvr-cache-test";
    ASSERT_TRUE(::InternetSetCookieW(site, L"Pauth", L"kept; expires=Sat,01-Jan-2050 00:00:00 GMT"));
    const wchar_t* page = L"http://kvr-cache.test/kvr-cache-test/page.html";
    wchar_t file[MAX_PATH] = L"";
    ASSERT_TRUE(::CreateUrlCacheEntryW(page, 0, L"html", file, 0));
    WriteFile(file, "<html></html>");
    FILETIME none{};
    ASSERT_TRUE(::CommitUrlCacheEntryW(page, file, none, none, NORMAL_CACHE_ENTRY, nullptr, 0,
                                       nullptr, nullptr));
    DWORD size = 0;
    ::GetUrlCacheEntryInfoW(page, nullptr, &size);
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << "entry not cached";

    DeleteBrowserCache();

    size = 0;
    EXPECT_FALSE(::GetUrlCacheEntryInfoW(page, nullptr, &size));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "the page entry is gone";
    wchar_t cookie[256] = L"";
    DWORD chars = 256;
    ASSERT_TRUE(::InternetGetCookieW(site, L"Pauth", cookie, &chars));
    EXPECT_NE(std::wstring(cookie).find(L"kept"), std::wstring::npos);
}

// With the player's token the clearing runs impersonating it (on Windows
// it can then delete only what the player could), and the thread is back
// to its own rights afterwards; a token it cannot take clears nothing.
// Wine checks no rights against a token: the deletion itself is not shown.
// After the cookie test: it clears the browser cache too.
TEST_F(ClearCache, RunsOnlyWithThePlayersToken) {
    const std::wstring shared = MakeSharedObjectsFolder();
    WriteFile(shared + L"\\mine.sol");
    OwnedHandle own, queryOnly, player;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, own.put()));
    ASSERT_TRUE(::DuplicateTokenEx(own.get(), TOKEN_QUERY, nullptr, SecurityImpersonation, TokenImpersonation,
                                   queryOnly.put()));
    EXPECT_FALSE(ClearCachesAs(queryOnly.get()));
    EXPECT_TRUE(Exists(shared + L"\\mine.sol")) << "cleared without the token";
    ASSERT_TRUE(::DuplicateTokenEx(own.get(), TOKEN_IMPERSONATE | TOKEN_QUERY, nullptr, SecurityImpersonation,
                                   TokenImpersonation, player.put()));
    ClearCachesAs(player.get());
    EXPECT_FALSE(Exists(shared));
    OwnedHandle left;
    EXPECT_FALSE(::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, left.put())) << "still impersonating";
}

TEST_F(ClearCache, ThreadStartsAndReturnsAtOnce) {
    const std::wstring shared = MakeSharedObjectsFolder();
    WriteFile(shared + L"\\held.sol");
    g_release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(g_release, nullptr);
    kvr::ClearCache(HeldClearing);
    // Back here while the clearing still waits: the player's message comes
    // at once, not after the deletion.
    EXPECT_FALSE(g_clearingDone) << "returned only after the clearing";
    EXPECT_TRUE(Exists(shared + L"\\held.sol"));
    ::SetEvent(g_release);
    for (int i = 0; i < 3000 && !g_clearingDone; ++i) ::Sleep(10);
    EXPECT_TRUE(g_clearingDone);
    EXPECT_FALSE(Exists(shared)) << "the clearing ran on its thread";
    ::CloseHandle(g_release);
}

TEST(CacheLimit, WritesTheLimit) {
    const wchar_t* key =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\5.0\\Cache\\Content";
    HKEY h = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                                nullptr), ERROR_SUCCESS);
    ::RegCloseKey(h);
    EXPECT_TRUE(SetCacheLimit());
    DWORD value = 0, size = sizeof(value), type = 0;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, key, L"CacheLimit", RRF_RT_REG_DWORD, &type, &value,
                             &size), ERROR_SUCCESS);
    EXPECT_EQ(value, 0x100000u);
}
