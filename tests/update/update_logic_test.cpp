#include <gtest/gtest.h>
#include "tests/install/scratch.h"
#include "update/flash_check.h"
#include "update/self_update.h"
#include "update/version_key.h"

using namespace kvr;
using kvrtest::ReadFileBytes;
using kvrtest::ScratchDir;
using kvrtest::WriteFileBytes;

TEST(VersionKey, First28HexDigitsOfTheMd5AndTheVersion) {
    ScratchDir dir(L"vkey");
    ASSERT_TRUE(WriteFileBytes(dir / L"abc.bin", "abc"));
    ASSERT_TRUE(WriteFileBytes(dir / L"empty.bin", ""));
    // RFC 1321 test vectors.
    EXPECT_EQ(VersionKeyOfFile((dir / L"abc.bin").c_str()), L"900150983cd24fb0d6963f7d28e13003");
    EXPECT_EQ(VersionKeyOfFile((dir / L"empty.bin").c_str()), L"d41d8cd98f00b204e9800998ecf83003");
    // More than one read buffer.
    std::string big(100000, 'a');
    ASSERT_TRUE(WriteFileBytes(dir / L"big.bin", big));
    std::string big2 = big;
    big2[70000] = 'b';
    ASSERT_TRUE(WriteFileBytes(dir / L"big2.bin", big2));
    const std::wstring k1 = VersionKeyOfFile((dir / L"big.bin").c_str());
    EXPECT_EQ(k1.size(), 32u);
    EXPECT_NE(k1, VersionKeyOfFile((dir / L"big2.bin").c_str()));
    EXPECT_EQ(VersionKeyOfFile((dir / L"missing.bin").c_str()), L"");
}

TEST(VersionKey, ComparisonIgnoresCaseOnly) {
    EXPECT_TRUE(VersionKeysMatch(L"900150983CD24FB0D6963F7D28E13003", L"900150983cd24fb0d6963f7d28e13003"));
    EXPECT_FALSE(VersionKeysMatch(L"900150983cd24fb0d6963f7d28e13004", L"900150983cd24fb0d6963f7d28e13003"));
    EXPECT_FALSE(VersionKeysMatch(L"900150983cd24fb0d6963f7d28e1300", L"900150983cd24fb0d6963f7d28e13003"));
    EXPECT_FALSE(VersionKeysMatch(L"", L""));
}

TEST(FlashVersion, InstalledMustBeNewerThan10_3_102_64) {
    EXPECT_TRUE(FlashVersionPasses(L"11,0,1,152"));
    EXPECT_TRUE(FlashVersionPasses(L"10,3,181,14"));
    EXPECT_FALSE(FlashVersionPasses(L"10,3,102,64"));
    EXPECT_TRUE(FlashVersionPasses(L"10,3,102,65"));
    EXPECT_FALSE(FlashVersionPasses(L"10,2,159,1"));
    // Missing and odd components read as 0.
    EXPECT_FALSE(FlashVersionPasses(L""));
    EXPECT_FALSE(FlashVersionPasses(L"10,3"));
    EXPECT_TRUE(FlashVersionPasses(L"10,3,103"));
    EXPECT_FALSE(FlashVersionPasses(L"abc,99,99,99"));
    EXPECT_TRUE(FlashVersionPasses(L"10,3,102,64,1", L"10,3,102,63"));
    EXPECT_TRUE(FlashVersionPasses(L"99999999999999999999,0,0,0"));  // saturates, no wrap
}

namespace {
const wchar_t kFlashKey[] = L"SOFTWARE\\Macromedia\\FlashPlayer";

void SetFlashVersion(const wchar_t* version) {
    if (!version) {
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kFlashKey);
        return;
    }
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kFlashKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, L"CurrentVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                     static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}
}  // namespace

TEST(FlashVersion, ReadFromTheRegistry) {
    SetFlashVersion(nullptr);
    EXPECT_FALSE(FlashPlayerIsCurrent());  // no key: the player is asked
    SetFlashVersion(L"11,0,1,152");
    EXPECT_TRUE(FlashPlayerIsCurrent());
    SetFlashVersion(L"10,3,102,64");
    EXPECT_FALSE(FlashPlayerIsCurrent());
    // A value longer than 520 bytes is refused, not cut.
    std::wstring longValue = L"11,0,1,152" + std::wstring(300, L'0');
    SetFlashVersion(longValue.c_str());
    wchar_t read[261];
    EXPECT_FALSE(ReadInstalledFlashVersion(read, 261));
    EXPECT_FALSE(FlashPlayerIsCurrent());
    SetFlashVersion(nullptr);
}

