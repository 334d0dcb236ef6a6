// A game controller's motion sensor as the phone's tilt, in the phone's
// acceleration (zt/host/tilt.h).
#pragma once

#include "zt/host/tilt.h"

namespace zt::desktop {

// A game controller's accelerometer (SDL's axes for a controller held in
// front of you: X right, Y up, Z towards you) read as the phone lying in the
// hands face up: the controller's far edge is the top of the screen.
host::Acceleration controller_to_phone(float x, float y, float z);

} // namespace zt::desktop
