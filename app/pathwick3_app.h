// The application object: start-up in its fixed order, the start modes,
// shut-down, and what the process holds meanwhile (its command line, the
// report events, GDI+ and OLE). Nothing below the application reads it: what
// a part needs of it is passed to that part.
#pragma once
#include <windows.h>
#include <memory>
#include "base/command_line.h"
#include "base/http_fetch.h"
#include "login/login_picture.h"

namespace kvr {

class PageProcess;

class CPathwick3App {
public:
    explicit CPathwick3App(HINSTANCE instance);
    ~CPathwick3App();
    CPathwick3App(const CPathwick3App&) = delete;
    CPathwick3App& operator=(const CPathwick3App&) = delete;

    // Start-up, the message loop when start-up says so, shut-down.
    int Run(int showCmd);
    // Start-up (app/start_up.cpp): true = run the message loop (modes 6, 7).
    bool InitInstance();
    // Shut-down: the two events, GDI+, OLE.
    int ExitInstance();

    HINSTANCE Instance() const { return m_instance; }
    // Started and done events of background reports; created by start-up
    // (CreateEvents), or on first use in processes without start-up (tests).
    ReportEvents& Events();
    void CreateEvents();

    // From the command line.
    StartMode Mode() const { return m_args.mode; }
    HWND ParentWindow() const { return m_args.parent; }
    int PageCount() const { return m_args.pageCount; }
    void SetStartArgs(const StartArgs& args) { m_args = args; }

private:
    // Parts of start-up (app/start_up.cpp).
    bool UpdateAndRestart(bool throttled);  // modes 2, 5: true = end the program
    bool RunWindowModes();                  // step 9's default branch
    bool RunPageProcess();                  // modes 6, 7
    void RunGameWindowWithFlashCheck();     // modes 2, 3, 5
    void StartGdiplus();                    // once a process

    HINSTANCE m_instance;
    ReportEvents m_events;
    ULONG_PTR m_gdiplusToken = 0;
    bool m_oleInitialized = false;
    StartArgs m_args;
    std::unique_ptr<PageProcess> m_page;  // a page process's windows, kept until the process ends
    std::unique_ptr<LoginPicture> m_loginPicture;  // a login's page process: until its login window takes it
};

// The application object of this process. In kvr.exe it is the one main()
// made; a process without one (a test) gets one on first use.
CPathwick3App& App();

}  // namespace kvr
