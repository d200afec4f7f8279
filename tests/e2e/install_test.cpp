// Install from a download folder and uninstall, whole-program: copies of
// kvr.exe in scratch folders under Wine against the stand-in portal. Asserts
// the files, shortcuts, registry values and reports they leave behind, and
// cleans up so later tests find the prefix as before.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string>
#include "base/settings.h"
#include "install/shortcuts.h"
#include "tests/e2e/road.h"
#include "tests/support/portal_client.h"
#include "tests/support/screenshot.h"
#include "tests/support/ui_driver.h"

using namespace kvre2e;
using kvr::test::PortalReceived;

namespace {

constexpr DWORD kStartMs = 90000;
constexpr DWORD kStepMs = 45000;

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring InstallFolder() {
    wchar_t folder[MAX_PATH] = {};
    return kvr::InstallFolder(folder) ? folder : L"";
}

// A fresh folder of ours under the temporary folder.
std::wstring ScratchFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + name;
    ::SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
    return dir;
}

// Deletes a file, retrying while a just-killed process still holds it.
bool DeleteWithRetry(const std::wstring& path) {
    return kvrtest::WaitUntil([&] { return ::DeleteFileW(path.c_str()) || !Exists(path); }, 15000);
}

// Statistic.ini's counters decide the reports' count: each test starts from
// none and puts back what was there.
class SavedStatistics {
public:
    SavedStatistics() {
        wchar_t path[MAX_PATH] = {};
        if (!kvr::StatisticIniPath(path)) return;
        m_path = path;
        m_saved = m_path + L".e2e-saved";
        m_had = ::MoveFileExW(m_path.c_str(), m_saved.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    }
    ~SavedStatistics() {
        if (m_path.empty()) return;
        ::DeleteFileW(m_path.c_str());
        if (m_had) ::MoveFileExW(m_saved.c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }

private:
    std::wstring m_path, m_saved;
    bool m_had = false;
};

// Target of a shell link, "" when it cannot be read.
std::wstring LinkTarget(const std::wstring& link, std::wstring* arguments) {
    std::wstring target;
    IShellLinkW* sl = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&sl))))
        return target;
    IPersistFile* pf = nullptr;
    if (SUCCEEDED(sl->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pf)))) {
        if (SUCCEEDED(pf->Load(link.c_str(), STGM_READ))) {
            wchar_t buf[MAX_PATH] = {};
            if (SUCCEEDED(sl->GetPath(buf, MAX_PATH, nullptr, 0))) target = buf;
            wchar_t args[MAX_PATH] = {};
            if (arguments && SUCCEEDED(sl->GetArguments(args, MAX_PATH))) *arguments = args;
        }
        pf->Release();
    }
    sl->Release();
    return target;
}

// The program's settings where the copies of KvrExe() keep them.
kvrtest::ProgramRegistry Registry() { return kvrtest::ProgramRegistry(KvrExe()); }

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        KillKvrProcesses();
        ASSERT_TRUE(kvr::test::PortalReset()) << "stand-in portal not reachable";
        ASSERT_TRUE(SetFlashVersion(L"32,0,0,465"));
        ASSERT_FALSE(InstallFolder().empty());
    }
    void TearDown() override {
        KillKvrProcesses();
        kvr::test::PortalReset();
    }
};

}  // namespace

