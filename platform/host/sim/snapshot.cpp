#include "snapshot.h"

#include "zt/gfx/gdi.h"
#include "zt/gfx/png.h"
#include "zt/sys/trace.h"

#include <algorithm>
#include <cstring>

namespace zt::sim {

gfx::Surface compose_screen(HWND window, bool taskbarVisible) {
    gfx::Surface screen(kScreenWidth, kScreenHeight);
    RECT where{};
    auto surface = window ? gfx::window_surface(window) : nullptr;
    if (surface && IsWindowVisible(window) && GetWindowRect(window, &where)) {
        for (int y = 0; y < surface->height(); ++y) {
            const int sy = where.top + y;
            if (sy < 0 || sy >= kScreenHeight)
                continue;
            const int x0 = std::max(0, static_cast<int>(where.left));
            const int x1 = std::min(kScreenWidth, static_cast<int>(where.left) + surface->width());
            if (x1 > x0)
                std::memcpy(screen.row(sy) + x0, surface->row(y) + (x0 - where.left),
                            static_cast<std::size_t>(x1 - x0) * sizeof(std::uint32_t));
        }
    }
    if (taskbarVisible)
        draw_taskbar(screen);
    return screen;
}

namespace {

std::uint32_t blend(std::uint32_t under, std::uint32_t over, int alpha) {
    auto mix = [&](int shift) {
        const int a = static_cast<int>((under >> shift) & 0xFF), b = static_cast<int>((over >> shift) & 0xFF);
        return static_cast<std::uint32_t>((a * (255 - alpha) + b * alpha) / 255) << shift;
    };
    return 0xFF000000u | mix(16) | mix(8) | mix(0);
}

void fill(gfx::Surface& s, int x, int y, int w, int h, std::uint32_t color, int alpha = 255) {
    for (int j = std::max(0, y); j < std::min(s.height(), y + h); ++j)
        for (int i = std::max(0, x); i < std::min(s.width(), x + w); ++i)
            s.set(i, j, blend(s.at(i, j), color, alpha));
}

} // namespace

void draw_taskbar(gfx::Surface& screen) {
    // A dark strip with signal bars, a battery and a clock, as the phone's
    // shell draws it.
    fill(screen, 0, 0, kScreenWidth, kTaskbarHeight, 0xFF101418, 235);
    fill(screen, 0, kTaskbarHeight - 1, kScreenWidth, 1, 0xFF3A4450);
    const std::uint32_t ink = 0xFFE8ECF0;
    for (int bar = 0; bar < 4; ++bar)
        fill(screen, 12 + bar * 7, 24 - bar * 4, 5, 4 + bar * 4, ink);
    fill(screen, 430, 11, 34, 15, ink);
    fill(screen, 432, 13, 30, 11, 0xFF101418);
    fill(screen, 434, 15, 21, 7, 0xFF7CD67C);
    fill(screen, 464, 15, 3, 7, ink);

    // The host's own drawing is not the application's: keep it out of traces.
    const unsigned traced = trace::g_enabled.exchange(0);
    auto surface = std::make_shared<gfx::Surface>(std::move(screen));
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = gfx::create_bitmap(surface);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    LOGFONTW lf{};
    lf.lfHeight = 22;
    lf.lfWeight = FW_BOLD;
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0xE8, 0xEC, 0xF0));
    RECT clock{0, 0, kScreenWidth, kTaskbarHeight - 6};
    DrawTextW(dc, u"12:00", 5, &clock, DT_CENTER | DT_BOTTOM);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(font);
    DeleteObject(bitmap);
    DeleteDC(dc);
    screen = std::move(*surface);
    trace::enable(traced);
}

bool write_snapshot(HWND window, bool taskbarVisible, const std::string& path, std::string& error) {
    return gfx::write_png(compose_screen(window, taskbarVisible), path, &error);
}

} // namespace zt::sim
