// A host's loop model is its driver's base: a host that runs its turns
// itself never has the core wait for it. (That a host declaring it waits
// cannot leave out wait() is checked at compile time: tests/loop_model/.)
#include "zt/framework.h"
#include "zt/host/core.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A page-like host: no wait, and a record of what the core asked of it.
class TurnHost final : public zt::host::TurnDriver {
  public:
    int eventCalls = 0;
    std::string said;

    void events(zt::host::Core&) override { ++eventCalls; }
    bool debug_output(std::string_view utf8) override {
        said += utf8;
        return false; // and on standard error, where a death test reads it
    }
};

TEST(CoreLoopModel, RunRefusesAHostThatRunsItsOwnTurnsAtOnceSayingWhy) {
    TurnHost host;
    zt::host::Core core(host);
    EXPECT_EQ(core.run(), MZ_EXIT_INIT_FAILED);
    EXPECT_NE(host.said.find("needs a host that waits"), std::string::npos) << host.said;
    // Nothing was started or turned: no input asked for, and the loop is over.
    EXPECT_EQ(host.eventCalls, 0);
    EXPECT_FALSE(core.turn(zt::host::Core::TurnInput::Take));
}

TEST(CoreLoopModel, AWaitInsideATurnOfAHostThatCannotWaitEndsTheProgramSayingWhy) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TurnHost host;
    zt::host::Core core(host);
    EXPECT_DEATH(core.idle(10), "would hang the page's only thread");
}

} // namespace
