#include "rehearsal_status.h"

namespace zt::web {

std::vector<std::string> rehearsal_lines(const TiltSource& tilt, const std::optional<drivers::RawReading>& reading,
                                         const PageStatus& page) {
    std::vector<std::string> lines{tilt.status()};
    if (reading)
        lines.push_back(posture(*reading));
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
    // On top, so that the lines below keep their places with or without it.
    if (const std::string sign = tilt.sign_words(); !sign.empty())
        lines.push_back(sign);
    return lines;
}

} // namespace zt::web
