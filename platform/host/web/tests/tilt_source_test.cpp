// The tilt in the browser: motion samples to the raw bytes the app reads,
// the sources each accel mode takes, how the readings' sign is
// judged, and the rehearsal status lines.
#include "rehearsal_status.h"
#include "tilt_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

using namespace zt::web;
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

// The sign settled the W3C way, as a tap on a phone held flat does.
TiltSource settled(AccelMode mode) {
    TiltSource tilt = source(mode);
    for (std::uint64_t t = 0; t < 50; t += 16)
        tilt.motion(0, 0, g, t);
    tilt.tap(50);
    // The next sample says those before the tap are all in.
    tilt.motion(0, 0, g, 64);
    EXPECT_EQ(tilt.axes(), AxesSign::AsRead);
    return tilt;
}

} // namespace

TEST(TiltSource, StartsLyingFlatFaceUp) {
    EXPECT_EQ(source(AccelMode::Auto).reading(), (RawReading{0, 0, 64}));
}

TEST(TiltSource, MotionSamplesConvertLikeEveryOtherSource) {
    TiltSource tilt = settled(AccelMode::Motion);
    // Lying flat face up, as W3C defines accelerationIncludingGravity.
    EXPECT_FALSE(tilt.motion(0, 0, g, 100)); // no change from the start
    // Bottom edge up: the "up" direction points to the bottom of the screen.
    EXPECT_TRUE(tilt.motion(0, -g * std::sin(0.7), g * std::cos(0.7), 116));
    EXPECT_EQ(tilt.reading(), zt::drivers::to_raw_reading(0, -g * std::sin(0.7), g * std::cos(0.7)));
    EXPECT_LT(tilt.reading().y, -30);
    // Far past 2 g is held at the byte's edge.
    tilt.motion(100, -100, 0, 132);
    EXPECT_EQ(tilt.reading(), (RawReading{127, -128, 0}));
}

TEST(TiltSource, FlipNegatesTheNamedAxes) {
    TiltSource tilt = source(AccelMode::Motion, "xz");
    tilt.motion(g / 2, g / 4, g, 0);
    EXPECT_EQ(tilt.reading(), (RawReading{-32, 16, -64}));
}

TEST(TiltSource, SamplesWithoutNumbersAreNoSensor) {
    TiltSource tilt = source(AccelMode::Auto);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(tilt.motion(nan, 1, 1, 0));
    EXPECT_FALSE(tilt.motion(1, std::numeric_limits<double>::infinity(), 1, 0));
    EXPECT_FALSE(tilt.motion_seen());
    // So the keys still tilt.
    EXPECT_TRUE(tilt.keys_tilt());
}

TEST(TiltSource, EachModeTakesItsSources) {
    // Auto: the keys until the sensor speaks, then the sensor alone, or
    // the two would fight.
    TiltSource tilt = source(AccelMode::Auto);
    EXPECT_TRUE(tilt.keys_tilt());
    // Its sign not yet known: the phone lies flat.
    EXPECT_FALSE(tilt.motion(0, 0, -g, 0));
    EXPECT_TRUE(tilt.motion_seen());
    EXPECT_FALSE(tilt.keys_tilt());
    EXPECT_EQ(tilt.reading(), (RawReading{0, 0, 64}));

    TiltSource keys = source(AccelMode::Keys);
    EXPECT_FALSE(keys.motion(g, 0, 0, 0));
    EXPECT_FALSE(keys.motion_seen());
    EXPECT_TRUE(keys.keys_tilt());

    TiltSource motion = source(AccelMode::Motion);
    EXPECT_FALSE(motion.keys_tilt());
    EXPECT_TRUE(motion.has_device());
}

TEST(TiltSource, NoneHasNoDevice) {
    TiltSource tilt = source(AccelMode::None);
    EXPECT_FALSE(tilt.has_device());
    EXPECT_FALSE(tilt.keys_tilt());
    EXPECT_FALSE(tilt.motion(0, 0, g, 0));
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
    tilt.motion(0, 0, g, 0);
    EXPECT_EQ(tilt.status(), "MOTION ON");
    EXPECT_EQ(source(AccelMode::Keys).status(), "KEYS");
}

