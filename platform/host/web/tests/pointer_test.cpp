// The page's pointer events as the phone's finger sees them: the page's
// geometry, which buttons are the finger, and a chord of buttons, through
// the core's one finger (zt/host/input.h) as the page's driver hands them.
#include "pointer.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

using namespace zt::web;
using zt::host::WindowMessage;
using Phase = zt::host::Pointer::Phase;

namespace {

// As browsers report them: a plain move changes no button, and the main
// button is held from a press until its lift.
PointerEvent event(Phase phase, int id, double x, double y, int button = 0) {
    PointerEvent e;
    e.phase = phase;
    e.id = id;
    e.x = x;
    e.y = y;
    e.button = phase == Phase::Move ? -1 : button;
    e.buttons = phase == Phase::Down || phase == Phase::Move ? 1 << button : 0;
    return e;
}

// Another mouse button going down or up while one is held: browsers report
// it as a move.
PointerEvent chord(int button, int buttons, double x, double y) {
    PointerEvent e = event(Phase::Move, 1, x, y);
    e.button = button;
    e.buttons = buttons;
    return e;
}

WindowMessage msg(UINT message, WPARAM keys, int x, int y) {
    return WindowMessage{message, keys, MAKELPARAM(x, y)};
}

// What `events` on a page of `width` x `height` leave for the window, and
// whether the finger is still down.
using Played = std::pair<std::vector<WindowMessage>, bool>;
Played play(std::initializer_list<PointerEvent> events, int width = 480, int height = 720) {
    zt::host::Input input;
    for (const PointerEvent& e : events)
        if (const auto pointer = to_pointer(e, width, height))
            input.pointer(*pointer);
    return {input.pending(), input.pressed()};
}

} // namespace

TEST(PagePointer, MapsThePageToPhonePixelsAsTheDesktopWindowDoes) {
    // A 1000x900 page: the screen is 600x900 at x 200, 1.25 page pixels a
    // phone pixel.
    EXPECT_EQ(play({event(Phase::Down, 1, 200 + 500, 250), event(Phase::Move, 1, 201.2, 899.9),
                    event(Phase::Up, 1, 100, -10)},
                   1000, 900),
              (Played{{msg(WM_LBUTTONDOWN, MK_LBUTTON, 400, 200), msg(WM_MOUSEMOVE, MK_LBUTTON, 0, 719),
                       msg(WM_LBUTTONUP, 0, -80, -8)},
                      false}));
    // An empty page still gives a press.
    const Played empty = play({event(Phase::Down, 1, 1e9, -1e9)}, 0, 0);
    ASSERT_EQ(empty.first.size(), 1u);
    EXPECT_EQ(empty.first[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
}

TEST(PagePointer, ThePointersIdNamesTheFinger) {
    EXPECT_EQ(play({event(Phase::Down, 7, 10, 10), event(Phase::Down, 8, 400, 400), event(Phase::Move, 8, 401, 400),
                    event(Phase::Cancel, 8, 0, 0), event(Phase::Up, 7, 20, 30), event(Phase::Down, 8, 400, 400)}),
              (Played{{msg(WM_LBUTTONDOWN, MK_LBUTTON, 10, 10), msg(WM_LBUTTONUP, 0, 20, 30),
                       msg(WM_LBUTTONDOWN, MK_LBUTTON, 400, 400)},
                      true}));
    // The browser's cancel carries no useful position: the finger lifts
    // where it was last seen.
    EXPECT_EQ(play({event(Phase::Down, 3, 400, 200), event(Phase::Move, 3, 410, 220), event(Phase::Cancel, 3, 0, 0)}),
              (Played{{msg(WM_LBUTTONDOWN, MK_LBUTTON, 400, 200), msg(WM_MOUSEMOVE, MK_LBUTTON, 410, 220),
                       msg(WM_LBUTTONUP, 0, 410, 220)},
                      false}));
}

TEST(PagePointer, OnlyTheMainButtonIsTheFingerWhateverElseIsHeld) {
    // Hover and the other buttons alone are nothing.
    EXPECT_EQ(play({event(Phase::Move, 1, 10, 10), event(Phase::Down, 1, 10, 10, 2), event(Phase::Up, 1, 10, 10, 2)}),
              (Played{{}, false}));
    // A right click while the left button holds ends nothing.
    EXPECT_EQ(play({event(Phase::Down, 1, 10, 10), event(Phase::Down, 1, 11, 10, 2), event(Phase::Up, 1, 12, 10, 2)}),
              (Played{{msg(WM_LBUTTONDOWN, MK_LBUTTON, 10, 10)}, true}));
    // Left down, right down, left up, right up: the lift comes as a move.
    EXPECT_EQ(
        play({event(Phase::Down, 1, 10, 10), chord(2, 3, 11, 10), chord(0, 2, 12, 10), event(Phase::Up, 1, 13, 10, 2)}),
        (Played{{msg(WM_LBUTTONDOWN, MK_LBUTTON, 10, 10), msg(WM_MOUSEMOVE, MK_LBUTTON, 11, 10),
                 msg(WM_LBUTTONUP, 0, 12, 10)},
                false}));
    // Right down, left down, right up, left up: the press comes as a move.
    EXPECT_EQ(
        play({event(Phase::Down, 1, 20, 20, 2), chord(0, 3, 21, 20), chord(2, 1, 22, 20), event(Phase::Up, 1, 23, 20)}),
        (Played{{msg(WM_LBUTTONDOWN, MK_LBUTTON, 21, 20), msg(WM_MOUSEMOVE, MK_LBUTTON, 22, 20),
                 msg(WM_LBUTTONUP, 0, 23, 20)},
                false}));
}
