// Registered window messages, numbered alike in every process of the user on
// this machine, as Win32 numbers them alike in every process of a session:
// the shell in one process and the application in another must agree on
// "AccMessage" and the shell's names.
#pragma once
// Private to platform/system and its tests, which alone the build gives this.
#ifndef ZT_SYSTEM_PRIVATE
#error "a private header of platform/system: include the published ones (zt/platform.h, zt/host.h, zt/sys/...)"
#endif

#include "zt/platform.h"
#include "zt/sys/guarded.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zt::sys {

// Where a table's file may live: a directory as found (ZT_MESSAGE_NAMES, the
// login session's runtime directory), or a private one that the table makes
// when missing and uses only while it is the user's own with mode 0700.
enum class TableDirectory { AsFound, Private };

// Names get 0xC000, 0xC001, ... in the order any process first registers
// them; a name matches without regard to case and keeps its first spelling.
//
// The numbers live in a small file that every process appends to under an
// exclusive flock (the process's own mutex keeps its threads apart, since
// flock does not): a sequence of records, each a 16-bit length and that many
// UTF-16 units, after an 8-byte header. A record cut short by a writer that
// died is ignored and written over. Each process keeps the names it has read
// and reads only what was added since, so a known name costs no file access.
//
// Only a file nobody else can have written is used: a plain file of the
// user's own, not writable by group or others, opened without following a
// symlink, in a directory that nobody else may change. It is read no
// further than the table can hold, and only while well formed. When any of
// that fails, the table says so once on the debug output and numbers names
// in this process alone, after those it had read. So does a process that
// finds, before it adds a name, that the path no longer names the file it
// opened (removed or replaced: compared by device and inode) or that the
// file is shorter than what it has read: writing on would put names where no
// other process looks, or past the end, leaving a hole. A child made by fork
// opens the file afresh (never making it again) before touching it, so that
// its lock is its own: flock belongs to the open file description, which
// fork shares. A fork waits for registrations under way in the process's
// other threads, so the child never inherits a table's lock held by a
// thread it does not have, nor a table left halfway through a change.
class MessageNameTable {
  public:
    static constexpr UINT kFirst = 0xC000;
    static constexpr std::size_t kCapacity = 0x4000;
    static constexpr std::size_t kMaxName = 255;

    // A table shared through the file at `path`; an empty path, or a file
    // that cannot be used, gives a table of this process only.
    explicit MessageNameTable(std::string path, TableDirectory directory = TableDirectory::AsFound);
    ~MessageNameTable();
    MessageNameTable(const MessageNameTable&) = delete;
    MessageNameTable& operator=(const MessageNameTable&) = delete;

    // The name's number, registering it first if no process has; 0 with
    // `error` set when the name is empty or longer than 255 units
    // (ERROR_INVALID_PARAMETER) or the table is full (ERROR_NOT_ENOUGH_MEMORY).
    UINT find_or_add(std::u16string_view name, DWORD& error);
    // Whether the numbers are shared with other processes.
    bool shared() const;

    struct Location {
        std::string path;
        TableDirectory directory = TableDirectory::AsFound;
    };
    // ZT_MESSAGE_NAMES when set (tests give each run its own file), else
    // location_for($XDG_RUNTIME_DIR, /dev/shm or else /tmp).
    static Location default_location();
    static std::string default_path() { return default_location().path; }
    // "zt-message-names-<uid>-<boot id>" in `runtimeDir` (gone at logout)
    // when it is an absolute path to a directory of the user's own that
    // nobody else may write (a symlink: in the directory it leads to, when
    // that is one), else in the private directory "zt-<uid>" of
    // `sharedDir`; the boot id keeps a file of an earlier boot from being
    // read.
    static Location location_for(const char* runtimeDir, const std::string& sharedDir);

  private:
    // What the process has read and where it stands in the file, reached
    // only under the table's lock, which keeps the process's own threads
    // apart (the file's lock keeps processes apart).
    struct State {
        int fd = -1;
        bool tried = false;
        bool said = false;
        std::vector<std::u16string> names;
        std::unordered_map<std::u16string, std::size_t> index; // folded name -> place in names
        [[maybe_unused]] long long offset = 0;                 // where the next unread record begins
        [[maybe_unused]] int pid = 0;                          // the process that opened fd
        [[maybe_unused]] unsigned long long device = 0, inode = 0;
    };

    bool open_file(State& s);
    bool reopen_after_fork(State& s);
    bool read_new_records(State& s);
    UINT add_to_file(State& s, std::u16string_view name, DWORD& error);
    UINT find_or_add_here(State& s, std::u16string_view name, DWORD& error);
    void stop_sharing(State& s, const std::string& why);
    static void remember(State& s, std::u16string name);
    static UINT find(const State& s, std::u16string_view name);
    // pthread_atfork's handlers: every live table's lock is taken before a
    // fork and let go after it, in the parent and in the child alike.
    static void before_fork();
    static void after_fork();

    const std::string m_path;
    const TableDirectory m_directory;
    mutable Guarded<State> m_state;
    std::optional<Guarded<State>::Lock> m_heldForFork;
};

// The process's table (at default_path()), made on first use.
MessageNameTable& message_names();

// RegisterWindowMessageW's work: the name's number in the process's table,
// or 0 with the last error set.
UINT register_message_name(std::u16string_view name);

} // namespace zt::sys
