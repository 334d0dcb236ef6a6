// Point-to-point message queues: how queue names become system names, and
// the few internals that tools and tests need beside the Win32 surface
// (CreateMsgQueue, WriteMsgQueue, ReadMsgQueue, CloseMsgQueue).
//
// A queue is a POSIX message queue, so a reader in another process sees what
// a writer here sends, and a queue outlives the processes that use it until
// it is removed. Queues are the user's own: every queue name maps to exactly
// one POSIX name of the user (by effective uid),
//
//   "/zt-" + uid + "-" + escape(prefix) + escape(UTF-8 of the name)
//
// made with mode 0600. An existing queue of that name that belongs to
// another user, or that group or others may open, is refused
// (ERROR_ACCESS_DENIED, with a line on the debug output saying why): reading
// it could take another user's forged records, writing it hand them ours.
//
// The prefix is the value of the environment variable
// ZT_MSGQUEUE_PREFIX (empty when unset), read at every CreateMsgQueue, and
// escape() writes every byte outside '!'..'~', and '/' and '%' themselves, as
// '%' and two upper-case hex digits. Lone UTF-16 surrogates are encoded like
// any other code point (three bytes), so distinct names stay distinct. A
// POSIX name holds at most NAME_MAX (255) bytes after its leading '/'; a
// longer mapped name is refused with ERROR_INVALID_NAME rather than
// shortened or hashed, so that the system name can always be read back.
#pragma once

#include "zt/platform.h"

#include <optional>
#include <string>
#include <string_view>

namespace zt::sys {

// The environment variable whose value goes in front of every queue name.
// Tests set it to something of their own ("test-<pid>-") so that runs in
// parallel never share a queue.
inline constexpr const char* kMsgQueuePrefixVariable = "ZT_MSGQUEUE_PREFIX";

// Longest POSIX name after its leading '/'.
inline constexpr std::size_t kMsgQueueNameMax = 255;

// The POSIX name of `name` under `prefix` for the user `uid`, or nothing
// when it would be too long.
std::optional<std::string> msgqueue_posix_name(std::u16string_view name, std::string_view prefix, unsigned uid);
// The same under the prefix from the environment, for this process's user.
std::optional<std::string> msgqueue_posix_name(std::u16string_view name);

// Removes the queue `name` (under the environment's prefix) from the system.
// Open handles keep working; the next CreateMsgQueue of the name makes a new
// queue. False when there was no such queue or it cannot be removed.
bool remove_msgqueue(std::u16string_view name);

// What a queue handle was asked for and what the system granted.
struct MsgQueueLimits {
    DWORD maxMessages = 0;    // requested (0: no limit asked for)
    DWORD maxMessageSize = 0; // requested
    DWORD systemMaxMessages = 0;
    DWORD systemMaxMessageSize = 0;
    DWORD currentMessages = 0; // at the time of the call
    bool readAccess = false;
};
// False (ERROR_INVALID_HANDLE) when `queue` is not a queue handle.
bool msgqueue_limits(HANDLE queue, MsgQueueLimits& limits);

// A descriptor that becomes readable (reading end) or writable (writing
// end) when ReadMsgQueue or WriteMsgQueue would not wait, for poll(); -1 when
// `queue` is not a queue handle or the host has no such descriptors. It
// stays owned by the handle.
int msgqueue_poll_descriptor(HANDLE queue);

// Whether the queue's name still leads to the queue `queue` is an end of:
// false once it was removed (and perhaps made again by someone), so that a
// reader can follow the name to the queue writers now reach; false too when
// `queue` is not a queue handle.
bool msgqueue_current(HANDLE queue);

} // namespace zt::sys
