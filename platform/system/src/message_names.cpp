// Registered window messages shared by the user's processes on this machine.
#include "zt/sys/message_names.h"

#include "zt/sys/kernel.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifndef __EMSCRIPTEN__
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#endif

namespace zt::sys {

namespace {

constexpr char kMagic[8] = {'Z', 'T', 'M', 'S', 'G', 'N', 'M', '1'};
[[maybe_unused]] constexpr long long kHeaderSize = sizeof kMagic;

// The index's key: the name with the letters equal_ignore_case matches
// folded alike (a match is still confirmed with it).
std::u16string folded(std::u16string_view name) {
    std::u16string out(name);
    for (auto& c : out)
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            c = static_cast<char16_t>(c - 0x20);
    return out;
}

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
#endif

} // namespace

MessageNameTable::MessageNameTable(std::string path) : m_path(std::move(path)) {}

MessageNameTable::~MessageNameTable() {
#ifndef __EMSCRIPTEN__
    if (m_fd >= 0)
        close(m_fd);
#endif
}

bool MessageNameTable::shared() const {
    return m_fd >= 0;
}

std::string MessageNameTable::default_path() {
#ifdef __EMSCRIPTEN__
    return std::string(); // one process: nothing to share with
#else
    if (const char* chosen = std::getenv("ZT_MESSAGE_NAMES"); chosen != nullptr && *chosen != 0)
        return chosen;
    std::string dir = "/tmp";
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime != nullptr && *runtime != 0 && access(runtime, W_OK) == 0)
        dir = runtime;
    else if (access("/dev/shm", W_OK) == 0)
        dir = "/dev/shm";
    std::string boot;
    std::ifstream bootFile("/proc/sys/kernel/random/boot_id");
    std::string line;
    if (std::getline(bootFile, line))
        for (char c : line)
            if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))
                boot.push_back(c);
    if (boot.empty())
        boot = "unknown";
    return dir + "/zt-message-names-" + std::to_string(getuid()) + "-" + boot;
#endif
}

bool MessageNameTable::open_file() {
    m_tried = true;
#ifdef __EMSCRIPTEN__
    return false;
#else
    if (m_path.empty())
        return false;
    const int fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    // Only a plain file of our own: another user's file of that name in a
    // shared directory is not trusted.
    struct stat info {};
    bool usable = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == getuid();
    if (usable) {
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
        return false;
    }
    m_fd = fd;
    m_offset = kHeaderSize;
    return true;
#endif
}

bool MessageNameTable::read_new_records() {
#ifdef __EMSCRIPTEN__
    return true;
#else
    struct stat info {};
    if (fstat(m_fd, &info) != 0)
        return false;
    const long long end = info.st_size;
    if (end <= m_offset)
        return true;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(end - m_offset));
    std::size_t have = 0;
    while (have < bytes.size()) {
        const ssize_t got = pread(m_fd, bytes.data() + have, bytes.size() - have, static_cast<off_t>(m_offset) + have);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        have += static_cast<std::size_t>(got);
    }
    std::size_t at = 0;
    while (at + 2 <= bytes.size() && m_names.size() < kCapacity) {
        std::uint16_t length = 0;
        std::memcpy(&length, bytes.data() + at, 2);
        const std::size_t size = 2 + 2 * std::size_t(length);
        if (length == 0 || length > kMaxName || at + size > bytes.size())
            break;
        std::u16string name(length, u'\0');
        std::memcpy(name.data(), bytes.data() + at + 2, 2 * std::size_t(length));
        remember(std::move(name));
        at += size;
    }
    m_offset += static_cast<long long>(at);
    // What is left is a record cut short by a writer that died (the lock is
    // ours, so nobody is writing it now): drop it so the next one fits.
    if (at < bytes.size() && ftruncate(m_fd, static_cast<off_t>(m_offset)) != 0)
        return false;
    return true;
#endif
}

void MessageNameTable::remember(std::u16string name) {
    m_index.emplace(folded(name), m_names.size()); // the first spelling stays
    m_names.push_back(std::move(name));
}

UINT MessageNameTable::find(std::u16string_view name) const {
    auto it = m_index.find(folded(name));
    if (it != m_index.end() && equal_ignore_case(m_names[it->second], name))
        return static_cast<UINT>(kFirst + it->second);
    return 0;
}

UINT MessageNameTable::find_or_add(std::u16string_view name, DWORD& error) {
    if (name.empty() || name.size() > kMaxName) {
        error = ERROR_INVALID_PARAMETER;
        return 0;
    }
    std::lock_guard guard(m_lock);
    if (!m_tried)
        open_file();
    if (const UINT known = find(name))
        return known;
    if (m_fd < 0) {
        if (m_names.size() >= kCapacity) {
            error = ERROR_NOT_ENOUGH_MEMORY;
            return 0;
        }
        remember(std::u16string(name));
        return static_cast<UINT>(kFirst + m_names.size() - 1);
    }
#ifndef __EMSCRIPTEN__
    FileLock lock(m_fd);
    if (!read_new_records()) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    if (const UINT known = find(name))
        return known;
    if (m_names.size() >= kCapacity) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    // One write per record, so a reader sees all of it or none.
    std::vector<unsigned char> record(2 + 2 * name.size());
    const auto length = static_cast<std::uint16_t>(name.size());
    std::memcpy(record.data(), &length, 2);
    std::memcpy(record.data() + 2, name.data(), 2 * name.size());
    if (pwrite(m_fd, record.data(), record.size(), static_cast<off_t>(m_offset)) !=
        static_cast<ssize_t>(record.size())) {
        // Whatever part landed is cut off by the next reader.
        error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    m_offset += static_cast<long long>(record.size());
    remember(std::u16string(name));
    return static_cast<UINT>(kFirst + m_names.size() - 1);
#else
    return 0;
#endif
}

MessageNameTable& message_names() {
    // Never destroyed: static objects of the application may register late.
    static MessageNameTable* const table = new MessageNameTable(MessageNameTable::default_path());
    return *table;
}

UINT register_message_name(std::u16string_view name) {
    DWORD error = 0;
    const UINT number = message_names().find_or_add(name, error);
    if (number == 0)
        SetLastError(error);
    return number;
}

} // namespace zt::sys
