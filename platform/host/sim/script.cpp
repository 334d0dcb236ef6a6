#include "script.h"

#include <charconv>
#include <sstream>

namespace zt::sim {

namespace {

std::vector<std::string> split(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

bool to_int(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

} // namespace

bool parse_script(std::istream& in, Script& script, std::string& error) {
    constexpr std::int64_t kMin32 = INT32_MIN, kMax32 = INT32_MAX, kMaxU32 = UINT32_MAX;
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        std::string line = raw.substr(0, raw.find('#'));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto words = split(line);
        if (words.empty())
            continue;
        auto fail = [&](const std::string& what) {
            error = "script:" + std::to_string(number) + ": " + what;
            return false;
        };
        const std::string& verb = words[0];
        Command cmd;
        cmd.kind = Command::kQuit;
        cmd.line = number;
        auto want_args = [&](std::size_t n, const char* usage) {
            if (words.size() != n + 1)
                return fail(std::string("expected '") + usage + "'");
            return true;
        };
        if (verb == "press" || verb == "release" || verb == "tap") {
            if (!want_args(2, (verb + " X Y").c_str()))
                return false;
            if (!to_int(words[1], kMin32, kMax32, cmd.a) || !to_int(words[2], kMin32, kMax32, cmd.b))
                return fail(verb + ": X and Y must be 32-bit integers");
            cmd.kind = verb == "press" ? Command::kPress : verb == "release" ? Command::kRelease : Command::kTap;
        } else if (verb == "tilt") {
            if (!want_args(3, "tilt X Y Z"))
                return false;
            if (!to_int(words[1], -128, 127, cmd.a) || !to_int(words[2], -128, 127, cmd.b) ||
                !to_int(words[3], -128, 127, cmd.c))
                return fail("tilt: X, Y and Z must be integers from -128 to 127");
            cmd.kind = Command::kTilt;
        } else if (verb == "accel") {
            if (words.size() != 2 || (words[1] != "fail" && words[1] != "ok"))
                return fail("expected 'accel fail' or 'accel ok'");
            cmd.kind = words[1] == "fail" ? Command::kAccelFail : Command::kAccelOk;
        } else if (verb == "wait") {
            if (!want_args(1, "wait MS"))
                return false;
            if (!to_int(words[1], 0, kMaxU32 - 1, cmd.a))
                return fail("wait: MS must be a number of milliseconds from 0 to 4294967294");
            cmd.kind = Command::kWait;
        } else if (verb == "activate" || verb == "deactivate") {
            cmd.kind = Command::kActivate;
            cmd.a = verb == "activate" ? 1 : 0;
            if (verb == "deactivate" && words.size() != 1)
                return fail("expected 'deactivate'");
            if (verb == "activate" && words.size() > 2)
                return fail("expected 'activate' or 'activate N'");
            if (words.size() == 2 && !to_int(words[1], 0, kMaxU32, cmd.a))
                return fail("activate: N must be an unsigned 32-bit integer");
        } else if (verb == "snapshot") {
            const auto start = line.find("snapshot") + 8;
            std::string path = line.substr(start);
            path.erase(0, path.find_first_not_of(" \t"));
            path.erase(path.find_last_not_of(" \t") + 1);
            if (path.empty())
                return fail("expected 'snapshot FILE'");
            cmd.kind = Command::kSnapshot;
            cmd.path = path;
        } else if (verb == "quit") {
            if (!want_args(0, "quit"))
                return false;
            cmd.kind = Command::kQuit;
        } else {
            return fail("unknown command '" + verb + "'");
        }
        script.commands.push_back(cmd);
    }
    return true;
}

} // namespace zt::sim
