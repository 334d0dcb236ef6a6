// MemoryDC and the element that shows one, UiCanvas.
#include "image.h"

#include "zt/gfx/gdi.h"
#include "zt/gfx/rect.h"
#include "zt/sys/guarded.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

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

namespace {

using Area = zt::gfx::Surface::Area;

// What a canvas last copied onto a window: which pixels of which window
// surface hold the canvas's bitmap as it was at `sourceVersion`.
struct Shown {
    std::uint64_t source = 0;
    std::uint64_t sourceVersion = 0;
    std::uint64_t target = 0;
    std::uint64_t targetVersion = 0;
    int x = 0;
    int y = 0;
    RECT area{};
};

using ShownTable = zt::sys::Guarded<std::unordered_map<const UiCanvas*, Shown>>;

ShownTable& shown() {
    // Never destroyed: canvases of static objects may paint until the end.
    static ShownTable* const table = new ShownTable();
    return *table;
}

using zt::gfx::contains;
using zt::gfx::intersect;
using zt::gfx::is_empty;

} // namespace

UiCanvas::UiCanvas() = default;

UiCanvas::~UiCanvas() {
    shown().with([this](auto& canvases) { canvases.erase(this); });
}

void UiCanvas::PaintWin(HDC hdcDst, const RECT& rcClip) {
    RECT visible;
    if (m_dcCanvas.GetDC() == nullptr || !VisibleRect(rcClip, visible))
        return;
    // Whatever bitmap the canvas DC holds now is what is shown.
    auto source = zt::gfx::surface_of(m_dcCanvas.GetDC());
    auto surface = zt::gfx::surface_of(hdcDst);
    if (!source || !surface)
        return;
    const int x = GetPosX(), y = GetPosY();
    // Only the bitmap's own pixels are the canvas's, and only what lies on
    // the window.
    visible = intersect(
        visible,
        RECT{x, y, static_cast<LONG>(std::min<std::int64_t>(static_cast<std::int64_t>(x) + source->width(), INT32_MAX)),
             static_cast<LONG>(std::min<std::int64_t>(static_cast<std::int64_t>(y) + source->height(), INT32_MAX))});
    visible = intersect(visible, RECT{0, 0, surface->width(), surface->height()});
    if (is_empty(visible))
        return;

    // When the window still holds what this canvas copied there last time,
    // only what was drawn on the canvas since needs copying again: after
    // DrawCard's first paint, the second copies the two ranks, not the card.
    auto canvases = shown().lock();
    Shown& last = (*canvases)[this];
    zt::gfx::Surface::Writes changed;
    const auto areaOf = [](const RECT& r) { return Area{r.left, r.top, r.right, r.bottom}; };
    const bool kept = last.source == source->identity() && last.target == surface->identity() && last.x == x &&
                      last.y == y && contains(last.area, visible) &&
                      surface->unchanged_since(last.targetVersion, areaOf(last.area)) &&
                      source->writes_since(last.sourceVersion, changed);
    RECT keptArea = visible;
    if (kept) {
        // Whatever window pixels lie outside `visible` stay right only if
        // nothing changed on the canvas there.
        bool inside = true;
        for (std::size_t i = 0; i < changed.count; ++i) {
            const Area& a = changed.areas[i];
            const auto at = [](int v, int offset) {
                return static_cast<LONG>(
                    std::clamp<std::int64_t>(static_cast<std::int64_t>(v) + offset, INT32_MIN, INT32_MAX));
            };
            const RECT moved{at(a.left, x), at(a.top, y), at(a.right, x), at(a.bottom, y)};
            const RECT part = intersect(moved, visible);
            if (!is_empty(part))
                zt::fw::copy(*source, x, y, *surface, part, true);
            inside = inside && contains(visible, moved);
        }
        if (inside)
            keptArea = last.area;
    } else {
        // Whatever alpha the canvas holds, the window stays opaque.
        zt::fw::copy(*source, x, y, *surface, visible, true);
    }
    last = Shown{source->identity(), source->version(), surface->identity(), surface->version(), x, y, keptArea};
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
