// Turns one record of the shell's queues into one line of text.
#pragma once

#include "zt/platform.h"

#include <cstddef>
#include <string>

namespace zt::listen {

enum class Queue { Notify, Apps, User };

struct QueueInfo {
    Queue queue;
    const char* word; // as on the command line and at the start of each line
    LPCWSTR name;
    DWORD recordSize;
};
const QueueInfo& queue_info(Queue queue);

// The line for `size` bytes read from `queue` (without a newline).
std::string decode(Queue queue, const BYTE* bytes, std::size_t size);

} // namespace zt::listen
