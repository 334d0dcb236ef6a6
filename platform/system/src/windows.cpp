// Window classes, windows, message queues, timers and painting state.
//
// Everything here is guarded by the kernel lock; window procedures, timer
// procedures and the host are called without it.
#include "zt/sys/windows.h"
#include "zt/sys/message_names.h"

#include "zt/sys/trace.h"

#include <algorithm>
#include <map>
#include <utility>

namespace zt::sys {

namespace {

struct WindowClass {
    std::u16string name;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT period = 0;
    Tick due = 0;
    TIMERPROC proc = nullptr;
    DWORD threadId = 0;
};

constexpr UINT kMinimumTimerPeriod = 10;
constexpr std::uint32_t kFirstWindow = 0x00010010;

struct WindowManager {
    std::vector<WindowClass> classes;
    std::map<std::uint32_t, std::shared_ptr<Window>> windows;
    std::uint32_t nextWindow = kFirstWindow;
    std::vector<Timer> timers;
    UINT_PTR nextThreadTimer = 1;
    std::vector<std::u16string> registeredMessages;
};

WindowManager& manager() {
    static WindowManager* const instance = new WindowManager();
    return *instance;
}

std::u16string_view view(LPCWSTR text) {
    return text ? std::u16string_view(text, wide_length(text)) : std::u16string_view();
}

bool is_atom(LPCWSTR name) {
    return reinterpret_cast<std::uintptr_t>(name) < 0x10000;
}

WindowClass* find_class_locked(std::u16string_view name) {
    for (auto& c : manager().classes)
        if (equal_ignore_case(c.name, name))
            return &c;
    return nullptr;
}

MessageQueue& queue_of(ThreadRecord& record) {
    if (!record.queue)
        record.queue = std::make_shared<MessageQueue>();
    return *record.queue;
}

MessageQueue* queue_of_thread_locked(DWORD threadId) {
    ThreadRecord* record = Kernel::get().find_thread(threadId);
    return record ? &queue_of(*record) : nullptr;
}

std::string describe(HWND hwnd) {
    auto w = find_window_locked(hwnd);
    std::string out = trace::handle(hwnd);
    if (w)
        out += " " + trace::quote(w->className.c_str());
    return out;
}

// Wakes the boot thread's host, which may be waiting for input in idle(),
// when another thread gave the boot thread work.
void wake_host_if_needed(DWORD targetThread) {
    Kernel& k = Kernel::get();
    if (targetThread == k.boot_thread_id() && !k.is_boot_thread())
        host::current().wake();
}

bool thread_has_work_locked(DWORD threadId, MessageQueue& queue, Tick now) {
    if (!queue.incoming.empty() || !queue.posted.empty() || queue.quit)
        return true;
    for (auto& [id, w] : manager().windows)
        if (w->threadId == threadId && w->dirty && w->visible)
            return true;
    for (auto& t : manager().timers)
        if (t.threadId == threadId && t.due <= now)
            return true;
    return false;
}

Tick next_timer_due_locked(DWORD threadId) {
    Tick next = kForever;
    for (auto& t : manager().timers)
        if (t.threadId == threadId)
            next = std::min(next, t.due);
    return next;
}

// Runs one message sent by another thread. Called with the lock held; drops
// it around the window procedure.
void run_incoming(std::unique_lock<std::mutex>& lock, MessageQueue& queue) {
    auto sent = queue.incoming.front();
    queue.incoming.pop_front();
    auto window = find_window_locked(sent->hwnd);
    if (!window) {
        sent->failed = true;
        sent->done = true;
        Kernel::get().notify_all();
        return;
    }
    WNDPROC proc = window->proc;
    lock.unlock();
    const LRESULT result = proc(sent->hwnd, sent->message, sent->wParam, sent->lParam);
    lock.lock();
    sent->result = result;
    sent->done = true;
    Kernel::get().notify_all();
}

void fail_incoming_locked(MessageQueue& queue) {
    for (auto& sent : queue.incoming) {
        sent->failed = true;
        sent->done = true;
    }
    queue.incoming.clear();
}

void remove_window_locked(HWND hwnd) {
    auto& wm = manager();
    wm.windows.erase(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hwnd)));
    std::erase_if(wm.timers, [&](const Timer& t) { return t.hwnd == hwnd; });
    Kernel::get().notify_all();
}

