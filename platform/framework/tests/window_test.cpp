// Framework windows: creation, message routing, painting requests.
#include "framework_test.h"

#include <gtest/gtest.h>

using fwtest::Mouse;
using fwtest::pump_pending;
using fwtest::pump_until;
using fwtest::RecordingWnd;

namespace {

bool same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

TEST(Creation, OnInitDialogRunsInsideCreateWithTheWindowAlreadyThere) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(0, 0, 480, 720));
    EXPECT_EQ(wnd.initCalls, 1);
    EXPECT_NE(wnd.hwndAtInit, nullptr);
    EXPECT_EQ(wnd.hwndAtInit, wnd.m_hWnd);
    EXPECT_EQ(wnd.widthAtInit, 480);
    EXPECT_EQ(wnd.heightAtInit, 720);
    // WM_CREATE is what ran it, through the window's own procedure.
    EXPECT_TRUE(wnd.saw(WM_NCCREATE));
    EXPECT_TRUE(wnd.saw(WM_CREATE));
    EXPECT_EQ(FindWindowW(TEXT("FwRecordingWnd"), nullptr), wnd.m_hWnd);
}

TEST(Creation, AZeroFromOnInitDialogFailsCreateAndDestroysTheWindow) {
    RecordingWnd wnd;
    wnd.initResult = FALSE;
    HWND during = nullptr;
    wnd.onInit = [&] { during = wnd.m_hWnd; };
    EXPECT_FALSE(wnd.Create(0, 0, 480, 720));
    EXPECT_EQ(wnd.initCalls, 1);
    ASSERT_NE(during, nullptr);
    EXPECT_FALSE(IsWindow(during));
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_TRUE(wnd.saw(WM_DESTROY));
    EXPECT_EQ(FindWindowW(TEXT("FwRecordingWnd"), nullptr), nullptr);
}

TEST(Creation, CreatingTwiceFailsAndKeepsTheFirstWindow) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(0, 0, 100, 100));
    HWND first = wnd.m_hWnd;
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(wnd.Create(0, 0, 100, 100));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(wnd.m_hWnd, first);
    EXPECT_TRUE(IsWindow(first));
}

TEST(Creation, AWindowMadeDuringAnotherWindowsCreationGetsItsOwnMessages) {
    RecordingWnd outer;
    RecordingWnd inner;
    outer.onInit = [&] { inner.Create(0, 0, 50, 50); };
    ASSERT_TRUE(outer.Create(0, 0, 100, 100));
    ASSERT_NE(inner.m_hWnd, nullptr);
    ASSERT_NE(inner.m_hWnd, outer.m_hWnd);
    PostMessageW(outer.m_hWnd, WM_LBUTTONDOWN, 0, MAKELPARAM(1, 2));
    PostMessageW(inner.m_hWnd, WM_LBUTTONDOWN, 0, MAKELPARAM(3, 4));
    pump_pending();
    EXPECT_EQ(outer.mouse, (std::vector<Mouse>{{WM_LBUTTONDOWN, 0, 1, 2}}));
    EXPECT_EQ(inner.mouse, (std::vector<Mouse>{{WM_LBUTTONDOWN, 0, 3, 4}}));
}

TEST(Creation, DestroyingTheObjectDestroysItsWindow) {
    HWND hwnd = nullptr;
    {
        RecordingWnd wnd;
        ASSERT_TRUE(wnd.Create(0, 0, 100, 100));
        hwnd = wnd.m_hWnd;
    }
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(Creation, AWindowDestroyedFirstLeavesTheObjectWithoutAHandle) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(0, 0, 100, 100));
    HWND hwnd = wnd.m_hWnd;
    DestroyWindow(hwnd);
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_TRUE(wnd.saw(WM_NCDESTROY));
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(wnd.Invalidate());
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(wnd.GetWidth(), 0);
    const RECT none{0, 0, 0, 0};
    EXPECT_TRUE(same(wnd.MzGetClientRect(), none));
}

