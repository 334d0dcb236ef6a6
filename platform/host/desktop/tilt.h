// Tilt sources that are not a real phone: the keyboard and a game
// controller, both turned into the phone's acceleration in m/s^2 on the
// phone's axes (X to the right of the screen, Y to its top, Z out of it;
// lying flat face up reads +1 g on Z).
#pragma once

namespace zt::desktop {

struct Acceleration {
    double x = 0;
    double y = 0;
    double z = 0;
};

constexpr double kGravity = 9.80665;
// How far a held arrow key tips the phone.
constexpr double kKeyTiltDegrees = 45.0;

enum class TiltKey { Up, Down, Left, Right, Flip };

// The phone as the arrow keys hold it: an arrow raises that edge of the
// phone by 45 degrees while it is held (two arrows tip it towards the
// corner, still by 45 degrees), Flip turns the phone face down and back.
class KeyboardTilt {
  public:
    // A key went down or up; auto-repeats are to be left out by the caller.
    // Returns whether the phone's attitude changed.
    bool key(TiltKey key, bool down);
    // Lets go of every arrow (the window lost the keyboard); face down stays.
    bool release_arrows();
    Acceleration acceleration() const;
    bool face_down() const { return m_faceDown; }

  private:
    bool m_up = false;
    bool m_down = false;
    bool m_left = false;
    bool m_right = false;
    bool m_faceDown = false;
};

// A game controller's accelerometer (SDL's axes for a controller held in
// front of you: X right, Y up, Z towards you) read as the phone lying in the
// hands face up: the controller's far edge is the top of the screen.
Acceleration controller_to_phone(float x, float y, float z);

} // namespace zt::desktop
