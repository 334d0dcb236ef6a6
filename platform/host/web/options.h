// The page's options, read from its URL query: "?rehearse&accel=keys&flip=xy&trace=msg".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zt::web {

// Where the tilt comes from. Auto takes the keyboard until the first motion
// sample arrives and the phone's sensor from then on.
enum class AccelMode { Auto, Motion, Keys, None };

struct Options {
    bool rehearse = false;
    AccelMode accel = AccelMode::Auto;
    // Negates an axis of the motion sensor's readings, for a browser that
    // reports it the other way round.
    bool flipX = false;
    bool flipY = false;
    bool flipZ = false;
    // Trace channels written to the browser's console ("trace=shell,msg").
    unsigned traceChannels = 0;
};

// Reads a query string, with or without its leading '?'. Names and values
// are percent-decoded; a parameter that is unknown or has a bad value adds
// one line to `problems` and leaves the options as they were.
Options parse_query(std::string_view query, std::vector<std::string>& problems);

} // namespace zt::web
