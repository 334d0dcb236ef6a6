// The words the rehearsal overlay shows above the readings: where the tilt
// comes from, where the readings put the phone, what the browser grants the
// page, and whether the motion readings' sign is known. A performer checks
// them before a show.
#pragma once

#include "tilt_source.h"

#include <optional>
#include <string>
#include <vector>

namespace zt::web {

// The screen wake lock as the browser last answered.
enum class WakeLockState {
    Unknown,  // not answered yet
    Held,     //
    Refused,  // e.g. asked outside a tap
    Missing,  // the browser has no wake lock
    Released, // let go by the browser (the page hid, battery saver)
};

struct PageStatus {
    WakeLockState wakeLock = WakeLockState::Unknown;
    // Opened from the home screen rather than in a browser tab.
    bool installed = false;
};

// The lines, the lowest first, for the accelerometer's `reading` (none:
// there is no accelerometer) whichever source gives it.
std::vector<std::string> rehearsal_lines(const TiltSource& tilt, const std::optional<drivers::RawReading>& reading,
                                         const PageStatus& page);

} // namespace zt::web
