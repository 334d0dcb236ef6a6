// The main of unit tests that run on the test host: the host goes in before
// any static object of a test touches the platform.
#include "zt/host.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

namespace {

void install_test_host(int, char**) {
    zt::testhost::install();
}

} // namespace

ZT_HOST(install_test_host);

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
