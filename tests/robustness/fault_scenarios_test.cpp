// The update under every fault the network, the disk or an attacker on the
// way can produce: the stand-in down, 404, an error status, no length, a
// length the server does not keep (the connection ends early), a slow answer,
// a locked, full or missing target, the executable in use, another host
// behind "@" or a redirect, a missing or wrong signature. Whatever happens,
// the player keeps a working program: the executable is replaced only by a
// complete download of the announced build that the maker signed.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <string>
#include "base/command_line.h"
#include "base/endpoints.h"
#include "tests/install/scratch.h"
#include "tests/support/portal_client.h"
#include "tests/support/ui_driver.h"
#include "update/prgs_dlg.h"
#include "update/self_update.h"
#include "update/update_signature.h"
#include "update/version_key.h"

using namespace kvr;
using namespace kvr::test;
using kvrtest::ScratchDir;

namespace {

int g_survived = 0;

std::wstring Url(const wchar_t* path) { return ServerUrl(Server::ClientService, path); }

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    ::CloseHandle(f);
    return ok;
}

// The newest build: a small program that is this program's next version.
std::string NewBuildBytes() { return kvrtest::ReadFileBytes(kvrtest::BuildPath(L"tests\\update\\kvr_tiny_next.exe")); }

class UpdateFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PortalReset());
        ASSERT_TRUE(WriteBytes(m_exe, m_oldBuild));
        // The newest build and its key, as the server publishes them.
        const char* build = std::getenv("KVR_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        ASSERT_TRUE(PortalServeLinuxFile("/download/NewKvr.exe", std::string(build) + "/tests/update/kvr_tiny_next.exe"));
        const std::wstring sample = m_dir / L"sample.bin";
        ASSERT_TRUE(WriteBytes(sample, NewBuildBytes()));
        m_newKey = VersionKeyOfFile(sample.c_str());
        ::DeleteFileW(sample.c_str());
        // The maker's signature of it, as the stand-in publishes it.
        ASSERT_NE(*BuiltInUpdateKey(), 0) << "a test build checks signatures";
        ASSERT_TRUE(PortalSetUpdateConfig(Utf8(m_newKey), Utf8(Url(L"/download/NewKvr.exe"))));
        UpdateConfig published;
        ASSERT_TRUE(FetchUpdateConfig(Url(L"/update/ConfigKvr.htm").c_str(), &published));
        m_signature = published.signature;
        ASSERT_FALSE(m_signature.empty());
    }
    void TearDown() override { PortalReset(); }

    // The update as the program runs it: the progress dialog downloads into
    // `target`; only a complete download is verified and swapped in.
    bool RunUpdate(const std::wstring& target) {
        CPrgsDlg dialog;
        const std::wstring url = Url(L"/download/NewKvr.exe");
        dialog.SetUrl(url.c_str());
        dialog.SetTargetPath(target.c_str());
        if (dialog.DoModal(nullptr) != IDOK) return false;
        return InstallDownloadedUpdate(m_exe.c_str(), target.c_str(), m_newKey, m_signature) == UpdateInstall::Installed;
    }

    // The whole road as the program runs it: the configuration page, the
    // download into NewKvr.exe beside the program, its checks and the swap.
    bool RunUpdateRoad() {
        const std::wstring page = Url(L"/update/ConfigKvr.htm");
        const UpdateFound found = CheckUpdateWith(false, StartMode::Update, true, m_exe.c_str(), page.c_str());
        return found.result == UpdateCheck::Newer &&
               InstallUpdateOf(m_exe.c_str(), found.offered) == UpdateInstall::Installed;
    }

    // The running program is still the old build, whole.
    ::testing::AssertionResult OldBuildKept() {
        if (kvrtest::ReadFileBytes(m_exe) != m_oldBuild) return ::testing::AssertionFailure() << "kvr.exe changed";
        ++g_survived;
        return ::testing::AssertionSuccess();
    }

    ScratchDir m_dir{L"faults"};
    const std::wstring m_exe = m_dir / L"kvr.exe";
    const std::wstring m_newPath = m_dir / L"NewKvr.exe";
    const std::string m_oldBuild = std::string(4096, 'o');
    std::wstring m_newKey, m_signature;
};

}  // namespace

