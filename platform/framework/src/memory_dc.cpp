// MemoryDC and the element that shows one, UiCanvas.
#include "image.h"

#include "zt/gfx/gdi.h"

#include <algorithm>
#include <cstdint>

// ----- MemoryDC -------------------------------------------------------------------

MemoryDC::MemoryDC() = default;

MemoryDC::~MemoryDC() {
    Release();
}

BOOL MemoryDC::Create(int width, int height, HDC reference) {
    if (width <= 0 || height <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A surface that cannot be made leaves the old one in place.
    HDC dc = CreateCompatibleDC(reference);
    if (dc == nullptr)
        return FALSE;
    auto surface = std::make_shared<zt::gfx::Surface>(width, height);
    HBITMAP bitmap = zt::gfx::create_bitmap(surface);
    HGDIOBJ old = bitmap ? SelectObject(dc, bitmap) : nullptr;
    if (bitmap == nullptr || zt::gfx::surface_of(dc) != surface) {
        if (bitmap != nullptr)
            DeleteObject(bitmap);
        DeleteDC(dc);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    Release();
    m_hDC = dc;
    m_hBitmap = bitmap;
    m_hOldBitmap = old;
    m_nWidth = width;
    m_nHeight = height;
    return TRUE;
}

void MemoryDC::Release() {
    if (m_hDC == nullptr)
        return;
    SelectObject(m_hDC, m_hOldBitmap);
    DeleteDC(m_hDC);
    DeleteObject(m_hBitmap);
    m_hDC = nullptr;
    m_hBitmap = nullptr;
    m_hOldBitmap = nullptr;
    m_nWidth = 0;
    m_nHeight = 0;
}

// ----- UiCanvas -------------------------------------------------------------------

UiCanvas::UiCanvas() = default;

UiCanvas::~UiCanvas() = default;

void UiCanvas::PaintWin(HDC hdcDst, const RECT& rcClip) {
    RECT visible;
    if (m_dcCanvas.GetDC() == nullptr || !VisibleRect(rcClip, visible))
        return;
    // Whatever bitmap the canvas DC holds now is what is shown.
    auto source = zt::gfx::surface_of(m_dcCanvas.GetDC());
    auto surface = zt::gfx::surface_of(hdcDst);
    if (!source || !surface)
        return;
    // Whatever alpha the canvas holds, the window stays opaque.
    zt::fw::copy(*source, GetPosX(), GetPosY(), *surface, visible, true);
}

bool UiCanvas::GetOpaqueRect(RECT& rc) {
    // A plain copy replaces every pixel it reaches, whatever its alpha.
    auto source = m_dcCanvas.GetDC() ? zt::gfx::surface_of(m_dcCanvas.GetDC()) : nullptr;
    if (!source)
        return false;
    const std::int64_t right = static_cast<std::int64_t>(GetPosX()) + std::min(GetWidth(), source->width());
    const std::int64_t bottom = static_cast<std::int64_t>(GetPosY()) + std::min(GetHeight(), source->height());
    rc = RECT{GetPosX(), GetPosY(), static_cast<LONG>(std::min<std::int64_t>(right, INT32_MAX)),
              static_cast<LONG>(std::min<std::int64_t>(bottom, INT32_MAX))};
    return rc.left < rc.right && rc.top < rc.bottom;
}
