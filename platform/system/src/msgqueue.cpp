// Point-to-point message queues over POSIX message queues.
//
// A handle is one end of a queue: a writing end (bReadAccess 0) or a reading
// end. Each holds two POSIX descriptors of the same queue: a non-blocking one
// for the calls that must not wait (time-out 0, the common case) and a
// blocking one for mq_timedsend / mq_timedreceive.
//
// Limits: dwMaxMessages and cbMaxMessage become mq_maxmsg and mq_msgsize.
// An unprivileged user may not exceed /proc/sys/fs/mqueue/msg_max (often 10)
// and msgsize_max; when the system refuses the limits the queue is made with
// what it allows, and the first such fallback in a process is reported once
// on the debug output. A queue that already exists keeps the limits it was
// made with. Whatever the system granted, a record larger than the requested
// cbMaxMessage is refused, and a writing end never lets the queue hold more
// than the requested dwMaxMessages.
//
// Time: a queue is shared with other processes, so a wait on it is a wait
// outside the platform (Kernel::ExternalWait, which lets the virtual clock
// move) and its time-out is measured in real time.
//
// Readers and writers are not counted across processes, so every queue
// behaves as if made with MSGQUEUE_ALLOW_BROKEN: a write with no reader
// succeeds and waits in the queue.
#include "zt/sys/msgqueue.h"
#include "api.h"

#include "zt/platform.h"
#include "zt/sys/kernel.h"
#include "zt/sys/trace.h"
#include "zt/sys/unicode.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef __EMSCRIPTEN__
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <mqueue.h>
#include <thread>
#include <vector>
#endif

using zt::sys::fail;

namespace zt::sys {

// ----- names ----------------------------------------------------------------

namespace {

void append_escaped(std::string& out, unsigned char byte) {
    if (byte > ' ' && byte < 0x7F && byte != '/' && byte != '%') {
        out += static_cast<char>(byte);
        return;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

std::string queue_prefix() {
    const char* prefix = std::getenv(kMsgQueuePrefixVariable);
    return prefix != nullptr ? prefix : "";
}

} // namespace

std::optional<std::string> msgqueue_posix_name(std::u16string_view name, std::string_view prefix, unsigned uid) {
    std::string out = "/zt-" + std::to_string(uid) + "-";
    for (char byte : prefix)
        append_escaped(out, static_cast<unsigned char>(byte));
    // Lone surrogates keep their own UTF-8 form, so two names that differ
    // only there still name two queues.
    std::string bytes;
    for (std::size_t i = 0; i < name.size();) {
        bytes.clear();
        encode_utf8(bytes, decode_utf16(name, i));
        for (char byte : bytes)
            append_escaped(out, static_cast<unsigned char>(byte));
        if (out.size() > kMsgQueueNameMax + 1)
            return std::nullopt;
    }
    if (out.size() > kMsgQueueNameMax + 1)
        return std::nullopt;
    return out;
}

std::optional<std::string> msgqueue_posix_name(std::u16string_view name) {
#ifdef __EMSCRIPTEN__
    return msgqueue_posix_name(name, queue_prefix(), 0);
#else
    return msgqueue_posix_name(name, queue_prefix(), geteuid());
#endif
}

} // namespace zt::sys

namespace {

std::string describe_options(const MSGQUEUEOPTIONS* options) {
    if (options == nullptr)
        return "NULL";
    char text[96];
    std::snprintf(text, sizeof text, "{%u, %#x, %u, %u, %d}", options->dwSize, options->dwFlags, options->dwMaxMessages,
                  options->cbMaxMessage, options->bReadAccess);
    return text;
}

} // namespace

#ifdef __EMSCRIPTEN__

// The browser has no message queues shared between programs.

bool zt::sys::remove_msgqueue(std::u16string_view) {
    return false;
}

bool zt::sys::msgqueue_limits(HANDLE, MsgQueueLimits&) {
    return fail(ERROR_INVALID_HANDLE, false);
}

int zt::sys::msgqueue_poll_descriptor(HANDLE) {
    return -1;
}

bool zt::sys::msgqueue_current(HANDLE) {
    return false;
}

HANDLE CreateMsgQueue(LPCWSTR name, LPMSGQUEUEOPTIONS options) {
    ZT_TRACE(zt::trace::kQueue, "CreateMsgQueue(%s, %s) = NULL, error %u", zt::trace::quote(name).c_str(),
             describe_options(options).c_str(), ERROR_NOT_SUPPORTED);
    return fail(ERROR_NOT_SUPPORTED, nullptr);
}

BOOL WriteMsgQueue(HANDLE queue, LPVOID, DWORD dataSize, DWORD timeout, DWORD flags) {
    ZT_TRACE(zt::trace::kQueue, "WriteMsgQueue(%s, %u, %u, %#x) = 0, error %u", zt::trace::handle(queue).c_str(),
             dataSize, timeout, flags, ERROR_INVALID_HANDLE);
    return fail(ERROR_INVALID_HANDLE, FALSE);
}

BOOL ReadMsgQueue(HANDLE queue, LPVOID, DWORD bufferSize, LPDWORD bytesRead, DWORD timeout, DWORD*) {
    if (bytesRead != nullptr)
        *bytesRead = 0;
    ZT_TRACE(zt::trace::kQueue, "ReadMsgQueue(%s, %u, %u) = 0, error %u, read 0", zt::trace::handle(queue).c_str(),
             bufferSize, timeout, ERROR_INVALID_HANDLE);
    return fail(ERROR_INVALID_HANDLE, FALSE);
}

BOOL CloseMsgQueue(HANDLE queue) {
    ZT_TRACE(zt::trace::kQueue, "CloseMsgQueue(%s) = 0, error %u", zt::trace::handle(queue).c_str(),
             ERROR_INVALID_HANDLE);
    return fail(ERROR_INVALID_HANDLE, FALSE);
}

#else

namespace zt::sys {
namespace {

constexpr DWORD kOptionsSize = sizeof(MSGQUEUEOPTIONS);
static_assert(kOptionsSize == 20, "five 32-bit fields");
constexpr DWORD kKnownFlags = MSGQUEUE_NOPRECOMMIT | MSGQUEUE_ALLOW_BROKEN;
// Alert messages go ahead of the others, as on the phone.
constexpr unsigned kAlertPriority = 1;

// One POSIX descriptor, closed with its owner.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(mqd_t d) : m_d(d) {}
    Descriptor(Descriptor&& other) noexcept : m_d(other.m_d) { other.m_d = kNone; }
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            m_d = other.m_d;
            other.m_d = kNone;
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }
    mqd_t get() const { return m_d; }
    explicit operator bool() const { return m_d != kNone; }

