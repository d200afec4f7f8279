#include "app/pathwick3_app.h"

#include <objbase.h>
#include <gdiplus.h>
#include <utility>
#include "base/owned.h"
#include "gamewnd/game_window.h"
#include "ui/window.h"

namespace kvr {
namespace {

CPathwick3App* g_app = nullptr;

// Manual reset, unsignalled: the report thread sets it, the starter resets.
// Whichever thread comes first stores its event; a later one closes its own.
void CreateEventOnce(HANDLE* slot) {
    if (*slot) return;
    OwnedHandle made(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (made && !::InterlockedCompareExchangePointer(slot, made.get(), nullptr)) made.release();
}

// The pair goes to the report workers as plain handles; the application
// object owns them and closes them here.
void CloseEvents(ReportEvents& events) {
    OwnedHandle(std::exchange(events.started, nullptr)).reset();
    OwnedHandle(std::exchange(events.done, nullptr)).reset();
}

}  // namespace

CPathwick3App::CPathwick3App(HINSTANCE instance) : m_instance(instance) {
    if (!g_app) g_app = this;
}

CPathwick3App::~CPathwick3App() {
    CloseEvents(m_events);
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
    CloseEvents(m_events);
    if (m_gdiplusToken) Gdiplus::GdiplusShutdown(m_gdiplusToken);
    m_gdiplusToken = 0;
    if (m_oleInitialized) ::OleUninitialize();
    m_oleInitialized = false;
    return 0;
}

}  // namespace kvr
