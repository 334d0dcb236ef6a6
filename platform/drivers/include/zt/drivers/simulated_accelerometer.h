// An accelerometer whose readings are set from outside: the simulator's
// script, the tests. Readings and failure may be set from any thread.
#pragma once

#include "zt/drivers/accelerometer.h"

#include "zt/sys/guarded.h"

#include <atomic>

namespace zt::drivers {

class SimulatedAccelerometer final : public AccelerometerDriver {
  public:
    // Starts lying flat, face up.
    SimulatedAccelerometer() = default;

    void set_reading(std::int8_t x, std::int8_t y, std::int8_t z);
    void set_reading(RawReading reading);
    RawReading reading() const;
    // While set, every control call fails with ERROR_READ_FAULT.
    void set_failing(bool failing) { m_failing.store(failing); }

  protected:
    bool read(RawReading& reading) override;
    bool failing() const override { return m_failing.load(); }

  private:
    mutable sys::Guarded<RawReading> m_reading{RawReading{0, 0, 64}};
    std::atomic<bool> m_failing{false};
};

} // namespace zt::drivers
