// The drawing code's internal API for the rest of the platform (the UI
// framework, hosts, tests): the surfaces behind device contexts and bitmaps.
// The application reaches the same things only through the Win32 calls.
#pragma once

#include "zt/gfx/surface.h"
#include "zt/platform.h"

#include <memory>

namespace zt::gfx {

// The surface a DC draws on now: its window's backing store (made or resized
// to the window's client size on demand), the screen's, or the bitmap
// selected into a memory DC. Null for a bad DC or a window that is gone.
std::shared_ptr<Surface> surface_of(HDC dc);

// Wraps an existing surface as a bitmap object that can be selected into a
// memory DC; drawing through that DC changes the surface in place. The bitmap
// is freed by DeleteObject. Null when `surface` is null.
HBITMAP create_bitmap(std::shared_ptr<Surface> surface);

// The surface of a bitmap object, or null for a bad handle.
std::shared_ptr<Surface> bitmap_surface(HBITMAP bitmap);

// A window's backing store, made on first use at the window's client size and
// remade (keeping what still fits) when that size has changed. Window surfaces
// are opaque. Null for a bad window handle.
std::shared_ptr<Surface> window_surface(HWND hwnd);

// Hands the display a window about to be shown or hidden with the
// framework's animation `type`: the host may animate it, returning when
// done, or do nothing. The caller changes the window's visibility itself.
// False for a handle that is no window.
bool animate_window(HWND hwnd, int type, bool show);

} // namespace zt::gfx
