#include "snapshot.h"

#include "zt/gfx/gdi.h"
#include "zt/gfx/png.h"
#include "zt/host/overlay.h"
#include "zt/host/simulated_shell.h"

namespace zt::sim {

gfx::Surface compose_screen(HWND window, bool taskbarVisible) {
    gfx::Surface screen(SCREEN_WIDTH, SCREEN_HEIGHT);
    RECT where{};
    auto surface = window ? gfx::window_surface(window) : nullptr;
    if (surface && IsWindowVisible(window) && GetWindowRect(window, &where))
        host::place_frame(screen, *surface, where.left, where.top);
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
