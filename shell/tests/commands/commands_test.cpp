// The shell commands against real windows on a shell thread of their own,
// which record every message they receive with its tick on the virtual clock.
#include "shell/commands.h"

#include "zt/host.h"
#include "zt/sys/registry.h"
#include "zt/sys/trace.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

using zt::testhost::TraceCapture;
using zt::testhost::WindowThread;

namespace {

// A message as a window received it.
struct Delivery {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Delivery&) const = default;
};

// The shell's windows on their own thread. Each answers its own reply (or runs
// its own handler); painting is validated so a visible window stays quiet.
class ShellCommands : public ::testing::Test {
  protected:
    HWND add(const char16_t* className, LRESULT reply = 1, bool visible = false) {
        return add_handled(className, visible, [reply](HWND, UINT, WPARAM, LPARAM) { return reply; });
    }
    HWND add_handled(const char16_t* className, bool visible, std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> body) {
        if (!m_shell)
            m_shell = std::make_unique<WindowThread>();
        HWND hwnd = m_shell->create(className, visible, [body](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == WM_PAINT)
                return DefWindowProcW(h, m, w, l);
            return body(h, m, w, l);
        });
        EXPECT_NE(hwnd, nullptr);
        m_names[hwnd] = zt::host::to_utf8(className);
        m_mark = m_shell->received().size();
        return hwnd;
    }
    // Ends the shell thread; its windows go with it.
    void close_shell() { m_shell.reset(); }

    // What the windows received since the last window was added, paints left out.
    std::vector<WindowThread::Received> received() const {
        std::vector<WindowThread::Received> out;
        if (!m_shell)
            return out;
        const auto all = m_shell->received();
        for (std::size_t i = m_mark; i < all.size(); ++i)
            if (all[i].message != WM_PAINT)
                out.push_back(all[i]);
        return out;
    }

    std::string describe(const Delivery& d) const {
        auto it = m_names.find(d.hwnd);
        char text[96];
        std::snprintf(text, sizeof text, "%s 0x%x(0x%x, 0x%x)", it == m_names.end() ? "?" : it->second.c_str(),
                      d.message, d.wParam, static_cast<unsigned>(d.lParam));
        return text;
    }

    // Compares what the windows received with the expected table, naming the
    // first difference and showing both sequences.
    void expect_deliveries(const std::vector<Delivery>& expected, const char* action) const {
        std::vector<Delivery> got;
        for (const auto& r : received())
            got.push_back({r.hwnd, r.message, r.wParam, r.lParam});
        if (got == expected)
            return;
        std::size_t first = 0;
        while (first < got.size() && first < expected.size() && got[first] == expected[first])
            ++first;
        std::ostringstream text;
        text << action << ": first difference at index " << first << "\n  expected:";
        for (const auto& d : expected)
            text << "\n    " << describe(d);
        text << "\n  received:";
        for (const auto& d : got)
            text << "\n    " << describe(d);
        ADD_FAILURE() << text.str();
    }

    std::unique_ptr<WindowThread> m_shell;

  private:
    std::map<HWND, std::string> m_names;
    std::size_t m_mark = 0;
};

constexpr UINT kMsg01 = 0xFFF00001;
constexpr UINT kMsg02 = 0xFFF00002;
constexpr UINT kMsg0D = 0xFFF0000D;
constexpr UINT kMsg1A = 0xFFF0001A;
constexpr UINT kMsg1B = 0xFFF0001B;

} // namespace

// ----- taskbar hide and show ---------------------------------------------------

TEST_F(ShellCommands, HidingTwiceAnswersOneThenZeroAndLeavesTheTaskbarHidden) {
    HWND bar = add(u"CTaskBar", 1, true);
    EXPECT_EQ(HideTaskBar(), 1);
    EXPECT_EQ(HideTaskBar(), 0);
    EXPECT_FALSE(IsWindowVisible(bar));
    expect_deliveries({}, "hide twice"); // shown and hidden from outside, no message
}

