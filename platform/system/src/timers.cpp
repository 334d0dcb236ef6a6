// Timers: set, killed, and handed out as WM_TIMER when due.
#include "timers.h"

#include <algorithm>

namespace zt::sys {

Timers& Timers::get() {
    static Timers* const instance = new Timers();
    return *instance;
}

UINT_PTR Timers::set(const Locked&, HWND hwnd, UINT_PTR id, UINT period, Tick now, TIMERPROC proc, DWORD threadId) {
    if (hwnd == nullptr)
        id = m_nextThreadTimer++;
    const Timer timer{hwnd, id, period, now + period, proc, threadId};
    auto it =
        std::find_if(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it != m_timers.end())
        *it = timer;
    else
        m_timers.push_back(timer);
    return id;
}

bool Timers::kill(const Locked&, HWND hwnd, UINT_PTR id) {
    return std::erase_if(m_timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; }) != 0;
}

void Timers::remove_window(const Locked&, HWND hwnd) {
    std::erase_if(m_timers, [&](const Timer& t) { return t.hwnd == hwnd; });
}

void Timers::remove_thread(const Locked&, DWORD threadId) {
    std::erase_if(m_timers, [&](const Timer& t) { return t.threadId == threadId; });
}

bool Timers::any_due(const Locked&, DWORD threadId, Tick now) const {
    return std::any_of(m_timers.begin(), m_timers.end(),
                       [&](const Timer& t) { return t.threadId == threadId && t.due <= now; });
}

Tick Timers::next_due(const Locked&, DWORD threadId) const {
    Tick next = kForever;
    for (auto& t : m_timers)
        if (t.threadId == threadId)
            next = std::min(next, t.due);
    return next;
}

bool Timers::take_due(const Locked&, DWORD threadId, Tick now, bool remove, MSG& msg) {
    Timer* earliest = nullptr;
    for (auto& t : m_timers)
        if (t.threadId == threadId && t.due <= now && (!earliest || t.due < earliest->due))
            earliest = &t;
    if (!earliest)
        return false;
    msg.hwnd = earliest->hwnd;
    msg.message = WM_TIMER;
    msg.wParam = static_cast<WPARAM>(earliest->id);
    if (remove) {
        // A late timer is not made up for: one WM_TIMER, then on with the period.
        earliest->due += earliest->period;
        if (earliest->due <= now)
            earliest->due = now + earliest->period;
    }
    return true;
}

TIMERPROC Timers::proc_of(const Locked&, HWND hwnd, UINT_PTR id) const {
    TIMERPROC proc = nullptr;
    for (auto& t : m_timers)
        if (t.hwnd == hwnd && t.id == id)
            proc = t.proc;
    return proc;
}

} // namespace zt::sys
