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
#include <utility>

using namespace zt::sys;
using zt::trace::handle;
using zt::trace::kMsg;
using zt::trace::kShell;
using zt::trace::kWin;

namespace {

LRESULT call_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto window = find_window(hwnd);
    if (!window)
        return fail<LRESULT>(ERROR_INVALID_WINDOW_HANDLE, 0);
    return window->proc(hwnd, message, wParam, lParam);
}

// A window's frame, or nullopt with the last error for a handle that is no
// window: what the rectangle calls read.
std::optional<RECT> frame_of(HWND hwnd) {
    Locked locked = Kernel::get().lock();
    if (auto window = find_window(locked, hwnd))
        return window->state(locked).rect;
    return fail<std::optional<RECT>>(ERROR_INVALID_WINDOW_HANDLE, std::nullopt);
}

// The rectangle calls' common shape: `rect` gets the frame as `place` gives it.
BOOL copy_frame(const char* call, HWND hwnd, LPRECT rect, RECT (*place)(const RECT&)) {
    const auto frame = frame_of(hwnd);
    const BOOL result = frame && rect ? TRUE : FALSE;
    if (result)
        *rect = place(*frame);
    ZT_TRACE(kWin, "%s(%s) = %d %s", call, handle(hwnd).c_str(), result,
             zt::trace::rect(result ? rect : nullptr).c_str());
    return frame && !rect ? fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE) : result;
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

// GWLP_USERDATA, the one index the platform keeps: its old value (with
// `value`: set), or nullopt with the last error.
std::optional<LONG_PTR> user_data(HWND hwnd, int index, const LONG_PTR* value) {
    Locked locked = Kernel::get().lock();
    auto window = find_window(locked, hwnd);
    if (!window)
        return fail<std::optional<LONG_PTR>>(ERROR_INVALID_WINDOW_HANDLE, std::nullopt);
    if (index != GWLP_USERDATA)
        return fail<std::optional<LONG_PTR>>(ERROR_INVALID_PARAMETER, std::nullopt);
    LONG_PTR& data = window->state(locked).userData;
    return value ? std::exchange(data, *value) : data;
}

} // namespace

// ----- classes ----------------------------------------------------------------

namespace {

ATOM register_class(const WNDCLASSW* windowClass) {
    if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr || is_int_name(windowClass->lpszClassName) ||
        windowClass->lpszClassName[0] == 0)
        return fail<ATOM>(ERROR_INVALID_PARAMETER, 0);
    const ATOM atom = WindowManager::get().register_class(Kernel::get().lock(), view(windowClass->lpszClassName),
                                                          windowClass->lpfnWndProc, windowClass->hInstance);
    return atom != 0 ? atom : fail<ATOM>(ERROR_CLASS_ALREADY_EXISTS, 0);
}

} // namespace

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
    const ATOM atom = register_class(windowClass);
    ZT_TRACE(kWin, "RegisterClassW(%s) = %#x",
             zt::trace::quote(windowClass ? windowClass->lpszClassName : nullptr).c_str(), atom);
    return atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
    const DWORD error = is_int_name(className)
                            ? ERROR_CLASS_DOES_NOT_EXIST
                            : WindowManager::get().unregister_class(Kernel::get().lock(), view(className));
    ZT_TRACE(kWin, "UnregisterClassW(%s) = %d", zt::trace::quote(className).c_str(), error == ERROR_SUCCESS);
    return error == ERROR_SUCCESS ? TRUE : fail<BOOL>(error, FALSE);
}

// ----- windows ----------------------------------------------------------------