TEST(UpdateSwap, NewBuildReplacesTheProgramAndTheOldOneIsKeptAside) {
    ScratchDir dir(L"swap");
    const std::wstring exe = dir / L"kvr.exe", fresh = dir / L"NewKvr.exe", old = dir / L"OldKvr.exe";
    ASSERT_TRUE(WriteFileBytes(exe, "old build"));
    ASSERT_TRUE(WriteFileBytes(fresh, "new build"));
    ASSERT_TRUE(WriteFileBytes(old, "older leftover"));
    EXPECT_TRUE(SwapInUpdate(exe.c_str(), fresh.c_str(), old.c_str()));
    EXPECT_EQ(ReadFileBytes(exe), "new build");
    EXPECT_EQ(ReadFileBytes(old), "old build");
    EXPECT_FALSE(kvrtest::FileExists(fresh));
}

TEST(UpdateSwap, AFailedSecondRenamePutsTheProgramBack) {
    ScratchDir dir(L"swap");
    const std::wstring exe = dir / L"kvr.exe", fresh = dir / L"NewKvr.exe", old = dir / L"OldKvr.exe";
    ASSERT_TRUE(WriteFileBytes(exe, "old build"));
    ASSERT_TRUE(WriteFileBytes(fresh, "new build"));
    ASSERT_TRUE(WriteFileBytes(old, "older leftover"));
    // The new file is held open without delete sharing: it cannot be moved,
    // while the program itself can (the first rename goes through).
    HANDLE lock = ::CreateFileW(fresh.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const std::wstring probe = dir / L"probe.exe";
    ASSERT_FALSE(::MoveFileExW(fresh.c_str(), probe.c_str(), MOVEFILE_REPLACE_EXISTING))
        << "this file system moves a file held open: the second rename would not fail";
    EXPECT_FALSE(SwapInUpdate(exe.c_str(), fresh.c_str(), old.c_str()));
    ::CloseHandle(lock);
    EXPECT_EQ(ReadFileBytes(exe), "old build") << "the program is back";
    EXPECT_FALSE(kvrtest::FileExists(old)) << "it went aside first (over the leftover) and came back";
    EXPECT_EQ(ReadFileBytes(fresh), "new build");
    // Without any new file the program stays in place.
    ::DeleteFileW(fresh.c_str());
    ::DeleteFileW(old.c_str());
    WriteFileBytes(exe, "old build");
    EXPECT_FALSE(SwapInUpdate(exe.c_str(), fresh.c_str(), old.c_str()));
    EXPECT_EQ(ReadFileBytes(exe), "old build");
    EXPECT_FALSE(kvrtest::FileExists(old));
}

TEST(UpdateSwap, OnlyTheBuildTheServerDescribedIsSwappedIn) {
    ScratchDir dir(L"swap");
    const std::wstring exe = dir / L"kvr.exe", fresh = dir / L"NewKvr.exe";
    ASSERT_TRUE(WriteFileBytes(exe, "old build"));
    ASSERT_TRUE(WriteFileBytes(fresh, "abc"));
    // A download that is not the announced build (cut, or altered) is refused.
    EXPECT_FALSE(InstallDownloadedUpdate(exe.c_str(), fresh.c_str(), L"d41d8cd98f00b204e9800998ecf83003"));
    EXPECT_EQ(ReadFileBytes(exe), "old build");
    EXPECT_FALSE(InstallDownloadedUpdate(exe.c_str(), fresh.c_str(), L""));
    EXPECT_EQ(ReadFileBytes(exe), "old build");
    // The announced one, key in capitals, goes in.
    EXPECT_TRUE(InstallDownloadedUpdate(exe.c_str(), fresh.c_str(), L"900150983CD24FB0D6963F7D28E13003"));
    EXPECT_EQ(ReadFileBytes(exe), "abc");
    EXPECT_EQ(ReadFileBytes(dir / L"OldKvr.exe"), "old build");
}
