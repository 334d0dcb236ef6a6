// The virtual clock with several threads: it jumps only when every thread
// waits, wakes exactly the waiters whose time has come, and stands still
// while a thread that was just handed work has not run yet.
#include "zt/platform.h"
#include "zt/sys/kernel.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <vector>

using zt::testhost::WindowThread;

namespace {

std::vector<DWORD> ticks_of(const WindowThread& thread, UINT message) {
    std::vector<DWORD> ticks;
    for (const auto& r : thread.received())
        if (r.message == message)
            ticks.push_back(r.tick);
    return ticks;
}

} // namespace

TEST(VirtualClock, APostToAnIdleThreadIsHandledBeforeTheClockMoves) {
    WindowThread other;
    HWND hwnd = other.create(u"ClockPostWindow", false);
    for (int i = 0; i < 20; ++i) {
        const DWORD posted = GetTickCount();
        ASSERT_TRUE(PostMessageW(hwnd, WM_USER + 7, i, 0));
        Sleep(10);
        const auto ticks = ticks_of(other, WM_USER + 7);
        ASSERT_EQ(ticks.size(), static_cast<std::size_t>(i + 1));
        EXPECT_EQ(ticks.back(), posted) << "post " << i;
    }
}

TEST(VirtualClock, ATimerSetFromAnotherThreadWakesTheOwnerOnTime) {
    WindowThread other;
    HWND hwnd = other.create(u"ClockTimerWindow", false);
    Sleep(10); // the other thread now waits with no deadline
    const DWORD start = GetTickCount();
    ASSERT_NE(SetTimer(hwnd, 5, 20, nullptr), 0u);
    Sleep(205);
    const auto ticks = ticks_of(other, WM_TIMER);
    ASSERT_EQ(ticks.size(), 10u);
    for (std::size_t i = 0; i < ticks.size(); ++i)
        EXPECT_EQ(ticks[i] - start, 20 * (i + 1)) << "tick " << i;
    KillTimer(hwnd, 5);
}

TEST(VirtualClock, AnInvalidationFromAnotherThreadIsPaintedBeforeTheClockMoves) {
    WindowThread other;
    HWND hwnd = other.create(u"ClockPaintWindow", true);
    Sleep(10);
    const std::size_t before = ticks_of(other, WM_PAINT).size();
    const DWORD invalidated = GetTickCount();
    ASSERT_TRUE(InvalidateRect(hwnd, nullptr, FALSE));
    Sleep(50);
    const auto paints = ticks_of(other, WM_PAINT);
    ASSERT_EQ(paints.size(), before + 1);
    EXPECT_EQ(paints.back(), invalidated);
}

TEST(VirtualClock, WaitersWithLaterDeadlinesWakeExactlyOnTime) {
    const DWORD start = GetTickCount();
    DWORD sleeperWoke = 0;
    DWORD eventWoke = 0;
    DWORD eventResult = 0;
    HANDLE never = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    {
        zt::sys::Thread sleeper([&] {
            Sleep(1000);
            sleeperWoke = GetTickCount();
        });
        zt::sys::Thread waiter([&] {
            eventResult = WaitForSingleObject(never, 333);
            eventWoke = GetTickCount();
        });
        for (int i = 0; i < 150; ++i) {
            const DWORD before = GetTickCount();
            Sleep(10);
            ASSERT_EQ(GetTickCount() - before, 10u) << "sleep " << i;
        }
    }
    EXPECT_EQ(sleeperWoke - start, 1000u);
    EXPECT_EQ(eventWoke - start, 333u);
    EXPECT_EQ(eventResult, WAIT_TIMEOUT);
    CloseHandle(never);
}

TEST(VirtualClock, AnEventSetByAnotherThreadEndsTheWaitAtThatTime) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const DWORD start = GetTickCount();
    DWORD result = 0;
    DWORD woke = 0;
    {
        zt::sys::Thread waiter([&] {
            result = WaitForSingleObject(event, 5000);
            woke = GetTickCount();
        });
        Sleep(120);
        SetEvent(event);
    }
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_EQ(woke - start, 120u);
    CloseHandle(event);
}
