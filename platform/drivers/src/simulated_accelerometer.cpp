// The accelerometer whose readings come from a script or a test.
#include "zt/drivers/simulated_accelerometer.h"

namespace zt::drivers {

void SimulatedAccelerometer::set_reading(std::int8_t x, std::int8_t y, std::int8_t z) {
    set_reading({x, y, z});
}

void SimulatedAccelerometer::set_reading(RawReading reading) {
    std::lock_guard guard(m_lock);
    m_reading = reading;
}

RawReading SimulatedAccelerometer::reading() const {
    std::lock_guard guard(m_lock);
    return m_reading;
}

bool SimulatedAccelerometer::read(RawReading& reading) {
    reading = this->reading();
    return true;
}

} // namespace zt::drivers