  private:
    static constexpr mqd_t kNone = static_cast<mqd_t>(-1);
    void reset() {
        if (m_d != kNone)
            mq_close(m_d);
        m_d = kNone;
    }
    mqd_t m_d = kNone;
};

DWORD error_from_errno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENAMETOOLONG:
        return ERROR_INVALID_NAME;
    case EMFILE:
    case ENFILE:
    case ENOMEM:
    case ENOSPC:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSYS:
        return ERROR_NOT_SUPPORTED;
    case EAGAIN:
    case ETIMEDOUT:
        return ERROR_TIMEOUT;
    case EMSGSIZE:
        return ERROR_INSUFFICIENT_BUFFER;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

// A limit from /proc/sys/fs/mqueue, or 0 when it cannot be read.
long system_limit(const char* file) {
    const std::string path = std::string("/proc/sys/fs/mqueue/") + file;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "re"), &std::fclose);
    if (!f)
        return 0;
    long value = 0;
    if (std::fscanf(f.get(), "%ld", &value) != 1)
        value = 0;
    return value > 0 ? value : 0;
}

timespec real_deadline(DWORD timeout) {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    t.tv_sec += static_cast<time_t>(timeout / 1000);
    t.tv_nsec += static_cast<long>(timeout % 1000) * 1000000L;
    if (t.tv_nsec >= 1000000000L) {
        t.tv_nsec -= 1000000000L;
        ++t.tv_sec;
    }
    return t;
}

bool past(const timespec& deadline) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec > deadline.tv_sec || (now.tv_sec == deadline.tv_sec && now.tv_nsec >= deadline.tv_nsec);
}

std::atomic<bool> g_fallbackReported{false};

// Which queue a descriptor leads to, whatever its name is now.
struct QueueIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const QueueIdentity&) const = default;
};

// Whether the queue is the user's own and closed to everyone else: another
// user's queue, or one others may open, could be read or written by them.
bool own_and_private(const struct stat& info) {
    return info.st_uid == geteuid() && (info.st_mode & 077) == 0;
}

