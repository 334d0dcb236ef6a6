// SDL's events as the phone window's messages.
#include "input.h"

#include <gtest/gtest.h>

using zt::desktop::InputTranslator;
using zt::desktop::WindowMessage;

namespace {

SDL_Event mouse_button(Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT, Uint32 which = 0) {
    SDL_Event e{};
    e.type = type;
    e.button.button = button;
    e.button.which = which;
    e.button.x = x;
    e.button.y = y;
    return e;
}

SDL_Event mouse_motion(int x, int y, Uint32 which = 0) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.which = which;
    e.motion.x = x;
    e.motion.y = y;
    return e;
}

SDL_Event finger(Uint32 type, float x, float y, SDL_FingerID id = 1) {
    SDL_Event e{};
    e.type = type;
    e.tfinger.touchId = 7;
    e.tfinger.fingerId = id;
    e.tfinger.x = x;
    e.tfinger.y = y;
    return e;
}

SDL_Event window_event(Uint8 what) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = what;
    return e;
}

std::string describe(const std::vector<WindowMessage>& messages) {
    std::string out;
    for (const auto& m : messages)
        out += std::to_string(m.message) + "(" + std::to_string(m.wParam) + "," +
               std::to_string(GET_X_LPARAM(m.lParam)) + "," + std::to_string(GET_Y_LPARAM(m.lParam)) + ") ";
    return out;
}

// Feeds events to one translator for a window of the given size.
struct Session {
    InputTranslator translator;
    int width = 480;
    int height = 720;
    std::vector<WindowMessage> out;
    bool feed(const SDL_Event& e) { return translator.translate(e, width, height, out); }
};

} // namespace

TEST(DesktopInput, ALeftClickIsAPressAndAReleaseAtThePixel) {
    Session s;
    EXPECT_TRUE(s.feed(mouse_button(SDL_MOUSEBUTTONDOWN, 400, 30)));
    EXPECT_TRUE(s.translator.pressed());
    EXPECT_TRUE(s.feed(mouse_button(SDL_MOUSEBUTTONUP, 401, 31)));
    EXPECT_FALSE(s.translator.pressed());
    const std::vector<WindowMessage> expected{{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 30)},
                                              {WM_LBUTTONUP, 0, MAKELPARAM(401, 31)}};
    EXPECT_EQ(s.out, expected) << describe(s.out);
}

TEST(DesktopInput, AtScaleTwoTheWindowPointIsHalved) {
    Session s;
    s.width = 960;
    s.height = 1440;
    s.feed(mouse_button(SDL_MOUSEBUTTONDOWN, 643, 201));
    ASSERT_EQ(s.out.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(s.out[0].lParam), 321);
    EXPECT_EQ(GET_Y_LPARAM(s.out[0].lParam), 100);
}

TEST(DesktopInput, MovesCountOnlyWhileTheButtonIsDown) {
    Session s;
    EXPECT_FALSE(s.feed(mouse_motion(10, 10)));
    s.feed(mouse_button(SDL_MOUSEBUTTONDOWN, 10, 10));
    EXPECT_TRUE(s.feed(mouse_motion(20, 25)));
    s.feed(mouse_button(SDL_MOUSEBUTTONUP, 20, 25));
    EXPECT_FALSE(s.feed(mouse_motion(30, 30)));
    ASSERT_EQ(s.out.size(), 3u) << describe(s.out);
    EXPECT_EQ(s.out[1], (WindowMessage{WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 25)}));
}

TEST(DesktopInput, AReleaseDraggedOffTheWindowKeepsItsSignedPosition) {
    Session s;
    s.feed(mouse_button(SDL_MOUSEBUTTONDOWN, 200, 200));
    s.feed(mouse_button(SDL_MOUSEBUTTONUP, -15, 800));
    ASSERT_EQ(s.out.size(), 2u);
    EXPECT_EQ(GET_X_LPARAM(s.out[1].lParam), -15);
    EXPECT_EQ(GET_Y_LPARAM(s.out[1].lParam), 800);
}

TEST(DesktopInput, OtherButtonsAndTouchCopiesOfTheMouseAreIgnored) {
    Session s;
    EXPECT_FALSE(s.feed(mouse_button(SDL_MOUSEBUTTONDOWN, 10, 10, SDL_BUTTON_RIGHT)));
    EXPECT_FALSE(s.feed(mouse_button(SDL_MOUSEBUTTONDOWN, 10, 10, SDL_BUTTON_LEFT, SDL_TOUCH_MOUSEID)));
    EXPECT_FALSE(s.feed(mouse_button(SDL_MOUSEBUTTONUP, 10, 10)));
    EXPECT_TRUE(s.out.empty()) << describe(s.out);
}

TEST(DesktopInput, AFingerIsTheMouseInFractionsOfTheWindow) {
    Session s;
    s.width = 960;
    s.height = 1440;
    s.feed(finger(SDL_FINGERDOWN, 0.5f, 0.25f));
    s.feed(finger(SDL_FINGERMOTION, 0.75f, 0.25f));
    s.feed(finger(SDL_FINGERUP, 0.875f, 0.5f));
    const std::vector<WindowMessage> expected{{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(240, 180)},
                                              {WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(360, 180)},
                                              {WM_LBUTTONUP, 0, MAKELPARAM(420, 360)}};
    EXPECT_EQ(s.out, expected) << describe(s.out);
}

TEST(DesktopInput, OnlyTheFirstFingerDownTouchesTheScreen) {
    Session s;
    s.feed(finger(SDL_FINGERDOWN, 0.1f, 0.1f, 1));
    EXPECT_FALSE(s.feed(finger(SDL_FINGERDOWN, 0.9f, 0.9f, 2)));
    EXPECT_FALSE(s.feed(finger(SDL_FINGERMOTION, 0.8f, 0.8f, 2)));
    EXPECT_FALSE(s.feed(finger(SDL_FINGERUP, 0.8f, 0.8f, 2)));
    EXPECT_FALSE(s.feed(mouse_button(SDL_MOUSEBUTTONDOWN, 5, 5)));
    EXPECT_TRUE(s.feed(finger(SDL_FINGERUP, 0.5f, 0.5f, 1)));
    ASSERT_EQ(s.out.size(), 2u) << describe(s.out);
    EXPECT_EQ(s.out[1], (WindowMessage{WM_LBUTTONUP, 0, MAKELPARAM(240, 360)}));
    // Free again for the next touch.
    EXPECT_TRUE(s.feed(finger(SDL_FINGERDOWN, 0.5f, 0.5f, 2)));
}

TEST(DesktopInput, FocusIsActivationAndClosingIsWmClose) {
    Session s;
    s.feed(window_event(SDL_WINDOWEVENT_FOCUS_GAINED));
    s.feed(window_event(SDL_WINDOWEVENT_FOCUS_LOST));
    s.feed(window_event(SDL_WINDOWEVENT_CLOSE));
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    s.feed(quit);
    EXPECT_FALSE(s.feed(window_event(SDL_WINDOWEVENT_MOVED)));
    const std::vector<WindowMessage> expected{
        {WM_ACTIVATE, WA_ACTIVE, 0}, {WM_ACTIVATE, WA_INACTIVE, 0}, {WM_CLOSE, 0, 0}, {WM_CLOSE, 0, 0}};
    EXPECT_EQ(s.out, expected) << describe(s.out);
}

TEST(DesktopInput, KeysAreNotTheWindowsBusiness) {
    Session s;
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.scancode = SDL_SCANCODE_UP;
    EXPECT_FALSE(s.feed(key));
    EXPECT_TRUE(s.out.empty());
}
