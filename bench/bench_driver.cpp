// Measures Windows programs from inside Wine for run_bench.py. One command a
// run; prints "key=value" lines.
//   startup TIMEOUT_MS CLASS TITLE EXE [ARGS]  ms until a visible window (200+ px wide) matches,
//                                              then the modules loaded by EXE's process and by
//                                              the window's, and when the window's process was
//                                              started (ms after EXE's)
//   memory SETTLE_MS EXE [ARGS]                private bytes after SETTLE_MS
//   download URL FILE                          kvr.exe's download routine
//   update CONFIG_URL EXE FOLDER               kvr.exe's update check and download: the
//                                              configuration page, EXE's version key, the
//                                              announced build into FOLDER, its signature
//   killall NAME                               ends every process of that image name
// In ARGS, {hwnd} stands for a plain window of this driver (a stand-in game window).
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <cstdio>
#include <string>
#include "base/http_fetch.h"
#include "update/self_update.h"
#include "update/update_signature.h"
#include "update/version_key.h"

namespace {

ULONGLONG NowMs() { return ::GetTickCount64(); }

HWND DummyParent() {
    static HWND h = ::CreateWindowExW(0, L"STATIC", L"KvrBenchParent", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                      nullptr, nullptr);
    return h;
}

std::wstring JoinArgs(int argc, wchar_t** argv, int from) {
    std::wstring s;
    for (int i = from; i < argc; ++i) {
        std::wstring a = argv[i];
        size_t p = a.find(L"{hwnd}");
        if (p != std::wstring::npos)
            a.replace(p, 6, std::to_wstring(reinterpret_cast<UINT_PTR>(DummyParent())));
        if (!s.empty()) s += L' ';
        s += a;
    }
    return s;
}

bool Start(const std::wstring& exe, const std::wstring& args, PROCESS_INFORMATION* pi) {
    std::wstring cmd = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    return ::CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi) != FALSE;
}

void Pump(DWORD ms) {
    const ULONGLONG end = NowMs() + ms;
    while (NowMs() < end) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(5);
    }
}

struct Match {
    const wchar_t* cls;
    const wchar_t* title;
    bool found;
    DWORD pid;  // of the window found
};

// How many modules a process has loaded; 0 when it cannot be asked.
unsigned ModuleCount(HANDLE process) {
    HMODULE first;
    DWORD bytes = 0;
    return process && ::EnumProcessModules(process, &first, sizeof first, &bytes) ? bytes / sizeof(HMODULE) : 0;
}

// The windows of that class and title are listed by the window server; only
// those are asked more. (Asking every top-level window every few ms would
// load the server the measured programs need by as much as they do.)
void FindVisible(Match* m) {
    for (HWND h = ::FindWindowExW(nullptr, nullptr, m->cls, m->title); h;
         h = ::FindWindowExW(nullptr, h, m->cls, m->title)) {
        if (!::IsWindowVisible(h)) continue;
        // The game window stays 1 x 1 until its first page joins; the login
        // window is the first full-size window.
        RECT rc;
        if (!::GetWindowRect(h, &rc) || rc.right - rc.left < 200) continue;
        m->found = true;
        ::GetWindowThreadProcessId(h, &m->pid);
        return;
    }
}

void KillAll(const wchar_t* image) {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof(pe);
    for (BOOL ok = ::Process32FirstW(snap, &pe); ok; ok = ::Process32NextW(snap, &pe)) {
        if (_wcsicmp(pe.szExeFile, image) != 0) continue;
        if (HANDLE p = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pe.th32ProcessID)) {
            ::TerminateProcess(p, 0);
            ::WaitForSingleObject(p, 3000);
            ::CloseHandle(p);
        }
    }
    ::CloseHandle(snap);
}

