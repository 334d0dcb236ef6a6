// The keyboard's tilt, in the raw bytes the app reads.
#include "zt/drivers/accelerometer.h"
#include "zt/host/tilt.h"

#include <gtest/gtest.h>

using namespace zt::host;
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
