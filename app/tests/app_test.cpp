// The application object: what Init makes and how WinMain treats its answer,
// with a taskbar on a shell thread and the simulated accelerometer.
#include "app/app.h"
#include "app/rehearsal.h"
#include "phone_fixture.h"
#include "zt/screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

using AppTest = uitest::PhoneFixture;

} // namespace

TEST_F(AppTest, InitShowsTheMainWindowOverTheWholeScreenAndOpensTheAccelerometer) {
    CZentrickApp app;
    ASSERT_EQ(app.Init(), TRUE);
    HWND window = app.m_MainWnd.m_hWnd;
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    RECT frame{};
    ASSERT_TRUE(GetWindowRect(window, &frame));
    EXPECT_EQ(frame.right - frame.left, 480);
    EXPECT_EQ(frame.bottom - frame.top, 720);
    EXPECT_EQ(FindWindowW(u"CZentrickMainWnd", nullptr), window);
    EXPECT_EQ(g_nAccOpenCount, 1);
    EXPECT_NE(g_hAccDevice, INVALID_HANDLE_VALUE);
}

TEST_F(AppTest, AnInitWhoseWindowCannotBeMadeFailsAndWinMainSkipsTheLoop) {
    {
        CZentrickApp app;
        EXPECT_FALSE(IsWindowVisible(m_taskbar)); // hidden from construction on
        ASSERT_EQ(app.Init(), TRUE);
        EXPECT_TRUE(IsWindowVisible(app.m_MainWnd.m_hWnd));
        // A second window cannot be made for the same object: Init says so,
        // and WinMain returns at once with a nonzero code instead of looping.
        SetLastError(0);
        EXPECT_EQ(app.Init(), FALSE);
        PostQuitMessage(0); // would end a loop that must not run
        EXPECT_NE(WinMain(MzGetInstanceHandle(), nullptr, const_cast<LPWSTR>(u""), SW_SHOW), 0);
        MSG msg;
        EXPECT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)); // the quit is still there
        EXPECT_EQ(msg.message, WM_QUIT);
    }
    EXPECT_TRUE(IsWindowVisible(m_taskbar)); // the app object's end gives it back
}

// The rehearsal guides lie on every line where a press changes region, and
// nowhere else: the performer rehearses on the trick's own grid.
TEST(RehearsalGuides, LieExactlyWhereAPressChangesRegion) {
    auto listed = [](const auto& guides, int at) {
        return std::find(std::begin(guides), std::end(guides), at) != std::end(guides);
    };
    for (int x = 1; x < SCREEN_WIDTH; ++x)
        EXPECT_EQ(listed(REHEARSAL_GUIDE_COLUMNS, x), TrickRegionCode(x - 1, 100) != TrickRegionCode(x, 100))
            << "x " << x;
    for (int y = 1; y < SCREEN_HEIGHT; ++y)
        EXPECT_EQ(listed(REHEARSAL_GUIDE_ROWS, y), TrickRegionCode(50, y - 1) != TrickRegionCode(50, y)) << "y " << y;
}