const wchar_t* Any(const wchar_t* s) { return wcscmp(s, L"-") == 0 ? nullptr : s; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring cmd = argv[1];

    if (cmd == L"startup" && argc >= 6) {
        const DWORD timeout = static_cast<DWORD>(_wtoi(argv[2]));
        Match m{Any(argv[3]), Any(argv[4]), false, 0};
        PROCESS_INFORMATION pi{};
        const ULONGLONG t0 = NowMs();
        if (!Start(argv[5], JoinArgs(argc, argv, 6), &pi)) return 3;
        // A starter that ends once it started the window's program (the bare
        // launcher) is counted as last seen running, every 50 ms.
        unsigned starterModules = 0;
        for (unsigned polls = 0; !m.found && NowMs() - t0 < timeout; ++polls) {
            if (polls % 25 == 0 && ::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT)
                starterModules = ModuleCount(pi.hProcess);
            FindVisible(&m);
            if (m.found) break;
            // A page process started with {hwnd} sends to its owner window.
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
            ::Sleep(2);
        }
        std::printf("startup_ms=%llu\nfound=%d\n", NowMs() - t0, m.found ? 1 : 0);
        if (m.found) {
            HANDLE owner = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, m.pid);
            if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) starterModules = ModuleCount(pi.hProcess);
            std::printf("starter_modules=%u\nwindow_modules=%u\n", starterModules, ModuleCount(owner));
            FILETIME starterCreated, ownerCreated, unused[3];
            if (owner && ::GetProcessTimes(pi.hProcess, &starterCreated, &unused[0], &unused[1], &unused[2]) &&
                ::GetProcessTimes(owner, &ownerCreated, &unused[0], &unused[1], &unused[2])) {
                const auto ticks = [](const FILETIME& f) {
                    return static_cast<long long>((static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
                };
                std::printf("window_process_after_ms=%lld\n", (ticks(ownerCreated) - ticks(starterCreated)) / 10000);
            }
            if (owner) ::CloseHandle(owner);
        }
        ::TerminateProcess(pi.hProcess, 0);
        ::CloseHandle(pi.hProcess);
        ::CloseHandle(pi.hThread);
        return m.found ? 0 : 1;
    }
    if (cmd == L"memory" && argc >= 4) {
        PROCESS_INFORMATION pi{};
        if (!Start(argv[3], JoinArgs(argc, argv, 4), &pi)) return 3;
        Pump(static_cast<DWORD>(_wtoi(argv[2])));
        PROCESS_MEMORY_COUNTERS_EX pmc{};
        pmc.cb = sizeof(pmc);
        BOOL ok = ::GetProcessMemoryInfo(pi.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc));
        std::printf("private_bytes=%llu\nworking_set=%llu\nwin_pid=%lu\nok=%d\n",
                    static_cast<unsigned long long>(pmc.PrivateUsage),
                    static_cast<unsigned long long>(pmc.WorkingSetSize), pi.dwProcessId, ok ? 1 : 0);
        std::fflush(stdout);
        ::TerminateProcess(pi.hProcess, 0);
        ::CloseHandle(pi.hProcess);
        ::CloseHandle(pi.hThread);
        return ok ? 0 : 1;
    }
    if (cmd == L"download" && argc >= 4) {
        const ULONGLONG t0 = NowMs();
        bool ok = kvr::Download(argv[2], argv[3]);
        std::printf("download_ms=%llu\nok=%d\n", NowMs() - t0, ok ? 1 : 0);
        return ok ? 0 : 1;
    }
    if (cmd == L"update" && argc >= 5) {
        const std::wstring folder = argv[4];
        const ULONGLONG t0 = NowMs();
        kvr::UpdateConfig config;
        bool ok = kvr::FetchUpdateConfig(argv[2], &config);
        const std::wstring local = kvr::VersionKeyOfFile(argv[3]);
        ok = ok && !local.empty() && !kvr::VersionKeysMatch(config.key, local);
        const std::wstring target = folder + L"\\NewKvr.exe";
        ok = ok && kvr::Download(config.address.c_str(), target.c_str());
        // The maker's signature, checked as the update is before its swap.
        ok = ok && kvr::HeldFile(target.c_str(), kvr::HeldFile::Use::Move).SignatureVerifies(config.signature.c_str());
        std::printf("update_ms=%llu\nok=%d\n", NowMs() - t0, ok ? 1 : 0);
        return ok ? 0 : 1;
    }
    if (cmd == L"killall" && argc >= 3) {
        KillAll(argv[2]);
        return 0;
    }
    return 2;
}
