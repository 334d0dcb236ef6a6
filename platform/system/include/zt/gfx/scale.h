// Resampling of whole surfaces.
#pragma once

#include "zt/gfx/surface.h"

namespace zt::gfx {

// Scales all of `source` onto all of `dest`, which is already sized. Bilinear
// when enlarging; when shrinking the filter widens with the ratio so that
// every source pixel counts (no aliasing). Alpha is filtered premultiplied,
// so transparent pixels do not darken the edges of what is opaque.
void scale_bilinear(const Surface& source, Surface& dest);

// The same with nearest-neighbour sampling: each destination pixel takes the
// source pixel under its centre.
void scale_nearest(const Surface& source, Surface& dest);

} // namespace zt::gfx
