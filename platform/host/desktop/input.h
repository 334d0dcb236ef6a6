// Turns SDL's window events into the messages the phone's window gets: the
// left mouse button or one finger on a touch screen is the finger on the
// glass, window focus is activation, closing the window is WM_CLOSE.
// Translation only: nothing here knows what the application does with them.
#pragma once

#include "geometry.h"
#include "zt/platform.h"

#include <SDL.h>

#include <cstdint>
#include <vector>

namespace zt::desktop {

struct WindowMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

inline bool operator==(const WindowMessage& a, const WindowMessage& b) {
    return a.message == b.message && a.wParam == b.wParam && a.lParam == b.lParam;
}

class InputTranslator {
  public:
    // Appends the messages for `event` to `out`. `windowWidth` and
    // `windowHeight` are the window's size in the coordinates SDL reports
    // mouse positions in. Returns false when the event is not one of ours.
    bool translate(const SDL_Event& event, int windowWidth, int windowHeight, std::vector<WindowMessage>& out);

    // True while the finger is on the glass.
    bool pressed() const { return m_owner != Owner::None; }

  private:
    enum class Owner { None, Mouse, Finger };
    bool translate_mouse(const SDL_Event& event, int windowWidth, int windowHeight, std::vector<WindowMessage>& out);
    bool translate_finger(const SDL_TouchFingerEvent& finger, Uint32 type, int windowWidth, int windowHeight,
                          std::vector<WindowMessage>& out);

    Owner m_owner = Owner::None;
    SDL_FingerID m_finger = 0;
    SDL_TouchID m_touch = 0;
};

} // namespace zt::desktop