// Picks the next message for the calling thread, or false. Lock held.
// Order as Win32: sent messages (run here), posted messages, quit, paint, timers.
enum class Pick { None, Message, Ran };
Pick pick_message_locked(std::unique_lock<std::mutex>& lock, ThreadRecord& self, MSG& msg, bool remove) {
    MessageQueue& queue = queue_of(self);
    Kernel& k = Kernel::get();
    if (!queue.incoming.empty()) {
        run_incoming(lock, queue);
        return Pick::Ran;
    }
    if (!queue.posted.empty()) {
        msg = queue.posted.front();
        if (remove)
            queue.posted.pop_front();
        return Pick::Message;
    }
    const Tick now = k.now_locked();
    msg = MSG{};
    msg.time = k.tick_count_locked();
    if (queue.quit) {
        msg.message = WM_QUIT;
        msg.wParam = static_cast<WPARAM>(queue.quitCode);
        if (remove)
            queue.quit = false;
        return Pick::Message;
    }
    for (auto& [id, w] : manager().windows) {
        if (w->threadId == self.id && w->dirty && w->visible) {
            msg.hwnd = w->hwnd;
            msg.message = WM_PAINT;
            return Pick::Message;
        }
    }
    Timer* earliest = nullptr;
    for (auto& t : manager().timers)
        if (t.threadId == self.id && t.due <= now && (!earliest || t.due < earliest->due))
            earliest = &t;
    if (earliest) {
        msg.hwnd = earliest->hwnd;
        msg.message = WM_TIMER;
        msg.wParam = static_cast<WPARAM>(earliest->id);
        if (remove) {
            // A late timer is not made up for: one WM_TIMER, then on with the period.
            earliest->due += earliest->period;
            if (earliest->due <= now)
                earliest->due = now + earliest->period;
        }
        return Pick::Message;
    }
    return Pick::None;
}

LRESULT call_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto window = find_window(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
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

} // namespace

std::shared_ptr<Window> find_window_locked(HWND hwnd) {
    auto& wm = manager();
    auto it = wm.windows.find(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hwnd)));
    return it == wm.windows.end() ? nullptr : it->second;
}

std::shared_ptr<Window> find_window(HWND hwnd) {
    Kernel& k = Kernel::get();
    std::lock_guard guard(k.lock());
    return find_window_locked(hwnd);
}

std::vector<std::shared_ptr<Window>> windows_locked() {
    std::vector<std::shared_ptr<Window>> out;
    for (auto& [id, w] : manager().windows)
        out.push_back(w);
    return out;
}

bool take_update_rect(HWND hwnd, RECT& rect) {
    Kernel& k = Kernel::get();
    std::lock_guard guard(k.lock());
    auto w = find_window_locked(hwnd);
    if (!w || !w->dirty)
        return false;
    rect = w->dirtyRect;
    w->dirty = false;
    return true;
}

void on_thread_exit(ThreadRecord& record) {
    Kernel& k = Kernel::get();
    std::lock_guard guard(k.lock());
    if (record.queue)
        fail_incoming_locked(*record.queue);
    std::vector<HWND> owned;
    for (auto& [id, w] : manager().windows)
        if (w->threadId == record.id)
            owned.push_back(w->hwnd);
    for (HWND hwnd : owned)
        remove_window_locked(hwnd);
    std::erase_if(manager().timers, [&](const Timer& t) { return t.threadId == record.id; });
    k.notify_all();
}

} // namespace zt::sys

