// The accelerometer client against a recording driver and the simulated one:
// reference-counted open and close, the reads and control calls, every
// "not open" answer, and the debug texts byte for byte.
#include "device/accelerometer.h"
#include "zt/drivers/simulated_accelerometer.h"
#include "zt/platform.h"
#include "zt/sys/devices.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;
const std::string kOpenFailed2 = "[Acc Api] Open ACC0 failed err 2..........\n";
const std::string kClose = "[Acc Api] Close ACC0..........\n";
const std::string kNotOpened = "[Acc Api] ACC0 not opened..........\n";

// What reached the driver in one control call.
struct Call {
    int instance; // which open it came through, from 1
    DWORD code;
    std::vector<BYTE> in;
    bool outNull;
    DWORD outSize;
};

// A driver that records every open, close and call, and answers each code
// from a script: the bytes to write and the result.
struct Recorder {
    DWORD openError = 0; // nonzero: refuse opens with this error
    int opens = 0;
    int closes = 0;
    std::vector<Call> calls;
    std::map<DWORD, std::vector<BYTE>> replies;
    BOOL result = TRUE;
    DWORD failError = ERROR_INVALID_PARAMETER;

    std::vector<Call> calls_of(DWORD code) const {
        std::vector<Call> found;
        for (const auto& c : calls)
            if (c.code == code)
                found.push_back(c);
        return found;
    }
};

class RecordingInstance final : public zt::sys::DeviceInstance {
  public:
    RecordingInstance(Recorder& recorder, int serial) : m_recorder(recorder), m_serial(serial) {}
    ~RecordingInstance() override { ++m_recorder.closes; }
    BOOL io_control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) override {
        const auto* bytes = static_cast<const BYTE*>(in);
        m_recorder.calls.push_back({m_serial, code, std::vector<BYTE>(bytes, bytes + inSize), out == nullptr, outSize});
        if (m_recorder.result == FALSE) {
            SetLastError(m_recorder.failError);
            return FALSE;
        }
        const auto& reply = m_recorder.replies[code];
        const DWORD n = std::min<DWORD>(outSize, static_cast<DWORD>(reply.size()));
        if (n > 0)
            std::memcpy(out, reply.data(), n);
        *returned = n;
        return m_recorder.result;
    }

  private:
    Recorder& m_recorder;
    int m_serial;
};

class RecordingDriver final : public zt::sys::StreamDriver {
  public:
    explicit RecordingDriver(Recorder& recorder) : m_recorder(recorder) {}
    std::unique_ptr<zt::sys::DeviceInstance> open(DWORD, DWORD) override {
        if (m_recorder.openError != 0) {
            SetLastError(m_recorder.openError);
            return nullptr;
        }
        return std::make_unique<RecordingInstance>(m_recorder, ++m_recorder.opens);
    }

  private:
    Recorder& m_recorder;
};

std::vector<BYTE> little_endian(DWORD value) {
    return {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)};
}

// The client's state is process-wide: every test starts and ends closed.
class AccelerometerClient : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(g_hAccDevice, INVALID_HANDLE_VALUE);
        ASSERT_EQ(g_nAccOpenCount, 0);
        ASSERT_EQ(g_uAccMessageId, 0u);
        ASSERT_TRUE(zt::sys::register_stream_driver(ACC_DEVICE_NAME, std::make_shared<RecordingDriver>(recorder)));
    }
    void TearDown() override {
        for (int guard = 0; g_hAccDevice != INVALID_HANDLE_VALUE && guard < 100; ++guard)
            AccClose();
        zt::sys::unregister_stream_driver(ACC_DEVICE_NAME);
    }
    Recorder recorder;
    zt::testhost::DebugCapture debug;
};

