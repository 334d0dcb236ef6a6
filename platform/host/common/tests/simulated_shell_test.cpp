// The simulated shell: its windows, what they answer and log, its registry
// value, and the shell commands driven against it end to end.
#include "zt/host/simulated_shell.h"

#include "shell/commands.h"
#include "zt/host.h"
#include "zt/platform.h"
#include "zt/sys/registry.h"
#include "zt/sys/trace.h"
#include "zt/sys/unicode.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

using zt::host::SimulatedShell;

namespace {

// The lines that report a message a shell window received, paints left out.
std::vector<std::string> received(const zt::testhost::TraceCapture& trace) {
    std::vector<std::string> out;
    for (const auto& line : trace.lines())
        if (line.find(" received ") != std::string::npos && line.find(" received 0xf(") == std::string::npos)
            out.push_back(line);
    return out;
}

DWORD read_lock_state(DWORD* type) {
    HKEY key = nullptr;
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof value;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"System\\State\\ZaruVuvIvozi", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, u"IsLockState", nullptr, type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    RegCloseKey(key);
    return value;
}

} // namespace

TEST(SimulatedShell, OwnsOneWindowOfEachClassOnAThreadOfItsOwn) {
    SimulatedShell shell;
    EXPECT_FALSE(shell.running());
    shell.start();
    EXPECT_TRUE(shell.running());
    for (const char16_t* name : SimulatedShell::kClassNames) {
        HWND hwnd = FindWindowW(name, nullptr);
        ASSERT_NE(hwnd, nullptr) << zt::sys::to_utf8(name);
        EXPECT_EQ(shell.window(name), hwnd);
        EXPECT_NE(GetWindowThreadProcessId(hwnd, nullptr), GetCurrentThreadId());
        WCHAR className[64] = {};
        GetClassNameW(hwnd, className, 64);
        EXPECT_EQ(std::u16string(className), std::u16string(name));
    }
    // The taskbar alone is visible, as a strip over the top of the screen.
    HWND taskbar = FindWindowW(u"CTaskBar", nullptr);
    EXPECT_TRUE(IsWindowVisible(taskbar));
    EXPECT_TRUE(shell.taskbar_visible());
    RECT r{};
    GetWindowRect(taskbar, &r);
    EXPECT_EQ(r.left, SimulatedShell::kTaskbarRect.left);
    EXPECT_EQ(r.top, SimulatedShell::kTaskbarRect.top);
    EXPECT_EQ(r.right, SimulatedShell::kTaskbarRect.right);
    EXPECT_EQ(r.bottom, SimulatedShell::kTaskbarRect.bottom);
    EXPECT_FALSE(IsWindowVisible(FindWindowW(u"CShellMainWnd", nullptr)));
    EXPECT_EQ(shell.window(u"NoSuchClass"), nullptr);
}

TEST(SimulatedShell, LeavesOutTheWindowsItIsToldToWhateverTheCase) {
    SimulatedShell shell({{u"CTaskBar", u"clockphonewnd"}});
    shell.start();
    EXPECT_EQ(FindWindowW(u"CTaskBar", nullptr), nullptr);
    EXPECT_EQ(FindWindowW(u"CLockPhoneWnd", nullptr), nullptr);
    EXPECT_EQ(shell.window(u"CTaskBar"), nullptr);
    EXPECT_FALSE(shell.taskbar_visible());
    EXPECT_NE(FindWindowW(u"DesktopExplorerWindow", nullptr), nullptr);
    EXPECT_NE(FindWindowW(u"CStartupWnd", nullptr), nullptr);
    EXPECT_EQ(HideTaskBar(), 0);
    EXPECT_EQ(DesktopLockMsg02(3), 1); // the desktop window's answer
}

