// Stretching: a separable resampler (one pass across, one down) with weight
// tables worked out once per call, so the inner loops only multiply and add.
#include "zt/gfx/resample.h"
#include "zt/gfx/scale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace zt::gfx {

namespace {

// Which source pixels, with which weights, make each destination pixel of
// one axis. Destination indices [first, last) are written.
struct Axis {
    int first = 0;
    int last = 0;
    std::vector<int> start; // first source index, per destination index - first
    std::vector<int> count; // how many source indices from there
    std::vector<float> weights;
    int taps = 0; // stride of `weights`
};

// One destination pixel's tent weights around the source position `u`,
// normalised to add up to 1: written to `w`, for the `count` source pixels
// from `start`.
void tent_weights(double u, double support, int lo, int hi, float* w, int& start, int& count) {
    const int fromIndex = std::max(static_cast<int>(std::floor(u - support)), lo);
    const int toIndex = std::min(static_cast<int>(std::ceil(u + support)), hi - 1);
    double total = 0;
    int begin = -1, end = -1;
    for (int s = fromIndex; s <= toIndex; ++s) {
        const double weight = 1.0 - std::abs(static_cast<double>(s) + 0.5 - u) / support;
        if (weight <= 0)
            continue;
        if (begin < 0)
            begin = s;
        end = s + 1;
        w[s - begin] = static_cast<float>(weight);
        total += weight;
    }
    if (begin < 0) { // cannot happen for a centre inside the source; stay safe
        begin = std::clamp(static_cast<int>(std::floor(u)), lo, hi - 1);
        end = begin + 1;
        w[0] = 1.0f;
        total = 1.0;
    }
    start = begin;
    count = end - begin;
    for (int k = 0; k < end - begin; ++k)
        w[k] = static_cast<float>(w[k] / total);
}

bool build_axis(int sourceSize, long long from, long long fromLength, long long to, long long toLength, int clipLo,
                int clipHi, Filter filter, Axis& axis) {
    if (fromLength == 0 || toLength == 0)
        return false;
    // Source pixels that may be read: inside both the area and the surface.
    const long long sourceLo = std::max(std::min(from, from + fromLength), 0LL);
    const long long sourceHi = std::min(std::max(from, from + fromLength), static_cast<long long>(sourceSize));
    if (sourceHi <= sourceLo)
        return false;
    long long first = std::max(std::min(to, to + toLength), static_cast<long long>(clipLo));
    long long last = std::min(std::max(to, to + toLength), static_cast<long long>(clipHi));
    const double ratio = static_cast<double>(fromLength) / static_cast<double>(toLength);
    auto centre = [&](long long d) { return static_cast<double>(from) + (static_cast<double>(d - to) + 0.5) * ratio; };
    auto inside = [&](long long d) {
        const double u = centre(d);
        return u >= static_cast<double>(sourceLo) && u < static_cast<double>(sourceHi);
    };
    // The centres move monotonically, so the pixels that map inside the
    // source form one run.
    while (first < last && !inside(first))
        ++first;
    while (last > first && !inside(last - 1))
        --last;
    if (last <= first)
        return false;

    axis.first = static_cast<int>(first);
    axis.last = static_cast<int>(last);
    const auto n = static_cast<std::size_t>(last - first);
    axis.start.assign(n, 0);
    axis.count.assign(n, 1);
    const auto lo = static_cast<int>(sourceLo);
    const auto hi = static_cast<int>(sourceHi);

    if (filter == Filter::Nearest) {
        axis.taps = 1;
        axis.weights.assign(n, 1.0f);
        for (std::size_t i = 0; i < n; ++i)
            axis.start[i] =
                std::clamp(static_cast<int>(std::floor(centre(first + static_cast<long long>(i)))), lo, hi - 1);
        return true;
    }

    // A tent filter: one source pixel wide when enlarging (bilinear), as wide
    // as the ratio when shrinking, so that no source pixel is skipped.
    const double support = std::max(1.0, std::abs(ratio));
    axis.taps = static_cast<int>(std::ceil(2 * support)) + 2;
    axis.weights.assign(n * static_cast<std::size_t>(axis.taps), 0.0f);
    for (std::size_t i = 0; i < n; ++i) {
        float* w = &axis.weights[i * static_cast<std::size_t>(axis.taps)];
        tent_weights(centre(first + static_cast<long long>(i)), support, lo, hi, w, axis.start[i], axis.count[i]);
    }
    return true;
}

std::uint32_t pack(float a, float r, float g, float b) {
    if (a < 0.5f)
        return 0;
    const float unpremultiply = 255.0f / a;
    // Written so that the compiler can use min/max instructions, not branches.
    auto channel = [](float v) {
        v += 0.5f;
        v = v > 0.0f ? v : 0.0f;
        v = v < 255.0f ? v : 255.0f;
        return static_cast<std::uint32_t>(static_cast<int>(v));
    };
    return (channel(a) << 24) | (channel(r * unpremultiply) << 16) | (channel(g * unpremultiply) << 8) |
           channel(b * unpremultiply);
}

// The source rows (or columns) an axis's weights reach: [first, second).
std::pair<int, int> reach(const Axis& axis) {
    int lo = axis.start.front(), hi = lo;
    for (std::size_t i = 0; i < axis.start.size(); ++i) {
        lo = std::min(lo, axis.start[i]);
        hi = std::max(hi, axis.start[i] + axis.count[i]);
    }
    return {lo, hi};
}

// Across: each source row in `rows`, premultiplied, filtered to the
// destination's columns; four floats (a, r, g, b) per column.
std::vector<float> filter_across(const Surface& source, const Axis& across, std::pair<int, int> rows,
                                 std::pair<int, int> cols) {
    const int width = across.last - across.first;
    const auto stride = static_cast<std::size_t>(width) * 4;
    std::vector<float> out(static_cast<std::size_t>(rows.second - rows.first) * stride);
    std::vector<float> line(static_cast<std::size_t>(cols.second - cols.first) * 4);
    for (int y = rows.first; y < rows.second; ++y) {
        const std::uint32_t* in = source.row(y) + cols.first;
        for (int x = 0; x < cols.second - cols.first; ++x) {
            const std::uint32_t p = in[x];
            const float a = static_cast<float>(p >> 24);
            const float scale = a * (1.0f / 255.0f);
            float* l = &line[static_cast<std::size_t>(x) * 4];
            l[0] = a;
            l[1] = static_cast<float>((p >> 16) & 0xFF) * scale;
            l[2] = static_cast<float>((p >> 8) & 0xFF) * scale;
            l[3] = static_cast<float>(p & 0xFF) * scale;
        }
        float* row = &out[static_cast<std::size_t>(y - rows.first) * stride];
        for (int x = 0; x < width; ++x) {
            const float* w = &across.weights[static_cast<std::size_t>(x) * static_cast<std::size_t>(across.taps)];
            const float* l =
                &line[static_cast<std::size_t>(across.start[static_cast<std::size_t>(x)] - cols.first) * 4];
            float a = 0, r = 0, g = 0, b = 0;
            for (int k = 0; k < across.count[static_cast<std::size_t>(x)]; ++k, l += 4) {
                a += w[k] * l[0];
                r += w[k] * l[1];
                g += w[k] * l[2];
                b += w[k] * l[3];
            }
            float* o = row + static_cast<std::size_t>(x) * 4;
            o[0] = a;
            o[1] = r;
            o[2] = g;
            o[3] = b;
        }
    }
    return out;
}

// Down: each destination pixel from the same column of the filtered rows,
// the first of which is source row `firstRow`.
void filter_down(const std::vector<float>& rows, int firstRow, const Axis& across, const Axis& down, Surface& dest,
                 std::uint32_t alpha) {
    const int width = across.last - across.first;
    const auto stride = static_cast<std::size_t>(width) * 4;
    for (int y = down.first; y < down.last; ++y) {
        const auto i = static_cast<std::size_t>(y - down.first);
        const float* w = &down.weights[i * static_cast<std::size_t>(down.taps)];
        const int taps = down.count[i];
        const float* base = &rows[static_cast<std::size_t>(down.start[i] - firstRow) * stride];
        std::uint32_t* out = dest.row(y) + across.first;
        for (int x = 0; x < width; ++x) {
            const float* p = base + static_cast<std::size_t>(x) * 4;
            float a = 0, r = 0, g = 0, b = 0;
            for (int k = 0; k < taps; ++k, p += stride) {
                a += w[k] * p[0];
                r += w[k] * p[1];
                g += w[k] * p[2];
                b += w[k] * p[3];
            }
            out[x] = pack(a, r, g, b) | alpha;
        }
    }
}

void filter_bilinear(const Surface& source, Surface& dest, const Axis& across, const Axis& down, std::uint32_t alpha) {
    const auto rows = reach(down);
    const std::vector<float> filtered = filter_across(source, across, rows, reach(across));
    filter_down(filtered, rows.first, across, down, dest, alpha);
}

} // namespace

