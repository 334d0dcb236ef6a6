// The shell commands as only the stand-in can show them: their trace lines,
// the virtual clock's exact ticks and the display driver's answers. What they
// do on both sides is in conformance/tests/shell_commands_test.cpp, on the
// same fixtures.
#include "shell_fixtures.h"

#include "zt/sys/trace.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace shelltest;
using zt::testhost::TraceCapture;

// ----- desktop and lock windows ------------------------------------------------------

TEST_F(ShellCommands, DesktopLockWithOneWindowMissingDropsOnlyThatDelivery) {
    HWND desktop = add(u"DesktopExplorerWindow", 11);
    EXPECT_EQ(DesktopLockMsg02(3), 11);
    EXPECT_EQ(DesktopLockMsg02(2), 0);
    expect_deliveries({{desktop, shell_message(0x02), 0, 0}}, "no lock window");
    close_shell();

    HWND lock = add(u"CLockPhoneWnd", 22);
    EXPECT_EQ(DesktopLockMsg02(3), 22);
    EXPECT_EQ(DesktopLockMsg02(1), 0);
    expect_deliveries({{lock, shell_message(0x02), 0, 0}}, "no desktop window");
}

TEST_F(ShellCommands, DesktopLockLooksUpBothWindowsOnEveryCallInOrder) {
    add(u"CLockPhoneWnd", 22);
    TraceCapture trace(zt::trace::kShell);
    DesktopLockMsg02(0);
    DesktopLockMsg02(2);
    const auto lookups = trace.starting("trace:shell: FindWindowW(");
    ASSERT_EQ(lookups.size(), 4u);
    for (int call = 0; call < 2; ++call) {
        EXPECT_EQ(lookups[2 * call].rfind("trace:shell: FindWindowW(\"DesktopExplorerWindow\", NULL)", 0), 0u);
        EXPECT_EQ(lookups[2 * call + 1].rfind("trace:shell: FindWindowW(\"CLockPhoneWnd\", NULL)", 0), 0u);
    }
}

// ----- shell main window ----------------------------------------------------------------

TEST_F(ShellCommands, Msg19WithZeroWParamLooksNothingUp) {
    add(u"CShellMainWnd", 5);
    TraceCapture trace(zt::trace::kShell | zt::trace::kMsg);
    EXPECT_EQ(ShellMainMsg19(0, 1234), 0);
    EXPECT_TRUE(trace.lines().empty()) << trace.lines().front();
}

TEST_F(ShellCommands, Msg1ADeliversAZeroWParamLikeAnyOther) {
    HWND main = add(u"CShellMainWnd", 5);
    TraceCapture trace(zt::trace::kShell);
    EXPECT_EQ(ShellMainMsg1A(0, 1234), 1);
    EXPECT_EQ(trace.starting("trace:shell: FindWindowW(\"CShellMainWnd\", NULL)").size(), 1u);
    EXPECT_EQ(trace.starting("trace:shell: SendMessageTimeoutW(\"CShellMainWnd\", 0xfff0001a, 0, 0x4d2, 2000)").size(),
              1u);
    expect_deliveries({{main, shell_message(0x1A), 0, 1234}}, "ShellMainMsg1A(0, x)");
}

// ----- desktop explore ---------------------------------------------------------------------

TEST_F(ShellCommands, DesktopExploreDeliversBeforeItsPause) {
    add(u"DesktopExploreWindows", 3);
    const DWORD start = GetTickCount();
    EXPECT_EQ(DesktopExploreMsg01(), 3);
    EXPECT_EQ(GetTickCount() - start, 10u);
    const auto got = received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].tick, start);
}

// ----- lock state ----------------------------------------------------------------------------

TEST_F(LockState, OpensForReadingAsksForFourBytesAndClosesWhatItOpened) {
    seed(kLockKey, u"IsLockState", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0});
    TraceCapture trace(zt::trace::kReg);
    EXPECT_EQ(QueryLockState(), 0);
    const auto lines = trace.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("trace:reg: RegOpenKeyExW(HKEY_LOCAL_MACHINE, \"System\\\\State\\\\ZaruVuvIvozi\", 0, "
                             "0x20019) = 0, key ",
                             0),
              0u);
    EXPECT_NE(lines[1].find("\"IsLockState\", 4) = 234"), std::string::npos) << lines[1]; // ERROR_MORE_DATA
    EXPECT_EQ(lines[2].rfind("trace:reg: RegCloseKey(", 0), 0u);
    EXPECT_NE(lines[2].find(") = 0"), std::string::npos);
}

TEST_F(LockState, AMissingKeyIsNotClosed) {
    TraceCapture trace(zt::trace::kReg);
    EXPECT_EQ(QueryLockState(), 0);
    const auto lines = trace.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(") = 2, key NULL"), std::string::npos) << lines[0];
}

// ----- display escapes ---------------------------------------------------------------------

TEST(DisplayEscapes, AnswerOneOnlyForAPositiveDriverResultAndAlwaysReleaseTheDc) {
    std::vector<int> asked;
    int answer = 0;
    zt::testhost::set_display_escape([&](int code) {
        asked.push_back(code);
        return answer;
    });
    struct Case {
        int driver;
        int expected;
    } cases[] = {{0, 0}, {5, 1}, {-1, 0}, {1, 1}};
    for (const auto& c : cases) {
        answer = c.driver;
        TraceCapture trace(zt::trace::kGdi);
        asked.clear();
        EXPECT_EQ(DisplayEscape20113(), c.expected) << "driver " << c.driver;
        EXPECT_EQ(DisplayEscape20114(), c.expected) << "driver " << c.driver;
        EXPECT_EQ(asked, (std::vector<int>{0x20113, 0x20114}));
        // Each call takes the screen's DC and gives it back.
        EXPECT_EQ(trace.starting("trace:gdi: GetDC(NULL) = ").size(), 2u);
        const auto released = trace.starting("trace:gdi: ReleaseDC(NULL,");
        ASSERT_EQ(released.size(), 2u);
        for (const auto& line : released)
            EXPECT_EQ(line.substr(line.size() - 5), " = 1\n") << line;
    }
    zt::testhost::set_display_escape(nullptr);
}
