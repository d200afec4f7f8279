// The skinned message box run modally, driven by real clicks from a second
// thread as a player would.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/support/ui_driver.h"
#include "ui/message_box.h"
#include "ui_test_util.h"

using namespace kvr;
using namespace kvrtest;

namespace {

HWND FindBox(const wchar_t* title) {
    for (int i = 0; i < 300; ++i) {
        HWND h = ::FindWindowW(L"#32770", title);
        if (h && ::IsWindowVisible(h) && ::GetDlgItem(h, 5000)) return h;
        ::Sleep(20);
    }
    return nullptr;
}

POINT Centre(HWND h) {
    RECT rc{};
    ::GetWindowRect(h, &rc);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

struct Seen {
    RECT window{};
    RECT first{}, second{};
    bool hasSecond = false;
    std::wstring firstText, secondText;
    SIZE text{};
};

// Shows a box; `act` runs on another thread once it is up.
int RunBox(int kind, const wchar_t* title, const wchar_t* text,
        const std::function<void(HWND)>& act, Seen* seen = nullptr) {
    std::thread driver([&] {
        HWND box = FindBox(title);
        // Settled: its thread has finished what it was doing when asked.
        if (!box || !kvrtest::RoundTrip(box)) return;
        if (seen) {
            ::GetWindowRect(box, &seen->window);
            HWND a = ::GetDlgItem(box, 5000), b = ::GetDlgItem(box, 5001);
            ::GetWindowRect(a, &seen->first);
            ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&seen->first), 2);
            wchar_t buf[32] = L"";
            ::GetWindowTextW(a, buf, 32);
            seen->firstText = buf;
            seen->hasSecond = b != nullptr;
            if (b) {
                ::GetWindowRect(b, &seen->second);
                ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&seen->second), 2);
                ::GetWindowTextW(b, buf, 32);
                seen->secondText = buf;
            }
            // The text as the box's font measures it.
            const RECT rc = MeasuredText(box, text);
            seen->text = SIZE{rc.right, rc.bottom};
        }
        act(box);
    });
    const int result = ShowMessageBox(kind, title, text, nullptr);
    driver.join();
    return result;
}

void ClickItem(HWND box, int id) { ClickAt(Centre(::GetDlgItem(box, id)), false); }

}  // namespace

TEST(SkinnedMessageBox, OkOnlyIsCentredAndAnswersOk) {
    Seen seen;
    const int r = RunBox(kMbOk, L"MbTest1", L"\u77ED", [](HWND box) { ClickItem(box, 5000); }, &seen);
    EXPECT_EQ(IDOK, r);
    EXPECT_FALSE(seen.hasSecond);
    EXPECT_EQ(L"\u786E\u5B9A", seen.firstText);
    // A short text: two button widths plus 60.
    EXPECT_EQ(2 * 57 + 60, seen.window.right - seen.window.left);
    EXPECT_EQ(3 + seen.text.cy + 23 + 90, seen.window.bottom - seen.window.top);
    const int cw = seen.window.right - seen.window.left, ch = seen.window.bottom - seen.window.top;
    EXPECT_EQ((cw - 57) / 2, seen.first.left);
    EXPECT_EQ(ch - 30, seen.first.bottom);
}

TEST(SkinnedMessageBox, TwoLinesAddThreePixelsEach) {
    Seen seen;
    const wchar_t* text = L"\u7B2C\u4E00\u884C\u6587\u5B57\u6BD4\u8F83\u957F\u4E00\u4E9B\u4E00\u4E9B\u4E00\u4E9B\u4E00\u4E9B\n\u7B2C\u4E8C\u884C";
    const int r = RunBox(kMbOkCancel, L"MbTest2", text, [](HWND box) { ClickItem(box, 5001); }, &seen);
    EXPECT_EQ(IDCANCEL, r);
    EXPECT_EQ(L"\u53D6\u6D88", seen.secondText);
    EXPECT_EQ(6 + seen.text.cy + 23 + 90, seen.window.bottom - seen.window.top);
    const int cw = seen.window.right - seen.window.left;
    if (seen.text.cx > 2 * 57 + 60) {
        EXPECT_EQ(seen.text.cx + 60, cw);
    }
    const int m = cw / 2 - 10;
    EXPECT_EQ(m - 57, seen.first.left);
    EXPECT_EQ(m + 20, seen.second.left);
}

TEST(SkinnedMessageBox, OkCancelOk) {
    EXPECT_EQ(IDOK, RunBox(kMbOkCancel, L"MbTest3", L"\u786E\u5B9A\uFF1F", [](HWND box) { ClickItem(box, 5000); }));
}