TEST_F(AccelerometerClient, ControlCodesFollowTheControlCodeLayout) {
    EXPECT_EQ(IOCTL_ACC_GET_X, 0x40000u);
    EXPECT_EQ(IOCTL_ACC_GET_Y, 0x40004u);
    EXPECT_EQ(IOCTL_ACC_GET_Z, 0x40008u);
    EXPECT_EQ(IOCTL_ACC_GET_XYZ, 0x4000Cu);
    EXPECT_EQ(IOCTL_ACC_CONTROL_6, 0x40018u);
    EXPECT_EQ(IOCTL_ACC_CONTROL_7, 0x4001Cu);
    EXPECT_EQ(IOCTL_ACC_SET_MESSAGE, 0x40020u);
}

TEST_F(AccelerometerClient, OpenTwiceCloseTwiceUsesOneHandleAndOneAnnouncement) {
    EXPECT_EQ(AccOpen(), 1);
    const HANDLE first = g_hAccDevice;
    EXPECT_EQ(AccOpen(), 1);
    EXPECT_EQ(g_hAccDevice, first);
    EXPECT_EQ(g_nAccOpenCount, 2);
    EXPECT_EQ(recorder.opens, 1);

    const UINT id = RegisterWindowMessageW(u"AccMessage");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(g_uAccMessageId, id);
    const auto announced = recorder.calls_of(IOCTL_ACC_SET_MESSAGE);
    ASSERT_EQ(announced.size(), 1u);
    EXPECT_EQ(announced[0].in, little_endian(id));
    EXPECT_TRUE(announced[0].outNull);
    EXPECT_EQ(announced[0].outSize, 0u);
    EXPECT_EQ(recorder.calls.size(), 1u);

    AccClose();
    EXPECT_EQ(g_nAccOpenCount, 1);
    EXPECT_EQ(g_hAccDevice, first);
    EXPECT_EQ(recorder.closes, 0);
    recorder.replies[IOCTL_ACC_GET_Y] = {0x05};
    signed char y = 0;
    EXPECT_NE(AccGetY(&y), 0);
    EXPECT_EQ(y, 5);
    EXPECT_EQ(debug.text(), "");

    const std::size_t callsBeforeClose = recorder.calls.size();
    AccClose();
    EXPECT_EQ(debug.text(), kClose);
    EXPECT_EQ(recorder.closes, 1);
    EXPECT_EQ(recorder.calls.size(), callsBeforeClose); // nothing sent on close
    EXPECT_EQ(g_hAccDevice, INVALID_HANDLE_VALUE);
    EXPECT_EQ(g_nAccOpenCount, 0);
    EXPECT_EQ(g_uAccMessageId, 0u);
}

TEST_F(AccelerometerClient, ReopeningAfterAFullCloseOpensAndAnnouncesAgain) {
    ASSERT_EQ(AccOpen(), 1);
    const HANDLE first = g_hAccDevice;
    AccClose();
    ASSERT_EQ(AccOpen(), 1);
    EXPECT_NE(g_hAccDevice, first);
    EXPECT_EQ(recorder.opens, 2);
    const auto announced = recorder.calls_of(IOCTL_ACC_SET_MESSAGE);
    ASSERT_EQ(announced.size(), 2u);
    EXPECT_EQ(announced[0].instance, 1);
    EXPECT_EQ(announced[1].instance, 2);
    EXPECT_NE(AccGetMessageId(), 0u);
    EXPECT_EQ(announced[1].in, little_endian(AccGetMessageId()));
}