void stretch(const Surface& source, Area from, Surface& dest, Area to, const RECT& clip, Filter filter, bool opaque) {
    const std::uint32_t alpha = opaque ? 0xFF000000u : 0;
    const RECT bounds{std::max(clip.left, 0), std::max(clip.top, 0), std::min(clip.right, dest.width()),
                      std::min(clip.bottom, dest.height())};
    if (source.empty() || bounds.right <= bounds.left || bounds.bottom <= bounds.top)
        return;
    Axis across, down;
    if (!build_axis(source.width(), from.x, from.width, to.x, to.width, bounds.left, bounds.right, filter, across) ||
        !build_axis(source.height(), from.y, from.height, to.y, to.height, bounds.top, bounds.bottom, filter, down))
        return;
    if (filter == Filter::Nearest) {
        for (int y = down.first; y < down.last; ++y) {
            const std::uint32_t* in = source.row(down.start[static_cast<std::size_t>(y - down.first)]);
            std::uint32_t* out = dest.row(y);
            for (int x = across.first; x < across.last; ++x)
                out[x] = in[across.start[static_cast<std::size_t>(x - across.first)]] | alpha;
        }
        return;
    }
    filter_bilinear(source, dest, across, down, alpha);
}

void scale_bilinear(const Surface& source, Surface& dest) {
    stretch(source, {0, 0, source.width(), source.height()}, dest, {0, 0, dest.width(), dest.height()},
            RECT{0, 0, dest.width(), dest.height()}, Filter::Bilinear);
}

void scale_nearest(const Surface& source, Surface& dest) {
    stretch(source, {0, 0, source.width(), source.height()}, dest, {0, 0, dest.width(), dest.height()},
            RECT{0, 0, dest.width(), dest.height()}, Filter::Nearest);
}

} // namespace zt::gfx
