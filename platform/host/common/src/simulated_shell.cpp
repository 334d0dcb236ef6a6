// The simulated shell: its windows live on a thread of their own, or on the
// thread that starts it.
#include "zt/host/simulated_shell.h"

#include "zt/host.h"
#include "zt/screen.h"
#include "zt/sys/guarded.h"
#include "zt/sys/registry.h"
#include "zt/sys/trace.h"
#include "zt/sys/unicode.h"

#include <array>
#include <condition_variable>
#include <utility>

namespace zt::host {

struct SimulatedShell::State {
    // What the shell's thread tells the phone once its windows are up.
    struct Shared {
        bool ready = false;
        DWORD threadId = 0;
        std::array<HWND, kClassNames.size()> windows{};
    };
    // Mutable: looking a window up is a const question that takes the lock.
    mutable sys::Guarded<Shared> shared;
    std::condition_variable changed;
    Thread thread;
};

namespace {

constexpr RECT kScreenRect = {0, 0, SCREEN_WIDTH, SCREEN_HEIGHT};

// Every shell window logs what it receives and answers 1; painting is left to
// the host, which draws the taskbar over the screen while it is visible.
LRESULT shell_window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (trace::on(trace::kShell)) {
        WCHAR name[64] = {};
        GetClassNameW(hwnd, name, static_cast<int>(std::size(name)));
        trace::line(trace::kShell, "%s received 0x%x(0x%x, 0x%x)", sys::to_utf8(name).c_str(), message, wParam,
                    static_cast<unsigned>(lParam));
    }
    if (message == WM_PAINT)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return 1;
}

bool wanted(const SimulatedShell::Options& options, const char16_t* className) {
    for (const auto& name : options.without)
        if (sys::equal_ignore_case(name, className))
            return false;
    return true;
}

using Windows = std::array<HWND, SimulatedShell::kClassNames.size()>;

Windows create_windows(const SimulatedShell::Options& options) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // makes the queue before anyone sends
    Windows windows{};
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const char16_t* name = SimulatedShell::kClassNames[i];
        if (!wanted(options, name))
            continue;
        WNDCLASSW wc{};
        wc.lpfnWndProc = shell_window_proc;
        wc.lpszClassName = name;
        RegisterClassW(&wc); // already there from an earlier start: the same procedure
        const bool taskbar = i == 0;
        const RECT r = taskbar ? SimulatedShell::kTaskbarRect : kScreenRect;
        windows[i] = CreateWindowExW(0, name, u"", WS_POPUP | (taskbar ? WS_VISIBLE : 0), r.left, r.top,
                                     r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    }
    return windows;
}

void destroy_windows(const Windows& windows) {
    for (HWND hwnd : windows)
        if (hwnd != nullptr)
            DestroyWindow(hwnd);
}

// From the thread that owns `windows`: they are up.
void publish(SimulatedShell::State& state, const Windows& windows) {
    state.shared.with([&](SimulatedShell::State::Shared& shared) {
        shared.windows = windows;
        shared.threadId = GetCurrentThreadId();
        shared.ready = true;
    });
    state.changed.notify_all();
}

void run_shell(SimulatedShell::State& state, const SimulatedShell::Options& options) {
    const Windows windows = create_windows(options);
    publish(state, windows);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    destroy_windows(windows);
}

} // namespace

SimulatedShell::SimulatedShell() = default;

SimulatedShell::SimulatedShell(const Options& options) : m_options(options) {}

SimulatedShell::~SimulatedShell() {
    stop();
}

void SimulatedShell::start() {
    if (m_state)
        return;
    // The shell writes its lock state; the phone boots unlocked.
    sys::registry::set_dword(HKEY_LOCAL_MACHINE, u"System\\State\\ZaruVuvIvozi", u"IsLockState", 0);
    auto state = std::make_unique<State>();
    if (!m_options.ownThread) {
        publish(*state, create_windows(m_options));
        m_state = std::move(state);
        return;
    }
    State* raw = state.get();
    const Options options = m_options;
    raw->thread = Thread([raw, options] { run_shell(*raw, options); });
    {
        ExternalWait outside;
        auto shared = raw->shared.lock();
        while (!shared->ready)
            shared.wait(raw->changed);
    }
    m_state = std::move(state);
}

void SimulatedShell::stop() {
    if (!m_state)
        return;
    const auto [threadId, windows] = m_state->shared.with([](const State::Shared& shared) {
        return std::pair{shared.threadId, shared.windows};
    });
    if (!m_options.ownThread) {
        destroy_windows(windows);
        m_state.reset();
        return;
    }
    PostThreadMessageW(threadId, WM_QUIT, 0, 0);
    m_state->thread.join();
    m_state.reset();
}

bool SimulatedShell::running() const {
    return m_state != nullptr;
}

bool SimulatedShell::taskbar_visible() const {
    // Asked on every tick: the taskbar is the first of kClassNames.
    const HWND taskbar = window_at(0);
    return taskbar != nullptr && IsWindowVisible(taskbar);
}

HWND SimulatedShell::window(std::u16string_view className) const {
    for (std::size_t i = 0; i < kClassNames.size(); ++i)
        if (sys::equal_ignore_case(kClassNames[i], className))
            return window_at(i);
    return nullptr;
}

HWND SimulatedShell::window_at(std::size_t index) const {
    if (!m_state)
        return nullptr;
    return m_state->shared.with([index](const State::Shared& shared) { return shared.windows[index]; });
}

} // namespace zt::host
