#include <gtest/gtest.h>
#include <objbase.h>
#include <sddl.h>
#include <memory>
#include <shlobj.h>
#include "base/access_list.h"
#include "base/settings.h"
#include "base/work_folder.h"
#include "install/browser_emulation.h"
#include "install/install.h"
#include "install/shortcuts.h"
#include "install/uninstall.h"
#include "tests/install/scratch.h"

using namespace kvr;
using kvrtest::FileExists;
using kvrtest::ReadFileBytes;
using kvrtest::ScratchDir;
using kvrtest::WriteFileBytes;

namespace {
struct LinkInfo {
    std::wstring path, args, workDir, description, iconPath;
    int icon = -1;
};

bool ReadLink(const std::wstring& link, LinkInfo* out) {
    IShellLinkW* sl = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&sl))))
        return false;
    IPersistFile* pf = nullptr;
    bool ok = SUCCEEDED(sl->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pf))) &&
              SUCCEEDED(pf->Load(link.c_str(), STGM_READ));
    if (ok) {
        wchar_t buf[1024] = {};
        sl->GetPath(buf, 1024, nullptr, SLGP_RAWPATH);
        out->path = buf;
        buf[0] = 0;
        sl->GetArguments(buf, 1024);
        out->args = buf;
        buf[0] = 0;
        sl->GetWorkingDirectory(buf, 1024);
        out->workDir = buf;
        buf[0] = 0;
        sl->GetDescription(buf, 1024);
        out->description = buf;
        buf[0] = 0;
        sl->GetIconLocation(buf, 1024, &out->icon);
        out->iconPath = buf;
    }
    if (pf) pf->Release();
    sl->Release();
    return ok;
}

std::wstring ShellFolder(int csidl) {
    wchar_t p[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, p);
    return p;
}

// Removes every link and folder the program makes, before and after a test.
void RemoveOurLinks() {
    for (const wchar_t* n : {kGameLinkName, kPortalLinkName}) {
        DeleteDesktopShortcut(n);
        ::DeleteFileW(UserDesktopLinkPath(n).c_str());
    }
    DeleteStartMenuShortcut(kGameLinkName);
    DeleteStartMenuShortcut(kUninstallLinkName);
    ::RemoveDirectoryW(StartMenuFolder().c_str());
}
}  // namespace

