// A program that calls the platform without a host, or installs one too
// late, stops with a message that says so; the host's kind of clock is the
// platform's.
#include "zt/host.h"
#include "zt/platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

namespace {

class LateHost final : public zt::host::Host {
  public:
    zt::host::ClockKind clock_kind() const override { return zt::host::ClockKind::Virtual; }
};

// Its clock is what it read for the turn it runs.
class TurnsHost final : public zt::host::Host {
  public:
    zt::host::ClockKind clock_kind() const override { return zt::host::ClockKind::Turns; }
    std::uint64_t turn_clock() const override { return clock; }
    std::uint64_t clock = 1000;
};

} // namespace

TEST(HostInstallDeathTest, APlatformCallBeforeAnyHostStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(GetTickCount(), "platform was called before a host was installed");
}

TEST(HostInstallDeathTest, ASecondHostStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            static LateHost first;
            static LateHost second;
            zt::host::install(first);
            zt::host::install(first); // the same host again is harmless
            zt::host::install(second);
        },
        "second host");
}

TEST(HostInstallDeathTest, InstallingAfterBootStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            static LateHost host;
            zt::host::install(host);
            (void)GetTickCount();
            zt::host::install(host);
        },
        "after the platform booted");
}

TEST(HostInstall, TheInstalledHostRunsThePlatform) {
    static LateHost host;
    zt::host::install(host);
    EXPECT_EQ(&zt::host::current(), &host);
    const DWORD start = GetTickCount();
    Sleep(30);
    EXPECT_EQ(GetTickCount() - start, 30u);
}

// A host that reads the clock once a turn: the platform's time is the turn's
// and stands still within it; timers fall due by it. In a child process of
// its own, as the platform boots once.
TEST(HostInstallDeathTest, ATurnsHostsClockIsThePlatformsTime) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            static TurnsHost host;
            zt::host::install(host);
            int failed = 0;
            failed |= GetTickCount() == 1000 ? 0 : 1;
            const UINT_PTR id = SetTimer(nullptr, 0, 10, nullptr);
            MSG msg{};
            failed |= id != 0 && !PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) ? 0 : 2;
            failed |= zt::host::loop_deadline() == 1010 && GetTickCount() == 1000 ? 0 : 4;
            host.clock = 1010;
            failed |=
                PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_TIMER && msg.time == 1010 ? 0 : 8;
            failed |= zt::host::loop_deadline() == 1020 ? 0 : 16;
            std::exit(failed);
        },
        ::testing::ExitedWithCode(0), "");
}