TEST(SimulatedShell, EveryWindowAnswersOneAndLogsWhatItReceived) {
    SimulatedShell shell;
    shell.start();
    zt::testhost::TraceCapture trace(zt::trace::kShell);
    std::vector<std::string> expected;
    for (const char16_t* name : SimulatedShell::kClassNames) {
        EXPECT_EQ(SendMessageW(FindWindowW(name, nullptr), 0x1234, 5, -1), 1);
        expected.push_back("trace:shell: " + zt::sys::to_utf8(name) + " received 0x1234(0x5, 0xffffffff)\n");
    }
    EXPECT_EQ(received(trace), expected);
}

TEST(SimulatedShell, SeedsAnUnlockedStateAtStart) {
    zt::sys::registry::set_dword(HKEY_LOCAL_MACHINE, u"System\\State\\ZaruVuvIvozi", u"IsLockState", 1);
    SimulatedShell shell;
    shell.start();
    DWORD type = 0;
    EXPECT_EQ(read_lock_state(&type), 0u);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(QueryLockState(), 0);
}

TEST(SimulatedShell, StopEndsTheThreadAndItsWindowsAndItCanStartAgain) {
    SimulatedShell shell;
    shell.start();
    shell.start(); // already running: nothing more
    HWND first = FindWindowW(u"CTaskBar", nullptr);
    shell.stop();
    EXPECT_FALSE(shell.running());
    EXPECT_FALSE(shell.taskbar_visible());
    EXPECT_FALSE(IsWindow(first));
    for (const char16_t* name : SimulatedShell::kClassNames)
        EXPECT_EQ(FindWindowW(name, nullptr), nullptr) << zt::sys::to_utf8(name);
    shell.stop(); // harmless

    shell.start();
    HWND second = FindWindowW(u"CTaskBar", nullptr);
    EXPECT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(SendMessageW(second, 0xFFF0000D, 0, 0), 1);
}

TEST(SimulatedShell, TheDestructorEndsTheThread) {
    {
        SimulatedShell shell;
        shell.start();
        ASSERT_NE(FindWindowW(u"CStartupWnd", nullptr), nullptr);
    }
    EXPECT_EQ(FindWindowW(u"CStartupWnd", nullptr), nullptr);
}

TEST(SimulatedShell, TaskbarVisibilityFollowsHideAndShow) {
    SimulatedShell shell;
    shell.start();
    EXPECT_EQ(HideTaskBar(), 1);
    EXPECT_FALSE(shell.taskbar_visible());
    EXPECT_EQ(HideTaskBar(), 0);
    EXPECT_EQ(ShowTaskBar(), 0);
    EXPECT_TRUE(shell.taskbar_visible());
}

TEST(SimulatedShell, AnswersEveryShellCommandAtOnceAndLogsItInOrder) {
    SimulatedShell shell;
    shell.start();
    zt::testhost::TraceCapture trace(zt::trace::kShell);
    const DWORD start = GetTickCount();
    EXPECT_EQ(TaskBarMsg0D(), 1);
    EXPECT_EQ(TaskBarMsg12(), 1);
    EXPECT_EQ(DesktopLockMsg02(3), 1);
    EXPECT_EQ(ShellMainMsg19(3, 4), 1);
    EXPECT_EQ(ShellMainMsg1A(0, 4), 1);
    EXPECT_EQ(StartupWndMsg1B_2(), 1);
    EXPECT_EQ(GetTickCount() - start, 0u); // answered within no time at all
    EXPECT_EQ(DesktopExploreMsg01(), 1);
    EXPECT_EQ(GetTickCount() - start, 10u);
    EXPECT_EQ(received(trace), (std::vector<std::string>{
                                   "trace:shell: CTaskBar received 0xfff0000d(0x0, 0x0)\n",
                                   "trace:shell: CTaskBar received 0xfff00012(0x0, 0x0)\n",
                                   "trace:shell: DesktopExplorerWindow received 0xfff00002(0x0, 0x0)\n",
                                   "trace:shell: CLockPhoneWnd received 0xfff00002(0x0, 0x0)\n",
                                   "trace:shell: CShellMainWnd received 0xfff00019(0x3, 0x4)\n",
                                   "trace:shell: CShellMainWnd received 0xfff0001a(0x0, 0x4)\n",
                                   "trace:shell: CStartupWnd received 0xfff0001b(0x2, 0x0)\n",
                                   "trace:shell: DesktopExploreWindows received 0xfff00001(0x0, 0x2)\n",
                               }));
}

