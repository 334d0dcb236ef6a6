// The stretching blit behind StretchBlt and the whole-surface scalers.
#pragma once

#include "zt/gfx/surface.h"
#include "zt/platform.h"

namespace zt::gfx {

enum class Filter {
    Nearest,  // the source pixel under each destination pixel's centre
    Bilinear, // bilinear when enlarging, widened with the ratio when shrinking
};

struct Area {
    int x, y, width, height; // a negative width or height mirrors
};

// Maps `from` of `source` onto `to` of `dest`. Only destination pixels inside
// `clip` whose centres fall on the source surface inside `from` are written;
// everything else is left as it was. Nearest copies pixels exactly (alpha
// included); bilinear filters with premultiplied alpha. `opaque` makes every
// written pixel opaque (for surfaces shown on a display).
void stretch(const Surface& source, Area from, Surface& dest, Area to, const RECT& clip, Filter filter,
             bool opaque = false);

} // namespace zt::gfx
