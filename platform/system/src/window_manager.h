// The window manager: window classes, windows and registered message names.
// It shares the kernel's lock (a wait for messages looks at windows, queues
// and timers together); every operation takes the lock's proof.
#pragma once
// Private to platform/system and its tests, which alone the build gives this.
#ifndef ZT_SYSTEM_PRIVATE
#error "a private header of platform/system: include the published ones (zt/platform.h, zt/host.h, zt/sys/...)"
#endif

#include "zt/sys/kernel.h"
#include "zt/sys/windows.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zt::sys {

using Locked = Kernel::Locked;

struct WindowClass {
    std::u16string name;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
};

// What CreateWindowExW asks for.
struct WindowParams {
    DWORD exStyle = 0;
    std::u16string_view title;
    DWORD style = 0;
    RECT rect{};
    HWND parent = nullptr;
    HINSTANCE instance = nullptr;
};

class WindowManager {
  public:
    static WindowManager& get();

    // The class's atom, or 0 when a class of that name exists.
    ATOM register_class(const Locked&, std::u16string_view name, WNDPROC proc, HINSTANCE instance);
    // ERROR_SUCCESS, or why the class stays.
    DWORD unregister_class(const Locked&, std::u16string_view name);
    const WindowClass* find_class(const Locked&, std::u16string_view name) const;

    // The new window, its number taken from the kernel's handle table like
    // every other handle's; null when the table is full (the last error
    // says so).
    std::shared_ptr<Window> create(const Locked&, const WindowClass& windowClass, const WindowParams& params,
                                   DWORD threadId);
    std::shared_ptr<Window> find(const Locked&, HWND hwnd) const;
    // Forgets the window (its timers go too) and wakes the waiters.
    void remove(const Locked&, HWND hwnd);
    // Every window of a thread, in the order they were made.
    std::vector<HWND> windows_of(const Locked&, DWORD threadId) const;
    // The first top-level window matching a class and a title (null: any).
    HWND find_top_level(const Locked&, const std::u16string_view* className, const std::u16string_view* title) const;
    std::vector<HWND> top_levels(const Locked&, DWORD threadId) const;
    // The first visible window of a thread waiting to be painted, or null.
    HWND first_to_paint(const Locked&, DWORD threadId) const;

    // Shows or hides; true when it was visible. Becoming visible marks the
    // whole client area for painting.
    bool show(const Locked&, Window& window, bool visible);
    void move(const Locked&, Window& window, const RECT& rect, bool repaint);
    // Adds a rectangle (client coordinates, cut to the client area) to the
    // window's update rectangle; false when nothing of it is inside.
    bool invalidate(const Locked&, Window& window, const RECT* rect);
    // Takes the window's update rectangle, if it has one (BeginPaint).
    bool take_update_rect(const Locked&, Window& window, RECT& rect);

  private:
    // Sets whether the window waits to be painted and is visible, keeping
    // count of the windows that are both: a thread's every look for a
    // message asks, and most find none.
    void set_paint_state(Window::State& s, bool dirty, bool visible);

    std::vector<WindowClass> m_classes;
    // In the order they were made, which the numbers no longer show once the
    // handle counter has come around; found by number through m_ages.
    std::map<std::uint64_t, std::shared_ptr<Window>> m_windows;
    std::unordered_map<std::uint32_t, std::uint64_t> m_ages;
    std::uint64_t m_nextAge = 0;
    std::size_t m_toPaint = 0; // visible windows waiting to be painted
};

} // namespace zt::sys