TEST(InstallCopy, CopiesIntoTheFolderButNeverOntoItself) {
    ScratchDir from(L"dl"), folder(L"inst");
    const std::wstring exe = from / L"kvr_setup.exe";
    ASSERT_TRUE(WriteFileBytes(exe, "program bytes"));
    const std::wstring target = folder.path() + L"\\Marvole\\GameLogin";
    const std::wstring installed = CopyIntoInstallFolder(exe.c_str(), target.c_str());
    EXPECT_EQ(installed, target + L"\\kvr_setup.exe");
    EXPECT_EQ(ReadFileBytes(installed), "program bytes");

    // Started from the installation folder itself (the name in other case):
    // the file is left as it is, not copied onto itself.
    HANDLE keep = ::CreateFileW(installed.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME before{}, after{};
    ::GetFileTime(keep, nullptr, nullptr, &before);
    ::CloseHandle(keep);
    std::wstring upper = installed;
    for (auto& c : upper) c = static_cast<wchar_t>(::towupper(c));
    ::Sleep(50);
    EXPECT_EQ(::lstrcmpiW(CopyIntoInstallFolder(upper.c_str(), target.c_str()).c_str(), installed.c_str()), 0);
    keep = ::CreateFileW(installed.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ::GetFileTime(keep, nullptr, nullptr, &after);
    ::CloseHandle(keep);
    EXPECT_EQ(::CompareFileTime(&before, &after), 0);
    EXPECT_EQ(ReadFileBytes(installed), "program bytes");
}

TEST(InstallCopy, FolderGetsTheProgramsAccessListNewOrExisting) {
    ScratchDir from(L"dl"), folder(L"inst");
    const std::wstring exe = from / L"kvr_setup.exe";
    ASSERT_TRUE(WriteFileBytes(exe, "program bytes"));
    const std::wstring target = folder.path() + L"\\Marvole\\GameLogin";
    ASSERT_FALSE(CopyIntoInstallFolder(exe.c_str(), target.c_str()).empty());
    kvrtest::ExpectProgramFolderList(target);
    kvrtest::ExpectProgramFolderList(folder.path() + L"\\Marvole");

    // A folder someone made before the install gets the same list. Wine
    // accepts a list for an existing folder and keeps none: there the list
    // the install hands the system shows it.
    const std::wstring early = folder.path() + L"\\Early";
    ASSERT_TRUE(::CreateDirectoryW(early.c_str(), nullptr));
    ASSERT_FALSE(CopyIntoInstallFolder(exe.c_str(), early.c_str()).empty());
    static std::vector<std::wstring> listed;
    const auto ours = [](HANDLE, const wchar_t*) { return false; };
    const auto setList = [](const wchar_t* f, CAccessList& list) {
        listed.push_back(f);
        kvrtest::ExpectProgramFolderGrants(kvrtest::GrantsOf(list.Acl()));
        return true;
    };
    EXPECT_TRUE(MakeProgramFolder(early.c_str(), false, AccessKind::ProgramFolder, ours, setList));
    EXPECT_TRUE(MakeProgramFolder(early.c_str(), true, AccessKind::ProgramFolder, ours, setList));
    EXPECT_EQ(listed, std::vector<std::wstring>{early}) << "only the install gives an existing folder the list";
    if (kvrtest::UnderWine()) GTEST_SKIP() << kvrtest::kWindowsOnly;
    kvrtest::ExpectProgramFolderList(early);
}

// A link in the installation folder's place is never installed through:
// the folder it points to gets nothing. Windows removes the link and makes
// the folder; Wine's RemoveDirectoryW goes through a Unix link to the full
// folder behind it and fails, so there the install is refused.
TEST(InstallCopy, NeverThroughALinkInTheFolderPlace) {
    ScratchDir from(L"dl"), root(L"inst"), victim(L"victim");
    const std::wstring exe = from / L"kvr_setup.exe", place = root / L"GameLogin";
    ASSERT_TRUE(WriteFileBytes(exe, "program bytes"));
    ASSERT_TRUE(WriteFileBytes(victim / L"system.dll", "the system's"));
    ASSERT_FALSE(kvrtest::MakeFolderLink(place, victim.path()).empty()) << "no folder link could be made";
    const std::wstring installed = CopyIntoInstallFolder(exe.c_str(), place.c_str());
    const bool linkStays = kvrtest::IsLinkHere(place);
    kvrtest::RemoveFolderLink(place);
    EXPECT_EQ(CountFilesBelow(victim.path().c_str()), 1u) << "installed through the link";
    EXPECT_EQ(ReadFileBytes(victim / L"system.dll"), "the system's");
    if (installed.empty()) {
        EXPECT_TRUE(kvrtest::UnderWine()) << "the link was not replaced by a folder";
        return;
    }
    EXPECT_FALSE(linkStays);
    EXPECT_EQ(ReadFileBytes(installed), "program bytes");
}

// Who made a folder is read from its owner, on volumes that keep owners:
// a file made there for the Administrators must read back as theirs (Wine
// reports the user for every file, FAT keeps no owners).
TEST(InstallFolderOwner, OnlySystemAdministratorsOrTrustedInstallerKeepTheirFolder) {
    auto owned = [](const wchar_t* sddl) {
        PSECURITY_DESCRIPTOR sd = nullptr;
        EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr))
            << sddl;
        return std::unique_ptr<void, decltype(&::LocalFree)>(sd, &::LocalFree);
    };
    const auto admins = owned(L"O:BA"), system = owned(L"O:SY"),
               installer = owned(L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"),
               user = owned(L"O:S-1-5-21-1004336348-1177238915-682003330-1001"), everyone = owned(L"O:WD"),
               nobody = owned(L"D:(A;;FA;;;WD)"), service = owned(L"O:S-1-5-80-1-2-3-4-5");
    for (const auto* trusted : {&admins, &system, &installer}) {
        EXPECT_TRUE(OwnerIsTrusted(trusted->get()));
        EXPECT_FALSE(MustMoveAside(trusted->get(), admins.get()));
    }
    for (const auto* foreign : {&user, &everyone, &nobody, &service}) {
        EXPECT_FALSE(OwnerIsTrusted(foreign->get()));
        EXPECT_TRUE(MustMoveAside(foreign->get(), admins.get()));
        // Where a file made for the Administrators reads back otherwise, an
        // owner says nothing: the folder keeps its treatment.
        EXPECT_FALSE(MustMoveAside(foreign->get(), user.get()));
        EXPECT_FALSE(MustMoveAside(foreign->get(), nobody.get()));
    }
}

// Wine keeps no owners: the move is shown through the judgement's seam.
TEST(InstallFolderOwner, SomeoneElsesFolderIsMovedAsideWithWhatItHolds) {
    ScratchDir root(L"owner");
    const std::wstring marvole = root / L"Marvole", installFolder = marvole + L"\\GameLogin";
    ASSERT_TRUE(::CreateDirectoryW(marvole.c_str(), nullptr));
    ASSERT_TRUE(kvrtest::WriteFileBytes(marvole + L"\\winmm.dll", "planted"));
    // The program's own folder keeps what is in it.
    EXPECT_TRUE(MakeInstallFolder(installFolder.c_str(), true, [](HANDLE, const wchar_t*) { return false; }));
    EXPECT_TRUE(FileExists(marvole + L"\\winmm.dll"));
    // Someone else's, with a handle kept open on the planted library: where
    // the system lets it move (Wine does), a fresh folder takes its place.
    HANDLE planted = ::CreateFileW((marvole + L"\\winmm.dll").c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool made = MakeInstallFolder(installFolder.c_str(), true, [](HANDLE, const wchar_t*) { return true; });
    ::CloseHandle(planted);
    if (kvrtest::UnderWine()) {
        EXPECT_TRUE(made);
    }
    if (!made) return;  // refused: nothing there is used
    EXPECT_EQ(CountFilesBelow(marvole.c_str()), 0u);
    kvrtest::ExpectProgramFolderList(installFolder);
    WIN32_FIND_DATAW aside;
    const HANDLE find = ::FindFirstFileW((marvole + L".????????????????").c_str(), &aside);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << "nothing was moved aside";
    ::FindClose(find);
    EXPECT_EQ(kvrtest::ReadFileBytes(root / aside.cFileName + L"\\winmm.dll"), "planted") << aside.cFileName;
}

TEST(Shortcuts, FourLinksWithTheirArgumentsIconsAndFolder) {
    RemoveOurLinks();
    ScratchDir dir(L"lnk");
    const std::wstring exe = dir / L"kvr.exe";
    ASSERT_TRUE(WriteFileBytes(exe, "MZ"));
    // A per-user link of the same name goes when the all-users one is made.
    const std::wstring userLink = UserDesktopLinkPath(kGameLinkName);
    ASSERT_FALSE(userLink.empty());
    ::SHCreateDirectoryExW(nullptr, ShellFolder(CSIDL_DESKTOPDIRECTORY).c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(userLink, "old link"));
    EXPECT_EQ(userLink, ShellFolder(CSIDL_DESKTOPDIRECTORY) + L"\\" + kGameLinkName + L".lnk");

    CreateShortcuts(exe.c_str());
    EXPECT_FALSE(FileExists(userLink));

    LinkInfo game, portal, menuGame, menuUninst;
    ASSERT_TRUE(ReadLink(CommonDesktopLinkPath(kGameLinkName), &game));
    ASSERT_TRUE(ReadLink(CommonDesktopLinkPath(kPortalLinkName), &portal));
    ASSERT_TRUE(ReadLink(StartMenuLinkPath(kGameLinkName), &menuGame));
    ASSERT_TRUE(ReadLink(StartMenuLinkPath(kUninstallLinkName), &menuUninst));
    EXPECT_EQ(game.args, L"/KvrD");
    EXPECT_EQ(game.icon, 0);
    EXPECT_EQ(game.description, kGameLinkName);
    EXPECT_EQ(portal.args, L"/webMarvoleD");
    EXPECT_EQ(portal.icon, 1);
    EXPECT_NE(portal.description.find(L"中国最大的网页游戏平台"), std::wstring::npos);
    EXPECT_EQ(menuGame.args, L"/KvrD");
    EXPECT_EQ(menuGame.description, L"");
    EXPECT_EQ(menuUninst.args, L"/uninst");
    for (const LinkInfo* l : {&game, &portal, &menuGame, &menuUninst}) {
        EXPECT_EQ(::lstrcmpiW(l->path.c_str(), exe.c_str()), 0) << l->path;
        EXPECT_EQ(::lstrcmpiW(l->workDir.c_str(), dir.path().c_str()), 0) << l->workDir;
        EXPECT_EQ(::lstrcmpiW(l->iconPath.c_str(), exe.c_str()), 0) << l->iconPath;
    }
    RemoveOurLinks();
}

TEST(Shortcuts, NothingForAMissingTargetOrEmptyName) {
    ScratchDir dir(L"lnk");
    EXPECT_FALSE(CreateShellLink((dir / L"a.lnk").c_str(), (dir / L"missing.exe").c_str(), L"", 0, nullptr));
    EXPECT_FALSE(FileExists(dir / L"a.lnk"));
    EXPECT_FALSE(CreateShellLink((dir / L"a.lnk").c_str(), L"", L"", 0, nullptr));
    EXPECT_FALSE(CreateShellLink(L"", (dir / L"a.lnk").c_str(), L"", 0, nullptr));
    EXPECT_EQ(FolderOf(L"C:\\a\\b.exe"), L"C:\\a");
    EXPECT_EQ(FolderOf(L"C:/a/b.exe"), L"C:/a");
    EXPECT_EQ(FolderOf(L"b.exe"), L"");
}

TEST(SelfDelete, BatchTextInBothFormsGivingUpAfterItsTries) {
    // About a second between tries, and an end to them when the file stays in use.
    const auto tries = [](const std::string& exe) {
        return "cd\\\r\nset kvrTries=0\r\n:delexe\r\nping -n 2 127.0.0.1 >nul\r\ndel " + exe +
               "\r\nif not exist " + exe +
               " goto removed\r\nset /a kvrTries+=1\r\nif %kvrTries% lss 600 goto delexe\r\ngoto end\r\n:removed\r\n";
    };
    EXPECT_EQ(SelfDeleteBatchText("C:\\P\\kvr.exe", "C:\\P", "C:\\W\\DelSelf-1.bat", true),
              tries("\"C:\\P\\kvr.exe\"") +
                  "del \"C:\\P\" /Q /F /A\r\nrd \"C:\\P\"\r\n:end\r\ndel \"C:\\W\\DelSelf-1.bat\"\r\n");
    EXPECT_EQ(SelfDeleteBatchText("C:\\P\\kvr.exe", "C:\\P", "C:\\W\\DelSelf-1.bat", false),
              tries("\"C:\\P\\kvr.exe\"") + ":end\r\ndel \"C:\\W\\DelSelf-1.bat\"\r\n");
    // "%" in a path is the character, not a variable of the batch language.
    EXPECT_EQ(SelfDeleteBatchText("C:\\100%x\\kvr.exe", "C:\\100%x", "C:\\W\\b.bat", true),
              tries("\"C:\\100%%x\\kvr.exe\"") +
                  "del \"C:\\100%%x\" /Q /F /A\r\nrd \"C:\\100%%x\"\r\n:end\r\ndel \"C:\\W\\b.bat\"\r\n");
    // Its file: a new one of the work folder, 64 random bits nobody can foresee in its name.
    const CWorkFolder work;
    ASSERT_TRUE(work.Valid());
    std::wstring a, b;
    const OwnedFile fa = work.CreateNewFile(L"DelSelf", L".bat", GENERIC_WRITE, 0, FILE_FLAG_DELETE_ON_CLOSE, &a);
    const OwnedFile fb = work.CreateNewFile(L"DelSelf", L".bat", GENERIC_WRITE, 0, FILE_FLAG_DELETE_ON_CLOSE, &b);
    ASSERT_TRUE(fa && fb);
    EXPECT_EQ(a.size(), work.Path().size() + std::wstring(L"\\DelSelf-0123456789abcdef.bat").size()) << a;
    EXPECT_EQ(a.compare(0, work.Path().size() + 9, work.Path() + L"\\DelSelf-"), 0) << a;
    EXPECT_NE(a, b);
    // Only ever a new file: one of its name that is there already stays as it is.
    const std::wstring planted = work.Path() + L"\\DelSelf-planted.bat";
    ASSERT_TRUE(WriteFileBytes(planted, "planted"));
    EXPECT_FALSE(work.CreateNewFileNamed(L"DelSelf-planted.bat", GENERIC_WRITE, 0, 0));
    EXPECT_EQ(ReadFileBytes(planted), "planted");
    ::DeleteFileW(planted.c_str());
    // Run without the registry's AutoRun commands and delayed expansion.
    // Wine's command interpreter reads neither setting: the line shows it.
    EXPECT_EQ(SelfDeleteCommandLine("C:\\Windows\\system32", "C:\\W\\b.bat"),
              "\"C:\\Windows\\system32\\cmd.exe\" /D /V:OFF /C \"\"C:\\W\\b.bat\"\"");
    // Never a cut batch: over 2048 bytes there is none.
    EXPECT_EQ(SelfDeleteBatchText(std::string(1100, 'x'), "C:\\P", "b.bat", false), "");
}

TEST(SelfDelete, CountsFilesBelowAFolder) {
    ScratchDir dir(L"count");
    EXPECT_EQ(CountFilesBelow(dir.path().c_str()), 0u);
    WriteFileBytes(dir / L"kvr.exe", "x");
    EXPECT_EQ(CountFilesBelow(dir.path().c_str()), 1u);
    EXPECT_EQ(CountFilesBelow((dir.path() + L"\\").c_str()), 1u);
    ::CreateDirectoryW((dir / L"sub").c_str(), nullptr);
    ::CreateDirectoryW((dir / L"sub\\deeper").c_str(), nullptr);
    EXPECT_EQ(CountFilesBelow(dir.path().c_str()), 1u);  // empty folders add nothing
    WriteFileBytes(dir / L"sub\\deeper\\Statistic.ini", "x");
    EXPECT_EQ(CountFilesBelow(dir.path().c_str()), 2u);
    EXPECT_EQ(CountFilesBelow((dir / L"missing").c_str()), 1u);  // cannot be listed
    EXPECT_EQ(CountFilesBelow(L""), 0u);
}

TEST(BrowserEmulation, TheInstalledExplorersMajorVersion) {
    EXPECT_EQ(BrowserEmulationValue(L"11.0.9600.18860", L"9.11.9600.18860"), 11000u);  // 10 and later
    EXPECT_EQ(BrowserEmulationValue(nullptr, L"8.0.6001.18702"), 8000u);               // XP with IE8
    EXPECT_EQ(BrowserEmulationValue(L"x", L"9.0.8112.16421"), 9000u);
    for (const wchar_t* none : {L"6.0.2900.5512", L"", L"11", L"99999999999.0"})
        EXPECT_EQ(BrowserEmulationValue(L"", none), 0u) << none;
}
