#include "rehearsal_status.h"

namespace zt::web {

std::vector<std::string> rehearsal_lines(const TiltSource& tilt, const PageStatus& page) {
    std::vector<std::string> lines{tilt.status()};
    if (tilt.has_device())
        lines.push_back(tilt.posture() + (tilt.axes() == AxesSign::Flipped ? "  AXES FLIPPED" : ""));
    std::string screen;
    switch (page.wakeLock) {
    case WakeLockState::Unknown:
        break;
    case WakeLockState::Held:
        screen = "SCREEN KEPT ON  ";
        break;
    case WakeLockState::Refused:
    case WakeLockState::Missing:
    case WakeLockState::Released:
        screen = "SCREEN MAY SLEEP  ";
        break;
    }
    lines.push_back(screen + (page.installed ? "INSTALLED" : "IN BROWSER"));
    return lines;
}

} // namespace zt::web