TEST(Creation, WithoutAnApplicationObjectNoWindowEndsTheLoop) {
    {
        RecordingWnd wnd;
        ASSERT_TRUE(wnd.Create(0, 0, 100, 100));
        DestroyWindow(wnd.m_hWnd);
    }
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) && msg.message == WM_QUIT);
}

TEST(Routing, MousePositionsReachTheHandlersSignedWithTheirFlags) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(0, 0, 480, 720));
    PostMessageW(wnd.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-5, 800));
    PostMessageW(wnd.m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, -1));
    PostMessageW(wnd.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(479, 719));
    PostMessageW(wnd.m_hWnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(-32768, 32767));
    pump_pending();
    const std::vector<Mouse> expected{
        {WM_LBUTTONDOWN, MK_LBUTTON, -5, 800},
        {WM_MOUSEMOVE, MK_LBUTTON, 100, -1},
        {WM_LBUTTONUP, 0, 479, 719},
        {WM_LBUTTONDBLCLK, MK_LBUTTON, -32768, 32767},
    };
    EXPECT_EQ(wnd.mouse, expected);
}

TEST(Routing, TimerTicksReachOnTimerWithTheirIdentifier) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(0, 0, 480, 720));
    const DWORD start = GetTickCount();
    ASSERT_NE(SetTimer(wnd.m_hWnd, 10, 10, nullptr), 0u);
    ASSERT_NE(SetTimer(wnd.m_hWnd, 11, 25, nullptr), 0u);
    EXPECT_TRUE(pump_until([&] { return wnd.timers.size() >= 6; }));
    EXPECT_EQ(GetTickCount() - start, 50u);
    EXPECT_EQ(wnd.timers, (std::vector<UINT_PTR>{10, 10, 11, 10, 10, 10}));
}

TEST(Routing, EveryMessagePassesThroughTheOverriddenProcedure) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(0, 0, 480, 720));
    const UINT messages[] = {WM_LBUTTONDOWN, WM_TIMER, WM_ACTIVATE, WM_USER + 7, WM_COMMAND, WM_SETTINGCHANGE};
    wnd.calls.clear();
    for (UINT m : messages)
        SendMessageW(wnd.m_hWnd, m, 2, 3);
    ASSERT_EQ(wnd.calls.size(), std::size(messages));
    for (std::size_t i = 0; i < std::size(messages); ++i) {
        EXPECT_EQ(wnd.calls[i].message, messages[i]) << i;
        EXPECT_EQ(wnd.calls[i].wParam, 2u) << i;
        EXPECT_EQ(wnd.calls[i].lParam, 3) << i;
    }
}

TEST(Routing, SizeAndCommandsReachTheirHandlers) {
    struct Wnd : RecordingWnd {
        void OnSize(int w, int h) override {
            width = w;
            height = h;
            CMzWndEx::OnSize(w, h);
        }
        BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
            command = wParam;
            commandParam = lParam;
            return TRUE;
        }
        int width = -1, height = -1;
        WPARAM command = 0;
        LPARAM commandParam = 0;
    } wnd;
    ASSERT_TRUE(wnd.Create(0, 0, 100, 100));
    MoveWindow(wnd.m_hWnd, 0, 0, 300, 200, FALSE);
    EXPECT_EQ(wnd.width, 300);
    EXPECT_EQ(wnd.height, 200);
    EXPECT_EQ(wnd.GetWidth(), 300);
    // A window of elements repaints after a size change.
    RECT update{};
    EXPECT_TRUE(GetUpdateRect(wnd.m_hWnd, &update, FALSE));
    EXPECT_EQ(update.right, 300);
    EXPECT_EQ(SendMessageW(wnd.m_hWnd, WM_COMMAND, 0x1234, 9), 0);
    EXPECT_EQ(wnd.command, 0x1234u);
    EXPECT_EQ(wnd.commandParam, 9);
}

