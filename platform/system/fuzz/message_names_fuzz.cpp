// The registered-message table's reader on any file: whatever the bytes, a
// table never crashes or reads past what a table can hold, answers every
// name with a number in its range, the same number for the same name in any
// case and different numbers for different names, and two tables on the same
// file agree as long as both share it.
//
// The first byte chooses the file: 0 the table's header and then the rest of
// the input, 1 the input as it is, 2 the header and the rest made sparse far
// past its end (by the next three bytes, in 4 KiB steps).
#include "zt/sys/message_names.h"
#include "zt/testhost.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "fuzz_check.h"

namespace {

using zt::sys::MessageNameTable;

const std::string& table_path() {
    static const std::string path = [] {
        static char dir[] = "/tmp/zt-fuzz-names-XXXXXX";
        if (mkdtemp(dir) == nullptr)
            std::abort();
        std::atexit([] {
            unlink((std::string(dir) + "/table").c_str());
            rmdir(dir);
        });
        return std::string(dir) + "/table";
    }();
    return path;
}

void write_table(const std::uint8_t* data, std::size_t size) {
    const int fd = open(table_path().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd >= 0);
    const std::uint8_t mode = size > 0 ? data[0] % 3 : 1;
    std::size_t skip = size > 0 ? 1 : 0;
    off_t sparse = 0;
    if (mode == 2 && size >= 4) {
        sparse = static_cast<off_t>(data[1] | data[2] << 8 | data[3] << 16) * 4096;
        skip = 4;
    }
    if (mode != 1)
        FUZZ_CHECK(write(fd, "ZTMSGNM1", 8) == 8);
    FUZZ_CHECK(write(fd, data + skip, size - skip) == static_cast<ssize_t>(size - skip));
    if (sparse != 0)
        FUZZ_CHECK(ftruncate(fd, static_cast<off_t>(8 + size - skip) + sparse) == 0);
    close(fd);
}

UINT number_of(MessageNameTable& table, std::u16string_view name) {
    DWORD error = 0;
    const UINT number = table.find_or_add(name, error);
    FUZZ_CHECK(number == 0 ? error == ERROR_NOT_ENOUGH_MEMORY
                           : number >= MessageNameTable::kFirst &&
                                 number < MessageNameTable::kFirst + MessageNameTable::kCapacity);
    return number;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    write_table(data, size);
    // What the table says about a file it does not use is not the point.
    zt::testhost::DebugCapture quiet;
    MessageNameTable first(table_path());
    const UINT acc = number_of(first, u"AccMessage");
    const UINT shell = number_of(first, u"ShellNotifyMsg");
    FUZZ_CHECK(number_of(first, u"ACCMESSAGE") == acc);
    FUZZ_CHECK(acc == 0 || acc != shell);
    MessageNameTable second(table_path());
    const UINT there = number_of(second, u"accmessage");
    if (first.shared() && second.shared())
        FUZZ_CHECK(there == acc);
    return 0;
}
