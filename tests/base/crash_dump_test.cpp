#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>
#include <string>
#include <utility>
#include "base/crash_dump.h"
#include "base/module_path.h"
#include "base/owned.h"
#include "tests/install/scratch.h"

using kvr::DumpPathFor;

namespace {

std::wstring TestDir() {
    wchar_t path[MAX_PATH];
    kvr::ModulePath(nullptr, path, MAX_PATH);
    ::PathRemoveFileSpecW(path);
    return path;
}

std::string ReadHead(const std::wstring& file, DWORD* sizeOut) {
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    char head[4] = {};
    DWORD got = 0;
    ::ReadFile(h, head, 4, &got, nullptr);
    *sizeOut = ::GetFileSize(h, nullptr);
    ::CloseHandle(h);
    return std::string(head, got);
}

// Runs a copy of crash_child.exe at exePath and waits for it to die.
void RunCrashingCopy(const std::wstring& exePath) {
    ASSERT_TRUE(::CopyFileW((TestDir() + L"\\crash_child.exe").c_str(), exePath.c_str(), FALSE))
        << ::GetLastError();
    // The system's crash handling (Wine's debugger) must not wait for a click.
    HKEY key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", 0, nullptr, 0, KEY_WRITE, nullptr,
                          &key, nullptr) == ERROR_SUCCESS) {
        DWORD zero = 0;
        ::RegSetValueExW(key, L"ShowCrashDialog", 0, REG_DWORD, reinterpret_cast<BYTE*>(&zero), 4);
        ::RegCloseKey(key);
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exePath + L"\"";
    ASSERT_TRUE(::CreateProcessW(exePath.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &si, &pi))
        << ::GetLastError();
    DWORD wait = ::WaitForSingleObject(pi.hProcess, 60000);
    if (wait != WAIT_OBJECT_0) ::TerminateProcess(pi.hProcess, 1);
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ASSERT_EQ(wait, WAIT_OBJECT_0) << "the crashing process did not end";
    EXPECT_NE(code, 0u);
}

std::wstring FreshDir(const std::wstring& name) {
    std::wstring dir = TestDir() + L"\\" + name;
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

}  // namespace

TEST(CrashDump, PathIsCutAtTheLastDot) {
    wchar_t out[MAX_PATH];
    EXPECT_TRUE(DumpPathFor(L"C:\\Games\\kvr.exe", out));
    EXPECT_STREQ(out, L"C:\\Games\\kvr.dmp");
    EXPECT_TRUE(DumpPathFor(L"C:\\a.b\\kvr.v2.exe", out));
    EXPECT_STREQ(out, L"C:\\a.b\\kvr.v2.dmp");
    // A dotless file name in a dotted folder: cut inside the folder name.
    EXPECT_TRUE(DumpPathFor(L"C:\\dir.v2\\kvr", out));
    EXPECT_STREQ(out, L"C:\\dir.dmp");
    EXPECT_FALSE(DumpPathFor(L"C:\\Games\\kvr", out));
    EXPECT_STREQ(out, L"");
    // The result must fit 260 characters with its terminator.
    std::wstring fits = L"C:\\" + std::wstring(251, L'a') + L".exe";  // stem 254 + ".dmp" = 258
    EXPECT_TRUE(DumpPathFor(fits.c_str(), out));
    std::wstring tooLong = L"C:\\" + std::wstring(253, L'a') + L".e";  // stem 256 + 4 = 260
    EXPECT_FALSE(DumpPathFor(tooLong.c_str(), out));
}

