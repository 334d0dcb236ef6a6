// Helpers for drawing tests: a memory DC over a bitmap of a given size, with
// its pixels at hand.
#pragma once

#include "zt/gfx/gdi.h"
#include "zt/gfx/surface.h"
#include "zt/platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

namespace gditest {

constexpr std::uint32_t kSentinelError = 0xBADC0DEu;

// A memory DC with its own bitmap selected, freed at the end of the test.
class Canvas {
  public:
    Canvas(int width, int height, std::uint32_t fill = 0xFF000000u)
        : m_surface(std::make_shared<zt::gfx::Surface>(width, height, fill)) {
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = zt::gfx::create_bitmap(m_surface);
        m_previous = SelectObject(m_dc, m_bitmap);
    }
    ~Canvas() {
        SelectObject(m_dc, m_previous);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return m_dc; }
    HBITMAP bitmap() const { return m_bitmap; }
    zt::gfx::Surface& pixels() { return *m_surface; }
    std::uint32_t at(int x, int y) const { return m_surface->at(x, y); }

  private:
    std::shared_ptr<zt::gfx::Surface> m_surface;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
};

// The smallest rectangle around the pixels that satisfy `pick`; empty (all
// zero) when there are none.
inline RECT bounds_of(const zt::gfx::Surface& s, const std::function<bool(std::uint32_t)>& pick) {
    RECT r{s.width(), s.height(), 0, 0};
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (pick(s.at(x, y))) {
                r.left = std::min<LONG>(r.left, x);
                r.top = std::min<LONG>(r.top, y);
                r.right = std::max<LONG>(r.right, x + 1);
                r.bottom = std::max<LONG>(r.bottom, y + 1);
            }
    return r.right == 0 ? RECT{0, 0, 0, 0} : r;
}

inline int count_of(const zt::gfx::Surface& s, const std::function<bool(std::uint32_t)>& pick) {
    int n = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            n += pick(s.at(x, y)) ? 1 : 0;
    return n;
}

// Fills `r` with a solid colour through FillRect.
inline void fill(HDC dc, RECT r, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

} // namespace gditest
