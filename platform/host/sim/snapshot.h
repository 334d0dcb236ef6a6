// The phone's screen as a picture: the application's window with the
// shell's taskbar over its top while the taskbar is visible.
#pragma once

#include "zt/gfx/surface.h"
#include "zt/platform.h"
#include "zt/screen.h"

#include <string>

namespace zt::sim {

// Composes the screen; `window` may be null (a black screen).
gfx::Surface compose_screen(HWND window, bool taskbarVisible);
// Writes the composed screen as a PNG; on failure `error` holds the path and
// the reason.
bool write_snapshot(HWND window, bool taskbarVisible, const std::string& path, std::string& error);

} // namespace zt::sim