TEST(CrashDump, CrashingProcessLeavesDumpNextToItsExecutable) {
    const std::wstring dir = FreshDir(L"crash_plain");
    const std::wstring dump = dir + L"\\kvrcrash.dmp";
    ::DeleteFileW(dump.c_str());
    // What lies in the dump's place goes first and is never written
    // through: here one name of another file (a hard link), which keeps its
    // bytes, while the dump is a new file with the private list.
    const std::wstring other = dir + L"\\other.txt";
    ASSERT_TRUE(kvrtest::WriteFileBytes(other, "not a dump"));
    ASSERT_TRUE(::CreateHardLinkW(dump.c_str(), other.c_str(), nullptr));
    RunCrashingCopy(dir + L"\\kvrcrash.exe");
    EXPECT_EQ(kvrtest::ReadFileBytes(other), "not a dump");
    DWORD size = 0;
    EXPECT_EQ(ReadHead(dump, &size), "MDMP");
    EXPECT_GT(size, 1000u);
    // It holds the process's memory (cookies): SYSTEM and Administrators only.
    const kvrtest::AccessGrants g = kvrtest::ReadAccessGrants(dump);
    ASSERT_TRUE(g.read);
    EXPECT_EQ(g.everyone, 0u);
    EXPECT_EQ(g.users, 0u);
    if (kvrtest::UnderWine()) GTEST_SKIP() << kvrtest::kWindowsOnly;
    EXPECT_TRUE(g.isProtected);
    EXPECT_EQ(g.administrators & FILE_ALL_ACCESS, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
}

TEST(CrashDump, DotlessExecutableInDottedFolderDumpsBesideTheFolder) {
    const std::wstring parent = FreshDir(L"crash_dotted");
    const std::wstring dir = FreshDir(L"crash_dotted\\dir.v2");
    const std::wstring dump = parent + L"\\dir.dmp";
    ::DeleteFileW(dump.c_str());
    RunCrashingCopy(dir + L"\\kvrcrash");
    DWORD size = 0;
    EXPECT_EQ(ReadHead(dump, &size), "MDMP");
}

TEST(CrashDump, SnapshotWithoutExceptionContinues) {
    const std::wstring file = FreshDir(L"crash_snapshot") + L"\\snap.dmp";
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    kvr::WriteDump(h, nullptr);  // raises and catches its own breakpoint
    ::CloseHandle(h);
    DWORD size = 0;
    EXPECT_EQ(ReadHead(file, &size), "MDMP");
    kvr::WriteDump(INVALID_HANDLE_VALUE, nullptr);  // no file: nothing happens, no crash
}

// A path that fills the buffer was cut (on XP it is not even terminated).
TEST(ModulePath, AFullBufferIsNoPath) {
    std::wstring system(32768, L'\0');
    system.resize(::GetModuleFileNameW(nullptr, &system[0], 32768));
    wchar_t full[MAX_PATH];
    ASSERT_TRUE(kvr::ModulePath(nullptr, full, MAX_PATH));
    EXPECT_EQ(std::wstring(full), system);
    const DWORD length = static_cast<DWORD>(::lstrlenW(full));
    ASSERT_GT(length, 3u);
    wchar_t cut[MAX_PATH];
    for (wchar_t& c : cut) c = L'x';
    EXPECT_FALSE(kvr::ModulePath(nullptr, cut, length)) << "no room for the terminator";
    EXPECT_EQ(cut[0], L'\0');
    EXPECT_FALSE(kvr::ModulePath(nullptr, cut, 4));
    EXPECT_EQ(cut[0], L'\0');
    wchar_t exact[MAX_PATH];
    ASSERT_TRUE(kvr::ModulePath(nullptr, exact, length + 1));
    EXPECT_EQ(std::wstring(exact), system);
    EXPECT_EQ(kvr::OwnProgramPath(), system);
}

// Owned handles: a move empties the source, reset, assignment and put close
// what was held, release does not, and each kernel convention has its own
// "none" (CreateFile's INVALID_HANDLE_VALUE is also the process's
// pseudo-handle, which must never count as an open handle).
TEST(OwnedHandles, MoveResetAndTheTwoKernelSentinels) {
    auto isOpen = [](HANDLE h) {
        DWORD flags = 0;
        return ::GetHandleInformation(h, &flags) != FALSE;
    };
    auto newEvent = [] { return ::CreateEventW(nullptr, TRUE, FALSE, nullptr); };
    kvr::OwnedHandle first(newEvent());
    const HANDLE held = first.get();
    ASSERT_TRUE(first);
    kvr::OwnedHandle second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(first.get(), nullptr);
    EXPECT_EQ(second.get(), held);
    kvr::OwnedHandle third(newEvent());
    const HANDLE replaced = third.get();
    third = std::move(second);
    EXPECT_FALSE(isOpen(replaced));
    EXPECT_TRUE(isOpen(held));
    *third.put() = newEvent();
    EXPECT_FALSE(isOpen(held));
    const HANDLE kept = third.release();
    EXPECT_FALSE(third);
    EXPECT_TRUE(isOpen(kept));
    third.reset(kept);
    third.reset();
    EXPECT_FALSE(isOpen(kept));

    EXPECT_EQ(kvr::OwnedHandle().get(), nullptr);
    EXPECT_EQ(kvr::OwnedFile().get(), INVALID_HANDLE_VALUE);
    kvr::OwnedFile missing(::CreateFileW(L"C:\\no such folder\\none", GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(missing);
    kvr::OwnedFile file(::CreateFileW(kvr::OwnProgramPath().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    const HANDLE opened = file.get();
    file.reset();
    EXPECT_FALSE(isOpen(opened));
    EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
}

// Runs last in this file: the filter's once-per-process flag stays set.
TEST(CrashDump, SecondUnhandledExceptionWritesNoSecondDump) {
    wchar_t exe[MAX_PATH];
    ASSERT_TRUE(kvr::ModulePath(nullptr, exe, MAX_PATH));
    wchar_t dump[MAX_PATH];
    ASSERT_TRUE(DumpPathFor(exe, dump));
    ::DeleteFileW(dump);

    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    CONTEXT context{};
    ::RtlCaptureContext(&context);
    EXCEPTION_POINTERS pointers{&record, &context};

    EXPECT_EQ(kvr::CrashDumpFilter(&pointers), EXCEPTION_CONTINUE_SEARCH);
    DWORD size = 0;
    EXPECT_EQ(ReadHead(dump, &size), "MDMP");
    ASSERT_TRUE(::DeleteFileW(dump));
    EXPECT_EQ(kvr::CrashDumpFilter(&pointers), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_FALSE(::PathFileExistsW(dump));
}
