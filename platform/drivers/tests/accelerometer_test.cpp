// The accelerometer protocol as a caller sees it through the platform, on the
// simulated source, and the one conversion to raw counts.
#include "zt/drivers/accelerometer.h"
#include "zt/drivers/simulated_accelerometer.h"
#include "zt/host.h"
#include "zt/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

namespace {

using zt::drivers::kStandardGravity;
using zt::drivers::to_raw_byte;

constexpr DWORD kSentinel = 0xDEADBEEF;

TEST(RawScale, SixtyFourCountsMakeOneG) {
    EXPECT_EQ(to_raw_byte(kStandardGravity), 64);
    EXPECT_EQ(to_raw_byte(-kStandardGravity), -64);
    EXPECT_EQ(to_raw_byte(0.0), 0);
    EXPECT_EQ(to_raw_byte(kStandardGravity / 2), 32);
    EXPECT_EQ(to_raw_byte(30.0 / 64 * kStandardGravity), 30);
    EXPECT_EQ(zt::drivers::to_raw_reading(0, 0, kStandardGravity), (zt::drivers::RawReading{0, 0, 64}));
}

TEST(RawScale, RoundsToTheNearestCountHalvesAwayFromZero) {
    const double count = kStandardGravity / 64;
    EXPECT_EQ(to_raw_byte(30.49 * count), 30);
    EXPECT_EQ(to_raw_byte(30.51 * count), 31);
    EXPECT_EQ(to_raw_byte(0.5 * count), 1);
    EXPECT_EQ(to_raw_byte(-0.5 * count), -1);
    EXPECT_EQ(to_raw_byte(0.49 * count), 0);
}

TEST(RawScale, ClampsToASignedByteAndReadsNotANumberAsZero) {
    EXPECT_EQ(to_raw_byte(2 * kStandardGravity), 127);   // 128 does not fit
    EXPECT_EQ(to_raw_byte(-2 * kStandardGravity), -128); // -128 does
    EXPECT_EQ(to_raw_byte(-2.1 * kStandardGravity), -128);
    EXPECT_EQ(to_raw_byte(1e300), 127);
    EXPECT_EQ(to_raw_byte(-std::numeric_limits<double>::infinity()), -128);
    EXPECT_EQ(to_raw_byte(std::numeric_limits<double>::quiet_NaN()), 0);
}

class SimulatedDevice : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sensor->register_as(ACC_DEVICE_NAME));
        device = CreateFileW(ACC_DEVICE_NAME, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(device, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        CloseHandle(device);
        zt::sys::unregister_stream_driver(ACC_DEVICE_NAME);
    }
    // Sends `code`; the result, with `out` and `returned` filled.
    BOOL call(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize) {
        returned = kSentinel;
        return DeviceIoControl(device, code, in, inSize, out, outSize, &returned, nullptr);
    }
    std::shared_ptr<zt::drivers::SimulatedAccelerometer> sensor =
        std::make_shared<zt::drivers::SimulatedAccelerometer>();
    HANDLE device = INVALID_HANDLE_VALUE;
    DWORD returned = 0;
};

TEST_F(SimulatedDevice, StartsFlatFaceUp) {
    BYTE xyz[3] = {0xAA, 0xAA, 0xAA};
    ASSERT_TRUE(call(zt::drivers::kAccGetXyz, nullptr, 0, xyz, 3));
    EXPECT_EQ(xyz[0], 0);
    EXPECT_EQ(xyz[1], 0);
    EXPECT_EQ(xyz[2], 64);
}

TEST_F(SimulatedDevice, ReadsEachAxisAndAllThreeInOrder) {
    sensor->set_reading(-30, 31, -128);
    BYTE b = 0;
    ASSERT_TRUE(call(zt::drivers::kAccGetX, nullptr, 0, &b, 1));
    EXPECT_EQ(b, 0xE2);
    EXPECT_EQ(returned, 1u);
    ASSERT_TRUE(call(zt::drivers::kAccGetY, nullptr, 0, &b, 1));
    EXPECT_EQ(b, 0x1F);
    ASSERT_TRUE(call(zt::drivers::kAccGetZ, nullptr, 0, &b, 1));
    EXPECT_EQ(b, 0x80);
    BYTE xyz[4] = {0, 0, 0, 0x77};
    ASSERT_TRUE(call(zt::drivers::kAccGetXyz, nullptr, 0, xyz, 4));
    EXPECT_EQ(returned, 3u);
    EXPECT_EQ(xyz[0], 0xE2);
    EXPECT_EQ(xyz[1], 0x1F);
    EXPECT_EQ(xyz[2], 0x80);
    EXPECT_EQ(xyz[3], 0x77); // only three bytes written
}

TEST_F(SimulatedDevice, StoresTheAnnouncedMessageIdLittleEndian) {
    EXPECT_EQ(sensor->message_id(), 0u);
    BYTE id[4] = {0x05, 0xC0, 0x00, 0x00};
    ASSERT_TRUE(call(zt::drivers::kAccSetMessage, id, 4, nullptr, 0));
    EXPECT_EQ(sensor->message_id(), 0xC005u);
    EXPECT_EQ(returned, 0u);
    BYTE wide[4] = {0x01, 0x02, 0x03, 0x84};
    ASSERT_TRUE(call(zt::drivers::kAccSetMessage, wide, 4, nullptr, 0));
    EXPECT_EQ(sensor->message_id(), 0x84030201u);
}

