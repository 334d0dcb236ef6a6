#include "input.h"

#include <cstdint>
#include <optional>

namespace zt::desktop {

namespace {

// The mouse's pointer, apart from every touch device's.
constexpr std::int64_t kMouse = INT64_MIN;

host::Pointer pointer(host::Pointer::Phase phase, std::int64_t device, std::int64_t id, double x, double y, int width,
                      int height) {
    return host::Pointer{phase, device, id, x, y, width, height};
}

std::optional<host::Pointer> mouse(const SDL_Event& event, int width, int height) {
    if (event.type == SDL_MOUSEMOTION) {
        if (event.motion.which == SDL_TOUCH_MOUSEID)
            return std::nullopt;
        return pointer(host::Pointer::Phase::Move, kMouse, 0, event.motion.x, event.motion.y, width, height);
    }
    // Touches come on their own; SDL's mouse copies of them are dropped.
    if (event.button.which == SDL_TOUCH_MOUSEID || event.button.button != SDL_BUTTON_LEFT)
        return std::nullopt;
    return pointer(event.type == SDL_MOUSEBUTTONDOWN ? host::Pointer::Phase::Down : host::Pointer::Phase::Up, kMouse, 0,
                   event.button.x, event.button.y, width, height);
}

host::Pointer finger(const SDL_TouchFingerEvent& f, Uint32 type, int width, int height) {
    const auto phase = type == SDL_FINGERDOWN ? host::Pointer::Phase::Down
                       : type == SDL_FINGERUP ? host::Pointer::Phase::Up
                                              : host::Pointer::Phase::Move;
    // Finger positions are fractions of the window.
    return pointer(phase, f.touchId, f.fingerId, static_cast<double>(f.x) * width, static_cast<double>(f.y) * height,
                   width, height);
}

std::optional<host::TiltKey> tilt_key(SDL_Scancode code) {
    switch (code) {
    case SDL_SCANCODE_UP:
        return host::TiltKey::Up;
    case SDL_SCANCODE_DOWN:
        return host::TiltKey::Down;
    case SDL_SCANCODE_LEFT:
        return host::TiltKey::Left;
    case SDL_SCANCODE_RIGHT:
        return host::TiltKey::Right;
    case SDL_SCANCODE_F:
        return host::TiltKey::Flip;
    default:
        return std::nullopt;
    }
}

bool key(const SDL_KeyboardEvent& key, bool down, host::Input& input) {
    if (key.repeat != 0)
        return false;
    if (down && (key.keysym.mod & KMOD_CTRL) != 0 && (key.keysym.sym == SDLK_q || key.keysym.sym == SDLK_w)) {
        input.close();
        return true;
    }
    const auto tilt = tilt_key(key.keysym.scancode);
    return tilt && input.key(*tilt, down);
}

} // namespace

bool translate(const SDL_Event& event, int width, int height, host::Input& input) {
    switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEMOTION: {
        const auto p = mouse(event, width, height);
        return p && input.pointer(*p);
    }
    case SDL_FINGERDOWN:
    case SDL_FINGERUP:
    case SDL_FINGERMOTION:
        return input.pointer(finger(event.tfinger, event.type, width, height));
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        return key(event.key, event.type == SDL_KEYDOWN, input);
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_FOCUS_LOST:
            input.focus(event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED);
            return true;
        case SDL_WINDOWEVENT_CLOSE:
            input.close();
            return true;
        default:
            return false;
        }
    case SDL_QUIT:
        // The last window closing, or SIGINT/SIGTERM: leave through the
        // window's own close so that exit runs as it does on the phone.
        input.close();
        return true;
    default:
        return false;
    }
}

} // namespace zt::desktop
