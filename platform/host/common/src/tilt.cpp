#include "zt/host/tilt.h"

#include <cmath>
#include <numbers>

namespace zt::host {

bool KeyboardTilt::key(TiltKey key, bool down) {
    bool* held = nullptr;
    switch (key) {
    case TiltKey::Up:
        held = &m_up;
        break;
    case TiltKey::Down:
        held = &m_down;
        break;
    case TiltKey::Left:
        held = &m_left;
        break;
    case TiltKey::Right:
        held = &m_right;
        break;
    case TiltKey::Flip:
        if (!down)
            return false;
        m_faceDown = !m_faceDown;
        return true;
    }
    if (*held == down)
        return false;
    *held = down;
    return true;
}

bool KeyboardTilt::release_arrows() {
    const bool any = m_up || m_down || m_left || m_right;
    m_up = m_down = m_left = m_right = false;
    return any;
}

Acceleration KeyboardTilt::acceleration() const {
    // Direction of the raised edge in the screen's plane; opposite arrows
    // cancel out.
    const double dx = (m_right ? 1.0 : 0.0) - (m_left ? 1.0 : 0.0);
    const double dy = (m_up ? 1.0 : 0.0) - (m_down ? 1.0 : 0.0);
    const double length = std::hypot(dx, dy);
    Acceleration a;
    const double angle = length > 0 ? kKeyTiltDegrees * std::numbers::pi / 180.0 : 0.0;
    const double inPlane = kGravity * std::sin(angle);
    if (length > 0) {
        a.x = inPlane * dx / length;
        a.y = inPlane * dy / length;
    }
    a.z = kGravity * std::cos(angle);
    // Face down the arrows keep their meaning on the screen's axes; only the
    // screen now faces the floor.
    if (m_faceDown)
        a.z = -a.z;
    return a;
}

} // namespace zt::host
