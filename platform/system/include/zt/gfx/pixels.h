// Filling and copying runs of pixels at memset/memcpy speed: the drawing
// primitives and the framework's elements spend most of a frame here.
#pragma once

#include "zt/gfx/surface.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zt::gfx {

// Sets `count` pixels to `pixel`. A pixel whose four bytes are equal (white,
// black, transparent) is a memset; any other fills a short head and doubles
// it with memcpy, which the C library does with wide stores either way,
// where a plain loop would store one pixel at a time.
inline void fill_pixels(std::uint32_t* out, std::size_t count, std::uint32_t pixel) {
    const std::uint32_t byte = pixel & 0xFFu;
    if (pixel == byte * 0x01010101u) {
        std::memset(out, static_cast<int>(byte), count * sizeof(std::uint32_t));
        return;
    }
    constexpr std::size_t kHead = 16;
    std::size_t done = count < kHead ? count : kHead;
    for (std::size_t i = 0; i < done; ++i)
        out[i] = pixel;
    while (done < count) {
        const std::size_t step = done < count - done ? done : count - done;
        std::memcpy(out + done, out, step * sizeof(std::uint32_t));
        done += step;
    }
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
