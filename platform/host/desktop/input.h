// Turns SDL's window events into the messages the phone's window gets: the
// left mouse button or one finger on a touch screen is the finger on the
// glass, window focus is activation, closing the window is WM_CLOSE.
// Translation only: nothing here knows what the application does with them.
#pragma once

#include "zt/host/geometry.h"
#include "zt/host/phone.h"
#include "zt/platform.h"

#include <SDL.h>

#include <cstdint>
#include <vector>

namespace zt::desktop {

using host::WindowMessage;

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
