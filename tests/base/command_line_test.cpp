#include <gtest/gtest.h>
#include "base/command_line.h"

using kvr::ParseStartArgs;
using kvr::StartArgs;
using kvr::StartMode;

namespace {

constexpr wchar_t kFolder[] = L"C:\\ProgramData\\Marvole\\GameLogin";
constexpr wchar_t kOutside[] = L"C:\\Users\\p\\Downloads\\kvr.exe";
constexpr wchar_t kInside[] = L"C:\\ProgramData\\Marvole\\GameLogin\\kvr.exe";

StartArgs Parse(std::initializer_list<const wchar_t*> args, const wchar_t* exe = kOutside,
                const wchar_t* folder = kFolder) {
    std::vector<const wchar_t*> v(args);
    return ParseStartArgs(static_cast<int>(v.size()), v.data(), exe, folder);
}

}  // namespace

TEST(StartArgs, SwitchesInAnyLetterCase) {
    EXPECT_EQ(Parse({L"/webMarvoleD"}).mode, StartMode::PortalShortcut);
    EXPECT_EQ(Parse({L"/WEBMARVOLED"}).mode, StartMode::PortalShortcut);
    EXPECT_EQ(Parse({L"/KvrD"}).mode, StartMode::GameShortcut);
    EXPECT_EQ(Parse({L"/kvrd"}).mode, StartMode::GameShortcut);
    EXPECT_EQ(Parse({L"/UnInst"}).mode, StartMode::Uninstall);
    EXPECT_EQ(Parse({L"/UPDATE"}).mode, StartMode::Update);
    EXPECT_EQ(Parse({L"/NewGm", L"/1", L"/0"}).mode, StartMode::NewPage);
    EXPECT_EQ(Parse({L"/GMHALL", L"/1"}).mode, StartMode::GameHall);
}

TEST(StartArgs, OnlyTheFirstArgumentIsASwitch) {
    EXPECT_EQ(Parse({L"x", L"/KvrD"}).mode, StartMode::Install);
    EXPECT_EQ(Parse({L"x", L"/KvrD"}, kInside).mode, StartMode::Plain);
    EXPECT_EQ(Parse({L"/KvrD", L"/uninst"}).mode, StartMode::GameShortcut);
    // A switch must match whole: a longer or shorter word is not it.
    EXPECT_EQ(Parse({L"/KvrDX"}).mode, StartMode::Install);
    EXPECT_EQ(Parse({L"/newg"}, kInside).mode, StartMode::Plain);
}

TEST(StartArgs, UnrecognisedOrNoSwitchDependsOnTheFolder) {
    EXPECT_EQ(Parse({}).mode, StartMode::Install);
    EXPECT_EQ(Parse({}, kInside).mode, StartMode::Plain);
    EXPECT_EQ(Parse({L"/bogus"}).mode, StartMode::Install);
    EXPECT_EQ(Parse({L"/bogus"}, kInside).mode, StartMode::Plain);
    EXPECT_EQ(Parse({L""}, kInside).mode, StartMode::Plain);
}

TEST(StartArgs, InstalledMeansAnywhereBelowTheFolderInAnyCase) {
    EXPECT_EQ(Parse({}, L"c:\\programdata\\marvole\\gamelogin\\kvr.exe").mode, StartMode::Plain);
    EXPECT_EQ(Parse({}, L"C:\\PROGRAMDATA\\MARVOLE\\GAMELOGIN\\sub\\dir\\x.exe").mode, StartMode::Plain);
    EXPECT_EQ(Parse({}, L"D:\\copy\\C:\\ProgramData\\Marvole\\GameLogin\\kvr.exe").mode, StartMode::Plain);
    EXPECT_EQ(Parse({}, L"C:\\ProgramData\\Marvole\\GameLogi.exe").mode, StartMode::Install);
    EXPECT_EQ(Parse({}, L"C:\\ProgramData\\Marvole\\kvr.exe").mode, StartMode::Install);
    // Without a known installation folder nothing counts as installed.
    EXPECT_EQ(Parse({}, kInside, L"").mode, StartMode::Install);
    EXPECT_EQ(Parse({}, kInside, nullptr).mode, StartMode::Install);
}

TEST(StartArgs, NewPageCarriesParentAndPageCount) {
    StartArgs a = Parse({L"/newgm", L"/123", L"/2"});
    EXPECT_EQ(a.mode, StartMode::NewPage);
    EXPECT_EQ(a.parent, reinterpret_cast<HWND>(static_cast<INT_PTR>(123)));
    EXPECT_EQ(a.pageCount, 2);

    StartArgs hall = Parse({L"/gmhall", L"/65844"});
    EXPECT_EQ(hall.mode, StartMode::GameHall);
    EXPECT_EQ(hall.parent, reinterpret_cast<HWND>(static_cast<INT_PTR>(65844)));
    EXPECT_EQ(hall.pageCount, 0);

    StartArgs missing = Parse({L"/newgm"});
    EXPECT_EQ(missing.mode, StartMode::NewPage);
    EXPECT_EQ(missing.parent, nullptr);
    EXPECT_EQ(missing.pageCount, 0);

    // A first page started before its window reads the window from a pipe;
    // with a window given no pipe is taken.
    StartArgs first = Parse({L"/newgm", L"/0", L"/0", L"/172"});
    EXPECT_EQ(first.parent, nullptr);
    EXPECT_EQ(first.windowPipe, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(172)));
    EXPECT_EQ(Parse({L"/newgm", L"/123", L"/0", L"/172"}).windowPipe, nullptr);

    // The first character is skipped whatever it is, the rest read as decimal.
    StartArgs junk = Parse({L"/newgm", L"x77", L"/3abc"});
    EXPECT_EQ(junk.parent, reinterpret_cast<HWND>(static_cast<INT_PTR>(77)));
    EXPECT_EQ(junk.pageCount, 3);
}

TEST(StartArgs, HandleAndCountAreReadFromBoundedBuffers) {
    // 16 characters for the handle (15 + terminator), 8 for the count.
    StartArgs a = Parse({L"/newgm", L"/00000000000001234", L"/0000012345"});
    EXPECT_EQ(a.parent, reinterpret_cast<HWND>(static_cast<INT_PTR>(1)));
    EXPECT_EQ(a.pageCount, 1);
    // A number too large for an int is clamped, not wrapped.
    StartArgs big = Parse({L"/newgm", L"/99999999999999", L"/1"});
    EXPECT_EQ(big.parent, reinterpret_cast<HWND>(static_cast<INT_PTR>(2147483647)));
    // Handles above 0x7FFFFFFF arrive as negative numbers and are sign-extended.
    StartArgs neg = Parse({L"/gmhall", L"/-2"});
    EXPECT_EQ(neg.parent, reinterpret_cast<HWND>(static_cast<INT_PTR>(-2)));
    // A very long argument is cut, never overflowed.
    std::wstring huge = L"/" + std::wstring(5000, L'7');
    StartArgs h = Parse({L"/newgm", huge.c_str(), huge.c_str()});
    EXPECT_EQ(h.mode, StartMode::NewPage);
    EXPECT_EQ(h.pageCount, 777777);
}