TEST_F(InstallTest, FromDownloadFolderCopiesReportsAndStartsTheInstalledCopy) {
    const std::wstring installed = InstallFolder() + L"\\kvr.exe";
    ASSERT_TRUE(DeleteWithRetry(installed)) << "an installed copy is left from before";
    SavedStatistics stats;
    Registry().DeleteSetting(L"DisableDays");
    const std::wstring download = ScratchFolder(L"kvr-e2e-download");
    const std::wstring exe = download + L"\\kvr.exe";
    ASSERT_TRUE(::CopyFileW(KvrExe().c_str(), exe.c_str(), FALSE));

    kvrtest::Process setup;
    ASSERT_TRUE(setup.Start(exe)) << "CreateProcess failed: " << ::GetLastError();
    EXPECT_TRUE(setup.Wait(kStartMs)) << "the download copy did not end";

    // The copy, byte for byte the size of the download.
    WIN32_FILE_ATTRIBUTE_DATA a{}, b{};
    ASSERT_TRUE(::GetFileAttributesExW(installed.c_str(), GetFileExInfoStandard, &a)) << "no installed copy";
    ASSERT_TRUE(::GetFileAttributesExW(exe.c_str(), GetFileExInfoStandard, &b));
    EXPECT_EQ(a.nFileSizeLow, b.nFileSizeLow);
    // The install report with the first count, sent before the download copy ended.
    EXPECT_EQ(CountRequests("/install.htm", "tag=kvr&ver=3.0.0.3&count=1"), 1u)
        << PortalReceived("/install.htm").message();
    // DisableDays: four bytes, the weekdays 0..6 or none (0xFF style values are
    // the program's own choice; only the shape is fixed).
    std::string days;
    DWORD type = 0;
    EXPECT_TRUE(Registry().ReadSetting(L"DisableDays", &days, &type)) << "no DisableDays";
    EXPECT_EQ(days.size(), 4u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    // The game shortcut points at the installed copy with "/KvrD".
    std::wstring args;
    const std::wstring link = kvr::CommonDesktopLinkPath(kvr::kGameLinkName);
    EXPECT_TRUE(Exists(link)) << kvr::test::Utf8(link);
    EXPECT_EQ(_wcsicmp(LinkTarget(link, &args).c_str(), installed.c_str()), 0)
        << kvr::test::Utf8(LinkTarget(link, nullptr));
    EXPECT_EQ(args, L"/KvrD");
    EXPECT_TRUE(Exists(kvr::StartMenuLinkPath(kvr::kUninstallLinkName)));

    // The installed copy started: its game window (and its start report).
    HWND game = WaitForGameWindow(0, kStartMs);
    EXPECT_NE(game, nullptr) << "the installed copy shows no game window";
    EXPECT_TRUE(WaitForRequest("/active.htm", "tag=kvr", kStepMs)) << PortalReceived("/active.htm").message();
    kvrtest::SaveScreenShot(L"e2e_installed_copy_started");

    // Clean up: the started copy and its page, the files we made.
    KillKvrProcesses();
    EXPECT_TRUE(DeleteWithRetry(installed));
    DeleteWithRetry(exe);
    ::RemoveDirectoryW(download.c_str());
}

TEST_F(InstallTest, UninstallAnsweredYesReportsRemovesSettingsAndTheExecutable) {
    SavedStatistics stats;
    const std::wstring folder = ScratchFolder(L"kvr-e2e-uninstall");
    const std::wstring exe = folder + L"\\kvr.exe";
    ASSERT_TRUE(::CopyFileW(KvrExe().c_str(), exe.c_str(), FALSE));
    // Settings to be removed.
    const BYTE days[4] = {1, 3, 5, 0};
    ASSERT_TRUE(Registry().WriteSetting(L"DisableDays", days, sizeof days));

    kvrtest::Process kvr;
    ASSERT_TRUE(kvr.Start(exe, L"/uninst"));
    HWND question = WaitForMessageBox(kvr.Id(), nullptr, kStartMs);
    ASSERT_NE(question, nullptr) << "no question";
    EXPECT_NE(::GetDlgItem(question, 5000), nullptr) << "not the skinned box";
    EXPECT_NE(MessageBoxTexts(question).find(L"确定要移除 MarvoleKelvara极速登录器吗？"), std::wstring::npos);
    kvrtest::SaveScreenShot(L"e2e_uninstall_question");
    ASSERT_TRUE(AnswerMessageBox(question, true));
    kvrtest::WaitUntil([&] { return !::IsWindow(question); }, kStepMs);

    // The final word, then the end.
    HWND done = WaitForMessageBox(kvr.Id(), nullptr, kStepMs);
    ASSERT_NE(done, nullptr) << "no final message";
    kvrtest::SaveScreenShot(L"e2e_uninstall_done");
    ASSERT_TRUE(AnswerMessageBox(done, true));
    EXPECT_TRUE(kvr.Wait(kStepMs)) << "the uninstaller did not end";

    EXPECT_EQ(CountRequests("/uninstall.htm", "tag=kvr&ver=3.0.0.3&count=1"), 1u)
        << PortalReceived("/uninstall.htm").message();
    EXPECT_FALSE(Registry().Settings(KEY_QUERY_VALUE, false)) << "the settings stayed";
    EXPECT_FALSE(Exists(kvr::CommonDesktopLinkPath(kvr::kGameLinkName)));
    // The batch job removes the executable once it has ended.
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return !Exists(exe); }, kStartMs)) << "the executable is still there";

    DeleteWithRetry(exe);
    ::RemoveDirectoryW(folder.c_str());
}
