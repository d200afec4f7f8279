#include "app/pathwick3_app.h"

#include <objbase.h>
#include <gdiplus.h>
#include "gamewnd/game_window.h"
#include "ui/window.h"

namespace kvr {
namespace {

CPathwick3App* g_app = nullptr;

// Manual reset, unsignalled: the report thread sets it, the starter resets.
// Whichever thread comes first stores its event; a later one closes its own.
void CreateEventOnce(HANDLE* slot) {
    if (*slot) return;
    HANDLE made = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (made && ::InterlockedCompareExchangePointer(slot, made, nullptr)) ::CloseHandle(made);
}

}  // namespace

CPathwick3App::CPathwick3App(HINSTANCE instance) : m_instance(instance) {
    if (!g_app) g_app = this;
}

CPathwick3App::~CPathwick3App() {
    if (m_events.started) ::CloseHandle(m_events.started);
    if (m_events.done) ::CloseHandle(m_events.done);
    if (g_app == this) g_app = nullptr;
}

CPathwick3App& App() {
    if (g_app) return *g_app;
    // A process whose main() made no application object (a test).
    static CPathwick3App fallback(::GetModuleHandleW(nullptr));
    return g_app ? *g_app : fallback;
}

int CPathwick3App::Run(int) {
    int code = 0;
    if (InitInstance()) code = CMessageLoop::Current().Run();
    int exitCode = ExitInstance();
    return code ? code : exitCode;
}

void CPathwick3App::CreateEvents() {
    CreateEventOnce(&m_events.started);
    CreateEventOnce(&m_events.done);
}

ReportEvents& CPathwick3App::Events() {
    if (!m_events.started || !m_events.done) CreateEvents();
    return m_events;
}

int CPathwick3App::ExitInstance() {
    // Order: started event, done event, GDI+, then the framework (OLE).
    if (m_events.started) ::CloseHandle(m_events.started);
    m_events.started = nullptr;
    if (m_events.done) ::CloseHandle(m_events.done);
    m_events.done = nullptr;
    if (m_gdiplusToken) Gdiplus::GdiplusShutdown(m_gdiplusToken);
    m_gdiplusToken = 0;
    if (m_oleInitialized) ::OleUninitialize();
    m_oleInitialized = false;
    return 0;
}

}  // namespace kvr
