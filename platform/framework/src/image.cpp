// Image preparation, the image cache and the element blits.
#include "image.h"

#include "zt/gfx/pixels.h"
#include "zt/gfx/png.h"
#include "zt/gfx/scale.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace zt::fw {

namespace {

using ImageCache = sys::Guarded<std::map<std::tuple<HINSTANCE, UINT, UINT>, std::shared_ptr<Image>>>;

ImageCache& cache() {
    // Never destroyed: pictures of static objects may load until the end.
    static ImageCache* const instance = new ImageCache();
    return *instance;
}

// x / 255 rounded, exact for 0 .. 255 * 255.
constexpr std::uint32_t div255(std::uint32_t x) {
    return (x + 128 + ((x + 128) >> 8)) >> 8;
}

std::shared_ptr<Image> decode_resource(HINSTANCE instance, UINT type, UINT id) {
    if (id == 0 || id > 0xFFFF || type == 0 || type > 0xFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
    if (resource == nullptr)
        return nullptr;
    HGLOBAL loaded = LoadResource(instance, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(instance, resource);
    if (data == nullptr || size == 0)
        return nullptr;
    auto pixels = gfx::decode_png(data, size);
    if (!pixels || pixels->empty()) {
        SetLastError(kErrorBadFormat);
        return nullptr;
    }
    return std::make_shared<Image>(prepare(std::move(*pixels)));
}

// Copies `count` pixels with full alpha. Written four at a time over rows
// that never overlap, so that the compiler turns each group into one vector
// operation and the copy runs at about memcpy's speed.
void set_opaque(std::uint32_t* __restrict d, const std::uint32_t* __restrict s, int count) {
    constexpr std::uint32_t kAlpha = 0xFF000000u;
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        d[i] = s[i] | kAlpha;
        d[i + 1] = s[i + 1] | kAlpha;
        d[i + 2] = s[i + 2] | kAlpha;
        d[i + 3] = s[i + 3] | kAlpha;
    }
    for (; i < count; ++i)
        d[i] = s[i] | kAlpha;
}

} // namespace

Prepared prepare(gfx::Surface pixels) {
    Prepared out;
    out.rowStart.reserve(static_cast<std::size_t>(pixels.height()) + 1);
    for (int y = 0; y < pixels.height(); ++y) {
        out.rowStart.push_back(static_cast<std::uint32_t>(out.spans.size()));
        const std::uint32_t* row = pixels.row(y);
        int x = 0;
        while (x < pixels.width()) {
            const std::uint32_t alpha = row[x] >> 24;
            if (alpha == 0) {
                out.opaque = false;
                ++x;
                continue;
            }
            const bool blend = alpha != 0xFF;
            const int start = x;
            while (x < pixels.width()) {
                const std::uint32_t a = row[x] >> 24;
                if (a == 0 || (a != 0xFF) != blend)
                    break;
                ++x;
            }
            if (blend)
                out.opaque = false;
            out.spans.push_back(Span{start, x - start, blend});
        }
    }
    out.rowStart.push_back(static_cast<std::uint32_t>(out.spans.size()));
    out.pixels = std::move(pixels);
    return out;
}

std::shared_ptr<const Prepared> Image::at_size(int width, int height) {
    if (width == this->width() && height == this->height()) {
        // The original itself, keeping its image alive.
        return std::shared_ptr<const Prepared>(shared_from_this(), &original);
    }
    auto scaledSizes = m_scaled.lock();
    auto& kept = *scaledSizes;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const auto& p = kept[i];
        if (p->pixels.width() == width && p->pixels.height() == height) {
            std::rotate(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(i),
                        kept.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            return kept.front();
        }
    }
    gfx::Surface scaled(width, height, 0);
    gfx::scale_bilinear(original.pixels, scaled);
    auto prepared = std::make_shared<const Prepared>(prepare(std::move(scaled)));
    kept.insert(kept.begin(), prepared);
    if (kept.size() > kKeptSizes)
        kept.pop_back();
    return prepared;
}

std::shared_ptr<Image> load_image(HINSTANCE instance, UINT type, UINT id, bool useCache) {
    if (!useCache)
        return decode_resource(instance, type, id);
    ImageCache& c = cache();
    const auto key = std::make_tuple(instance == nullptr ? GetModuleHandleW(nullptr) : instance, type, id);
    auto known = c.with([&](auto& images) -> std::shared_ptr<Image> {
        auto it = images.find(key);
        return it != images.end() ? it->second : nullptr;
    });
    if (known)
        return known;
    auto image = decode_resource(instance, type, id);
    if (!image)
        return nullptr;
    // Two threads may decode at once; the first one kept wins.
    return c.with([&](auto& images) { return images.emplace(key, std::move(image)).first->second; });
}

bool clip_to(const gfx::Surface& dst, const RECT& clip, std::int64_t left, std::int64_t top, std::int64_t right,
             std::int64_t bottom, RECT& out) {
    left = std::max<std::int64_t>({left, clip.left, 0});
    top = std::max<std::int64_t>({top, clip.top, 0});
    right = std::min<std::int64_t>({right, clip.right, dst.width()});
    bottom = std::min<std::int64_t>({bottom, clip.bottom, dst.height()});
    if (left >= right || top >= bottom)
        return false;
    out = RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
    return true;
}

std::uint32_t over(std::uint32_t s, std::uint32_t d) {
    const std::uint32_t a = s >> 24;
    if (a == 0xFF)
        return s;
    if (a == 0)
        return d;
    const std::uint32_t ia = 0xFF - a;
    const auto channel = [&](int shift) {
        return div255(((s >> shift) & 0xFF) * a + ((d >> shift) & 0xFF) * ia) << shift;
    };
    const std::uint32_t outAlpha = a + div255((d >> 24) * ia);
    return (outAlpha << 24) | channel(16) | channel(8) | channel(0);
}

void draw(const Prepared& image, int x, int y, gfx::Surface& dst, const RECT& clip) {
    const gfx::Surface& src = image.pixels;
    RECT r;
    if (!clip_to(dst, clip, x, y, static_cast<std::int64_t>(x) + src.width(),
                 static_cast<std::int64_t>(y) + src.height(), r))
        return;
    const int sx0 = r.left - x;
    const int sx1 = r.right - x;
    dst.note_write({r.left, r.top, r.right, r.bottom});
    for (int row = r.top; row < r.bottom; ++row) {
        const int sy = row - y;
        // Both point at the first column painted, source column sx0.
        const std::uint32_t* s = src.row(sy) + sx0;
        std::uint32_t* d = dst.written_row(row) + r.left;
        const Span* span = image.spans.data() + image.rowStart[static_cast<std::size_t>(sy)];
        const Span* end = image.spans.data() + image.rowStart[static_cast<std::size_t>(sy) + 1];
        for (; span != end && span->x < sx1; ++span) {
            const int a = std::max(span->x, sx0);
            const int b = std::min(span->x + span->length, sx1);
            if (a >= b)
                continue;
            if (!span->blend) {
                gfx::copy_pixels(d + (a - sx0), s + (a - sx0), static_cast<std::size_t>(b - a));
            } else {
                for (int i = a - sx0; i < b - sx0; ++i)
                    d[i] = over(s[i], d[i]);
            }
        }
    }
}

void copy(const gfx::Surface& src, int x, int y, gfx::Surface& dst, const RECT& clip, bool makeOpaque) {
    RECT r;
    if (!clip_to(dst, clip, x, y, static_cast<std::int64_t>(x) + src.width(),
                 static_cast<std::int64_t>(y) + src.height(), r))
        return;
    const int width = r.right - r.left;
    dst.note_write({r.left, r.top, r.right, r.bottom});
    for (int row = r.top; row < r.bottom; ++row) {
        const std::uint32_t* s = src.row(row - y) + (r.left - x);
        std::uint32_t* d = dst.written_row(row) + r.left;
        if (!makeOpaque) {
            gfx::copy_pixels(d, s, static_cast<std::size_t>(width));
        } else {
            set_opaque(d, s, width);
        }
    }
}

} // namespace zt::fw
