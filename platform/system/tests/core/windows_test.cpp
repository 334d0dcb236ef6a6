// Windows, messages and timers behave as Win32 does.
#include "zt/platform.h"
#include "zt/sys/kernel.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using zt::testhost::WindowThread;

namespace {

std::vector<MSG> g_seen;

LRESULT recording_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER || message == WM_USER || message == WM_LBUTTONDOWN)
        g_seen.push_back(MSG{hwnd, message, wParam, lParam, GetTickCount(), {}});
    if (message == WM_USER + 1)
        return static_cast<LRESULT>(wParam * 2);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A window of the test's own thread that records into g_seen, from empty.
class OwnWindow : public zt::testhost::OwnWindow {
  public:
    OwnWindow() : zt::testhost::OwnWindow({.proc = recording_proc}) { g_seen.clear(); }
};

// Pumps the calling thread's queue until the virtual clock has moved `ms`.
void pump_for(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    const UINT_PTR stop = SetTimer(nullptr, 0, ms, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == WM_TIMER && msg.wParam == stop && GetTickCount() >= end)
            break;
        DispatchMessageW(&msg);
    }
    KillTimer(nullptr, stop);
}

} // namespace

TEST(Windows, ShowWindowReportsWhetherTheWindowWasVisibleBefore) {
    WindowThread shell;
    HWND bar = shell.create(u"CTaskBarShowTest", true);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(ShowWindow(bar, SW_HIDE), TRUE);  // was visible
    EXPECT_EQ(ShowWindow(bar, SW_HIDE), FALSE); // already hidden
    EXPECT_FALSE(IsWindowVisible(bar));
    EXPECT_EQ(ShowWindow(bar, SW_SHOW), FALSE); // was hidden
    EXPECT_EQ(ShowWindow(bar, SW_SHOW), TRUE);
    EXPECT_TRUE(IsWindowVisible(bar));
}

TEST(Windows, FindWindowComparesClassNamesWithoutCaseAndSeesLateWindows) {
    EXPECT_EQ(FindWindowW(u"LateShellWindow", nullptr), nullptr);
    WindowThread shell;
    HWND late = shell.create(u"LateShellWindow", true);
    EXPECT_EQ(FindWindowW(u"LateShellWindow", nullptr), late);
    EXPECT_EQ(FindWindowW(u"lateshellWINDOW", nullptr), late);
    EXPECT_EQ(FindWindowW(u"LateShellWindow", u"other title"), nullptr);
    EXPECT_EQ(FindWindowW(u"LateShellWindo", nullptr), nullptr);
}

TEST(Windows, BadWindowHandlesFailWithTheWin32Error) {
    HWND bogus = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7777));
    const DWORD sentinel = 0xDEADBEEF;
    struct Case {
        const char* name;
        std::function<std::int64_t()> call;
    } cases[] = {
        {"ShowWindow", [&] { return ShowWindow(bogus, SW_SHOW); }},
        {"SendMessageW", [&] { return SendMessageW(bogus, WM_USER, 0, 0); }},
        {"PostMessageW", [&] { return PostMessageW(bogus, WM_USER, 0, 0); }},
        {"SendMessageTimeoutW", [&] { return SendMessageTimeoutW(bogus, WM_USER, 0, 0, SMTO_NORMAL, 800, nullptr); }},
        {"DestroyWindow", [&] { return DestroyWindow(bogus); }},
        {"SetTimer", [&] { return static_cast<std::int64_t>(SetTimer(bogus, 1, 10, nullptr)); }},
        {"InvalidateRect", [&] { return InvalidateRect(bogus, nullptr, FALSE); }},
        {"ShowWindow(NULL)", [&] { return ShowWindow(nullptr, SW_SHOW); }},
    };
    for (auto& c : cases) {
        SetLastError(sentinel);
        EXPECT_EQ(c.call(), 0) << c.name;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE) << c.name;
    }
}

TEST(Messages, SendMessageTimeoutWaitsForTheOtherThreadOrGivesUpAtTheLimit) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WindowThread shell;
    HWND quick = shell.create(u"QuickShellWindow", true, [](HWND, UINT, WPARAM w, LPARAM) { return LRESULT(w + 1); });
    HWND slow = shell.create(u"SlowShellWindow", true, [&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == 0xFFF0000D) {
            Sleep(500); // answers within the limit
            return 7;
        }
        if (message == 0xFFF0000F)
            WaitForSingleObject(release, INFINITE); // answers only when told
        return 1;
    });

    DWORD reply = 0;
    EXPECT_NE(SendMessageTimeoutW(quick, WM_USER, 41, 0, SMTO_NORMAL, 800, &reply), 0);
    EXPECT_EQ(reply, 42u);

    DWORD start = GetTickCount();
    EXPECT_NE(SendMessageTimeoutW(slow, 0xFFF0000D, 0, 0, SMTO_NORMAL, 800, &reply), 0);
    EXPECT_EQ(reply, 7u);
    EXPECT_EQ(GetTickCount() - start, 500u);

    start = GetTickCount();
    SetLastError(0);
    EXPECT_EQ(SendMessageTimeoutW(slow, 0xFFF0000F, 0, 0, SMTO_NORMAL, 800, &reply), 0);
    EXPECT_EQ(GetTickCount() - start, 800u);
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    SetEvent(release);
    CloseHandle(release);
}

