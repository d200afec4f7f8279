#include <gtest/gtest.h>
#include "base/module_path.h"
#include "tests/install/scratch.h"
#include "tests/support/ui_driver.h"
#include "update/flash_check.h"
#include "update/self_update.h"
#include "update/update_signature.h"
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

TEST(VersionKey, ComparisonReadsTheDigestDigitsOnly) {
    EXPECT_TRUE(VersionKeysMatch(L"900150983CD24FB0D6963F7D28E13003", L"900150983cd24fb0d6963f7d28e13003"));
    // The version after the digits is the publishing build's own.
    EXPECT_TRUE(VersionKeysMatch(L"900150983cd24fb0d6963f7d28e13004", L"900150983cd24fb0d6963f7d28e13003"));
    EXPECT_TRUE(VersionKeysMatch(L"900150983cd24fb0d6963f7d28e130010", L"900150983cd24fb0d6963f7d28e13003"));
    EXPECT_FALSE(VersionKeysMatch(L"900150983cd24fb0d6963f7d28e03003", L"900150983cd24fb0d6963f7d28e13003"));
    EXPECT_FALSE(VersionKeysMatch(L"900150983cd24fb0d6963f7d28e", L"900150983cd24fb0d6963f7d28e13003"));
    EXPECT_FALSE(VersionKeysMatch(L"zzzzzzzzzzzzzzzzzzzzzzzzzzzz3003", L"zzzzzzzzzzzzzzzzzzzzzzzzzzzz3003"));
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
// Where this test program, as the program, reads it.
void SetFlashVersion(const wchar_t* version) {
    ASSERT_TRUE(kvrtest::ProgramRegistry(OwnProgramPath()).SetFlashVersion(version));
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
    EXPECT_EQ(SwapInUpdate(exe.c_str(), fresh.c_str(), old.c_str()), UpdateInstall::Installed);
    EXPECT_EQ(ReadFileBytes(exe), "new build");
    EXPECT_EQ(ReadFileBytes(old), "old build");
    EXPECT_FALSE(kvrtest::FileExists(fresh));
    // Found in the program's place after the move, a file other than the one
    // checked (exchanged meanwhile): the program is put back.
    const std::wstring checkedPath = dir / L"checked.exe";
    ASSERT_TRUE(WriteFileBytes(checkedPath, "checked build"));
    ASSERT_TRUE(WriteFileBytes(fresh, "exchanged build"));
    const HeldFile checked(checkedPath.c_str(), HeldFile::Use::Move);
    EXPECT_EQ(SwapInUpdate(exe.c_str(), fresh.c_str(), old.c_str(), &checked), UpdateInstall::Refused);
    EXPECT_EQ(ReadFileBytes(exe), "new build") << "the program is not back";
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
    EXPECT_EQ(SwapInUpdate(exe.c_str(), fresh.c_str(), old.c_str()), UpdateInstall::Refused);
    EXPECT_EQ(ReadFileBytes(exe), "old build") << "the program is back";
    EXPECT_FALSE(kvrtest::FileExists(old)) << "it went aside first (over the leftover) and came back";
    EXPECT_EQ(ReadFileBytes(fresh), "new build");

    // Another process takes the old program's file too, between the moves,
    // without delete sharing: it cannot come back now, so it comes back at
    // the next restart, and runs from OldKvr.exe until then.
    HANDLE holder = INVALID_HANDLE_VALUE;
    const MoveFileFn takeTheOldFile = [&](const wchar_t* from, const wchar_t* to, DWORD flags) {
        const BOOL moved = ::MoveFileExW(from, to, flags);
        if (moved && holder == INVALID_HANDLE_VALUE)
            holder = ::CreateFileW(old.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        return moved;
    };
    EXPECT_EQ(SwapInUpdate(exe.c_str(), fresh.c_str(), old.c_str(), nullptr, takeTheOldFile),
              UpdateInstall::OldKvrOnly);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ::CloseHandle(holder);
    ::CloseHandle(lock);
    EXPECT_EQ(ReadFileBytes(old), "old build");
    EXPECT_FALSE(kvrtest::FileExists(exe));
    wchar_t pending[8192] = {};
    DWORD size = sizeof pending;
    ::RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                   L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending, &size);
    const std::wstring renames(pending, size / sizeof(wchar_t)), back = L"\\??\\" + old + L'\0' + L"!\\??\\" + exe;
    EXPECT_NE(renames.find(back), std::wstring::npos) << "the old program is not moved back at the next restart";
    ASSERT_TRUE(::MoveFileExW(old.c_str(), exe.c_str(), 0));
    // Without any new file the program stays in place.
    ::DeleteFileW(fresh.c_str());
    ::DeleteFileW(old.c_str());
    WriteFileBytes(exe, "old build");
    EXPECT_EQ(SwapInUpdate(exe.c_str(), fresh.c_str(), old.c_str()), UpdateInstall::Refused);
    EXPECT_EQ(ReadFileBytes(exe), "old build");
    EXPECT_FALSE(kvrtest::FileExists(old));
}

// ---- The maker's signature ---------------------------------------------------
// Keys and signatures made once with openssl (genpkey, pkey -pubout, and
// dgst -sha256 -sign | base64 -A over the three bytes "abc").
namespace {
const char kKeyA[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAv7InUvFOTXi0RSQbx7WR\n"
    "C3UY9Df5LRDJ7bTUO3I2KYfTGwthvKGx9/sLJRqOqxq/epfr6Xhfpmn9tYfr4fd9\n"
    "iOwKLohJQwfA6b7n9k6A9goUj5gogzCzcUlmL8SCe14iEP0VP5CUTlvqjte0cmQw\n"
    "ieEfeeb39BbrNZNwQImQp/Z6Sh0Pn0+GdeelQQQgcDiulPPXUQJkBF1lQtIdUshL\n"
    "rNU2kvRXHAdO36NQyaUtEbwSJYFXgXtJCRmZMYYY46REhOS5anJxc+zFeVg2dlz6\n"
    "om+QiYu+M8elPF53kdECazejaQANgfw3PJNUe5I/xA4TyPzFr6EMuMnsfAnmKkyf\n"
    "AwIDAQAB\n"
    "-----END PUBLIC KEY-----\n"
    ;
const char kKeyB[] =  // another 2048-bit key
    "-----BEGIN PUBLIC KEY-----\n"
    "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAtDBJItIIXovk5LNavcxj\n"
    "N9YpeScRkR00maumy3x+hWK4SBrJXjsi0LA1RPPh6K6HchQWrv86MDuQJU3LOz5j\n"
    "OSE8T0lJgkLCTAGd72cxMhrEApdHtaJofWq9QDujXartUGSNwWLqaSEAS3FXGsdS\n"
    "XpEJkz1gPWapHZTLJQgaZA3glS9LQPqe5CtV7UODgjqbuUVZ8wX9uBYW3bgzv3Ot\n"
    "zykZNPBsIA2EUleO+TkUziZQGYNryOq78ZNehNY/5/IDYrS8x5NDfVR+3P0jPW1D\n"
    "gyuM1Nzem/iLdja9PY/E2j5B22fhgEOjCcQgm2WrC5efkrePhGT12uA3Pr2Lq7Jz\n"
    "NQIDAQAB\n"
    "-----END PUBLIC KEY-----\n"
    ;
const char kKey1024[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQDgG1v44/XEk7xBg7g3IUJ9jVsf\n"
    "6OBa6Gv2uPcDjkHp+mC4sf/J3wbZZDaG5nC9kielxT9XTfZJj82HGlaLxV40wuux\n"
    "OKed26U5BRK1mzRco3Xb6fOGV9wzBQoBwpG0AHS76OQ+3qS8behgLKl+rv2yxtOQ\n"
    "5RPih2/NslFlG4JJSQIDAQAB\n"
    "-----END PUBLIC KEY-----\n"
    ;
const char kKeyEc[] =  // P-256
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEgC2rp6UINk3ytu8hBGp5qfUJGCsn\n"
    "/QJD+pZK9xx9/A1C+tDJWEsmNkvyA0kKob2IFvhB5EbrpOefIknYuiQAJQ==\n"
    "-----END PUBLIC KEY-----\n"
    ;
const wchar_t kAbcByA[] =
    L"SEKi7O0S/uJr8TwIzTs8PviZicuj8dOE9gvtVU5QjqiFJCvi5h/qe2sfGuExMe5sKx2GEZRLSq+3NxzjFOrUsXNIVCrfsZt1"
    L"5l7NtWn7IYu/v4MzXJWrX+oaqY+VhB718IYlgUdtKO3s8r1sl5ti0rWY1IIWQs0epY/Q+VeUSBFO2Cgr2b1VBVgsdvOL4dcd"
    L"xKA6O8rqMhZKCbBUgdQss0/R0nIUR+iV2zIvOhPRNpdVPFI/xrXecVsQaAKMdWJMU5P/LtjZUh64E7RAIv3nsVl/ztOUfCjQ"
    L"peh9LBSZTw/FtjPIjXk0oaePZsDdm2qhZEcjXDgDreWr9d659uUExw=="
    ;
const wchar_t kAbcBy1024[] =
    L"yPhS2zTMLrM8hf3pJUbOSkDvQKkTXm3KH3qpPwFNNrk8sZQvbDluWiHZ3IEZtXwI0MEAQdYuv4udVT53xdLiBJbf6mpLyam5"
    L"gHrLJMucUkB0rnbTtsAJiZwFoC65fx4bHu41zjMjLb89V46g+WCX3HICzBYUC9X3nm7b+dJljcc="
    ;

bool Verify(const std::wstring& path, const char* key, const std::wstring& signature) {
    HeldFile file(path.c_str(), HeldFile::Use::Start);
    return file.IsOpen() && VerifyFileSignature(file.Handle(), key, signature.c_str());
}
}  // namespace

TEST(UpdateSignature, StrictBase64) {
    std::vector<BYTE> out;
    ASSERT_TRUE(DecodeBase64(L"TWFu", &out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "Man");
    ASSERT_TRUE(DecodeBase64(L"TWE=", &out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "Ma");
    ASSERT_TRUE(DecodeBase64(L"TQ==", &out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "M");
    for (const wchar_t* bad : {L"", L"TWF", L"TWFu\n", L" TWFu", L"TW=u", L"====", L"T===", L"TR==", L"TWF=x===",
                               L"TWF-", L"TWF_", L"TWFu===="}) {
        EXPECT_FALSE(DecodeBase64(bad, &out)) << bad;
    }
    EXPECT_FALSE(DecodeBase64(nullptr, &out));
}

TEST(UpdateSignature, OnlyTheMakersSignatureOfTheWholeFileVerifies) {
    ScratchDir dir(L"sig");
    const std::wstring abc = dir / L"abc.bin", abd = dir / L"abd.bin", big = dir / L"big.bin";
    ASSERT_TRUE(WriteFileBytes(abc, "abc"));
    ASSERT_TRUE(WriteFileBytes(abd, "abd"));
    ASSERT_TRUE(WriteFileBytes(big, "abc" + std::string(200000, 'x')));
    EXPECT_TRUE(Verify(abc, kKeyA, kAbcByA));
    // Other bytes, a longer file that begins alike, another maker's key.
    EXPECT_FALSE(Verify(abd, kKeyA, kAbcByA));
    EXPECT_FALSE(Verify(big, kKeyA, kAbcByA));
    EXPECT_FALSE(Verify(abc, kKeyB, kAbcByA));
    // Keys this program does not accept: too short, not RSA, not a key.
    EXPECT_FALSE(Verify(abc, kKey1024, kAbcBy1024));
    EXPECT_FALSE(Verify(abc, kKeyEc, kAbcByA));
    EXPECT_FALSE(Verify(abc, "", kAbcByA));
    EXPECT_FALSE(Verify(abc, "-----BEGIN PUBLIC KEY-----\nTWFu\n-----END PUBLIC KEY-----\n", kAbcByA));
    // Signatures that are cut, padded, wrapped, flipped or not base64.
    const std::wstring good = kAbcByA;
    std::wstring flipped = good;
    flipped[10] = flipped[10] == L'A' ? L'B' : L'A';
    for (const std::wstring& bad : {std::wstring(), good.substr(0, good.size() - 4), good + L"AAAA", good + L"\r\n",
                                    good.substr(0, 64) + L"\n" + good.substr(64), flipped, std::wstring(344, L'A'),
                                    std::wstring(L"not*base64/signature==")}) {
        EXPECT_FALSE(Verify(abc, kKeyA, bad)) << bad;
    }
    // The check reads the file from its start wherever the handle stands.
    HeldFile held(abc.c_str(), HeldFile::Use::Start);
    ::SetFilePointer(held.Handle(), 2, nullptr, FILE_BEGIN);
    EXPECT_TRUE(VerifyFileSignature(held.Handle(), kKeyA, kAbcByA));
    EXPECT_TRUE(held.SignatureVerifies(kAbcByA, kKeyA));
    // A build without a key checks nothing.
    EXPECT_TRUE(held.SignatureVerifies(L"", ""));
}

TEST(UpdateSignature, AHeldFileCannotBeChangedAndIsFoundWhereItWasMoved) {
    ScratchDir dir(L"sig");
    const std::wstring path = dir / L"NewKvr.exe", moved = dir / L"kvr.exe";
    ASSERT_TRUE(WriteFileBytes(path, "abc"));
    for (HeldFile::Use use : {HeldFile::Use::Start, HeldFile::Use::Move}) {
        HeldFile held(path.c_str(), use);
        ASSERT_TRUE(held.IsOpen());
        HANDLE writer = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "a writer got in";
        if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
        // One to be started cannot be renamed away (and another put in its place).
        if (use == HeldFile::Use::Start) {
            EXPECT_FALSE(::MoveFileExW(path.c_str(), moved.c_str(), 0));
        }
    }
    HeldFile held(path.c_str(), HeldFile::Use::Move);
    ASSERT_TRUE(::MoveFileExW(path.c_str(), moved.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(held.IsAt(moved.c_str()));
    // A file put where the held one was is not it.
    ASSERT_TRUE(WriteFileBytes(path, "abc"));
    EXPECT_FALSE(held.IsAt(path.c_str()));
    EXPECT_TRUE(held.SignatureVerifies(kAbcByA, kKeyA));
}

TEST(UpdateSwap, OnlyTheBuildTheServerDescribedAndTheMakerSignedIsSwappedIn) {
    ScratchDir dir(L"swap");
    const std::wstring exe = dir / L"kvr.exe", fresh = dir / L"NewKvr.exe";
    const std::wstring abcKey = L"900150983CD24FB0D6963F7D28E13004";  // "abc", published by 3.0.0.4
    ASSERT_TRUE(WriteFileBytes(exe, "old build"));
    // Refused, each time with the download deleted: not the announced build
    // (cut, or altered), no key, no signature, a signature of other bytes.
    const struct {
        const wchar_t* key;
        const wchar_t* signature;
    } refused[] = {{L"d41d8cd98f00b204e9800998ecf83003", kAbcByA}, {L"", kAbcByA}, {abcKey.c_str(), L""},
                   {abcKey.c_str(), kAbcBy1024}};
    for (const auto& r : refused) {
        ASSERT_TRUE(WriteFileBytes(fresh, "abc"));
        EXPECT_EQ(InstallDownloadedUpdate(exe.c_str(), fresh.c_str(), r.key, r.signature, kKeyA),
                  UpdateInstall::Refused)
            << r.key;
        EXPECT_EQ(ReadFileBytes(exe), "old build");
        EXPECT_FALSE(kvrtest::FileExists(fresh)) << "the refused download stayed";
    }
    // The announced bytes, signed, but no program.
    ASSERT_TRUE(WriteFileBytes(fresh, "abc"));
    EXPECT_EQ(InstallDownloadedUpdate(exe.c_str(), fresh.c_str(), abcKey, kAbcByA, kKeyA), UpdateInstall::Refused);
    // A program (here in a build without a key, which goes by the digest):
    // this program's next build for this machine is swapped in, the same
    // build not (other builds: the update's whole-program test).
    const auto offer = [&](const wchar_t* program, const std::wstring& runningFrom) {
        EXPECT_TRUE(::CopyFileW(kvrtest::BuildPath(program).c_str(), fresh.c_str(), FALSE));
        return InstallDownloadedUpdate(runningFrom.c_str(), fresh.c_str(), VersionKeyOfFile(fresh.c_str()), L"", "");
    };
    EXPECT_EQ(offer(L"tests\\update\\update_logic_tests.exe", exe), UpdateInstall::Refused);
    EXPECT_EQ(offer(L"tests\\update\\kvr_tiny_next.exe", exe), UpdateInstall::Installed);
    EXPECT_EQ(ReadFileBytes(exe), ReadFileBytes(kvrtest::BuildPath(L"tests\\update\\kvr_tiny_next.exe")));
    EXPECT_EQ(ReadFileBytes(dir / L"OldKvr.exe"), "old build");
    // A program running from OldKvr.exe (its own place held) is never updated.
    EXPECT_EQ(offer(L"tests\\update\\kvr_tiny_next.exe", dir / L"OldKvr.exe"), UpdateInstall::Refused);
    EXPECT_EQ(ReadFileBytes(dir / L"OldKvr.exe"), "old build");
}
