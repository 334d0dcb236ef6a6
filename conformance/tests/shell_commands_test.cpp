// The shell commands library, compiled unchanged on both sides, against real
// windows of a shell thread. The shell's own message numbers lie above
// 0xFFFF, which desktop Win32 keeps for itself: what they deliver is pinned
// on the stand-in only, while lookups, ShowWindow's answers, the escapes and
// the registry are pinned on both.
#include "conformance/harness.h"
#include "shell_fixtures.h"

#include <functional>
#include <string>
#include <vector>

using conformance::elapsed_is;
using namespace shelltest;

namespace {

const char* const kShellNumbers =
    "the phone's system delivers the shell's message numbers (0xFFF00001 and up) like any other; desktop Win32 keeps "
    "numbers above 0xFFFF for itself (Wine answers them without calling the window)";

} // namespace

// ----- taskbar hide and show (both sides) ---------------------------------------------

TEST_F(ShellCommands, HidingTwiceAnswersOneThenZeroAndLeavesTheTaskbarHidden) {
    HWND bar = add(TEXT("CTaskBar"), 1, true);
    EXPECT_EQ(HideTaskBar(), 1);
    EXPECT_EQ(HideTaskBar(), 0);
    EXPECT_FALSE(IsWindowVisible(bar));
    expect_deliveries({}, "hide twice");
}

TEST_F(ShellCommands, HideThenShowLeavesTheTaskbarVisible) {
    HWND bar = add(TEXT("CTaskBar"), 1, true);
    EXPECT_EQ(HideTaskBar(), 1);
    EXPECT_EQ(ShowTaskBar(), 0); // it was hidden
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_EQ(ShowTaskBar(), 1); // showing a visible taskbar changes nothing
    EXPECT_TRUE(IsWindowVisible(bar));
}

TEST_F(ShellCommands, WithoutATaskbarHideAndShowDoNothingAndAnswerZero) {
    HWND other = add(TEXT("CShellMainWnd"), 1, true);
    EXPECT_EQ(HideTaskBar(), 0);
    EXPECT_EQ(ShowTaskBar(), 0);
    EXPECT_TRUE(IsWindowVisible(other));
    expect_deliveries({}, "no taskbar");
}

TEST_F(ShellCommands, ATaskbarMadeAgainIsFoundOnTheNextCall) {
    add(TEXT("CTaskBar"), 1, true);
    EXPECT_EQ(HideTaskBar(), 1);
    close_shell();
    EXPECT_EQ(ShowTaskBar(), 0); // gone
    HWND again = add(TEXT("CTaskBar"), 1, true);
    EXPECT_EQ(HideTaskBar(), 1);
    EXPECT_FALSE(IsWindowVisible(again));
}

// ----- missing windows (both sides) ----------------------------------------------------

TEST_F(ShellCommands, WithNoShellWindowsEveryOperationAnswersZeroAtOnce) {
    add(TEXT("ZtSomeOtherWindow"));
    const DWORD start = GetTickCount();
    EXPECT_EQ(TaskBarMsg0D(), 0);
    EXPECT_EQ(TaskBarMsg0F(), 0);
    EXPECT_EQ(TaskBarMsg10(), 0);
    EXPECT_EQ(TaskBarMsg11(), 0);
    EXPECT_EQ(TaskBarMsg12(), 0);
    EXPECT_EQ(DesktopLockMsg02(3), 0);
    EXPECT_EQ(DesktopExploreMsg01(), 0);
    EXPECT_EQ(ShellMainMsg19(1, 1), 0);
    EXPECT_EQ(ShellMainMsg1A(1, 1), 0);
    EXPECT_EQ(StartupWndMsg1B_2(), 0);
    EXPECT_EQ(StartupWndMsg1B_1(), 0);
    EXPECT_TRUE(elapsed_is(start, 0)); // no wait and no pause
    expect_deliveries({}, "no shell windows");
}

TEST_F(ShellCommands, DesktopLockWithNoTargetBitsSendsNothing) {
    add(TEXT("DesktopExplorerWindow"), 11);
    add(TEXT("CLockPhoneWnd"), 22);
    EXPECT_EQ(DesktopLockMsg02(0), 0);
    EXPECT_EQ(DesktopLockMsg02(4), 0);
    expect_deliveries({}, "no target bits");
}

TEST_F(ShellCommands, Msg19WithZeroWParamSendsNothing) {
    add(TEXT("CShellMainWnd"), 5);
    EXPECT_EQ(ShellMainMsg19(0, 1234), 0);
    expect_deliveries({}, "ShellMainMsg19(0, x)");
}

