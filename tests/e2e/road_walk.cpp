// kvr_walk: walks the road of one login on a headless display for `./kvr run`
// (tools/run_client.py). Each step prints one line "STEP <name>|<summary>" and
// waits for a line on stdin, so the caller can take its screenshot of that
// step first. Ends with "DONE <n failed>"; exit code 0 when every step passed.
//
// `kvr_walk --hold N` logs N accounts in as tabs of one game window for the
// benchmarks (bench/run_bench.py), printing "LOGIN <i> <ms>" per tab (ms until
// its login window showed: from the start for the first, from the choice "in
// this window" of the add-account dialog for the others) and "PIDS <game
// window> <page>...". Then it takes commands on stdin, one a line, each
// answered by lines ending in "OK" or "FAILED ...":
//   add            one more account as a tab (LOGIN and PIDS again)
//   measure        "PROC <pid> <working set> <handles> <GDI> <USER> <windows>" per process
//   soak S B M     S tab switches, B boss-key hides and restores, M mute toggles
//   exit           (or an empty line, or the end of input) exit all
#include <windows.h>
#include <psapi.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "base/endpoints.h"
#include "base/messages.h"
#include "browser/test_hooks.h"
#include "gamewnd/tab_strip.h"
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
// With `steps`, reports the login page and the tab as two steps. loginMs: how
// long the login window took to show (from `since`).
bool LogInTab(HWND game, DWORD gamePid, int i, std::vector<HWND>& known, bool steps, ULONGLONG since = 0,
              ULONGLONG* loginMs = nullptr) {
    const std::string n = std::to_string(i + 1);
    if (i > 0) {
        since = ::GetTickCount64();
        ::PostMessageW(game, kvr::WM_KVR_ADD_ACCOUNT, 1, 0);  // "other account", this window
    }
    // The login window: the page dialog, hidden until its page has loaded,
    // over its background window, which shows at once.
    HWND login = WaitForLoginPage(gamePid, known, kStartMs);
    DWORD pagePid = 0;
    if (login) ::GetWindowThreadProcessId(login, &pagePid);
    if (!login || !kvrtest::WaitForWindow(L"#32770", nullptr, kStepMs, pagePid, true)) {
        if (steps) Step(("login" + n).c_str(), false, "no login page appeared");
        return false;
    }
    if (loginMs) *loginMs = ::GetTickCount64() - since;
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

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// The benchmarks' session: one game window whose tabs grow and are driven.
class HeldWindow {
public:
    bool Start() {
        KillKvrProcesses();
        SetFlashVersion(L"32,0,0,465");
        m_started = ::GetTickCount64();
        if (!m_kvr.Start(KvrExe(), L"/KvrD")) return false;
        m_game = WaitForGameWindow(m_kvr.Id(), kStartMs);
        return m_game != nullptr;
    }

    bool AddTab() {
        const int i = static_cast<int>(m_known.size());
        if (i >= 3) return false;  // a game window holds at most three
        ULONGLONG ms = 0;
        if (!LogInTab(m_game, m_kvr.Id(), i, m_known, false, m_started, &ms)) return false;
        Say("LOGIN " + std::to_string(i + 1) + " " + std::to_string(ms));
        std::string pids = "PIDS " + std::to_string(m_kvr.Id());
        for (DWORD id : KvrProcessIds())
            if (id != m_kvr.Id()) pids += " " + std::to_string(id);
        Say(pids);
        return true;
    }

    // Working set, handles, GDI and USER objects and windows of every
    // kvr.exe, the game window first. Wine reports no handle, GDI or USER
    // counts of other processes (they read 0); the windows a process owns
    // are counted here, from outside, on every system.
    void Measure() {
        std::vector<DWORD> ids{m_kvr.Id()};
        for (DWORD id : KvrProcessIds())
            if (id != m_kvr.Id()) ids.push_back(id);
        std::vector<DWORD> owners;
        ::EnumWindows(CollectOwners, reinterpret_cast<LPARAM>(&owners));
        for (DWORD id : ids) {
            HANDLE p = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
            if (!p) continue;
            PROCESS_MEMORY_COUNTERS pmc{};
            pmc.cb = sizeof pmc;
            ::GetProcessMemoryInfo(p, &pmc, sizeof pmc);
            DWORD handles = 0;
            ::GetProcessHandleCount(p, &handles);
            Say("PROC " + std::to_string(id) + " " + std::to_string(pmc.WorkingSetSize) + " " +
                std::to_string(handles) + " " + std::to_string(::GetGuiResources(p, GR_GDIOBJECTS)) + " " +
                std::to_string(::GetGuiResources(p, GR_USEROBJECTS)) + " " +
                std::to_string(std::count(owners.begin(), owners.end(), id)));
            ::CloseHandle(p);
        }
    }

    // Drives the window as a long session does; the steps that did not take
    // effect within their limit are reported by kind.
    std::string Soak(int switches, int boss, int mutes) {
        const int count = static_cast<int>(PageFrames(m_game).size());
        if (count < 2) return "FAILED fewer than two tabs";
        int missedSwitches = 0, missedBoss = 0;
        ::SetForegroundWindow(m_game);
        for (int i = 0; i < switches; ++i) {
            HWND before = ShownFrame();
            // Each click names the tab after the one the last click showed,
            // across calls, so no click falls on the tab already shown.
            const RECT tab = kvr::TabRect(m_nextTab++ % count);
            const LPARAM at = MAKELPARAM(tab.left + 40, tab.top + 10);
            ::PostMessageW(m_game, WM_LBUTTONDOWN, MK_LBUTTON, at);
            ::PostMessageW(m_game, WM_LBUTTONUP, 0, at);
            if (!kvrtest::WaitUntil([&] { HWND now = ShownFrame(); return now && now != before; }, 5000))
                ++missedSwitches;
        }
        for (int i = 0; i < boss; ++i) {
            kvrtest::PressKeys({VK_F10});
            if (!kvrtest::WaitUntil([&] { return !::IsWindowVisible(m_game); }, 5000)) ++missedBoss;
            kvrtest::PressKeys({VK_F10});
            if (!kvrtest::WaitUntil([&] { return ::IsWindowVisible(m_game) != FALSE; }, 5000)) ++missedBoss;
        }
        for (int i = 0; i < mutes; ++i) {
            kvrtest::PressKeys({VK_CONTROL, 'Q'});
            ::Sleep(30);
        }
        DWORD_PTR result = 0;  // every key handled before the next measurement
        ::SendMessageTimeoutW(m_game, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
        ::Sleep(500);
        if (!missedSwitches && !missedBoss) return "OK";
        return "FAILED within 5 s: " + std::to_string(missedSwitches) + " tab switches, " +
               std::to_string(missedBoss) + " boss-key steps did not show";
    }

    void ExitAll() {
        ::PostMessageW(m_game, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (HWND box = WaitForMessageBox(m_kvr.Id(), m_game, kStepMs)) AnswerMessageBox(box, true);
        m_kvr.Wait(kStepMs);
        KillKvrProcesses();
    }

private:
    // The owning process of every window, top-level and child, once per window.
    static BOOL CALLBACK CollectOwners(HWND h, LPARAM lp) {
        auto* owners = reinterpret_cast<std::vector<DWORD>*>(lp);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(h, &pid);
        owners->push_back(pid);
        ::EnumChildWindows(h, CollectChildOwner, lp);
        return TRUE;
    }
    static BOOL CALLBACK CollectChildOwner(HWND h, LPARAM lp) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(h, &pid);
        reinterpret_cast<std::vector<DWORD>*>(lp)->push_back(pid);
        return TRUE;
    }

    // The one page frame shown (the active tab); nullptr while none or two are.
    HWND ShownFrame() const {
        HWND shown = nullptr;
        for (HWND f : PageFrames(m_game)) {
            if (!::IsWindowVisible(f)) continue;
            if (shown) return nullptr;
            shown = f;
        }
        return shown;
    }

    kvrtest::Process m_kvr;
    HWND m_game = nullptr;
    int m_nextTab = 0;  // the tab the soak clicks next
    ULONGLONG m_started = 0;
    std::vector<HWND> m_known;
};

int HoldTabs(int count) {
    HeldWindow window;
    bool ok = count >= 1 && count <= 3 && window.Start();
    for (int i = 0; ok && i < count; ++i) ok = window.AddTab();
    if (!ok) {
        Say("FAILED");
        KillKvrProcesses();
        return 1;
    }
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        int switches = 0, boss = 0, mutes = 0;
        if (std::strncmp(line, "add", 3) == 0) {
            Say(window.AddTab() ? "OK" : "FAILED");
        } else if (std::strncmp(line, "measure", 7) == 0) {
            window.Measure();
            Say("OK");
        } else if (std::sscanf(line, "soak %d %d %d", &switches, &boss, &mutes) == 3) {
            Say(window.Soak(switches, boss, mutes));
        } else {
            break;  // "exit", an empty line
        }
    }
    window.ExitAll();
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
