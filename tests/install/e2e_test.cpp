// kvr.exe itself in its short start modes, against the stand-in portal: the
// uninstall (both answers, both batch forms), the install, the portal
// shortcut, and the game shortcut's throttled update with the swap.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>
#include <objbase.h>
#include <cstring>
#include <string>
#include "base/endpoints.h"
#include "base/settings.h"
#include "install/browser_emulation.h"
#include "install/shortcuts.h"
#include "tests/install/scratch.h"
#include "tests/support/portal_client.h"
#include "tests/support/ui_driver.h"
#include "update/version_key.h"

using namespace kvr;
using namespace kvr::test;
using kvrtest::FileExists;
using kvrtest::ReadFileBytes;
using kvrtest::ScratchDir;

namespace {
const int kYesButton = 5000, kNoButton = 5001;
// The update page the driven program reads.
const std::string kUpdatePage = Utf8(paths::kUpdateConfig);

std::wstring InstalledFolder() {
    wchar_t f[MAX_PATH] = {};
    InstallFolder(f);
    return f;
}

void KillAllKvr() {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof pe;
    for (BOOL ok = ::Process32FirstW(snap, &pe); ok; ok = ::Process32NextW(snap, &pe)) {
        if (::lstrcmpiW(pe.szExeFile, L"kvr.exe") != 0) continue;
        if (HANDLE p = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pe.th32ProcessID)) {
            ::TerminateProcess(p, 9);
            ::WaitForSingleObject(p, 5000);
            ::CloseHandle(p);
        }
    }
    ::CloseHandle(snap);
}

// True while a process `name` that process `parent` started runs (the
// parent may have ended: the child keeps its id).
bool ChildRuns(DWORD parent, const wchar_t* name) {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return true;
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof pe;
    bool runs = false;
    for (BOOL ok = ::Process32FirstW(snap, &pe); ok && !runs; ok = ::Process32NextW(snap, &pe))
        runs = pe.th32ParentProcessID == parent && ::lstrcmpiW(pe.szExeFile, name) == 0;
    ::CloseHandle(snap);
    return runs;
}

// The registry where the copies of the build's kvr.exe read it.
kvrtest::ProgramRegistry Registry() { return kvrtest::ProgramRegistry(kvrtest::BuildPath(L"kvr.exe")); }

// Everything the program leaves on this machine, gone.
void CleanMachine() {
    KillAllKvr();
    kvrtest::RemoveTree(InstalledFolder());
    DeleteSettings();
    DeleteBrowserEmulation(L"kvr.exe");
    ::CoInitialize(nullptr);
    for (const wchar_t* n : {kGameLinkName, kPortalLinkName}) DeleteDesktopShortcut(n);
    DeleteStartMenuShortcut(kGameLinkName);
    DeleteStartMenuShortcut(kUninstallLinkName);
    ::RemoveDirectoryW(StartMenuFolder().c_str());
    ::CoUninitialize();
}

bool RegistryValueExists(const wchar_t* name) {
    std::string bytes;
    return Registry().ReadSetting(name, &bytes);
}

void SetUpdTime(const SYSTEMTIME& t) { ASSERT_TRUE(Registry().WriteSetting(L"UpdTime", &t, sizeof t)); }

// A DWORD value in one registry view (0 when absent), as a 32-bit or a
// 64-bit build reads it; written first when `write` is not 0.
const wchar_t kEmulationKey[] =
    L"SOFTWARE\\Microsoft\\Internet Explorer\\MAIN\\FeatureControl\\FEATURE_BROWSER_EMULATION";
DWORD ValueIn(REGSAM view, const wchar_t* key, DWORD write = 0) {
    HKEY k = nullptr;
    DWORD value = 0, size = sizeof value;
    if ((write ? ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &k, nullptr)
               : ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | view, &k)) != ERROR_SUCCESS)
        return 0;
    if (write) ::RegSetValueExW(k, L"kvr.exe", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&write), sizeof write);
    if (::RegQueryValueExW(k, L"kvr.exe", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size)) value = 0;
    ::RegCloseKey(k);
    return value;
}

std::string LinuxBuildFile(const char* relative) {
    const char* build = std::getenv("KVR_BUILD_DIR");
    return std::string(build ? build : "") + "/" + relative;
}

