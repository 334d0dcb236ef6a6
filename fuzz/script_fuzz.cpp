// The simulator's script parser: any bytes either parse into commands that
// the host can play or give one "script:LINE: ..." error, never a crash.
#include "script.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    zt::sim::Script script;
    std::string error;
    const bool ok = zt::sim::parse_script(text, script, error);
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
            // One notion of blank: none is left at either end of the name.
            FUZZ_CHECK(!command.path.empty());
            for (const char end : {command.path.front(), command.path.back()})
                FUZZ_CHECK(std::string_view(" \t\v\f\r\n").find(end) == std::string_view::npos);
            FUZZ_CHECK(command.path.find('\0') == std::string::npos);
        }
    }
    return 0;
}
