// kvr_walk: walks the road of one login on a headless display for `./kvr run`
// (tools/run_client.py). Each step prints one line "STEP <name>|<summary>" and
// waits for a line on stdin, so the caller can take its screenshot of that
// step first. Ends with "DONE <n failed>"; exit code 0 when every step passed.
#include <windows.h>
#include <cstdio>
#include <string>
#include "app/endpoints.h"
#include "browser/test_hooks.h"
#include "gamewnd/messages.h"
#include "tests/e2e/road.h"
#include "tests/support/portal_client.h"
#include "tests/support/ui_driver.h"

using namespace kvre2e;

namespace {

constexpr DWORD kStartMs = 90000;
constexpr DWORD kStepMs = 45000;
int g_failed = 0;

void Step(const char* name, bool ok, const std::string& summary) {
    if (!ok) ++g_failed;
    std::printf("STEP %s|%s%s\n", name, ok ? "" : "FAILED: ", summary.c_str());
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin)) ::Sleep(1500);  // nobody to wait for
}

std::string Size(HWND w) {
    RECT rc{};
    ::GetWindowRect(w, &rc);
    return std::to_string(rc.right - rc.left) + "x" + std::to_string(rc.bottom - rc.top);
}

bool WaitMaximised(HWND game) {
    return kvrtest::WaitUntil(
        [&] {
            RECT rc{};
            ::GetWindowRect(game, &rc);
            return rc.right - rc.left > 400;
        },
        kStepMs);
}

int Walk() {
    KillKvrProcesses();
    SetFlashVersion(L"32,0,0,465");
    kvrtest::Process kvr;
    if (!kvr.Start(KvrExe(), L"/KvrD")) {
        Step("start", false, "kvr.exe could not be started");
        return 1;
    }
    HWND game = WaitForGameWindow(kvr.Id(), kStartMs);
    const bool active = WaitForRequest("/active.htm", "tag=kvr", kStepMs);
    Step("start", game != nullptr && active,
         std::string("kvr.exe /KvrD: network checked, start reported (/active.htm ") + (active ? "received" : "MISSING") +
             "), Flash passes, game window " + (game ? Size(game) : "MISSING"));
    if (!game) return 1;

    std::vector<HWND> known;
    const wchar_t* accounts[2] = {L"walker1", L"walker2"};
    const wchar_t* servers[2] = {L"S12", L"S3"};
    const wchar_t* areas[2] = {L"凤凰涅槃", L"【双线】》龙腾四海一区"};
    for (int i = 0; i < 2; ++i) {
        const std::string n = std::to_string(i + 1);
        if (i == 1) ::PostMessageW(game, kvr::WM_KVR_ADD_ACCOUNT, 1, 0);  // "other account", this window
        HWND login = WaitForLoginPage(kvr.Id(), known, kStartMs);
        if (!login) {
            Step(("login" + n).c_str(), false, "no login page appeared");
            break;
        }
        known.push_back(login);
        const std::wstring page = kvr::ServerUrl(kvr::Server::Portal, kvr::paths::kLoginPage);
        kvr::SendTestHook(login, kvr::kHookDocumentComplete, page.c_str());
        ::Sleep(1500);
        Step(("login" + n).c_str(), true,
             "page process " + n + " shows the login page (" + Size(login) + ")");
        const bool sent = kvr::SendTestHook(login, kvr::kHookNavigate, LoadGameUrl(servers[i], areas[i], accounts[i]).c_str());
        const std::string idx = "index=" + n;
        const bool record = sent && WaitForRequest("/login.htm", idx, kStepMs);
        const bool joined =
            kvrtest::WaitUntil([&] { return static_cast<int>(PageFrames(game).size()) > i; }, kStepMs);
        for (HWND f : PageFrames(game))
            kvr::SendTestHook(f, kvr::kHookNavigateComplete, GameUrl(servers[i], accounts[i]).c_str());
        const bool big = WaitMaximised(game);
        ::Sleep(1500);
        Step(("tab" + n).c_str(), record && joined && big,
             "app://loadgame for " + kvr::test::Utf8(accounts[i]) + ": login record " + idx + " " +
                 (record ? "received" : "MISSING") + ", frame " + (joined ? "joined as tab " + n : "DID NOT JOIN") +
                 ", game window " + Size(game));
    }

    ::PostMessageW(game, WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND box = WaitForMessageBox(kvr.Id(), game, kStepMs);
    Step("exit-question", box != nullptr, box ? "closing the window asks first" : "no question appeared");
    if (box) AnswerMessageBox(box, true);
    const bool ended = kvr.Wait(kStepMs);
    const bool pages = kvrtest::WaitUntil([] { return KvrProcessIds().empty(); }, kStepMs);
    const size_t records = CountRequests("/d.php");
    Step("exit", ended && pages && records == known.size(),
         "exit all: " + std::to_string(records) + " play-time record(s) /d.php, game window " +
             (ended ? "ended" : "STILL RUNNING") + ", page processes " + (pages ? "ended" : "STILL RUNNING"));
    KillKvrProcesses();
    return g_failed;
}

}  // namespace

int main() {
    ::SetProcessDPIAware();
    const int failed = Walk();
    std::printf("DONE %d\n", failed);
    std::fflush(stdout);
    return failed ? 1 : 0;
}