using namespace zt::sys;
using zt::trace::kMsg;
using zt::trace::kShell;

// ----- classes ----------------------------------------------------------------

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
    Kernel& k = Kernel::get();
    if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr || windowClass->lpszClassName == nullptr ||
        is_atom(windowClass->lpszClassName) || windowClass->lpszClassName[0] == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard guard(k.lock());
    const auto name = view(windowClass->lpszClassName);
    if (find_class_locked(name)) {
        k.this_thread().lastError = ERROR_CLASS_ALREADY_EXISTS;
        return 0;
    }
    manager().classes.push_back({std::u16string(name), windowClass->lpfnWndProc, windowClass->hInstance});
    return static_cast<ATOM>(0xC000 + manager().classes.size());
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
    Kernel& k = Kernel::get();
    std::lock_guard guard(k.lock());
    auto& classes = manager().classes;
    auto it = std::find_if(classes.begin(), classes.end(), [&](const WindowClass& c) {
        return className && !is_atom(className) && equal_ignore_case(c.name, view(className));
    });
    if (it == classes.end()) {
        k.this_thread().lastError = ERROR_CLASS_DOES_NOT_EXIST;
        return FALSE;
    }
    // As on Win32, a class stays while windows of it exist.
    constexpr DWORD kErrorClassHasWindows = 1412;
    for (const auto& entry : manager().windows)
        if (equal_ignore_case(entry.second->className, it->name)) {
            k.this_thread().lastError = kErrorClassHasWindows;
            return FALSE;
        }
    classes.erase(it);
    return TRUE;
}

