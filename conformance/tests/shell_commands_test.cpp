// The shell commands library, compiled unchanged on both sides, against real
// windows of a shell thread. The shell's own message numbers lie above
// 0xFFFF, which desktop Win32 keeps for itself: what they deliver is pinned
// on the stand-in only, while lookups, ShowWindow's answers, the escapes and
// the registry are pinned on both.
#include "shell/commands.h"

#include "conformance/harness.h"

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using conformance::elapsed_is;
using conformance::WindowThread;

namespace {

const char* const kShellNumbers =
    "the phone's system delivers the shell's message numbers (0xFFF00001 and up) like any other; desktop Win32 keeps "
    "numbers above 0xFFFF for itself (Wine answers them without calling the window)";

// A message as a window received it.
struct Delivery {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Delivery&) const = default;
};

// The shell's windows on their own thread. Each answers its own reply (or
// runs its own handler).
class ShellCommands : public ::testing::Test {
  protected:
    HWND add(const WCHAR* className, LRESULT reply = 1, bool visible = false) {
        return add_handled(className, visible, [reply](HWND, UINT, WPARAM, LPARAM) { return reply; });
    }
    HWND add_handled(const WCHAR* className, bool visible, WindowThread::Handler handler) {
        if (!m_shell)
            m_shell = std::make_unique<WindowThread>();
        HWND hwnd = m_shell->create(className, visible, std::move(handler));
        EXPECT_NE(hwnd, nullptr);
        m_names[hwnd] = conformance::narrow(className);
        m_mark = m_shell->received().size();
        return hwnd;
    }
    // Ends the shell thread; its windows go with it.
    void close_shell() {
        m_shell.reset();
        m_mark = 0;
    }

    // What the windows received from WM_USER up since the last window was added.
    std::vector<WindowThread::Received> received() const {
        std::vector<WindowThread::Received> out;
        if (!m_shell)
            return out;
        const auto all = m_shell->received();
        for (std::size_t i = m_mark; i < all.size(); ++i)
            out.push_back(all[i]);
        return out;
    }

    std::string describe(const Delivery& d) const {
        auto it = m_names.find(d.hwnd);
        char text[96];
        std::snprintf(text, sizeof text, "%s 0x%x(0x%llx, 0x%llx)", it == m_names.end() ? "?" : it->second.c_str(),
                      d.message, static_cast<unsigned long long>(d.wParam), static_cast<unsigned long long>(d.lParam));
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

  private:
    std::unique_ptr<WindowThread> m_shell;
    std::map<HWND, std::string> m_names;
    std::size_t m_mark = 0;
};

constexpr UINT kMsg01 = 0xFFF00001;
constexpr UINT kMsg02 = 0xFFF00002;
constexpr UINT kMsg0D = 0xFFF0000D;
constexpr UINT kMsg0F = 0xFFF0000F;
constexpr UINT kMsg19 = 0xFFF00019;
constexpr UINT kMsg1A = 0xFFF0001A;
constexpr UINT kMsg1B = 0xFFF0001B;

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
    EXPECT_EQ(StartupWndMsg1B_2(), 1);
    EXPECT_EQ(StartupWndMsg1B_1(), 1);

    expect_deliveries(
        {
            {bar, kMsg0D, 0, 0},
            {bar, kMsg0F, 0, 0},
            {bar, 0xFFF00010, 0, 0},
            {bar, 0xFFF00011, 0, 0},
            {bar, 0xFFF00012, 0, 0},
            {desktop, kMsg02, 0, 0},
            {lock, kMsg02, 0, 0},
            {explore, kMsg01, 0, 2},
            {main, kMsg19, 7, -5},
            {main, kMsg1A, 0, 9},
            {startup, kMsg1B, 2, 0},
            {startup, kMsg1B, 1, 0},
        },
        "every operation");
}

TEST_F(ShellCommands, DesktopLockDeliversByBitMaskAndAnswersWithTheLastDelivery) {
    ZT_WIN32_DIFFERENCE(kShellNumbers);
    HWND desktop = add(TEXT("DesktopExplorerWindow"), 11);
    HWND lock = add(TEXT("CLockPhoneWnd"), 0);
    EXPECT_EQ(DesktopLockMsg02(1), 11);
    EXPECT_EQ(DesktopLockMsg02(3), 0); // the last delivery's answer, even when it is 0
    EXPECT_EQ(DesktopLockMsg02(0xFFFFFFFDu), 11);
    expect_deliveries({{desktop, kMsg02, 0, 0}, {desktop, kMsg02, 0, 0}, {lock, kMsg02, 0, 0}, {desktop, kMsg02, 0, 0}},
                      "by bit mask");
}

TEST_F(ShellCommands, ATaskbarThatDoesNotAnswerMakesTheCallGiveUpAfter800Ms) {
    ZT_WIN32_DIFFERENCE(kShellNumbers);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    add_handled(TEXT("CTaskBar"), true, [release](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kMsg0D)
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
    EXPECT_EQ(got[0].message, kMsg0D);
    EXPECT_EQ(got[1].message, kMsg0F);
    CloseHandle(release);
}

TEST_F(ShellCommands, AShellMainWindowThatDoesNotAnswerMakesMsg1AGiveUpAfter2000Ms) {
    ZT_WIN32_DIFFERENCE(kShellNumbers);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    add_handled(TEXT("CShellMainWnd"), false, [release](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kMsg1A)
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
        Sleep(500);
        return 0; // the reply itself is not what the caller gets
    });
    const DWORD start = GetTickCount();
    EXPECT_EQ(StartupWndMsg1B_1(), 1);
    EXPECT_TRUE(elapsed_is(start, 500));
}

// ----- lock state (both sides) ---------------------------------------------------------------

namespace {

const WCHAR* const kLockKey = TEXT("System\\State\\ZaruVuvIvozi");

class LockState : public ::testing::Test {
  protected:
    void SetUp() override { conformance::delete_key_tree(HKEY_LOCAL_MACHINE, kLockKey); }
    void TearDown() override { conformance::delete_key_tree(HKEY_LOCAL_MACHINE, kLockKey); }
    static void seed(const WCHAR* path, const WCHAR* name, DWORD type, std::vector<BYTE> bytes) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())), ERROR_SUCCESS);
        RegCloseKey(key);
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
        conformance::delete_key_tree(HKEY_LOCAL_MACHINE, kLockKey);
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
