// Device contexts and GDI objects: getting, selecting, freeing; DC settings;
// device capabilities and the display driver's escapes.
#include "api.h"
#include "zt/gfx/gdi.h"
#include "zt/gfx/gdi_objects.h"
#include "zt/host.h"
#include "zt/platform.h"
#include "zt/sys/trace.h"
#include "zt/sys/windows.h"

using zt::sys::fail;

using zt::gfx::Bitmap;
using zt::gfx::Brush;
using zt::gfx::DcKind;
using zt::gfx::DeviceContext;
using zt::gfx::find_object;
using zt::gfx::Font;
using zt::gfx::GdiObject;
using zt::gfx::insert_object;
using zt::trace::handle;
using zt::trace::kGdi;

namespace {

// Bitmaps past this many pixels (a 256 MB surface) are refused.
constexpr long long kMaxBitmapPixels = 8192LL * 8192LL;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;
// Device capability indexes beyond the two the application's headers name.
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int BLACKONWHITE = 1;

HDC insert_dc(DcKind kind, HWND window) {
    return static_cast<HDC>(insert_object(std::make_shared<DeviceContext>(kind, window)));
}

std::shared_ptr<DeviceContext> find_dc(HDC dc) {
    auto context = find_object<DeviceContext>(dc);
    return context ? context : fail(ERROR_INVALID_HANDLE, context);
}

} // namespace

