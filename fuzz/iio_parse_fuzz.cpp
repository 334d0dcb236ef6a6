// The IIO driver's sysfs parsers: a number or a mount matrix is either
// refused or finite, so a sensor never reads nothing forever.
#include "zt/drivers/iio_accelerometer.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto number = zt::drivers::parse_sysfs_number(text))
        FUZZ_CHECK(std::isfinite(*number));
    if (const auto matrix = zt::drivers::parse_mount_matrix(text))
        for (const auto& row : *matrix)
            for (const double entry : row)
                FUZZ_CHECK(std::isfinite(entry));
    return 0;
}