class MsgQueue final : public KernelObject {
  public:
    MsgQueue(Descriptor nonBlocking, Descriptor blocking, const MSGQUEUEOPTIONS& options, const mq_attr& granted,
             std::string posixName, QueueIdentity identity)
        : m_nonBlocking(std::move(nonBlocking)), m_blocking(std::move(blocking)), m_maxMessages(options.dwMaxMessages),
          m_maxMessageSize(options.cbMaxMessage), m_systemMaxMessages(static_cast<DWORD>(granted.mq_maxmsg)),
          m_systemMaxMessageSize(static_cast<DWORD>(granted.mq_msgsize)), m_readAccess(options.bReadAccess != 0),
          m_posixName(std::move(posixName)), m_identity(identity) {}

    // Whether the queue's name still leads to this queue, and not to none
    // or to one made after this one was removed.
    bool current() const {
        const mqd_t d = mq_open(m_posixName.c_str(), O_RDONLY | O_NONBLOCK);
        if (d == static_cast<mqd_t>(-1))
            return false;
        struct stat info {};
        const bool same = fstat(d, &info) == 0 && QueueIdentity{info.st_dev, info.st_ino} == m_identity;
        mq_close(d);
        return same;
    }

    const char* type_name() const override { return "msgqueue"; }
    unsigned trace_channel() const override { return trace::kQueue; }

    bool read_access() const { return m_readAccess; }
    int poll_descriptor() const { return m_nonBlocking.get(); }
    // The largest record this end accepts.
    DWORD record_limit() const { return std::min(m_maxMessageSize, m_systemMaxMessageSize); }

    MsgQueueLimits limits() const {
        MsgQueueLimits l;
        l.maxMessages = m_maxMessages;
        l.maxMessageSize = m_maxMessageSize;
        l.systemMaxMessages = m_systemMaxMessages;
        l.systemMaxMessageSize = m_systemMaxMessageSize;
        l.currentMessages = current_messages();
        l.readAccess = m_readAccess;
        return l;
    }

