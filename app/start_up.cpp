// Start-up of every process of the program, in its fixed order: crash filter,
// command line, common controls, network check, report events, the short
// modes, GDI+, then the window of the mode. The game window's program puts
// its first page process first: the common controls, the start report and
// GDI+ come while that page loads.
#include "app/pathwick3_app.h"

#include <objbase.h>
#include <ole2.h>
#include <wininet.h>
#include <gdiplus.h>
#include "base/crash_dump.h"
#include "base/endpoints.h"
#include "base/messages.h"
#include "base/module_path.h"
#include "base/process.h"
#include "base/settings.h"
#include "base/system_library.h"
#include "base/web_page.h"
#include "browser/cache_clear.h"
#include "gamewnd/game_window.h"
#include "install/install.h"
#include "install/statistics.h"
#include "install/uninstall.h"
#include "login/login.h"
#include "ui/message_box.h"
#include "ui/window.h"
#include "update/flash_check.h"
#include "update/self_update.h"

namespace kvr {
namespace {

// The running executable again, without arguments, at idle priority, after
// an update was swapped in.
void RestartWithoutArguments() {
    wchar_t exePath[MAX_PATH];
    if (ModulePath(nullptr, exePath, MAX_PATH)) StartProgram(exePath, IDLE_PRIORITY_CLASS);
}

void WaitForReportDone(const ReportEvents& events) {
    if (events.done) ::WaitForSingleObject(events.done, INFINITE);
}

bool ShowsGameWindow(StartMode mode) {
    return mode == StartMode::GameShortcut || mode == StartMode::Plain || mode == StartMode::Update;
}

// How long the game window's program waits for its first page's login window
// before it makes its own window anyway.
constexpr DWORD kFirstLoginWaitMs = 10000;

}  // namespace

bool CPathwick3App::InitInstance() {
    // 1. Crash dump first, so that everything after it is covered.
    InstallCrashDumpFilter();

    // 2. Command line. A login's page process begins its login window's
    //    picture at once, on a thread of its own (nothing shows until the
    //    window does, after the network check).
    m_args = ParseProcessCommandLine();
    if (m_args.mode == StartMode::NewPage) m_loginPicture = LoginPicture::Start();

    // 3. Every common control class. Not yet in the game window's program:
    //    loading them starts the display driver, which its first page process
    //    needs for itself meanwhile (they come with the first dialog).
    if (!ShowsGameWindow(m_args.mode)) RegisterCommonControls();

    // 4. Framework: our message loop for this thread. ActiveX containment is
    //    the browser host's own OLE container; OLE itself is started by the
    //    processes that host a control (modes 6, 7).
    CMessageLoop::Current();

    // 5. Nothing else may happen without the network: no report, no window.
    //    The check connects directly; behind a proxy only a request through
    //    the system's settings gets through.
    if (!EnsureSystemLibrary(L"wininet.dll") ||
        (!::InternetCheckConnectionW(ProbeUrl(), FLAG_ICC_FORCE_CONNECTION, 0) && !ProbeAnswers(ProbeUrl()))) {
        ShowMessageBox(kMbOk, kMessageTitle, L"当前网络不可用，请检查网络连接是否正常！", nullptr);
        return false;
    }

    // 6. Report events.
    CreateEvents();

    // 7. Short modes that need neither GDI+ nor a window.
    switch (m_args.mode) {
    case StartMode::GameShortcut:
        if (UpdateAndRestart(true)) return false;
        break;
    case StartMode::Uninstall:
        if (ShowMessageBox(kMbYesNo, kMessageTitle, L"确定要移除 MarvoleKelvara极速登录器吗？",
                           nullptr) == IDYES) {
            Uninstall(m_events);
            WaitForReportDone(m_events);
        }
        return false;
    case StartMode::Update:
        if (UpdateAndRestart(false)) return false;
        break;
    default:
        break;
    }

    // 8. GDI+ for every window that follows. The game window's program
    //    starts it once its first page process is on its way.
    if (!ShowsGameWindow(m_args.mode)) StartGdiplus();

    // 9. The modes' own work.
    switch (m_args.mode) {
    case StartMode::Install:
        InstallProgram();  // copies, makes shortcuts and starts the installed copy
        WriteDisableDays();
        SendInstallReport(m_events);
        WaitForReportDone(m_events);
        return false;
    case StartMode::PortalShortcut:
        OpenWebPage(PortalHomeUrl(), SW_SHOWMAXIMIZED);
        SendActiveReport(true, m_events);
        WaitForReportDone(m_events);
        return false;
    default:
        break;
    }
    return RunWindowModes();
}

// Modes 2 and 5: true when an update was installed and the new executable
// started, so this process ends.
bool CPathwick3App::UpdateAndRestart(bool throttled) {
    // Unthrottled, the game window checked before it started us; this fetch
    // only brings what the page offers.
    const UpdateFound found = CheckUpdate(throttled);
    if (throttled && found.result != UpdateCheck::Newer) return false;
    const UpdateInstall installed = InstallUpdate(found.offered);
    if (installed == UpdateInstall::Refused) return false;
    if (installed == UpdateInstall::OldKvrOnly) {
        // No program where the shortcuts point until the next restart: this
        // build goes on from where it is now, and checks no more today.
        StoreUpdateTime();
        return StartOldKvr(OwnProgramPath().c_str());
    }
    RestartWithoutArguments();
    StoreUpdateTime();
    if (throttled) {
        // The new build gets shortcuts of its own version.
        HRESULT hr = ::CoInitialize(nullptr);
        wchar_t exePath[MAX_PATH];
        if (ModulePath(nullptr, exePath, MAX_PATH)) CreateShortcuts(exePath);
        if (SUCCEEDED(hr)) ::CoUninitialize();
    }
    return true;
}

bool CPathwick3App::RunWindowModes() {
    SetCacheLimit();
    if (m_args.mode == StartMode::NewPage || m_args.mode == StartMode::GameHall)
        return RunPageProcess();
    if (ShowsGameWindow(m_args.mode)) RunGameWindowWithFlashCheck();
    return false;
}

bool CPathwick3App::RunPageProcess() {
    if (FAILED(::OleInitialize(nullptr))) {
        ShowMessageBox(kMbOk, kMessageTitle, L"初始化OLE库失败", nullptr);
        return false;
    }
    m_oleInitialized = true;
    const bool hall = m_args.mode == StartMode::GameHall;
    std::wstring gameUrl;
    if (!hall && !m_args.parent && !m_args.windowPipe) return false;  // no game window to log in to
    if (!hall) {
        // A game window's first page, started before the window, shows its
        // login window meanwhile; the window's handle comes once it exists.
        // Anything but an accepted login (a cancel, no window, or a window
        // that could not be shown) gives up, so the game window does not wait
        // for us (one that never came sees this process end).
        OwnedHandle windowPipe(m_args.parent ? nullptr : m_args.windowPipe);
        std::optional<std::wstring> login =
            RunLogin(&m_args.parent, m_args.pageCount, std::move(m_loginPicture), std::move(windowPipe));
        if (!login) {
            if (m_args.parent) ::PostMessageW(m_args.parent, WM_SYSCOMMAND, SC_CLOSE, kSelfPostedMarker);
            return false;
        }
        gameUrl = std::move(*login);
    }
    // The frame starts hidden and shows itself when its page is ready.
    m_page = PageProcess::Create(m_args.parent, hall, gameUrl);
    return m_page != nullptr;
}

void CPathwick3App::StartGdiplus() {
    if (m_gdiplusToken) return;
    Gdiplus::GdiplusStartupInput gdiplusInput;
    if (EnsureSystemLibrary(L"gdiplus.dll")) Gdiplus::GdiplusStartup(&m_gdiplusToken, &gdiplusInput, nullptr);
}

void CPathwick3App::RunGameWindowWithFlashCheck() {
    // The first page process loads and shows its login window before this
    // one reports the start, loads the common controls and GDI+ and makes
    // its window, which stays practically invisible until that page
    // registers: on a machine of few cores the two would only slow each
    // other. The page learns the window's handle through its pipe once the
    // window exists. The Flash check only reads the registry; a question
    // comes after the start was reported.
    const auto startFirstPage = [] {
        FirstPage page = StartFirstPage(OwnProgramPath());
        if (page.process) ::WaitForInputIdle(page.process.get(), kFirstLoginWaitMs);
        return page;
    };
    const bool flashCurrent = FlashPlayerIsCurrent();
    FirstPage firstPage;
    if (flashCurrent) firstPage = startFirstPage();
    if (m_args.mode != StartMode::Update) SendActiveReport(false, m_events);  // waits only until the worker started
    StartGdiplus();
    if (!flashCurrent) {
        if (ShowMessageBox(kMbYesNo, kMessageTitle,
                           L"您当前的Flash Player版本过低，是否安装更高版本的Flash Player ?",
                           nullptr) == IDYES) {
            OpenWebPage(FlashDownloadUrl(), SW_SHOWMAXIMIZED);
            return;
        }
        firstPage = startFirstPage();
    }
    RunGameWindow(std::move(firstPage));
}

}  // namespace kvr