TEST_F(AccelerometerClient, WithoutADeviceOpenFailsAndReadsLeaveTheirValues) {
    zt::sys::unregister_stream_driver(ACC_DEVICE_NAME);
    SetLastError(kSentinel);
    EXPECT_EQ(AccOpen(), 0);
    EXPECT_EQ(debug.text(), kOpenFailed2);
    EXPECT_EQ(g_nAccOpenCount, 0);
    EXPECT_EQ(g_hAccDevice, INVALID_HANDLE_VALUE);
    EXPECT_EQ(g_uAccMessageId, 0u);

    debug.clear();
    signed char x = 7, y = -8, z = 9;
    EXPECT_EQ(AccGetXYZ(&x, &y, &z), 0);
    EXPECT_EQ(debug.text(), kNotOpened);
    EXPECT_EQ(AccGetX(&x), 0);
    EXPECT_EQ(AccGetY(&y), 0);
    EXPECT_EQ(AccGetZ(&z), 0);
    EXPECT_EQ(debug.text(), kNotOpened + kNotOpened + kNotOpened + kNotOpened);
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, -8);
    EXPECT_EQ(z, 9);

    // The device comes back: the next open tries again.
    ASSERT_TRUE(zt::sys::register_stream_driver(ACC_DEVICE_NAME, std::make_shared<RecordingDriver>(recorder)));
    EXPECT_EQ(AccOpen(), 1);
    EXPECT_EQ(g_nAccOpenCount, 1);
}

