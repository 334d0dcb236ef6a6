// The host that unit tests link: a virtual clock from tick 0, an empty shell
// unless a test brings windows up, and captured debug output. Tests that link
// zt_testhost_main get it installed before their first test; a test binary
// with a main of its own calls install() before any platform call.
#pragma once

#include "zt/platform.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zt::testhost {

// Installs the test host (zt::host::install); harmless when it already is.
void install();

// Debug output (NKDbgPrintfW) written while a capture lives goes to it
// instead of standard error.
class DebugCapture {
  public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;
    std::string text() const;
    void clear();
};

// Trace lines of the given channels written while a capture lives (and
// nothing on standard error meanwhile).
class TraceCapture {
  public:
    explicit TraceCapture(unsigned channels);
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;
    std::vector<std::string> lines() const;
    // Lines that begin with `prefix` ("trace:shell: FindWindowW(" ...).
    std::vector<std::string> starting(const std::string& prefix) const;

  private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_lines;
};

// Sees the name of every RegisterWindowMessageW before the platform does;
// false makes the call fail with 0. Null removes it.
void set_register_message_hook(std::function<bool(LPCWSTR name)> hook);

// The display driver's answer to ExtEscape; default 0 (not supported).
void set_display_escape(std::function<int(int code)> handler);

// Frames handed to the host by EndPaint, newest last (window, width, height).
struct PresentedFrame {
    HWND window;
    int width;
    int height;
};
std::vector<PresentedFrame> presented_frames();

// A thread with its own message loop that owns windows, like the phone's
// shell. Each window calls its handler for every message it receives.
class WindowThread {
  public:
    using Handler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
    WindowThread();
    ~WindowThread();
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    // Creates a top-level window of `className` on the thread (registering
    // the class on first use). A null handler answers every message with 1
    // and validates WM_PAINT.
    HWND create(const std::u16string& className, bool visible, Handler handler = nullptr);
    // Runs `task` on the thread and waits for it.
    void run(const std::function<void()>& task);
    DWORD thread_id() const { return m_threadId; }

    // Every message the thread's windows received, in order.
    struct Received {
        HWND hwnd;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        DWORD tick;
    };
    std::vector<Received> received() const;

    struct State;

  private:
    std::shared_ptr<State> m_state;
    DWORD m_threadId = 0;
};

} // namespace zt::testhost
