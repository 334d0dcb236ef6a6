#include "zt/testhost.h"

#include "zt/host.h"
#include "zt/screen.h"
#include "zt/sys/trace.h"

#include <condition_variable>
#include <deque>

namespace zt::testhost {

namespace {

std::mutex g_lock;
std::string* g_capture = nullptr;
std::function<int(int)> g_escape;
std::vector<PresentedFrame> g_frames;

class TestHost final : public host::Host {
  public:
    host::ClockKind clock_kind() const override { return host::ClockKind::Virtual; }
    void debug_output(std::string_view utf8) override {
        {
            std::lock_guard guard(g_lock);
            if (g_capture) {
                g_capture->append(utf8);
                return;
            }
        }
        Host::debug_output(utf8);
    }
    int display_escape(int code, int, const char*, int, char*) override {
        std::function<int(int)> handler;
        {
            std::lock_guard guard(g_lock);
            handler = g_escape;
        }
        return handler ? handler(code) : 0;
    }
    void present(HWND window, const gfx::Surface& frame) override;
};

} // namespace
} // namespace zt::testhost

// Surface is only known to the drawing code; frames are recorded by size.
#if __has_include("zt/gfx/surface.h")
#include "zt/gfx/surface.h"
void zt::testhost::TestHost::present(HWND window, const gfx::Surface& frame) {
    std::lock_guard guard(g_lock);
    g_frames.push_back({window, frame.width(), frame.height()});
}
#else
void zt::testhost::TestHost::present(HWND window, const gfx::Surface&) {
    std::lock_guard guard(g_lock);
    g_frames.push_back({window, 0, 0});
}
#endif

namespace zt::testhost {

void install() {
    // Never destroyed: the platform may call its host until the very end.
    static TestHost* const host = new TestHost();
    static const bool installed = (host::install(*host), true);
    (void)installed;
}

DebugCapture::DebugCapture() {
    std::lock_guard guard(g_lock);
    g_capture = new std::string();
}

DebugCapture::~DebugCapture() {
    std::lock_guard guard(g_lock);
    delete g_capture;
    g_capture = nullptr;
}

std::string DebugCapture::text() const {
    std::lock_guard guard(g_lock);
    return g_capture ? *g_capture : std::string();
}

void DebugCapture::clear() {
    std::lock_guard guard(g_lock);
    if (g_capture)
        g_capture->clear();
}

TraceCapture::TraceCapture(unsigned channels) {
    trace::set_sink([this](std::string_view line) {
        std::lock_guard guard(m_lock);
        m_lines.emplace_back(line);
    });
    trace::enable(channels);
}

TraceCapture::~TraceCapture() {
    trace::enable(0);
    trace::set_sink(nullptr);
}

std::vector<std::string> TraceCapture::lines() const {
    std::lock_guard guard(m_lock);
    return m_lines;
}

std::vector<std::string> TraceCapture::starting(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& line : lines())
        if (line.rfind(prefix, 0) == 0)
            out.push_back(line);
    return out;
}

void set_register_message_hook(std::function<bool(LPCWSTR name)> hook) {
    host::set_register_message_hook(std::move(hook));
}

void set_display_escape(std::function<int(int)> handler) {
    std::lock_guard guard(g_lock);
    g_escape = std::move(handler);
}

std::vector<PresentedFrame> presented_frames() {
    std::lock_guard guard(g_lock);
    return g_frames;
}

// ----- WindowThread -----------------------------------------------------------

struct WindowThread::State {
    std::mutex lock;
    std::condition_variable done;
    std::deque<std::function<void()>> tasks;
    std::map<HWND, Handler> handlers;
    std::vector<Received> received;
    host::Thread thread;
    bool started = false;
    DWORD threadId = 0;
};

namespace {

constexpr UINT kRunTasks = WM_APP + 0x3E;
std::mutex g_windowsLock;
std::map<HWND, std::weak_ptr<WindowThread::State>> g_windowStates;
thread_local std::shared_ptr<WindowThread::State> t_state;

LRESULT window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
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
    if (message == WM_NCCREATE || message == WM_CREATE || message == WM_DESTROY || message == WM_NCDESTROY)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (handler)
        return handler(hwnd, message, wParam, lParam);
    // Without a handler a window paints nothing, but must say so, or its
    // thread would be handed WM_PAINT forever.
    return message == WM_PAINT ? DefWindowProcW(hwnd, message, wParam, lParam) : 1;
}

} // namespace

WindowThread::WindowThread() : m_state(std::make_shared<State>()) {
    auto state = m_state;
    state->thread = host::Thread([state] {
        t_state = state;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // makes the queue
        {
            std::lock_guard guard(state->lock);
            state->threadId = GetCurrentThreadId();
            state->started = true;
        }
        state->done.notify_all();
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
    std::unique_lock lock(m_state->lock);
    {
        host::ExternalWait wait;
        m_state->done.wait(lock, [&] { return m_state->started; });
    }
    m_threadId = m_state->threadId;
}

WindowThread::~WindowThread() {
    run([] { PostQuitMessage(0); });
    m_state->thread.join();
}

void WindowThread::run(const std::function<void()>& task) {
    bool finished = false;
    {
        std::lock_guard guard(m_state->lock);
        m_state->tasks.push_back([&, task] {
            task();
            std::lock_guard inner(m_state->lock);
            finished = true;
            m_state->done.notify_all();
        });
    }
    PostThreadMessageW(m_threadId, kRunTasks, 0, 0);
    std::unique_lock lock(m_state->lock);
    host::ExternalWait wait;
    m_state->done.wait(lock, [&] { return finished; });
}

HWND WindowThread::create(const std::u16string& className, bool visible, Handler handler) {
    HWND hwnd = nullptr;
    run([&] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = window_proc;
        wc.lpszClassName = className.c_str();
        RegisterClassW(&wc); // fails harmlessly when it exists
        hwnd = CreateWindowExW(0, className.c_str(), u"", visible ? WS_VISIBLE : 0, 0, 0, SCREEN_WIDTH, TASKBAR_HEIGHT,
                               nullptr, nullptr, nullptr, nullptr);
        std::lock_guard guard(m_state->lock);
        m_state->handlers[hwnd] = std::move(handler);
        std::lock_guard all(g_windowsLock);
        g_windowStates[hwnd] = m_state;
    });
    return hwnd;
}

std::vector<WindowThread::Received> WindowThread::received() const {
    std::lock_guard guard(m_state->lock);
    return m_state->received;
}

// ----- OwnWindow --------------------------------------------------------------

namespace {

LRESULT default_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

OwnWindow::OwnWindow(const Shape& shape) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = shape.proc != nullptr ? shape.proc : default_proc;
    wc.lpszClassName = shape.className;
    RegisterClassW(&wc); // fails harmlessly when it exists
    m_hwnd = CreateWindowExW(0, shape.className, u"own", shape.style, 0, 0, shape.width, shape.height, nullptr, nullptr,
                             nullptr, nullptr);
}

OwnWindow::~OwnWindow() {
    if (IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
}

} // namespace zt::testhost