    // ERROR_SUCCESS or the reason the record was not sent.
    DWORD send(const void* data, DWORD size, DWORD timeout, unsigned priority) {
        const char* bytes = static_cast<const char*>(data);
        if (timeout == 0) {
            if (over_own_limit())
                return ERROR_TIMEOUT;
            return mq_send(m_nonBlocking.get(), bytes, size, priority) == 0 ? ERROR_SUCCESS : error_from_errno(errno);
        }
        Kernel::ExternalWait wait;
        const timespec deadline = real_deadline(timeout == INFINITE ? 0 : timeout);
        for (;;) {
            // Room by the system's count but not by ours: look again shortly.
            if (over_own_limit()) {
                if (timeout != INFINITE && past(deadline))
                    return ERROR_TIMEOUT;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            const int result = timeout == INFINITE ? mq_send(m_blocking.get(), bytes, size, priority)
                                                   : mq_timedsend(m_blocking.get(), bytes, size, priority, &deadline);
            if (result == 0)
                return ERROR_SUCCESS;
            if (errno != EINTR)
                return error_from_errno(errno);
        }
    }

    // Receives one record into `buffer` (at least the system's message size).
    DWORD receive(char* buffer, std::size_t size, DWORD timeout, std::size_t& received, unsigned& priority) {
        ssize_t n = -1;
        if (timeout == 0) {
            n = mq_receive(m_nonBlocking.get(), buffer, size, &priority);
        } else {
            Kernel::ExternalWait wait;
            const timespec deadline = real_deadline(timeout == INFINITE ? 0 : timeout);
            do {
                n = timeout == INFINITE ? mq_receive(m_blocking.get(), buffer, size, &priority)
                                        : mq_timedreceive(m_blocking.get(), buffer, size, &priority, &deadline);
            } while (n < 0 && errno == EINTR);
        }
        if (n < 0)
            return error_from_errno(errno);
        received = static_cast<std::size_t>(n);
        return ERROR_SUCCESS;
    }

    DWORD system_message_size() const { return m_systemMaxMessageSize; }

  private:
    DWORD current_messages() const {
        mq_attr attr{};
        if (mq_getattr(m_nonBlocking.get(), &attr) != 0)
            return 0;
        return static_cast<DWORD>(attr.mq_curmsgs);
    }
    // True when the queue holds as many records as this end asked for
    // (only checked where the system allows more than that).
    bool over_own_limit() const {
        return m_maxMessages != 0 && m_maxMessages < m_systemMaxMessages && current_messages() >= m_maxMessages;
    }

    Descriptor m_nonBlocking;
    Descriptor m_blocking;
    DWORD m_maxMessages;
    DWORD m_maxMessageSize;
    DWORD m_systemMaxMessages;
    DWORD m_systemMaxMessageSize;
    bool m_readAccess;
    std::string m_posixName;
    QueueIdentity m_identity;
};

struct Opened {
    Descriptor nonBlocking;
    Descriptor blocking;
    mq_attr granted{};
    QueueIdentity identity;
    bool existed = false;
    bool foreign = false; // refused: another user's, or open to others
};

// Opens (making it when needed) the POSIX queue `name` for one direction,
// asking for `maxMessages` records of `messageSize` bytes and settling for
// less when the system refuses. ERROR_SUCCESS or the reason it failed.
DWORD open_posix(const std::string& name, bool readAccess, long maxMessages, long messageSize, Opened& opened) {
    const int direction = readAccess ? O_RDONLY : O_WRONLY;
    bool clamped = false;
    for (int attempt = 0; attempt < 64; ++attempt) {
        mq_attr attr{};
        attr.mq_maxmsg = maxMessages;
        attr.mq_msgsize = messageSize;
        mqd_t d = mq_open(name.c_str(), direction | O_NONBLOCK | O_CREAT | O_EXCL, 0600, &attr);
        bool existed = false;
        if (d == static_cast<mqd_t>(-1) && errno == EEXIST) {
            existed = true;
            d = mq_open(name.c_str(), direction | O_NONBLOCK);
            if (d == static_cast<mqd_t>(-1) && errno == ENOENT)
                continue; // removed in between: make it again
        }
        if (d == static_cast<mqd_t>(-1) && existed && errno == EACCES) {
            opened.foreign = true;
            return ERROR_ACCESS_DENIED;
        }
        if (d == static_cast<mqd_t>(-1)) {
            const int error = errno;
            if (error != EINVAL && error != EMFILE && error != ENOMEM)
                return error_from_errno(error);
            // The system refuses the limits: first clamp them to what it
            // says it allows, then halve the count until it agrees.
            if (!clamped) {
                clamped = true;
                const long systemCount = system_limit("msg_max");
                const long systemSize = system_limit("msgsize_max");
                const bool changed =
                    (systemCount > 0 && maxMessages > systemCount) || (systemSize > 0 && messageSize > systemSize);
                if (systemCount > 0 && maxMessages > systemCount)
                    maxMessages = systemCount;
                if (systemSize > 0 && messageSize > systemSize)
                    messageSize = systemSize;
                if (changed)
                    continue;
            }
            if (maxMessages <= 1)
                return error_from_errno(error);
            maxMessages /= 2;
            continue;
        }
        Descriptor nonBlocking(d);
        struct stat info {};
        if (fstat(d, &info) != 0)
            return error_from_errno(errno);
        if (!own_and_private(info)) {
            opened.foreign = true;
            return ERROR_ACCESS_DENIED;
        }
        opened.identity = {info.st_dev, info.st_ino};
        Descriptor blocking(mq_open(name.c_str(), direction));
        if (!blocking) {
            if (errno == ENOENT)
                continue;
            return error_from_errno(errno);
        }
        opened.granted = mq_attr{};
        if (mq_getattr(nonBlocking.get(), &opened.granted) != 0)
            return error_from_errno(errno);
        opened.nonBlocking = std::move(nonBlocking);
        opened.blocking = std::move(blocking);
        opened.existed = existed;
        return ERROR_SUCCESS;
    }
    return ERROR_NOT_ENOUGH_MEMORY;
}

// The count the system allows when a queue asks for no limit.
long unlimited_count() {
    const long systemCount = system_limit("msg_max");
    return systemCount > 0 ? systemCount : 10;
}

// Says once per process that a queue holds less than was asked for, and why:
// the system's limits, or those of a queue that already existed.
void report_fallback_once(LPCWSTR name, const MSGQUEUEOPTIONS& options, const mq_attr& granted, bool existed) {
    const bool fewer = options.dwMaxMessages != 0 && granted.mq_maxmsg < static_cast<long>(options.dwMaxMessages);
    const bool smaller = granted.mq_msgsize < static_cast<long>(options.cbMaxMessage);
    if (!fewer && !smaller)
        return;
    if (g_fallbackReported.exchange(true))
        return;
    if (existed)
        NKDbgPrintfW(u"Message queue \"%s\" already exists with room for %u messages of %u bytes where %u of %u "
                     u"were asked for; using its limits\n",
                     name, static_cast<unsigned>(granted.mq_maxmsg), static_cast<unsigned>(granted.mq_msgsize),
                     options.dwMaxMessages, options.cbMaxMessage);
    else
        NKDbgPrintfW(u"Message queue \"%s\": the system allows %u messages of %u bytes where %u of %u were asked "
                     u"for; using what it allows\n",
                     name, static_cast<unsigned>(granted.mq_maxmsg), static_cast<unsigned>(granted.mq_msgsize),
                     options.dwMaxMessages, options.cbMaxMessage);
}

} // namespace

