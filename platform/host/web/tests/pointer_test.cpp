// Pointer events to the phone's messages: geometry, the first pointer only,
// and what a cancelled pointer leaves behind.
#include "pointer.h"

#include <gtest/gtest.h>

using namespace zt::web;

namespace {

// As browsers report them: a plain move changes no button, and the main
// button is held from a press until its lift.
PointerEvent event(PointerPhase phase, int id, double x, double y, int button = 0) {
    PointerEvent e;
    e.phase = phase;
    e.id = id;
    e.x = x;
    e.y = y;
    e.button = phase == PointerPhase::Move ? -1 : button;
    e.buttons = phase == PointerPhase::Down || phase == PointerPhase::Move ? 1 << button : 0;
    return e;
}

// Another mouse button going down or up while one is held: browsers report
// it as a move.
PointerEvent chord(int button, int buttons, double x, double y) {
    PointerEvent e = event(PointerPhase::Move, 1, x, y);
    e.button = button;
    e.buttons = buttons;
    return e;
}

WindowMessage msg(UINT message, WPARAM keys, int x, int y) {
    return WindowMessage{message, keys, MAKELPARAM(x, y)};
}

} // namespace

TEST(PointerInput, MapsThePageToPhonePixelsAsTheDesktopWindowDoes) {
    PointerInput input;
    std::vector<WindowMessage> out;
    // A 1000x900 page: the screen is 600x900 at x 200, 1.25 page pixels a phone pixel.
    ASSERT_TRUE(input.translate(event(PointerPhase::Down, 1, 200 + 500, 250), 1000, 900, out));
    ASSERT_TRUE(input.translate(event(PointerPhase::Move, 1, 201.2, 899.9), 1000, 900, out));
    ASSERT_TRUE(input.translate(event(PointerPhase::Up, 1, 100, -10), 1000, 900, out));
    EXPECT_EQ(out, (std::vector<WindowMessage>{msg(WM_LBUTTONDOWN, MK_LBUTTON, 400, 200),
                                               msg(WM_MOUSEMOVE, MK_LBUTTON, 0, 719), msg(WM_LBUTTONUP, 0, -80, -8)}));
}

TEST(PointerInput, OnlyTheFirstPointerCountsUntilItEnds) {
    PointerInput input;
    std::vector<WindowMessage> out;
    input.translate(event(PointerPhase::Down, 7, 10, 10), 480, 720, out);
    EXPECT_FALSE(input.translate(event(PointerPhase::Down, 8, 400, 400), 480, 720, out));
    EXPECT_FALSE(input.translate(event(PointerPhase::Move, 8, 401, 400), 480, 720, out));
    EXPECT_FALSE(input.translate(event(PointerPhase::Up, 8, 402, 400), 480, 720, out));
    EXPECT_FALSE(input.translate(event(PointerPhase::Cancel, 8, 402, 400), 480, 720, out));
    EXPECT_TRUE(input.translate(event(PointerPhase::Up, 7, 20, 30), 480, 720, out));
    EXPECT_FALSE(input.pressed());
    // Now another pointer may press.
    EXPECT_TRUE(input.translate(event(PointerPhase::Down, 8, 400, 400), 480, 720, out));
    EXPECT_EQ(out, (std::vector<WindowMessage>{msg(WM_LBUTTONDOWN, MK_LBUTTON, 10, 10), msg(WM_LBUTTONUP, 0, 20, 30),
                                               msg(WM_LBUTTONDOWN, MK_LBUTTON, 400, 400)}));
}

TEST(PointerInput, HoverAndOtherMouseButtonsAreNotTheFinger) {
    PointerInput input;
    std::vector<WindowMessage> out;
    EXPECT_FALSE(input.translate(event(PointerPhase::Move, 1, 10, 10), 480, 720, out));
    EXPECT_FALSE(input.translate(event(PointerPhase::Down, 1, 10, 10, 2), 480, 720, out));
    EXPECT_FALSE(input.translate(event(PointerPhase::Up, 1, 10, 10, 2), 480, 720, out));
    EXPECT_TRUE(out.empty());
    // A right click while the left button holds ends nothing.
    input.translate(event(PointerPhase::Down, 1, 10, 10), 480, 720, out);
    EXPECT_FALSE(input.translate(event(PointerPhase::Up, 1, 10, 10, 2), 480, 720, out));
    EXPECT_TRUE(input.pressed());
}

TEST(PointerInput, TheMainButtonCountsWhateverOtherButtonIsHeld) {
    PointerInput input;
    std::vector<WindowMessage> out;
    // Left down, right down, left up, right up.
    input.translate(event(PointerPhase::Down, 1, 10, 10), 480, 720, out);
    EXPECT_TRUE(input.translate(chord(2, 3, 11, 10), 480, 720, out)); // a move, as far as the finger goes
    EXPECT_TRUE(input.translate(chord(0, 2, 12, 10), 480, 720, out));
    EXPECT_FALSE(input.pressed());
    EXPECT_FALSE(input.translate(event(PointerPhase::Up, 1, 12, 10, 2), 480, 720, out));
    // Right down, left down, right up, left up.
    EXPECT_FALSE(input.translate(event(PointerPhase::Down, 1, 20, 20, 2), 480, 720, out));
    EXPECT_TRUE(input.translate(chord(0, 3, 21, 20), 480, 720, out));
    EXPECT_TRUE(input.translate(chord(2, 1, 22, 20), 480, 720, out));
    EXPECT_TRUE(input.translate(event(PointerPhase::Up, 1, 23, 20), 480, 720, out));
    EXPECT_EQ(
        out, (std::vector<WindowMessage>{msg(WM_LBUTTONDOWN, MK_LBUTTON, 10, 10), msg(WM_MOUSEMOVE, MK_LBUTTON, 11, 10),
                                         msg(WM_LBUTTONUP, 0, 12, 10), msg(WM_LBUTTONDOWN, MK_LBUTTON, 21, 20),
                                         msg(WM_MOUSEMOVE, MK_LBUTTON, 22, 20), msg(WM_LBUTTONUP, 0, 23, 20)}));
}

TEST(PointerInput, ACancelledPressEndsAsALiftWhereTheFingerWasLastSeen) {
    PointerInput input;
    std::vector<WindowMessage> out;
    input.translate(event(PointerPhase::Down, 3, 400, 200), 480, 720, out);
    input.translate(event(PointerPhase::Move, 3, 410, 220), 480, 720, out);
    // The browser's cancel carries no useful position.
    ASSERT_TRUE(input.translate(event(PointerPhase::Cancel, 3, 0, 0), 480, 720, out));
    EXPECT_FALSE(input.pressed());
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[2], msg(WM_LBUTTONUP, 0, 410, 220));
    // Nothing is left over: the next touch is a press of its own.
    EXPECT_TRUE(input.translate(event(PointerPhase::Down, 4, 100, 100), 480, 720, out));
}

TEST(PointerInput, ACancelWithoutAPressDoesNothing) {
    PointerInput input;
    std::vector<WindowMessage> out;
    EXPECT_FALSE(input.translate(event(PointerPhase::Cancel, 1, 5, 5), 480, 720, out));
    EXPECT_TRUE(out.empty());
}

TEST(PointerInput, AnEmptyPageStillGivesMessagesThatFit) {
    PointerInput input;
    std::vector<WindowMessage> out;
    ASSERT_TRUE(input.translate(event(PointerPhase::Down, 1, 1e9, -1e9), 0, 0, out));
    EXPECT_EQ(out[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
}
