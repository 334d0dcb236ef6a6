// The simulator's script parser: any bytes either parse into commands that
// the host can play or give one "script:LINE: ..." error, never a crash.
#include "script.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream in(text);
    zt::sim::Script script;
    std::string error;
    const bool ok = zt::sim::parse_script(in, script, error);
    FUZZ_CHECK(ok == error.empty());
    if (!ok) {
        FUZZ_CHECK(error.rfind("script:", 0) == 0);
        return 0;
    }
    const std::size_t lines = 1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    int previous = 0;
    for (const zt::sim::Command& command : script.commands) {
        FUZZ_CHECK(command.line >= 1 && static_cast<std::size_t>(command.line) <= lines);
        FUZZ_CHECK(command.line > previous); // one command a line, in order
        previous = command.line;
        if (command.kind == zt::sim::Command::kSnapshot) {
            FUZZ_CHECK(!command.path.empty());
            for (const char c : command.path)
                FUZZ_CHECK(c != '\n' && c != '\r' && c != '\f' && c != '\v');
        }
    }
    return 0;
}
