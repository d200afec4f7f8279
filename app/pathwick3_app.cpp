#include "app/pathwick3_app.h"

#include <objbase.h>
#include <gdiplus.h>
#include <mutex>
#include "ui/window.h"

namespace kvr {
namespace {

CPathwick3App* g_app = nullptr;

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
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    // Manual reset, unsignalled: the report thread sets them, the starter resets.
    if (!m_events.started) m_events.started = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_events.done) m_events.done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

ReportEvents& CPathwick3App::Events() {
    if (!m_events.started || !m_events.done) CreateEvents();
    return m_events;
}

void CPathwick3App::SetUpdateAddress(const wchar_t* url) {
    ::lstrcpynW(m_updateAddress, url ? url : L"", kUrlChars);
}

void CPathwick3App::SetPageTitle(const wchar_t* text) {
    ::lstrcpynW(m_pageTitle, text ? text : L"", kUrlChars);
}

void CPathwick3App::SetPageAddress(const wchar_t* url) {
    ::lstrcpynW(m_pageAddress, url ? url : L"", kUrlChars);
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
