// The simulator's input before the application has a window goes the way
// every host's does (the core's memory host shows the same, in
// platform/host/common/tests/core): a touch on nothing is dropped, and
// activation waits for the window.
#include "script.h"
#include "sim_host.h"

#include "app/app.h"
#include "zt/sys/trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::mutex g_lock;
std::vector<std::string> g_dispatched;

void install_sim(int, char**) {
    zt::sim::Script script;
    std::string error;
    if (!zt::sim::parse_script("tap 100 400\nactivate\nwait 50\n", script, error))
        std::abort();
    zt::sim::sim_host().configure(zt::sim::Options{}, std::move(script));
    zt::host::install(zt::sim::sim_host().core());
}

} // namespace

ZT_HOST(install_sim);

TEST(SimBeforeTheWindow, DropsATouchAndKeepsTheActivationForTheWindow) {
    zt::trace::set_sink([](std::string_view line) {
        const std::lock_guard lock(g_lock);
        if (line.find("DispatchMessageW(") != std::string_view::npos)
            g_dispatched.emplace_back(line);
    });
    zt::trace::enable(zt::trace::kMsg);
    CZentrickApp app;
    zt::host::Core& core = zt::sim::sim_host().core();
    // Two turns before the application starts: the script's tap, then its
    // activation, while no window of the application exists.
    ASSERT_NE(core.turn(true), zt::host::Core::kEnded);
    ASSERT_NE(core.turn(true), zt::host::Core::kEnded);
    EXPECT_EQ(core.phone().app_window(), nullptr);
    EXPECT_EQ(core.input().pending(), (std::vector<zt::host::WindowMessage>{{WM_ACTIVATE, 1, 0}}));
    EXPECT_EQ(core.run(), 0);
    zt::trace::enable(0);
    const auto count = [](const char* what) {
        const std::lock_guard lock(g_lock);
        return std::count_if(g_dispatched.begin(), g_dispatched.end(),
                             [&](const std::string& line) { return line.find(what) != std::string::npos; });
    };
    EXPECT_EQ(count(", 0x6, 0x1, 0)"), 1);
    EXPECT_EQ(count(", 0x201, "), 0);
    EXPECT_EQ(count(", 0x202, "), 0);
    EXPECT_EQ(count(", 0x10, "), 1) << "the script's end closed the window";
}
