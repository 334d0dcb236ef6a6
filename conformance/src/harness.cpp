// The harness in plain Win32 calls, with the few pieces that differ by side
// (starting a thread, removing a registry tree, finding this program's file)
// kept together at the top.
#include "conformance/harness.h"
#include "zt/screen.h"

#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#if !defined(_WIN32)
#include "zt/sys/kernel.h"
#include "zt/sys/registry.h"

#include <unistd.h>
#endif

namespace conformance {

// ----- what differs by side ------------------------------------------------------

#if defined(_WIN32)

struct Thread::Impl {
    std::thread thread;
};
Thread::Thread(std::function<void()> body) : m_impl(std::make_unique<Impl>()) {
    m_impl->thread = std::thread(std::move(body));
}
void Thread::join() {
    if (m_impl->thread.joinable())
        m_impl->thread.join();
}

// Waits on a real clock may run late on a busy machine; GetTickCount moves in
// steps of up to 16 ms.
constexpr DWORD kEarly = 16;
constexpr DWORD kLate = 400;

void delete_key_tree(HKEY root, const WCHAR* path) {
    RegDeleteTreeW(root, path);
    RegDeleteKeyW(root, path);
}

namespace {
std::string self_path() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return narrow(WString(path, length).c_str());
}
std::FILE* open_pipe(const std::string& command) {
    // cmd.exe strips the outer quotes of a command that begins with one.
    std::string quoted(1, '"');
    quoted.append(command).push_back('"');
    return _popen(quoted.c_str(), "r");
}
int close_pipe(std::FILE* pipe) {
    return _pclose(pipe);
}
} // namespace

#else

struct Thread::Impl {
    zt::sys::Thread thread;
};
Thread::Thread(std::function<void()> body) : m_impl(std::make_unique<Impl>()) {
    m_impl->thread = zt::sys::Thread(std::move(body));
}
void Thread::join() {
    if (m_impl->thread.joinable())
        m_impl->thread.join();
}

// The test host's virtual clock: a wait lasts exactly its limit.
constexpr DWORD kEarly = 0;
constexpr DWORD kLate = 0;

void delete_key_tree(HKEY root, const WCHAR* path) {
    zt::sys::registry::delete_tree(root, path);
}

namespace {
std::string self_path() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}
std::FILE* open_pipe(const std::string& command) {
    return popen(command.c_str(), "r");
}
int close_pipe(std::FILE* pipe) {
    return pclose(pipe);
}
} // namespace

#endif

Thread::~Thread() {
    join();
}

// ----- time --------------------------------------------------------------------------

::testing::AssertionResult elapsed_is(DWORD since, DWORD expected) {
    return duration_is(GetTickCount() - since, expected);
}

::testing::AssertionResult duration_is(DWORD elapsed, DWORD expected) {
    if (elapsed + kEarly >= expected && elapsed <= expected + kLate)
        return ::testing::AssertionSuccess() << elapsed << " ms";
    return ::testing::AssertionFailure() << elapsed << " ms passed, expected " << expected << " (-" << kEarly << "/+"
                                         << kLate << ")";
}

::testing::AssertionResult elapsed_at_least(DWORD since, DWORD least) {
    const DWORD elapsed = GetTickCount() - since;
    if (elapsed + kEarly >= least && (kLate != 0 || elapsed == least))
        return ::testing::AssertionSuccess() << elapsed << " ms";
    return ::testing::AssertionFailure() << elapsed << " ms passed, expected at least " << least;
}

// ----- the window thread ------------------------------------------------------------------

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

} // namespace

WindowThread::WindowThread() : m_state(std::make_shared<State>()) {
    auto state = m_state;
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
            if (msg.hwnd == nullptr && msg.message == kRunTasks) {
                for (;;) {
                    std::function<void()> task;
                    {
                        std::lock_guard guard(state->lock);
                        if (state->tasks.empty())
                            break;
                        task = std::move(state->tasks.front());
                        state->tasks.pop_front();
                    }
                    task();
                }
                continue;
            }
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

std::vector<WindowThread::Received> WindowThread::received_all() const {
    std::lock_guard guard(m_state->lock);
    return m_state->received;
}

std::vector<WindowThread::Received> WindowThread::received() const {
    std::vector<Received> out;
    for (const auto& r : received_all())
        if (r.message >= WM_USER)
            out.push_back(r);
    return out;
}

// ----- a second process ---------------------------------------------------------------------

std::vector<UINT> register_in_other_process(const std::vector<WString>& names) {
    std::string command(1, '"');
    command.append(self_path()).append("\" --register");
    for (const auto& name : names)
        command.append(" ").append(narrow(name.c_str()));
    std::vector<UINT> numbers;
    std::FILE* pipe = open_pipe(command);
    if (pipe == nullptr)
        return numbers;
    unsigned number = 0;
    while (std::fscanf(pipe, "%u", &number) == 1)
        numbers.push_back(number);
    if (close_pipe(pipe) != 0)
        numbers.clear();
    return numbers;
}

int register_and_print(int argc, char** argv) {
    for (int i = 2; i < argc; ++i) {
        WString name;
        for (const char* c = argv[i]; *c; ++c)
            name.push_back(static_cast<WCHAR>(static_cast<unsigned char>(*c)));
        std::printf("%u\n", RegisterWindowMessageW(name.c_str()));
    }
    return 0;
}

WString unique_name(const char* stem) {
#if defined(_WIN32)
    const unsigned long pid = GetCurrentProcessId();
#else
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    WString name;
    for (const char c : std::string(stem) + "-" + std::to_string(pid))
        name.push_back(static_cast<WCHAR>(c));
    return name;
}

std::string narrow(const WCHAR* text) {
    std::string out;
    for (; text && *text; ++text)
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return out;
}

} // namespace conformance
