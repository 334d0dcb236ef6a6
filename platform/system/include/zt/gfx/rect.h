// Rectangle arithmetic for the whole platform. Right and bottom are
// exclusive; a rectangle with right <= left or bottom <= top is empty.
#pragma once

#include "zt/platform.h"

#include <algorithm>

namespace zt::gfx {

constexpr bool is_empty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// The part both cover; empty ones come out with right <= left or bottom <= top.
constexpr RECT intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

// The smallest rectangle holding both (update rectangles merge this way).
constexpr RECT unite(const RECT& a, const RECT& b) {
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

// Whether every pixel of `inner` lies in `outer`.
constexpr bool contains(const RECT& outer, const RECT& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

constexpr RECT offset(const RECT& r, LONG dx, LONG dy) {
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// A window's client rectangle from its frame (screen coordinates): the
// frame's size at the origin. Windows have no border, so the two agree.
constexpr RECT client_rect(const RECT& frame) {
    return RECT{0, 0, std::max<LONG>(frame.right - frame.left, 0), std::max<LONG>(frame.bottom - frame.top, 0)};
}

} // namespace zt::gfx
