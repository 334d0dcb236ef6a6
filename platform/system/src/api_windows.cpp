// The Win32 window, message and timer calls: each checks its arguments,
// sets the last error on failure, traces, and calls the window manager,
// the timers or the message code.
#include "api.h"
#include "host_api.h"
#include "messages.h"
#include "timers.h"
#include "window_manager.h"
#include "zt/gfx/rect.h"
#include "zt/sys/message_names.h"
#include "zt/sys/trace.h"

#include <algorithm>
#include <optional>
#include <type_traits>
#include <utility>

using namespace zt::sys;
using zt::trace::kMsg;
using zt::trace::kShell;

namespace {

LRESULT call_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto window = find_window(hwnd);
    if (!window)
        return fail<LRESULT>(ERROR_INVALID_WINDOW_HANDLE, 0);
    return window->proc(hwnd, message, wParam, lParam);
}

const char* show_name(int command) {
    switch (command) {
    case SW_HIDE:
        return "SW_HIDE";
    case SW_SHOW:
        return "SW_SHOW";
    case SW_SHOWNORMAL:
        return "SW_SHOWNORMAL";
    default:
        return "?";
    }
}

RECT frame_of(int x, int y, int width, int height) {
    return RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
}

// Runs f(locked, window) under the kernel lock for a known window; nullopt
// and ERROR_INVALID_WINDOW_HANDLE for an unknown one. The last error is set
// after the lock is let go: a thread's first SetLastError registers it,
// which takes the lock.
template <typename F> auto with_window(HWND hwnd, F&& f) -> std::optional<std::invoke_result_t<F, Locked&, Window&>> {
    {
        Locked locked = Kernel::get().lock();
        if (auto window = WindowManager::get().find(locked, hwnd))
            return f(locked, *window);
    }
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return std::nullopt;
}

} // namespace

// ----- classes ----------------------------------------------------------------

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
    if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr || is_int_name(windowClass->lpszClassName) ||
        windowClass->lpszClassName[0] == 0)
        return fail<ATOM>(ERROR_INVALID_PARAMETER, 0);
    const ATOM atom = WindowManager::get().register_class(Kernel::get().lock(), view(windowClass->lpszClassName),
                                                          windowClass->lpfnWndProc, windowClass->hInstance);
    return atom != 0 ? atom : fail<ATOM>(ERROR_CLASS_ALREADY_EXISTS, 0);
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
    if (is_int_name(className))
        return fail<BOOL>(ERROR_CLASS_DOES_NOT_EXIST, FALSE);
    const DWORD error = WindowManager::get().unregister_class(Kernel::get().lock(), view(className));
    return error == ERROR_SUCCESS ? TRUE : fail<BOOL>(error, FALSE);
}