TEST(SkinnedMessageBox, YesNo) {
    Seen seen;
    EXPECT_EQ(IDYES, RunBox(kMbYesNo, L"MbTest4", L"\u662F\u5426\uFF1F", [](HWND box) { ClickItem(box, 5000); }, &seen));
    EXPECT_EQ(L"\u662F", seen.firstText);
    EXPECT_EQ(L"\u5426", seen.secondText);
    EXPECT_EQ(IDNO, RunBox(kMbYesNo, L"MbTest5", L"\u662F\u5426\uFF1F", [](HWND box) { ClickItem(box, 5001); }));
}

TEST(SkinnedMessageBox, ClosingAnswersCancelForEveryKind) {
    for (int kind : {kMbOk, kMbOkCancel, kMbYesNo}) {
        EXPECT_EQ(IDCANCEL, RunBox(kind, L"MbTest6", L"x", [](HWND box) { ::PostMessageW(box, WM_CLOSE, 0, 0); }))
            << kind;
    }
    // The skinned close button too.
    EXPECT_EQ(IDCANCEL, RunBox(kMbYesNo, L"MbTest7", L"x", [](HWND box) { ClickItem(box, kIdCaptionClose); }));
}

TEST(SkinnedMessageBox, ItsLinesAreItsChildrensTexts) {
    std::wstring first, second;
    RunBox(kMbOk, L"MbTest8", L"\u7B2C\u4E00\u884C\n\u7B2C\u4E8C\u884C & more", [&](HWND box) {
        wchar_t text[64] = L"";
        ::GetWindowTextW(::GetDlgItem(box, CMessageBox::kFirstLineId), text, 64);
        first = text;
        ::GetWindowTextW(::GetDlgItem(box, CMessageBox::kFirstLineId + 1), text, 64);
        second = text;
        ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(L"\u7B2C\u4E00\u884C", first);
    EXPECT_EQ(L"\u7B2C\u4E8C\u884C & more", second);
}

namespace {
// A box whose window goes away without EndDialog (destroyed from inside its
// thread), or whose loop meets the quit message.
class DestroyedBox : public CMessageBox {
public:
    DestroyedBox() : CMessageBox(L"x", nullptr, nullptr, nullptr, nullptr, L"MbTest9", kMbYesNo) {}
    BEGIN_MSG_MAP(DestroyedBox)
        MESSAGE_HANDLER(WM_APP, OnDestroyNow)
        CHAIN_MSG_MAP(CMessageBox)
    END_MSG_MAP()

private:
    LRESULT OnDestroyNow(UINT, WPARAM, LPARAM, BOOL&) {
        ::DestroyWindow(m_hWnd);
        return 0;
    }
};

// Runs DoModal while `act` runs on another thread; a watchdog ends a loop
// that does not end by itself with WM_QUIT (and reports it).
INT_PTR RunModal(CDialogImpl& dialog, const std::function<void(HWND)>& act, bool* rescued) {
    const DWORD thread = ::GetCurrentThreadId();
    std::atomic<bool> done{false};
    std::thread driver([&] {
        HWND box = FindBox(L"MbTest9");
        if (box) act(box);
        for (int i = 0; i < 150 && !done; ++i) ::Sleep(20);
        if (!done) {
            *rescued = true;
            ::PostThreadMessageW(thread, WM_QUIT, 0, 0);
        }
    });
    const INT_PTR result = dialog.DoModal(nullptr);
    done = true;
    driver.join();
    return result;
}
}  // namespace

TEST(SkinnedMessageBox, DestroyedWindowOrQuitEndsTheLoopAsCancel) {
    bool rescued = false;
    DestroyedBox destroyed;
    EXPECT_EQ(IDCANCEL, RunModal(destroyed, [](HWND box) { ::PostMessageW(box, WM_APP, 0, 0); }, &rescued));
    EXPECT_FALSE(rescued) << "the loop ran on after its window was gone";
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }

    // The quit message ends the box as a cancel, not as a box that could not
    // be made (which would show the system's box instead), and stays for
    // the outer loop.
    const DWORD thread = ::GetCurrentThreadId();
    std::thread quitter([&] {
        if (FindBox(L"MbTest9")) ::PostThreadMessageW(thread, WM_QUIT, 3, 0);
    });
    const int result = ShowMessageBox(kMbYesNo, L"MbTest9", L"x", nullptr);
    quitter.join();
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit message was eaten";
    EXPECT_EQ(3u, msg.wParam);
}
