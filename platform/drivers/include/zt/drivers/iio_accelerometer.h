// An accelerometer read through the Linux Industrial I/O interface (sysfs):
// laptops, tablets and Linux phones.
//
// A device directory (iio:deviceN) qualifies when it has in_accel_x_raw,
// in_accel_y_raw, in_accel_z_raw and a scale for each axis (in_accel_scale or
// in_accel_<axis>_scale). A sample is (raw + offset) * scale m/s^2 per axis,
// the offset from in_accel_<axis>_offset or in_accel_offset (0 when neither
// exists), turned by the device's mount matrix when it has one
// (in_accel_mount_matrix, in_mount_matrix or mount_matrix:
// "a, b, c; d, e, f; g, h, i", each row giving one output axis), then
// converted with to_raw_reading. Scale, offset and matrix are read once, when
// the device is found; the raw values on every call.
#pragma once

#include "zt/drivers/accelerometer.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zt::drivers {

constexpr const char* kIioRoot = "/sys/bus/iio/devices";

class IioAccelerometer final : public AccelerometerDriver {
  public:
    using Matrix = std::array<std::array<double, 3>, 3>;

    // The first qualifying device under `root` (iio:device0, iio:device1, ...
    // in numeric order), or null when there is none.
    static std::shared_ptr<IioAccelerometer> find(const std::string& root = kIioRoot);

    const std::string& directory() const { return m_config.directory; }
    const Matrix& mount_matrix() const { return m_config.matrix; }

    // Reads one sample in m/s^2 after the mount matrix; nullopt on a read error.
    std::optional<std::array<double, 3>> sample() const;

  protected:
    bool read(RawReading& reading) override;

  private:
    struct Axis {
        std::string rawPath;
        double scale = 0;
        double offset = 0;
    };
    struct Config {
        std::string directory;
        std::array<Axis, 3> axes;
        Matrix matrix;
    };
    // Only find() makes one.
    struct Key {
        explicit Key() = default;
    };
    static std::optional<Config> probe(const std::string& directory);

  public:
    IioAccelerometer(Key, Config config);

  private:
    Config m_config;
};

// Parses one sysfs number ("1000\n", "+0.0098"); nullopt when it is not one.
std::optional<double> parse_sysfs_number(std::string_view text);

// Parses "a, b, c; d, e, f; g, h, i"; nullopt when it is not nine numbers.
std::optional<IioAccelerometer::Matrix> parse_mount_matrix(const std::string& text);

// Registers the first IIO accelerometer under `root` as "ACC0:". False, and
// nothing registered, when no sensor is present (or the name is taken).
bool register_iio_accelerometer(const std::string& root = kIioRoot);

} // namespace zt::drivers
