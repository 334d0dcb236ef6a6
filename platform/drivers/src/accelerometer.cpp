// The accelerometer protocol shared by every source, and the one conversion
// from m/s^2 to raw counts.
#include "zt/drivers/accelerometer.h"

#include <algorithm>
#include <cmath>

namespace zt::drivers {

std::int8_t to_raw_byte(double metresPerSecondSquared) {
    const double counts = std::round(kCountsPerG * metresPerSecondSquared / kStandardGravity);
    if (std::isnan(counts))
        return 0;
    return static_cast<std::int8_t>(std::clamp(counts, -128.0, 127.0));
}

RawReading to_raw_reading(double x, double y, double z) {
    return {to_raw_byte(x), to_raw_byte(y), to_raw_byte(z)};
}

namespace {

// The function number of one of the protocol's codes, or -1.
int function_of(DWORD code) {
    switch (code) {
    case kAccGetX:
    case kAccGetY:
    case kAccGetZ:
    case kAccGetXyz:
    case kAccControl6:
    case kAccControl7:
    case kAccSetMessage:
        return static_cast<int>((code >> 2) & 0xFFF);
    default:
        return -1;
    }
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

class AccelerometerDriver::Instance final : public sys::DeviceInstance {
  public:
    explicit Instance(std::shared_ptr<AccelerometerDriver> driver) : m_driver(std::move(driver)) {
        m_driver->m_opens.fetch_add(1);
    }
    ~Instance() override { m_driver->m_closes.fetch_add(1); }
    BOOL io_control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) override {
        return m_driver->io_control(code, in, inSize, out, outSize, returned);
    }

  private:
    std::shared_ptr<AccelerometerDriver> m_driver;
};

std::unique_ptr<sys::DeviceInstance> AccelerometerDriver::open(DWORD, DWORD) {
    // The sensor has no exclusive use: every access and share mode opens it.
    return std::make_unique<Instance>(shared_from_this());
}

bool AccelerometerDriver::register_as(std::u16string name) {
    return sys::register_stream_driver(std::move(name), shared_from_this());
}

std::uint64_t AccelerometerDriver::calls(DWORD code) const {
    const int function = function_of(code);
    return function < 0 ? 0 : m_callsByFunction[static_cast<std::size_t>(function)].load();
}

void AccelerometerDriver::reset_counters() {
    m_calls.store(0);
    for (auto& count : m_callsByFunction)
        count.store(0);
}

BOOL AccelerometerDriver::io_control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                                     DWORD* returned) {
    m_calls.fetch_add(1, std::memory_order_relaxed);
    const int function = function_of(code);
    if (function < 0)
        return fail(ERROR_INVALID_PARAMETER);
    m_callsByFunction[static_cast<std::size_t>(function)].fetch_add(1, std::memory_order_relaxed);

    DWORD needIn = 0;
    DWORD needOut = 0;
    if (code == kAccGetXyz)
        needOut = 3;
    else if (code == kAccGetX || code == kAccGetY || code == kAccGetZ)
        needOut = 1;
    else if (code == kAccSetMessage)
        needIn = 4;
    if (inSize < needIn || outSize < needOut)
        return fail(ERROR_INVALID_PARAMETER);
    if (failing())
        return fail(kErrorReadFault);

    if (code == kAccSetMessage) {
        const auto* bytes = static_cast<const BYTE*>(in);
        m_messageId.store(static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 |
                          static_cast<DWORD>(bytes[2]) << 16 | static_cast<DWORD>(bytes[3]) << 24);
        return TRUE;
    }
    if (needOut == 0)
        return TRUE; // functions 6 and 7: nothing to do for these sources

    RawReading reading;
    if (!read(reading))
        return fail(kErrorReadFault);
    auto* bytes = static_cast<BYTE*>(out);
    if (code == kAccGetXyz) {
        bytes[0] = static_cast<BYTE>(reading.x);
        bytes[1] = static_cast<BYTE>(reading.y);
        bytes[2] = static_cast<BYTE>(reading.z);
    } else {
        bytes[0] = static_cast<BYTE>(code == kAccGetX ? reading.x : code == kAccGetY ? reading.y : reading.z);
    }
    *returned = needOut;
    return TRUE;
}

} // namespace zt::drivers
