// The input every host hands the phone: one finger on the glass, whatever
// pointers the host has, and the tilt keys.
#include "zt/host/input.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using zt::host::Input;
using zt::host::OneFinger;
using zt::host::Pointer;
using zt::host::TiltKey;
using zt::host::WindowMessage;
using Phase = Pointer::Phase;

namespace {

constexpr std::int64_t kMouse = -1;
constexpr std::int64_t kTouch = 7;

// A pointer on a 480x720 output: phone pixels as they are.
Pointer at(Phase phase, std::int64_t device, std::int64_t id, double x, double y) {
    return Pointer{phase, device, id, x, y, SCREEN_WIDTH, SCREEN_HEIGHT};
}

WindowMessage down(int x, int y) {
    return {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)};
}
WindowMessage move(int x, int y) {
    return {WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y)};
}
WindowMessage up(int x, int y) {
    return {WM_LBUTTONUP, 0, MAKELPARAM(x, y)};
}

std::string describe(const std::vector<WindowMessage>& messages) {
    std::string out;
    for (const auto& m : messages)
        out += std::to_string(m.message) + "(" + std::to_string(GET_X_LPARAM(m.lParam)) + "," +
               std::to_string(GET_Y_LPARAM(m.lParam)) + ") ";
    return out;
}

struct FingerCase {
    const char* name;
    std::vector<Pointer> pointers;
    std::vector<bool> taken;
    std::vector<WindowMessage> messages;
    bool pressedAfter;
};

} // namespace

TEST(OneFinger, OnlyTheFirstPointerDownIsTheFingerUntilItEnds) {
    const FingerCase cases[] = {
        {"a press and a lift",
         {at(Phase::Down, kMouse, 0, 400, 30), at(Phase::Up, kMouse, 0, 401, 31)},
         {true, true},
         {down(400, 30), up(401, 31)},
         false},
        {"no hover: moves count only while down",
         {at(Phase::Move, kMouse, 0, 5, 5), at(Phase::Down, kMouse, 0, 10, 10), at(Phase::Move, kMouse, 0, 20, 25),
          at(Phase::Up, kMouse, 0, 20, 25), at(Phase::Move, kMouse, 0, 30, 30)},
         {false, true, true, true, false},
         {down(10, 10), move(20, 25), up(20, 25)},
         false},
        {"a second finger, its moves and lifts, and the mouse are nothing while the first is down",
         {at(Phase::Down, kTouch, 1, 10, 10), at(Phase::Down, kTouch, 2, 400, 400),
          at(Phase::Move, kTouch, 2, 401, 400), at(Phase::Up, kTouch, 2, 402, 400), at(Phase::Down, kMouse, 0, 5, 5),
          at(Phase::Up, kMouse, 0, 5, 5), at(Phase::Up, kTouch, 1, 240, 360)},
         {true, false, false, false, false, false, true},
         {down(10, 10), up(240, 360)},
         false},
        {"the same contact on another device is another pointer",
         {at(Phase::Down, kTouch, 1, 10, 10), at(Phase::Up, kTouch + 1, 1, 20, 20)},
         {true, false},
         {down(10, 10)},
         true},
        {"a cancel lifts where the finger was last seen",
         {at(Phase::Down, kTouch, 3, 10, 10), at(Phase::Move, kTouch, 3, 50, 60), at(Phase::Cancel, kTouch, 3, 0, 0),
          at(Phase::Cancel, kTouch, 3, 0, 0)},
         {true, true, true, false},
         {down(10, 10), move(50, 60), up(50, 60)},
         false},
        {"a lift dragged off the glass keeps its signed place",
         {at(Phase::Down, kMouse, 0, 200, 200), at(Phase::Up, kMouse, 0, -15, 800)},
         {true, true},
         {down(200, 200), up(-15, 800)},
         false},
    };
    for (const FingerCase& c : cases) {
        SCOPED_TRACE(c.name);
        OneFinger finger;
        std::vector<WindowMessage> out;
        std::vector<bool> taken;
        for (const Pointer& p : c.pointers)
            taken.push_back(finger.handle(p, out));
        EXPECT_EQ(taken, c.taken);
        EXPECT_EQ(out, c.messages) << describe(out);
        EXPECT_EQ(finger.pressed(), c.pressedAfter);
    }
}

TEST(OneFinger, MapsTheOutputToPhonePixelsThroughItsViewport) {
    OneFinger finger;
    std::vector<WindowMessage> out;
    // A 1000x900 output: the screen is 600x900 at x 200, 1.25 output pixels
    // a phone pixel.
    ASSERT_TRUE(finger.handle(Pointer{Phase::Down, 0, 0, 700, 250, 1000, 900}, out));
    ASSERT_TRUE(finger.handle(Pointer{Phase::Up, 0, 0, 201.2, 899.9, 1000, 900}, out));
    EXPECT_EQ(out, (std::vector<WindowMessage>{down(400, 200), up(0, 719)})) << describe(out);
}

TEST(Input, TheKeysTiltOnlyTheFeedTheyAreGivenAndLetGoWhenFocusGoes) {
    Input input;
    EXPECT_FALSE(input.key(TiltKey::Up, true)); // nothing to tilt yet
    auto feed = std::make_shared<zt::drivers::SimulatedAccelerometer>();
    feed->set_reading(0, 0, 64);
    input.keys_tilt(feed);
    EXPECT_TRUE(input.key(TiltKey::Up, true));
    EXPECT_EQ(feed->reading(), (zt::drivers::RawReading{0, 45, 45})); // 45 degrees: 64 * sin 45
    EXPECT_FALSE(input.key(TiltKey::Up, true));                       // already held
    input.focus(false);
    EXPECT_EQ(feed->reading(), (zt::drivers::RawReading{0, 0, 64}));
    EXPECT_TRUE(input.key(TiltKey::Flip, true));
    input.focus(true);
    EXPECT_EQ(feed->reading(), (zt::drivers::RawReading{0, 0, -64})) << "face down stays";
    input.keys_tilt(nullptr); // another source took over
    EXPECT_FALSE(input.key(TiltKey::Left, true));
    EXPECT_EQ(feed->reading(), (zt::drivers::RawReading{0, 0, -64}));
    input.close();
    EXPECT_EQ(input.pending(), (std::vector<WindowMessage>{
                                   {WM_ACTIVATE, WA_INACTIVE, 0}, {WM_ACTIVATE, WA_ACTIVE, 0}, {WM_CLOSE, 0, 0}}));
}
