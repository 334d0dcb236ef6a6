// SDL's events as the phone window's messages.
#include "input.h"

#include "zt/drivers/simulated_accelerometer.h"

#include <gtest/gtest.h>

#include <memory>

using zt::host::WindowMessage;

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

SDL_Event key(Uint32 type, SDL_Scancode code, SDL_Keycode sym = SDLK_UNKNOWN, Uint16 mod = KMOD_NONE) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    return e;
}

// Feeds events to the phone's input for a window of the given size.
struct Session {
    zt::host::Input input;
    int width = 480;
    int height = 720;
    std::vector<WindowMessage>& out = input.pending();
    bool feed(const SDL_Event& e) { return zt::desktop::translate(e, width, height, input); }
};

} // namespace

TEST(DesktopInput, ALeftClickIsAPressAndAReleaseAtThePixel) {
    Session s;
    EXPECT_TRUE(s.feed(mouse_button(SDL_MOUSEBUTTONDOWN, 400, 30)));
    EXPECT_TRUE(s.input.pressed());
    EXPECT_TRUE(s.feed(mouse_button(SDL_MOUSEBUTTONUP, 401, 31)));
    EXPECT_FALSE(s.input.pressed());
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
    EXPECT_FALSE(s.feed(key(SDL_KEYDOWN, SDL_SCANCODE_UP))); // nothing for the keys to tilt
    EXPECT_TRUE(s.out.empty());
}

TEST(DesktopInput, ControlQAndControlWCloseAndTheArrowsTiltTheFeed) {
    Session s;
    auto feed = std::make_shared<zt::drivers::SimulatedAccelerometer>();
    feed->set_reading(0, 0, 64);
    s.input.keys_tilt(feed);
    EXPECT_TRUE(s.feed(key(SDL_KEYDOWN, SDL_SCANCODE_UP)));
    EXPECT_GT(feed->reading().y, 30);
    SDL_Event repeat = key(SDL_KEYUP, SDL_SCANCODE_UP);
    repeat.key.repeat = 1;
    EXPECT_FALSE(s.feed(repeat));
    EXPECT_FALSE(s.feed(key(SDL_KEYDOWN, SDL_SCANCODE_Q, SDLK_q))); // a plain Q is nothing
    EXPECT_TRUE(s.feed(key(SDL_KEYDOWN, SDL_SCANCODE_Q, SDLK_q, KMOD_LCTRL)));
    EXPECT_TRUE(s.feed(key(SDL_KEYDOWN, SDL_SCANCODE_W, SDLK_w, KMOD_RCTRL)));
    EXPECT_EQ(s.out, (std::vector<WindowMessage>{{WM_CLOSE, 0, 0}, {WM_CLOSE, 0, 0}})) << describe(s.out);
}
