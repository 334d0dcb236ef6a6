// The tilt in the browser: motion samples and keys to the raw bytes the app
// reads, the sources each accel mode takes, and the rehearsal status line.
#include "rehearsal_status.h"
#include "tilt_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace zt::web;
using zt::drivers::RawReading;
using zt::host::TiltKey;

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

TEST(TiltSource, TheFirstTapWithTheScreenClearlyUpOrDownSettlesTheSign) {
    const double s = g * std::sin(0.7), c = g * std::cos(0.7);
    struct Case {
        const char* what;
        const char* flip;
        double sample[3]; // at the tap, and again after it
        AxesSign axes;
        RawReading reading;
    };
    const Case cases[] = {
        {"W3C's sign", "", {0, -s, c}, AxesSign::AsRead, zt::drivers::to_raw_reading(0, -s, c)},
        {"gravity's sign", "", {0, s, -c}, AxesSign::Flipped, zt::drivers::to_raw_reading(0, -s, c)},
        {"on its edge: undecided", "", {0, -g, 1}, AxesSign::Undecided, zt::drivers::to_raw_reading(0, -g, 1)},
        {"the address overrides", "z", {0, s, -c}, AxesSign::Address, zt::drivers::to_raw_reading(0, s, c)},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        TiltSource tilt = source(AccelMode::Auto, k.flip);
        tilt.motion(k.sample[0], k.sample[1], k.sample[2]);
        tilt.tap();
        EXPECT_EQ(tilt.axes(), k.axes);
        EXPECT_EQ(tilt.reading(), k.reading);
        tilt.motion(0, 0, 0);
        tilt.motion(k.sample[0], k.sample[1], k.sample[2]);
        EXPECT_EQ(tilt.reading(), k.reading);
    }
}

TEST(TiltSource, TheSignIsSettledOnceAndTheFlipTakesEffectAtTheTap) {
    TiltSource tilt = source(AccelMode::Motion);
    EXPECT_FALSE(tilt.tap()); // no sample yet
    EXPECT_EQ(tilt.axes(), AxesSign::Undecided);
    tilt.motion(0, 0, -g);
    EXPECT_EQ(tilt.reading(), (RawReading{0, 0, -64}));
    EXPECT_TRUE(tilt.tap());
    EXPECT_EQ(tilt.reading(), (RawReading{0, 0, 64}));
    // Face down later, read in the same convention: a tap there changes nothing.
    tilt.motion(0, 0, g);
    EXPECT_FALSE(tilt.tap());
    EXPECT_EQ(tilt.axes(), AxesSign::Flipped);
    EXPECT_EQ(tilt.reading(), (RawReading{0, 0, -64}));
    // The keys are never turned round.
    TiltSource keys = source(AccelMode::Keys);
    keys.key(TiltKey::Flip, true);
    EXPECT_FALSE(keys.tap());
    EXPECT_EQ(keys.axes(), AxesSign::Undecided);
}

TEST(TiltSource, PostureNamesTheEdgeThatIsDown) {
    const struct {
        double x, y, z;
        const char* words;
    } cases[] = {
        {0, 0, g, "FACE UP"},
        {0, 0, -g, "FACE DOWN"},
        {0, g / 8, g, "FACE UP"}, // a few degrees off flat
        {0, -g * 0.7, g * 0.7, "TOP EDGE DOWN"},
        {0, g * 0.7, g * 0.7, "BOTTOM EDGE DOWN"},
        {g * 0.7, 0, g * 0.7, "LEFT EDGE DOWN"},
        {-g * 0.7, g * 0.3, g * 0.7, "RIGHT EDGE DOWN"},
        {0, -g * 0.7, -g * 0.7, "TOP EDGE DOWN FACE DOWN"},
    };
    for (const auto& k : cases) {
        TiltSource tilt = source(AccelMode::Motion);
        tilt.motion(k.x, k.y, k.z);
        EXPECT_EQ(tilt.posture(), k.words) << k.x << ' ' << k.y << ' ' << k.z;
    }
}

TEST(RehearsalLines, SayTheSensorThePostureTheAxesAndTheBrowser) {
    TiltSource tilt = source(AccelMode::Auto);
    PageStatus page;
    using Lines = std::vector<std::string>;
    EXPECT_EQ(rehearsal_lines(tilt, page), (Lines{"KEYS  NO MOTION YET", "FACE UP", "IN BROWSER"}));
    tilt.motion(0, 0, -g);
    tilt.tap();
    page.wakeLock = WakeLockState::Refused;
    page.installed = true;
    EXPECT_EQ(rehearsal_lines(tilt, page),
              (Lines{"MOTION ON", "FACE UP  AXES FLIPPED", "SCREEN MAY SLEEP  INSTALLED"}));
    page.wakeLock = WakeLockState::Held;
    EXPECT_EQ(rehearsal_lines(tilt, page).back(), "SCREEN KEPT ON  INSTALLED");
    for (WakeLockState lost : {WakeLockState::Missing, WakeLockState::Released}) {
        page.wakeLock = lost;
        EXPECT_EQ(rehearsal_lines(tilt, page).back(), "SCREEN MAY SLEEP  INSTALLED");
    }
    // Without an accelerometer there is no posture to tell.
    EXPECT_EQ(rehearsal_lines(source(AccelMode::None), PageStatus{}), (Lines{"NO ACCELEROMETER", "IN BROWSER"}));
}
