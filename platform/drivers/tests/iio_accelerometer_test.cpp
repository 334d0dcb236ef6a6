// The Linux IIO accelerometer against fake sysfs trees in a temporary folder.
#include "zt/drivers/iio_accelerometer.h"
#include "zt/platform.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>

namespace {

namespace fs = std::filesystem;
using zt::drivers::IioAccelerometer;
using zt::drivers::RawReading;

constexpr DWORD kSentinel = 0xDEADBEEF;
// 1/1000 g per count, as many parts report.
constexpr const char* kMilliG = "0.009806650";

class FakeSysfs : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zt-iio-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override {
        zt::sys::unregister_stream_driver(ACC_DEVICE_NAME);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    // Writes the attributes of one device directory.
    void device(const std::string& name, std::initializer_list<std::pair<const char*, std::string>> files) {
        const fs::path dir = root / name;
        fs::create_directories(dir);
        for (const auto& [file, text] : files)
            std::ofstream(dir / file) << text << "\n";
    }
    // A complete accelerometer reading (x, y, z) counts of 1/1000 g.
    void accelerometer(const std::string& name, int x, int y, int z) {
        device(name, {{"in_accel_x_raw", std::to_string(x)},
                      {"in_accel_y_raw", std::to_string(y)},
                      {"in_accel_z_raw", std::to_string(z)},
                      {"in_accel_scale", kMilliG}});
    }
    // One three-axis read through a fresh handle on "ACC0:".
    RawReading read() {
        HANDLE h = CreateFileW(ACC_DEVICE_NAME, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        BYTE xyz[3] = {0x55, 0x55, 0x55};
        EXPECT_TRUE(DeviceIoControl(h, zt::drivers::kAccGetXyz, nullptr, 0, xyz, 3, nullptr, nullptr));
        CloseHandle(h);
        return {static_cast<std::int8_t>(xyz[0]), static_cast<std::int8_t>(xyz[1]), static_cast<std::int8_t>(xyz[2])};
    }
    std::shared_ptr<IioAccelerometer> registered() {
        auto sensor = IioAccelerometer::find(root.string());
        if (sensor) {
            EXPECT_TRUE(sensor->register_as(ACC_DEVICE_NAME));
        }
        return sensor;
    }
    fs::path root;
};

TEST_F(FakeSysfs, ConvertsRawTimesScaleToTheRawByteScale) {
    accelerometer("iio:device0", 500, -250, 1000); // 0.5 g, -0.25 g, 1 g
    auto sensor = registered();
    ASSERT_TRUE(sensor);
    EXPECT_EQ(read(), (RawReading{32, -16, 64}));
}

TEST_F(FakeSysfs, AddsTheOffsetBeforeScalingAndTakesPerAxisAttributesFirst) {
    device("iio:device0", {{"in_accel_x_raw", "1100"},
                           {"in_accel_y_raw", "40"},
                           {"in_accel_z_raw", "-12"},
                           {"in_accel_scale", kMilliG},
                           {"in_accel_y_scale", "0.24516625"}, // 1/40 g
                           {"in_accel_offset", "-100"},
                           {"in_accel_z_offset", "12"}});
    auto sensor = registered();
    ASSERT_TRUE(sensor);
    // x: (1100 - 100) / 1000 g; y: (40 - 100) / 40 g, clamped; z: 0.
    EXPECT_EQ(read(), (RawReading{64, -96, 0}));
}

TEST_F(FakeSysfs, ClampsReadingsBeyondTwoG) {
    accelerometer("iio:device0", 2500, -2500, 1999);
    auto sensor = registered();
    ASSERT_TRUE(sensor);
    EXPECT_EQ(read(), (RawReading{127, -128, 127}));
}

TEST_F(FakeSysfs, TurnsSamplesByTheMountMatrixRows) {
    // A part mounted a quarter turn: its X is the screen's -Y, its Y the screen's X.
    device("iio:device0", {{"in_accel_x_raw", "500"},
                           {"in_accel_y_raw", "250"},
                           {"in_accel_z_raw", "-1000"},
                           {"in_accel_scale", kMilliG},
                           {"in_mount_matrix", "0, 1, 0; -1, 0, 0; 0, 0, -1"}});
    auto sensor = registered();
    ASSERT_TRUE(sensor);
    EXPECT_EQ(read(), (RawReading{16, -32, 64}));
}

TEST_F(FakeSysfs, ReadsTheOtherMountMatrixNamesAndIgnoresOneThatDoesNotParse) {
    device("iio:device0", {{"in_accel_x_raw", "500"},
                           {"in_accel_y_raw", "0"},
                           {"in_accel_z_raw", "1000"},
                           {"in_accel_scale", kMilliG},
                           {"mount_matrix", "-1, 0, 0; 0, 1, 0; 0, 0, 1"}});
    auto sensor = registered();
    ASSERT_TRUE(sensor);
    EXPECT_EQ(read(), (RawReading{-32, 0, 64}));
    zt::sys::unregister_stream_driver(ACC_DEVICE_NAME);

    device("iio:device0", {{"mount_matrix", "-1, 0, 0; 0, 1"}});
    sensor = registered();
    ASSERT_TRUE(sensor);
    EXPECT_EQ(read(), (RawReading{32, 0, 64}));
}

TEST_F(FakeSysfs, TakesTheFirstCompleteDeviceInNumericOrder) {
    device("iio:device0", {{"in_accel_x_raw", "1"}, {"in_accel_y_raw", "1"}, {"in_accel_scale", kMilliG}});
    device("iio:device1", {{"in_anglvel_x_raw", "1"}, {"in_anglvel_scale", "1"}});
    device("iio:device2", {{"in_accel_x_raw", "1"}, {"in_accel_y_raw", "1"}, {"in_accel_z_raw", "1"}}); // no scale
    accelerometer("iio:device10", 0, 0, -1000);
    accelerometer("iio:device3", 0, 0, 1000);
    device("trigger0", {{"in_accel_x_raw", "1"}});
    auto sensor = IioAccelerometer::find(root.string());
    ASSERT_TRUE(sensor);
    EXPECT_EQ(fs::path(sensor->directory()).filename(), "iio:device3");
}

TEST_F(FakeSysfs, PerAxisScalesAloneAreEnough) {
    device("iio:device0", {{"in_accel_x_raw", "1000"},
                           {"in_accel_y_raw", "1000"},
                           {"in_accel_z_raw", "1000"},
                           {"in_accel_x_scale", kMilliG},
                           {"in_accel_y_scale", kMilliG},
                           {"in_accel_z_scale", "0.0049033"}});
    auto sensor = registered();
    ASSERT_TRUE(sensor);
    EXPECT_EQ(read(), (RawReading{64, 64, 32}));
}

TEST_F(FakeSysfs, NoAccelerometerMeansNoDevice) {
    device("iio:device0", {{"in_voltage0_raw", "12"}, {"in_voltage_scale", "1"}});
    device("iio:device1", {{"in_accel_x_raw", "1"}, {"in_accel_y_raw", "1"}, {"in_accel_scale", kMilliG}});
    EXPECT_FALSE(IioAccelerometer::find(root.string()));
    EXPECT_FALSE(zt::drivers::register_iio_accelerometer(root.string()));
    SetLastError(kSentinel);
    EXPECT_EQ(CreateFileW(ACC_DEVICE_NAME, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(zt::drivers::register_iio_accelerometer((root / "missing").string()));
}

TEST_F(FakeSysfs, RegistersAPresentSensorAsAcc0) {
    accelerometer("iio:device0", 0, 1000, 0);
    ASSERT_TRUE(zt::drivers::register_iio_accelerometer(root.string()));
    HANDLE h = CreateFileW(ACC_DEVICE_NAME, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    BYTE y = 0;
    EXPECT_TRUE(DeviceIoControl(h, zt::drivers::kAccGetY, nullptr, 0, &y, 1, nullptr, nullptr));
    EXPECT_EQ(y, 64);
    CloseHandle(h);
}

TEST_F(FakeSysfs, AReadErrorFailsThatCallOnly) {
    accelerometer("iio:device0", 0, 0, 1000);
    auto sensor = registered();
    ASSERT_TRUE(sensor);
    HANDLE h = CreateFileW(ACC_DEVICE_NAME, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    BYTE xyz[3] = {0x55, 0x55, 0x55};
    fs::remove(root / "iio:device0" / "in_accel_y_raw");
    SetLastError(kSentinel);
    EXPECT_FALSE(DeviceIoControl(h, zt::drivers::kAccGetXyz, nullptr, 0, xyz, 3, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), zt::drivers::kErrorReadFault);
    EXPECT_EQ(xyz[0], 0x55);
    std::ofstream(root / "iio:device0" / "in_accel_y_raw") << "garbage\n";
    EXPECT_FALSE(DeviceIoControl(h, zt::drivers::kAccGetX, nullptr, 0, xyz, 1, nullptr, nullptr));
    std::ofstream(root / "iio:device0" / "in_accel_y_raw") << "-500\n";
    EXPECT_TRUE(DeviceIoControl(h, zt::drivers::kAccGetXyz, nullptr, 0, xyz, 3, nullptr, nullptr));
    EXPECT_EQ(xyz[1], static_cast<BYTE>(-32));
    CloseHandle(h);
}

TEST_F(FakeSysfs, ANonFiniteCalibrationKeepsTheSensorOutAndSaysSoOnce) {
    struct Case {
        const char* file;
        const char* text;
    } cases[] = {
        {"in_accel_scale", "nan"},
        {"in_accel_scale", "inf"},
        {"in_accel_y_scale", "-inf"},
        {"in_accel_offset", "NaN"},
        {"in_accel_z_offset", "infinity"},
        {"in_mount_matrix", "1, 0, 0; 0, nan, 0; 0, 0, 1"},
        {"in_accel_mount_matrix", "1, 0, 0; 0, 1, 0; 0, 0, -inf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " = " + c.text);
        fs::remove_all(root / "iio:device0");
        accelerometer("iio:device0", 0, 0, 1000);
        device("iio:device0", {{c.file, c.text}});
        zt::testhost::DebugCapture capture;
        EXPECT_FALSE(IioAccelerometer::find(root.string()));
        const std::string said = capture.text();
        EXPECT_NE(said.find((root / "iio:device0").string()), std::string::npos) << said;
        EXPECT_NE(said.find(c.file), std::string::npos) << said;
        EXPECT_NE(said.find("not a finite number"), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
    // Registering fails as it does with no sensor; the next device is used.
    EXPECT_FALSE(zt::drivers::register_iio_accelerometer(root.string()));
    accelerometer("iio:device1", 0, 1000, 0);
    auto sensor = registered();
    ASSERT_TRUE(sensor);
    EXPECT_EQ(fs::path(sensor->directory()).filename(), "iio:device1");
    EXPECT_EQ(read(), (RawReading{0, 64, 0}));
}

TEST_F(FakeSysfs, ANonFiniteRawValueFailsThatRead) {
    accelerometer("iio:device0", 0, 0, 1000);
    auto sensor = registered();
    ASSERT_TRUE(sensor);
    HANDLE h = CreateFileW(ACC_DEVICE_NAME, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    for (const char* text : {"nan", "-inf"}) {
        std::ofstream(root / "iio:device0" / "in_accel_x_raw") << text << "\n";
        BYTE xyz[3] = {0x55, 0x55, 0x55};
        SetLastError(kSentinel);
        EXPECT_FALSE(DeviceIoControl(h, zt::drivers::kAccGetXyz, nullptr, 0, xyz, 3, nullptr, nullptr)) << text;
        EXPECT_EQ(GetLastError(), zt::drivers::kErrorReadFault) << text;
    }
    CloseHandle(h);
}

TEST(MountMatrix, ParsesNineNumbersInThreeRows) {
    const auto m = zt::drivers::parse_mount_matrix("1, 0, 0; 0, -1, 0; 0.5, 0, +1\n");
    ASSERT_TRUE(m);
    EXPECT_EQ((*m)[1][1], -1.0);
    EXPECT_EQ((*m)[2][0], 0.5);
    EXPECT_EQ((*m)[2][2], 1.0);
    for (const char* bad : {"", "1, 0, 0; 0, 1, 0", "1, 0; 0, 1; 0, 0", "1, 0, 0; 0, 1, 0; 0, 0, 1; 0, 0, 0",
                            "1, 0, 0, 0; 0, 1, 0; 0, 0, 1", "a, 0, 0; 0, 1, 0; 0, 0, 1", "1,,0; 0, 1, 0; 0, 0, 1"})
        EXPECT_FALSE(zt::drivers::parse_mount_matrix(bad)) << bad;
}

} // namespace
