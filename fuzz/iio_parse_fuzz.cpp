// The IIO driver's sysfs parsers: a number is accepted only when the whole
// attribute (less blanks around it) is one, and a mount matrix only as three
// rows of three numbers. Non-finite values pass the parsers; the driver
// refuses them where a sensor is set up.
#include "zt/drivers/iio_accelerometer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"

namespace {

bool number_character(char c) {
    return (c >= '0' && c <= '9') || std::strchr("+-.eEinfatyINFATYxXpP", c) != nullptr;
}

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (zt::drivers::parse_sysfs_number(text)) {
        const auto first = std::find_if_not(text.begin(), text.end(), blank);
        FUZZ_CHECK(first != text.end());
        const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
        FUZZ_CHECK(std::all_of(first, last, number_character));
    }
    if (zt::drivers::parse_mount_matrix(text)) {
        FUZZ_CHECK(std::count(text.begin(), text.end(), ';') == 2);
        FUZZ_CHECK(std::count(text.begin(), text.end(), ',') == 6);
    }
    return 0;
}
