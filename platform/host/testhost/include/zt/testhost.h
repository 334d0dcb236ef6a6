// The host that unit tests link: a virtual clock from tick 0, an empty shell
// unless a test brings windows up (WindowThread, zt/testhost/portable.h), and
// captured debug output. Tests that link zt_testhost_main get it installed
// before their first test; a test binary with a main of its own calls
// install() before any platform call.
#pragma once

#include "zt/platform.h"
#include "zt/sys/guarded.h"
#include "zt/testhost/portable.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace zt::testhost {

// Installs the test host (zt::host::install); harmless when it already is.
void install();

// Debug output (NKDbgPrintfW) written while a capture lives goes to it
// instead of standard error.
class DebugCapture {
  public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;
    std::string text() const;
    void clear();
};

// Trace lines of the given channels written while a capture lives (and
// nothing on standard error meanwhile).
class TraceCapture {
  public:
    explicit TraceCapture(unsigned channels);
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;
    std::vector<std::string> lines() const;
    // Lines that begin with `prefix` ("trace:shell: FindWindowW(" ...).
    std::vector<std::string> starting(const std::string& prefix) const;

  private:
    // The sink may be called from any thread.
    mutable sys::Guarded<std::vector<std::string>> m_lines;
};

// Sees the name of every RegisterWindowMessageW before the platform does;
// false makes the call fail with 0. Null removes it.
void set_register_message_hook(std::function<bool(LPCWSTR name)> hook);

// The display driver's answer to ExtEscape; default 0 (not supported).
void set_display_escape(std::function<int(int code)> handler);

// Frames handed to the host by EndPaint, newest last (window, width, height).
struct PresentedFrame {
    HWND window;
    int width;
    int height;
};
std::vector<PresentedFrame> presented_frames();

// ----- fixtures shared by the tests -----------------------------------------------

// A top-level window of the calling thread, destroyed with the object when it
// still exists. Its class is registered on first use with `proc` (null:
// DefWindowProcW); a class of that name registered earlier keeps its own.
class OwnWindow {
  public:
    struct Shape {
        const char16_t* className = u"TestOwnWindow";
        WNDPROC proc = nullptr;
        DWORD style = 0;
        int width = 100;
        int height = 100;
    };
    OwnWindow() : OwnWindow(Shape{}) {}
    explicit OwnWindow(const Shape& shape);
    ~OwnWindow();
    OwnWindow(const OwnWindow&) = delete;
    OwnWindow& operator=(const OwnWindow&) = delete;
    HWND get() const { return m_hwnd; }

  private:
    HWND m_hwnd = nullptr;
};

// A resource's bytes as a program reaches them: found, loaded and locked
// through FindResourceW, LoadResource, LockResource and SizeofResource;
// nothing if any step fails.
struct ResourceBytes {
    const unsigned char* data = nullptr;
    DWORD size = 0;
};
std::optional<ResourceBytes> load_resource(UINT id, UINT type, HMODULE module = nullptr);

// The channels of a surface's pixel (0xAARRGGBB).
constexpr int red(std::uint32_t pixel) {
    return static_cast<int>((pixel >> 16) & 0xFF);
}
constexpr int green(std::uint32_t pixel) {
    return static_cast<int>((pixel >> 8) & 0xFF);
}
constexpr int blue(std::uint32_t pixel) {
    return static_cast<int>(pixel & 0xFF);
}
constexpr int alpha(std::uint32_t pixel) {
    return static_cast<int>(pixel >> 24);
}
// Red, green and blue added up: 0 for black, 765 for white.
constexpr int brightness(std::uint32_t pixel) {
    return red(pixel) + green(pixel) + blue(pixel);
}

// The pixels of `area` (which lies inside the surface) that equal `match`, or for which `match(pixel)` holds.
template <typename Surface, typename Match> int count_pixels(const Surface& surface, RECT area, Match match) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const std::uint32_t pixel = surface.at(x, y);
            if constexpr (std::is_invocable_r_v<bool, Match, std::uint32_t>)
                n += match(pixel) ? 1 : 0;
            else
                n += pixel == match ? 1 : 0;
        }
    return n;
}

} // namespace zt::testhost
