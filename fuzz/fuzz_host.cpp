// Every fuzz target runs on the test host, installed before the first input.
#include "zt/testhost.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zt::testhost::install();
    return 0;
}
