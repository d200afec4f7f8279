#include <gtest/gtest.h>
#include "base/endpoints.h"
#include "base/http_fetch.h"
#include "base/work_folder.h"
#include "tests/install/scratch.h"
#include "tests/support/portal_client.h"
#include "update/self_update.h"
#include "update/version_key.h"

using namespace kvr;
using namespace kvr::test;
using kvrtest::ScratchDir;

namespace {
std::string Narrow(const std::wstring& w) { return Utf8(w); }

// The update page this build reads.
const std::string kPage = Utf8(paths::kUpdateConfig);

std::string Upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    return s;
}
}  // namespace

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PortalReset());
        exe = dir / L"kvr.exe";
        ASSERT_TRUE(kvrtest::WriteFileBytes(exe, std::string(5000, 'k') + "build 3.0.0.3"));
        configUrl = ServerUrl(Server::ClientService, paths::kUpdateConfig);
    }
    UpdateCheck Check(bool throttled, StartMode mode, bool allowed) {
        found = CheckUpdateWith(throttled, mode, allowed, exe.c_str(), configUrl.c_str());
        return found.result;
    }
    // What the last check found.
    const std::wstring& LastServerKey() const { return found.offered.key; }
    const std::wstring& LastUpdateAddress() const { return found.offered.address; }
    size_t ConfigRequests() { return FindRequests(PortalLog(), kPage).size(); }

    ScratchDir dir{L"updchk"};
    std::wstring exe, configUrl;
    UpdateFound found;
};

TEST_F(UpdateCheckTest, SameKeyInCapitalsMeansNoUpdate) {
    const std::wstring key = VersionKeyOfFile(exe.c_str());
    ASSERT_TRUE(PortalSetUpdateConfig(Upper(Narrow(key)), "http://127.0.0.1/x/NewKvr.exe"));
    EXPECT_EQ(Check(false, StartMode::Update, true), UpdateCheck::Current);
    EXPECT_EQ(ConfigRequests(), 1u);
    // The page never reached the program folder, and left the work folder
    // with its handle.
    EXPECT_FALSE(kvrtest::FileExists(dir / L"ConfigKvr.htm"));
    wchar_t work[MAX_PATH];
    ASSERT_TRUE(WorkFolderPath(work));
    WIN32_FIND_DATAW left;
    EXPECT_EQ(::FindFirstFileW((std::wstring(work) + L"\\Config-*").c_str(), &left), INVALID_HANDLE_VALUE);
    EXPECT_STREQ(LastUpdateAddress().c_str(), L"http://127.0.0.1/x/NewKvr.exe");
    EXPECT_TRUE(VersionKeysMatch(LastServerKey(), key));
}

TEST_F(UpdateCheckTest, OneByteDifferentMeansAnUpdate) {
    std::string other = kvrtest::ReadFileBytes(exe);
    other[100] ^= 1;
    ASSERT_TRUE(kvrtest::WriteFileBytes(dir / L"newest.bin", other));
    const std::wstring newest = VersionKeyOfFile((dir / L"newest.bin").c_str());
    ASSERT_TRUE(PortalSetUpdateConfig(Narrow(newest), "http://127.0.0.1:1/NewKvr.exe"));
    EXPECT_EQ(Check(false, StartMode::Update, true), UpdateCheck::Newer);
    EXPECT_EQ(LastServerKey(), newest);
}

TEST_F(UpdateCheckTest, ACutOrMissingPageMeansNoUpdate) {
    ASSERT_TRUE(PortalSetUpdateConfig("0123456789abcdef0123456789ab3003", "http://127.0.0.1/x.exe"));
    ASSERT_TRUE(PortalFault(kPage, "short", 0, 20));
    EXPECT_EQ(Check(false, StartMode::Update, true), UpdateCheck::Failed);
    EXPECT_EQ(ConfigRequests(), 1u);
    EXPECT_FALSE(kvrtest::FileExists(dir / L"ConfigKvr.htm"));
    EXPECT_TRUE(LastServerKey().empty());
    ASSERT_TRUE(PortalFault(kPage, "404"));
    EXPECT_EQ(Check(false, StartMode::Update, true), UpdateCheck::Failed);
    ASSERT_TRUE(PortalFault(kPage, "none"));
    ASSERT_TRUE(PortalServeText(kPage, "[VerKey]\r\nUpdAddr=http://127.0.0.1/x.exe\r\n"));
    EXPECT_EQ(Check(false, StartMode::Update, true), UpdateCheck::Failed);
}

TEST_F(UpdateCheckTest, ThrottledCheckStaysQuietWhenNotAllowed) {
    ASSERT_TRUE(PortalSetUpdateConfig("0123456789abcdef0123456789ab3003", "http://127.0.0.1/x.exe"));
    // Already updated today (or a disabled weekday): no request at all.
    EXPECT_EQ(Check(true, StartMode::GameShortcut, false), UpdateCheck::Current);
    EXPECT_EQ(ConfigRequests(), 0u);
    // The modes that never update by themselves.
    for (StartMode m : {StartMode::Install, StartMode::PortalShortcut, StartMode::Uninstall, StartMode::NewPage})
        EXPECT_EQ(Check(true, m, true), UpdateCheck::Current);
    EXPECT_EQ(ConfigRequests(), 0u);
    // The menu's check is not throttled.
    EXPECT_EQ(Check(false, StartMode::GameShortcut, false), UpdateCheck::Newer);
    EXPECT_EQ(ConfigRequests(), 1u);
    // Allowed today: the throttled check asks too.
    EXPECT_EQ(Check(true, StartMode::GameShortcut, true), UpdateCheck::Newer);
    EXPECT_EQ(ConfigRequests(), 2u);
}

TEST(UpdateConfigPage, ReadAsTheProfileFunctionsReadAFile) {
    UpdateConfig c;
    ParseUpdateConfig("\xEF\xBB\xBF[Other]\r\nKvr=other\r\n[verkey]\r\n kvr = \"0123abc\" \nKVR=second\r"
                      "UpdAddr=' http://127.0.0.1/x.exe'\r\nUpdSig=" + std::string(kSignatureChars - 1, 'A'),
                      &c);
    EXPECT_EQ(c.key, L"0123abc");
    EXPECT_EQ(c.address, L" http://127.0.0.1/x.exe");
    EXPECT_EQ(c.signature, L"") << "a signature its buffer would cut";
    ParseUpdateConfig(
        "[VerKey]\r\nKvr=" + std::string(100, 'k') + "\r\nUpdSig=" + std::string(kSignatureChars - 2, 'A'), &c);
    EXPECT_EQ(c.key, std::wstring(63, L'k'));
    EXPECT_EQ(c.signature.size(), kSignatureChars - 2);
    EXPECT_EQ(c.address, L"");
}
