// Sending, posting and taking messages: what the Win32 message calls do
// once their arguments are checked.
#pragma once
// Private to platform/system and its tests, which alone the build gives this.
#ifndef ZT_SYSTEM_PRIVATE
#error "a private header of platform/system: include the published ones (zt/platform.h, zt/host.h, zt/sys/...)"
#endif

#include "zt/sys/kernel.h"

namespace zt::sys {

struct SendResult {
    enum class Outcome {
        Answered,   // the window's procedure returned `value`
        TimedOut,   // the deadline came first; a late reply is dropped
        WindowGone, // the window or its thread went before answering
    };
    Outcome outcome = Outcome::WindowGone;
    LRESULT value = 0;
    bool answered() const { return outcome == Outcome::Answered; }
};

// Sends to a window of another thread and waits for its reply, the deadline
// or the window's end. While waiting, messages sent to the caller's own
// thread are handled, so two threads sending to each other do not hang.
SendResult send_across(HWND hwnd, DWORD targetThread, UINT message, WPARAM wParam, LPARAM lParam, Tick deadline);

// Appends to a thread's posted messages; false when there is no such thread.
bool post_to_thread(DWORD threadId, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void post_quit(int exitCode);
// Wakes the boot thread's host, which may be waiting for input in idle(),
// when another thread gave the boot thread work.
void wake_host_if_needed(DWORD targetThread);

// The calling thread's next message, in Win32's order: messages sent from
// other threads (run here), posted messages, quit, paint, timers. With
// `wait` it blocks until there is one and returns true; without, it returns
// false when there is none. `remove` takes the message off the queue.
bool next_message(MSG& msg, bool wait, bool remove);
// When the calling thread's loop must run again (see host::loop_deadline).
Tick loop_deadline();
// Waits as the loop waits for its next message (see host::wait_for_loop).
bool wait_for_loop(Tick deadline);

} // namespace zt::sys
