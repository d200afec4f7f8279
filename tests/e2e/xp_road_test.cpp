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

using XpRoadTest = LoginRoadTest;

}  // namespace

TEST_F(XpRoadTest, SoundKeyZeroesTheSoundDataOfThePageProcess) {
    DWORD kind = 0;
    ASSERT_TRUE(::GetBinaryTypeW(KvrExe().c_str(), &kind)) << "no program at " << kvr::test::Utf8(KvrExe());
    std::printf("driving the %s program %s\n", kind == SCS_32BIT_BINARY ? "32-bit" : "64-bit",
                kvr::test::Utf8(KvrExe()).c_str());
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
