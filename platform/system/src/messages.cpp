// Message delivery between threads and the calling thread's message loop.
//
// Everything here runs under the kernel lock; window procedures and the
// host are called without it.
#include "messages.h"

#include "message_queue.h"
#include "timers.h"
#include "window_manager.h"

#include <algorithm>

namespace zt::sys {

void wake_host_if_needed(DWORD targetThread) {
    Kernel& k = Kernel::get();
    if (targetThread == k.boot_thread_id() && !k.is_boot_thread())
        host::current().wake();
}

namespace {

// Input or a paint waiting: what the thread has to do whatever the time.
bool has_waiting(const Locked& locked, DWORD threadId, const MessageQueue& queue) {
    return queue.has_input(locked) || WindowManager::get().first_to_paint(locked, threadId) != nullptr;
}

bool has_work(const Locked& locked, DWORD threadId, const MessageQueue& queue, Tick now) {
    return has_waiting(locked, threadId, queue) || Timers::get().any_due(locked, threadId, now);
}

// Waits until the thread has work, `deadline` comes, or another thread sets
// it a timer due before `nextTimer` (so that its loop looks again with the
// new deadline). True when it has work.
bool wait_for_work(Locked& locked, DWORD threadId, const MessageQueue& queue, Tick nextTimer, Tick deadline) {
    Kernel& k = Kernel::get();
    return k.wait_until(locked, deadline, [&] {
        return has_work(locked, threadId, queue, k.now(locked)) || Timers::get().next_due(locked, threadId) < nextTimer;
    });
}

// Runs the first message sent by another thread, dropping the lock around
// the window procedure.
void run_incoming(Locked& locked, MessageQueue& queue) {
    Kernel& k = Kernel::get();
    auto sent = queue.take_sent(locked);
    auto window = find_window(locked, sent->hwnd);
    if (!window) {
        sent->failed = true;
        sent->done = true;
        k.notify_all(locked);
        return;
    }
    LRESULT result = 0;
    {
        Unlocked open(locked);
        result = window->proc(sent->hwnd, sent->message, sent->wParam, sent->lParam);
    }
    sent->result = result;
    sent->done = true;
    k.notify_all(locked);
}

enum class Pick { None, Message, Ran };

// Picks the next message for the calling thread. `now` is the clock as
// read for timers and stamps (kForever when nothing needed it): a page
// reads its clock through a call into the browser, so once per look. Kept
// out of next_message(), which the page's build instruments for sleeping
// (every instruction in it pays for that).
[[gnu::noinline]] Pick pick_message(Locked& locked, ThreadRecord& self, MSG& msg, bool remove, Tick& now) {
    MessageQueue& queue = queue_of(locked, self);
    Kernel& k = Kernel::get();
    if (queue.has_sent(locked)) {
        run_incoming(locked, queue);
        return Pick::Ran;
    }
    if (queue.peek_posted(locked, msg, remove))
        return Pick::Message;
    now = k.now(locked);
    msg = MSG{};
    msg.time = k.tick_count_at(now);
    int quitCode = 0;
    if (queue.peek_quit(locked, quitCode, remove)) {
        msg.message = WM_QUIT;
        msg.wParam = static_cast<WPARAM>(quitCode);
        return Pick::Message;
    }
    if (HWND dirty = WindowManager::get().first_to_paint(locked, self.id)) {
        msg.hwnd = dirty;
        msg.message = WM_PAINT;
        return Pick::Message;
    }
    return Timers::get().take_due(locked, self.id, now, remove, msg) ? Pick::Message : Pick::None;
}

// How long the boot thread's host may sleep in idle(): until the next timer.
DWORD idle_timeout(Tick nextTimer, Tick now) {
    if (nextTimer == kForever)
        return INFINITE;
    return static_cast<DWORD>(std::min<Tick>(nextTimer - std::min(nextTimer, now), INFINITE - 1));
}

} // namespace

SendResult send_across(HWND hwnd, DWORD targetThread, UINT message, WPARAM wParam, LPARAM lParam, Tick deadline) {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hwnd;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    Locked locked = k.lock();
    ThreadRecord* targetRecord = k.find_thread(locked, targetThread);
    if (targetRecord)
        (void)queue_of(locked, *targetRecord);
    // Held here: the target thread may end while this one waits.
    std::shared_ptr<MessageQueue> target = targetRecord ? targetRecord->queue(locked) : nullptr;
    if (!target)
        return {SendResult::Outcome::WindowGone, 0};
    target->send(locked, sent);
    k.notify_thread(locked, targetThread);
    {
        Unlocked open(locked);
        wake_host_if_needed(targetThread);
    }
    MessageQueue& own = queue_of(locked, self);
    for (;;) {
        const bool ready = k.wait_until(locked, deadline, [&] { return sent->done || own.has_sent(locked); });
        if (sent->done)
            break;
        if (!ready)
            return {SendResult::Outcome::TimedOut, 0};
        run_incoming(locked, own);
    }
    if (sent->failed)
        return {SendResult::Outcome::WindowGone, 0};
    return {SendResult::Outcome::Answered, sent->result};
}

bool post_to_thread(DWORD threadId, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Kernel& k = Kernel::get();
    {
        Locked locked = k.lock();
        ThreadRecord* record = k.find_thread(locked, threadId);
        if (!record)
            return false;
        queue_of(locked, *record).post(locked, MSG{hwnd, message, wParam, lParam, k.tick_count(locked), POINT{0, 0}});
        k.notify_thread(locked, threadId);
    }
    wake_host_if_needed(threadId);
    return true;
}

void post_quit(int exitCode) {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    Locked locked = k.lock();
    queue_of(locked, self).quit(locked, exitCode);
    k.notify_thread(locked, self.id);
}

bool next_message(MSG& msg, bool wait, bool remove) {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    Locked locked = k.lock();
    MessageQueue& queue = queue_of(locked, self);
    for (;;) {
        Tick now = kForever;
        const Pick pick = pick_message(locked, self, msg, remove, now);
        if (pick == Pick::Message)
            return true;
        if (pick == Pick::Ran)
            continue;
        if (!wait)
            return false;
        const Tick nextTimer = Timers::get().next_due(locked, self.id);
        if (k.is_boot_thread()) {
            const DWORD timeout = idle_timeout(nextTimer, now);
            bool again = false;
            {
                Unlocked open(locked);
                again = host::current().idle(timeout);
            }
            if (again)
                continue;
        }
        wait_for_work(locked, self.id, queue, nextTimer, nextTimer);
    }
}

Tick loop_deadline() {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    Locked locked = k.lock();
    // No clock: a timer due now has a deadline passed.
    if (has_waiting(locked, self.id, queue_of(locked, self)))
        return 0;
    return Timers::get().next_due(locked, self.id);
}

bool wait_for_loop(Tick deadline) {
    Kernel& k = Kernel::get();
    ThreadRecord& self = k.this_thread();
    Locked locked = k.lock();
    const Tick nextTimer = Timers::get().next_due(locked, self.id);
    return wait_for_work(locked, self.id, queue_of(locked, self), nextTimer, std::min(deadline, nextTimer));
}

void on_thread_exit(ThreadRecord& record) {
    Kernel& k = Kernel::get();
    Locked locked = k.lock();
    if (const auto& queue = record.queue(locked))
        queue->fail_sent(locked);
    WindowManager& wm = WindowManager::get();
    for (HWND hwnd : wm.windows_of(locked, record.id))
        wm.remove(locked, hwnd);
    Timers::get().remove_thread(locked, record.id);
    k.notify_all(locked);
}

} // namespace zt::sys
