#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
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

    // A folder someone made before the install gets the same list. Wine sets
    // no list on an existing file (SetNamedSecurityInfoW succeeds and changes
    // nothing), so only Windows can show this.
    const std::wstring early = folder.path() + L"\\Early";
    ASSERT_TRUE(::CreateDirectoryW(early.c_str(), nullptr));
    ASSERT_FALSE(CopyIntoInstallFolder(exe.c_str(), early.c_str()).empty());
    if (!kvrtest::UnderWine()) kvrtest::ExpectProgramFolderList(early);
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

TEST(SelfDelete, BatchTextInBothForms) {
    EXPECT_EQ(SelfDeleteBatchText("C:\\P\\kvr.exe", "C:\\P", "C:\\T\\DelSelf1.tmp.bat", true),
              "cd\\\r\n:delexe\r\nping -n 1 127.0.0.1\r\ndel \"C:\\P\\kvr.exe\"\r\n"
              "if exist \"C:\\P\\kvr.exe\" goto :delexe\r\ndel \"C:\\P\" /Q /F /A\r\nrd \"C:\\P\"\r\n"
              "del \"C:\\T\\DelSelf1.tmp.bat\"\r\n");
    EXPECT_EQ(SelfDeleteBatchText("C:\\P\\kvr.exe", "C:\\P", "C:\\T\\DelSelf1.tmp.bat", false),
              "cd\\\r\n:delexe\r\nping -n 1 127.0.0.1\r\ndel \"C:\\P\\kvr.exe\"\r\n"
              "if exist \"C:\\P\\kvr.exe\" goto :delexe\r\ndel \"C:\\T\\DelSelf1.tmp.bat\"\r\n");
    // "%" in a path is the character, not a variable of the batch language.
    EXPECT_EQ(SelfDeleteBatchText("C:\\100%x\\kvr.exe", "C:\\100%x", "C:\\T\\b.bat", true),
              "cd\\\r\n:delexe\r\nping -n 1 127.0.0.1\r\ndel \"C:\\100%%x\\kvr.exe\"\r\n"
              "if exist \"C:\\100%%x\\kvr.exe\" goto :delexe\r\ndel \"C:\\100%%x\" /Q /F /A\r\nrd \"C:\\100%%x\"\r\n"
              "del \"C:\\T\\b.bat\"\r\n");
    // Beside GetTempFileName's name, with 64 random bits nobody can foresee.
    const std::string a = SelfDeleteBatchPath("C:\\T\\DelSelf1A2B.tmp");
    const std::string b = SelfDeleteBatchPath("C:\\T\\DelSelf1A2B.tmp");
    ASSERT_EQ(a.size(), std::string("C:\\T\\DelSelf1A2B-0123456789abcdef.bat").size()) << a;
    EXPECT_EQ(a.compare(0, 17, "C:\\T\\DelSelf1A2B-"), 0) << a;
    EXPECT_EQ(a.substr(a.size() - 4), ".bat");
    EXPECT_NE(a, b);
    EXPECT_EQ(SelfDeleteBatchPath("no folder"), "");
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