namespace {

// The phone's true "up" in its own axes (W3C), in g.
struct Up {
    double x, y, z;
};
const double k45 = std::sqrt(0.5);
const Up kFlat{0, 0, 1};
const Up kFaceDown{0, 0, -1};
const Up kBottomUp{0, -k45, k45};
const Up kRightUp{k45, 0, k45};
// The arming tap with the phone held steeply towards the performer.
const Up kSteep{0, std::sin(75 * std::numbers::pi / 180), std::cos(75 * std::numbers::pi / 180)};
// On its side: nothing says which way the screen faces.
const Up kOnItsSide{-1, 0, 0};
// Held up facing the performer, nearly upright.
const Up kUpright{0, std::sin(85 * std::numbers::pi / 180), std::cos(85 * std::numbers::pi / 180)};
// A spectator's hold: screen down, the top edge 30 degrees up. Negated it
// is a face-up phone with the top edge 30 degrees down.
const Up kSpectator{0, 0.5, -std::sqrt(0.75)};

// What the page sees, at `at` ms, of a phone whose true "up" is `up`
// (an orientation reading whose beta is in another frame: `otherBeta`).
struct Event {
    enum Kind { Sample, Orientation, Touch } kind;
    std::uint64_t at;
    Up up;
    bool otherBeta = false;
    // When the page hands it over (0: at once, in the order of `at`).
    std::uint64_t taken = 0;
};

enum class Orient { None, W3C, OtherBeta };

struct Script {
    std::vector<Event> events;
    // A loaded page: every event is handed over at the next turn, this
    // many ms apart, the touches first (the page's queue), then the
    // sensors' in the order they came.
    std::uint64_t turns = 0;
    // A sensor streaming at 60 Hz from `from` until before `to`, with
    // deviceorientation beside it when asked.
    Script& stream(Up up, std::uint64_t from, std::uint64_t to, Orient orient = Orient::None) {
        for (std::uint64_t t = from; t < to; t += 16) {
            if (orient != Orient::None)
                events.push_back({Event::Orientation, t, up, orient == Orient::OtherBeta});
            events.push_back({Event::Sample, t, up});
        }
        return *this;
    }
    Script& orient(Up up, std::uint64_t at) {
        events.push_back({Event::Orientation, at, up});
        return *this;
    }
    Script& touch(std::uint64_t at) {
        events.push_back({Event::Touch, at, {}});
        return *this;
    }
    // Every event from `from` until before `to` handed over at `taken`.
    Script& held(std::uint64_t from, std::uint64_t to, std::uint64_t taken) {
        for (Event& e : events)
            if (e.at >= from && e.at < to)
                e.taken = taken;
        return *this;
    }
    Script& loaded(std::uint64_t turn) {
        turns = turn;
        return *this;
    }
    std::vector<Event> in_order() const {
        std::vector<Event> sorted = events;
        const auto taken = [this](const Event& e) {
            const std::uint64_t t = std::max(e.at, e.taken);
            return turns == 0 ? t : (t / turns + 1) * turns;
        };
        std::stable_sort(sorted.begin(), sorted.end(), [&](const Event& a, const Event& b) {
            if (taken(a) != taken(b))
                return taken(a) < taken(b);
            if ((a.kind == Event::Touch) != (b.kind == Event::Touch))
                return a.kind == Event::Touch;
            return a.at < b.at;
        });
        return sorted;
    }
};

// deviceorientation's beta and gamma (degrees) for "up" (z not 0).
double beta_of(Up u) {
    return std::atan2(u.y, u.z / std::cos(std::atan(-u.x / u.z))) * 180 / std::numbers::pi;
}
double gamma_of(Up u) {
    return std::atan(-u.x / u.z) * 180 / std::numbers::pi;
}

RawReading true_reading(Up u) {
    return zt::drivers::to_raw_reading(u.x * g, u.y * g, u.z * g);
}

} // namespace

