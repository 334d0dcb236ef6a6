// The main of unit tests that run on the test host: the host goes in before
// any test touches the platform.
#include "zt/testhost.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    zt::testhost::install();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
