// The add-account choice: each button posts exactly one answer to the game
// window and hides the panel; losing activation hides it without an answer.
#include <gtest/gtest.h>
#include <windows.h>
#include "base/messages.h"
#include "login/add_acc_dlg.h"
#include "tests/support/ui_driver.h"

namespace kvr {
namespace {

int g_answers[2] = {0, 0};

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KVR_ADD_ACCOUNT && wParam <= 1) {
        ++g_answers[wParam];
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Pump() {
    kvrtest::WaitUntil([] { return false; }, 300);
}

TEST(AddAccountDialog, AnswersOnceAndHides) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KvrTestGameParent";
    ::RegisterClassW(&wc);
    HWND parent = ::CreateWindowExW(0, wc.lpszClassName, L"parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                                    600, 400, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(parent, nullptr);
    CAddAccDlg dialog;
    ASSERT_NE(dialog.Create(parent), nullptr);
    HWND panel = dialog.m_hWnd;
    EXPECT_EQ(::SendMessageW(panel, WM_NCHITTEST, 0, MAKELPARAM(60, 60)), HTCLIENT);  // not draggable

    ::ShowWindow(panel, SW_SHOW);
    kvrtest::ClickButton(panel, IDOK);
    Pump();
    EXPECT_EQ(g_answers[1], 1);
    EXPECT_EQ(g_answers[0], 0);
    EXPECT_FALSE(::IsWindowVisible(panel));

    ::ShowWindow(panel, SW_SHOW);
    kvrtest::ClickButton(panel, IDCANCEL);
    Pump();
    EXPECT_EQ(g_answers[0], 1);
    EXPECT_EQ(g_answers[1], 1);
    EXPECT_FALSE(::IsWindowVisible(panel));

    // A click elsewhere: the panel loses activation and hides, answering nothing.
    ::ShowWindow(panel, SW_SHOW);
    ::SetForegroundWindow(panel);
    Pump();
    ::SetForegroundWindow(parent);
    ::SetActiveWindow(parent);
    Pump();
    EXPECT_FALSE(::IsWindowVisible(panel));
    EXPECT_EQ(g_answers[0] + g_answers[1], 2);

    ::DestroyWindow(panel);
    ::DestroyWindow(parent);
}

}  // namespace
}  // namespace kvr
