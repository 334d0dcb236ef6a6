// The accelerometer whose readings come from a script or a test.
#include "zt/drivers/simulated_accelerometer.h"

namespace zt::drivers {

void SimulatedAccelerometer::set_reading(std::int8_t x, std::int8_t y, std::int8_t z) {
    set_reading({x, y, z});
}

void SimulatedAccelerometer::set_reading(RawReading reading) {
    m_reading.with([&](RawReading& current) { current = reading; });
}

RawReading SimulatedAccelerometer::reading() const {
    return *m_reading.lock();
}

bool SimulatedAccelerometer::read(RawReading& reading) {
    reading = this->reading();
    return true;
}

} // namespace zt::drivers