HDC GetDC(HWND window) {
    HDC dc = nullptr;
    if (window == nullptr)
        dc = insert_dc(DcKind::Screen, nullptr);
    else if (!zt::sys::find_window(window))
        dc = fail(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    else
        dc = insert_dc(DcKind::Window, window);
    ZT_TRACE(kGdi, "GetDC(%s) = %s", handle(window).c_str(), handle(dc).c_str());
    return dc;
}

int ReleaseDC(HWND window, HDC dc) {
    auto context = find_object<DeviceContext>(dc);
    int result = 0;
    // Only what GetDC or BeginPaint handed out for this window (or the
    // screen) goes back this way; memory DCs go with DeleteDC.
    if (context && context->kind != DcKind::Memory && context->window == window) {
        zt::sys::Kernel::get().handles().remove(dc);
        result = 1;
    } else {
        result = fail(ERROR_INVALID_HANDLE, 0);
    }
    ZT_TRACE(kGdi, "ReleaseDC(%s,%s) = %d", handle(window).c_str(), handle(dc).c_str(), result);
    return result;
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    HDC dc = nullptr;
    RECT update{0, 0, 0, 0};
    if (paint == nullptr) {
        dc = fail(ERROR_INVALID_PARAMETER, nullptr);
    } else if (!zt::sys::find_window(window)) {
        dc = fail(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    } else {
        // Taking the update rectangle validates the window; drawing through
        // this DC stays inside what was invalid.
        if (!zt::sys::take_update_rect(window, update))
            update = RECT{0, 0, 0, 0};
        auto context = std::make_shared<DeviceContext>(DcKind::Window, window);
        context->clip = update;
        dc = static_cast<HDC>(insert_object(std::move(context)));
        *paint = PAINTSTRUCT{};
        paint->hdc = dc;
        paint->fErase = FALSE;
        paint->rcPaint = update;
    }
    ZT_TRACE(kGdi, "BeginPaint(%s) = %s %s", handle(window).c_str(), handle(dc).c_str(),
             zt::trace::rect(&update).c_str());
    return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    BOOL result = FALSE;
    if (paint == nullptr) {
        result = fail(ERROR_INVALID_PARAMETER, FALSE);
    } else if (auto surface = zt::gfx::window_surface(window); !surface) {
        result = fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    } else {
        auto context = find_object<DeviceContext>(paint->hdc);
        if (context && context->kind == DcKind::Window && context->window == window)
            zt::sys::Kernel::get().handles().remove(paint->hdc);
        result = TRUE;
        ZT_TRACE(kGdi, "EndPaint(%s,%s) = 1 present %dx%d", handle(window).c_str(), handle(paint->hdc).c_str(),
                 surface->width(), surface->height());
        zt::host::current().present(window, *surface);
        return result;
    }
    ZT_TRACE(kGdi, "EndPaint(%s) = 0", handle(window).c_str());
    return result;
}

HDC CreateCompatibleDC(HDC reference) {
    HDC dc = nullptr;
    if (reference == nullptr || find_dc(reference))
        dc = insert_dc(DcKind::Memory, nullptr);
    ZT_TRACE(kGdi, "CreateCompatibleDC(%s) = %s", handle(reference).c_str(), handle(dc).c_str());
    return dc;
}

HBITMAP CreateCompatibleBitmap(HDC reference, int width, int height) {
    HBITMAP bitmap = nullptr;
    if (!find_dc(reference)) {
        // last error set
    } else if (width < 0 || height < 0) {
        bitmap = fail(ERROR_INVALID_PARAMETER, nullptr);
    } else if (static_cast<long long>(width) * height > kMaxBitmapPixels) {
        bitmap = fail(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    } else {
        // Win32 answers an empty size with a 1x1 bitmap.
        const bool empty = width == 0 || height == 0;
        bitmap = zt::gfx::create_bitmap(std::make_shared<zt::gfx::Surface>(empty ? 1 : width, empty ? 1 : height));
    }
    ZT_TRACE(kGdi, "CreateCompatibleBitmap(%s,%d,%d) = %s", handle(reference).c_str(), width, height,
             handle(bitmap).c_str());
    return bitmap;
}

BOOL DeleteDC(HDC dc) {
    const BOOL result = find_dc(dc) && zt::sys::Kernel::get().handles().remove(dc) ? TRUE : FALSE;
    ZT_TRACE(kGdi, "DeleteDC(%s) = %d", handle(dc).c_str(), result);
    return result;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto brush = static_cast<HBRUSH>(insert_object(std::make_shared<Brush>(color & 0x00FFFFFFu)));
    ZT_TRACE(kGdi, "CreateSolidBrush(0x%06x) = %s", color, handle(brush).c_str());
    return brush;
}

HFONT CreateFontIndirectW(const LOGFONTW* logfont) {
    HFONT font = nullptr;
    if (logfont == nullptr)
        font = fail(ERROR_INVALID_PARAMETER, nullptr);
    else
        font = static_cast<HFONT>(insert_object(std::make_shared<Font>(*logfont)));
    ZT_TRACE(kGdi, "CreateFontIndirectW(%d,%d) = %s", logfont ? logfont->lfHeight : 0, logfont ? logfont->lfWeight : 0,
             handle(font).c_str());
    return font;
}

BOOL DeleteObject(HGDIOBJ object) {
    auto found = find_object<GdiObject>(object);
    BOOL result = FALSE;
    if (!found || std::dynamic_pointer_cast<DeviceContext>(found)) {
        result = fail(ERROR_INVALID_HANDLE, FALSE);
    } else {
        // Stock objects stay; a DC that still has the object selected keeps
        // it alive until it lets go.
        if (!found->stock())
            zt::sys::Kernel::get().handles().remove(object);
        result = TRUE;
    }
    ZT_TRACE(kGdi, "DeleteObject(%s) = %d", handle(object).c_str(), result);
    return result;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    HGDIOBJ previous = nullptr;
    auto context = find_dc(dc);
    auto found = context ? find_object<GdiObject>(object) : nullptr;
    if (context && !found)
        previous = fail(ERROR_INVALID_HANDLE, nullptr);
    if (auto bitmap = std::dynamic_pointer_cast<Bitmap>(found)) {
        if (context->kind != DcKind::Memory) {
            previous = fail(ERROR_INVALID_PARAMETER, nullptr);
        } else if (context->bitmap == bitmap) {
            previous = context->bitmapHandle;
        } else if (!bitmap->take()) {
            previous = fail(ERROR_INVALID_PARAMETER, nullptr); // already selected into another DC
        } else {
            previous = context->bitmapHandle;
            if (context->bitmap)
                context->bitmap->give_back();
            context->bitmap = std::move(bitmap);
            context->bitmapHandle = static_cast<HBITMAP>(object);
        }
    } else if (auto brush = std::dynamic_pointer_cast<Brush>(found)) {
        previous = context->brushHandle;
        context->brush = std::move(brush);
        context->brushHandle = static_cast<HBRUSH>(object);
    } else if (auto font = std::dynamic_pointer_cast<Font>(found)) {
        previous = context->fontHandle;
        context->font = std::move(font);
        context->fontHandle = static_cast<HFONT>(object);
    } else if (found) {
        previous = fail(ERROR_INVALID_HANDLE, nullptr); // a DC is not selectable
    }
    ZT_TRACE(kGdi, "SelectObject(%s,%s) = %s", handle(dc).c_str(), handle(object).c_str(), handle(previous).c_str());
    return previous;
}

// Sets one of a DC's modes if `valid`; returns the previous one, or 0.
static int set_mode(HDC dc, int mode, bool valid, int DeviceContext::*field) {
    auto context = find_dc(dc);
    if (!context)
        return 0;
    if (!valid)
        return fail(ERROR_INVALID_PARAMETER, 0);
    const int previous = (*context).*field;
    (*context).*field = mode;
    return previous;
}

int SetStretchBltMode(HDC dc, int mode) {
    const int previous = set_mode(dc, mode, mode >= BLACKONWHITE && mode <= HALFTONE, &DeviceContext::stretchMode);
    ZT_TRACE(kGdi, "SetStretchBltMode(%s,%d) = %d", handle(dc).c_str(), mode, previous);
    return previous;
}

int SetBkMode(HDC dc, int mode) {
    const int previous = set_mode(dc, mode, mode == TRANSPARENT || mode == OPAQUE, &DeviceContext::bkMode);
    ZT_TRACE(kGdi, "SetBkMode(%s,%d) = %d", handle(dc).c_str(), mode, previous);
    return previous;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    COLORREF previous = CLR_INVALID;
    if (auto context = find_dc(dc)) {
        previous = context->textColor;
        context->textColor = color & 0x00FFFFFFu;
    }
    ZT_TRACE(kGdi, "SetTextColor(%s,0x%06x) = 0x%06x", handle(dc).c_str(), color, previous);
    return previous;
}

int GetDeviceCaps(HDC dc, int index) {
    int value = 0;
    // Every DC here is the display's or compatible with it, so each reports
    // the screen, as Win32 does for memory DCs.
    if (find_dc(dc)) {
        switch (index) {
        case HORZRES:
            value = SCREEN_WIDTH;
            break;
        case VERTRES:
            value = SCREEN_HEIGHT;
            break;
        case BITSPIXEL:
            value = 32;
            break;
        case PLANES:
            value = 1;
            break;
        case LOGPIXELSX:
        case LOGPIXELSY:
            value = 96;
            break;
        default:
            break;
        }
    }
    ZT_TRACE(kGdi, "GetDeviceCaps(%s,%d) = %d", handle(dc).c_str(), index, value);
    return value;
}

int ExtEscape(HDC dc, int escape, int inputSize, const char* input, int outputSize, char* output) {
    int result = -1; // Win32's "an error occurred"
    if (!find_dc(dc)) {
        // last error set
    } else if (inputSize < 0 || outputSize < 0 || (inputSize > 0 && input == nullptr) ||
               (outputSize > 0 && output == nullptr)) {
        result = fail(ERROR_INVALID_PARAMETER, -1);
    } else {
        result = zt::host::current().display_escape(escape, inputSize, input, outputSize, output);
    }
    ZT_TRACE(kGdi, "ExtEscape(%s,%#x,%d,%d) = %d", handle(dc).c_str(), static_cast<unsigned>(escape), inputSize,
             outputSize, result);
    return result;
}

bool zt::gfx::animate_window(HWND hwnd, int type, bool show) {
    if (!zt::sys::find_window(hwnd))
        return false;
    zt::host::current().animate_window(hwnd, type, show);
    return true;
}
