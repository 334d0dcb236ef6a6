// Filling areas and copying runs of pixels at memset/memcpy speed (a run of
// one pixel is fill_pixels, in surface.h): the drawing primitives, the
// framework's elements and the hosts' screens spend most of a frame here.
#pragma once

#include "zt/gfx/surface.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zt::gfx {

// Copies `count` pixels from `in` to `out` (runs that do not overlap) 64
// bytes a step, inline: never a call to memcpy.
inline void copy_pixels_inline(std::uint32_t* out, const std::uint32_t* in, std::size_t count) {
    constexpr std::size_t kStep = 16;
    std::size_t i = 0;
    for (; i + kStep <= count; i += kStep) {
#if defined(__has_builtin) && __has_builtin(__builtin_memcpy_inline)
        __builtin_memcpy_inline(out + i, in + i, kStep * sizeof(std::uint32_t));
#else
        std::memcpy(out + i, in + i, kStep * sizeof(std::uint32_t));
#endif
    }
    for (; i < count; ++i)
        out[i] = in[i];
}

// Copies `count` pixels from `in` to `out`, runs that do not overlap. The
// page's C library hands every memcpy of 512 bytes or more to the browser:
// a call out of the program for each row of a picture, a thousand in a
// reveal. There, runs up to a few rows long are copied inline, and only
// longer ones go out.
inline void copy_pixels(std::uint32_t* out, const std::uint32_t* in, std::size_t count) {
#if defined(__EMSCRIPTEN__)
    constexpr std::size_t kInlineCopy = 4096;
    if (count <= kInlineCopy) {
        copy_pixels_inline(out, in, count);
        return;
    }
#endif
    if (count != 0)
        std::memcpy(out, in, count * sizeof(std::uint32_t));
}

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