namespace {

// Every shell command once, with what it returned, and what the windows logged.
struct CommandRun {
    std::vector<int> results;
    std::vector<std::string> log;
    DWORD elapsed = 0;
};

CommandRun run_every_command() {
    zt::testhost::TraceCapture trace(zt::trace::kShell);
    CommandRun run;
    const DWORD start = GetTickCount();
    run.results = {TaskBarMsg0D(),       TaskBarMsg12(),       DesktopLockMsg02(3), ShellMainMsg19(3, 4),
                   ShellMainMsg19(0, 4), ShellMainMsg1A(0, 4), StartupWndMsg1B_2(), DesktopExploreMsg01(),
                   HideTaskBar(),        HideTaskBar(),        ShowTaskBar(),       QueryLockState()};
    run.elapsed = GetTickCount() - start;
    run.log = received(trace);
    return run;
}

} // namespace

TEST(SimulatedShellOnTheCallersThread, OwnsItsWindowsOnTheThreadThatStartsIt) {
    SimulatedShell::Options options;
    options.ownThread = false;
    SimulatedShell shell(options);
    shell.start();
    for (const char16_t* name : SimulatedShell::kClassNames) {
        HWND hwnd = FindWindowW(name, nullptr);
        ASSERT_NE(hwnd, nullptr) << zt::sys::to_utf8(name);
        EXPECT_EQ(shell.window(name), hwnd);
        EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), GetCurrentThreadId());
    }
    EXPECT_TRUE(shell.taskbar_visible());
    shell.stop();
    EXPECT_FALSE(shell.running());
    for (const char16_t* name : SimulatedShell::kClassNames)
        EXPECT_EQ(FindWindowW(name, nullptr), nullptr) << zt::sys::to_utf8(name);
}

TEST(SimulatedShellOnTheCallersThread, GivesEveryShellCommandTheSameAnswerAndLogAsTheThreadedShell) {
    CommandRun threaded;
    {
        SimulatedShell shell;
        shell.start();
        threaded = run_every_command();
    }
    SimulatedShell::Options options;
    options.ownThread = false;
    SimulatedShell shell(options);
    shell.start();
    const CommandRun inline_ = run_every_command();
    EXPECT_EQ(inline_.results, threaded.results);
    // ShowWindow tells only the caller's own windows (WM_SHOWWINDOW): here
    // the taskbar hears of being hidden and shown again, and nothing else differs.
    std::vector<std::string> expected = threaded.log;
    expected.push_back("trace:shell: CTaskBar received 0x18(0x0, 0x0)\n");
    expected.push_back("trace:shell: CTaskBar received 0x18(0x1, 0x0)\n");
    EXPECT_EQ(inline_.log, expected);
    EXPECT_EQ(inline_.elapsed, threaded.elapsed); // the one 10 ms pause, nothing more
    ASSERT_EQ(threaded.results.size(), 12u);
    EXPECT_EQ(threaded.results[8], 1); // the first HideTaskBar found it visible
}

TEST(SimulatedShellOnTheCallersThread, APostedMessageArrivesThroughTheCallersLoop) {
    SimulatedShell::Options options;
    options.ownThread = false;
    SimulatedShell shell(options);
    shell.start();
    zt::testhost::TraceCapture trace(zt::trace::kShell);
    ASSERT_TRUE(PostMessageW(shell.window(u"CShellMainWnd"), 0x4321, 7, 8));
    EXPECT_TRUE(received(trace).empty()); // not before the loop runs
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(received(trace), (std::vector<std::string>{"trace:shell: CShellMainWnd received 0x4321(0x7, 0x8)\n"}));
}
