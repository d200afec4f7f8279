// kvr.exe on a system before Vista, whole-program: Wine tells it it runs on
// Windows XP (CTest runs this in a prefix of its own whose version is
// "winxp"). The game window shows a logged-in page, and the sound key takes
// the earlier muting path: the page process's own sound calls are
// intercepted and their data zeroed. A probe loaded into the page process
// (xp_probe/) writes sound data the way a Flash movie there would and tells
// whether it came back silent. The program is the 32-bit test build where
// the machine runs 32-bit code, else the 64-bit one (tools/wine/wine-run).
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>
#include "base/owned.h"
#include "tests/e2e/road_fixture.h"

using namespace kvre2e;

namespace {

constexpr DWORD kWaveSilent = 1, kMidiSilent = 2, kNoProbe = 100;

// ProbeSound's answer in process pid: which of its wave and MIDI data the
// page's sound calls zeroed; kNoProbe and above when it could not run.
DWORD ProbeSound(DWORD pid) {
    kvrtest::Process probe;
    DWORD code = kNoProbe;
    const std::wstring exe = kvrtest::BuildPath(L"tests/e2e/xp_probe/kvr_xp_probe.exe");
    if (!probe.Start(exe, std::to_wstring(pid)) || !probe.Wait(kStepMs, &code)) return kNoProbe;
    return code;
}

bool WaitForProbe(DWORD pid, DWORD answer, DWORD* last) {
    return kvrtest::WaitUntil([&] { return (*last = ProbeSound(pid)) == answer; }, 10000);
}

// The file version of a program's version resource, "a.b.c.d"; "" when none.
std::string FileVersion(const std::wstring& exe) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!size || !::GetFileVersionInfoW(exe.c_str(), 0, size, data.data()) ||
        !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || length < sizeof *info)
        return "";
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                  HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return text;
}

std::wstring FlashVersionIn(const wchar_t* key) {
    kvr::OwnedKey k;
    wchar_t value[64] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, k.put()) != ERROR_SUCCESS ||
        ::RegQueryValueExW(k.get(), L"CurrentVersion", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS)
        return L"";
    return value;
}

using XpRoadTest = LoginRoadTest;

}  // namespace

// The Flash Player version goes where a 32-bit program reads it, in the
// 32-bit view: WOW6432Node seen from the 64-bit side. Shown with the 32-bit
// program of this build also where the machine runs no 32-bit code (the road
// below then drives the 64-bit one).
TEST(XpRegistry, TheFlashVersionGoesWhereThe32BitProgramReadsIt) {
    const std::wstring program = kvrtest::EnvFolderPath("KVR_I686_BUILD_DIR", L"kvr.exe");
    DWORD kind = 0;
    if (!::GetBinaryTypeW(program.c_str(), &kind)) GTEST_SKIP() << "no 32-bit build (KVR_SKIP_I686)";
    ASSERT_EQ(kind, static_cast<DWORD>(SCS_32BIT_BINARY));
    ASSERT_TRUE(kvrtest::ProgramRegistry(program).SetFlashVersion(L"31,0,0,132"));
    EXPECT_EQ(FlashVersionIn(L"SOFTWARE\\WOW6432Node\\Macromedia\\FlashPlayer"), L"31,0,0,132");
    EXPECT_NE(FlashVersionIn(L"SOFTWARE\\Macromedia\\FlashPlayer"), L"31,0,0,132") << "the 64-bit view";
}

TEST_F(XpRoadTest, SoundKeyZeroesTheSoundDataOfThePageProcess) {
    DWORD kind = 0;
    ASSERT_TRUE(::GetBinaryTypeW(KvrExe().c_str(), &kind)) << "no program at " << kvr::test::Utf8(KvrExe());
    std::printf("driving the %s program %s\n", kind == SCS_32BIT_BINARY ? "32-bit" : "64-bit",
                kvr::test::Utf8(KvrExe()).c_str());
    ASSERT_EQ(FileVersion(KvrExe()), KVR_VERSION) << "a program older than these sources";
    StartGameWindow();
    LogInAccount(L"S7", L"青龙偃月", L"xpplayer", 1);
    ShowNewestPage(L"S7", L"xpplayer");
    ASSERT_TRUE(kvrtest::WaitUntil([&] { return ::IsWindowVisible(m_game) != FALSE; }, kStepMs));
    const std::vector<HWND> pages = PageFrames(m_game);
    ASSERT_EQ(pages.size(), 1u);
    const DWORD page = ProcessOf(pages.front());
    kvrtest::SaveScreenShot(L"e2e_xp_game_window");

    // Sound on: whatever the page plays passes unchanged. (The first state,
    // sound on, comes with the timer's first tick and installs the
    // interception: let it be done before the probe calls in.)
    ::Sleep(1500);
    DWORD answer = 0;
    EXPECT_TRUE(WaitForProbe(page, 0, &answer)) << "sound on, the probe answered " << answer;

    // The sound key (Ctrl+Q) through the game window's keyboard hook: within
    // a tick of its 400 ms timer the page zeroes wave and MIDI data. On Vista
    // and later the mixer would be muted instead, and the data would pass.
    ::SetForegroundWindow(m_game);
    ::Sleep(500);
    kvrtest::PressKeys({VK_CONTROL, 'Q'});
    EXPECT_TRUE(WaitForProbe(page, kWaveSilent | kMidiSilent, &answer)) << "muted, the probe answered " << answer;
    kvrtest::SaveWindowShot(m_game, L"e2e_xp_muted");

    // Pressed again: the next data passes again.
    kvrtest::PressKeys({VK_CONTROL, 'Q'});
    EXPECT_TRUE(WaitForProbe(page, 0, &answer)) << "sound on again, the probe answered " << answer;

    ExitAll();
}
