// main() of every test executable: GoogleTest with COM and GDI+ started, as
// the program's own start-up does, so window tests see the same platform.
// When every test that ran passed but some were skipped, it names each of
// them on a line of its own: CTest then reports the executable as skipped
// (SKIP_REGULAR_EXPRESSION in tests/CMakeLists.txt), and ./kvr test lists
// them at the end. A failure is never hidden that way, nor is a crash.
#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>
#include <gtest/gtest.h>
#include <cstdio>

namespace {

// A crash in any thread fails the executable. Left to Wine, its debugger
// reports the crash and ends the process with exit code 0, which CTest would
// count as passed.
LONG WINAPI FailOnCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info ? info->ExceptionRecord : nullptr;
    std::fprintf(stderr, "[kvr] crashed: exception 0x%08lX at %p\n", record ? record->ExceptionCode : 0ul,
                 record ? record->ExceptionAddress : nullptr);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

void NameSkippedTests() {
    const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
    for (int i = 0; i < unit.total_test_suite_count(); ++i) {
        const ::testing::TestSuite& suite = *unit.GetTestSuite(i);
        for (int j = 0; j < suite.total_test_count(); ++j) {
            const ::testing::TestInfo& test = *suite.GetTestInfo(j);
            const ::testing::TestResult& result = *test.result();
            if (!result.Skipped()) continue;
            const char* why = result.total_part_count() > 0 ? result.GetTestPartResult(0).message() : "";
            std::printf("[kvr] skipped %s.%s: %s\n", suite.name(), test.name(), why);
        }
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    ::SetUnhandledExceptionFilter(FailOnCrash);
    ::testing::InitGoogleTest(&argc, argv);
    ::OleInitialize(nullptr);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    int rc = RUN_ALL_TESTS();
    if (rc == 0) NameSkippedTests();
    Gdiplus::GdiplusShutdown(token);
    ::OleUninitialize();
    return rc;
}
