#include <gtest/gtest.h>
#include "install/fav_dlg.h"
#include "install/favorite.h"
#include "install/uninstall.h"
#include "res/resource.h"
#include "tests/install/scratch.h"
#include "tests/support/screenshot.h"
#include "tests/support/ui_driver.h"
#include "tests/update/modal_script.h"

using namespace kvr;
using kvrtest::FileExists;
using kvrtest::ReadFileBytes;
using kvrtest::ScratchDir;

namespace {
const char kExpected[] =
    "[DEFAULT]\r\nBASEURL=http://127.0.0.1/game/play.html?server=12\r\n"
    "[{000214A0-0000-0000-C000-000000000046}]\r\n=19,2\r\n[InternetShortcut]\r\n"
    "URL=http://127.0.0.1/game/play.html?server=12\r\nIDList=\r\n";
}

TEST(Favorite, UrlFileTextByteForByte) {
    EXPECT_EQ(FavoriteFileText(L"http://127.0.0.1/game/play.html?server=12"), kExpected);
    // Cut at a character boundary to 511 bytes, never overflowed.
    const std::string longText = FavoriteFileText((L"http://h/" + std::wstring(600, L'a')).c_str());
    EXPECT_EQ(longText.size(), kFavoriteTextMax);
    const std::string wide = FavoriteFileText((L"http://h/" + std::wstring(400, L'游')).c_str(), 936);
    EXPECT_LE(wide.size(), kFavoriteTextMax);
    EXPECT_GE(wide.size(), kFavoriteTextMax - 1);
}

TEST(Favorite, NamesThatAreNotPlainFileNamesWriteNothing) {
    ScratchDir dir(L"fav");
    for (const wchar_t* bad : {L"", L"a\\b", L"..\\..\\escape", L"a/b", L"x:y", L"what?", L"a*", L"\"q\"",
                               L"<>", L"p|q", L"..", L"a..b", L"con", L"NUL.txt", L"com1", L" . "}) {
        EXPECT_FALSE(IsValidFavoriteName(bad)) << bad;
        EXPECT_FALSE(WriteFavorite(dir.path().c_str(), bad, L"http://x/"));
    }
    EXPECT_EQ(CountFilesBelow(dir.path().c_str()), 0u);
    EXPECT_TRUE(IsValidFavoriteName(L"12服-龙腾四海一区-player"));
    EXPECT_TRUE(IsValidFavoriteName(L"console"));
    EXPECT_TRUE(WriteFavorite(dir.path().c_str(), L"12服-game", L"http://127.0.0.1/game/play.html?server=12"));
    EXPECT_EQ(ReadFileBytes(dir / L"12服-game.url"), kExpected);
    // The name's entry goes, never written through: a hard link to another
    // file loses that name and the file keeps its bytes.
    ASSERT_TRUE(kvrtest::WriteFileBytes(dir / L"other.txt", "the player's file"));
    ASSERT_TRUE(::CreateHardLinkW((dir / L"linked.url").c_str(), (dir / L"other.txt").c_str(), nullptr));
    EXPECT_TRUE(WriteFavorite(dir.path().c_str(), L"linked", L"http://127.0.0.1/game/play.html?server=12"));
    EXPECT_EQ(ReadFileBytes(dir / L"linked.url"), kExpected);
    EXPECT_EQ(ReadFileBytes(dir / L"other.txt"), "the player's file");
}

TEST(FavDlg, OkWritesTheFileCancelDoesNot) {
    ScratchDir dir(L"fav");
    {
        CFavDlg dlg(L"Kelvara 12服", L"http://127.0.0.1/game/play.html?server=12");
        dlg.SetFolder(dir.path().c_str());
        std::wstring proposed, title;
        bool done = false;
        kvrtest::ModalScript script([&] {
            if (done || !dlg.IsWindow() || !::IsWindowVisible(dlg)) return;
            done = true;
            proposed = kvrtest::WindowText(dlg.GetDlgItem(IDC_FAV_NAME));
            title = kvrtest::WindowText(dlg);
            ::RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            ::Sleep(150);
            kvrtest::SaveWindowShot(dlg, L"favorite_dialog");
            ::SetWindowTextW(dlg.GetDlgItem(IDC_FAV_NAME), L"我的游戏");
            kvrtest::ClickButton(dlg, IDOK);
        });
        EXPECT_EQ(dlg.DoModal(nullptr), IDOK);
        EXPECT_EQ(proposed, L"Kelvara 12服");
        EXPECT_EQ(title, L"添加收藏");
        EXPECT_EQ(ReadFileBytes(dir / L"我的游戏.url"), kExpected);
    }
    {
        CFavDlg dlg(L"cancelled", L"http://x/");
        dlg.SetFolder(dir.path().c_str());
        kvrtest::ModalScript script([&] {
            if (dlg.IsWindow() && ::IsWindowVisible(dlg)) kvrtest::ClickButton(dlg, IDCANCEL);
        });
        EXPECT_EQ(dlg.DoModal(nullptr), IDCANCEL);
        EXPECT_FALSE(FileExists(dir / L"cancelled.url"));
    }
    {
        // A name leading out of the folder: nothing anywhere, and no message.
        CFavDlg dlg(L"..\\escaped", L"http://x/");
        dlg.SetFolder((dir / L"inner").c_str());
        ::CreateDirectoryW((dir / L"inner").c_str(), nullptr);
        kvrtest::ModalScript script([&] {
            if (dlg.IsWindow() && ::IsWindowVisible(dlg)) kvrtest::ClickButton(dlg, IDOK);
        });
        EXPECT_EQ(dlg.DoModal(nullptr), IDOK);
        EXPECT_FALSE(FileExists(dir / L"escaped.url"));
        EXPECT_EQ(CountFilesBelow((dir / L"inner").c_str()), 0u);
    }
}
