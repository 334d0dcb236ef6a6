// The fixtures of both sides, in plain Win32 calls; what differs by side is
// kept together at the top.
#include "zt/testhost/portable.h"
#include "zt/screen.h"
#include "zt/sys/guarded.h"

#include <deque>
#include <map>

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

// The window thread's own thread and what it shares with the test's.
struct WindowThread::State {
    struct Shared {
        std::deque<std::function<void()>> tasks;
        std::map<HWND, Handler> handlers;
        std::vector<Received> received;
        DWORD threadId = 0;
    };
    sys::Guarded<Shared> shared;
    std::unique_ptr<Thread> thread;
};

namespace {

constexpr UINT kRunTasks = WM_APP + 0x3E;

using WindowStates = sys::Guarded<std::map<HWND, std::weak_ptr<WindowThread::State>>>;

// Every window thread's windows. Never destroyed: a window procedure may
// still look here while static objects are being destroyed.
WindowStates& window_states() {
    static auto* const states = new WindowStates();
    return *states;
}

// Messages of a window not yet in the map (those of its creation).
thread_local std::shared_ptr<WindowThread::State> t_state;

LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<WindowThread::State> state = window_states().with([&](auto& states) {
        auto it = states.find(hwnd);
        return it != states.end() ? it->second.lock() : nullptr;
    });
    if (!state)
        state = t_state;
    if (!state)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    WindowThread::Handler handler;
    {
        auto shared = state->shared.lock();
        shared->received.push_back({hwnd, message, wParam, lParam, GetTickCount()});
        auto it = shared->handlers.find(hwnd);
        if (it != shared->handlers.end())
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
            auto shared = state.shared.lock();
            if (shared->tasks.empty())
                return;
            task = std::move(shared->tasks.front());
            shared->tasks.pop_front();
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
        state->shared.lock()->threadId = GetCurrentThreadId();
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
    window_states().with([&](auto& states) {
        for (auto it = states.begin(); it != states.end();)
            it = it->second.lock() == m_state ? states.erase(it) : std::next(it);
    });
}

DWORD WindowThread::thread_id() const {
    return m_state->shared.lock()->threadId;
}

void WindowThread::run(const std::function<void()>& task) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_state->shared.lock()->tasks.push_back([&task, done] {
        task();
        SetEvent(done);
    });
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
        m_state->shared.lock()->handlers[hwnd] = std::move(handler);
        window_states().lock()->insert_or_assign(hwnd, m_state);
    });
    return hwnd;
}

std::vector<WindowThread::Received> WindowThread::received(UINT lowest) const {
    std::vector<Received> out;
    auto shared = m_state->shared.lock();
    for (const auto& r : shared->received)
        if (r.message >= lowest)
            out.push_back(r);
    return out;
}

} // namespace zt::testhost
