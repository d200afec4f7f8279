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
