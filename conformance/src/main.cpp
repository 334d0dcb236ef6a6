// The conformance tests' entry. With "--register NAME..." the program is the
// second process of the cross-process message-name tests instead.
#include "conformance/harness.h"

#include <cstring>

#if !defined(_WIN32)
#include "zt/testhost.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#endif

int main(int argc, char** argv) {
#if !defined(_WIN32)
    zt::testhost::install();
#endif
    if (argc >= 2 && std::strcmp(argv[1], "--register") == 0)
        return conformance::register_and_print(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
#if !defined(_WIN32)
    // Registered names are shared by the user's processes; this run and the
    // second processes it starts share a table of their own, so runs in
    // parallel never meet and the user's table is left alone.
    const std::string names = "/tmp/zt-conformance-names-" + std::to_string(getpid());
    setenv("ZT_MESSAGE_NAMES", names.c_str(), 1);
    const int result = RUN_ALL_TESTS();
    std::remove(names.c_str());
    return result;
#else
    return RUN_ALL_TESTS();
#endif
}
