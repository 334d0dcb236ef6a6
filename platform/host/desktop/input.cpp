#include "input.h"

namespace zt::desktop {

using host::Point;
using host::to_screen_pixel;

namespace {

WindowMessage pointer_message(UINT message, WPARAM keys, Point where) {
    return WindowMessage{message, keys, MAKELPARAM(where.x, where.y)};
}

} // namespace

bool InputTranslator::translate_mouse(const SDL_Event& event, int windowWidth, int windowHeight,
                                      std::vector<WindowMessage>& out) {
    if (event.type == SDL_MOUSEMOTION) {
        // A touch screen has no hover: moves count only while pressed.
        if (event.motion.which == SDL_TOUCH_MOUSEID || m_owner != Owner::Mouse)
            return false;
        const Point where = to_screen_pixel(event.motion.x, event.motion.y, windowWidth, windowHeight);
        out.push_back(pointer_message(WM_MOUSEMOVE, MK_LBUTTON, where));
        return true;
    }
    // Touches come on their own; SDL's mouse copies of them are dropped.
    if (event.button.which == SDL_TOUCH_MOUSEID || event.button.button != SDL_BUTTON_LEFT)
        return false;
    const Point where = to_screen_pixel(event.button.x, event.button.y, windowWidth, windowHeight);
    if (event.type == SDL_MOUSEBUTTONDOWN) {
        if (m_owner != Owner::None)
            return false;
        m_owner = Owner::Mouse;
        out.push_back(pointer_message(WM_LBUTTONDOWN, MK_LBUTTON, where));
    } else {
        if (m_owner != Owner::Mouse)
            return false;
        m_owner = Owner::None;
        out.push_back(pointer_message(WM_LBUTTONUP, 0, where));
    }
    return true;
}

bool InputTranslator::translate_finger(const SDL_TouchFingerEvent& f, Uint32 type, int windowWidth, int windowHeight,
                                       std::vector<WindowMessage>& out) {
    // Finger positions are fractions of the window.
    const Point where = to_screen_pixel(static_cast<double>(f.x) * windowWidth, static_cast<double>(f.y) * windowHeight,
                                        windowWidth, windowHeight);
    if (type == SDL_FINGERDOWN) {
        // The phone's screen reports one touch: the first finger down.
        if (m_owner != Owner::None)
            return false;
        m_owner = Owner::Finger;
        m_touch = f.touchId;
        m_finger = f.fingerId;
        out.push_back(pointer_message(WM_LBUTTONDOWN, MK_LBUTTON, where));
        return true;
    }
    if (m_owner != Owner::Finger || f.touchId != m_touch || f.fingerId != m_finger)
        return false;
    if (type == SDL_FINGERUP) {
        m_owner = Owner::None;
        out.push_back(pointer_message(WM_LBUTTONUP, 0, where));
    } else {
        out.push_back(pointer_message(WM_MOUSEMOVE, MK_LBUTTON, where));
    }
    return true;
}

bool InputTranslator::translate(const SDL_Event& event, int windowWidth, int windowHeight,
                                std::vector<WindowMessage>& out) {
    switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEMOTION:
        return translate_mouse(event, windowWidth, windowHeight, out);
    case SDL_FINGERDOWN:
    case SDL_FINGERUP:
    case SDL_FINGERMOTION:
        return translate_finger(event.tfinger, event.type, windowWidth, windowHeight, out);
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            out.push_back(WindowMessage{WM_ACTIVATE, WA_ACTIVE, 0});
            return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            out.push_back(WindowMessage{WM_ACTIVATE, WA_INACTIVE, 0});
            return true;
        case SDL_WINDOWEVENT_CLOSE:
            out.push_back(WindowMessage{WM_CLOSE, 0, 0});
            return true;
        default:
            return false;
        }
    case SDL_QUIT:
        // The last window closing, or SIGINT/SIGTERM: leave through the
        // window's own close so that exit runs as it does on the phone.
        out.push_back(WindowMessage{WM_CLOSE, 0, 0});
        return true;
    default:
        return false;
    }
}

} // namespace zt::desktop
