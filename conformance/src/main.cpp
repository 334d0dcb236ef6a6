// The conformance tests' entry. With "--register NAME..." the program is the
// second process of the cross-process message-name tests instead.
#include "conformance/harness.h"

#include <cstring>

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--register") == 0)
        return conformance::register_and_print(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
