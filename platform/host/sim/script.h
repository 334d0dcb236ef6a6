// The simulator's script: one command a line, checked whole before anything
// runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zt::sim {

// What a script may hold. A performer's routine is a few hundred short lines;
// anything near these limits is a wrong file, refused before it can fill the
// memory or hold the run up.
constexpr std::size_t kMaxLineBytes = 4096;         // one line, not counting its line end
constexpr std::size_t kMaxScriptBytes = 16u << 20;  // the whole script: 16 MiB
constexpr std::int64_t kMaxWaitMs = 24 * 3'600'000; // one wait: 24 hours
// Every wait of a script together: a week. A script plays its virtual time
// tick by tick (about half a minute of CPU for a week), so a few short
// lines must not ask for months.
constexpr std::int64_t kMaxScriptMs = 7 * kMaxWaitMs;

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

// Reads the script at `path` ("-": standard input) to its end, but never
// more than kMaxScriptBytes + 1 bytes (parse_script refuses such a script).
// On a read error, returns false and sets `error` to
// "script: cannot read PATH: REASON".
bool read_script(const std::string& path, std::string& text, std::string& error);

// Parses a whole script. On the first malformed line (or one past a limit),
// returns false and sets `error` to "script:LINE: <what is wrong>".
bool parse_script(std::string_view text, Script& script, std::string& error);

} // namespace zt::sim
