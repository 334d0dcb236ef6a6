// PNG decoding and encoding over stb_image and stb_image_write.
#include "zt/gfx/png.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zt::gfx {

std::optional<Surface> decode_png(const void* data, std::size_t size) {
    if (data == nullptr || size == 0 || size > static_cast<std::size_t>(INT_MAX))
        return std::nullopt;
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
        stbi_load_from_memory(static_cast<const stbi_uc*>(data), static_cast<int>(size), &width, &height, &channels, 4),
        stbi_image_free);
    if (!rgba || width <= 0 || height <= 0)
        return std::nullopt;
    Surface surface(width, height, 0);
    const stbi_uc* in = rgba.get();
    std::uint32_t* out = surface.data();
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i, in += 4)
        out[i] = (std::uint32_t{in[3]} << 24) | (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
    return surface;
}

namespace {

// Where an image goes. A regular file (or a name not taken yet) is written
// to a temporary file beside it and renamed over it, so a failed write leaves
// whatever was there untouched; anything else (a device, a pipe, a terminal,
// an open file reached through /proc such as /dev/stdout) is written in
// place and never removed.
struct Destination {
    int error = 0;        // errno when the path cannot be looked at
    bool replace = false; // write beside `path` and rename over it
    std::string path;     // the file a symbolic link ends at, for `replace`
};

bool under_proc(const std::string& path) {
    if (path.rfind("/proc/", 0) == 0)
        return true;
    if (!path.empty() && path.front() == '/')
        return false;
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) != nullptr && (std::string(cwd) + "/").rfind("/proc/", 0) == 0;
}

std::string directory_of(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links one at a time, as the kernel would, so that a link
// is kept and the file it names is the one replaced.
Destination destination_of(const std::string& path) {
    constexpr int kMaxLinks = 40; // the kernel's own limit
    Destination out;
    std::string at = path;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0) {
            if (errno != ENOENT) {
                out.error = errno;
                return out;
            }
            out.replace = true; // a new file
            out.path = at;
            return out;
        }
        if (S_ISREG(st.st_mode)) {
            out.replace = true;
            out.path = at;
            return out;
        }
        if (!S_ISLNK(st.st_mode) || under_proc(at))
            return out; // written in place, through the name given
        std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
        if (n < 0) {
            out.error = errno;
            return out;
        }
        if (static_cast<std::size_t>(n) >= target.size()) {
            out.error = ENAMETOOLONG; // the link changed while it was read
            return out;
        }
        const std::string text(target.data(), static_cast<std::size_t>(n));
        at = !text.empty() && text.front() == '/' ? text : directory_of(at) + "/" + text;
    }
    out.error = ELOOP;
    return out;
}

// 0, or the errno of the first failure.
int write_all(int fd, const std::vector<unsigned char>& bytes) {
    const unsigned char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return 0;
}

// Writes `bytes` to `fd` unless `error` (an errno) already says why not, and
// closes it; 0, or the errno of the first failure.
int write_and_close(int fd, const std::vector<unsigned char>& bytes, int error = 0) {
    if (error == 0)
        error = write_all(fd, bytes);
    // Linux releases the descriptor even when close fails (EINTR included).
    const int closed = ::close(fd) == 0 ? 0 : errno;
    return error != 0 ? error : closed;
}

// The temporary files being written, where a signal handler can read them:
// lock-free flags and fixed buffers, nothing that allocates or locks.
struct PartialSlot {
    enum State : int { kFree, kNaming, kNamed };
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free);
constinit PartialSlot g_partial[8]{};

// Keeps one temporary file's name where remove_partial_pngs finds it, from
// just before the file is made until it is renamed or removed.
class PartialFile {
  public:
    PartialFile() {
        for (PartialSlot& slot : g_partial) {
            int expected = PartialSlot::kFree;
            if (slot.state.compare_exchange_strong(expected, PartialSlot::kNaming)) {
                m_slot = &slot;
                return;
            }
        }
    }
    ~PartialFile() {
        if (m_slot != nullptr)
            m_slot->state.store(PartialSlot::kFree);
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    // Named before the open that may make it: a signal just after the open
    // still finds it. Should the open find the name taken, the file there
    // is a temporary of an earlier process with this pid, as disposable.
    void name(const std::string& path) {
        if (m_slot == nullptr)
            return;
        m_slot->state.store(PartialSlot::kNaming);
        const bool fits = path.size() < sizeof m_slot->path;
        if (fits)
            std::memcpy(m_slot->path, path.c_str(), path.size() + 1);
        m_slot->state.store(fits ? PartialSlot::kNamed : PartialSlot::kNaming);
    }

  private:
    PartialSlot* m_slot = nullptr;
};

// An existing target is opened for writing first, changing nothing: a plain
// write's answer (the file's mode, ACLs, a read-only mount) decides, not the
// directory's. The descriptor is kept for writing in place when no file can
// be made or renamed beside it. Gives the descriptor (and the file's `st`),
// -1 when there is no file, or -errno when a plain write would be refused.
int open_for_plain_write(const std::string& target, struct stat& st) {
    // Nonblocking: a pipe put at the name meanwhile must not hold us up.
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? -1 : -errno;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -EEXIST; // no longer the regular file it was a moment ago
    }
    return fd;
}

