// A 32-bit pixel surface: the backing store of windows, memory DCs, bitmaps
// and decoded images. Pixels are 0xAARRGGBB in native byte order, rows top
// to bottom with no padding. Window surfaces are opaque (alpha 0xFF).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zt::gfx {

constexpr std::uint32_t kOpaqueBlack = 0xFF000000u;

// 0x00BBGGRR (COLORREF) to an opaque 0xAARRGGBB pixel.
constexpr std::uint32_t pixel_from_colorref(std::uint32_t c) {
    return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

class Surface {
public:
    Surface() = default;
    Surface(int width, int height, std::uint32_t fill = kOpaqueBlack) { resize(width, height, fill); }

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool empty() const { return m_width == 0 || m_height == 0; }

    std::uint32_t* data() { return m_pixels.data(); }
    const std::uint32_t* data() const { return m_pixels.data(); }
    std::uint32_t* row(int y) { return m_pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width); }
    const std::uint32_t* row(int y) const {
        return m_pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width);
    }
    std::uint32_t at(int x, int y) const { return row(y)[x]; }
    void set(int x, int y, std::uint32_t pixel) { row(y)[x] = pixel; }

    // Negative sizes count as 0. Contents are reset to `fill`.
    void resize(int width, int height, std::uint32_t fill = kOpaqueBlack) {
        m_width = std::max(width, 0);
        m_height = std::max(height, 0);
        m_pixels.assign(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), fill);
    }
    void fill(std::uint32_t pixel) { std::fill(m_pixels.begin(), m_pixels.end(), pixel); }

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint32_t> m_pixels;
};

} // namespace zt::gfx
