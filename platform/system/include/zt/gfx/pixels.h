// Filling areas and copying runs of pixels at memset/memcpy speed (a run of
// one pixel is fill_pixels, in surface.h): the drawing primitives and the
// framework's elements spend most of a frame here.
#pragma once

#include "zt/gfx/surface.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zt::gfx {

// Fills the rows [top, bottom) of `surface` between columns [left, right);
// the caller has clipped the rectangle to the surface. Whole rows are one
// contiguous run.
inline void fill_area(Surface& surface, int left, int top, int right, int bottom, std::uint32_t pixel) {
    if (left >= right || top >= bottom)
        return;
    surface.note_write({left, top, right, bottom});
    if (left == 0 && right == surface.width()) {
        fill_pixels(surface.written_row(top), static_cast<std::size_t>(bottom - top) * static_cast<std::size_t>(right),
                    pixel);
        return;
    }
    for (int y = top; y < bottom; ++y)
        fill_pixels(surface.written_row(y) + left, static_cast<std::size_t>(right - left), pixel);
}

} // namespace zt::gfx
