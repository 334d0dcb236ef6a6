// The fixtures of both sides, in plain Win32 calls; what differs by side is
// kept together at the top.
#include "zt/testhost/portable.h"
#include "zt/screen.h"

#include <deque>
#include <map>
#include <mutex>

#if defined(_WIN32)
#include <thread>
#else
#include "zt/host.h"
#include "zt/sys/registry.h"
#endif

namespace zt::testhost {

// ----- what differs by side ---------------------------------------------------------

#if defined(_WIN32)

using PlatformThread = std::thread;

void delete_key_tree(HKEY root, const WCHAR* path) {
    RegDeleteTreeW(root, path);
    RegDeleteKeyW(root, path);
}

#else

using PlatformThread = host::Thread;

void delete_key_tree(HKEY root, const WCHAR* path) {
    sys::registry::delete_tree(root, path);
}

#endif

struct Thread::Impl {
    PlatformThread thread;
};

Thread::Thread(std::function<void()> body) : m_impl(std::make_unique<Impl>()) {
    m_impl->thread = PlatformThread(std::move(body));
}

void Thread::join() {
    if (m_impl->thread.joinable())
        m_impl->thread.join();
}

Thread::~Thread() {
    join();
}

std::string narrow(const WCHAR* text) {
    std::string out;
    for (; text && *text; ++text)
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return out;
}

// ----- the window thread -------------------------------------------------------------

struct WindowThread::State {
    std::mutex lock;
    std::deque<std::function<void()>> tasks;
    std::map<HWND, Handler> handlers;
    std::vector<Received> received;
    DWORD threadId = 0;
    std::unique_ptr<Thread> thread;
};

namespace {

constexpr UINT kRunTasks = WM_APP + 0x3E;
std::mutex g_windowsLock;
std::map<HWND, std::weak_ptr<WindowThread::State>> g_windowStates;
// Messages of a window not yet in the map (those of its creation).
thread_local std::shared_ptr<WindowThread::State> t_state;

LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<WindowThread::State> state;
    {
        std::lock_guard guard(g_windowsLock);
        auto it = g_windowStates.find(hwnd);
        if (it != g_windowStates.end())
            state = it->second.lock();
    }
    if (!state)
        state = t_state;
    if (!state)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    WindowThread::Handler handler;
    {
        std::lock_guard guard(state->lock);
        state->received.push_back({hwnd, message, wParam, lParam, GetTickCount()});
        auto it = state->handlers.find(hwnd);
        if (it != state->handlers.end())
            handler = it->second;
    }
    if (message < WM_USER)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return handler ? handler(hwnd, message, wParam, lParam) : 1;
}

// Runs the tasks queued for the thread, in order.
void run_tasks(WindowThread::State& state) {
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard guard(state.lock);
            if (state.tasks.empty())
                return;
            task = std::move(state.tasks.front());
            state.tasks.pop_front();
        }
        task();
    }
}

} // namespace

WindowThread::WindowThread() : m_state(std::make_shared<State>()) {
    auto state = m_state;
    // An event rather than a condition variable: on the virtual clock a
    // thread waiting for one counts as waiting, so time may move meanwhile.
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state->thread = std::make_unique<Thread>([state, started] {
        t_state = state;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // makes the queue
        {
            std::lock_guard guard(state->lock);
            state->threadId = GetCurrentThreadId();
        }
        SetEvent(started);
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.hwnd == nullptr && msg.message == kRunTasks)
                run_tasks(*state);
            else
                DispatchMessageW(&msg);
        }
        t_state.reset();
    });
    WaitForSingleObject(started, INFINITE);
    CloseHandle(started);
}

WindowThread::~WindowThread() {
    PostThreadMessageW(thread_id(), WM_QUIT, 0, 0);
    m_state->thread->join();
    std::lock_guard all(g_windowsLock);
    for (auto it = g_windowStates.begin(); it != g_windowStates.end();)
        it = it->second.lock() == m_state ? g_windowStates.erase(it) : std::next(it);
}

DWORD WindowThread::thread_id() const {
    std::lock_guard guard(m_state->lock);
    return m_state->threadId;
}

void WindowThread::run(const std::function<void()>& task) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        std::lock_guard guard(m_state->lock);
        m_state->tasks.push_back([&task, done] {
            task();
            SetEvent(done);
        });
    }
    PostThreadMessageW(thread_id(), kRunTasks, 0, 0);
    WaitForSingleObject(done, INFINITE);
    CloseHandle(done);
}

HWND WindowThread::create(const WCHAR* className, bool visible, Handler handler) {
    HWND hwnd = nullptr;
    run([&] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = window_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = className;
        RegisterClassW(&wc); // fails harmlessly when it exists
        hwnd = CreateWindowExW(0, className, TEXT(""), WS_POPUP | (visible ? WS_VISIBLE : 0), 0, 0, SCREEN_WIDTH,
                               TASKBAR_HEIGHT, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        std::lock_guard guard(m_state->lock);
        m_state->handlers[hwnd] = std::move(handler);
        std::lock_guard all(g_windowsLock);
        g_windowStates[hwnd] = m_state;
    });
    return hwnd;
}

std::vector<WindowThread::Received> WindowThread::received(UINT lowest) const {
    std::vector<Received> out;
    std::lock_guard guard(m_state->lock);
    for (const auto& r : m_state->received)
        if (r.message >= lowest)
            out.push_back(r);
    return out;
}

} // namespace zt::testhost