TEST_F(AccelerometerClient, TheOpenFailureTextCarriesTheDriversErrorCode) {
    recorder.openError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(AccOpen(), 0);
    EXPECT_EQ(AccOpen(), 0);
    EXPECT_EQ(debug.text(), "[Acc Api] Open ACC0 failed err 5..........\n[Acc Api] Open ACC0 failed err 5..........\n");
    EXPECT_EQ(g_nAccOpenCount, 0);
    EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(AccelerometerClient, ReadsSendTheirCodeWithOneOrThreeOutputBytesAndNoInput) {
    ASSERT_EQ(AccOpen(), 1);
    recorder.calls.clear();
    signed char x = 0, y = 0, z = 0;
    AccGetX(&x);
    AccGetY(&y);
    AccGetZ(&z);
    AccGetXYZ(&x, &y, &z);
    const struct {
        DWORD code;
        DWORD outSize;
    } expected[] = {{0x40000, 1}, {0x40004, 1}, {0x40008, 1}, {0x4000C, 3}};
    ASSERT_EQ(recorder.calls.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(recorder.calls[i].code, expected[i].code) << i;
        EXPECT_TRUE(recorder.calls[i].in.empty()) << i;
        EXPECT_EQ(recorder.calls[i].outSize, expected[i].outSize) << i;
        EXPECT_EQ(recorder.calls[i].instance, 1);
    }
    EXPECT_EQ(debug.text(), "");
}

TEST_F(AccelerometerClient, DriverBytesReadAsSignedValues) {
    ASSERT_EQ(AccOpen(), 1);
    recorder.replies[IOCTL_ACC_GET_X] = {0xE2};
    recorder.replies[IOCTL_ACC_GET_Y] = {0x1F};
    recorder.replies[IOCTL_ACC_GET_Z] = {0x80};
    recorder.replies[IOCTL_ACC_GET_XYZ] = {0x1F, 0xE2, 0xFF};
    signed char x = 0, y = 0, z = 0;
    EXPECT_EQ(AccGetX(&x), 1);
    EXPECT_EQ(AccGetY(&y), 1);
    EXPECT_EQ(AccGetZ(&z), 1);
    EXPECT_EQ(x, -30);
    EXPECT_EQ(y, 31);
    EXPECT_EQ(z, -128);
    EXPECT_EQ(AccGetXYZ(&x, &y, &z), 1);
    EXPECT_EQ(x, 31);
    EXPECT_EQ(y, -30);
    EXPECT_EQ(z, -1);
}

TEST_F(AccelerometerClient, ReadsReturnTheDeviceCallsOwnResult) {
    ASSERT_EQ(AccOpen(), 1);
    recorder.result = 0x2A;
    recorder.replies[IOCTL_ACC_GET_XYZ] = {1, 2, 3};
    signed char x = 0, y = 0, z = 0;
    EXPECT_EQ(AccGetXYZ(&x, &y, &z), 0x2A);
    EXPECT_EQ(AccGetZ(&z), 0x2A);
    EXPECT_EQ(AccControl6(), 0x2A);
}

TEST_F(AccelerometerClient, AFailingDeviceCallZeroesTheValuesSilently) {
    ASSERT_EQ(AccOpen(), 1);
    recorder.result = FALSE;
    signed char x = 7, y = 8, z = 9;
    EXPECT_EQ(AccGetXYZ(&x, &y, &z), 0);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(z, 0);
    signed char single = 5;
    EXPECT_EQ(AccGetX(&single), 0);
    EXPECT_EQ(single, 0);
    single = 5;
    EXPECT_EQ(AccGetY(&single), 0);
    EXPECT_EQ(single, 0);
    single = 5;
    EXPECT_EQ(AccGetZ(&single), 0);
    EXPECT_EQ(single, 0);
    EXPECT_EQ(AccControl7(), 0);
    EXPECT_EQ(debug.text(), "");
}

// Fills the stack below the caller with a pattern, so that a buffer the
// client forgot to clear would show it.
[[gnu::noinline]] void smear_stack() {
    volatile BYTE junk[512];
    for (auto& b : junk)
        b = 0xA5;
}

TEST_F(AccelerometerClient, AShortThreeAxisReplyLeavesZerosNotStackBytes) {
    ASSERT_EQ(AccOpen(), 1);
    signed char x = 7, y = 8, z = 9;
    recorder.replies[IOCTL_ACC_GET_XYZ] = {0x11}; // success, one byte of three
    smear_stack();
    EXPECT_EQ(AccGetXYZ(&x, &y, &z), 1);
    EXPECT_EQ(x, 0x11);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(z, 0);
    recorder.replies[IOCTL_ACC_GET_XYZ] = {}; // success, nothing written
    smear_stack();
    EXPECT_EQ(AccGetXYZ(&x, &y, &z), 1);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(z, 0);
    recorder.replies[IOCTL_ACC_GET_X] = {};
    x = 7;
    smear_stack();
    EXPECT_EQ(AccGetX(&x), 1);
    EXPECT_EQ(x, 0);
}

TEST_F(AccelerometerClient, ANullOutPointerReturnsZeroWithoutACallOrAPrint) {
    signed char x = 7, z = 9;
    // Not open: still no print.
    EXPECT_EQ(AccGetX(nullptr), 0);
    EXPECT_EQ(AccGetXYZ(&x, nullptr, &z), 0);
    EXPECT_EQ(debug.text(), "");

    ASSERT_EQ(AccOpen(), 1);
    recorder.calls.clear();
    EXPECT_EQ(AccGetX(nullptr), 0);
    EXPECT_EQ(AccGetY(nullptr), 0);
    EXPECT_EQ(AccGetZ(nullptr), 0);
    EXPECT_EQ(AccGetXYZ(nullptr, &x, &z), 0);
    EXPECT_EQ(AccGetXYZ(&x, nullptr, &z), 0);
    EXPECT_EQ(AccGetXYZ(&x, &z, nullptr), 0);
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_EQ(x, 7);
    EXPECT_EQ(z, 9);
    EXPECT_EQ(debug.text(), "");
}

TEST_F(AccelerometerClient, ControlCallsSendNoBuffersAndAnswerMinus1062WhenNotOpen) {
    SetLastError(kSentinel);
    EXPECT_EQ(AccControl6(), -1062);
    EXPECT_EQ(AccControl7(), -1062);
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_EQ(debug.text(), kNotOpened + kNotOpened);

    ASSERT_EQ(AccOpen(), 1);
    recorder.calls.clear();
    EXPECT_EQ(AccControl6(), 1);
    EXPECT_EQ(AccControl7(), 1);
    ASSERT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.calls[0].code, 0x40018u);
    EXPECT_EQ(recorder.calls[1].code, 0x4001Cu);
    for (const auto& c : recorder.calls) {
        EXPECT_TRUE(c.in.empty());
        EXPECT_TRUE(c.outNull);
        EXPECT_EQ(c.outSize, 0u);
    }
}

