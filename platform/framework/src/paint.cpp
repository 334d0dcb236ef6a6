// Painting of framework windows, window snapshots and the instance handle.
#include "image.h"

#include "zt/gfx/gdi.h"

void CMzWnd::OnPaint() {
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(m_hWnd, &ps);
    if (dc == nullptr)
        return;
    PaintWin(dc, &ps.rcPaint);
    // Hands the finished frame to the host.
    EndPaint(m_hWnd, &ps);
}

void CMzWnd::PaintWin(HDC, RECT*) {}

HBITMAP CMzWnd::GetWindowBitmap(RECT rect) {
    auto surface = m_hWnd ? zt::gfx::window_surface(m_hWnd) : nullptr;
    if (!surface) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    RECT r;
    if (!zt::fw::clip_to(*surface, rect, rect.left, rect.top, rect.right, rect.bottom, r)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto copy = std::make_shared<zt::gfx::Surface>(r.right - r.left, r.bottom - r.top);
    zt::fw::copy(*surface, -r.left, -r.top, *copy, RECT{0, 0, copy->width(), copy->height()});
    return zt::gfx::create_bitmap(std::move(copy));
}

HBITMAP CMzWnd::GetWindowBitmap() {
    return GetWindowBitmap(MzGetClientRect());
}

HINSTANCE MzGetInstanceHandle() {
    return GetModuleHandleW(nullptr);
}
