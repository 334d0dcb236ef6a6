// What the conformance tests share. Every test is written against the Win32
// functions the application and its libraries use, so the same source builds
// against the stand-in (zt/platform.h) and, with MinGW-w64, against the real
// windows.h (a shim of the same name includes it), and runs under Wine.
#pragma once

#include "zt/platform.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace conformance {

// Wide text as the platform spells it: char16_t here, wchar_t on Windows.
using WString = std::basic_string<WCHAR>;

#if defined(_WIN32)
constexpr bool kOnWin32 = true;
#else
constexpr bool kOnWin32 = false;
#endif

// Marks a test that pins a behaviour Win32 does not share: a choice of the
// stand-in, or what the phone's system does differently from desktop Win32.
// It runs on the stand-in and is skipped on Win32 with the reason printed, so
// a skip is never mistaken for a pass. docs/architecture.md lists them all.
#if defined(_WIN32)
#define ZT_WIN32_DIFFERENCE(reason) GTEST_SKIP() << "differs from Win32: " << (reason)
#else
#define ZT_WIN32_DIFFERENCE(reason) ::testing::Test::RecordProperty("win32_difference", (reason))
#endif

// The stand-in's unit-test host runs a virtual clock, on which a wait lasts
// exactly its limit; on Win32 the clock is real, so an elapsed time may run
// late (a loaded machine) or a tick early (the clock's granularity).
::testing::AssertionResult elapsed_is(DWORD since, DWORD expected);
// The same for a time already measured.
::testing::AssertionResult duration_is(DWORD measured, DWORD expected);
// At least `least` ms have passed (exactly that many on the virtual clock).
::testing::AssertionResult elapsed_at_least(DWORD since, DWORD least);

// A thread the platform knows about, so the virtual clock waits for it.
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
// phone's shell does. Every message its windows receive is recorded; from
// WM_USER up, a window's handler answers (none: 1), below that DefWindowProcW.
// Destroying it ends the thread, and its windows go with it.
class WindowThread {
  public:
    using Handler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
    WindowThread();
    ~WindowThread();
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    // A popup window of `className` at 0,0 480x40 (the class is registered
    // on first use).
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
    // Messages from WM_USER up (the system sends Win32 windows many of its
    // own below that), in the order received.
    std::vector<Received> received() const;
    // Every message, the system's included.
    std::vector<Received> received_all() const;

    struct State;

  private:
    std::shared_ptr<State> m_state;
};

// Removes a registry key and everything below it; missing is fine.
void delete_key_tree(HKEY root, const WCHAR* path);

// Runs this test program again in a second process, registering `names` in
// order there with RegisterWindowMessageW; its numbers, in the same order
// (empty when the process could not be run).
std::vector<UINT> register_in_other_process(const std::vector<WString>& names);
// The second process's side: what main() runs for "--register NAME...".
int register_and_print(int argc, char** argv);

// `stem` followed by this process's id: a name no parallel run shares.
WString unique_name(const char* stem);

// UTF-8 of a wide text, for failure messages.
std::string narrow(const WCHAR* text);

} // namespace conformance