int write_beside_then_rename(const std::string& target, const std::vector<unsigned char>& bytes) {
    struct stat existing {};
    struct Plain {
        int fd;
        ~Plain() {
            if (fd >= 0)
                ::close(fd);
        }
    } plain{open_for_plain_write(target, existing)};
    if (plain.fd < -1)
        return -plain.fd;
    const bool exists = plain.fd >= 0;
    // Where no file can be made beside it, or put in its place (a folder the
    // user may not write, a sticky one holding someone else's file), a file
    // the user may write is written in place, as a plain write would.
    const auto or_in_place = [&](int error) {
        if (!exists || (error != EACCES && error != EPERM))
            return error;
        const int fd = std::exchange(plain.fd, -1);
        return write_and_close(fd, bytes, ::ftruncate(fd, 0) == 0 ? 0 : errno);
    };
    const std::string directory = directory_of(target);
    const auto slash = target.rfind('/');
    // A hidden name beside the target, short enough for any file system.
    const std::string base = (slash == std::string::npos ? target : target.substr(slash + 1)).substr(0, 200);
    static std::atomic<unsigned> counter{0};
    std::string temporary;
    PartialFile partial;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = directory + "/." + base + "." + std::to_string(::getpid()) + "." +
                    std::to_string(counter.fetch_add(1)) + ".tmp";
        partial.name(temporary);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return or_in_place(errno);
    }
    if (fd < 0)
        return EEXIST;
    // The replacement keeps the permissions of the file it replaces.
    int error = write_and_close(fd, bytes, exists && ::fchmod(fd, existing.st_mode & 07777) != 0 ? errno : 0);
    const bool renamed = error == 0 && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (error == 0 && !renamed)
        error = errno;
    if (error != 0)
        ::unlink(temporary.c_str()); // only what was made here
    return renamed ? 0 : or_in_place(error);
}

int write_in_place(const std::string& path, const std::vector<unsigned char>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
    return fd < 0 ? errno : write_and_close(fd, bytes);
}

} // namespace

void remove_partial_pngs() noexcept {
    for (PartialSlot& slot : g_partial)
        if (slot.state.load() == PartialSlot::kNamed)
            ::unlink(slot.path);
}

bool write_png(const Surface& surface, const std::string& path, std::string* error) {
    auto fail = [&](const std::string& reason) {
        if (error != nullptr)
            *error = "cannot write " + path + ": " + reason;
        return false;
    };
    if (surface.empty())
        return fail("the image is empty");

    std::vector<unsigned char> rgba(static_cast<std::size_t>(surface.width()) *
                                    static_cast<std::size_t>(surface.height()) * 4);
    unsigned char* out = rgba.data();
    const std::uint32_t* in = surface.data();
    for (std::size_t i = 0; i < rgba.size() / 4; ++i, out += 4) {
        out[0] = static_cast<unsigned char>(in[i] >> 16);
        out[1] = static_cast<unsigned char>(in[i] >> 8);
        out[2] = static_cast<unsigned char>(in[i]);
        out[3] = static_cast<unsigned char>(in[i] >> 24);
    }

    // Encoded in memory first so that file errors can be told apart and named.
    std::vector<unsigned char> png;
    auto append = [](void* context, void* data, int size) {
        auto* bytes = static_cast<unsigned char*>(data);
        static_cast<std::vector<unsigned char>*>(context)->insert(
            static_cast<std::vector<unsigned char>*>(context)->end(), bytes, bytes + size);
    };
    if (stbi_write_png_to_func(append, &png, surface.width(), surface.height(), 4, rgba.data(), surface.width() * 4) ==
        0)
        return fail("the image could not be encoded");

    const Destination where = destination_of(path);
    if (where.error != 0)
        return fail(std::strerror(where.error));
    const int failure = where.replace ? write_beside_then_rename(where.path, png) : write_in_place(path, png);
    if (failure != 0)
        return fail(std::strerror(failure));
    return true;
}

} // namespace zt::gfx