// Each row is played by a browser of either sign: the samples are the true
// "up" as W3C defines it, or negated (gravity, as iPhones give it);
// orientation is the same in both.
TEST(AxesSign, IsJudgedFromOrientationAndTheTouchesWithEitherSign) {
    enum class Expect { Decided, Undecided };
    struct Row {
        const char* what;
        Script script;
        Expect expect;
        const char* why; // after "SIGN W3C" / "SIGN FLIPPED"
        // No reading of the wrong sign ever reaches the app.
        bool neverWrong;
    };
    const Row rows[] = {
        {"motion from the start, a flat arming tap, then the tilt",
         Script().stream(kFlat, 0, 300).touch(200).stream(kBottomUp, 300, 600), Expect::Decided, " BY 1 OF 1 TOUCHES",
         true},
        {"motion from the start, tilted already at the arming tap", Script().stream(kBottomUp, 0, 600).touch(300),
         Expect::Decided, " BY 1 OF 1 TOUCHES", true},
        {"motion only after the arming tap that granted it",
         Script().touch(100).stream(kFlat, 180, 300).stream(kBottomUp, 300, 600), Expect::Decided, " BY 1 OF 1 TOUCHES",
         true},
        {"motion only after the arming tap, already tilted", Script().touch(100).stream(kRightUp, 150, 600),
         Expect::Decided, " BY 1 OF 1 TOUCHES", true},
        {"motion 3 s after the tap that asked (the permission dialog)", Script().touch(100).stream(kFlat, 3100, 3400),
         Expect::Decided, " BY 1 OF 1 TOUCHES", true},
        {"an arming tap 75 degrees from flat", Script().stream(kSteep, 0, 600).touch(200).stream(kRightUp, 600, 800),
         Expect::Decided, " BY 1 OF 1 TOUCHES", true},
        {"a face-down tap before the trick, then the arming tap",
         Script().stream(kFaceDown, 0, 300).touch(150).stream(kFlat, 300, 700).touch(500).stream(kBottomUp, 700, 900),
         Expect::Decided, " BY 1 OF 2 TOUCHES", false},
        {"the first tap face down granted motion, then the arming tap",
         Script().touch(100).stream(kFaceDown, 200, 500).stream(kFlat, 500, 900).touch(700), Expect::Decided,
         " BY 1 OF 2 TOUCHES", false},
        {"turned face up just before the arming tap",
         Script().stream(kFaceDown, 0, 200).stream(kFlat, 200, 700).touch(240), Expect::Decided, " BY 1 OF 1 TOUCHES",
         false},
        {"a face-down tap after two face-up ones",
         Script().stream(kFlat, 0, 1000).touch(150).touch(500).stream(kFaceDown, 1000, 1300).touch(1150),
         Expect::Decided, " BY 2 OF 3 TOUCHES", false},
        // The permission dialog answered slowly: the first samples still
        // describe the phone as held for the answering tap.
        {"motion 20 s after the tap that asked", Script().touch(100).stream(kFlat, 20100, 20400), Expect::Decided,
         " BY 1 OF 1 TOUCHES", true},
        // A loaded engine hands events over late, bunched into turns, the
        // touches before the samples that came before them.
        {"turned face up just before the arming tap, in turns 100 ms apart",
         Script().stream(kFaceDown, 0, 200).stream(kFlat, 200, 700).touch(240).loaded(100), Expect::Decided,
         " BY 1 OF 1 TOUCHES", false},
        {"picked up face down at the start, the first 300 ms handed over after the arming tap",
         Script().stream(kFaceDown, 0, 100).stream(kFlat, 100, 700).touch(260).held(0, 300, 300), Expect::Decided,
         " BY 1 OF 1 TOUCHES", false},
        {"an arming tap 75 degrees from flat, in turns 250 ms apart",
         Script().stream(kSteep, 0, 600).touch(200).stream(kRightUp, 600, 800).loaded(250), Expect::Decided,
         " BY 1 OF 1 TOUCHES", true},
        {"the arming tap handed over 400 ms late, after the tilt",
         Script().stream(kFlat, 0, 300).touch(200).stream(kBottomUp, 300, 700).held(200, 201, 600), Expect::Decided,
         " BY 1 OF 1 TOUCHES", true},
        {"a face-down tap before the trick, every event in turns 200 ms apart",
         Script()
             .stream(kFaceDown, 0, 300)
             .touch(150)
             .stream(kFlat, 300, 700)
             .touch(500)
             .stream(kBottomUp, 700, 900)
             .loaded(200),
         Expect::Decided, " BY 1 OF 2 TOUCHES", false},
        // A spectator's taps, screen down: a face-up phone with its top
        // edge down votes only while no tap held as a performer holds it has.
        {"a spectator's two face-down taps, then a flat arming tap",
         Script()
             .stream(kSpectator, 0, 700)
             .touch(200)
             .touch(450)
             .stream(kFlat, 700, 1100)
             .touch(900)
             .stream(kRightUp, 1100, 1300),
         Expect::Decided, " BY 1 OF 1 TOUCHES", false},
        {"a spectator's two face-down taps, then an arming tap 75 degrees from flat",
         Script()
             .stream(kSpectator, 0, 700)
             .touch(200)
             .touch(450)
             .stream(kSteep, 700, 1100)
             .touch(900)
             .stream(kRightUp, 1100, 1300),
         Expect::Decided, " BY 1 OF 1 TOUCHES", false},
        {"an arming tap after a spectator's, then a spectator's again",
         Script()
             .stream(kSpectator, 0, 300)
             .touch(150)
             .stream(kFlat, 300, 700)
             .touch(500)
             .stream(kSpectator, 700, 1000)
             .touch(850)
             .stream(kRightUp, 1000, 1200),
         Expect::Decided, " BY 1 OF 1 TOUCHES", false},
        {"orientation from the start, no touch", Script().stream(kBottomUp, 0, 200, Orient::W3C), Expect::Decided,
         " BY ORIENTATION", true},
        {"orientation outranks face-down touches",
         Script().stream(kFaceDown, 0, 600, Orient::W3C).touch(200).touch(400), Expect::Decided, " BY ORIENTATION",
         true},
        {"orientation revises a face-down tap",
         Script().stream(kFaceDown, 0, 300).touch(150).stream(kFlat, 300, 500, Orient::W3C), Expect::Decided,
         " BY ORIENTATION", false},
        // A browser whose beta is in another frame: its "up" agrees with
        // the samples lying flat and points against them held upright.
        {"orientation in another frame, upright for 5 s, then a flat arming tap",
         Script()
             .stream(kUpright, 0, 5000, Orient::OtherBeta)
             .stream(kFlat, 5000, 5400, Orient::OtherBeta)
             .touch(5300)
             .stream(kRightUp, 5400, 5600, Orient::OtherBeta),
         Expect::Decided, " BY 1 OF 1 TOUCHES", false},
        {"orientation in another frame, upright throughout, three taps",
         Script().stream(kUpright, 0, 5000, Orient::OtherBeta).touch(1000).touch(2000).touch(3000), Expect::Decided,
         " BY 3 OF 3 TOUCHES", false},
        {"no touch and no orientation", Script().stream(kBottomUp, 0, 600), Expect::Undecided, "", true},
        {"one sample at the touch", Script().stream(kFlat, 0, 16).touch(50).stream(kBottomUp, 600, 800),
         Expect::Undecided, "", true},
        {"on its side at the touch", Script().stream(kOnItsSide, 0, 400).touch(200), Expect::Undecided, "", true},
        {"orientation long before the samples", Script().orient(kFlat, 0).orient(kFlat, 10).stream(kFlat, 300, 600),
         Expect::Undecided, "", true},
    };
    for (const Row& row : rows) {
        for (const int sign : {1, -1}) {
            SCOPED_TRACE(std::string(row.what) + (sign > 0 ? ", W3C's sign" : ", gravity's sign"));
            TiltSource tilt = source(AccelMode::Auto);
            Up now = kFlat;
            for (const Event& e : row.script.in_order()) {
                switch (e.kind) {
                case Event::Sample:
                    now = e.up;
                    tilt.motion(sign * e.up.x * g, sign * e.up.y * g, sign * e.up.z * g, e.at);
                    break;
                case Event::Orientation:
                    tilt.orientation(e.otherBeta ? -beta_of(e.up) : beta_of(e.up), gamma_of(e.up), e.at);
                    break;
                case Event::Touch:
                    tilt.tap(e.at);
                    break;
                }
                if (row.neverWrong && tilt.reading() != RawReading{0, 0, 64} && tilt.reading() != true_reading(now)) {
                    ADD_FAILURE() << "a reading of the wrong sign at " << e.at << " ms";
                    break;
                }
            }
            if (row.expect == Expect::Undecided) {
                EXPECT_EQ(tilt.axes(), AxesSign::Undecided);
                EXPECT_EQ(tilt.sign_words(), "SIGN NOT YET KNOWN");
                EXPECT_EQ(tilt.reading(), (RawReading{0, 0, 64}));
                continue;
            }
            EXPECT_EQ(tilt.axes(), sign > 0 ? AxesSign::AsRead : AxesSign::Flipped);
            EXPECT_EQ(tilt.sign_words(), std::string(sign > 0 ? "SIGN W3C" : "SIGN FLIPPED") + row.why);
            EXPECT_EQ(tilt.reading(), true_reading(now));
        }
    }
}

