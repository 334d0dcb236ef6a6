// The desktop host's command line.
#pragma once

#include <string>

namespace zt::desktop {

// Where the phone's tilt comes from.
enum class AccelSource {
    Auto,       // the first that works: IIO sensor, controller, keyboard
    Iio,        // a Linux industrial-I/O accelerometer (laptops, tablets, phones)
    Controller, // a game controller's accelerometer through SDL
    Keys,       // arrow keys tilt, F flips face down and up
    None,       // no "ACC0:" device at all
};

struct Options {
    double scale = 0; // window pixels per phone pixel; 0: fit the display
    AccelSource accel = AccelSource::Auto;
    bool rehearse = false;
    unsigned traceChannels = 0; // zt::trace channels to print on stderr
};

enum class ParseResult {
    Run,   // options are in place
    Help,  // --help: print usage, exit 0
    Error, // `error` says why: print it and usage, exit 2
};

ParseResult parse_options(int argc, const char* const* argv, Options& options, std::string& error);

// The text of --help, ending in a newline.
std::string usage();

} // namespace zt::desktop
