// Filling and copying pixels: FillRect, BitBlt, StretchBlt. Every call clips
// to its target (the surface, and a BeginPaint DC's update rectangle).
#include "api.h"
#include "zt/gfx/gdi_objects.h"
#include "zt/gfx/pixels.h"
#include "zt/gfx/resample.h"
#include "zt/platform.h"
#include "zt/sys/trace.h"

#include <algorithm>
#include <cstring>

using zt::sys::fail;

using zt::gfx::DeviceContext;
using zt::gfx::find_object;
using zt::gfx::Target;
using zt::trace::handle;
using zt::trace::kGdi;

namespace {

// A rectangle from a position and a size, without overflowing; sizes are
// not negative here.
RECT rect_of(int x, int y, int width, int height) {
    auto end = [](int start, int size) {
        return static_cast<LONG>(std::min<long long>(static_cast<long long>(start) + size, INT32_MAX));
    };
    return RECT{x, y, end(x, width), end(y, height)};
}

// The target of a DC, or the reason there is none (last error set).
bool resolve(HDC dc, std::shared_ptr<DeviceContext>& context, Target& target) {
    context = find_object<DeviceContext>(dc);
    if (!context)
        return fail(ERROR_INVALID_HANDLE, false);
    target = zt::gfx::target_of(*context);
    if (!target.surface) {
        return fail(ERROR_INVALID_WINDOW_HANDLE, false); // its window is gone
    }
    return true;
}

} // namespace

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    std::shared_ptr<DeviceContext> context;
    Target target;
    int result = 0;
    auto fill = find_object<zt::gfx::Brush>(brush);
    if (!resolve(dc, context, target)) {
        // last error set
    } else if (rect == nullptr) {
        result = fail(ERROR_INVALID_PARAMETER, 0);
    } else if (!fill) {
        result = fail(ERROR_INVALID_HANDLE, 0);
    } else {
        const RECT area = zt::gfx::intersect(*rect, target.clip);
        const std::uint32_t pixel = zt::gfx::pixel_from_colorref(fill->color());
        zt::gfx::fill_area(*target.surface, area.left, area.top, area.right, area.bottom, pixel);
        result = 1;
    }
    ZT_TRACE(kGdi, "FillRect(%s,%s,%s) = %d", handle(dc).c_str(), zt::trace::rect(rect).c_str(), handle(brush).c_str(),
             result);
    return result;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
    std::shared_ptr<DeviceContext> destContext, sourceContext;
    Target to, from;
    BOOL result = FALSE;
    if (!resolve(dest, destContext, to) || !resolve(source, sourceContext, from)) {
        // last error set
    } else if (rop != SRCCOPY || width < 0 || height < 0) {
        result = fail(ERROR_INVALID_PARAMETER, FALSE);
    } else {
        // What the destination allows, then what the source has, in
        // destination coordinates.
        RECT area = zt::gfx::intersect(rect_of(x, y, width, height), to.clip);
        const long long dx = static_cast<long long>(sourceX) - x;
        const long long dy = static_cast<long long>(sourceY) - y;
        auto clamp = [](long long v) { return static_cast<LONG>(std::clamp<long long>(v, INT32_MIN, INT32_MAX)); };
        area = zt::gfx::intersect(
            area, RECT{clamp(-dx), clamp(-dy), clamp(from.surface->width() - dx), clamp(from.surface->height() - dy)});
        if (!zt::gfx::is_empty(area)) {
            const auto count = static_cast<std::size_t>(area.right - area.left);
            const std::uint32_t alpha = to.opaque ? 0xFF000000u : 0;
            // Overlapping copies within one surface go against the motion.
            const bool within = to.surface == from.surface;
            const bool bottomUp = within && dy < 0;
            to.surface->note_write({area.left, area.top, area.right, area.bottom});
            const zt::gfx::Surface& read = *from.surface;
            for (LONG i = 0; i < area.bottom - area.top; ++i) {
                const LONG row = bottomUp ? area.bottom - 1 - i : area.top + i;
                std::uint32_t* out = to.surface->written_row(row) + area.left;
                const std::uint32_t* in =
                    read.row(static_cast<int>(row + dy)) + static_cast<std::ptrdiff_t>(area.left + dx);
                if (within)
                    std::memmove(out, in, count * sizeof(std::uint32_t));
                else
                    zt::gfx::copy_pixels(out, in, count);
                if (alpha != 0)
                    for (std::size_t k = 0; k < count; ++k)
                        out[k] |= alpha;
            }
        }
        result = TRUE;
    }
    ZT_TRACE(kGdi, "BitBlt(%s,%d,%d,%d,%d,%s,%d,%d,%#x) = %d", handle(dest).c_str(), x, y, width, height,
             handle(source).c_str(), sourceX, sourceY, rop, result);
    return result;
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, DWORD rop) {
    std::shared_ptr<DeviceContext> destContext, sourceContext;
    Target to, from;
    BOOL result = FALSE;
    if (!resolve(dest, destContext, to) || !resolve(source, sourceContext, from)) {
        // last error set
    } else if (rop != SRCCOPY) {
        result = fail(ERROR_INVALID_PARAMETER, FALSE);
    } else {
        // Negative sizes mirror, as in Win32.
        const auto filter = destContext->stretchMode == HALFTONE ? zt::gfx::Filter::Bilinear : zt::gfx::Filter::Nearest;
        // Reading and writing one surface: read from a copy.
        const auto copy = to.surface == from.surface ? std::make_shared<zt::gfx::Surface>(*from.surface) : nullptr;
        zt::gfx::stretch(copy ? *copy : *from.surface, {sourceX, sourceY, sourceWidth, sourceHeight}, *to.surface,
                         {x, y, width, height}, to.clip, filter, to.opaque);
        result = TRUE;
    }
    ZT_TRACE(kGdi, "StretchBlt(%s,%d,%d,%d,%d,%s,%d,%d,%d,%d,%#x) = %d", handle(dest).c_str(), x, y, width, height,
             handle(source).c_str(), sourceX, sourceY, sourceWidth, sourceHeight, rop, result);
    return result;
}
