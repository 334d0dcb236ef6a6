// Windows as the platform keeps them, and what hosts and the drawing code
// may ask of them. Internal to the platform: the application uses the
// Win32 calls.
#pragma once
// Private to platform/system and its tests, which alone the build gives this.
#ifndef ZT_SYSTEM_PRIVATE
#error "a private header of platform/system: include the published ones (zt/platform.h, zt/host.h, zt/sys/...)"
#endif

#include "zt/platform.h"
#include "zt/sys/kernel.h"

#include <memory>
#include <string>
#include <vector>

namespace zt::gfx {
class Surface;
}

namespace zt::sys {

class Window {
  public:
    // Fixed when the window is made; read without a lock.
    HWND hwnd = nullptr;
    std::u16string className;
    std::u16string title;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    DWORD threadId = 0;
    HWND parent = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;

    // What changes while the window lives, reached only with the kernel lock.
    struct State {
        bool visible = false;
        RECT rect{}; // screen coordinates
        LONG_PTR userData = 0;
        bool dirty = false;
        RECT dirtyRect{};
        // The window's backing store, made by the drawing code on first use.
        std::shared_ptr<gfx::Surface> surface;
    };
    State& state(const Kernel::Locked&) { return m_state; }
    const State& state(const Kernel::Locked&) const { return m_state; }

  private:
    State m_state;
};

// The platform's one window lookup: the window of a handle, or null (the
// caller sets the last error it owes). The first form holds the lock only
// for the lookup, for a caller that goes on to call the window's procedure.
std::shared_ptr<Window> find_window(HWND hwnd);
std::shared_ptr<Window> find_window(const Kernel::Locked& locked, HWND hwnd);
// Takes and clears the window's pending update rectangle; false when clean.
bool take_update_rect(HWND hwnd, RECT& rect);

// Behind zt/host.h's calls (host_api.cpp).
// Every top-level window of a thread, in the order they were made.
std::vector<HWND> top_level_windows(DWORD threadId);
// A window's parent; null for a top-level or unknown window.
HWND window_parent(HWND hwnd);
// True on the thread that booted the platform (the application's loop).
bool is_boot_thread();

} // namespace zt::sys
