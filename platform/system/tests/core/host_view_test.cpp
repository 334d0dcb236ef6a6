// What hosts ask of the window system (zt/sys/windows.h), and the lock
// wrapper the platform's shared state lives in.
#include "zt/platform.h"
#include "zt/sys/guarded.h"
#include "zt/sys/kernel.h"
#include "zt/sys/windows.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

LRESULT plain_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND make_window(const char16_t* className, HWND parent) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = plain_proc;
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(0, className, u"", 0, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
}

} // namespace

TEST(HostView, AWindowsParentIsKnownAndUnknownWindowsHaveNone) {
    HWND top = make_window(u"HostViewParent", nullptr);
    HWND child = make_window(u"HostViewChildOfParent", top);
    EXPECT_EQ(zt::sys::window_parent(child), top);
    EXPECT_EQ(zt::sys::window_parent(top), nullptr);
    DestroyWindow(child);
    DestroyWindow(top);
    EXPECT_EQ(zt::sys::window_parent(child), nullptr);
}

TEST(HostView, OnlyTheThreadThatBootedThePlatformIsTheBootThread) {
    (void)GetTickCount(); // booted by now, on this thread
    EXPECT_TRUE(zt::sys::is_boot_thread());
    bool other = true;
    std::thread([&] { other = zt::sys::is_boot_thread(); }).join();
    EXPECT_FALSE(other);
}

TEST(Guarded, EveryAccessHoldsTheLockSoConcurrentUpdatesAreNotLost) {
    zt::sys::Guarded<std::vector<int>> values;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5000; ++i)
                values.with([&](std::vector<int>& v) { v.push_back(t); });
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(values.with([](std::vector<int>& v) { return v.size(); }), 20000u);
    auto held = values.lock();
    EXPECT_EQ(held->size(), 20000u);
}

// Unlocked lets go only for its scope: another thread gets in meanwhile, and
// the lock is held again after it.
TEST(Guarded, UnlockedLetsOthersInForItsScopeOnly) {
    zt::sys::Guarded<int> value(0);
    auto held = value.lock();
    {
        zt::sys::Unlocked open(held);
        std::thread([&] { value.with([](int& v) { v = 7; }); }).join();
    }
    EXPECT_EQ(*held, 7);
    std::atomic<bool> got{false};
    std::thread other([&] { value.with([&](int&) { got = true; }); });
    // The other thread cannot get in while this one holds the lock.
    Sleep(20);
    EXPECT_FALSE(got);
    { auto released = std::move(held); }
    other.join();
    EXPECT_TRUE(got);
}

// Asking again for a lock the thread holds would wait for itself forever: a
// platform call that takes the kernel's lock, made inside a locked section,
// stops the process with the reason instead of hanging it.
TEST(GuardedDeathTest, TakingAHeldLockAgainStopsWithTheReason) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            zt::sys::Guarded<int> value(0);
            auto first = value.lock();
            value.with([](int& v) { ++v; });
        },
        "took a lock it already holds");
    EXPECT_DEATH(
        {
            auto locked = zt::sys::Kernel::get().lock();
            (void)GetTickCount();
        },
        "took a lock it already holds");
}

// A thread's first platform call may be SetLastError while the kernel's lock
// is held (a failing call inside a locked section): the last error is the
// thread's own and never waits for that lock.
TEST(LastError, AFreshThreadSetsAndReadsItUnderTheKernelLock) {
    std::atomic<DWORD> seen{0};
    std::thread fresh([&] {
        auto locked = zt::sys::Kernel::get().lock();
        SetLastError(ERROR_INVALID_PARAMETER);
        seen = GetLastError();
    });
    fresh.join();
    EXPECT_EQ(seen.load(), DWORD{ERROR_INVALID_PARAMETER});
    SetLastError(ERROR_TIMEOUT);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_TIMEOUT}) << "another thread's error leaked into this one";
}