TEST_F(UpdateFaults, ConfigurationPageFaultsMeanNoUpdate) {
    ASSERT_TRUE(PortalSetUpdateConfig(Utf8(m_newKey), Utf8(Url(L"/download/NewKvr.exe"))));
    const std::wstring page = Url(L"/update/ConfigKvr.htm");
    // Without a fault the check offers the update: the faults below matter.
    UpdateFound found;
    const auto check = [&] {
        found = CheckUpdateWith(false, StartMode::Update, true, m_exe.c_str(), page.c_str());
        return found.result;
    };
    ASSERT_EQ(check(), UpdateCheck::Newer);

    const struct {
        const char* mode;
        int delayMs;
        long cut;
    } faults[] = {{"404", 0, -1}, {"nolength", 0, -1}, {"short", 0, 10}, {"short", 0, 0}, {"500", 0, -1}};
    for (const auto& f : faults) {
        ASSERT_TRUE(PortalFault("/update/ConfigKvr.htm", f.mode, f.delayMs, f.cut));
        EXPECT_EQ(check(), UpdateCheck::Failed) << f.mode;
        EXPECT_FALSE(kvrtest::FileExists(m_dir / L"ConfigKvr.htm")) << f.mode << ": page left behind";
        EXPECT_TRUE(found.offered.key.empty()) << f.mode;
        EXPECT_TRUE(OldBuildKept()) << f.mode;
    }
    // A slow answer is only late.
    ASSERT_TRUE(PortalFault("/update/ConfigKvr.htm", "slow", 1500));
    EXPECT_EQ(check(), UpdateCheck::Newer);
    ++g_survived;
    // The server gone altogether.
    ASSERT_TRUE(PortalFault("/update/ConfigKvr.htm", "none"));
    ASSERT_TRUE(PortalSetRole("client-service", false));
    EXPECT_EQ(check(), UpdateCheck::Failed);
    ASSERT_TRUE(PortalSetRole("client-service", true));
    EXPECT_TRUE(OldBuildKept());
}

TEST_F(UpdateFaults, DownloadFaultsKeepTheRunningProgram) {
    const struct {
        const char* mode;
        long cut;
    } faults[] = {{"404", -1}, {"nolength", -1}, {"short", -1}, {"short", 1}};
    for (const auto& f : faults) {
        ASSERT_TRUE(PortalFault("/download/NewKvr.exe", f.mode, 0, f.cut));
        EXPECT_FALSE(RunUpdate(m_newPath)) << f.mode;
        EXPECT_TRUE(OldBuildKept()) << f.mode;
    }
    ASSERT_TRUE(PortalFault("/download/NewKvr.exe", "none"));
    ASSERT_TRUE(PortalSetRole("client-service", false));
    EXPECT_FALSE(RunUpdate(m_newPath));
    ASSERT_TRUE(PortalSetRole("client-service", true));
    EXPECT_TRUE(OldBuildKept());

    // Whole and verified: the one case that replaces the program.
    ASSERT_TRUE(RunUpdate(m_newPath));
    EXPECT_EQ(kvrtest::ReadFileBytes(m_exe), NewBuildBytes());
    EXPECT_EQ(kvrtest::ReadFileBytes(m_dir / L"OldKvr.exe"), m_oldBuild);
}