TEST_F(AccelerometerClient, MessageIdIsZeroWithErrorWhenClosedAndTheAnnouncedIdWhenOpen) {
    SetLastError(0);
    EXPECT_EQ(AccGetMessageId(), 0u);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
    EXPECT_EQ(debug.text(), "");

    ASSERT_EQ(AccOpen(), 1);
    SetLastError(kSentinel);
    const UINT id = AccGetMessageId();
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_EQ(id, RegisterWindowMessageW(u"AccMessage"));
    EXPECT_GE(id, 0xC000u);
    const auto announced = recorder.calls_of(IOCTL_ACC_SET_MESSAGE);
    ASSERT_EQ(announced.size(), 1u);
    EXPECT_EQ(announced[0].in, little_endian(id));
}

TEST_F(AccelerometerClient, ClosingWhatIsNotOpenPrintsTheOpenFailureWithTheCurrentError) {
    SetLastError(1234);
    AccClose();
    EXPECT_EQ(debug.text(), "[Acc Api] Open ACC0 failed err 1234..........\n");
    EXPECT_EQ(g_nAccOpenCount, 0);
    EXPECT_EQ(recorder.closes, 0);

    // After a full close as well.
    ASSERT_EQ(AccOpen(), 1);
    AccClose();
    debug.clear();
    SetLastError(ERROR_FILE_NOT_FOUND);
    AccClose();
    EXPECT_EQ(debug.text(), kOpenFailed2);
    EXPECT_EQ(recorder.closes, 1);
    EXPECT_EQ(g_nAccOpenCount, 0);
}

// The same client over the simulated sensor that the simulator uses.
class SimulatedSensor : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(g_hAccDevice, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(sensor->register_as(ACC_DEVICE_NAME));
        ASSERT_EQ(AccOpen(), 1);
    }
    void TearDown() override {
        for (int guard = 0; g_hAccDevice != INVALID_HANDLE_VALUE && guard < 100; ++guard)
            AccClose();
        zt::sys::unregister_stream_driver(ACC_DEVICE_NAME);
    }
    std::shared_ptr<zt::drivers::SimulatedAccelerometer> sensor =
        std::make_shared<zt::drivers::SimulatedAccelerometer>();
    zt::testhost::DebugCapture debug;
};

TEST_F(SimulatedSensor, EachReadIsOneDeviceCall) {
    EXPECT_EQ(sensor->message_id(), AccGetMessageId());
    sensor->reset_counters();
    sensor->set_reading(-30, 31, 12);
    signed char x = 0, y = 0, z = 0;
    EXPECT_NE(AccGetXYZ(&x, &y, &z), 0);
    EXPECT_EQ(sensor->calls(), 1u);
    EXPECT_EQ(x, -30);
    EXPECT_EQ(y, 31);
    EXPECT_EQ(z, 12);
    EXPECT_NE(AccGetX(&x), 0);
    EXPECT_NE(AccGetY(&y), 0);
    EXPECT_NE(AccGetZ(&z), 0);
    EXPECT_EQ(sensor->calls(), 4u);
    EXPECT_EQ(sensor->calls(IOCTL_ACC_GET_XYZ), 1u);
    EXPECT_EQ(sensor->calls(IOCTL_ACC_GET_Z), 1u);
    EXPECT_EQ(sensor->opens(), 1);
    EXPECT_EQ(debug.text(), "");
}

TEST_F(SimulatedSensor, AFailingSensorReadsAsZeroAndFaceDown) {
    sensor->set_reading(40, -40, 64);
    sensor->set_failing(true);
    signed char x = 1, y = 1, z = 1;
    EXPECT_EQ(AccGetXYZ(&x, &y, &z), 0);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(z, 0);
    EXPECT_EQ(AccControl6(), 0);
    EXPECT_EQ(debug.text(), "");
    sensor->set_failing(false);
    EXPECT_NE(AccGetZ(&z), 0);
    EXPECT_EQ(z, 64);
}

} // namespace
