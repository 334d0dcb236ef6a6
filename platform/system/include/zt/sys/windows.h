// Windows, message queues and timers as the platform keeps them. Internal:
// the drawing code reaches a window's backing surface from here.
#pragma once

#include "zt/platform.h"
#include "zt/sys/kernel.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace zt::gfx {
class Surface;
}

namespace zt::sys {

struct Window {
    HWND hwnd = nullptr;
    std::u16string className;
    std::u16string title;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    DWORD threadId = 0;
    HWND parent = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    bool visible = false;
    RECT rect{}; // screen coordinates
    LONG_PTR userData = 0;
    bool dirty = false;
    RECT dirtyRect{};
    // The window's backing store, made by the drawing code on first use.
    std::shared_ptr<gfx::Surface> surface;
};

// A message sent to a window of another thread, waiting for its reply.
struct SentMessage {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    bool failed = false;
};

struct MessageQueue {
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> incoming;
    bool quit = false;
    int quitCode = 0;
};

// The window of a handle, or null (with the kernel lock held).
std::shared_ptr<Window> find_window_locked(HWND hwnd);
// The same, taking the lock.
std::shared_ptr<Window> find_window(HWND hwnd);
// Takes and clears the window's pending update rectangle; false when clean.
bool take_update_rect(HWND hwnd, RECT& rect);
// All top-level windows, bottom to top (with the lock held).
std::vector<std::shared_ptr<Window>> windows_locked();

} // namespace zt::sys
