// An accelerometer read through Linux IIO sysfs files.
#include "zt/drivers/iio_accelerometer.h"

#include "zt/platform.h"
#include "zt/sys/unicode.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace zt::drivers {

namespace {

constexpr IioAccelerometer::Matrix kIdentity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
constexpr const char* kAxisNames[3] = {"x", "y", "z"};

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::optional<double> parse_number(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Reads a small sysfs attribute into `buffer` without touching the heap;
// the number of bytes, or -1.
long read_attribute(const char* path, char* buffer, std::size_t size) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    ssize_t n;
    do {
        n = ::read(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    return static_cast<long>(n);
}

std::optional<double> read_number(const std::string& path) {
    char buffer[64];
    const long n = read_attribute(path.c_str(), buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) == sizeof buffer)
        return std::nullopt;
    return parse_number(std::string_view(buffer, static_cast<std::size_t>(n)));
}

std::optional<std::string> read_text(const std::string& path) {
    char buffer[256];
    const long n = read_attribute(path.c_str(), buffer, sizeof buffer);
    if (n < 0 || static_cast<std::size_t>(n) == sizeof buffer)
        return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(n));
}

// Says on the debug output why a device is not used: a calibration that is
// not a finite number would turn every sample into nothing.
bool refuse_non_finite(const std::string& directory, const std::string& file, double value) {
    if (std::isfinite(value))
        return false;
    const std::string text = "IIO accelerometer " + directory + ": " + file + " holds " +
                             (std::isnan(value) ? "nan"
                              : value > 0       ? "inf"
                                                : "-inf") +
                             ", not a finite number; the sensor is not used\n";
    NKDbgPrintfW(u"%s", sys::to_utf16(text).c_str());
    return true;
}

bool exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// The first of `names` present in `directory`, or "".
std::string first_present(const std::string& directory, std::initializer_list<std::string> names) {
    for (const auto& name : names)
        if (exists(directory + "/" + name))
            return directory + "/" + name;
    return {};
}

// N of "iio:deviceN", or -1 for any other name.
long device_number(std::string_view name) {
    constexpr std::string_view prefix = "iio:device";
    if (name.substr(0, prefix.size()) != prefix || name.size() == prefix.size())
        return -1;
    name.remove_prefix(prefix.size());
    long number = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
    return error == std::errc() && end == name.data() + name.size() && number >= 0 ? number : -1;
}

} // namespace

std::optional<double> parse_sysfs_number(std::string_view text) {
    return parse_number(text);
}

std::optional<IioAccelerometer::Matrix> parse_mount_matrix(const std::string& text) {
    IioAccelerometer::Matrix matrix{};
    std::string_view rest = trim(text);
    for (int row = 0; row < 3; ++row) {
        const auto semicolon = rest.find(';');
        if ((row < 2) == (semicolon == std::string_view::npos))
            return std::nullopt;
        std::string_view cells = rest.substr(0, semicolon);
        rest = row < 2 ? rest.substr(semicolon + 1) : std::string_view();
        for (int column = 0; column < 3; ++column) {
            const auto comma = cells.find(',');
            if ((column < 2) == (comma == std::string_view::npos))
                return std::nullopt;
            const auto value = parse_number(cells.substr(0, comma));
            if (!value)
                return std::nullopt;
            matrix[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = *value;
            cells = column < 2 ? cells.substr(comma + 1) : std::string_view();
        }
    }
    return matrix;
}

IioAccelerometer::IioAccelerometer(Key, Config config) : m_config(std::move(config)) {}

std::optional<IioAccelerometer::Config> IioAccelerometer::probe(const std::string& directory) {
    Config config;
    config.directory = directory;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string axis = std::string("in_accel_") + kAxisNames[i];
        Axis& a = config.axes[i];
        a.rawPath = directory + "/" + axis + "_raw";
        if (!exists(a.rawPath))
            return std::nullopt;
        const std::string scalePath = first_present(directory, {axis + "_scale", "in_accel_scale"});
        const auto scale = scalePath.empty() ? std::nullopt : read_number(scalePath);
        if (!scale || refuse_non_finite(directory, scalePath.substr(directory.size() + 1), *scale))
            return std::nullopt;
        a.scale = *scale;
        const std::string offsetPath = first_present(directory, {axis + "_offset", "in_accel_offset"});
        if (!offsetPath.empty()) {
            // A calibration we cannot read would make every sample wrong.
            const auto offset = read_number(offsetPath);
            if (!offset || refuse_non_finite(directory, offsetPath.substr(directory.size() + 1), *offset))
                return std::nullopt;
            a.offset = *offset;
        }
    }
    config.matrix = kIdentity;
    const std::string matrixPath =
        first_present(directory, {"in_accel_mount_matrix", "in_mount_matrix", "mount_matrix"});
    if (!matrixPath.empty()) {
        // A matrix that does not parse says nothing usable: keep the axes.
        if (const auto text = read_text(matrixPath))
            config.matrix = parse_mount_matrix(*text).value_or(kIdentity);
        for (const auto& row : config.matrix)
            for (const double cell : row)
                if (refuse_non_finite(directory, matrixPath.substr(directory.size() + 1), cell))
                    return std::nullopt;
    }
    return config;
}

std::shared_ptr<IioAccelerometer> IioAccelerometer::find(const std::string& root) {
    std::error_code error;
    std::vector<std::pair<long, std::string>> devices;
    for (std::filesystem::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        const long number = device_number(it->path().filename().string());
        if (number >= 0)
            devices.emplace_back(number, it->path().string());
    }
    std::sort(devices.begin(), devices.end());
    for (const auto& device : devices)
        if (auto config = probe(device.second))
            return std::make_shared<IioAccelerometer>(Key(), std::move(*config));
    return nullptr;
}

std::optional<std::array<double, 3>> IioAccelerometer::sample() const {
    std::array<double, 3> device{};
    for (std::size_t i = 0; i < 3; ++i) {
        const Axis& a = m_config.axes[i];
        const auto raw = read_number(a.rawPath);
        if (!raw || !std::isfinite(*raw))
            return std::nullopt;
        device[i] = (*raw + a.offset) * a.scale;
    }
    std::array<double, 3> turned{};
    for (std::size_t row = 0; row < 3; ++row)
        for (std::size_t column = 0; column < 3; ++column)
            turned[row] += m_config.matrix[row][column] * device[column];
    // Values beyond what a double holds are no reading at all.
    for (const double value : turned)
        if (!std::isfinite(value))
            return std::nullopt;
    return turned;
}

bool IioAccelerometer::read(RawReading& reading) {
    const auto a = sample();
    if (!a)
        return false;
    reading = to_raw_reading((*a)[0], (*a)[1], (*a)[2]);
    return true;
}

bool register_iio_accelerometer(const std::string& root) {
    auto sensor = IioAccelerometer::find(root);
    return sensor && sensor->register_as(ACC_DEVICE_NAME);
}

} // namespace zt::drivers