TEST_F(SimulatedDevice, FunctionsSixAndSevenSucceedWithoutBuffers) {
    sensor->set_reading(1, 2, 3);
    EXPECT_TRUE(call(zt::drivers::kAccControl6, nullptr, 0, nullptr, 0));
    EXPECT_TRUE(call(zt::drivers::kAccControl7, nullptr, 0, nullptr, 0));
    EXPECT_EQ(sensor->reading(), (zt::drivers::RawReading{1, 2, 3}));
    EXPECT_EQ(sensor->message_id(), 0u);
}

TEST_F(SimulatedDevice, OtherCodesAndShortBuffersFailWithInvalidParameter) {
    BYTE buffer[4] = {0x55, 0x55, 0x55, 0x55};
    struct Case {
        DWORD code;
        DWORD inSize;
        DWORD outSize;
    } cases[] = {
        {0x40010, 0, 4},                     // function 4
        {0x40014, 0, 4},                     // function 5
        {0x40024, 0, 4},                     // function 9
        {0x40001, 0, 4},                     // another transfer method
        {0x22000C, 0, 4},                    // another device type
        {zt::drivers::kAccGetX, 0, 0},       // no room for the byte
        {zt::drivers::kAccGetXyz, 0, 2},     // room for two of three
        {zt::drivers::kAccSetMessage, 3, 0}, // id cut short
    };
    for (const auto& c : cases) {
        SetLastError(kSentinel);
        EXPECT_FALSE(call(c.code, c.inSize ? buffer : nullptr, c.inSize, c.outSize ? buffer : nullptr, c.outSize))
            << std::hex << c.code;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << std::hex << c.code;
        EXPECT_EQ(returned, 0u);
    }
    EXPECT_EQ(buffer[0], 0x55);
    EXPECT_EQ(sensor->message_id(), 0u);
}

TEST_F(SimulatedDevice, WhileFailingEveryCallFailsWithAReadFault) {
    sensor->set_failing(true);
    BYTE buffer[4] = {0x55, 0x55, 0x55, 0x55};
    for (DWORD code :
         {zt::drivers::kAccGetX, zt::drivers::kAccGetXyz, zt::drivers::kAccControl6, zt::drivers::kAccSetMessage}) {
        SetLastError(kSentinel);
        EXPECT_FALSE(call(code, buffer, 4, buffer, 4)) << std::hex << code;
        EXPECT_EQ(GetLastError(), zt::drivers::kErrorReadFault);
    }
    EXPECT_EQ(buffer[0], 0x55);
    EXPECT_EQ(sensor->message_id(), 0u);
    sensor->set_failing(false);
    EXPECT_TRUE(call(zt::drivers::kAccGetX, nullptr, 0, buffer, 1));
}

TEST_F(SimulatedDevice, CountsCallsPerCodeAndOpensAndCloses) {
    BYTE buffer[4] = {};
    call(zt::drivers::kAccGetXyz, nullptr, 0, buffer, 3);
    call(zt::drivers::kAccGetXyz, nullptr, 0, buffer, 3);
    call(zt::drivers::kAccGetX, nullptr, 0, buffer, 1);
    call(0x40014, nullptr, 0, nullptr, 0);
    sensor->set_failing(true);
    call(zt::drivers::kAccGetZ, nullptr, 0, buffer, 1); // failed calls count too
    EXPECT_EQ(sensor->calls(), 5u);
    EXPECT_EQ(sensor->calls(zt::drivers::kAccGetXyz), 2u);
    EXPECT_EQ(sensor->calls(zt::drivers::kAccGetX), 1u);
    EXPECT_EQ(sensor->calls(zt::drivers::kAccGetY), 0u);
    EXPECT_EQ(sensor->calls(zt::drivers::kAccGetZ), 1u);
    EXPECT_EQ(sensor->calls(0x40014), 0u);
    sensor->reset_counters();
    EXPECT_EQ(sensor->calls(), 0u);
    EXPECT_EQ(sensor->calls(zt::drivers::kAccGetXyz), 0u);

    EXPECT_EQ(sensor->opens(), 1);
    EXPECT_EQ(sensor->closes(), 0);
    HANDLE second = CreateFileW(u"acc0:", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(sensor->opens(), 2);
    CloseHandle(second);
    EXPECT_EQ(sensor->closes(), 1);
}

TEST_F(SimulatedDevice, AHostThreadCanChangeReadingsWhileTheyAreRead) {
    sensor->set_reading(5, 5, 5);
    std::atomic<bool> stop{false};
    zt::host::Thread host([&] {
        for (int i = 0; !stop.load(); ++i) {
            const auto v = static_cast<std::int8_t>(i % 100 - 50);
            sensor->set_reading(v, v, v);
        }
    });
    bool consistent = true;
    for (int i = 0; i < 2000; ++i) {
        BYTE xyz[3];
        ASSERT_TRUE(call(zt::drivers::kAccGetXyz, nullptr, 0, xyz, 3));
        consistent = consistent && xyz[0] == xyz[1] && xyz[1] == xyz[2];
    }
    stop = true;
    host.join();
    EXPECT_TRUE(consistent) << "a three-axis read mixed two samples";
}

} // namespace
