// The simulator's input before the application has a window goes the way
// every host's does (the core's memory host, the desktop and the page show
// the same): a touch on nothing is dropped, and activation waits for the
// window.
#include "script.h"
#include "sim_host.h"

#include "app/app.h"
#include "before_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

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
    zt::testing::DispatchLog dispatched;
    dispatched.start();
    CZentrickApp app;
    zt::host::Core& core = zt::sim::sim_host().core();
    // Two turns before the application starts: the script's tap, then its
    // activation, while no window of the application exists.
    ASSERT_TRUE(core.turn(zt::host::Core::TurnInput::Take));
    ASSERT_TRUE(core.turn(zt::host::Core::TurnInput::Take));
    zt::testing::expect_waiting_for_the_window(core);
    EXPECT_EQ(core.run(), 0);
    dispatched.stop();
    zt::testing::expect_dispatched(dispatched, 1, 0);
    EXPECT_EQ(dispatched.count(", 0x10, "), 1) << "the script's end closed the window";
}