// ----- windows ----------------------------------------------------------------

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, void* menu, HINSTANCE instance, LPVOID param) {
    (void)menu;
    (void)param;
    Kernel& k = Kernel::get();
    const DWORD self = k.this_thread().id;
    std::shared_ptr<Window> window;
    {
        Locked locked = k.lock();
        WindowManager& wm = WindowManager::get();
        const WindowClass* wc = !is_int_name(className) ? wm.find_class(locked, view(className)) : nullptr;
        if (!wc)
            return fail<HWND>(ERROR_CANNOT_FIND_WND_CLASS, nullptr);
        if (parent && !wm.find(locked, parent))
            return fail<HWND>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
        const WindowParams params{exStyle, view(windowName), style, frame_of(x, y, width, height), parent, instance};
        window = wm.create(locked, *wc, params, self);
        if (!window)
            return nullptr; // the handle table is full; its error is set
    }
    HWND hwnd = window->hwnd;
    // The creation record is a pointer, which a 32-bit lParam cannot carry;
    // WM_NCCREATE and WM_CREATE arrive with lParam 0 and a window procedure
    // that needs its object keeps it aside before calling CreateWindowExW.
    ZT_TRACE(kMsg, "CreateWindowExW(%s, %d, %d, %d, %d) = %s", zt::trace::quote(className).c_str(), x, y, width, height,
             zt::trace::handle(hwnd).c_str());
    const bool ok = window->proc(hwnd, WM_NCCREATE, 0, 0) != 0 && window->proc(hwnd, WM_CREATE, 0, 0) != -1;
    if (!ok) {
        DestroyWindow(hwnd);
        return fail<HWND>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    }
    if (!find_window(hwnd))
        return nullptr; // destroyed during creation
    if (style & WS_VISIBLE) {
        // Born visible: no ShowWindow call of the caller's to report.
        WindowManager::get().show(k.lock(), *window, true);
        window->proc(hwnd, WM_SHOWWINDOW, 1, 0);
    }
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
    auto window = find_window(hwnd);
    if (!window)
        return fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (window->threadId != Kernel::get().this_thread().id)
        return fail<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    window->proc(hwnd, WM_DESTROY, 0, 0);
    window->proc(hwnd, WM_NCDESTROY, 0, 0);
    WindowManager::get().remove(Kernel::get().lock(), hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    return find_window(hwnd) ? TRUE : FALSE;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_NCCREATE:
        return 1;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_PAINT: {
        RECT ignored;
        take_update_rect(hwnd, ignored);
        return 0;
    }
    default:
        return 0;
    }
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    HWND found = nullptr;
    // An atom names no class here, so it finds nothing.
    if (!(className && is_int_name(className))) {
        const std::u16string_view classView = view(className);
        const std::u16string_view titleView = view(windowName);
        found = WindowManager::get().find_top_level(Kernel::get().lock(), className ? &classView : nullptr,
                                                    windowName ? &titleView : nullptr);
    }
    ZT_TRACE(kShell, "FindWindowW(%s, %s) = %s", zt::trace::quote(className).c_str(),
             zt::trace::quote(windowName).c_str(), zt::trace::handle(found).c_str());
    return found;
}

BOOL ShowWindow(HWND hwnd, int command) {
    const bool visible = command != SW_HIDE;
    std::shared_ptr<Window> window;
    std::optional<bool> wasVisible;
    {
        Locked locked = Kernel::get().lock();
        window = WindowManager::get().find(locked, hwnd);
        if (window)
            wasVisible = WindowManager::get().show(locked, *window, visible);
    }
    if (!wasVisible) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        ZT_TRACE(kShell, "ShowWindow(%s, %s) = 0", zt::trace::handle(hwnd).c_str(), show_name(command));
        return FALSE;
    }
    ZT_TRACE(kShell, "ShowWindow(%s %s, %s) = %d", zt::trace::handle(hwnd).c_str(),
             zt::trace::quote(window->className.c_str()).c_str(), show_name(command), *wasVisible ? 1 : 0);
    // WM_SHOWWINDOW goes only to the caller's own windows: the shell's windows
    // are shown and hidden from outside without waiting on their thread.
    if (window->threadId == Kernel::get().this_thread().id && *wasVisible != visible)
        call_proc(hwnd, WM_SHOWWINDOW, visible ? 1 : 0, 0);
    return *wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
    Locked locked = Kernel::get().lock();
    auto window = WindowManager::get().find(locked, hwnd);
    return window && window->state(locked).visible ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
    auto window = find_window(hwnd);
    if (!window)
        return fail<DWORD>(ERROR_INVALID_WINDOW_HANDLE, 0);
    if (processId)
        *processId = 1;
    return window->threadId;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    auto old = with_window(hwnd, [&](Locked& locked, Window& w) -> std::optional<LONG_PTR> {
        if (index != GWLP_USERDATA)
            return std::nullopt;
        return std::exchange(w.state(locked).userData, value);
    });
    if (!old)
        return 0;
    return *old ? **old : fail<LONG_PTR>(ERROR_INVALID_PARAMETER, 0);
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    auto value = with_window(hwnd, [&](Locked& locked, Window& w) { return w.state(locked).userData; });
    if (!value)
        return 0;
    return index == GWLP_USERDATA ? *value : fail<LONG_PTR>(ERROR_INVALID_PARAMETER, 0);
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    auto frame = with_window(hwnd, [](Locked& locked, Window& w) { return w.state(locked).rect; });
    if (!frame)
        return FALSE;
    if (!rect)
        return fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    *rect = zt::gfx::client_rect(*frame);
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    auto frame = with_window(hwnd, [](Locked& locked, Window& w) { return w.state(locked).rect; });
    if (!frame)
        return FALSE;
    if (!rect)
        return fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    *rect = *frame;
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    const RECT frame = frame_of(x, y, width, height);
    if (!with_window(hwnd, [&](Locked& locked, Window& w) {
            WindowManager::get().move(locked, w, frame, repaint != 0);
            return true;
        }))
        return FALSE;
    call_proc(hwnd, WM_SIZE, 0, MAKELPARAM(width, height));
    return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR className, int maxCount) {
    auto window = find_window(hwnd);
    if (!window)
        return fail(ERROR_INVALID_WINDOW_HANDLE, 0);
    if (!className || maxCount <= 0)
        return fail(ERROR_INVALID_PARAMETER, 0);
    const int n = std::min(static_cast<int>(window->className.size()), maxCount - 1);
    std::copy_n(window->className.data(), n, className);
    className[n] = 0;
    return n;
}

