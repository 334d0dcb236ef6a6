// Decoded images ready for fast painting, the process's image cache, and the
// blits the elements paint with.
#pragma once

#include "framework_internal.h"
#include "zt/gfx/surface.h"
#include "zt/sys/guarded.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace zt::fw {

// A run of pixels in one row that are all opaque (copied as they are) or all
// partly transparent (blended). Fully transparent pixels belong to no run.
struct Span {
    int x;
    int length;
    bool blend;
};

// Pixels with their runs, worked out once so that painting copies rows
// wherever the image is opaque and blends only where it is not.
struct Prepared {
    gfx::Surface pixels;
    std::vector<Span> spans;
    // Row y's runs are spans[rowStart[y] .. rowStart[y + 1]).
    std::vector<std::uint32_t> rowStart;
    bool opaque = true; // every pixel opaque
};

Prepared prepare(gfx::Surface pixels);

// One decoded image and its scaled copies, shared by everything showing it.
struct Image : std::enable_shared_from_this<Image> {
    explicit Image(Prepared prepared) : original(std::move(prepared)) {}
    int width() const { return original.pixels.width(); }
    int height() const { return original.pixels.height(); }
    // The image at `width` x `height`: itself when that is its own size,
    // otherwise scaled (bilinear) on first request and kept. The image must
    // be owned by a shared_ptr.
    std::shared_ptr<const Prepared> at_size(int width, int height);

    const Prepared original;

  private:
    static constexpr std::size_t kKeptSizes = 4;
    sys::Guarded<std::vector<std::shared_ptr<const Prepared>>> m_scaled; // most recent first
};

// Finds, reads and decodes a PNG resource. With `useCache` the decoded image
// is shared process-wide. Null with the last error set on failure.
std::shared_ptr<Image> load_image(HINSTANCE instance, UINT type, UINT id, bool useCache);

// `rect` clipped to `clip` and to the surface; false when nothing is left.
bool clip_to(const gfx::Surface& dst, const RECT& clip, std::int64_t left, std::int64_t top, std::int64_t right,
             std::int64_t bottom, RECT& out);

// Paints `image` with its top-left corner at (x, y), inside `clip`.
void draw(const Prepared& image, int x, int y, gfx::Surface& dst, const RECT& clip);
// Copies `src` with its top-left corner at (x, y), inside `clip`, pixels as
// they are or, with `makeOpaque`, with full alpha (displays have none).
void copy(const gfx::Surface& src, int x, int y, gfx::Surface& dst, const RECT& clip, bool makeOpaque = false);
// `s` over `d`, straight (not premultiplied) alpha.
std::uint32_t over(std::uint32_t s, std::uint32_t d);

} // namespace zt::fw
