// The tilt in the browser: motion samples and keys to the raw bytes the app
// reads, the sources each accel mode takes, and the rehearsal status line.
#include "tilt_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace zt::web;
using zt::desktop::TiltKey;
using zt::drivers::RawReading;

namespace {

constexpr double g = 9.80665;

TiltSource source(AccelMode mode, const char* flip = "") {
    Options o;
    o.accel = mode;
    for (const char* c = flip; *c; ++c) {
        o.flipX = o.flipX || *c == 'x';
        o.flipY = o.flipY || *c == 'y';
        o.flipZ = o.flipZ || *c == 'z';
    }
    return TiltSource(o);
}

} // namespace

TEST(TiltSource, StartsLyingFlatFaceUp) {
    EXPECT_EQ(source(AccelMode::Auto).reading(), (RawReading{0, 0, 64}));
}

TEST(TiltSource, MotionSamplesConvertLikeEveryOtherSource) {
    TiltSource tilt = source(AccelMode::Motion);
    // Lying flat face up, as W3C defines accelerationIncludingGravity.
    EXPECT_FALSE(tilt.motion(0, 0, g)); // no change from the start
    // Bottom edge up: the "up" direction points to the bottom of the screen.
    EXPECT_TRUE(tilt.motion(0, -g * std::sin(0.7), g * std::cos(0.7)));
    EXPECT_EQ(tilt.reading(), zt::drivers::to_raw_reading(0, -g * std::sin(0.7), g * std::cos(0.7)));
    EXPECT_LT(tilt.reading().y, -30);
    // Far past 2 g is held at the byte's edge.
    tilt.motion(100, -100, 0);
    EXPECT_EQ(tilt.reading(), (RawReading{127, -128, 0}));
}

TEST(TiltSource, FlipNegatesTheNamedAxes) {
    TiltSource tilt = source(AccelMode::Motion, "xz");
    tilt.motion(g / 2, g / 4, g);
    EXPECT_EQ(tilt.reading(), (RawReading{-32, 16, -64}));
}

TEST(TiltSource, SamplesWithoutNumbersAreNoSensor) {
    TiltSource tilt = source(AccelMode::Auto);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(tilt.motion(nan, 1, 1));
    EXPECT_FALSE(tilt.motion(1, std::numeric_limits<double>::infinity(), 1));
    EXPECT_FALSE(tilt.motion_seen());
    // So the keys still work.
    EXPECT_TRUE(tilt.key(TiltKey::Down, true));
    EXPECT_EQ(tilt.reading(), (RawReading{0, -45, 45}));
}

TEST(TiltSource, AutoTakesTheKeysUntilTheSensorSpeaks) {
    TiltSource tilt = source(AccelMode::Auto);
    EXPECT_TRUE(tilt.key(TiltKey::Right, true));
    EXPECT_EQ(tilt.reading(), (RawReading{45, 0, 45}));
    EXPECT_TRUE(tilt.motion(0, 0, -g)); // face down, from the sensor
    EXPECT_EQ(tilt.reading(), (RawReading{0, 0, -64}));
    // From now on the keys are ignored, or the two would fight.
    EXPECT_FALSE(tilt.key(TiltKey::Right, false));
    EXPECT_FALSE(tilt.key(TiltKey::Up, true));
    EXPECT_FALSE(tilt.release_arrows());
    EXPECT_EQ(tilt.reading(), (RawReading{0, 0, -64}));
}

TEST(TiltSource, KeysModeIgnoresTheSensorAndMotionModeTheKeys) {
    TiltSource keys = source(AccelMode::Keys);
    EXPECT_FALSE(keys.motion(g, 0, 0));
    EXPECT_TRUE(keys.key(TiltKey::Flip, true));
    EXPECT_EQ(keys.reading(), (RawReading{0, 0, -64}));

    TiltSource motion = source(AccelMode::Motion);
    EXPECT_FALSE(motion.key(TiltKey::Up, true));
    EXPECT_EQ(motion.reading(), (RawReading{0, 0, 64}));
}

TEST(TiltSource, LosingTheKeyboardLetsGoOfTheArrowsButNotOfFaceDown) {
    TiltSource tilt = source(AccelMode::Keys);
    tilt.key(TiltKey::Up, true);
    tilt.key(TiltKey::Flip, true);
    EXPECT_TRUE(tilt.release_arrows());
    EXPECT_EQ(tilt.reading(), (RawReading{0, 0, -64}));
    EXPECT_FALSE(tilt.release_arrows());
}

TEST(TiltSource, NoneHasNoDevice) {
    TiltSource tilt = source(AccelMode::None);
    EXPECT_FALSE(tilt.has_device());
    EXPECT_FALSE(tilt.motion(0, 0, g));
    EXPECT_FALSE(tilt.key(TiltKey::Up, true));
    EXPECT_EQ(tilt.status(), "NO ACCELEROMETER");
}

TEST(TiltSource, TheStatusSaysWhereTheTiltComesFromAndWhetherMotionIsAllowed) {
    TiltSource tilt = source(AccelMode::Auto);
    EXPECT_EQ(tilt.status(), "KEYS  NO MOTION YET");
    tilt.set_permission(MotionPermission::Ask);
    EXPECT_EQ(tilt.status(), "KEYS  TAP TO ALLOW MOTION");
    tilt.set_permission(MotionPermission::Denied);
    EXPECT_EQ(tilt.status(), "KEYS  MOTION DENIED");
    tilt.set_permission(MotionPermission::Allowed);
    EXPECT_EQ(tilt.status(), "KEYS  MOTION ALLOWED");
    tilt.motion(0, 0, g);
    EXPECT_EQ(tilt.status(), "MOTION ON");
    EXPECT_EQ(source(AccelMode::Keys).status(), "KEYS");
}