// The message box of a kvr.exe process, visible.
HWND WaitForBox(DWORD pid, DWORD timeoutMs = 20000) {
    return kvrtest::WaitForWindow(nullptr, L"MarvoleKelvara", timeoutMs, pid, true);
}

// Answers the uninstall question of p with Yes; returns the final message box
// that follows it (nullptr when none came).
HWND AnswerUninstallYes(kvrtest::Process& p) {
    HWND box = WaitForBox(p.Id());
    if (!box) return nullptr;
    kvrtest::ClickButton(box, kYesButton);
    HWND done = nullptr;
    kvrtest::WaitUntil([&] {
        for (HWND h : kvrtest::FindTopWindows(nullptr, L"MarvoleKelvara", p.Id(), true))
            if (h != box) done = h;
        return done != nullptr;
    }, 20000);
    return done;
}
}  // namespace

class KvrModes : public ::testing::Test {
protected:
    void SetUp() override {
        CleanMachine();
        ASSERT_TRUE(Registry().SetFlashVersion(nullptr));
        ASSERT_TRUE(PortalReset());
        exe = dir / L"kvr.exe";
        ASSERT_TRUE(::CopyFileW(kvrtest::BuildPath(L"kvr.exe").c_str(), exe.c_str(), FALSE));
    }
    void TearDown() override { CleanMachine(); }

    // "%" in the folder: the self-deleting batch must take it as a character.
    ScratchDir dir{L"kvr%mode%"};
    std::wstring exe;
};

TEST_F(KvrModes, UninstallAnsweredNoChangesNothing) {
    SYSTEMTIME t{};
    t.wYear = 2020;
    SetUpdTime(t);
    kvrtest::Process p;
    ASSERT_TRUE(p.Start(exe, L"/uninst"));
    HWND box = WaitForBox(p.Id());
    ASSERT_NE(box, nullptr);
    kvrtest::ClickButton(box, kNoButton);
    DWORD code = 0;
    EXPECT_TRUE(p.Wait(15000, &code));
    EXPECT_TRUE(RegistryValueExists(L"UpdTime"));
    EXPECT_TRUE(FileExists(exe));
    EXPECT_TRUE(FindRequests(PortalLog(), "/uninstall.htm").empty());
}

TEST_F(KvrModes, UninstallRemovesSettingsReportsAndDeletesTheFolder) {
    SYSTEMTIME t{};
    t.wYear = 2020;
    SetUpdTime(t);
    // What a 32-bit and a 64-bit build wrote, each in its own view.
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        for (const wchar_t* key : {kSettingsKey, kEmulationKey}) ValueIn(view, key, 11000);
    ::CoInitialize(nullptr);
    ASSERT_TRUE(CreateStartMenuShortcut(L"/uninst", exe.c_str(), kUninstallLinkName));
    ::CoUninitialize();
    kvrtest::Process p;
    ASSERT_TRUE(p.Start(exe, L"/uninst"));
    // The final message comes after the report went out.
    HWND done = AnswerUninstallYes(p);
    ASSERT_NE(done, nullptr);
    EXPECT_TRUE(PortalReceived("/uninstall.htm", "tag=kvr&ver=3.0.0.3&count=1"));
    kvrtest::ClickButton(done, kYesButton);
    EXPECT_TRUE(p.Wait(15000));
    EXPECT_FALSE(RegistryValueExists(L"UpdTime"));
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        for (const wchar_t* key : {kSettingsKey, kEmulationKey}) EXPECT_EQ(ValueIn(view, key), 0u);
    EXPECT_FALSE(FileExists(StartMenuFolder()));  // emptied, so removed
    // The batch job removes the executable and, holding nothing else, the folder.
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return !FileExists(dir.path()); }, 30000));
}

TEST_F(KvrModes, UninstallKeepsAFolderThatHoldsMore) {
    ASSERT_TRUE(kvrtest::WriteFileBytes(dir / L"Statistic.ini", "[Kvr]\r\nInst=1\r\n"));
    kvrtest::Process p;
    ASSERT_TRUE(p.Start(exe, L"/uninst"));
    HWND done = AnswerUninstallYes(p);
    ASSERT_NE(done, nullptr);
    kvrtest::ClickButton(done, kYesButton);
    EXPECT_TRUE(p.Wait(15000));
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return !FileExists(exe); }, 30000));
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return !ChildRuns(p.Id(), L"cmd.exe"); }, 30000)) << "the batch job runs on";
    EXPECT_TRUE(FileExists(dir / L"Statistic.ini"));
}

