// The test fixtures that both sides share: written in plain Win32 calls only,
// so the same code runs on the test host here and, built by MinGW-w64 against
// the real windows.h, under Wine (conformance/). The few pieces that differ
// by side (starting a thread, removing a registry tree) sit in portable.cpp.
#pragma once

#include "zt/platform.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zt::testhost {

// A thread the platform knows about from its first instruction, so the
// virtual clock waits for it while it starts (on Win32 a plain thread).
// Destroying it joins it.
class Thread {
  public:
    explicit Thread(std::function<void()> body);
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    void join();

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

// A thread with its own message loop that owns top-level windows, as the
// phone's shell does. Every message its windows receive is recorded. From
// WM_USER up a window's handler answers (none: 1); below that
// DefWindowProcW does, so the system's own messages (creation, painting)
// are handled as usual on both sides. Destroying it ends the thread, and its
// windows go with it.
class WindowThread {
  public:
    using Handler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
    WindowThread();
    ~WindowThread();
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    // A popup window of `className` where the taskbar is: at 0,0, the
    // screen's width by TASKBAR_HEIGHT (the class is registered on first use).
    HWND create(const WCHAR* className, bool visible, Handler handler = nullptr);
    // Runs `task` on the thread and waits for it.
    void run(const std::function<void()>& task);
    DWORD thread_id() const;

    struct Received {
        HWND hwnd;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        DWORD tick;
    };
    // The messages numbered `lowest` and up, in the order received (Win32
    // sends its windows many of its own below WM_USER).
    std::vector<Received> received(UINT lowest = 0) const;

    struct State;

  private:
    std::shared_ptr<State> m_state;
};

// Removes a registry key and everything below it; missing is fine.
void delete_key_tree(HKEY root, const WCHAR* path);

// A wide text in ASCII (anything else as '?'), for failure messages.
std::string narrow(const WCHAR* text);

} // namespace zt::testhost
