// Registered window messages shared by the user's processes on this machine.
#include "zt/sys/message_names.h"
#include "api.h"

#include "zt/host.h"
#include "zt/sys/kernel.h"
#include "zt/sys/unicode.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef __EMSCRIPTEN__
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using zt::sys::fail;

namespace zt::sys {

namespace {

constexpr char kMagic[8] = {'Z', 'T', 'M', 'S', 'G', 'N', 'M', '1'};
[[maybe_unused]] constexpr long long kHeaderSize = sizeof kMagic;

#ifndef __EMSCRIPTEN__
// Holds the file's lock for a scope; flock is released by the system too
// when a holder dies, so a crashed process never blocks the others.
class FileLock {
  public:
    explicit FileLock(int fd) : m_fd(fd) {
        while (flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FileLock() { flock(m_fd, LOCK_UN); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    int m_fd;
};

// The most a well-formed table can hold: every name as long as a name may be.
constexpr long long kLargestFile =
    kHeaderSize + static_cast<long long>(MessageNameTable::kCapacity) * (2 + 2 * MessageNameTable::kMaxName);

// The boot id's hex digits, "unknown" when it cannot be read.
std::string boot_id() {
    std::string boot;
    const int fd = open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC);
    char text[64] = {};
    const ssize_t got = fd >= 0 ? read(fd, text, sizeof text) : -1;
    if (fd >= 0)
        close(fd);
    for (ssize_t i = 0; i < got; ++i)
        if ((text[i] >= '0' && text[i] <= '9') || (text[i] >= 'a' && text[i] <= 'f'))
            boot.push_back(text[i]);
    return boot.empty() ? "unknown" : boot;
}

// Every table of the process, for the fork handlers; never destroyed, as
// tables of static objects may outlive any other static.
using TableList = Guarded<std::vector<MessageNameTable*>>;
struct LiveTables {
    TableList tables;
    // Held from just before a fork until just after it.
    std::optional<TableList::Lock> heldForFork;
};

LiveTables& live_tables() {
    static LiveTables* const live = new LiveTables;
    return *live;
}

std::string system_error(const char* what) {
    return std::string(what) + " (" + std::strerror(errno) + ")";
}

// Opens the directory `dir` without following a symlink at its end (making
// it first when it is to be private and missing); -1 with `why` unless
// nobody else may change what it holds: a private directory is the user's
// own with mode 0700, any other the user's or root's, and writable by no one
// else unless sticky (as /tmp is).
int open_directory(const std::string& dir, TableDirectory directory, std::string& why) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = open(dir.c_str(), kFlags);
    if (fd < 0 && errno == ENOENT && directory == TableDirectory::Private && mkdir(dir.c_str(), 0700) == 0)
        fd = open(dir.c_str(), kFlags);
    if (fd < 0) {
        why = system_error(("its directory " + dir + " is not a directory that can be opened").c_str());
        return -1;
    }
    struct stat info {};
    bool safe = fstat(fd, &info) == 0;
    if (directory == TableDirectory::Private)
        safe = safe && info.st_uid == geteuid() && (info.st_mode & 077) == 0;
    else
        safe = safe && (info.st_uid == geteuid() || info.st_uid == 0) &&
               ((info.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (info.st_mode & S_ISVTX) != 0);
    if (!safe) {
        char detail[64];
        std::snprintf(detail, sizeof detail, " (owner %u, mode %04o)", static_cast<unsigned>(info.st_uid),
                      static_cast<unsigned>(info.st_mode & 07777));
        why = "its directory " + dir +
              (directory == TableDirectory::Private ? " is not private to this user" : " may be changed by others") +
              detail;
        close(fd);
        return -1;
    }
    return fd;
}

// Opens the table's file at `path`, made when missing if `create`; -1 with
// `why` (and errno) unless it is a plain file of the user's own that no one
// else may write, reached without a symlink, in a directory nobody else may
// change.
int open_table_file(const std::string& path, TableDirectory directory, bool create, std::string& why) {
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const int dirFd = open_directory(dir, directory, why);
    if (dirFd < 0)
        return -1;
    const int fd =
        openat(dirFd, name.c_str(), O_RDWR | (create ? O_CREAT : 0) | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
    const int openError = errno;
    close(dirFd);
    if (fd < 0) {
        errno = openError;
        why = system_error(openError == ELOOP ? "it is a symlink" : "it cannot be opened");
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        why = "it is not a plain file";
    else if (info.st_uid != geteuid())
        why = "it belongs to another user (" + std::to_string(info.st_uid) + ")";
    else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        why = "others may write it";
    else
        return fd;
    close(fd);
    errno = EPERM; // opened, and not to be trusted: not gone
    return -1;
}
#endif

} // namespace

MessageNameTable::MessageNameTable(std::string path, TableDirectory directory)
    : m_path(std::move(path)), m_directory(directory) {
#ifndef __EMSCRIPTEN__
    // A thread forking while another registers would leave the child this
    // table's lock held by a thread it does not have: its next registration
    // would wait forever.
    static std::once_flag handlers;
    std::call_once(handlers, [] { pthread_atfork(before_fork, after_fork, after_fork); });
    live_tables().tables.with([this](auto& tables) { tables.push_back(this); });
#endif
}

MessageNameTable::~MessageNameTable() {
#ifndef __EMSCRIPTEN__
    live_tables().tables.with([this](auto& tables) { tables.erase(std::find(tables.begin(), tables.end(), this)); });
    m_state.with([](State& s) {
        if (s.fd >= 0)
            close(s.fd);
    });
#endif
}

#ifndef __EMSCRIPTEN__
// The live tables' lock is taken first and let go last, so no table comes or
// goes meanwhile; a table's own lock is never held while asking for it.
void MessageNameTable::before_fork() {
    LiveTables& live = live_tables();
    live.heldForFork.emplace(live.tables.lock());
    for (MessageNameTable* table : **live.heldForFork)
        table->m_heldForFork.emplace(table->m_state.lock());
}

void MessageNameTable::after_fork() {
    LiveTables& live = live_tables();
    for (MessageNameTable* table : **live.heldForFork)
        table->m_heldForFork.reset();
    live.heldForFork.reset();
}
#endif

bool MessageNameTable::shared() const {
    return m_state.with([](State& s) { return s.fd >= 0; });
}

MessageNameTable::Location MessageNameTable::default_location() {
#ifdef __EMSCRIPTEN__
    return {}; // one process: nothing to share with
#else
    if (const char* chosen = std::getenv("ZT_MESSAGE_NAMES"); chosen != nullptr && *chosen != 0)
        return {chosen, TableDirectory::AsFound};
    return location_for(std::getenv("XDG_RUNTIME_DIR"), access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
#endif
}

#ifdef __EMSCRIPTEN__

MessageNameTable::Location MessageNameTable::location_for(const char*, const std::string&) {
    return {};
}

bool MessageNameTable::open_file(State& s) {
    s.tried = true;
    return false;
}

#else

MessageNameTable::Location MessageNameTable::location_for(const char* runtimeDir, const std::string& sharedDir) {
    const std::string uid = std::to_string(getuid());
    const std::string file = "zt-message-names-" + uid + "-" + boot_id();
    // The XDG rules: a relative path is no runtime directory. One that is
    // not ours alone is passed over too, as if unset.
    if (runtimeDir == nullptr || runtimeDir[0] != '/')
        return {sharedDir + "/zt-" + uid + "/" + file, TableDirectory::Private};
    // The table's directory is opened without following a symlink: a
    // runtime directory given as one stands for the directory it leads to,
    // which must pass the same checks.
    std::string dir = runtimeDir;
    struct stat info {};
    if (lstat(runtimeDir, &info) == 0 && S_ISLNK(info.st_mode)) {
        char* resolved = realpath(runtimeDir, nullptr);
        dir = resolved != nullptr ? resolved : "";
        std::free(resolved);
    }
    if (!dir.empty() && lstat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
        (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 && access(dir.c_str(), W_OK) == 0)
        return {dir + "/" + file, TableDirectory::AsFound};
    return {sharedDir + "/zt-" + uid + "/" + file, TableDirectory::Private};
}

bool MessageNameTable::open_file(State& s) {
    s.tried = true;
    if (m_path.empty())
        return false;
    std::string why;
    const int fd = open_table_file(m_path, m_directory, true, why);
    if (fd < 0) {
        stop_sharing(s, why);
        return false;
    }
    struct stat info {};
    fstat(fd, &info);
    bool usable = false;
    {
        FileLock lock(fd);
        char header[kHeaderSize] = {};
        const ssize_t got = pread(fd, header, sizeof header, 0);
        // New, or left unfinished by a process that died making it.
        if (got >= 0 && got < kHeaderSize && std::memcmp(header, kMagic, static_cast<std::size_t>(got)) == 0)
            usable = pwrite(fd, kMagic, sizeof kMagic, 0) == kHeaderSize;
        else
            usable = got == kHeaderSize && std::memcmp(header, kMagic, sizeof kMagic) == 0;
    }
    if (!usable) {
        close(fd);
        stop_sharing(s, "it is not a table of message names");
        return false;
    }
    s.fd = fd;
    s.offset = kHeaderSize;
    s.pid = getpid();
    s.device = info.st_dev;
    s.inode = info.st_ino;
    return true;
}

bool MessageNameTable::reopen_after_fork(State& s) {
    if (s.pid == getpid())
        return true;
    // The inherited descriptor shares its lock with the parent: this
    // process needs a description, and so a lock, of its own. A file gone
    // meanwhile is not made again: it would be another table.
    close(s.fd);
    s.fd = -1;
    // Whether it is still the file opened before the fork is asked next,
    // under its lock, as before every name added (read_new_records).
    std::string why;
    const int fd = open_table_file(m_path, m_directory, false, why);
    if (fd < 0) {
        stop_sharing(s, errno == ENOENT ? "it was removed while this process ran" : why);
        return false;
    }
    s.fd = fd;
    s.pid = getpid();
    return true;
}

bool MessageNameTable::read_new_records(State& s) {
    struct stat info {};
    if (fstat(s.fd, &info) != 0)
        return false;
    const long long end = info.st_size;
    // A file removed or replaced takes no more names: the others read
    // another file now. One cut below what was read would be written past
    // its end, leaving a hole that every later reader calls malformed.
    struct stat named {};
    const bool found = lstat(m_path.c_str(), &named) == 0;
    if (!found || named.st_dev != s.device || named.st_ino != s.inode) {
        stop_sharing(s, !found && errno == ENOENT ? "it was removed while this process ran"
                                                  : "it was replaced while this process ran");
        return true;
    }
    if (end < s.offset) {
        stop_sharing(s, "it was cut short while this process ran");
        return true;
    }
    if (end > kLargestFile) {
        stop_sharing(s, "it is larger than a table can be");
        return true;
    }
    if (end <= s.offset)
        return true;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(end - s.offset));
    std::size_t have = 0;
    while (have < bytes.size()) {
        const ssize_t got = pread(s.fd, bytes.data() + have, bytes.size() - have, static_cast<off_t>(s.offset) + have);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        have += static_cast<std::size_t>(got);
    }
    std::size_t at = 0;
    while (at + 2 <= bytes.size()) {
        std::uint16_t length = 0;
        std::memcpy(&length, bytes.data() + at, 2);
        if (length == 0 || length > kMaxName || s.names.size() >= kCapacity) {
            // No writer makes such a record: trust nothing from here on.
            stop_sharing(s, s.names.size() >= kCapacity ? "it holds more names than a table can"
                                                        : "a record in it is malformed");
            return true;
        }
        const std::size_t size = 2 + 2 * std::size_t(length);
        if (at + size > bytes.size())
            break;
        std::u16string name(length, u'\0');
        std::memcpy(name.data(), bytes.data() + at + 2, 2 * std::size_t(length));
        remember(s, std::move(name));
        at += size;
    }
    s.offset += static_cast<long long>(at);
    // What is left is a record cut short by a writer that died (the lock is
    // ours, so nobody is writing it now): drop it so the next one fits.
    if (at < bytes.size() && ftruncate(s.fd, static_cast<off_t>(s.offset)) != 0)
        return false;
    return true;
}

#endif

void MessageNameTable::stop_sharing(State& s, const std::string& why) {
    s.fd = -1; // the caller closes it, once its lock is released
    if (s.said)
        return;
    s.said = true;
    zt::host::current().debug_output("Registered messages: not using " + m_path + ": " + why +
                                     "; this process numbers names on its own\n");
}

void MessageNameTable::remember(State& s, std::u16string name) {
    s.index.emplace(fold_case(name), s.names.size()); // the first spelling stays
    s.names.push_back(std::move(name));
}

UINT MessageNameTable::find(const State& s, std::u16string_view name) {
    // The key is what equal_ignore_case compares: a hit is a match.
    auto it = s.index.find(fold_case(name));
    return it != s.index.end() ? static_cast<UINT>(kFirst + it->second) : 0;
}

UINT MessageNameTable::find_or_add_here(State& s, std::u16string_view name, DWORD& error) {
    if (s.names.size() >= kCapacity) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    remember(s, std::u16string(name));
    return static_cast<UINT>(kFirst + s.names.size() - 1);
}

UINT MessageNameTable::find_or_add(std::u16string_view name, DWORD& error) {
    if (name.empty() || name.size() > kMaxName) {
        error = ERROR_INVALID_PARAMETER;
        return 0;
    }
    auto held = m_state.lock();
    State& s = *held;
    if (!s.tried)
        open_file(s);
    if (const UINT known = find(s, name))
        return known;
#ifndef __EMSCRIPTEN__
    if (s.fd >= 0 && reopen_after_fork(s)) {
        const int fd = s.fd;
        UINT number = 0;
        {
            FileLock lock(fd);
            number = add_to_file(s, name, error);
        }
        // The file turned out not to be trusted: closed once its lock is.
        if (s.fd < 0)
            close(fd);
        return number;
    }
#endif
    return find_or_add_here(s, name, error);
}

#ifndef __EMSCRIPTEN__
UINT MessageNameTable::add_to_file(State& s, std::u16string_view name, DWORD& error) {
    if (!read_new_records(s)) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    if (const UINT known = find(s, name))
        return known;
    if (s.fd < 0 || s.names.size() >= kCapacity)
        return find_or_add_here(s, name, error);
    // One write per record, so a reader sees all of it or none.
    std::vector<unsigned char> record(2 + 2 * name.size());
    const auto length = static_cast<std::uint16_t>(name.size());
    std::memcpy(record.data(), &length, 2);
    std::memcpy(record.data() + 2, name.data(), 2 * name.size());
    if (pwrite(s.fd, record.data(), record.size(), static_cast<off_t>(s.offset)) !=
        static_cast<ssize_t>(record.size())) {
        // Whatever part landed is cut off by the next reader.
        error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    s.offset += static_cast<long long>(record.size());
    remember(s, std::u16string(name));
    return static_cast<UINT>(kFirst + s.names.size() - 1);
}
#endif

MessageNameTable& message_names() {
    // Never destroyed: static objects of the application may register late.
    static MessageNameTable* const table = [] {
        auto location = MessageNameTable::default_location();
        return new MessageNameTable(std::move(location.path), location.directory);
    }();
    return *table;
}

UINT register_message_name(std::u16string_view name) {
    DWORD error = 0;
    const UINT number = message_names().find_or_add(name, error);
    return number != 0 ? number : fail(error, number);
}

} // namespace zt::sys
