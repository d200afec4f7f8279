// main() of every test executable: GoogleTest with COM and GDI+ started, as
// the program's own start-up does, so window tests see the same platform.
#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::OleInitialize(nullptr);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    int rc = RUN_ALL_TESTS();
    Gdiplus::GdiplusShutdown(token);
    ::OleUninitialize();
    return rc;
}
