// SDL's window events in the phone's terms (zt/host/input.h): the left mouse
// button or a finger on a touch screen is a pointer, the arrows and F are
// the tilt keys, window focus is activation, closing the window (its close
// button, Ctrl+Q, Ctrl+W, SIGINT/SIGTERM) is closing the phone's window.
// Translation only: the phone decides what each one does.
#pragma once

#include "zt/host/input.h"

#include <SDL.h>

namespace zt::desktop {

// Hands `input` what `event` is to the phone, for a window of `windowWidth`
// x `windowHeight` in the coordinates SDL reports mouse positions in.
// Returns false when the event is none of the phone's.
bool translate(const SDL_Event& event, int windowWidth, int windowHeight, host::Input& input);

} // namespace zt::desktop