TEST(Painting, InvalidateMergesAndOnlyTheLoopPaints) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(0, 0, 480, 720));
    ASSERT_TRUE(wnd.Show(true, true));
    ASSERT_EQ(wnd.paints.size(), 1u); // shown and painted at once
    const RECT a{10, 10, 20, 20};
    const RECT b{100, 200, 150, 260};
    EXPECT_TRUE(wnd.Invalidate(&a));
    EXPECT_TRUE(wnd.Invalidate(&b, 0));
    EXPECT_EQ(wnd.paints.size(), 1u);
    pump_pending();
    ASSERT_EQ(wnd.paints.size(), 2u);
    EXPECT_TRUE(same(wnd.paints[1], RECT{10, 10, 150, 260}));
    pump_pending();
    EXPECT_EQ(wnd.paints.size(), 2u); // painted once, then clean
}

TEST(Painting, UpdateWindowPaintsAtOnceAndOnlyWhatIsMarked) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(0, 0, 480, 720));
    ASSERT_TRUE(wnd.Show(true, false));
    EXPECT_TRUE(wnd.paints.empty()); // not yet: the loop would paint it
    EXPECT_TRUE(wnd.UpdateWindow());
    ASSERT_EQ(wnd.paints.size(), 1u);
    EXPECT_TRUE(same(wnd.paints[0], RECT{0, 0, 480, 720}));
    EXPECT_TRUE(wnd.UpdateWindow()); // clean: nothing to do
    EXPECT_EQ(wnd.paints.size(), 1u);
    wnd.Invalidate();
    EXPECT_TRUE(wnd.UpdateWindow());
    EXPECT_EQ(wnd.paints.size(), 2u);
}

TEST(Painting, AHiddenWindowIsNotPaintedUntilShown) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(0, 0, 480, 720));
    wnd.Invalidate();
    pump_pending();
    EXPECT_TRUE(wnd.paints.empty());
    EXPECT_TRUE(wnd.AnimateWindow(13, true));
    EXPECT_TRUE(IsWindowVisible(wnd.m_hWnd));
    pump_pending();
    EXPECT_EQ(wnd.paints.size(), 1u);
    EXPECT_TRUE(wnd.AnimateWindow(13, false));
    EXPECT_FALSE(IsWindowVisible(wnd.m_hWnd));
}

TEST(Painting, CallsWithoutAWindowFailWithTheWin32Error) {
    RecordingWnd wnd;
    for (auto call :
         {+[](CMzWnd& w) { return w.Show(true, true); }, +[](CMzWnd& w) { return w.AnimateWindow(13, true); },
          +[](CMzWnd& w) { return w.UpdateWindow(); }, +[](CMzWnd& w) { return w.Invalidate(); }}) {
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(call(wnd));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    }
}

TEST(Modal, DoModalRunsUntilEndModalAndReturnsItsCode) {
    RecordingWnd owner;
    ASSERT_TRUE(owner.Create(0, 0, 480, 720));
    RecordingWnd dialog;
    dialog.onTimer = [&](UINT_PTR) { dialog.EndModal(7); };
    ASSERT_TRUE(dialog.CreateModalDialog(40, 40, 200, 100, owner.m_hWnd));
    HWND hwnd = dialog.m_hWnd;
    SetTimer(hwnd, 1, 30, nullptr);
    const DWORD start = GetTickCount();
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_EQ(GetTickCount() - start, 30u);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST(Modal, AQuitDuringDoModalEndsItAndIsLeftForTheOuterLoop) {
    RecordingWnd dialog;
    dialog.onTimer = [&](UINT_PTR) { PostQuitMessage(5); };
    ASSERT_TRUE(dialog.Create(0, 0, 100, 100));
    SetTimer(dialog.m_hWnd, 1, 10, nullptr);
    EXPECT_EQ(dialog.DoModal(), 0);
    MSG msg;
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, 5u);
}
