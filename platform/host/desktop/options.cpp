#include "options.h"

#include "zt/sys/trace.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <string_view>

namespace zt::desktop {

namespace {

constexpr double kMinScale = 0.25;
constexpr double kMaxScale = 8.0;

bool parse_scale(std::string_view text, double& scale) {
    double value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value) || value < kMinScale || value > kMaxScale)
        return false;
    scale = value;
    return true;
}

// Each source's name on the command line, in the enum's order.
constexpr const char* kAccelNames[] = {"auto", "iio", "controller", "keys", "none"};
static_assert(std::size(kAccelNames) == static_cast<std::size_t>(AccelSource::None) + 1);

bool parse_accel(std::string_view text, AccelSource& source) {
    for (std::size_t i = 0; i < std::size(kAccelNames); ++i) {
        if (text == kAccelNames[i]) {
            source = static_cast<AccelSource>(i);
            return true;
        }
    }
    return false;
}

} // namespace

ParseResult parse_options(int argc, const char* const* argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i] ? argv[i] : "";
        // "--name=value" and "--name value" both work.
        std::string_view inlineValue;
        bool hasInline = false;
        if (arg.starts_with("--")) {
            if (auto eq = arg.find('='); eq != std::string_view::npos) {
                inlineValue = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasInline = true;
            }
        }
        auto value = [&](std::string_view& out) {
            if (hasInline) {
                out = inlineValue;
                return true;
            }
            if (i + 1 >= argc || argv[i + 1] == nullptr) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string_view v;
        if (arg == "--help" || arg == "-h") {
            return ParseResult::Help;
        } else if (arg == "--scale") {
            if (!value(v))
                return ParseResult::Error;
            if (!parse_scale(v, options.scale)) {
                error = "--scale needs a number from 0.25 to 8, not '" + std::string(v) + "'";
                return ParseResult::Error;
            }
        } else if (arg == "--accel") {
            if (!value(v))
                return ParseResult::Error;
            if (!parse_accel(v, options.accel)) {
                error = "--accel needs auto, iio, controller, keys or none, not '" + std::string(v) + "'";
                return ParseResult::Error;
            }
        } else if (arg == "--trace") {
            if (!value(v))
                return ParseResult::Error;
            if (!trace::parse_channels(v, options.traceChannels)) {
                error = "unknown trace channel in '" + std::string(v) + "'";
                return ParseResult::Error;
            }
        } else if (arg == "--rehearse") {
            if (hasInline) {
                error = "--rehearse takes no value";
                return ParseResult::Error;
            }
            options.rehearse = true;
        } else {
            error = arg.starts_with("-") ? "unknown option " + std::string(arg)
                                         : "unexpected argument '" + std::string(arg) + "'";
            return ParseResult::Error;
        }
    }
    return ParseResult::Run;
}

std::string usage() {
    return "usage: zentrick [--scale F] [--accel auto|iio|controller|keys|none] [--rehearse]\n"
           "                [--trace CHANNELS]\n"
           "\n"
           "Opens the Zentrick card trick in a 480x720 window, as on the phone.\n"
           "\n"
           "  --scale F      window pixels per phone pixel, 0.25 to 8 (default: the\n"
           "                 largest that fits the screen; whole numbers stay sharp)\n"
           "  --accel SRC    where the tilt comes from (default auto: a Linux IIO\n"
           "                 accelerometer, else a game controller with a motion\n"
           "                 sensor, else the keyboard); none: no accelerometer\n"
           "  --rehearse     draw the twelve touch regions and the raw X, Y, Z readings\n"
           "  --trace CH     trace platform calls on stderr: a comma list of msg, gdi,\n"
           "                 device, shell, queue, reg, or all (these six), and\n"
           "                 kernel, win (routine calls, which all leaves out)\n"
           "\n"
           "The mouse's left button (or a finger on a touch screen) is the finger.\n"
           "\n"
           "Keyboard tilt (--accel keys): hold an arrow key to tilt the phone, let go\n"
           "to lay it flat again; the suit is latched while the screen faces up.\n"
           "  Up     top edge raised     (Y +45)  spades\n"
           "  Down   bottom edge raised  (Y -45)  hearts\n"
           "  Right  right edge raised   (X +45)  clubs\n"
           "  Left   left edge raised    (X -45)  diamonds\n"
           "  F      turn the phone face down / face up again\n"
           "With a controller, hold it flat like the phone lying face up; tip its far\n"
           "edge up for spades, near edge hearts, right side clubs, left side diamonds.\n"
           "\n"
           "The trick: a tap released on the right third (x > 320) arms it. Tilt for\n"
           "the suit, then press the region of the rank and release:\n"
           "                left   middle  right\n"
           "      top        5      9       A\n"
           "                 6     10       2\n"
           "                 7      J       3\n"
           "      bottom     8      Q       4\n"
           "A press in the middle column released on the right third gives a King.\n"
           "A tap released on the left two thirds while not armed shows a random card.\n"
           "\n"
           "Closing the window (or Ctrl+Q or Ctrl+W) ends the app. Without a display, use zentrick-sim.\n";
}

} // namespace zt::desktop