TEST_F(UpdateFaults, TheUpdateComesOnlyFromTrustedHosts) {
    // The attacker's build, with its key on the page they answer in the
    // server's place; their host serves it, so any contact would install it.
    const std::string evilBuild(6000, 'e');
    ASSERT_TRUE(PortalServeText("/evil/NewKvr.exe", evilBuild));
    ASSERT_TRUE(WriteBytes(m_dir / L"evil.bin", evilBuild));
    const std::string evilKey = Utf8(VersionKeyOfFile((m_dir / L"evil.bin").c_str()));
    const std::string cs = Utf8(ServerHost(Server::ClientService));
    const std::string other = OtherHostUrl("").substr(7);

    // Behind "@": the trusted name after it, the attacker's host before it.
    ASSERT_TRUE(PortalSetUpdateConfig(evilKey, "http://" + other + "@" + cs + "/evil/NewKvr.exe"));
    EXPECT_FALSE(RunUpdateRoad());
    EXPECT_TRUE(OldBuildKept());
    // A trusted address that redirects to the attacker's host.
    ASSERT_TRUE(PortalRedirect("/moved/NewKvr.exe", OtherHostUrl("/evil/NewKvr.exe")));
    ASSERT_TRUE(PortalSetUpdateConfig(evilKey, "http://" + cs + "/moved/NewKvr.exe"));
    EXPECT_FALSE(RunUpdateRoad());
    EXPECT_TRUE(OldBuildKept());
    EXPECT_FALSE(kvrtest::FileExists(m_newPath));
    EXPECT_EQ(FindRequests(PortalLog(), "/moved/NewKvr.exe").size(), 1u);
    EXPECT_TRUE(RequestsOf(PortalLog(), "other").empty()) << "the attacker's host was contacted";

    // A redirect to a mirror under a trusted name works, and a key that ends
    // in the newer build's version ("3004") describes that build.
    ASSERT_TRUE(PortalRedirect("/moved/NewKvr.exe", "http://localhost:" + cs.substr(cs.rfind(':') + 1) +
                                                        "/download/NewKvr.exe"));
    ASSERT_TRUE(PortalSetUpdateConfig(Utf8(m_newKey.substr(0, 28)) + "3004", "http://" + cs + "/moved/NewKvr.exe"));
    ASSERT_TRUE(RunUpdateRoad());
    EXPECT_EQ(kvrtest::ReadFileBytes(m_exe), NewBuildBytes());
    EXPECT_TRUE(RequestsOf(PortalLog(), "other").empty());
}

TEST_F(UpdateFaults, OnlyTheBuildTheMakerSignedIsInstalled) {
    // Whoever answers in the server's place can serve any file with its
    // right key; the maker's signature of it is what they lack.
    // None, a real signature of another file, and one that is not base64.
    for (const char* sig : {"none", "other", "garbage"}) {
        ASSERT_TRUE(PortalControl(std::string("config?sig=") + sig));
        EXPECT_FALSE(RunUpdateRoad()) << sig;
        EXPECT_TRUE(OldBuildKept()) << sig;
        EXPECT_FALSE(kvrtest::FileExists(m_newPath)) << sig << ": the refused download stayed";
    }
    EXPECT_EQ(FindRequests(PortalLog(), "/download/NewKvr.exe").size(), 3u);
    // Signed by the maker: the one case that installs.
    ASSERT_TRUE(PortalControl("config?sig=good"));
    EXPECT_TRUE(RunUpdateRoad());
    EXPECT_EQ(kvrtest::ReadFileBytes(m_exe), NewBuildBytes());
}

TEST_F(UpdateFaults, LockedFullOrMissingTargetsKeepTheRunningProgram) {
    // The download's file held by another program without write sharing.
    // (A read-only attribute would not do here: Wine maps it to permission
    // bits, which root, as on CI machines, may ignore.)
    ASSERT_TRUE(WriteBytes(m_newPath, "old download"));
    HANDLE held = ::CreateFileW(m_newPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(RunUpdate(m_newPath));
    ::CloseHandle(held);
    EXPECT_TRUE(OldBuildKept());
    ::DeleteFileW(m_newPath.c_str());

    // A full disk: every write fails (Linux's /dev/full through drive Z:).
    EXPECT_FALSE(RunUpdate(L"Z:\\dev\\full"));
    EXPECT_TRUE(OldBuildKept());

    // A folder that does not exist.
    EXPECT_FALSE(RunUpdate(m_dir / L"missing\\NewKvr.exe"));
    EXPECT_TRUE(OldBuildKept());

    // The download is whole but the executable cannot be moved aside (held
    // open without delete sharing): nothing is swapped.
    HANDLE busy = ::CreateFileW(m_exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(RunUpdate(m_newPath));
    ::CloseHandle(busy);
    EXPECT_TRUE(OldBuildKept());
    std::printf("fault scenarios: %d survived, the running program kept every time\n", g_survived);
}
