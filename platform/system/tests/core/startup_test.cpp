// The platform from a static initialiser, as the application object uses it:
// this file's initialisers run before any of the platform's (the link puts
// the test's objects first), so whatever they set must not be undone when
// the platform's own files are initialised later.
#include "zt/platform.h"
#include "zt/sys/trace.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

// Never destroyed, like the sink that writes into it.
std::vector<std::string>& early_lines() {
    static auto* const lines = new std::vector<std::string>();
    return *lines;
}

// Traces once more with every static initialiser run, before any test
// (which may set a sink of its own), and then takes the sink away.
class AfterStartUp : public ::testing::Environment {
  public:
    void SetUp() override {
        zt::trace::enable(zt::trace::kKernel);
        GetCurrentThreadId();
        zt::trace::enable(0);
        zt::trace::set_sink(nullptr);
    }
};

// A host's boot sets its trace sink and traces; here, before main.
const bool kTracedEarly = [] {
    zt::trace::set_sink([](std::string_view line) { early_lines().emplace_back(line); });
    zt::trace::enable(zt::trace::kKernel);
    GetTickCount();
    zt::trace::enable(0);
    ::testing::AddGlobalTestEnvironment(new AfterStartUp);
    return true;
}();

} // namespace

TEST(StartUp, ATraceSinkSetBeforeThePlatformsInitialisersStaysInPlace) {
    ASSERT_TRUE(kTracedEarly);
    const std::vector<std::string>& lines = early_lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("trace:kernel: GetTickCount(", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("trace:kernel: GetCurrentThreadId(", 0), 0u) << lines[1];
}
