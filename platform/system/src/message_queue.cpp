// Per-thread message queues.
#include "message_queue.h"

namespace zt::sys {

bool MessageQueue::peek_posted(const Locked&, MSG& msg, bool remove) {
    if (m_posted.empty())
        return false;
    msg = m_posted.front();
    if (remove)
        m_posted.pop_front();
    return true;
}

bool MessageQueue::peek_quit(const Locked&, int& code, bool remove) {
    if (!m_quit)
        return false;
    code = m_quitCode;
    if (remove)
        m_quit = false;
    return true;
}

std::shared_ptr<SentMessage> MessageQueue::take_sent(const Locked&) {
    if (m_incoming.empty())
        return nullptr;
    auto sent = std::move(m_incoming.front());
    m_incoming.pop_front();
    return sent;
}

void MessageQueue::fail_sent(const Locked&) {
    for (auto& sent : m_incoming) {
        sent->failed = true;
        sent->done = true;
    }
    m_incoming.clear();
}

MessageQueue& queue_of(const Kernel::Locked& locked, ThreadRecord& record) {
    std::shared_ptr<MessageQueue>& queue = record.queue(locked);
    if (!queue)
        queue = std::make_shared<MessageQueue>();
    return *queue;
}

} // namespace zt::sys
