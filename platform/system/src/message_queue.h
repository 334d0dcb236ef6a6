// A thread's message queue: messages posted to it, messages sent to it by
// other threads, and its quit flag. Shares the kernel's lock.
#pragma once
// Private to platform/system and its tests, which alone the build gives this.
#ifndef ZT_SYSTEM_PRIVATE
#error "a private header of platform/system: include the published ones (zt/platform.h, zt/host.h, zt/sys/...)"
#endif

#include "zt/sys/kernel.h"

#include <deque>
#include <memory>

namespace zt::sys {

// A message sent to a window of another thread, waiting for its reply.
struct SentMessage {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    bool failed = false;
};

class MessageQueue {
  public:
    using Locked = Kernel::Locked;

    void post(const Locked&, const MSG& msg) { m_posted.push_back(msg); }
    // Copies the first posted message into msg, taking it with `remove`.
    bool peek_posted(const Locked&, MSG& msg, bool remove);
    void quit(const Locked&, int code) {
        m_quit = true;
        m_quitCode = code;
    }
    // The quit code when quit was asked for, clearing it with `remove`.
    bool peek_quit(const Locked&, int& code, bool remove);

    void send(const Locked&, std::shared_ptr<SentMessage> sent) { m_incoming.push_back(std::move(sent)); }
    bool has_sent(const Locked&) const { return !m_incoming.empty(); }
    std::shared_ptr<SentMessage> take_sent(const Locked&);
    // Answers every waiting sender with a failure: the thread is ending.
    void fail_sent(const Locked&);

    // Something sent, posted or a quit is waiting.
    bool has_input(const Locked&) const { return !m_incoming.empty() || !m_posted.empty() || m_quit; }

  private:
    std::deque<MSG> m_posted;
    std::deque<std::shared_ptr<SentMessage>> m_incoming;
    bool m_quit = false;
    int m_quitCode = 0;
};

// A thread's queue, made on first use.
MessageQueue& queue_of(const Kernel::Locked&, ThreadRecord& record);

} // namespace zt::sys
