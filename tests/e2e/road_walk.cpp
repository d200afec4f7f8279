// kvr_walk: walks the road of one login on a headless display for `./kvr run`
// (tools/run_client.py). Each step prints one line "STEP <name>|<summary>" and
// waits for a line on stdin, so the caller can take its screenshot of that
// step first. Ends with "DONE <n failed>"; exit code 0 when every step passed.
//
// `kvr_walk --hold N` logs N accounts in as tabs of one game window (the idle
// CPU benchmark), prints "PIDS <game window> <page>..." and waits for a line
// on stdin before exiting all.
#include <windows.h>
#include <cstdio>
#include <cstdlib>
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

const wchar_t* const kAccounts[3] = {L"walker1", L"walker2", L"walker3"};
const wchar_t* const kServers[3] = {L"S12", L"S3", L"S7"};
const wchar_t* const kAreas[3] = {L"凤凰涅槃", L"【双线】》龙腾四海一区", L"凤凰涅槃"};

// Logs account i in through the next login page; it joins as tab i + 1.
// With `steps`, reports the login page and the tab as two steps.
bool LogInTab(HWND game, DWORD gamePid, int i, std::vector<HWND>& known, bool steps) {
    const std::string n = std::to_string(i + 1);
    if (i > 0) ::PostMessageW(game, kvr::WM_KVR_ADD_ACCOUNT, 1, 0);  // "other account", this window
    HWND login = WaitForLoginPage(gamePid, known, kStartMs);
    if (!login) {
        if (steps) Step(("login" + n).c_str(), false, "no login page appeared");
        return false;
    }
    known.push_back(login);
    const std::wstring page = kvr::ServerUrl(kvr::Server::Portal, kvr::paths::kLoginPage);
    kvr::SendTestHook(login, kvr::kHookDocumentComplete, page.c_str());
    if (steps) {
        ::Sleep(1500);
        Step(("login" + n).c_str(), true, "page process " + n + " shows the login page (" + Size(login) + ")");
    }
    const bool sent =
        kvr::SendTestHook(login, kvr::kHookNavigate, LoadGameUrl(kServers[i], kAreas[i], kAccounts[i]).c_str());
    const std::string idx = "index=" + n;
    const bool record = sent && WaitForRequest("/login.htm", idx, kStepMs);
    const bool joined = kvrtest::WaitUntil([&] { return static_cast<int>(PageFrames(game).size()) > i; }, kStepMs);
    for (HWND f : PageFrames(game))
        kvr::SendTestHook(f, kvr::kHookNavigateComplete, GameUrl(kServers[i], kAccounts[i]).c_str());
    const bool big = WaitMaximised(game);
    const bool ok = record && joined && big;
    if (steps) {
        ::Sleep(1500);
        Step(("tab" + n).c_str(), ok,
             "app://loadgame for " + kvr::test::Utf8(kAccounts[i]) + ": login record " + idx + " " +
                 (record ? "received" : "MISSING") + ", frame " + (joined ? "joined as tab " + n : "DID NOT JOIN") +
                 ", game window " + Size(game));
    }
    return ok;
}

// N tabs in one game window, held until a line arrives on stdin.
int HoldTabs(int count) {
    if (count < 1 || count > 3) {  // a game window holds at most three
        std::printf("FAILED\n");
        return 1;
    }
    KillKvrProcesses();
    SetFlashVersion(L"32,0,0,465");
    kvrtest::Process kvr;
    HWND game = kvr.Start(KvrExe(), L"/KvrD") ? WaitForGameWindow(kvr.Id(), kStartMs) : nullptr;
    std::vector<HWND> known;
    bool ok = game != nullptr;
    for (int i = 0; ok && i < count; ++i) ok = LogInTab(game, kvr.Id(), i, known, false);
    if (!ok) {
        std::printf("FAILED\n");
        KillKvrProcesses();
        return 1;
    }
    std::string pids = "PIDS " + std::to_string(kvr.Id());
    for (DWORD id : KvrProcessIds())
        if (id != kvr.Id()) pids += " " + std::to_string(id);
    std::printf("%s\n", pids.c_str());
    std::fflush(stdout);
    char line[16];
    std::fgets(line, sizeof line, stdin);
    ::PostMessageW(game, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (HWND box = WaitForMessageBox(kvr.Id(), game, kStepMs)) AnswerMessageBox(box, true);
    kvr.Wait(kStepMs);
    KillKvrProcesses();
    return 0;
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
    for (int i = 0; i < 2; ++i)
        if (!LogInTab(game, kvr.Id(), i, known, true)) break;

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

int main(int argc, char** argv) {
    ::SetProcessDPIAware();
    if (argc >= 3 && std::string(argv[1]) == "--hold") return HoldTabs(std::atoi(argv[2]));
    const int failed = Walk();
    std::printf("DONE %d\n", failed);
    std::fflush(stdout);
    return failed ? 1 : 0;
}