// ----- messages -------------------------------------------------------------

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto window = find_window(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        ZT_TRACE(kMsg, "SendMessageW(%s, %#x, %#x, %#x) = 0", zt::trace::handle(hwnd).c_str(), message, wParam,
                 static_cast<unsigned>(lParam));
        return 0;
    }
    if (window->threadId == Kernel::get().this_thread().id) {
        // Traced when it returns, with its result; nested calls come first.
        const LRESULT result = window->proc(hwnd, message, wParam, lParam);
        ZT_TRACE(kMsg, "SendMessageW(%s, %#x, %#x, %#x) = %d", zt::trace::handle(hwnd).c_str(), message, wParam,
                 static_cast<unsigned>(lParam), result);
        return result;
    }
    const SendResult sent = send_across(hwnd, window->threadId, message, wParam, lParam, kForever);
    if (!sent.answered())
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    ZT_TRACE(kShell, "SendMessageW(%s, %#x, %#x, %#x) = %d", zt::trace::quote(window->className.c_str()).c_str(),
             message, wParam, static_cast<unsigned>(lParam), sent.value);
    return sent.value;
}

LRESULT SendMessageTimeoutW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                            DWORD* result) {
    (void)flags; // SMTO_NORMAL: the caller handles incoming sends while it waits
    auto window = find_window(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        ZT_TRACE(kShell, "SendMessageTimeoutW(%s, %#x, %#x, %#x, %u) = 0", zt::trace::handle(hwnd).c_str(), message,
                 wParam, static_cast<unsigned>(lParam), timeout);
        return 0;
    }
    Kernel& k = Kernel::get();
    SendResult sent;
    if (window->threadId == k.this_thread().id) {
        sent = {SendResult::Outcome::Answered, window->proc(hwnd, message, wParam, lParam)};
    } else {
        const Tick deadline = k.now(k.lock()) + timeout;
        sent = send_across(hwnd, window->threadId, message, wParam, lParam, deadline);
        if (!sent.answered())
            SetLastError(sent.outcome == SendResult::Outcome::TimedOut ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
    }
    if (sent.answered() && result)
        *result = static_cast<DWORD>(sent.value);
    const LRESULT r = sent.answered() ? 1 : 0;
    ZT_TRACE(kShell, "SendMessageTimeoutW(%s, %#x, %#x, %#x, %u) = %d",
             zt::trace::quote(window->className.c_str()).c_str(), message, wParam, static_cast<unsigned>(lParam),
             timeout, r);
    return r;
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const DWORD self = Kernel::get().this_thread().id;
    DWORD target = self;
    if (hwnd != nullptr) {
        auto window = find_window(hwnd);
        if (!window)
            return fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
        target = window->threadId;
        if (target != self)
            ZT_TRACE(kShell, "PostMessageW(%s, %#x, %#x, %#x) = 1", zt::trace::quote(window->className.c_str()).c_str(),
                     message, wParam, static_cast<unsigned>(lParam));
    }
    return post_to_thread(target, hwnd, message, wParam, lParam) ? TRUE : fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    return post_to_thread(threadId, nullptr, message, wParam, lParam) ? TRUE
                                                                      : fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
}

UINT RegisterWindowMessageW(LPCWSTR name) {
    if (!zt::host::registration_allowed(name))
        return 0;
    if (is_int_name(name) || name[0] == 0)
        return fail<UINT>(ERROR_INVALID_PARAMETER, 0);
    return register_message_name(view(name));
}

BOOL GetMessageW(LPMSG msg, HWND, UINT, UINT) {
    if (msg == nullptr)
        return fail<BOOL>(ERROR_INVALID_PARAMETER, -1);
    next_message(*msg, true, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(LPMSG msg, HWND, UINT, UINT, UINT removeMessage) {
    if (msg == nullptr)
        return fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    return next_message(*msg, false, (removeMessage & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
    return msg != nullptr && msg->message == WM_KEYDOWN ? TRUE : FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr)
        return 0;
    auto window = find_window(msg->hwnd);
    if (!window)
        return fail<LRESULT>(ERROR_INVALID_WINDOW_HANDLE, 0);
    if (msg->message == WM_TIMER) {
        if (TIMERPROC proc = Timers::get().proc_of(Kernel::get().lock(), msg->hwnd, msg->wParam)) {
            proc(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
            return 0;
        }
    }
    const LRESULT result = window->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    ZT_TRACE(kMsg, "DispatchMessageW(%s, %#x, %#x, %#x) = %d", zt::trace::handle(msg->hwnd).c_str(), msg->message,
             msg->wParam, static_cast<unsigned>(msg->lParam), result);
    return result;
}

void PostQuitMessage(int exitCode) {
    post_quit(exitCode);
}

// ----- timers ---------------------------------------------------------------

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC timerProc) {
    Kernel& k = Kernel::get();
    DWORD owner = k.this_thread().id;
    Locked locked = k.lock();
    if (hwnd != nullptr) {
        auto window = WindowManager::get().find(locked, hwnd);
        if (!window)
            return fail<UINT_PTR>(ERROR_INVALID_WINDOW_HANDLE, 0);
        owner = window->threadId;
    }
    const UINT period = std::max(elapse, Timers::kMinimumPeriod);
    id = Timers::get().set(locked, hwnd, id, period, k.now(locked), timerProc, owner);
    ZT_TRACE(kMsg, "SetTimer(%s, %lu, %u) = %lu", zt::trace::handle(hwnd).c_str(), static_cast<unsigned long>(id),
             period, static_cast<unsigned long>(hwnd ? 1 : id));
    // The timer changes only its owner's next deadline.
    k.notify_thread(locked, owner);
    return hwnd ? 1 : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    const bool killed = Timers::get().kill(Kernel::get().lock(), hwnd, id);
    return killed ? TRUE : fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
}

// ----- painting state -------------------------------------------------------

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL) {
    // The owner's thread when something was marked (thread ids start at 1).
    const auto owner = with_window(hwnd, [&](Locked& locked, Window& w) -> DWORD {
        return WindowManager::get().invalidate(locked, w, rect) ? w.threadId : 0;
    });
    if (!owner)
        return FALSE;
    if (*owner != 0)
        wake_host_if_needed(*owner);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT*) {
    if (!IsWindow(hwnd))
        return fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    RECT ignored;
    take_update_rect(hwnd, ignored);
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
    auto window = find_window(hwnd);
    if (!window)
        return FALSE;
    Locked locked = Kernel::get().lock();
    const Window::State& s = window->state(locked);
    if (rect)
        *rect = s.dirty ? s.dirtyRect : RECT{0, 0, 0, 0};
    return s.dirty ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd) {
    auto window = find_window(hwnd);
    if (!window)
        return fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    bool dirty = false;
    {
        Locked locked = Kernel::get().lock();
        dirty = window->state(locked).dirty && window->state(locked).visible;
    }
    if (dirty)
        SendMessageW(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}
