// The "ACC0:" accelerometer protocol, shared by every source of readings.
//
// Readings are one signed byte per axis on one scale for every source:
// 64 counts = 1 g (9.80665 m/s^2). A reading is what an accelerometer at rest
// reports, the "up" direction in device axes: X to the right of the screen,
// Y to the top of the screen, Z out of the screen. Lying flat face up reads
// (0, 0, +64); raising the right edge gives X > 0, raising the top edge Y > 0.
//
// Control codes (device type FILE_DEVICE_CONTROLLER, buffered, any access):
//   function 0, 1, 2  read X, Y, Z      output >= 1 byte
//   function 3        read X, Y, Z      output >= 3 bytes, in that order
//   function 6, 7     succeed and do nothing (no buffers needed)
//   function 8        announce a message id: input >= 4 bytes, little-endian
// Anything else, or a buffer too small, fails with ERROR_INVALID_PARAMETER.
// A reading the source cannot take fails the call with ERROR_READ_FAULT.
#pragma once

#include "zt/acc_protocol.h"
#include "zt/platform.h"
#include "zt/sys/devices.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace zt::drivers {

constexpr double kStandardGravity = 9.80665; // m/s^2
constexpr double kCountsPerG = 64.0;
constexpr DWORD kErrorReadFault = 30; // ERROR_READ_FAULT

// The protocol's codes under the drivers' names; defined once in
// zt/acc_protocol.h, which the client includes too.
constexpr DWORD kAccGetX = IOCTL_ACC_GET_X;
constexpr DWORD kAccGetY = IOCTL_ACC_GET_Y;
constexpr DWORD kAccGetZ = IOCTL_ACC_GET_Z;
constexpr DWORD kAccGetXyz = IOCTL_ACC_GET_XYZ;
constexpr DWORD kAccControl6 = IOCTL_ACC_CONTROL_6;
constexpr DWORD kAccControl7 = IOCTL_ACC_CONTROL_7;
constexpr DWORD kAccSetMessage = IOCTL_ACC_SET_MESSAGE;

// One sample in raw counts.
struct RawReading {
    std::int8_t x = 0;
    std::int8_t y = 0;
    std::int8_t z = 0;
    bool operator==(const RawReading&) const = default;
};

// The one conversion every source uses: round(64 * a / 9.80665), clamped to
// -128..127. Not-a-number reads as 0.
std::int8_t to_raw_byte(double metresPerSecondSquared);
RawReading to_raw_reading(double x, double y, double z);

// The protocol over a source of readings. Keeps the announced message id
// and counts opens, closes and calls. Calls may come from any thread.
// Always owned by a std::shared_ptr (std::make_shared): open handles keep
// their driver alive.
class AccelerometerDriver : public sys::StreamDriver, public std::enable_shared_from_this<AccelerometerDriver> {
  public:
    std::unique_ptr<sys::DeviceInstance> open(DWORD access, DWORD share) override;

    // Registers this driver under `name` (e.g. ACC_DEVICE_NAME); false when taken.
    bool register_as(std::u16string name);

    // The id last announced with kAccSetMessage (0 before any).
    DWORD message_id() const { return m_messageId.load(); }
    int opens() const { return m_opens.load(); }
    int closes() const { return m_closes.load(); }
    // Control calls that reached the driver: all of them, or those of one of
    // the seven codes (0 for any other code).
    std::uint64_t calls() const { return m_calls.load(); }
    std::uint64_t calls(DWORD code) const;
    void reset_counters();

    // One exchange, as a device instance hands it on.
    BOOL io_control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned);

  protected:
    // Takes the current sample; false when the sensor cannot be read.
    // Called for every read, on the caller's thread; must not allocate.
    virtual bool read(RawReading& reading) = 0;
    // Whether every control call should fail (ERROR_READ_FAULT) right now.
    virtual bool failing() const { return false; }

  private:
    class Instance;
    static constexpr int kFunctions = 9;
    std::atomic<DWORD> m_messageId{0};
    std::atomic<int> m_opens{0};
    std::atomic<int> m_closes{0};
    std::atomic<std::uint64_t> m_calls{0};
    std::array<std::atomic<std::uint64_t>, kFunctions> m_callsByFunction{};
};

} // namespace zt::drivers