namespace {

// The window CreateWindowExW makes, before it hears of it; null with the last
// error set.
std::shared_ptr<Window> make_window(LPCWSTR className, const WindowParams& params) {
    const DWORD self = Kernel::get().this_thread().id;
    Locked locked = Kernel::get().lock();
    WindowManager& wm = WindowManager::get();
    const WindowClass* wc = !is_int_name(className) ? wm.find_class(locked, view(className)) : nullptr;
    if (!wc)
        return fail<std::shared_ptr<Window>>(ERROR_CANNOT_FIND_WND_CLASS, nullptr);
    if (params.parent && !find_window(locked, params.parent))
        return fail<std::shared_ptr<Window>>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    return wm.create(locked, *wc, params, self); // null when the handle table is full; its error is set
}

} // namespace

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, void* menu, HINSTANCE instance, LPVOID param) {
    (void)menu;
    (void)param;
    Kernel& k = Kernel::get();
    const std::shared_ptr<Window> window = make_window(
        className, WindowParams{exStyle, view(windowName), style, frame_of(x, y, width, height), parent, instance});
    if (!window) {
        ZT_TRACE(kMsg, "CreateWindowExW(%s, %d, %d, %d, %d) = NULL", zt::trace::quote(className).c_str(), x, y, width,
                 height);
        return nullptr;
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
    DWORD error = ERROR_SUCCESS;
    if (!window)
        error = ERROR_INVALID_WINDOW_HANDLE;
    else if (window->threadId != Kernel::get().this_thread().id)
        error = ERROR_ACCESS_DENIED;
    // Traced before the window hears of it, so its last messages follow.
    ZT_TRACE(kWin, "DestroyWindow(%s) = %d", handle(hwnd).c_str(), error == ERROR_SUCCESS);
    if (error != ERROR_SUCCESS)
        return fail<BOOL>(error, FALSE);
    window->proc(hwnd, WM_DESTROY, 0, 0);
    window->proc(hwnd, WM_NCDESTROY, 0, 0);
    WindowManager::get().remove(Kernel::get().lock(), hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    const BOOL result = find_window(hwnd) ? TRUE : FALSE;
    ZT_TRACE(kWin, "IsWindow(%s) = %d", handle(hwnd).c_str(), result);
    return result;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ZT_TRACE(kWin, "DefWindowProcW(%s, %#x, %#x, %#x) = %d", handle(hwnd).c_str(), message, wParam,
             static_cast<unsigned>(lParam), message == WM_NCCREATE ? 1 : 0);
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
        window = find_window(locked, hwnd);
        if (window)
            wasVisible = WindowManager::get().show(locked, *window, visible);
    }
    if (!wasVisible) {
        ZT_TRACE(kShell, "ShowWindow(%s, %s) = 0", zt::trace::handle(hwnd).c_str(), show_name(command));
        return fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
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
    BOOL result = FALSE;
    {
        Locked locked = Kernel::get().lock();
        auto window = find_window(locked, hwnd);
        result = window && window->state(locked).visible ? TRUE : FALSE;
    }
    ZT_TRACE(kWin, "IsWindowVisible(%s) = %d", handle(hwnd).c_str(), result);
    return result;
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
    auto window = find_window(hwnd);
    const DWORD threadId = window ? window->threadId : 0;
    ZT_TRACE(kWin, "GetWindowThreadProcessId(%s) = %u", handle(hwnd).c_str(), threadId);
    if (!window)
        return fail<DWORD>(ERROR_INVALID_WINDOW_HANDLE, 0);
    if (processId)
        *processId = 1;
    return threadId;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    const LONG_PTR old = user_data(hwnd, index, &value).value_or(0);
    ZT_TRACE(kWin, "SetWindowLongPtrW(%s, %d, %#lx) = %#lx", handle(hwnd).c_str(), index,
             static_cast<unsigned long>(value), static_cast<unsigned long>(old));
    return old;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    const LONG_PTR value = user_data(hwnd, index, nullptr).value_or(0);
    ZT_TRACE(kWin, "GetWindowLongPtrW(%s, %d) = %#lx", handle(hwnd).c_str(), index, static_cast<unsigned long>(value));
    return value;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    return copy_frame("GetClientRect", hwnd, rect, zt::gfx::client_rect);
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    return copy_frame("GetWindowRect", hwnd, rect, [](const RECT& frame) { return frame; });
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    const RECT frame = frame_of(x, y, width, height);
    std::shared_ptr<Window> window;
    {
        Locked locked = Kernel::get().lock();
        window = find_window(locked, hwnd);
        if (window)
            WindowManager::get().move(locked, *window, frame, repaint != 0);
    }
    ZT_TRACE(kWin, "MoveWindow(%s, %s) = %d", handle(hwnd).c_str(), zt::trace::rect(&frame).c_str(), window ? 1 : 0);
    if (!window)
        return fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    call_proc(hwnd, WM_SIZE, 0, MAKELPARAM(width, height));
    return TRUE;
}

namespace {

int copy_class_name(HWND hwnd, LPWSTR className, int maxCount) {
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

} // namespace

int GetClassNameW(HWND hwnd, LPWSTR className, int maxCount) {
    const int n = copy_class_name(hwnd, className, maxCount);
    ZT_TRACE(kWin, "GetClassNameW(%s) = %d %s", handle(hwnd).c_str(), n,
             zt::trace::quote(n > 0 ? className : nullptr, n).c_str());
    return n;
}

// ----- messages -------------------------------------------------------------

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto window = find_window(hwnd);
    if (!window) {
        ZT_TRACE(kMsg, "SendMessageW(%s, %#x, %#x, %#x) = 0", zt::trace::handle(hwnd).c_str(), message, wParam,
                 static_cast<unsigned>(lParam));
        return fail<LRESULT>(ERROR_INVALID_WINDOW_HANDLE, 0);
    }
    if (window->threadId == Kernel::get().this_thread().id) {
        // Traced when it returns, with its result; nested calls come first.
        const LRESULT result = window->proc(hwnd, message, wParam, lParam);
        ZT_TRACE(kMsg, "SendMessageW(%s, %#x, %#x, %#x) = %d", zt::trace::handle(hwnd).c_str(), message, wParam,
                 static_cast<unsigned>(lParam), result);
        return result;
    }
    const SendResult sent = send_across(hwnd, window->threadId, message, wParam, lParam, kForever);
    ZT_TRACE(kShell, "SendMessageW(%s, %#x, %#x, %#x) = %d", zt::trace::quote(window->className.c_str()).c_str(),
             message, wParam, static_cast<unsigned>(lParam), sent.value);
    return sent.answered() ? sent.value : fail(ERROR_INVALID_WINDOW_HANDLE, sent.value);
}

LRESULT SendMessageTimeoutW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                            DWORD* result) {
    (void)flags; // SMTO_NORMAL: the caller handles incoming sends while it waits
    auto window = find_window(hwnd);
    if (!window) {
        ZT_TRACE(kShell, "SendMessageTimeoutW(%s, %#x, %#x, %#x, %u) = 0", zt::trace::handle(hwnd).c_str(), message,
                 wParam, static_cast<unsigned>(lParam), timeout);
        return fail<LRESULT>(ERROR_INVALID_WINDOW_HANDLE, 0);
    }
    Kernel& k = Kernel::get();
    SendResult sent;
    if (window->threadId == k.this_thread().id) {
        sent = {SendResult::Outcome::Answered, window->proc(hwnd, message, wParam, lParam)};
    } else {
        const Tick deadline = k.now(k.lock()) + timeout;
        sent = send_across(hwnd, window->threadId, message, wParam, lParam, deadline);
    }
    if (sent.answered() && result)
        *result = static_cast<DWORD>(sent.value);
    const LRESULT r = sent.answered() ? 1 : 0;
    ZT_TRACE(kShell, "SendMessageTimeoutW(%s, %#x, %#x, %#x, %u) = %d",
             zt::trace::quote(window->className.c_str()).c_str(), message, wParam, static_cast<unsigned>(lParam),
             timeout, r);
    if (sent.outcome == SendResult::Outcome::TimedOut)
        return fail<LRESULT>(ERROR_TIMEOUT, r);
    return sent.outcome == SendResult::Outcome::WindowGone ? fail<LRESULT>(ERROR_INVALID_WINDOW_HANDLE, r) : r;
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const DWORD self = Kernel::get().this_thread().id;
    auto window = hwnd != nullptr ? find_window(hwnd) : nullptr;
    if (hwnd != nullptr && !window) {
        ZT_TRACE(kWin, "PostMessageW(%s, %#x, %#x, %#x) = 0", handle(hwnd).c_str(), message, wParam,
                 static_cast<unsigned>(lParam));
        return fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    }
    const DWORD target = window ? window->threadId : self;
    // A post to another thread's window (the shell's) is part of the
    // conversation with the phone, traced before that thread can answer;
    // one to the caller's own queue is routine.
    if (target != self)
        ZT_TRACE(kShell, "PostMessageW(%s, %#x, %#x, %#x) = 1", zt::trace::quote(window->className.c_str()).c_str(),
                 message, wParam, static_cast<unsigned>(lParam));
    const bool posted = post_to_thread(target, hwnd, message, wParam, lParam);
    if (target == self)
        ZT_TRACE(kWin, "PostMessageW(%s, %#x, %#x, %#x) = %d", handle(hwnd).c_str(), message, wParam,
                 static_cast<unsigned>(lParam), posted);
    return posted ? TRUE : fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool posted = post_to_thread(threadId, nullptr, message, wParam, lParam);
    ZT_TRACE(kWin, "PostThreadMessageW(%u, %#x, %#x, %#x) = %d", threadId, message, wParam,
             static_cast<unsigned>(lParam), posted);
    return posted ? TRUE : fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
}

namespace {

UINT register_message(LPCWSTR name) {
    if (!zt::host::registration_allowed(name))
        return 0;
    if (is_int_name(name) || name[0] == 0)
        return fail<UINT>(ERROR_INVALID_PARAMETER, 0);
    return register_message_name(view(name));
}

// The message a loop call returns, spelled for its trace line.
void trace_taken(const char* call, const MSG* msg, BOOL result) {
    if (msg == nullptr || result <= 0)
        ZT_TRACE(kWin, "%s() = %d", call, result);
    else
        ZT_TRACE(kWin, "%s() = %d {%s, %#x, %#x, %#x}", call, result, handle(msg->hwnd).c_str(), msg->message,
                 msg->wParam, static_cast<unsigned>(msg->lParam));
}

} // namespace

UINT RegisterWindowMessageW(LPCWSTR name) {
    const UINT number = register_message(name);
    ZT_TRACE(kWin, "RegisterWindowMessageW(%s) = %#x", zt::trace::quote(name).c_str(), number);
    return number;
}

BOOL GetMessageW(LPMSG msg, HWND, UINT, UINT) {
    if (msg == nullptr) {
        trace_taken("GetMessageW", msg, -1);
        return fail<BOOL>(ERROR_INVALID_PARAMETER, -1);
    }
    next_message(*msg, true, true);
    const BOOL result = msg->message == WM_QUIT ? FALSE : TRUE;
    trace_taken("GetMessageW", msg, result);
    return result;
}

BOOL PeekMessageW(LPMSG msg, HWND, UINT, UINT, UINT removeMessage) {
    if (msg == nullptr) {
        trace_taken("PeekMessageW", msg, FALSE);
        return fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    const BOOL result = next_message(*msg, false, (removeMessage & PM_REMOVE) != 0) ? TRUE : FALSE;
    trace_taken("PeekMessageW", msg, result);
    return result;
}

BOOL TranslateMessage(const MSG* msg) {
    const BOOL result = msg != nullptr && msg->message == WM_KEYDOWN ? TRUE : FALSE;
    ZT_TRACE(kWin, "TranslateMessage(%#x) = %d", msg ? msg->message : 0u, result);
    return result;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr) {
        ZT_TRACE(kWin, "DispatchMessageW(%s) = 0", msg ? "NULL window" : "NULL");
        return 0;
    }
    auto window = find_window(msg->hwnd);
    if (!window) {
        ZT_TRACE(kWin, "DispatchMessageW(%s, %#x) = 0", handle(msg->hwnd).c_str(), msg->message);
        return fail<LRESULT>(ERROR_INVALID_WINDOW_HANDLE, 0);
    }
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
    ZT_TRACE(kWin, "PostQuitMessage(%d)", exitCode);
    post_quit(exitCode);
}

// ----- timers ---------------------------------------------------------------

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC timerProc) {
    Kernel& k = Kernel::get();
    DWORD owner = k.this_thread().id;
    Locked locked = k.lock();
    if (hwnd != nullptr) {
        auto window = find_window(locked, hwnd);
        if (!window) {
            ZT_TRACE(kWin, "SetTimer(%s, %lu, %u) = 0", handle(hwnd).c_str(), static_cast<unsigned long>(id), elapse);
            return fail<UINT_PTR>(ERROR_INVALID_WINDOW_HANDLE, 0);
        }
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
    ZT_TRACE(kWin, "KillTimer(%s, %lu) = %d", handle(hwnd).c_str(), static_cast<unsigned long>(id), killed);
    return killed ? TRUE : fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
}

// ----- painting state -------------------------------------------------------

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL) {
    std::shared_ptr<Window> window;
    bool marked = false;
    {
        Locked locked = Kernel::get().lock();
        window = find_window(locked, hwnd);
        marked = window && WindowManager::get().invalidate(locked, *window, rect);
    }
    ZT_TRACE(kWin, "InvalidateRect(%s, %s) = %d", handle(hwnd).c_str(), zt::trace::rect(rect).c_str(), window ? 1 : 0);
    if (!window)
        return fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (marked)
        wake_host_if_needed(window->threadId);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT*) {
    const bool known = find_window(hwnd) != nullptr;
    ZT_TRACE(kWin, "ValidateRect(%s) = %d", handle(hwnd).c_str(), known);
    if (!known)
        return fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    RECT ignored;
    take_update_rect(hwnd, ignored);
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
    BOOL result = FALSE;
    {
        Locked locked = Kernel::get().lock();
        if (auto window = find_window(locked, hwnd)) {
            const Window::State& s = window->state(locked);
            if (rect)
                *rect = s.dirty ? s.dirtyRect : RECT{0, 0, 0, 0};
            result = s.dirty ? TRUE : FALSE;
        }
    }
    ZT_TRACE(kWin, "GetUpdateRect(%s) = %d %s", handle(hwnd).c_str(), result,
             zt::trace::rect(result ? rect : nullptr).c_str());
    return result;
}

BOOL UpdateWindow(HWND hwnd) {
    std::shared_ptr<Window> window;
    bool dirty = false;
    {
        Locked locked = Kernel::get().lock();
        window = find_window(locked, hwnd);
        dirty = window && window->state(locked).dirty && window->state(locked).visible;
    }
    ZT_TRACE(kWin, "UpdateWindow(%s) = %d", handle(hwnd).c_str(), window ? 1 : 0);
    if (!window)
        return fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (dirty)
        SendMessageW(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}
