// A program that calls the platform without a host, or installs one too
// late, stops with a message that says so.
#include "zt/host.h"
#include "zt/platform.h"

#include <gtest/gtest.h>

namespace {

class LateHost final : public zt::host::Host {
  public:
    zt::host::ClockKind clock_kind() const override { return zt::host::ClockKind::Virtual; }
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
