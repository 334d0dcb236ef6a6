// What a host may ask the platform (zt/host.h), and the shared test fixtures.
#include "zt/host.h"
#include "zt/platform.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

using zt::testhost::OwnWindow;
using zt::testhost::WindowThread;

namespace {

// A child of `parent` on the calling thread.
HWND make_child(HWND parent, const char16_t* className = u"HostApiChild") {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(0, className, u"child", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
}

} // namespace

TEST(HostBootThreadWindows, AreTheBootThreadsTopLevelWindowsInOrderFromAnyThread) {
    // The tests run on the boot thread.
    ASSERT_TRUE(zt::host::is_boot_thread());
    EXPECT_TRUE(zt::host::boot_thread_windows().empty());
    WindowThread shell;
    shell.create(u"HostApiShellWindow", true);
    EXPECT_TRUE(zt::host::boot_thread_windows().empty()); // another thread's windows
    OwnWindow first({.className = u"HostApiFirst"});
    OwnWindow second({.className = u"HostApiSecond"});
    make_child(first.get());
    const std::vector<HWND> both{first.get(), second.get()};
    EXPECT_EQ(zt::host::boot_thread_windows(), both);
    std::vector<HWND> seen;
    bool bootThread = true;
    shell.run([&] {
        seen = zt::host::boot_thread_windows();
        bootThread = zt::host::is_boot_thread();
    });
    EXPECT_EQ(seen, both);
    EXPECT_FALSE(bootThread);
    DestroyWindow(first.get());
    EXPECT_EQ(zt::host::boot_thread_windows(), std::vector<HWND>{second.get()});
}

TEST(HostWindowTree, ParentOfEachKindOfHandle) {
    OwnWindow frame({.className = u"HostApiFrame"});
    HWND child = make_child(frame.get());
    HWND grandchild = make_child(child);
    ASSERT_NE(grandchild, nullptr);
    struct Row {
        const char* name;
        HWND window;
        HWND parent;
    };
    const Row rows[] = {
        {"frame", frame.get(), nullptr},
        {"child", child, frame.get()},
        {"grandchild", grandchild, child},
        {"null", nullptr, nullptr},
        {"bogus", reinterpret_cast<HWND>(0x7777), nullptr},
    };
    for (const Row& row : rows)
        EXPECT_EQ(zt::host::window_parent(row.window), row.parent) << row.name;
}

TEST(HostClock, NowMovesWithTheVirtualClockAndMatchesGetTickCount) {
    const std::uint64_t before = zt::host::now();
    const DWORD tickBefore = GetTickCount();
    Sleep(250);
    EXPECT_EQ(zt::host::now() - before, 250u);
    EXPECT_EQ(GetTickCount() - tickBefore, 250u);
}

TEST(HostThread, TheVirtualClockWaitsForItAndMovesWhileItIsJoined) {
    std::atomic<DWORD> slept{0};
    const DWORD start = GetTickCount();
    zt::host::Thread thread([&] {
        Sleep(40);
        slept = GetTickCount();
    });
    EXPECT_TRUE(thread.joinable());
    thread.join();
    EXPECT_FALSE(thread.joinable());
    EXPECT_EQ(slept.load() - start, 40u);
    zt::host::Thread moved(std::move(thread));
    EXPECT_FALSE(moved.joinable());
}

TEST(RegisterMessageHook, SeesEveryNameAndCanRefuse) {
    std::vector<std::u16string> seen;
    bool refuse = false;
    zt::testhost::set_register_message_hook([&](LPCWSTR name) {
        seen.emplace_back(name != nullptr ? name : u"(null)");
        return !refuse;
    });
    const UINT number = RegisterWindowMessageW(u"HostApiMessage");
    EXPECT_GE(number, 0xC000u);
    refuse = true;
    SetLastError(1234);
    EXPECT_EQ(RegisterWindowMessageW(u"HostApiMessage"), 0u);
    EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
    zt::testhost::set_register_message_hook(nullptr);
    EXPECT_EQ(RegisterWindowMessageW(u"HostApiMessage"), number);
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"HostApiMessage", u"HostApiMessage", u"(null)"}));
}

TEST(PixelFixtures, ChannelsAndCountsOfARectangle) {
    constexpr std::uint32_t kPixel = 0x80C06020;
    EXPECT_EQ(zt::testhost::alpha(kPixel), 0x80);
    EXPECT_EQ(zt::testhost::red(kPixel), 0xC0);
    EXPECT_EQ(zt::testhost::green(kPixel), 0x60);
    EXPECT_EQ(zt::testhost::blue(kPixel), 0x20);
    EXPECT_EQ(zt::testhost::brightness(0xFFFFFFFF), 765);
    struct Grid {
        std::uint32_t at(int x, int y) const { return x == y ? 0xFFFFFFFFu : 0xFF000000u; }
    } grid;
    EXPECT_EQ(zt::testhost::count_pixels(grid, RECT{0, 0, 4, 4}, 0xFFFFFFFFu), 4);
    EXPECT_EQ(zt::testhost::count_pixels(grid, RECT{1, 0, 4, 2}, [](std::uint32_t p) { return p == 0xFF000000u; }), 5);
}

TEST(OwnWindowFixture, IsOnTheCallingThreadAndGoesWithTheObject) {
    HWND hwnd = nullptr;
    {
        OwnWindow window({.className = u"HostApiOwn", .style = WS_VISIBLE, .width = 120, .height = 90});
        hwnd = window.get();
        ASSERT_TRUE(IsWindow(hwnd));
        EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), GetCurrentThreadId());
        EXPECT_TRUE(IsWindowVisible(hwnd));
        RECT r{};
        GetWindowRect(hwnd, &r);
        EXPECT_EQ(r.right - r.left, 120);
        EXPECT_EQ(r.bottom - r.top, 90);
    }
    EXPECT_FALSE(IsWindow(hwnd));
}
