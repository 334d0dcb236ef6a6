// GDI objects and the surfaces they draw on.
#include "zt/gfx/gdi_objects.h"
#include "window_manager.h"
#include "zt/gfx/gdi.h"
#include "zt/gfx/pixels.h"
#include "zt/sys/windows.h"

#include <algorithm>

namespace zt::gfx {

std::shared_ptr<FaceSize> Font::face() const {
    std::call_once(m_once, [this] { m_face = face_for(m_logfont); });
    return m_face;
}

DeviceContext::DeviceContext(DcKind k, HWND w) : kind(k), window(w) {
    const StockObjects& stock = stock_objects();
    if (kind == DcKind::Memory) {
        bitmapHandle = stock.bitmapHandle;
        bitmap = stock.bitmap;
    }
    brushHandle = stock.brushHandle;
    brush = stock.brush;
    fontHandle = stock.fontHandle;
    font = stock.font;
}

DeviceContext::~DeviceContext() {
    if (bitmap)
        bitmap->give_back();
}

HANDLE insert_object(std::shared_ptr<GdiObject> object) {
    return sys::Kernel::get().handles().insert(std::move(object));
}

// The stock objects and the screen are never destroyed: static objects may
// select and draw until the process ends.
const StockObjects& stock_objects() {
    static const StockObjects* const stock = [] {
        auto* made = new StockObjects();
        StockObjects& s = *made;
        s.bitmap = std::make_shared<Bitmap>(std::make_shared<Surface>(1, 1), true);
        s.bitmapHandle = static_cast<HBITMAP>(insert_object(s.bitmap));
        s.brush = std::make_shared<Brush>(0x00FFFFFF, true);
        s.brushHandle = static_cast<HBRUSH>(insert_object(s.brush));
        LOGFONTW logfont{};
        logfont.lfHeight = 16;
        logfont.lfWeight = FW_NORMAL;
        s.font = std::make_shared<Font>(logfont, true);
        s.fontHandle = static_cast<HFONT>(insert_object(s.font));
        return made;
    }();
    return *stock;
}

std::shared_ptr<Surface> screen_surface() {
    static const auto* const screen =
        new std::shared_ptr<Surface>(std::make_shared<Surface>(SCREEN_WIDTH, SCREEN_HEIGHT));
    return *screen;
}

Target target_of(const DeviceContext& dc) {
    Target target;
    switch (dc.kind) {
    case DcKind::Window:
        target.surface = window_surface(dc.window);
        break;
    case DcKind::Screen:
        target.surface = screen_surface();
        break;
    case DcKind::Memory:
        target.surface = dc.bitmap ? dc.bitmap->surface() : nullptr;
        break;
    }
    target.opaque = dc.kind != DcKind::Memory;
    if (target.surface) {
        target.clip = RECT{0, 0, target.surface->width(), target.surface->height()};
        if (dc.clip)
            target.clip = intersect(target.clip, *dc.clip);
    }
    return target;
}

std::shared_ptr<Surface> surface_of(HDC dc) {
    auto context = find_object<DeviceContext>(dc);
    return context ? target_of(*context).surface : nullptr;
}

HBITMAP create_bitmap(std::shared_ptr<Surface> surface) {
    if (!surface)
        return nullptr;
    return static_cast<HBITMAP>(insert_object(std::make_shared<Bitmap>(std::move(surface))));
}

std::shared_ptr<Surface> bitmap_surface(HBITMAP bitmap) {
    auto object = find_object<Bitmap>(bitmap);
    return object ? object->surface() : nullptr;
}

std::shared_ptr<Surface> window_surface(HWND hwnd) {
    if (hwnd == nullptr)
        return nullptr;
    sys::Kernel& k = sys::Kernel::get();
    sys::Kernel::Locked locked = k.lock();
    auto window = sys::find_window(locked, hwnd);
    if (!window)
        return nullptr;
    sys::Window::State& state = window->state(locked);
    const RECT client = client_rect(state.rect);
    const int width = client.right;
    const int height = client.bottom;
    auto& surface = state.surface;
    if (!surface || surface->width() != width || surface->height() != height) {
        // A new surface rather than a resized one: whoever still holds the
        // old one (a frame being shown) keeps a consistent picture.
        auto fresh = std::make_shared<Surface>(width, height);
        if (surface) {
            const int w = std::min(width, surface->width());
            for (int y = 0; y < std::min(height, surface->height()); ++y)
                copy_pixels(fresh->row(y), surface->row(y), static_cast<std::size_t>(w));
        }
        surface = std::move(fresh);
    }
    return surface;
}

} // namespace zt::gfx
