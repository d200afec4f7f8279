#include <gtest/gtest.h>
#include "app/pathwick3_app.h"

using kvr::App;

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