bool remove_msgqueue(std::u16string_view name) {
    const auto posixName = msgqueue_posix_name(name);
    return posixName && mq_unlink(posixName->c_str()) == 0;
}

bool msgqueue_limits(HANDLE queue, MsgQueueLimits& limits) {
    auto q = Kernel::get().handles().find_as<MsgQueue>(queue);
    if (!q)
        return fail(ERROR_INVALID_HANDLE, false);
    limits = q->limits();
    return true;
}

int msgqueue_poll_descriptor(HANDLE queue) {
    auto q = Kernel::get().handles().find_as<MsgQueue>(queue);
    return q ? q->poll_descriptor() : -1;
}

bool msgqueue_current(HANDLE queue) {
    auto q = Kernel::get().handles().find_as<MsgQueue>(queue);
    return q && q->current();
}

} // namespace zt::sys

using zt::sys::Kernel;
using zt::sys::MsgQueue;

namespace {

HANDLE create_failed(LPCWSTR name, const MSGQUEUEOPTIONS* options, DWORD error) {
    ZT_TRACE(zt::trace::kQueue, "CreateMsgQueue(%s, %s) = NULL, error %u", zt::trace::quote(name).c_str(),
             describe_options(options).c_str(), error);
    return fail(error, nullptr);
}

} // namespace

