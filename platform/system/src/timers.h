// Timers of every thread. Shares the kernel's lock, like the window manager.
#pragma once
// Private to platform/system and its tests, which alone the build gives this.
#ifndef ZT_SYSTEM_PRIVATE
#error "a private header of platform/system: include the published ones (zt/platform.h, zt/host.h, zt/sys/...)"
#endif

#include "zt/sys/kernel.h"

#include <vector>

namespace zt::sys {

class Timers {
  public:
    using Locked = Kernel::Locked;
    static Timers& get();

    // Timers are at least this long.
    static constexpr UINT kMinimumPeriod = 10;

    // Sets or resets the timer (hwnd, id), due a period from `now`. A thread
    // timer (hwnd null) gets a new id. Returns the id used.
    UINT_PTR set(const Locked&, HWND hwnd, UINT_PTR id, UINT period, Tick now, TIMERPROC proc, DWORD threadId);
    bool kill(const Locked&, HWND hwnd, UINT_PTR id);
    void remove_window(const Locked&, HWND hwnd);
    void remove_thread(const Locked&, DWORD threadId);

    bool any_due(const Locked&, DWORD threadId, Tick now) const;
    // When the thread's next timer is due (kForever: it has none).
    Tick next_due(const Locked&, DWORD threadId) const;
    // The thread's earliest due timer as WM_TIMER in `msg`; with `remove` it
    // moves on by its period. False when none is due.
    bool take_due(const Locked&, DWORD threadId, Tick now, bool remove, MSG& msg);
    TIMERPROC proc_of(const Locked&, HWND hwnd, UINT_PTR id) const;

  private:
    struct Timer {
        HWND hwnd = nullptr;
        UINT_PTR id = 0;
        UINT period = 0;
        Tick due = 0;
        TIMERPROC proc = nullptr;
        DWORD threadId = 0;
    };
    std::vector<Timer> m_timers;
    UINT_PTR m_nextThreadTimer = 1;
};

} // namespace zt::sys
