// WinMain and the application object: start, loop, exit code.
#include "framework_test.h"

#include "zt/host.h"

#include <gtest/gtest.h>

#include <cstdint>
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

// The two ways the application runs: WinMain, whose loop blocks in
// GetMessageW, and turn by turn, as every host's core runs it (the host
// waits between turns for as long as the platform says).
struct Entry {
    const char* name;
    int (*run)();
    const char* log; // what TestApp logs on a run that ends through the loop
};

void PrintTo(const Entry& entry, std::ostream* os) {
    *os << entry.name;
}

int run_win_main() {
    return WinMain(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
}

int run_in_turns() {
    if (!MzStartApp())
        return MZ_EXIT_INIT_FAILED;
    for (int turn = 0; turn < 100; ++turn) {
        int code = -1;
        if (!MzRunWaitingMessages(&code))
            return code;
        const std::uint64_t deadline = zt::host::loop_deadline();
        if (deadline == zt::host::kNoDeadline)
            break;
        const std::uint64_t now = zt::host::now();
        Sleep(deadline > now ? static_cast<DWORD>(deadline - now) : 0);
    }
    ADD_FAILURE() << "the loop did not end";
    return -1;
}

class Start : public ::testing::TestWithParam<Entry> {};

INSTANTIATE_TEST_SUITE_P(Entries, Start,
                         ::testing::Values(Entry{"WinMain", &run_win_main, "Init;Run;Done;"},
                                           Entry{"Turns", &run_in_turns, "Init;Done;"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

TEST_P(Start, RunsInitOnceThenTheLoopAndReturnsTheQuitCode) {
    TestApp app;
    ASSERT_EQ(CMzApp::GetApp(), &app);
    app.setup = [](TestApp& a) {
        SetTimer(a.m_wnd.m_hWnd, 3, 40, nullptr);
        a.m_wnd.onTimer = [](UINT_PTR) { PostQuitMessage(42); };
    };
    const DWORD start = GetTickCount();
    EXPECT_EQ(GetParam().run(), 42);
    EXPECT_EQ(app.log, GetParam().log);
    EXPECT_EQ(app.m_wnd.initCalls, 1);
    // The loop dispatched the tick that ended it, on time.
    EXPECT_EQ(app.m_wnd.timers, (std::vector<UINT_PTR>{3}));
    EXPECT_EQ(GetTickCount() - start, 40u);
}

TEST_P(Start, ClosingTheMainWindowEndsTheLoopWithCodeZero) {
    TestApp app;
    app.setup = [](TestApp& a) { PostMessageW(a.m_wnd.m_hWnd, WM_CLOSE, 0, 0); };
    EXPECT_EQ(GetParam().run(), 0);
    EXPECT_EQ(app.log, GetParam().log);
    EXPECT_TRUE(app.m_wnd.saw(WM_DESTROY));
    EXPECT_EQ(app.m_wnd.m_hWnd, nullptr);
}

TEST_P(Start, AFailedInitSkipsTheLoopAndGivesANonzeroCode) {
    TestApp app;
    app.initResult = FALSE;
    // Something the loop would take if it ran.
    PostThreadMessageW(GetCurrentThreadId(), WM_USER + 5, 0, 0);
    EXPECT_NE(GetParam().run(), 0);
    EXPECT_EQ(app.log, "Init;Done;");
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 5);
}

TEST_P(Start, WithoutAnApplicationObjectThereIsNothingToRun) {
    ASSERT_EQ(CMzApp::GetApp(), nullptr);
    EXPECT_EQ(GetParam().run(), MZ_EXIT_INIT_FAILED);
    int code = 0;
    EXPECT_FALSE(MzRunWaitingMessages(&code));
    EXPECT_EQ(code, MZ_EXIT_INIT_FAILED);
}

TEST_P(Start, PreTranslateMessageCanKeepAMessageFromItsWindow) {
    TestApp app;
    app.swallowClicks = true;
    app.setup = [](TestApp& a) {
        HWND hwnd = a.m_wnd.m_hWnd;
        PostMessageW(hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(1, 1));
        PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(GetParam().run(), 0);
    EXPECT_EQ(app.m_wnd.mouse, (std::vector<fwtest::Mouse>{{WM_LBUTTONUP, 0, 2, 2}}));
}

TEST(Turns, ATurnTakesWhatIsWaitingAndLeavesTheRestForLater) {
    TestApp app;
    app.setup = [](TestApp& a) {
        SetTimer(a.m_wnd.m_hWnd, 7, 30, nullptr);
        PostMessageW(a.m_wnd.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(3, 4));
    };
    ASSERT_TRUE(MzStartApp());
    int code = -1;
    EXPECT_TRUE(MzRunWaitingMessages(&code));
    EXPECT_EQ(app.m_wnd.mouse, (std::vector<fwtest::Mouse>{{WM_LBUTTONUP, 0, 3, 4}}));
    EXPECT_TRUE(app.m_wnd.timers.empty());
    // On the tests' virtual clock, which moves only in Sleep.
    EXPECT_EQ(zt::host::loop_deadline(), zt::host::now() + 30);
    Sleep(30);
    EXPECT_EQ(zt::host::loop_deadline(), zt::host::now());
    EXPECT_TRUE(MzRunWaitingMessages(&code));
    EXPECT_EQ(app.m_wnd.timers, (std::vector<UINT_PTR>{7}));
    KillTimer(app.m_wnd.m_hWnd, 7);
    EXPECT_EQ(zt::host::loop_deadline(), zt::host::kNoDeadline);
    PostMessageW(app.m_wnd.m_hWnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(zt::host::loop_deadline(), 0u);
    EXPECT_FALSE(MzRunWaitingMessages(&code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(app.log, "Init;Done;");
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
