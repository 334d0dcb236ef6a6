// zentrick-shell-listen: the reading ends of the shell's queues. Prints each
// record that arrives, one decoded line each, until interrupted (SIGINT,
// SIGTERM: exit 0) or until --count records have arrived.
#include "decode.h"

#include "zt/host.h"
#include "zt/platform.h"
#include "zt/sys/msgqueue.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <vector>

namespace {

// A real-clock host with no shell windows: this program only reads queues.
class ListenHost final : public zt::host::Host {
  public:
    zt::host::ClockKind clock_kind() const override { return zt::host::ClockKind::Real; }
};

constexpr const char* kUsage = "usage: zentrick-shell-listen [--queue notify|apps|user]... [--count N]\n"
                               "\n"
                               "Opens the reading ends of the shell's message queues and prints each\n"
                               "record that arrives as one line, until interrupted or N records have\n"
                               "arrived.\n"
                               "\n"
                               "  --queue Q   read only queue Q (repeatable): notify\n"
                               "              (QueueNameOfShellNotifyMessage), apps\n"
                               "              (QueueNameOffAppsAskShellEvent), user (NameOfMzUserNotification);\n"
                               "              all three by default\n"
                               "  --count N   stop after N records (N >= 1)\n"
                               "  --help      show this text\n"
                               "\n"
                               "Queue names go under the prefix in ZT_MSGQUEUE_PREFIX, as for every\n"
                               "program of this platform.\n";

volatile std::sig_atomic_t g_stop = 0;

void on_signal(int) {
    g_stop = 1;
}

struct Options {
    std::vector<zt::listen::Queue> queues;
    unsigned long count = 0; // 0: until interrupted
};

// False on a bad command line, with `error` naming the argument; `help` set
// for --help.
bool parse(int argc, char** argv, Options& options, bool& help, std::string& error) {
    using zt::listen::Queue;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
            return true;
        }
        if ((arg == "--queue" || arg == "--count") && i + 1 >= argc) {
            error = arg + " needs a value";
            return false;
        }
        if (arg == "--queue") {
            const std::string word = argv[++i];
            bool known = false;
            for (Queue q : {Queue::Notify, Queue::Apps, Queue::User}) {
                if (word == zt::listen::queue_info(q).word) {
                    known = true;
                    bool seen = false;
                    for (Queue have : options.queues)
                        seen = seen || have == q;
                    if (!seen)
                        options.queues.push_back(q);
                }
            }
            if (!known) {
                error = "unknown queue '" + word + "' (notify, apps or user)";
                return false;
            }
        } else if (arg == "--count") {
            const char* text = argv[++i];
            char* end = nullptr;
            errno = 0;
            const unsigned long value = std::strtoul(text, &end, 10);
            if (*text < '0' || *text > '9' || *end != 0 || errno != 0 || value == 0) {
                error = std::string("--count needs a whole number from 1 up, not '") + text + "'";
                return false;
            }
            options.count = value;
        } else {
            error =
                arg.size() > 1 && arg[0] == '-' ? "unknown option '" + arg + "'" : "unexpected argument '" + arg + "'";
            return false;
        }
    }
    if (options.queues.empty())
        options.queues = {Queue::Notify, Queue::Apps, Queue::User};
    return true;
}

struct Reader {
    zt::listen::Queue queue;
    HANDLE handle = nullptr;
};

// Lets SIGINT and SIGTERM through only while waiting, so a record is never
// cut off halfway through its line; returns the mask to wait with.
sigset_t catch_stop_signals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return waitMask;
}

// Opens the reading end of `queue`; null (said) on a failure.
HANDLE open_reader(zt::listen::Queue queue) {
    const auto& info = zt::listen::queue_info(queue);
    MSGQUEUEOPTIONS o = {sizeof(MSGQUEUEOPTIONS), MSGQUEUE_ALLOW_BROKEN, 16, info.recordSize, TRUE};
    HANDLE handle = CreateMsgQueue(info.name, &o);
    if (handle != nullptr)
        return handle;
    const DWORD error = GetLastError();
    const auto posixName = zt::sys::msgqueue_posix_name(info.name);
    if (error == ERROR_ACCESS_DENIED && posixName)
        std::fprintf(stderr,
                     "zentrick-shell-listen: cannot open the %s queue: the system's queue %s belongs to another "
                     "user or may be opened by others; remove it (as its owner or root) to use it\n",
                     info.word, posixName->c_str());
    else
        std::fprintf(stderr, "zentrick-shell-listen: cannot open the %s queue (error %u)\n", info.word, error);
    return nullptr;
}