TEST(Messages, SendToAWindowOfTheSameThreadCallsItsProcedureDirectly) {
    OwnWindow own;
    EXPECT_EQ(SendMessageW(own.get(), WM_USER + 1, 21, 0), 42);
    DWORD reply = 0;
    EXPECT_EQ(SendMessageTimeoutW(own.get(), WM_USER + 1, 5, 0, SMTO_NORMAL, 800, &reply), 1);
    EXPECT_EQ(reply, 10u);
}

TEST(Messages, ASendToAWindowDestroyedMeanwhileFailsCleanly) {
    std::atomic<HWND> victim{nullptr};
    {
        WindowThread shell;
        victim = shell.create(u"DoomedWindow", true);
        shell.run([&] { DestroyWindow(victim); });
    }
    SetLastError(0);
    EXPECT_EQ(SendMessageTimeoutW(victim, WM_USER, 0, 0, SMTO_NORMAL, 800, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(Messages, PostedMessagesArriveInOrderBeforeTimersAndQuitComesLast) {
    OwnWindow own;
    PostMessageW(own.get(), WM_USER, 1, 0);
    PostMessageW(own.get(), WM_USER, 2, 0);
    PostQuitMessage(3);
    PostMessageW(own.get(), WM_USER, 4, 0);
    MSG msg;
    std::vector<WPARAM> order;
    BOOL more;
    while ((more = GetMessageW(&msg, nullptr, 0, 0)) > 0)
        order.push_back(msg.wParam);
    EXPECT_EQ(order, (std::vector<WPARAM>{1, 2, 4}));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST(Messages, RegisterWindowMessageIsIdempotentAndDistinctPerName) {
    const UINT a = RegisterWindowMessageW(u"AccMessage-test");
    const UINT b = RegisterWindowMessageW(u"ShellNotifyMsg/test");
    EXPECT_GE(a, 0xC000u);
    EXPECT_LE(a, 0xFFFFu);
    EXPECT_NE(a, b);
    EXPECT_EQ(RegisterWindowMessageW(u"AccMessage-test"), a);
    SetLastError(0);
    EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
    EXPECT_EQ(RegisterWindowMessageW(u""), 0u);
}

TEST(Timers, ATenMillisecondTimerTicksOneHundredTimesInAVirtualSecond) {
    OwnWindow own;
    const DWORD start = GetTickCount();
    ASSERT_NE(SetTimer(own.get(), 10, 10, nullptr), 0u);
    pump_for(1000);
    KillTimer(own.get(), 10);
    ASSERT_EQ(g_seen.size(), 100u);
    for (std::size_t i = 0; i < g_seen.size(); ++i) {
        EXPECT_EQ(g_seen[i].message, WM_TIMER);
        EXPECT_EQ(g_seen[i].wParam, 10u);
        EXPECT_EQ(g_seen[i].time - start, 10 * (i + 1)) << "tick " << i;
    }
}

TEST(Timers, AKilledTimerStopsAndADestroyedWindowTakesItsTimersAlong) {
    {
        OwnWindow own;
        SetTimer(own.get(), 1, 10, nullptr);
        EXPECT_TRUE(KillTimer(own.get(), 1));
        EXPECT_FALSE(KillTimer(own.get(), 1));
        SetTimer(own.get(), 2, 10, nullptr);
    }
    g_seen.clear();
    pump_for(100);
    EXPECT_TRUE(g_seen.empty());
}

TEST(Kernel, LastErrorIsKeptPerThread) {
    SetLastError(111);
    DWORD other = 0;
    std::thread t([&] {
        SetLastError(222);
        other = GetLastError();
    });
    t.join();
    EXPECT_EQ(GetLastError(), 111u);
    EXPECT_EQ(other, 222u);
}

TEST(Kernel, SleepMovesTheVirtualClockByExactlyItsDuration) {
    const DWORD before = GetTickCount();
    Sleep(250);
    EXPECT_EQ(GetTickCount() - before, 250u);
}

TEST(Kernel, EventsResetAutomaticallyOrStaySignalled) {
    HANDLE autoEvent = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    HANDLE manual = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    const DWORD before = GetTickCount();
    EXPECT_EQ(WaitForSingleObject(autoEvent, 30), WAIT_TIMEOUT);
    EXPECT_EQ(GetTickCount() - before, 30u);
    EXPECT_TRUE(CloseHandle(autoEvent));
    EXPECT_TRUE(CloseHandle(manual));
}

TEST(Kernel, ClosedAndBogusHandlesFailWithInvalidHandle) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_LE(reinterpret_cast<std::uintptr_t>(event), 0xFFFFFFFFu);
    EXPECT_TRUE(CloseHandle(event));
    for (HANDLE h : {event, static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE,
                     reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x12345))}) {
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(SetEvent(h));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
    }
}

TEST(Kernel, TheGeneratorIsNonNegativeAndRepeatsPerSeed) {
    srand(1234);
    std::vector<int> first;
    for (int i = 0; i < 1000; ++i) {
        first.push_back(rand());
        EXPECT_GE(first.back(), 0);
        EXPECT_LE(first.back(), 0x7FFF);
    }
    srand(1234);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(rand(), first[static_cast<std::size_t>(i)]);
    srand(1235);
    EXPECT_NE(rand(), first[0]);
}

TEST(Kernel, CriticalSectionsSerialiseAndNest) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    int counter = 0;
    auto work = [&] {
        for (int i = 0; i < 10000; ++i) {
            EnterCriticalSection(&cs);
            EnterCriticalSection(&cs);
            ++counter;
            LeaveCriticalSection(&cs);
            LeaveCriticalSection(&cs);
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 20000);
    DeleteCriticalSection(&cs);
}
