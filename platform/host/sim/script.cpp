#include "script.h"

#include "zt/sys/printable.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace zt::sim {

namespace {

// The one notion of a blank in a script: what C's isspace() calls space
// within a line. Words are split by blanks, and a snapshot's file name loses
// the blanks around it.
bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string> split(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && is_blank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !is_blank(line[i]))
            ++i;
        if (i > start)
            words.emplace_back(line.substr(start, i - start));
    }
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

bool read_script(const std::string& path, std::string& text, std::string& error) {
    const bool standardInput = path == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int failure = fd < 0 ? errno : 0;
    text.clear();
    char buffer[64 * 1024];
    while (failure == 0 && text.size() <= kMaxScriptBytes) {
        const std::size_t want = std::min(sizeof buffer, kMaxScriptBytes + 1 - text.size());
        const ssize_t n = ::read(fd, buffer, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            failure = errno;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (!standardInput && fd >= 0)
        ::close(fd);
    if (failure != 0) {
        error = "script: cannot read " + (standardInput ? std::string("standard input") : path) + ": " +
                std::strerror(failure);
        return false;
    }
    return true;
}

namespace {

constexpr std::int64_t kMin32 = INT32_MIN, kMax32 = INT32_MAX, kMaxU32 = UINT32_MAX;

// Reads one command from a line's words (at least one). On a malformed
// line, returns false with `what` saying why.
bool parse_command(std::string_view line, const std::vector<std::string>& words, Command& cmd, std::string& what) {
    const std::string& verb = words[0];
    auto fail = [&](std::string text) {
        what = std::move(text);
        return false;
    };
    auto want_args = [&](std::size_t n, const std::string& usage) {
        return words.size() == n + 1 || fail("expected '" + usage + "'");
    };
    if (verb == "press" || verb == "release" || verb == "tap") {
        if (!want_args(2, verb + " X Y"))
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
        if (!to_int(words[1], 0, kMaxWaitMs, cmd.a))
            return fail("wait: MS must be a number of milliseconds from 0 to " + std::to_string(kMaxWaitMs) +
                        " (24 hours)");
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
        // The file name is the rest of the line, blanks inside it kept.
        const std::string_view path = trim(trim(line).substr(verb.size()));
        if (path.empty())
            return fail("expected 'snapshot FILE'");
        if (path.find('\0') != std::string_view::npos)
            return fail("snapshot: FILE must not hold a NUL byte");
        cmd.kind = Command::kSnapshot;
        cmd.path = std::string(path);
    } else if (verb == "quit") {
        if (!want_args(0, "quit"))
            return false;
        cmd.kind = Command::kQuit;
    } else {
        return fail("unknown command '" + sys::printable(verb, "'") + "'");
    }
    return true;
}

} // namespace

bool parse_script(std::string_view text, Script& script, std::string& error) {
    int number = 0;
    std::int64_t waited = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        ++number;
        const std::size_t newline = text.find('\n', start);
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline;
        const std::string_view raw = text.substr(start, end - start);
        const std::size_t through = newline == std::string_view::npos ? end : end + 1; // bytes up to here
        start = end + 1;
        auto fail = [&](const std::string& what) {
            error = "script:" + std::to_string(number) + ": " + what;
            return false;
        };
        if (raw.size() > kMaxLineBytes)
            return fail("the line is longer than " + std::to_string(kMaxLineBytes) + " bytes");
        if (through > kMaxScriptBytes)
            return fail("the script is longer than 16 MiB (" + std::to_string(kMaxScriptBytes) + " bytes)");
        const std::string_view line = raw.substr(0, raw.find('#'));
        const auto words = split(line);
        if (words.empty())
            continue;
        Command cmd;
        cmd.line = number;
        std::string what;
        if (!parse_command(line, words, cmd, what))
            return fail(what);
        waited += cmd.kind == Command::kWait ? cmd.a : 0;
        if (waited > kMaxScriptMs)
            return fail("wait: the waits add up to more than " + std::to_string(kMaxScriptMs) + " ms (a week)");
        script.commands.push_back(cmd);
    }
    return true;
}

} // namespace zt::sim