// Opens the reading end of each queue asked for; false (said) on a failure.
bool open_readers(const Options& options, std::vector<Reader>& readers) {
    std::string names;
    for (auto queue : options.queues) {
        HANDLE handle = open_reader(queue);
        if (handle == nullptr)
            return false;
        readers.push_back({queue, handle});
        const char* word = zt::listen::queue_info(queue).word;
        names += names.empty() ? word : std::string(", ") + word;
    }
    std::fprintf(stderr, "zentrick-shell-listen: listening on %s\n", names.c_str());
    return true;
}

// Prints the next record waiting on `reader`; false when none waits.
bool print_record(const Reader& reader, std::vector<BYTE>& buffer) {
    DWORD got = 0;
    DWORD flags = 0;
    const BOOL ok = ReadMsgQueue(reader.handle, buffer.data(), static_cast<DWORD>(buffer.size()), &got, 0, &flags);
    if (!ok && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false; // none, or another reader took it first
    std::printf("%s\n", zt::listen::decode(reader.queue, buffer.data(), got).c_str());
    std::fflush(stdout);
    return true;
}

// A queue removed (and perhaps made again by a writer) no longer reaches
// this reader: say so, print what was left in it, and read the queue its
// name leads to now. False (said) when that cannot be opened.
bool follow(Reader& reader, std::vector<BYTE>& buffer, unsigned long& seen, unsigned long count) {
    while ((count == 0 || seen < count) && print_record(reader, buffer))
        ++seen;
    CloseMsgQueue(reader.handle);
    std::fprintf(stderr, "zentrick-shell-listen: the %s queue was removed; reading the one of that name now\n",
                 zt::listen::queue_info(reader.queue).word);
    reader.handle = open_reader(reader.queue);
    return reader.handle != nullptr;
}

// How often the readers check that their queues' names still lead to them.
constexpr auto kFollowPeriod = std::chrono::milliseconds(250);
constexpr timespec kFollowWait = {0, 250 * 1000 * 1000};

// Prints one line per record until a stop signal or `count` records (0: no
// limit); the exit status.
int print_records(std::vector<Reader>& readers, unsigned long count, const sigset_t& waitMask) {
    std::vector<BYTE> buffer(8192);
    unsigned long seen = 0;
    auto lastCheck = std::chrono::steady_clock::now();
    while (!g_stop) {
        std::vector<pollfd> fds;
        for (const auto& r : readers)
            fds.push_back({zt::sys::msgqueue_poll_descriptor(r.handle), POLLIN, 0});
        const int ready = ppoll(fds.data(), fds.size(), &kFollowWait, &waitMask);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::perror("zentrick-shell-listen: poll");
            return 1;
        }
        for (std::size_t i = 0; i < readers.size(); ++i) {
            if ((fds[i].revents & POLLIN) != 0 && print_record(readers[i], buffer))
                ++seen;
            if (count != 0 && seen >= count)
                return 0;
        }
        if (std::chrono::steady_clock::now() - lastCheck < kFollowPeriod)
            continue;
        lastCheck = std::chrono::steady_clock::now();
        for (auto& reader : readers) {
            if (!zt::sys::msgqueue_current(reader.handle) && !follow(reader, buffer, seen, count))
                return 1;
            if (count != 0 && seen >= count)
                return 0;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Never destroyed: the platform may call its host until the very end.
    static ListenHost* const host = new ListenHost();
    zt::host::install(*host);
    Options options;
    bool help = false;
    std::string error;
    if (!parse(argc, argv, options, help, error)) {
        std::fprintf(stderr, "zentrick-shell-listen: %s\n", error.c_str());
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const sigset_t waitMask = catch_stop_signals();
    std::vector<Reader> readers;
    if (!open_readers(options, readers))
        return 1;
    return print_records(readers, options.count, waitMask);
}
