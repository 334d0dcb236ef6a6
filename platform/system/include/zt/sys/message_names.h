// Registered window messages, numbered alike in every process of the user on
// this machine, as Win32 numbers them alike in every process of a session:
// the shell in one process and the application in another must agree on
// "AccMessage" and the shell's names.
#pragma once

#include "zt/platform.h"

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zt::sys {

// Names get 0xC000, 0xC001, ... in the order any process first registers
// them; a name matches without regard to case and keeps its first spelling.
//
// The numbers live in a small file that every process appends to under an
// exclusive flock (the process's own mutex keeps its threads apart, since
// flock does not): a sequence of records, each a 16-bit length and that many
// UTF-16 units, after an 8-byte header. A record cut short by a writer that
// died is ignored and written over. Each process keeps the names it has read
// and reads only what was added since, so a known name costs no file access.
class MessageNameTable {
  public:
    static constexpr UINT kFirst = 0xC000;
    static constexpr std::size_t kCapacity = 0x4000;
    static constexpr std::size_t kMaxName = 255;

    // A table shared through the file at `path`; an empty path, or a file
    // that cannot be used, gives a table of this process only.
    explicit MessageNameTable(std::string path);
    ~MessageNameTable();
    MessageNameTable(const MessageNameTable&) = delete;
    MessageNameTable& operator=(const MessageNameTable&) = delete;

    // The name's number, registering it first if no process has; 0 with
    // `error` set when the name is empty or longer than 255 units
    // (ERROR_INVALID_PARAMETER) or the table is full (ERROR_NOT_ENOUGH_MEMORY).
    UINT find_or_add(std::u16string_view name, DWORD& error);
    // Whether the numbers are shared with other processes.
    bool shared() const;

    // ZT_MESSAGE_NAMES when set (tests give each run its own file), else
    // "zt-message-names-<uid>-<boot id>" in $XDG_RUNTIME_DIR (gone at
    // logout), else in /dev/shm (gone at reboot), else in /tmp: the boot id
    // keeps a file of an earlier boot from being read.
    static std::string default_path();

  private:
    bool open_file();
    bool read_new_records();
    void remember(std::u16string name);
    UINT find(std::u16string_view name) const;

    std::mutex m_lock;
    std::string m_path;
    int m_fd = -1;
    bool m_tried = false;
    std::vector<std::u16string> m_names;
    std::unordered_map<std::u16string, std::size_t> m_index; // folded name -> place in m_names
    [[maybe_unused]] long long m_offset = 0;                 // where the next unread record begins
};

// The process's table (at default_path()), made on first use.
MessageNameTable& message_names();

// RegisterWindowMessageW's work: the name's number in the process's table,
// or 0 with the last error set.
UINT register_message_name(std::u16string_view name);

} // namespace zt::sys
