#include "snapshot.h"

#include "zt/gfx/gdi.h"
#include "zt/gfx/png.h"
#include "zt/host/overlay.h"
#include "zt/host/simulated_shell.h"

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
    // The phone's clock stands still in snapshots: the same script gives the
    // same picture.
    if (taskbarVisible)
        host::draw_taskbar(screen, 12, 0, host::SimulatedShell::kTaskbarRect.bottom);
    return screen;
}

bool write_snapshot(HWND window, bool taskbarVisible, const std::string& path, std::string& error) {
    return gfx::write_png(compose_screen(window, taskbarVisible), path, &error);
}

} // namespace zt::sim
