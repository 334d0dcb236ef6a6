// The registry's path handling: a byte string is played as a run of creates,
// opens, writes, reads and deletions of keys whose paths come from a small
// alphabet (so paths share prefixes, nest deeply and repeat with other
// case). Every call answers a Win32 status, a value reads back as written,
// and deleting or clearing any tree never crashes.
#include "zt/platform.h"
#include "zt/sys/registry.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz_check.h"

namespace {

constexpr char16_t kAlphabet[] = {u'a', u'B', u'b', u'\\', u'\\', u'\x00e9', u'\x00c9', u' ', u'.', u'\xd800'};

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::uint8_t next() {
        if (size == 0)
            return 0;
        --size;
        return *data++;
    }
    std::u16string path() {
        std::u16string text;
        // A repeat count lets short inputs make deep paths.
        const unsigned length = next();
        const unsigned repeat = 1u + (next() % 4u) * 200u;
        for (unsigned i = 0; i < length && size > 0; ++i)
            text.push_back(kAlphabet[next() % std::size(kAlphabet)]);
        std::u16string result;
        for (unsigned i = 0; i < repeat && result.size() < 200000; ++i)
            result += text;
        return result;
    }
};

bool known_status(LSTATUS status) {
    switch (status) {
    case ERROR_SUCCESS:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_PARAMETER:
    case ERROR_ACCESS_DENIED:
    case ERROR_MORE_DATA:
    case zt::sys::registry::kErrorBadPathname:
    case zt::sys::registry::kErrorBadKey:
    case zt::sys::registry::kErrorKeyDeleted:
        return true;
    default:
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zt::sys::registry::clear();
    Reader in{data, size};
    while (in.size > 0) {
        const std::uint8_t op = in.next() % 5;
        const std::u16string path = in.path();
        HKEY key = nullptr;
        switch (op) {
        case 0:
        case 1: {
            const LSTATUS status = op == 0 ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                                             KEY_ALL_ACCESS, nullptr, &key, nullptr)
                                           : RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key);
            FUZZ_CHECK(known_status(status));
            FUZZ_CHECK((status == ERROR_SUCCESS) == (key != nullptr));
            if (key) {
                const BYTE written[3] = {in.next(), in.next(), in.next()};
                FUZZ_CHECK(RegSetValueExW(key, u"v", 0, REG_BINARY, written, sizeof written) == ERROR_SUCCESS);
                BYTE read[8] = {};
                DWORD readSize = sizeof read;
                DWORD type = 0;
                FUZZ_CHECK(RegQueryValueExW(key, u"v", nullptr, &type, read, &readSize) == ERROR_SUCCESS);
                FUZZ_CHECK(type == REG_BINARY && readSize == sizeof written);
                FUZZ_CHECK(read[0] == written[0] && read[1] == written[1] && read[2] == written[2]);
                FUZZ_CHECK(RegCloseKey(key) == ERROR_SUCCESS);
            }
            break;
        }
        case 2:
            FUZZ_CHECK(known_status(zt::sys::registry::delete_tree(HKEY_LOCAL_MACHINE, path)));
            break;
        case 3: {
            const BYTE value[1] = {in.next()};
            FUZZ_CHECK(known_status(
                zt::sys::registry::set_value(HKEY_LOCAL_MACHINE, path, u"x", REG_BINARY, std::span(value))));
            break;
        }
        default:
            zt::sys::registry::clear();
            break;
        }
    }
    return 0;
}