TEST_F(ShellCommands, DesktopExplorePauses10MsOnlyWhenItsWindowExists) {
    add(TEXT("DesktopExploreWindows"), 3);
    DWORD start = GetTickCount();
    DesktopExploreMsg01();
    EXPECT_TRUE(elapsed_is(start, 10));
    close_shell();

    start = GetTickCount();
    EXPECT_EQ(DesktopExploreMsg01(), 0);
    EXPECT_TRUE(elapsed_is(start, 0));
}

// ----- what each window receives (the phone's message numbers) -----------------------------

TEST_F(ShellCommands, EachOperationSendsItsMessageWithItsArgumentsToItsWindow) {
    ZT_WIN32_DIFFERENCE(kShellNumbers);
    HWND bar = add(TEXT("CTaskBar"), 0x100);
    HWND desktop = add(TEXT("DesktopExplorerWindow"), 0x200);
    HWND lock = add(TEXT("CLockPhoneWnd"), 0x300);
    HWND explore = add(TEXT("DesktopExploreWindows"), 0x400);
    HWND main = add(TEXT("CShellMainWnd"), 0x500);
    HWND startup = add(TEXT("CStartupWnd"), 0x600);

    // Timed deliveries give 1, whatever the window answered; plain ones give
    // the window's answer.
    EXPECT_EQ(TaskBarMsg0D(), 1);
    EXPECT_EQ(TaskBarMsg0F(), 1);
    EXPECT_EQ(TaskBarMsg10(), 1);
    EXPECT_EQ(TaskBarMsg11(), 1);
    EXPECT_EQ(TaskBarMsg12(), 1);
    EXPECT_EQ(DesktopLockMsg02(3), 0x300);
    EXPECT_EQ(DesktopExploreMsg01(), 0x400);
    EXPECT_EQ(ShellMainMsg19(7, -5), 0x500);
    EXPECT_EQ(ShellMainMsg1A(0, 9), 1);
    EXPECT_EQ(ShellMainMsg1A(0xFFFFFFFFu, static_cast<LPARAM>(0x80000000u)), 1);
    EXPECT_EQ(StartupWndMsg1B_2(), 1);
    EXPECT_EQ(StartupWndMsg1B_1(), 1);

    expect_deliveries(
        {
            {bar, shell_message(0x0D), 0, 0},
            {bar, shell_message(0x0F), 0, 0},
            {bar, shell_message(0x10), 0, 0},
            {bar, shell_message(0x11), 0, 0},
            {bar, shell_message(0x12), 0, 0},
            {desktop, shell_message(0x02), 0, 0},
            {lock, shell_message(0x02), 0, 0},
            {explore, shell_message(0x01), 0, 2},
            {main, shell_message(0x19), 7, -5},
            {main, shell_message(0x1A), 0, 9},
            {main, shell_message(0x1A), 0xFFFFFFFFu, static_cast<LPARAM>(0x80000000u)},
            {startup, shell_message(0x1B), 2, 0},
            {startup, shell_message(0x1B), 1, 0},
        },
        "every operation");
}

TEST_F(ShellCommands, DesktopLockDeliversByBitMaskAndAnswersWithTheLastDelivery) {
    ZT_WIN32_DIFFERENCE(kShellNumbers);
    LRESULT lockAnswer = 22;
    HWND desktop = add(TEXT("DesktopExplorerWindow"), 11);
    HWND lock = add_handled(TEXT("CLockPhoneWnd"), false,
                            [&lockAnswer](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return lockAnswer; });
    struct Case {
        UINT targets;
        LRESULT lockAnswer;
        LRESULT result;
        std::vector<Delivery> deliveries;
    } cases[] = {
        {1, 22, 11, {{desktop, shell_message(0x02), 0, 0}}},
        {2, 22, 22, {{lock, shell_message(0x02), 0, 0}}},
        {3, 22, 22, {{desktop, shell_message(0x02), 0, 0}, {lock, shell_message(0x02), 0, 0}}},
        {3,
         0,
         0,
         {{desktop, shell_message(0x02), 0, 0},
          {lock, shell_message(0x02), 0, 0}}}, // the last answer, even when it is 0
        {0xFFFFFFFDu, 22, 11, {{desktop, shell_message(0x02), 0, 0}}},
    };
    for (const auto& c : cases) {
        const std::string row = "targets " + std::to_string(c.targets) + ", lock answers " +
                                std::to_string(static_cast<long long>(c.lockAnswer));
        lockAnswer = c.lockAnswer;
        mark();
        EXPECT_EQ(DesktopLockMsg02(c.targets), c.result) << row;
        expect_deliveries(c.deliveries, row);
    }
}

