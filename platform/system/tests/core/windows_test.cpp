// Windows, messages, timers and the kernel as only the stand-in shows them:
// its virtual clock, its answers where Wine's differ from Windows, threads it
// never started. What Win32 shares is in conformance/tests, run on both sides.
#include "zt/platform.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

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

// The other window calls' bad handles are checked against Win32 in the
// conformance suite; Wine answers these two differently from Windows.
TEST(Windows, DestroyWindowAndSetTimerRefuseABadHandleWithTheWin32Error) {
    HWND bogus = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7777));
    struct Case {
        const char* name;
        std::function<std::int64_t()> call;
    } cases[] = {
        {"DestroyWindow", [&] { return DestroyWindow(bogus); }},
        {"SetTimer", [&] { return static_cast<std::int64_t>(SetTimer(bogus, 1, 10, nullptr)); }},
    };
    for (auto& c : cases) {
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(c.call(), 0) << c.name;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE) << c.name;
    }
}

// Names and their numbers are checked against Win32 in the conformance suite.
TEST(Messages, RegisterWindowMessageRefusesANullName) {
    SetLastError(0);
    EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
    EXPECT_NE(GetLastError(), 0u);
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

// A thread the platform never started gets a last error of its own too.
TEST(Kernel, LastErrorIsKeptPerThreadEvenOnAPlainThread) {
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