TEST_F(KvrModes, InstallCopiesMakesLinksReportsAndStartsTheCopy) {
    kvrtest::Process p;
    ASSERT_TRUE(p.Start(exe, L""));
    EXPECT_TRUE(p.Wait(30000));
    const std::wstring installed = InstalledFolder() + L"\\kvr.exe";
    EXPECT_EQ(ReadFileBytes(installed), ReadFileBytes(exe));
    kvrtest::ExpectProgramFolderList(InstalledFolder());
    EXPECT_TRUE(PortalReceived("/install.htm", "tag=kvr&ver=3.0.0.3&count=1"));
    EXPECT_TRUE(RegistryValueExists(L"DisableDays"));
    // The page engine's document mode: the installed Internet Explorer's, in
    // the program's own view only.
    const REGSAM own = Registry().ProcessView();
    const DWORD mode = ValueIn(own, kEmulationKey);
    EXPECT_TRUE(mode >= 8000 && mode % 1000 == 0) << mode;
    EXPECT_EQ(ValueIn(own == KEY_WOW64_64KEY ? KEY_WOW64_32KEY : KEY_WOW64_64KEY, kEmulationKey), 0u);
    EXPECT_TRUE(FileExists(CommonDesktopLinkPath(kGameLinkName)));
    EXPECT_TRUE(FileExists(StartMenuLinkPath(kUninstallLinkName)));
    // The installed copy starts as a plain start of the game client.
    EXPECT_TRUE(kvrtest::WaitUntil([] {
        return !FindRequests(PortalLog(), "/active.htm", "tag=kvr&ver=3.0.0.3&count=1&apartdays=0&keepdays=1&weekdays=1")
                    .empty();
    }, 30000)) << PortalReceived("/active.htm", "tag=kvr&").message();
}

