// The keyboard's and the controller's tilt, in the raw bytes the app reads.
#include "tilt.h"
#include "zt/drivers/accelerometer.h"

#include <gtest/gtest.h>

using namespace zt::desktop;
using zt::drivers::RawReading;

namespace {

RawReading raw(const Acceleration& a) {
    return zt::drivers::to_raw_reading(a.x, a.y, a.z);
}

RawReading holding(std::initializer_list<TiltKey> keys) {
    KeyboardTilt tilt;
    for (TiltKey k : keys)
        tilt.key(k, true);
    return raw(tilt.acceleration());
}

} // namespace

TEST(KeyboardTilt, WithNoKeyThePhoneLiesFlatFaceUp) {
    KeyboardTilt tilt;
    EXPECT_EQ(raw(tilt.acceleration()), (RawReading{0, 0, 64}));
}

TEST(KeyboardTilt, EachArrowRaisesItsEdgeFortyFiveDegrees) {
    EXPECT_EQ(holding({TiltKey::Up}), (RawReading{0, 45, 45}));    // spades: Y > 30
    EXPECT_EQ(holding({TiltKey::Down}), (RawReading{0, -45, 45})); // hearts: Y < -30
    EXPECT_EQ(holding({TiltKey::Right}), (RawReading{45, 0, 45})); // clubs: X > 30
    EXPECT_EQ(holding({TiltKey::Left}), (RawReading{-45, 0, 45})); // diamonds: X < -30
}

TEST(KeyboardTilt, TwoArrowsTipTowardsTheCornerStillFacingUp) {
    const RawReading r = holding({TiltKey::Up, TiltKey::Right});
    EXPECT_EQ(r, (RawReading{32, 32, 45}));
    // Both past the threshold, so the app's Y test decides: spades.
    EXPECT_GT(r.y, 30);
    EXPECT_GT(r.z, 0);
}

TEST(KeyboardTilt, OppositeArrowsCancel) {
    EXPECT_EQ(holding({TiltKey::Up, TiltKey::Down}), (RawReading{0, 0, 64}));
}

TEST(KeyboardTilt, LettingGoLaysThePhoneFlatAgain) {
    KeyboardTilt tilt;
    EXPECT_TRUE(tilt.key(TiltKey::Left, true));
    EXPECT_FALSE(tilt.key(TiltKey::Left, true));
    EXPECT_TRUE(tilt.key(TiltKey::Left, false));
    EXPECT_EQ(raw(tilt.acceleration()), (RawReading{0, 0, 64}));
}

TEST(KeyboardTilt, FlipTurnsThePhoneFaceDownAndBackOnEachPress) {
    KeyboardTilt tilt;
    EXPECT_TRUE(tilt.key(TiltKey::Flip, true));
    EXPECT_FALSE(tilt.key(TiltKey::Flip, false));
    EXPECT_TRUE(tilt.face_down());
    EXPECT_EQ(raw(tilt.acceleration()), (RawReading{0, 0, -64}));
    tilt.key(TiltKey::Up, true);
    EXPECT_EQ(raw(tilt.acceleration()), (RawReading{0, 45, -45}));
    tilt.key(TiltKey::Flip, true);
    EXPECT_EQ(raw(tilt.acceleration()), (RawReading{0, 45, 45}));
}

TEST(KeyboardTilt, ReleasingAllArrowsKeepsFaceDown) {
    KeyboardTilt tilt;
    tilt.key(TiltKey::Flip, true);
    tilt.key(TiltKey::Right, true);
    EXPECT_TRUE(tilt.release_arrows());
    EXPECT_FALSE(tilt.release_arrows());
    EXPECT_EQ(raw(tilt.acceleration()), (RawReading{0, 0, -64}));
}

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