HANDLE CreateMsgQueue(LPCWSTR name, LPMSGQUEUEOPTIONS options) {
    // An unnamed queue is reached only through its other end's process
    // handle (OpenMsgQueue), which is not offered here.
    if (name == nullptr || options == nullptr || options->dwSize != zt::sys::kOptionsSize ||
        (options->dwFlags & ~zt::sys::kKnownFlags) != 0 || options->cbMaxMessage == 0)
        return create_failed(name, options, ERROR_INVALID_PARAMETER);
    const auto posixName = zt::sys::msgqueue_posix_name(std::u16string_view(name, zt::sys::wide_length(name)));
    if (!posixName)
        return create_failed(name, options, ERROR_INVALID_NAME);
    const long count =
        options->dwMaxMessages != 0 ? static_cast<long>(options->dwMaxMessages) : zt::sys::unlimited_count();
    zt::sys::Opened opened;
    const DWORD error = zt::sys::open_posix(*posixName, options->bReadAccess != 0, count,
                                            static_cast<long>(options->cbMaxMessage), opened);
    if (opened.foreign) {
        // Reading it could hand another user's records to this one, writing
        // it hand this user's to them: say why the queue is refused.
        NKDbgPrintfW(u"Message queue \"%s\" is refused: the system's queue %s belongs to another user or may be "
                     u"opened by others; remove it (as its owner or root) to use the name\n",
                     name, zt::sys::to_utf16(*posixName).c_str());
    }
    if (error != ERROR_SUCCESS)
        return create_failed(name, options, error);
    zt::sys::report_fallback_once(name, *options, opened.granted, opened.existed);
    const mq_attr granted = opened.granted;
    HANDLE handle = Kernel::get().handles().insert(std::make_shared<MsgQueue>(
        std::move(opened.nonBlocking), std::move(opened.blocking), *options, granted, *posixName, opened.identity));
    if (handle == nullptr)
        return create_failed(name, options, ERROR_NO_SYSTEM_RESOURCES);
    ZT_TRACE(zt::trace::kQueue, "CreateMsgQueue(%s, %s) = %s, as \"%s\" (%ld x %ld bytes%s)",
             zt::trace::quote(name).c_str(), describe_options(options).c_str(), zt::trace::handle(handle).c_str(),
             posixName->c_str(), granted.mq_maxmsg, granted.mq_msgsize, opened.existed ? ", existing" : "");
    // A success that says whether the queue was there already, as Win32's
    // creation calls do: not a failure, so not through fail().
    SetLastError(opened.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL WriteMsgQueue(HANDLE queue, LPVOID data, DWORD dataSize, DWORD timeout, DWORD flags) {
    auto q = Kernel::get().handles().find_as<MsgQueue>(queue);
    DWORD error = ERROR_SUCCESS;
    if (!q)
        error = ERROR_INVALID_HANDLE;
    else if (data == nullptr || dataSize == 0 || (flags & ~MSGQUEUE_MSGALERT) != 0)
        error = ERROR_INVALID_PARAMETER;
    else if (q->read_access())
        error = ERROR_ACCESS_DENIED;
    else if (dataSize > q->record_limit())
        error = ERROR_INSUFFICIENT_BUFFER;
    else
        error = q->send(data, dataSize, timeout, (flags & MSGQUEUE_MSGALERT) != 0 ? zt::sys::kAlertPriority : 0);
    if (error != ERROR_SUCCESS) {
        ZT_TRACE(zt::trace::kQueue, "WriteMsgQueue(%s, %u, %u, %#x) = 0, error %u", zt::trace::handle(queue).c_str(),
                 dataSize, timeout, flags, error);
        return fail(error, FALSE);
    }
    ZT_TRACE(zt::trace::kQueue, "WriteMsgQueue(%s, %u, %u, %#x) = 1", zt::trace::handle(queue).c_str(), dataSize,
             timeout, flags);
    return TRUE;
}

BOOL ReadMsgQueue(HANDLE queue, LPVOID buffer, DWORD bufferSize, LPDWORD bytesRead, DWORD timeout, DWORD* flags) {
    if (bytesRead != nullptr)
        *bytesRead = 0;
    if (flags != nullptr)
        *flags = 0;
    auto q = Kernel::get().handles().find_as<MsgQueue>(queue);
    DWORD error = ERROR_SUCCESS;
    std::size_t received = 0;
    if (!q) {
        error = ERROR_INVALID_HANDLE;
    } else if (buffer == nullptr || bufferSize == 0 || bytesRead == nullptr) {
        error = ERROR_INVALID_PARAMETER;
    } else if (!q->read_access()) {
        error = ERROR_ACCESS_DENIED;
    } else {
        // The system hands out a record only to a buffer of its full message
        // size; a smaller caller's buffer gets the record's beginning.
        unsigned priority = 0;
        if (bufferSize >= q->system_message_size()) {
            error = q->receive(static_cast<char*>(buffer), bufferSize, timeout, received, priority);
        } else {
            std::vector<char> whole(q->system_message_size());
            error = q->receive(whole.data(), whole.size(), timeout, received, priority);
            if (error == ERROR_SUCCESS) {
                std::memcpy(buffer, whole.data(), std::min<std::size_t>(received, bufferSize));
                if (received > bufferSize) {
                    received = bufferSize;
                    error = ERROR_INSUFFICIENT_BUFFER;
                }
            }
        }
        if (error == ERROR_SUCCESS || error == ERROR_INSUFFICIENT_BUFFER) {
            *bytesRead = static_cast<DWORD>(received);
            if (flags != nullptr)
                *flags = priority >= zt::sys::kAlertPriority ? MSGQUEUE_MSGALERT : 0;
        }
    }
    if (error != ERROR_SUCCESS) {
        ZT_TRACE(zt::trace::kQueue, "ReadMsgQueue(%s, %u, %u) = 0, error %u, read %zu",
                 zt::trace::handle(queue).c_str(), bufferSize, timeout, error, received);
        return fail(error, FALSE);
    }
    ZT_TRACE(zt::trace::kQueue, "ReadMsgQueue(%s, %u, %u) = 1, read %zu", zt::trace::handle(queue).c_str(), bufferSize,
             timeout, received);
    return TRUE;
}

BOOL CloseMsgQueue(HANDLE queue) {
    Kernel& k = Kernel::get();
    std::shared_ptr<zt::sys::KernelObject> object;
    if (k.handles().find_as<MsgQueue>(queue))
        object = k.handles().remove(queue);
    if (!object) {
        ZT_TRACE(zt::trace::kQueue, "CloseMsgQueue(%s) = 0, error %u", zt::trace::handle(queue).c_str(),
                 ERROR_INVALID_HANDLE);
        return fail(ERROR_INVALID_HANDLE, FALSE);
    }
    ZT_TRACE(zt::trace::kQueue, "CloseMsgQueue(%s) = 1", zt::trace::handle(queue).c_str());
    object.reset(); // closes the descriptors outside the table's lock
    return TRUE;
}

#endif
