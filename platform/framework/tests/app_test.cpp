// WinMain and the application object: start, loop, exit code.
#include "framework_test.h"

#include <gtest/gtest.h>

#include <string>

using fwtest::RecordingWnd;

namespace {

// An application whose Init makes a window and arranges how the loop ends.
class TestApp : public CMzApp {
  public:
    BOOL Init() override {
        log += "Init;";
        if (!initResult)
            return FALSE;
        if (!m_wnd.Create(0, 0, 480, 720))
            return FALSE;
        if (setup)
            setup(*this);
        return TRUE;
    }
    int Run() override {
        log += "Run;";
        return CMzApp::Run();
    }
    void Done() override { log += "Done;"; }
    BOOL PreTranslateMessage(MSG* msg) override {
        if (swallowClicks && msg->message == WM_LBUTTONDOWN)
            return TRUE;
        return CMzApp::PreTranslateMessage(msg);
    }

    RecordingWnd m_wnd;
    std::string log;
    BOOL initResult = TRUE;
    bool swallowClicks = false;
    std::function<void(TestApp&)> setup;
};

int run_win_main() {
    return WinMain(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace

TEST(WinMain, RunsInitOnceThenTheLoopAndReturnsTheQuitCode) {
    TestApp app;
    ASSERT_EQ(CMzApp::GetApp(), &app);
    app.setup = [](TestApp& a) {
        SetTimer(a.m_wnd.m_hWnd, 3, 40, nullptr);
        a.m_wnd.onTimer = [](UINT_PTR) { PostQuitMessage(42); };
    };
    const DWORD start = GetTickCount();
    EXPECT_EQ(run_win_main(), 42);
    EXPECT_EQ(app.log, "Init;Run;Done;");
    EXPECT_EQ(app.m_wnd.initCalls, 1);
    // The loop dispatched the tick that ended it.
    EXPECT_EQ(app.m_wnd.timers, (std::vector<UINT_PTR>{3}));
    EXPECT_EQ(GetTickCount() - start, 40u);
}

TEST(WinMain, ClosingTheMainWindowEndsTheLoopWithCodeZero) {
    TestApp app;
    app.setup = [](TestApp& a) { PostMessageW(a.m_wnd.m_hWnd, WM_CLOSE, 0, 0); };
    EXPECT_EQ(run_win_main(), 0);
    EXPECT_EQ(app.log, "Init;Run;Done;");
    EXPECT_TRUE(app.m_wnd.saw(WM_DESTROY));
    EXPECT_EQ(app.m_wnd.m_hWnd, nullptr);
}

TEST(WinMain, AFailedInitSkipsTheLoopAndGivesANonzeroCode) {
    TestApp app;
    app.initResult = FALSE;
    // Something the loop would take if it ran.
    PostThreadMessageW(GetCurrentThreadId(), WM_USER + 5, 0, 0);
    EXPECT_NE(run_win_main(), 0);
    EXPECT_EQ(app.log, "Init;Done;");
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 5);
}

TEST(WinMain, WithoutAnApplicationObjectThereIsNothingToRun) {
    ASSERT_EQ(CMzApp::GetApp(), nullptr);
    EXPECT_EQ(run_win_main(), MZ_EXIT_INIT_FAILED);
}

TEST(WinMain, PreTranslateMessageCanKeepAMessageFromItsWindow) {
    TestApp app;
    app.swallowClicks = true;
    app.setup = [](TestApp& a) {
        HWND hwnd = a.m_wnd.m_hWnd;
        PostMessageW(hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(1, 1));
        PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(run_win_main(), 0);
    EXPECT_EQ(app.m_wnd.mouse, (std::vector<fwtest::Mouse>{{WM_LBUTTONUP, 0, 2, 2}}));
}

TEST(Application, TheFirstObjectIsTheApplicationUntilItGoes) {
    {
        CMzApp first;
        CMzApp second;
        EXPECT_EQ(CMzApp::GetApp(), &first);
    }
    EXPECT_EQ(CMzApp::GetApp(), nullptr);
}

TEST(Application, TheMainWindowLeavingWithItsObjectPostsNoQuit) {
    {
        TestApp app;
        ASSERT_TRUE(app.Init());
    }
    MSG msg;
    bool quit = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        quit = quit || msg.message == WM_QUIT;
    EXPECT_FALSE(quit);
}