TEST_F(KvrModes, InstallWhileTheInstalledCopyIsInUseStillLinksAndStartsIt) {
    // The installed client runs: its file cannot be replaced (held here
    // without write sharing, as a running program's file is on Windows).
    const std::wstring folder = InstalledFolder();
    ::CreateDirectoryW(folder.substr(0, folder.rfind(L'\\')).c_str(), nullptr);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring installed = folder + L"\\kvr.exe";
    ASSERT_TRUE(::CopyFileW(exe.c_str(), installed.c_str(), FALSE));
    HANDLE inUse = ::CreateFileW(installed.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
    ASSERT_FALSE(::CopyFileW(exe.c_str(), installed.c_str(), FALSE)) << "the copy would not fail here";

    kvrtest::Process p;
    ASSERT_TRUE(p.Start(exe, L""));
    EXPECT_TRUE(p.Wait(30000));
    // Only the copy is skipped: the shortcuts and the start go ahead.
    EXPECT_TRUE(FileExists(CommonDesktopLinkPath(kGameLinkName)));
    EXPECT_TRUE(FileExists(StartMenuLinkPath(kUninstallLinkName)));
    EXPECT_TRUE(kvrtest::WaitUntil([] { return !FindRequests(PortalLog(), "/active.htm", "tag=kvr&").empty(); },
                                   30000))
        << "the installed copy was not started";
    ::CloseHandle(inUse);
}

TEST_F(KvrModes, PortalShortcutCountsAndReports) {
    kvrtest::Process p;
    ASSERT_TRUE(p.Start(exe, L"/webMarvoleD"));
    EXPECT_TRUE(p.Wait(30000));
    EXPECT_TRUE(PortalReceived("/active.htm", "tag=webMarvole&ver=3.0.0.3&count=1"));
    EXPECT_EQ(kvrtest::IniValue(InstalledFolder() + L"\\Statistic.ini", L"Marvole"), L"1");
}

TEST_F(KvrModes, GameShortcutAlreadyUpdatedTodayDoesNotAsk) {
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    SetUpdTime(now);
    kvrtest::Process p;
    ASSERT_TRUE(p.Start(exe, L"/KvrD"));
    EXPECT_TRUE(kvrtest::WaitUntil([] { return !FindRequests(PortalLog(), "/active.htm", "tag=kvr&").empty(); },
                                   30000));
    EXPECT_TRUE(FindRequests(PortalLog(), kUpdatePage).empty());
    // No Flash Player in this prefix: the player is asked before the window.
    EXPECT_NE(WaitForBox(p.Id()), nullptr);
    p.Kill();
}

TEST_F(KvrModes, UpdateNowRefusesAnythingButTheNextBuildForThisMachine) {
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    SetUpdTime(now);  // "/update" is not throttled
    // The running build's own key with other bytes (the download runs
    // whatever the check said); then, each announced with its own key and
    // signed, the newer build made for the other machine, an older build and
    // a game-hall installer.
    const std::string before = ReadFileBytes(exe);
    ASSERT_TRUE(PortalServePattern("/download/NewKvr.exe", 4000));
    std::string key = Utf8(VersionKeyOfFile(exe.c_str()));
    size_t asked = 0;
    for (const char* offered : {"", "tests/update/kvr_tiny_foreign.exe", "tests/update/kvr_tiny_old.exe",
                                "tests/update/kvr_tiny_installer.exe"}) {
        if (*offered) {
            key = Utf8(VersionKeyOfFile(kvrtest::BuildPath(std::wstring(offered, offered + strlen(offered))).c_str()));
            ASSERT_TRUE(PortalServeLinuxFile("/download/NewKvr.exe", LinuxBuildFile(offered)));
        }
        ASSERT_TRUE(PortalSetUpdateConfig(key, Utf8(ServerUrl(Server::ClientService, L"/download/NewKvr.exe"))));
        kvrtest::Process p;
        ASSERT_TRUE(p.Start(exe, L"/update"));
        EXPECT_TRUE(kvrtest::WaitUntil(
            [&] { return FindRequests(PortalLog(), "/download/NewKvr.exe").size() > asked; }, 30000))
            << offered;
        asked = FindRequests(PortalLog(), "/download/NewKvr.exe").size();
        EXPECT_NE(WaitForBox(p.Id()), nullptr) << offered;  // on to the Flash question
        p.Kill();
        EXPECT_EQ(ReadFileBytes(exe), before) << offered;
        EXPECT_FALSE(FileExists(dir / L"OldKvr.exe")) << offered;
        EXPECT_FALSE(FileExists(dir / L"NewKvr.exe")) << offered;
    }
}

TEST_F(KvrModes, GameShortcutUpdatesSwapsAndRestarts) {
    // The "newest build" is a small program of the next version; it marks its start.
    const std::string fresh = LinuxBuildFile("tests/update/kvr_tiny_next.exe");
    kvrtest::ForgetStarts(L"kvr");
    ASSERT_TRUE(PortalServeLinuxFile("/download/NewKvr.exe", fresh));
    // Its version key, computed from the same bytes fetched back.
    const std::wstring freshCopy = dir / L"fresh.bin";
    ASSERT_TRUE(::CopyFileW(kvrtest::BuildPath(L"tests\\update\\kvr_tiny_next.exe").c_str(), freshCopy.c_str(), FALSE));
    const std::wstring key = VersionKeyOfFile(freshCopy.c_str());
    ::DeleteFileW(freshCopy.c_str());
    ASSERT_TRUE(PortalSetUpdateConfig(Utf8(key), Utf8(ServerUrl(Server::ClientService, L"/download/NewKvr.exe"))));
    const std::string before = ReadFileBytes(exe);

    kvrtest::Process p;
    ASSERT_TRUE(p.Start(exe, L"/KvrD"));
    EXPECT_TRUE(p.Wait(60000));
    EXPECT_TRUE(PortalReceived(kUpdatePage));
    EXPECT_TRUE(PortalReceived("/download/NewKvr.exe"));
    EXPECT_NE(ReadFileBytes(exe), before);
    EXPECT_EQ(VersionKeyOfFile(exe.c_str()), key);
    EXPECT_EQ(ReadFileBytes(dir / L"OldKvr.exe"), before);
    EXPECT_FALSE(FileExists(dir / L"NewKvr.exe"));
    EXPECT_TRUE(kvrtest::WaitUntil([] { return kvrtest::StartedAs(L"kvr"); }, 15000));  // started again
    EXPECT_TRUE(RegistryValueExists(L"UpdTime"));
    EXPECT_TRUE(FileExists(CommonDesktopLinkPath(kGameLinkName)));
    kvrtest::ForgetStarts(L"kvr");
}