TEST_F(ShellCommands, HideThenShowLeavesTheTaskbarVisible) {
    HWND bar = add(u"CTaskBar", 1, true);
    EXPECT_EQ(HideTaskBar(), 1);
    EXPECT_EQ(ShowTaskBar(), 0); // it was hidden
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_EQ(ShowTaskBar(), 1); // showing a visible taskbar changes nothing
    EXPECT_TRUE(IsWindowVisible(bar));
}

TEST_F(ShellCommands, WithoutATaskbarHideAndShowDoNothingAndAnswerZero) {
    HWND other = add(u"CShellMainWnd", 1, true);
    EXPECT_EQ(HideTaskBar(), 0);
    EXPECT_EQ(ShowTaskBar(), 0);
    EXPECT_TRUE(IsWindowVisible(other));
    expect_deliveries({}, "no taskbar");
}

TEST_F(ShellCommands, ATaskbarMadeAgainIsFoundOnTheNextCall) {
    add(u"CTaskBar", 1, true);
    EXPECT_EQ(HideTaskBar(), 1);
    close_shell();
    EXPECT_EQ(ShowTaskBar(), 0); // gone
    HWND again = add(u"CTaskBar", 1, true);
    EXPECT_EQ(HideTaskBar(), 1);
    EXPECT_FALSE(IsWindowVisible(again));
}

// ----- what each window receives -------------------------------------------------

TEST_F(ShellCommands, EachOperationSendsItsMessageWithItsArgumentsToItsWindow) {
    HWND bar = add(u"CTaskBar", 0x100);
    HWND desktop = add(u"DesktopExplorerWindow", 0x200);
    HWND lock = add(u"CLockPhoneWnd", 0x300);
    HWND explore = add(u"DesktopExploreWindows", 0x400);
    HWND main = add(u"CShellMainWnd", 0x500);
    HWND startup = add(u"CStartupWnd", 0x600);

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
            {bar, 0xFFF0000D, 0, 0},
            {bar, 0xFFF0000F, 0, 0},
            {bar, 0xFFF00010, 0, 0},
            {bar, 0xFFF00011, 0, 0},
            {bar, 0xFFF00012, 0, 0},
            {desktop, kMsg02, 0, 0},
            {lock, kMsg02, 0, 0},
            {explore, kMsg01, 0, 2},
            {main, 0xFFF00019, 7, -5},
            {main, kMsg1A, 0, 9},
            {main, kMsg1A, 0xFFFFFFFFu, static_cast<LPARAM>(0x80000000u)},
            {startup, kMsg1B, 2, 0},
            {startup, kMsg1B, 1, 0},
        },
        "every operation");
}

TEST_F(ShellCommands, StartupMessagesDifferOnlyInWParam) {
    add(u"CStartupWnd");
    StartupWndMsg1B_2();
    StartupWndMsg1B_1();
    const auto got = received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].hwnd, got[1].hwnd);
    EXPECT_EQ(got[0].message, got[1].message);
    EXPECT_EQ(got[0].lParam, got[1].lParam);
    EXPECT_EQ(got[0].wParam, 2u);
    EXPECT_EQ(got[1].wParam, 1u);
}

TEST_F(ShellCommands, WithNoShellWindowsEveryOperationAnswersZeroAtOnce) {
    add(u"SomeOtherWindow");
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
    EXPECT_EQ(GetTickCount() - start, 0u); // no wait and no pause
    expect_deliveries({}, "no shell windows");
}

// ----- timed deliveries ------------------------------------------------------------

TEST_F(ShellCommands, ATaskbarThatDoesNotAnswerMakesTheCallGiveUpAfter800Ms) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    add_handled(u"CTaskBar", true, [release](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kMsg0D)
            WaitForSingleObject(release, INFINITE);
        return 1;
    });
    const DWORD start = GetTickCount();
    EXPECT_EQ(TaskBarMsg0D(), 0);
    EXPECT_EQ(GetTickCount() - start, 800u);
    SetEvent(release);

    // Sent once, not repeated; the taskbar answers again once it is free.
    EXPECT_EQ(TaskBarMsg0F(), 1);
    const auto got = received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, kMsg0D);
    EXPECT_EQ(got[0].tick, start);
    EXPECT_EQ(got[1].message, 0xFFF0000Fu);
    CloseHandle(release);
}

