// The simulator's script: one command a line, checked whole before anything
// runs.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace zt::sim {

struct Command {
    enum Kind {
        kPress,
        kRelease,
        kTap,
        kTilt,
        kAccelFail,
        kAccelOk,
        kWait,
        kActivate,
        kSnapshot,
        kQuit,
    };
    Kind kind = kQuit;
    int line = 0;                     // 1-based line in the script
    std::int64_t a = 0, b = 0, c = 0; // x y | x y z | ms | wParam
    std::string path;                 // snapshot file
};

struct Script {
    std::vector<Command> commands;
};

// Parses a whole script. On the first malformed line, returns false and sets
// `error` to "script:LINE: <what is wrong>".
bool parse_script(std::istream& in, Script& script, std::string& error);

} // namespace zt::sim
