// Helpers shared by the framework's tests: windows that record what reaches
// them, pumping the calling thread's messages, and reading window pixels.
#pragma once

#include "zt/framework.h"
#include "zt/gfx/gdi.h"
#include "zt/platform.h"

#include <functional>
#include <vector>

namespace fwtest {

// A sentinel no image or fill of the tests produces.
constexpr std::uint32_t kUnpainted = 0xFF13579Bu;

struct Call {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct Mouse {
    UINT message;
    UINT keys;
    int x;
    int y;
    bool operator==(const Mouse&) const = default;
};

// A window of the framework that records its messages, handler calls and
// paints.
class RecordingWnd : public CMzWndEx {
  public:
    LPCWSTR GetWindowClassName() override { return TEXT("FwRecordingWnd"); }
    LRESULT MzDefWndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        calls.push_back({message, wParam, lParam});
        return CMzWndEx::MzDefWndProc(message, wParam, lParam);
    }
    void OnLButtonDown(UINT keys, int x, int y) override { mouse.push_back({WM_LBUTTONDOWN, keys, x, y}); }
    void OnLButtonUp(UINT keys, int x, int y) override { mouse.push_back({WM_LBUTTONUP, keys, x, y}); }
    void OnLButtonDblClk(UINT keys, int x, int y) override { mouse.push_back({WM_LBUTTONDBLCLK, keys, x, y}); }
    void OnMouseMove(UINT keys, int x, int y) override { mouse.push_back({WM_MOUSEMOVE, keys, x, y}); }
    void OnTimer(UINT_PTR id) override {
        timers.push_back(id);
        if (onTimer)
            onTimer(id);
    }
    BOOL OnInitDialog() override {
        ++initCalls;
        hwndAtInit = m_hWnd;
        widthAtInit = GetWidth();
        heightAtInit = GetHeight();
        if (onInit)
            onInit();
        return initResult;
    }
    void PaintWin(HDC dc, RECT* update) override {
        paints.push_back(update ? *update : RECT{-1, -1, -1, -1});
        CMzWndEx::PaintWin(dc, update);
    }

    // True when a message reached MzDefWndProc.
    bool saw(UINT message) const {
        for (const auto& c : calls)
            if (c.message == message)
                return true;
        return false;
    }

    std::vector<Call> calls;
    std::vector<Mouse> mouse;
    std::vector<UINT_PTR> timers;
    std::vector<RECT> paints;
    std::function<void(UINT_PTR)> onTimer;
    std::function<void()> onInit;
    BOOL initResult = TRUE;
    int initCalls = 0;
    HWND hwndAtInit = nullptr;
    int widthAtInit = -1;
    int heightAtInit = -1;
};

// Runs every message already waiting for the calling thread; the clock does
// not move.
inline void pump_pending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // leave it for the caller to see
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Runs the calling thread's messages until `done()` holds or `ms` virtual
// milliseconds have passed. Returns done()'s last value.
inline bool pump_until(const std::function<bool()>& done, DWORD ms = 1000) {
    const UINT_PTR guard = SetTimer(nullptr, 0, ms, nullptr);
    MSG msg;
    bool result = done();
    while (!result && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == WM_TIMER && msg.wParam == guard)
            break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        result = done();
    }
    KillTimer(nullptr, guard);
    return result;
}

// The window's pixels, filled with the sentinel so that what a paint leaves
// untouched can be told apart.
inline std::shared_ptr<zt::gfx::Surface> clear_window(HWND hwnd) {
    auto surface = zt::gfx::window_surface(hwnd);
    if (surface)
        surface->fill(kUnpainted);
    return surface;
}

// Paints the whole window at once.
inline void repaint(CMzWnd& wnd) {
    wnd.Invalidate();
    wnd.UpdateWindow();
}

inline int red(std::uint32_t p) {
    return static_cast<int>((p >> 16) & 0xFF);
}
inline int green(std::uint32_t p) {
    return static_cast<int>((p >> 8) & 0xFF);
}
inline int blue(std::uint32_t p) {
    return static_cast<int>(p & 0xFF);
}

} // namespace fwtest
