// GDI objects as the drawing code keeps them: device contexts, bitmaps,
// brushes and fonts, each a kernel object behind a small handle. Internal to
// the drawing code.
#pragma once
// Private to platform/system and its tests, which alone the build gives this.
#ifndef ZT_SYSTEM_PRIVATE
#error "a private header of platform/system: include the published ones (zt/platform.h, zt/host.h, zt/sys/...)"
#endif

#include "zt/gfx/font.h"
#include "zt/gfx/rect.h"
#include "zt/gfx/surface.h"
#include "zt/platform.h"
#include "zt/screen.h"
#include "zt/sys/kernel.h"
#include "zt/sys/trace.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace zt::gfx {

// Freed only by DeleteObject or DeleteDC, never by CloseHandle. Stock objects
// (a DC's defaults) live for the whole process.
class GdiObject : public sys::KernelObject {
  public:
    explicit GdiObject(bool stock = false) : m_stock(stock) {}
    bool closable() const override { return false; }
    unsigned trace_channel() const override { return trace::kGdi; }
    bool stock() const { return m_stock; }

  private:
    bool m_stock;
};

class Bitmap final : public GdiObject {
  public:
    explicit Bitmap(std::shared_ptr<Surface> surface, bool stock = false)
        : GdiObject(stock), m_surface(std::move(surface)) {}
    const char* type_name() const override { return "bitmap"; }
    const std::shared_ptr<Surface>& surface() const { return m_surface; }

    // A bitmap is selected into at most one memory DC at a time (the stock
    // bitmap into any number). True when this call took it.
    bool take() { return stock() || !m_selected.exchange(true); }
    void give_back() {
        if (!stock())
            m_selected.store(false);
    }

  private:
    std::shared_ptr<Surface> m_surface;
    std::atomic<bool> m_selected{false};
};

class Brush final : public GdiObject {
  public:
    explicit Brush(COLORREF color, bool stock = false) : GdiObject(stock), m_color(color) {}
    const char* type_name() const override { return "brush"; }
    COLORREF color() const { return m_color; }

  private:
    COLORREF m_color;
};

class Font final : public GdiObject {
  public:
    explicit Font(const LOGFONTW& logfont, bool stock = false) : GdiObject(stock), m_logfont(logfont) {}
    const char* type_name() const override { return "font"; }
    const LOGFONTW& logfont() const { return m_logfont; }
    // The rasterising face, found on first use; null when no font file can be
    // loaded.
    std::shared_ptr<FaceSize> face() const;

  private:
    LOGFONTW m_logfont;
    mutable std::once_flag m_once;
    mutable std::shared_ptr<FaceSize> m_face;
};

enum class DcKind {
    Window, // GetDC(hwnd) or BeginPaint: draws on the window's backing store
    Screen, // GetDC(NULL)
    Memory, // CreateCompatibleDC: draws on the selected bitmap
};

// The state of one device context. Like Win32's, a DC is used by one thread
// at a time; objects it has selected stay alive while it holds them.
class DeviceContext final : public GdiObject {
  public:
    DeviceContext(DcKind kind, HWND window);
    ~DeviceContext() override;
    const char* type_name() const override { return "dc"; }

    DcKind kind;
    HWND window = nullptr;
    // Drawing is limited to this rectangle too (a BeginPaint DC's update
    // rectangle), in the surface's coordinates.
    std::optional<RECT> clip;

    HBITMAP bitmapHandle = nullptr;
    std::shared_ptr<Bitmap> bitmap;
    HBRUSH brushHandle = nullptr;
    std::shared_ptr<Brush> brush;
    HFONT fontHandle = nullptr;
    std::shared_ptr<Font> font;

    int bkMode = OPAQUE;
    COLORREF bkColor = 0x00FFFFFF;
    COLORREF textColor = 0x00000000;
    int stretchMode = 1; // BLACKONWHITE, Win32's default
};

// The object behind a handle when it is of type T, else null.
template <typename T> std::shared_ptr<T> find_object(const void* handle) {
    return sys::Kernel::get().handles().find_as<T>(const_cast<void*>(handle));
}

// Puts a new object in the handle table.
HANDLE insert_object(std::shared_ptr<GdiObject> object);

// The process-wide defaults a new DC starts with.
struct StockObjects {
    HBITMAP bitmapHandle;
    std::shared_ptr<Bitmap> bitmap; // 1x1, black
    HBRUSH brushHandle;
    std::shared_ptr<Brush> brush; // white
    HFONT fontHandle;
    std::shared_ptr<Font> font; // regular sans, 16 px cell
};
const StockObjects& stock_objects();

// The screen's surface, held by the system for the whole process.
std::shared_ptr<Surface> screen_surface();

// Where a DC draws now: its surface and the rectangle drawing may touch
// (the surface's bounds, narrowed by the DC's clip). Null surface for a
// window that is gone.
struct Target {
    std::shared_ptr<Surface> surface;
    RECT clip{};
    // Displays have no alpha: what lands on a window or the screen is opaque.
    bool opaque = false;
};
Target target_of(const DeviceContext& dc);

} // namespace zt::gfx
