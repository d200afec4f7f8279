#include <gtest/gtest.h>
#include <string>
#include "app/pathwick3_app.h"

using kvr::App;

TEST(AppObject, TextsAreCutToTheirBuffers) {
    const std::wstring longUrl = L"http://127.0.0.1/" + std::wstring(700, L'a');
    App().SetUpdateAddress(longUrl.c_str());
    EXPECT_EQ(std::wstring(App().UpdateAddress()), longUrl.substr(0, 511));
    App().SetPageTitle(longUrl.c_str());
    EXPECT_EQ(wcslen(App().PageTitle()), 511u);
    App().SetPageAddress(nullptr);
    EXPECT_STREQ(App().PageAddress(), L"");
    App().SetUpdateAddress(L"");
}

TEST(AppObject, ReportEventsAreManualResetAndStartUnsignalled) {
    kvr::ReportEvents& events = App().Events();
    ASSERT_NE(events.started, nullptr);
    ASSERT_NE(events.done, nullptr);
    EXPECT_EQ(::WaitForSingleObject(events.started, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ::SetEvent(events.done);
    // Manual reset: a second waiter still sees it.
    EXPECT_EQ(::WaitForSingleObject(events.done, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(::WaitForSingleObject(events.done, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ::ResetEvent(events.done);
    EXPECT_EQ(&App().Events(), &events);  // one pair for the process
}