// ----- windows ----------------------------------------------------------------

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, void* menu, HINSTANCE instance, LPVOID param) {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    auto window = std::make_shared<Window>();
    {
        std::lock_guard guard(k.lock());
        WindowClass* wc = className && !is_atom(className) ? find_class_locked(view(className)) : nullptr;
        if (!wc) {
            self.lastError = ERROR_CANNOT_FIND_WND_CLASS;
            return nullptr;
        }
        if (parent && !find_window_locked(parent)) {
            self.lastError = ERROR_INVALID_WINDOW_HANDLE;
            return nullptr;
        }
        auto& wm = manager();
        window->hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(wm.nextWindow));
        wm.nextWindow += 4;
        window->className = wc->name;
        window->title = std::u16string(view(windowName));
        window->proc = wc->proc;
        window->instance = instance;
        window->threadId = self.id;
        window->parent = parent;
        window->style = style;
        window->exStyle = exStyle;
        window->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
        wm.windows.emplace(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window->hwnd)), window);
    }
    HWND hwnd = window->hwnd;
    (void)menu;
    (void)param;
    // The creation record is a pointer, which a 32-bit lParam cannot carry;
    // WM_NCCREATE and WM_CREATE arrive with lParam 0 and a window procedure
    // that needs its object keeps it aside before calling CreateWindowExW.
    ZT_TRACE(kMsg, "CreateWindowExW(%s, %d, %d, %d, %d) = %s", zt::trace::quote(className).c_str(), x, y, width, height,
             zt::trace::handle(hwnd).c_str());
    const bool ok = window->proc(hwnd, WM_NCCREATE, 0, 0) != 0 && window->proc(hwnd, WM_CREATE, 0, 0) != -1;
    if (!ok) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (!find_window(hwnd))
        return nullptr; // destroyed during creation
    if (style & WS_VISIBLE) {
        // Born visible: no ShowWindow call of the caller's to report.
        {
            std::lock_guard guard(k.lock());
            window->visible = true;
            window->dirty = true;
            window->dirtyRect =
                RECT{0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
            k.notify_all();
        }
        window->proc(hwnd, WM_SHOWWINDOW, 1, 0);
    }
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    auto window = find_window(hwnd);
    if (!window) {
        self.lastError = ERROR_INVALID_WINDOW_HANDLE;
        return FALSE;
    }
    if (window->threadId != self.id) {
        self.lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    window->proc(hwnd, WM_DESTROY, 0, 0);
    window->proc(hwnd, WM_NCDESTROY, 0, 0);
    std::lock_guard guard(k.lock());
    remove_window_locked(hwnd);
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
    Kernel& k = Kernel::get();
    HWND found = nullptr;
    {
        std::lock_guard guard(k.lock());
        for (auto& [id, w] : manager().windows) {
            if (w->parent != nullptr)
                continue;
            if (className && (is_atom(className) || !equal_ignore_case(w->className, view(className))))
                continue;
            if (windowName && w->title != view(windowName))
                continue;
            found = w->hwnd;
            break;
        }
    }
    ZT_TRACE(kShell, "FindWindowW(%s, %s) = %s", zt::trace::quote(className).c_str(),
             zt::trace::quote(windowName).c_str(), zt::trace::handle(found).c_str());
    return found;
}

BOOL ShowWindow(HWND hwnd, int command) {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    bool wasVisible = false;
    bool sameThread = false;
    std::string who;
    {
        std::lock_guard guard(k.lock());
        auto w = find_window_locked(hwnd);
        if (!w) {
            self.lastError = ERROR_INVALID_WINDOW_HANDLE;
            ZT_TRACE(kShell, "ShowWindow(%s, %s) = 0", zt::trace::handle(hwnd).c_str(), show_name(command));
            return FALSE;
        }
        if (zt::trace::on(kShell))
            who = describe(hwnd);
        wasVisible = w->visible;
        w->visible = command != SW_HIDE;
        if (w->visible && !wasVisible) {
            w->dirty = true;
            w->dirtyRect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
        }
        sameThread = w->threadId == self.id;
        k.notify_all();
    }
    ZT_TRACE(kShell, "ShowWindow(%s, %s) = %d", who.c_str(), show_name(command), wasVisible ? 1 : 0);
    // WM_SHOWWINDOW goes only to the caller's own windows: the shell's windows
    // are shown and hidden from outside without waiting on their thread.
    if (sameThread && wasVisible != (command != SW_HIDE))
        call_proc(hwnd, WM_SHOWWINDOW, command != SW_HIDE ? 1 : 0, 0);
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
    auto w = find_window(hwnd);
    return w && w->visible ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
    auto w = find_window(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (processId)
        *processId = 1;
    return w->threadId;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    Kernel& k = Kernel::get();
    std::lock_guard guard(k.lock());
    auto w = find_window_locked(hwnd);
    if (!w || index != GWLP_USERDATA) {
        k.this_thread().lastError = w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE;
        return 0;
    }
    return std::exchange(w->userData, value);
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    Kernel& k = Kernel::get();
    std::lock_guard guard(k.lock());
    auto w = find_window_locked(hwnd);
    if (!w || index != GWLP_USERDATA) {
        k.this_thread().lastError = w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE;
        return 0;
    }
    return w->userData;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    auto w = find_window(hwnd);
    if (!w || !rect) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    auto w = find_window(hwnd);
    if (!w || !rect) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = w->rect;
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    Kernel& k = Kernel::get();
    {
        std::lock_guard guard(k.lock());
        auto w = find_window_locked(hwnd);
        if (!w) {
            k.this_thread().lastError = ERROR_INVALID_WINDOW_HANDLE;
            return FALSE;
        }
        w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
        if (repaint) {
            w->dirty = true;
            w->dirtyRect = RECT{0, 0, std::max(width, 0), std::max(height, 0)};
        }
        k.notify_all();
    }
    call_proc(hwnd, WM_SIZE, 0, MAKELPARAM(width, height));
    return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR className, int maxCount) {
    auto w = find_window(hwnd);
    if (!w || !className || maxCount <= 0) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const int n = std::min(static_cast<int>(w->className.size()), maxCount - 1);
    std::copy_n(w->className.data(), n, className);
    className[n] = 0;
    return n;
}

// ----- messages -------------------------------------------------------------

namespace {

// Sends to a window of another thread and waits for its reply, the deadline
// or the window's end. While waiting, messages sent to the caller's own
// thread are handled, so two threads sending to each other do not hang.
LRESULT send_across(HWND hwnd, DWORD targetThread, UINT message, WPARAM wParam, LPARAM lParam, Tick deadline,
                    DWORD* result, bool& ok) {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hwnd;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    std::unique_lock lock(k.lock());
    ThreadRecord* targetRecord = k.find_thread(targetThread);
    if (targetRecord)
        (void)queue_of(*targetRecord);
    std::shared_ptr<MessageQueue> target = targetRecord ? targetRecord->queue : nullptr;
    if (!target) {
        ok = false;
        self.lastError = ERROR_INVALID_WINDOW_HANDLE;
        return 0;
    }
    target->incoming.push_back(sent);
    k.notify_all();
    lock.unlock();
    wake_host_if_needed(targetThread);
    lock.lock();
    MessageQueue& own = queue_of(self);
    for (;;) {
        const bool ready = k.wait_until(lock, deadline, [&] { return sent->done || !own.incoming.empty(); });
        if (sent->done)
            break;
        if (!ready) {
            // Out of time: the window may still handle it later; the reply is dropped.
            ok = false;
            self.lastError = ERROR_TIMEOUT;
            return 0;
        }
        run_incoming(lock, own);
    }
    if (sent->failed) {
        ok = false;
        self.lastError = ERROR_INVALID_WINDOW_HANDLE;
        return 0;
    }
    ok = true;
    if (result)
        *result = static_cast<DWORD>(sent->result);
    return sent->result;
}

} // namespace

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    auto w = find_window(hwnd);
    if (!w) {
        self.lastError = ERROR_INVALID_WINDOW_HANDLE;
        ZT_TRACE(kMsg, "SendMessageW(%s, %#x, %#x, %#x) = 0", zt::trace::handle(hwnd).c_str(), message, wParam,
                 static_cast<unsigned>(lParam));
        return 0;
    }
    if (w->threadId == self.id) {
        // Traced when it returns, with its result; nested calls come first.
        const LRESULT result = w->proc(hwnd, message, wParam, lParam);
        ZT_TRACE(kMsg, "SendMessageW(%s, %#x, %#x, %#x) = %d", zt::trace::handle(hwnd).c_str(), message, wParam,
                 static_cast<unsigned>(lParam), result);
        return result;
    }
    bool ok = false;
    const LRESULT r = send_across(hwnd, w->threadId, message, wParam, lParam, kForever, nullptr, ok);
    ZT_TRACE(kShell, "SendMessageW(%s, %#x, %#x, %#x) = %d", zt::trace::quote(w->className.c_str()).c_str(), message,
             wParam, static_cast<unsigned>(lParam), r);
    return r;
}

LRESULT SendMessageTimeoutW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                            DWORD* result) {
    (void)flags; // SMTO_NORMAL: the caller handles incoming sends while it waits
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    auto w = find_window(hwnd);
    if (!w) {
        self.lastError = ERROR_INVALID_WINDOW_HANDLE;
        ZT_TRACE(kShell, "SendMessageTimeoutW(%s, %#x, %#x, %#x, %u) = 0", zt::trace::handle(hwnd).c_str(), message,
                 wParam, static_cast<unsigned>(lParam), timeout);
        return 0;
    }
    LRESULT r = 0;
    if (w->threadId == self.id) {
        const LRESULT reply = w->proc(hwnd, message, wParam, lParam);
        if (result)
            *result = static_cast<DWORD>(reply);
        r = 1;
    } else {
        bool ok = false;
        Tick deadline = 0;
        {
            std::lock_guard guard(k.lock());
            deadline = k.now_locked() + timeout;
        }
        send_across(hwnd, w->threadId, message, wParam, lParam, deadline, result, ok);
        r = ok ? 1 : 0;
    }
    ZT_TRACE(kShell, "SendMessageTimeoutW(%s, %#x, %#x, %#x, %u) = %d", zt::trace::quote(w->className.c_str()).c_str(),
             message, wParam, static_cast<unsigned>(lParam), timeout, r);
    return r;
}

