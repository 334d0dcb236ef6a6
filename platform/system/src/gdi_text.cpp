// Text: DrawTextW lays out one line with the DC's font and blends the glyphs'
// anti-aliased coverage in the text colour over what is there.
#include "api.h"
#include "zt/gfx/gdi_objects.h"
#include "zt/gfx/pixels.h"
#include "zt/platform.h"
#include "zt/sys/kernel.h"
#include "zt/sys/trace.h"

#include <algorithm>

using zt::sys::fail;

using zt::gfx::DeviceContext;
using zt::trace::kGdi;

namespace {

constexpr UINT DT_NOCLIP = 0x0100;

// `color` (0x00RRGGBB) over `under` with coverage `cover` (1..255).
std::uint32_t blend(std::uint32_t under, std::uint32_t color, std::uint32_t cover) {
    if (cover == 255)
        return 0xFF000000u | color;
    const std::uint32_t rest = 255 - cover;
    const std::uint32_t underAlpha = under >> 24;
    if (underAlpha == 255) {
        auto mix = [&](int shift) {
            const std::uint32_t c = (color >> shift) & 0xFF, u = (under >> shift) & 0xFF;
            return ((c * cover + u * rest + 127) / 255) << shift;
        };
        return 0xFF000000u | mix(16) | mix(8) | mix(0);
    }
    // Over a partly transparent ground: the ground counts by its own alpha.
    const std::uint32_t alpha = cover + (underAlpha * rest + 127) / 255;
    if (alpha == 0)
        return under;
    auto mix = [&](int shift) {
        const std::uint32_t c = (color >> shift) & 0xFF, u = (under >> shift) & 0xFF;
        return ((c * cover * 255 + u * underAlpha * rest + alpha * 255 / 2) / (alpha * 255)) << shift;
    };
    return (alpha << 24) | mix(16) | mix(8) | mix(0);
}

void draw_glyph(zt::gfx::Surface& surface, const RECT& clip, const zt::gfx::Glyph& glyph, int x, int y,
                std::uint32_t color) {
    const RECT area = zt::gfx::intersect(RECT{x, y, x + glyph.width, y + glyph.height}, clip);
    if (zt::gfx::is_empty(area))
        return;
    surface.note_write({area.left, area.top, area.right, area.bottom});
    for (LONG row = area.top; row < area.bottom; ++row) {
        const std::uint8_t* cover = glyph.coverage.data() + static_cast<std::size_t>(row - y) * glyph.width;
        std::uint32_t* out = surface.written_row(row);
        for (LONG col = area.left; col < area.right; ++col) {
            const std::uint32_t c = cover[col - x];
            if (c != 0)
                out[col] = blend(out[col], color, c);
        }
    }
}

// Lays out and draws one line of text in `rect` as DrawTextW's format asks;
// returns DrawTextW's answer.
int draw_line(const DeviceContext& context, const zt::gfx::Target& target, zt::gfx::FaceSize& face,
              std::u16string_view text, const RECT& rect, UINT format) {
    // One line; the vertical placements apply to it whether or not
    // DT_SINGLELINE is given.
    thread_local zt::gfx::TextRun run;
    face.layout(text, run);
    const int cell = face.cell_height();
    const long long boxWidth = static_cast<long long>(rect.right) - rect.left;
    const long long boxHeight = static_cast<long long>(rect.bottom) - rect.top;
    long long left = rect.left;
    if (format & DT_CENTER)
        left += (boxWidth - run.width) / 2;
    else if (format & DT_RIGHT)
        left += boxWidth - run.width;
    long long top = rect.top;
    if (format & DT_BOTTOM)
        top += boxHeight - cell;
    else if (format & DT_VCENTER)
        top += (boxHeight - cell) / 2;

    const RECT clip = (format & DT_NOCLIP) ? target.clip : zt::gfx::intersect(rect, target.clip);
    if (!zt::gfx::is_empty(clip) && left > INT32_MIN / 2 && left < INT32_MAX / 2 && top > INT32_MIN / 2 &&
        top < INT32_MAX / 2) {
        const int x = static_cast<int>(left), y = static_cast<int>(top);
        if (context.bkMode == OPAQUE) {
            const RECT box = zt::gfx::intersect(RECT{x, y, x + run.width, y + cell}, clip);
            const std::uint32_t ground = zt::gfx::pixel_from_colorref(context.bkColor);
            zt::gfx::fill_area(*target.surface, box.left, box.top, box.right, box.bottom, ground);
        }
        const std::uint32_t color = zt::gfx::pixel_from_colorref(context.textColor) & 0x00FFFFFFu;
        const int baseline = y + face.ascent();
        for (const auto& placed : run.glyphs)
            if (placed.glyph->width > 0)
                draw_glyph(*target.surface, clip, *placed.glyph, x + placed.x + placed.glyph->left,
                           baseline + placed.glyph->top, color);
    }
    // Win32: the text's height, or with DT_VCENTER or DT_BOTTOM the
    // distance from the rectangle's top to the text's bottom.
    const long long bottom = (format & (DT_VCENTER | DT_BOTTOM)) ? top + cell - rect.top : cell;
    return static_cast<int>(std::clamp<long long>(bottom, INT32_MIN, INT32_MAX));
}

} // namespace

int DrawTextW(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format) {
    if (text != nullptr && length < 0) // -1 (or any negative count): up to the NUL
        length = static_cast<int>(std::min<std::size_t>(zt::sys::wide_length(text), INT32_MAX));
    auto context = zt::gfx::find_object<DeviceContext>(dc);
    zt::gfx::Target target;
    std::shared_ptr<zt::gfx::FaceSize> face;
    int result = 0;
    if (!context) {
        result = fail(ERROR_INVALID_HANDLE, 0);
    } else if (text == nullptr || rect == nullptr) {
        result = fail(ERROR_INVALID_PARAMETER, 0);
    } else if (target = zt::gfx::target_of(*context); !target.surface) {
        result = fail(ERROR_INVALID_WINDOW_HANDLE, 0);
    } else if (length == 0) {
        // nothing to draw
    } else if (face = context->font->face(); !face) {
        result = fail(ERROR_FILE_NOT_FOUND, 0); // no font file could be loaded
    } else {
        result = draw_line(*context, target, *face, std::u16string_view(text, static_cast<std::size_t>(length)), *rect,
                           format);
    }
    ZT_TRACE(kGdi, "DrawTextW(%s,%s,%d,%s,%#x) = %d", zt::trace::handle(dc).c_str(),
             zt::trace::quote(text, length).c_str(), length, zt::trace::rect(rect).c_str(), format, result);
    return result;
}