TEST_F(ShellCommands, AShellMainWindowThatDoesNotAnswerMakesMsg1AGiveUpAfter2000Ms) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    add_handled(u"CShellMainWnd", false, [release](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kMsg1A)
            WaitForSingleObject(release, INFINITE);
        return 1;
    });
    const DWORD start = GetTickCount();
    EXPECT_EQ(ShellMainMsg1A(4, 5), 0);
    EXPECT_EQ(GetTickCount() - start, 2000u);
    SetEvent(release);
    CloseHandle(release);
}

TEST_F(ShellCommands, AnAnswerWithinTheLimitCountsWhateverItsValue) {
    add_handled(u"CStartupWnd", false, [](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        Sleep(799);
        return 0; // the reply itself is not what the caller gets
    });
    const DWORD start = GetTickCount();
    EXPECT_EQ(StartupWndMsg1B_1(), 1);
    EXPECT_EQ(GetTickCount() - start, 799u);
}

// ----- desktop and lock windows ------------------------------------------------------

TEST_F(ShellCommands, DesktopLockDeliversByBitMaskAndAnswersWithTheLastDelivery) {
    HWND desktop = add(u"DesktopExplorerWindow", 11);
    HWND lock = add(u"CLockPhoneWnd", 22);
    struct Case {
        UINT targets;
        LRESULT result;
        std::vector<Delivery> deliveries;
    } cases[] = {
        {0, 0, {}},
        {1, 11, {{desktop, kMsg02, 0, 0}}},
        {2, 22, {{lock, kMsg02, 0, 0}}},
        {3, 22, {{desktop, kMsg02, 0, 0}, {lock, kMsg02, 0, 0}}},
        {4, 0, {}},
        {0xFFFFFFFDu, 11, {{desktop, kMsg02, 0, 0}}},
    };
    for (const auto& c : cases) {
        const auto before = received().size();
        EXPECT_EQ(DesktopLockMsg02(c.targets), c.result) << "targets " << c.targets;
        const auto all = received();
        std::vector<Delivery> got;
        for (std::size_t i = before; i < all.size(); ++i)
            got.push_back({all[i].hwnd, all[i].message, all[i].wParam, all[i].lParam});
        EXPECT_EQ(got, c.deliveries) << "targets " << c.targets;
    }
}

TEST_F(ShellCommands, DesktopLockAnswersWithTheLastDeliveryEvenWhenItIsZero) {
    HWND desktop = add(u"DesktopExplorerWindow", 11);
    HWND lock = add(u"CLockPhoneWnd", 0);
    EXPECT_EQ(DesktopLockMsg02(3), 0);
    expect_deliveries({{desktop, kMsg02, 0, 0}, {lock, kMsg02, 0, 0}}, "lock answers 0");
}

