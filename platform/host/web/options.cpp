#include "options.h"

#include "zt/sys/trace.h"

namespace zt::web {

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// '+' is a space in a query; "%41" is 'A'; a broken escape stays as it is.
std::string decode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hex_digit(text[i + 1]) >= 0 && hex_digit(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_digit(text[i + 1]) * 16 + hex_digit(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

bool apply(Options& options, const std::string& name, const std::string& value, bool hasValue, std::string& problem) {
    if (name == "rehearse") {
        if (!hasValue || value.empty() || value == "1" || value == "on" || value == "true") {
            options.rehearse = true;
            return true;
        }
        if (value == "0" || value == "off" || value == "false") {
            options.rehearse = false;
            return true;
        }
        problem = "rehearse: expected no value, 1 or 0, not \"" + value + "\"";
        return false;
    }
    if (name == "accel") {
        if (value == "auto")
            options.accel = AccelMode::Auto;
        else if (value == "motion")
            options.accel = AccelMode::Motion;
        else if (value == "keys")
            options.accel = AccelMode::Keys;
        else if (value == "none")
            options.accel = AccelMode::None;
        else {
            problem = "accel: expected auto, motion, keys or none, not \"" + value + "\"";
            return false;
        }
        return true;
    }
    if (name == "flip") {
        // Without a value every axis turns; "flip=xy" names the axes.
        const std::string axes = hasValue && !value.empty() ? value : "xyz";
        Options flipped = options;
        flipped.flipX = flipped.flipY = flipped.flipZ = false;
        for (char c : axes) {
            if (c == 'x' || c == 'X')
                flipped.flipX = true;
            else if (c == 'y' || c == 'Y')
                flipped.flipY = true;
            else if (c == 'z' || c == 'Z')
                flipped.flipZ = true;
            else {
                problem = "flip: expected the axes to turn (x, y, z, e.g. flip=xy), not \"" + value + "\"";
                return false;
            }
        }
        options = flipped;
        return true;
    }
    if (name == "trace") {
        unsigned channels = 0;
        if (!trace::parse_channels(value, channels)) {
            problem = "trace: expected channels such as msg,shell or all, not \"" + value + "\"";
            return false;
        }
        options.traceChannels = channels;
        return true;
    }
    problem = "unknown option \"" + name + "\" (known: rehearse, accel, flip, trace)";
    return false;
}

} // namespace

Options parse_query(std::string_view query, std::vector<std::string>& problems) {
    Options options;
    if (!query.empty() && query.front() == '?')
        query.remove_prefix(1);
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (item.empty())
            continue;
        const std::size_t eq = item.find('=');
        const std::string name = decode(item.substr(0, eq));
        const bool hasValue = eq != std::string_view::npos;
        const std::string value = hasValue ? decode(item.substr(eq + 1)) : std::string();
        std::string problem;
        if (!apply(options, name, value, hasValue, problem))
            problems.push_back(problem);
    }
    return options;
}

} // namespace zt::web