TEST_F(ShellCommands, ATaskbarThatDoesNotAnswerMakesTheCallGiveUpAfter800Ms) {
    ZT_WIN32_DIFFERENCE(kShellNumbers);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    add_handled(TEXT("CTaskBar"), true, [release](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == shell_message(0x0D))
            WaitForSingleObject(release, INFINITE);
        return 1;
    });
    const DWORD start = GetTickCount();
    EXPECT_EQ(TaskBarMsg0D(), 0);
    EXPECT_TRUE(elapsed_is(start, 800));
    SetEvent(release);

    // Sent once, not repeated; the taskbar answers again once it is free.
    EXPECT_EQ(TaskBarMsg0F(), 1);
    const auto got = received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, shell_message(0x0D));
    EXPECT_TRUE(conformance::duration_is(got[0].tick - start, 0)); // delivered at once
    EXPECT_EQ(got[1].message, shell_message(0x0F));
    CloseHandle(release);
}

TEST_F(ShellCommands, AShellMainWindowThatDoesNotAnswerMakesMsg1AGiveUpAfter2000Ms) {
    ZT_WIN32_DIFFERENCE(kShellNumbers);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    add_handled(TEXT("CShellMainWnd"), false, [release](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == shell_message(0x1A))
            WaitForSingleObject(release, INFINITE);
        return 1;
    });
    const DWORD start = GetTickCount();
    EXPECT_EQ(ShellMainMsg1A(4, 5), 0);
    EXPECT_TRUE(elapsed_is(start, 2000));
    SetEvent(release);
    CloseHandle(release);
}

TEST_F(ShellCommands, AnAnswerWithinTheLimitCountsWhateverItsValue) {
    ZT_WIN32_DIFFERENCE(kShellNumbers);
    add_handled(TEXT("CStartupWnd"), false, [](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        Sleep(799); // just within the limit
        return 0;   // the reply itself is not what the caller gets
    });
    const DWORD start = GetTickCount();
    EXPECT_EQ(StartupWndMsg1B_1(), 1);
    EXPECT_TRUE(elapsed_is(start, 799));
}

// ----- lock state (both sides) ---------------------------------------------------------------

TEST_F(LockState, ReadsOneOnlyForANonzeroValueOfAtMostFourBytes) {
    struct Case {
        const char* name;
        std::function<void()> prepare;
        int expected;
    } cases[] = {
        {"missing key", [] {}, 0},
        {"missing value",
         [] {
             seed(kLockKey, TEXT("SomethingElse"), REG_DWORD, {1, 0, 0, 0});
         },
         0},
        {"dword 0",
         [] {
             seed(kLockKey, TEXT("IsLockState"), REG_DWORD, {0, 0, 0, 0});
         },
         0},
        {"dword 1",
         [] {
             seed(kLockKey, TEXT("IsLockState"), REG_DWORD, {1, 0, 0, 0});
         },
         1},
        {"dword high byte",
         [] {
             seed(kLockKey, TEXT("IsLockState"), REG_DWORD, {0, 0, 0, 0x80});
         },
         1},
        {"4-byte binary",
         [] {
             seed(kLockKey, TEXT("IsLockState"), REG_BINARY, {0, 0, 1, 0});
         },
         1},
        {"2-byte binary",
         [] {
             seed(kLockKey, TEXT("IsLockState"), REG_BINARY, {1, 0});
         },
         1},
        {"empty binary", [] { seed(kLockKey, TEXT("IsLockState"), REG_BINARY, {}); }, 0},
        {"8-byte qword 1",
         [] {
             seed(kLockKey, TEXT("IsLockState"), REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0});
         },
         0},
        {"names in another case",
         [] {
             seed(TEXT("SYSTEM\\state\\zaruvuvivozi"), TEXT("islockstate"), REG_DWORD, {1, 0, 0, 0});
         },
         1},
    };
    for (const auto& c : cases) {
        zt::testhost::delete_key_tree(HKEY_LOCAL_MACHINE, kLockKey);
        c.prepare();
        EXPECT_EQ(QueryLockState(), c.expected) << c.name;
    }
}

// ----- display escapes (both sides) ----------------------------------------------------------

TEST(DisplayEscapes, ADriverThatDoesNotKnowThemAnswersZero) {
    EXPECT_EQ(DisplayEscape20113(), 0);
    EXPECT_EQ(DisplayEscape20114(), 0);
    // The screen's DC was given back each time: it can still be had.
    HDC screen = GetDC(nullptr);
    EXPECT_NE(screen, nullptr);
    ReleaseDC(nullptr, screen);
}