TEST_F(ShellCommands, DesktopLockWithOneWindowMissingDropsOnlyThatDelivery) {
    HWND desktop = add(u"DesktopExplorerWindow", 11);
    EXPECT_EQ(DesktopLockMsg02(3), 11);
    EXPECT_EQ(DesktopLockMsg02(2), 0);
    expect_deliveries({{desktop, kMsg02, 0, 0}}, "no lock window");
    close_shell();

    HWND lock = add(u"CLockPhoneWnd", 22);
    EXPECT_EQ(DesktopLockMsg02(3), 22);
    EXPECT_EQ(DesktopLockMsg02(1), 0);
    expect_deliveries({{lock, kMsg02, 0, 0}}, "no desktop window");
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

TEST_F(ShellCommands, Msg19WithZeroWParamLooksForNothingAndSendsNothing) {
    add(u"CShellMainWnd", 5);
    {
        TraceCapture trace(zt::trace::kShell | zt::trace::kMsg);
        EXPECT_EQ(ShellMainMsg19(0, 1234), 0);
        EXPECT_TRUE(trace.lines().empty()) << trace.lines().front();
    }
    expect_deliveries({}, "ShellMainMsg19(0, x)");
}

TEST_F(ShellCommands, Msg1ADeliversAZeroWParamLikeAnyOther) {
    HWND main = add(u"CShellMainWnd", 5);
    TraceCapture trace(zt::trace::kShell);
    EXPECT_EQ(ShellMainMsg1A(0, 1234), 1);
    EXPECT_EQ(trace.starting("trace:shell: FindWindowW(\"CShellMainWnd\", NULL)").size(), 1u);
    EXPECT_EQ(trace.starting("trace:shell: SendMessageTimeoutW(\"CShellMainWnd\", 0xfff0001a, 0, 0x4d2, 2000)").size(),
              1u);
    expect_deliveries({{main, kMsg1A, 0, 1234}}, "ShellMainMsg1A(0, x)");
}

// ----- desktop explore ---------------------------------------------------------------------

TEST_F(ShellCommands, DesktopExplorePauses10MsAfterItsDeliveryOnly) {
    add(u"DesktopExploreWindows", 3);
    DWORD start = GetTickCount();
    EXPECT_EQ(DesktopExploreMsg01(), 3);
    EXPECT_EQ(GetTickCount() - start, 10u);
    const auto got = received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].tick, start); // delivered first, then the pause
    close_shell();

    start = GetTickCount();
    EXPECT_EQ(DesktopExploreMsg01(), 0);
    EXPECT_EQ(GetTickCount() - start, 0u);
}

// ----- lock state ----------------------------------------------------------------------------

namespace {

const char16_t* const kLockKey = u"System\\State\\ZaruVuvIvozi";

class LockState : public ::testing::Test {
  protected:
    void SetUp() override { zt::sys::registry::clear(); }
    void TearDown() override { zt::sys::registry::clear(); }
    static void seed(DWORD type, std::vector<BYTE> bytes) {
        ASSERT_EQ(zt::sys::registry::set_value(HKEY_LOCAL_MACHINE, kLockKey, u"IsLockState", type, bytes),
                  ERROR_SUCCESS);
    }
};

} // namespace

TEST_F(LockState, ReadsOneOnlyForANonzeroValueOfAtMostFourBytes) {
    struct Case {
        const char* name;
        std::function<void()> prepare;
        int expected;
    } cases[] = {
        {"missing key", [] {}, 0},
        {"missing value", [] { zt::sys::registry::set_dword(HKEY_LOCAL_MACHINE, kLockKey, u"SomethingElse", 1); }, 0},
        {"dword 0",
         [] {
             seed(REG_DWORD, {0, 0, 0, 0});
         },
         0},
        {"dword 1",
         [] {
             seed(REG_DWORD, {1, 0, 0, 0});
         },
         1},
        {"dword high byte",
         [] {
             seed(REG_DWORD, {0, 0, 0, 0x80});
         },
         1},
        {"4-byte binary",
         [] {
             seed(REG_BINARY, {0, 0, 1, 0});
         },
         1},
        {"2-byte binary",
         [] {
             seed(REG_BINARY, {1, 0});
         },
         1},
        {"empty binary", [] { seed(REG_BINARY, {}); }, 0},
        {"8-byte qword 1",
         [] {
             seed(REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0});
         },
         0},
        {"value in another case",
         [] { zt::sys::registry::set_dword(HKEY_LOCAL_MACHINE, u"SYSTEM\\state\\zaruvuvivozi", u"islockstate", 1); },
         1},
    };
    for (const auto& c : cases) {
        zt::sys::registry::clear();
        c.prepare();
        EXPECT_EQ(QueryLockState(), c.expected) << c.name;
    }
}

TEST_F(LockState, OpensForReadingAsksForFourBytesAndClosesWhatItOpened) {
    seed(REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0});
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
