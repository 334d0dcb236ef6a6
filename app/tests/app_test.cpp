// The application object: what Init makes and how WinMain treats its answer,
// with a taskbar on a shell thread and the simulated accelerometer.
#include "app/app.h"
#include "device/accelerometer.h"
#include "zt/drivers/simulated_accelerometer.h"
#include "zt/sys/devices.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <memory>

using zt::testhost::WindowThread;

namespace {

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_accelerometer = std::make_shared<zt::drivers::SimulatedAccelerometer>();
        m_accelerometer->set_reading(0, 0, 64);
        ASSERT_TRUE(m_accelerometer->register_as(u"ACC0:"));
        m_shell = std::make_unique<WindowThread>();
        m_taskbar = m_shell->create(u"CTaskBar", true);
    }
    void TearDown() override {
        while (g_hAccDevice != INVALID_HANDLE_VALUE)
            AccClose();
        zt::sys::unregister_stream_driver(u"ACC0:");
        m_shell.reset();
    }

    std::shared_ptr<zt::drivers::SimulatedAccelerometer> m_accelerometer;
    std::unique_ptr<WindowThread> m_shell;
    HWND m_taskbar = nullptr;
};

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