TEST(AxesSign, TheAddressOverridesAndTheKeysAreNotJudged) {
    TiltSource flipped = source(AccelMode::Auto, "z");
    for (std::uint64_t t = 0; t < 100; t += 16)
        flipped.motion(0, 0, g, t); // face up in W3C's sign
    flipped.tap(50);
    flipped.orientation(0, 0, 100);
    flipped.motion(0, g / 2, g, 110);
    EXPECT_EQ(flipped.axes(), AxesSign::Address);
    EXPECT_EQ(flipped.sign_words(), "SIGN SET BY ADDRESS");
    EXPECT_EQ(flipped.reading(), (RawReading{0, 32, -64}));

    TiltSource keys = source(AccelMode::Keys);
    EXPECT_FALSE(keys.tap(0));
    EXPECT_EQ(keys.sign_words(), "");
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
    for (const auto& k : cases)
        EXPECT_EQ(posture(zt::drivers::to_raw_reading(k.x, k.y, k.z)), k.words) << k.x << ' ' << k.y << ' ' << k.z;
}

TEST(RehearsalLines, SayTheSensorThePostureTheBrowserAndTheSign) {
    TiltSource tilt = source(AccelMode::Auto);
    PageStatus page;
    using Lines = std::vector<std::string>;
    const RawReading flat{0, 0, 64};
    EXPECT_EQ(rehearsal_lines(tilt, flat, page),
              (Lines{"KEYS  NO MOTION YET", "FACE UP", "IN BROWSER", "SIGN NOT YET KNOWN"}));
    // The posture is the reading's, whichever source gave it (the keys).
    EXPECT_EQ(rehearsal_lines(tilt, RawReading{0, -45, 45}, page)[1], "TOP EDGE DOWN");
    for (std::uint64_t t = 0; t < 70; t += 16)
        tilt.motion(0, 0, -g, t);
    tilt.tap(50);
    page.wakeLock = WakeLockState::Refused;
    page.installed = true;
    EXPECT_EQ(rehearsal_lines(tilt, tilt.reading(), page),
              (Lines{"MOTION ON", "FACE UP", "SCREEN MAY SLEEP  INSTALLED", "SIGN FLIPPED BY 1 OF 1 TOUCHES"}));
    page.wakeLock = WakeLockState::Held;
    EXPECT_EQ(rehearsal_lines(tilt, flat, page)[2], "SCREEN KEPT ON  INSTALLED");
    for (WakeLockState lost : {WakeLockState::Missing, WakeLockState::Released}) {
        page.wakeLock = lost;
        EXPECT_EQ(rehearsal_lines(tilt, flat, page)[2], "SCREEN MAY SLEEP  INSTALLED");
    }
    // Without an accelerometer there is no posture to tell; with only the
    // keys no sign to judge; the address's flip says so.
    EXPECT_EQ(rehearsal_lines(source(AccelMode::None), std::nullopt, PageStatus{}),
              (Lines{"NO ACCELEROMETER", "IN BROWSER"}));
    EXPECT_EQ(rehearsal_lines(source(AccelMode::Keys), flat, PageStatus{}), (Lines{"KEYS", "FACE UP", "IN BROWSER"}));
    EXPECT_EQ(rehearsal_lines(source(AccelMode::Motion, "xy"), flat, PageStatus{}).back(), "SIGN SET BY ADDRESS");
}
