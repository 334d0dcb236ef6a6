// Where the phone's screen sits in a host's output (a desktop window, a
// page), and how a point of that output maps back to a phone pixel.
#pragma once

#include "zt/screen.h"

namespace zt::host {

struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

struct Point {
    int x = 0;
    int y = 0;
};

// The default window scale for a display whose usable area is
// `usableWidth` x `usableHeight` (screen coordinates, decorations not yet
// taken off): the largest scale that fits, lowered to a whole number when
// one is within 10% of it so that pixels stay sharp. Never below 0.25.
double fit_scale(int usableWidth, int usableHeight);

// The window size in screen coordinates for `scale`.
Rect window_size(double scale);

// The phone screen inside an output of `width` x `height`: as large as fits
// with its aspect kept, centred.
Rect viewport(int width, int height);

// True when `view` holds each phone pixel as a whole square of pixels, so
// nearest-neighbour scaling keeps edges sharp.
bool whole_scale(const Rect& view);

// The phone pixel under the window point (`x`, `y`) of a window
// `windowWidth` x `windowHeight`. Points outside the screen give pixels
// outside 0..479 x 0..719, as a press dragged off the glass would.
Point to_screen_pixel(double x, double y, int windowWidth, int windowHeight);

} // namespace zt::host
