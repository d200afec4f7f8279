// A process the program starts runs in a folder the program chose, never in
// the one it would inherit (a download folder, where older loaders look for
// its libraries).
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "base/owned.h"
#include "base/process.h"
#include "base/system_library.h"
#include "base/window_handoff.h"
#include "tests/install/scratch.h"

// The current directory of a child started in currentDirectory, as cmd.exe's "cd" prints it.
static std::string CurrentDirectoryOfChild(const kvrtest::ScratchDir& scratch, const wchar_t* currentDirectory) {
    const std::wstring out = scratch / L"cd.txt";
    HANDLE started = nullptr;
    if (!kvr::StartProcess(nullptr, L"\"" + kvr::SystemFolder() + L"\\cmd.exe\" /c cd > \"" + out + L"\"",
                           CREATE_NO_WINDOW, &started, currentDirectory))
        return "not started";
    ::WaitForSingleObject(kvr::OwnedHandle(started).get(), 30000);
    const std::string text = kvrtest::ReadFileBytes(out);
    return text.substr(0, text.find_first_of("\r\n"));
}

static std::string Narrow(const std::wstring& path) { return std::string(path.begin(), path.end()); }

TEST(StartProcessTest, RunsInTheSystemFolderOrTheOneGivenNeverInTheInheritedOne) {
    kvrtest::ScratchDir downloads(L"kvr-downloads"), work(L"kvr-work");
    wchar_t own[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, own);
    ASSERT_TRUE(::SetCurrentDirectoryW(downloads.path().c_str()));
    const std::string byDefault = CurrentDirectoryOfChild(work, nullptr);
    const std::string given = CurrentDirectoryOfChild(work, work.path().c_str());
    ::SetCurrentDirectoryW(own);
    EXPECT_STRCASEEQ(byDefault.c_str(), Narrow(kvr::SystemFolder()).c_str());
    EXPECT_STRCASEEQ(given.c_str(), Narrow(work.path()).c_str());
}

// A first page started before its game window waits on the pipe for the
// window; anything but one live window's handle ends the wait with none.
TEST(WindowHandoff, OnlyALiveWindowArrivesAndAWriterGoneUnsentEndsTheWait) {
    using kvr::ReceiveWindow;
    const HWND window = ::GetDesktopWindow();
    kvr::WindowHandoff sent = kvr::CreateWindowHandoff();
    ASSERT_TRUE(kvr::SendWindow(sent.writeEnd.get(), window));
    EXPECT_EQ(ReceiveWindow(sent.readEnd.get()), window);

    kvr::WindowHandoff unsent = kvr::CreateWindowHandoff();
    unsent.writeEnd.reset();
    EXPECT_EQ(ReceiveWindow(unsent.readEnd.get()), nullptr);

    kvr::WindowHandoff gone = kvr::CreateWindowHandoff();
    ASSERT_TRUE(kvr::SendWindow(gone.writeEnd.get(), reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7FFF0123))));
    EXPECT_EQ(ReceiveWindow(gone.readEnd.get()), nullptr);

    // A handle value naming no pipe (another kind of object, or none).
    const kvr::OwnedHandle event(::CreateEventW(nullptr, TRUE, TRUE, nullptr));
    EXPECT_EQ(ReceiveWindow(event.get()), nullptr);
    EXPECT_EQ(ReceiveWindow(nullptr), nullptr);
}

// A first page reads the pipe on a thread while its login window works: the
// window is told once the reading is done, and the handle comes only from the
// reader, which may outlive the one who started it.
TEST(WindowHandoff, ArrivalIsReadBesideTheWindowAndTheReaderOutlivesItsStarter) {
    const HWND target = ::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(target, nullptr);
    auto toldWithin = [target](DWORD ms) {
        MSG msg;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_POSTMESSAGE);
        return ::PeekMessageW(&msg, target, WM_APP, WM_APP, PM_REMOVE) != FALSE;
    };
    kvr::WindowHandoff sent = kvr::CreateWindowHandoff();
    auto arrival = kvr::WindowArrival::Start(std::move(sent.readEnd), target, WM_APP);
    ASSERT_TRUE(arrival);
    EXPECT_FALSE(arrival->Wait(0));
    EXPECT_EQ(arrival->Window(), nullptr);
    ASSERT_TRUE(kvr::SendWindow(sent.writeEnd.get(), ::GetDesktopWindow()));
    EXPECT_TRUE(arrival->Wait(5000));
    EXPECT_EQ(arrival->Window(), ::GetDesktopWindow());
    EXPECT_TRUE(toldWithin(5000));

    // Its starter gone while it still waits; then the writer goes unsent.
    kvr::WindowHandoff unsent = kvr::CreateWindowHandoff();
    EXPECT_TRUE(kvr::WindowArrival::Start(std::move(unsent.readEnd), target, WM_APP));
    unsent.writeEnd.reset();
    EXPECT_TRUE(toldWithin(5000));
    ::DestroyWindow(target);
}
