// A host whose boot hook starts the simulated shell, touched first from a
// static initialiser as the application's global object touches it.
#include "zt/host.h"
#include "zt/host/simulated_shell.h"
#include "zt/platform.h"

#include <gtest/gtest.h>

namespace {

zt::host::SimulatedShell& shell() {
    // Never destroyed, like the platform it runs on.
    static auto* const instance = new zt::host::SimulatedShell();
    return *instance;
}

class BootHost final : public zt::host::Host {
  public:
    zt::host::ClockKind clock_kind() const override { return zt::host::ClockKind::Virtual; }
    void boot() override { shell().start(); }
};

// Installed before the first platform call, which comes next in this file.
const bool g_installed = [] {
    static BootHost* const host = new BootHost();
    zt::host::install(*host);
    return true;
}();

// The first platform call of the process: the shell must be up before it returns.
const HWND g_taskbarAtStart = FindWindowW(u"CTaskBar", nullptr);
const DWORD g_bootThread = GetCurrentThreadId();

} // namespace

TEST(SimulatedShellBoot, TheShellIsUpDuringTheFirstPlatformCall) {
    ASSERT_NE(g_taskbarAtStart, nullptr);
    EXPECT_TRUE(IsWindowVisible(g_taskbarAtStart));
    EXPECT_NE(GetWindowThreadProcessId(g_taskbarAtStart, nullptr), g_bootThread);
    for (const char16_t* name : zt::host::SimulatedShell::kClassNames)
        EXPECT_NE(FindWindowW(name, nullptr), nullptr);
}

TEST(SimulatedShellBoot, ItsThreadAnswersAndTimesOutOnTheVirtualClock) {
    HWND taskbar = FindWindowW(u"CTaskBar", nullptr);
    DWORD reply = 0;
    const DWORD start = GetTickCount();
    EXPECT_EQ(SendMessageTimeoutW(taskbar, 0xFFF0000D, 0, 0, SMTO_NORMAL, 800, &reply), 1);
    EXPECT_EQ(reply, 1u);
    EXPECT_EQ(GetTickCount(), start);
    EXPECT_EQ(ShowWindow(taskbar, SW_HIDE), TRUE);
    EXPECT_FALSE(shell().taskbar_visible());
    EXPECT_EQ(ShowWindow(taskbar, SW_SHOW), FALSE);
    EXPECT_TRUE(shell().taskbar_visible());
}

TEST(SimulatedShellBoot, TheRegistryHoldsAnUnlockedState) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"System\\State\\ZaruVuvIvozi", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD value = 7;
    DWORD type = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(key, u"IsLockState", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 0u);
    RegCloseKey(key);
}
