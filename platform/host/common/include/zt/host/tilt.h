// The phone's tilt where no sensor gives it: held keys, turned into the
// phone's acceleration in m/s^2 on the phone's axes (X to the right of the
// screen, Y to its top, Z out of it; lying flat face up reads +1 g on Z).
// The desktop and the page take the same keys.
#pragma once

namespace zt::host {

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

} // namespace zt::host