static BOOL post_to_thread(DWORD threadId, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Kernel& k = Kernel::get();
    {
        std::lock_guard guard(k.lock());
        MessageQueue* queue = queue_of_thread_locked(threadId);
        if (!queue) {
            k.this_thread().lastError = ERROR_INVALID_PARAMETER;
            return FALSE;
        }
        MSG msg{hwnd, message, wParam, lParam, k.tick_count_locked(), POINT{0, 0}};
        queue->posted.push_back(msg);
        k.notify_all();
    }
    wake_host_if_needed(threadId);
    return TRUE;
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    if (hwnd == nullptr)
        return post_to_thread(self.id, nullptr, message, wParam, lParam);
    auto w = find_window(hwnd);
    if (!w) {
        self.lastError = ERROR_INVALID_WINDOW_HANDLE;
        return FALSE;
    }
    if (w->threadId != self.id)
        ZT_TRACE(kShell, "PostMessageW(%s, %#x, %#x, %#x) = 1", zt::trace::quote(w->className.c_str()).c_str(), message,
                 wParam, static_cast<unsigned>(lParam));
    return post_to_thread(w->threadId, hwnd, message, wParam, lParam);
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    return post_to_thread(threadId, nullptr, message, wParam, lParam);
}

UINT RegisterWindowMessageW(LPCWSTR name) {
    Kernel::get();
    if (name == nullptr || is_atom(name) || name[0] == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return register_message_name(view(name));
}

static BOOL get_message(LPMSG msg, bool wait, UINT removeMessage) {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    if (msg == nullptr) {
        self.lastError = ERROR_INVALID_PARAMETER;
        return wait ? -1 : FALSE;
    }
    const bool remove = (removeMessage & PM_REMOVE) != 0;
    std::unique_lock lock(k.lock());
    MessageQueue& queue = queue_of(self);
    for (;;) {
        const Pick pick = pick_message_locked(lock, self, *msg, remove);
        if (pick == Pick::Message)
            return wait && msg->message == WM_QUIT ? FALSE : TRUE;
        if (pick == Pick::Ran)
            continue;
        if (!wait)
            return FALSE;
        const Tick nextTimer = next_timer_due_locked(self.id);
        Tick deadline = nextTimer;
        if (k.is_boot_thread()) {
            const Tick now = k.now_locked();
            const DWORD timeout =
                nextTimer == kForever
                    ? INFINITE
                    : static_cast<DWORD>(std::min<Tick>(nextTimer - std::min(nextTimer, now), INFINITE - 1));
            lock.unlock();
            const zt::host::IdleAction action = zt::host::current().idle(timeout);
            lock.lock();
            if (action.again)
                continue;
            deadline = std::min(deadline, deadline_after(k.now_locked(), action.wait));
        }
        k.wait_until(lock, deadline, [&] { return thread_has_work_locked(self.id, queue, k.now_locked()); });
    }
}

BOOL GetMessageW(LPMSG msg, HWND, UINT, UINT) {
    return get_message(msg, true, PM_REMOVE);
}

BOOL PeekMessageW(LPMSG msg, HWND, UINT, UINT, UINT removeMessage) {
    return get_message(msg, false, removeMessage);
}

BOOL TranslateMessage(const MSG* msg) {
    return msg != nullptr && msg->message == WM_KEYDOWN ? TRUE : FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr)
        return 0;
    auto w = find_window(msg->hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (msg->message == WM_TIMER) {
        TIMERPROC proc = nullptr;
        {
            std::lock_guard guard(Kernel::get().lock());
            for (auto& t : manager().timers)
                if (t.hwnd == msg->hwnd && t.id == msg->wParam)
                    proc = t.proc;
        }
        if (proc) {
            proc(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
            return 0;
        }
    }
    const LRESULT result = w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    ZT_TRACE(kMsg, "DispatchMessageW(%s, %#x, %#x, %#x) = %d", zt::trace::handle(msg->hwnd).c_str(), msg->message,
             msg->wParam, static_cast<unsigned>(msg->lParam), result);
    return result;
}

void PostQuitMessage(int exitCode) {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    std::lock_guard guard(k.lock());
    MessageQueue& queue = queue_of(self);
    queue.quit = true;
    queue.quitCode = exitCode;
    k.notify_all();
}

// ----- timers ---------------------------------------------------------------

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC timerProc) {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    std::lock_guard guard(k.lock());
    DWORD owner = self.id;
    if (hwnd != nullptr) {
        auto w = find_window_locked(hwnd);
        if (!w) {
            self.lastError = ERROR_INVALID_WINDOW_HANDLE;
            return 0;
        }
        owner = w->threadId;
    } else {
        id = manager().nextThreadTimer++;
    }
    const UINT period = std::max(elapse, kMinimumTimerPeriod);
    auto& timers = manager().timers;
    auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    Timer timer{hwnd, id, period, k.now_locked() + period, timerProc, owner};
    if (it != timers.end())
        *it = timer;
    else
        timers.push_back(timer);
    ZT_TRACE(kMsg, "SetTimer(%s, %lu, %u) = %lu", zt::trace::handle(hwnd).c_str(), static_cast<unsigned long>(id),
             period, static_cast<unsigned long>(hwnd ? 1 : id));
    k.notify_all();
    return hwnd ? 1 : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    Kernel& k = Kernel::get();
    std::lock_guard guard(k.lock());
    auto& timers = manager().timers;
    const auto before = timers.size();
    std::erase_if(timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (timers.size() == before) {
        k.this_thread().lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    return TRUE;
}

// ----- painting state -------------------------------------------------------

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL) {
    Kernel& k = Kernel::get();
    DWORD owner = 0;
    {
        std::lock_guard guard(k.lock());
        auto w = find_window_locked(hwnd);
        if (!w) {
            k.this_thread().lastError = ERROR_INVALID_WINDOW_HANDLE;
            return FALSE;
        }
        const RECT all{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
        RECT r = rect ? *rect : all;
        r.left = std::max(r.left, all.left);
        r.top = std::max(r.top, all.top);
        r.right = std::min(r.right, all.right);
        r.bottom = std::min(r.bottom, all.bottom);
        if (r.left >= r.right || r.top >= r.bottom)
            return TRUE;
        if (w->dirty) {
            // Invalidations merge into one update rectangle.
            w->dirtyRect.left = std::min(w->dirtyRect.left, r.left);
            w->dirtyRect.top = std::min(w->dirtyRect.top, r.top);
            w->dirtyRect.right = std::max(w->dirtyRect.right, r.right);
            w->dirtyRect.bottom = std::max(w->dirtyRect.bottom, r.bottom);
        } else {
            w->dirty = true;
            w->dirtyRect = r;
        }
        owner = w->threadId;
        k.notify_all();
    }
    wake_host_if_needed(owner);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT*) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT ignored;
    take_update_rect(hwnd, ignored);
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
    auto w = find_window(hwnd);
    if (!w)
        return FALSE;
    std::lock_guard guard(Kernel::get().lock());
    if (rect)
        *rect = w->dirty ? w->dirtyRect : RECT{0, 0, 0, 0};
    return w->dirty ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd) {
    auto w = find_window(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool dirty = false;
    {
        std::lock_guard guard(Kernel::get().lock());
        dirty = w->dirty && w->visible;
    }
    if (dirty)
        SendMessageW(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}
