// A game controller's tilt, in the raw bytes the app reads.
#include "tilt.h"
#include "zt/drivers/accelerometer.h"

#include <gtest/gtest.h>

using zt::desktop::controller_to_phone;
using zt::drivers::RawReading;

namespace {

RawReading raw(const zt::host::Acceleration& a) {
    return zt::drivers::to_raw_reading(a.x, a.y, a.z);
}

} // namespace

TEST(ControllerTilt, LyingFlatInTheHandsIsThePhoneFlatFaceUp) {
    // SDL reports a controller at rest with gravity on its Y axis.
    EXPECT_EQ(raw(controller_to_phone(0, 9.80665f, 0)), (RawReading{0, 0, 64}));
}

TEST(ControllerTilt, TheFarEdgeIsTheTopOfTheScreen) {
    // Far edge raised: the controller's -Z points up, so Z reads negative.
    const RawReading far = raw(controller_to_phone(0, 6.93f, -6.93f));
    EXPECT_EQ(far, (RawReading{0, 45, 45}));
    const RawReading right = raw(controller_to_phone(6.93f, 6.93f, 0));
    EXPECT_EQ(right, (RawReading{45, 0, 45}));
    // Upside down.
    EXPECT_EQ(raw(controller_to_phone(0, -9.80665f, 0)).z, -64);
}
