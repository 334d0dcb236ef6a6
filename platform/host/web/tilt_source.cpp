#include "tilt_source.h"

#include <cmath>

namespace zt::web {

TiltSource::TiltSource(const Options& options)
    : m_mode(options.accel), m_flipX(options.flipX), m_flipY(options.flipY), m_flipZ(options.flipZ) {}

bool TiltSource::set(const drivers::RawReading& reading) {
    if (reading == m_reading)
        return false;
    m_reading = reading;
    return true;
}

bool TiltSource::motion(double x, double y, double z) {
    if (m_mode == AccelMode::Keys || m_mode == AccelMode::None)
        return false;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
        return false;
    m_motionSeen = true;
    m_permission = MotionPermission::Allowed;
    return set(drivers::to_raw_reading(m_flipX ? -x : x, m_flipY ? -y : y, m_flipZ ? -z : z));
}

bool TiltSource::key(desktop::TiltKey key, bool down) {
    if (m_mode == AccelMode::Motion || m_mode == AccelMode::None || (m_mode == AccelMode::Auto && m_motionSeen))
        return false;
    if (!m_keys.key(key, down))
        return false;
    const desktop::Acceleration a = m_keys.acceleration();
    return set(drivers::to_raw_reading(a.x, a.y, a.z));
}

bool TiltSource::release_arrows() {
    if (m_mode == AccelMode::Motion || m_mode == AccelMode::None || (m_mode == AccelMode::Auto && m_motionSeen))
        return false;
    if (!m_keys.release_arrows())
        return false;
    const desktop::Acceleration a = m_keys.acceleration();
    return set(drivers::to_raw_reading(a.x, a.y, a.z));
}

std::string TiltSource::status() const {
    const char* motion = "";
    switch (m_permission) {
    case MotionPermission::Unknown:
        motion = m_motionSeen ? "MOTION ON" : "NO MOTION YET";
        break;
    case MotionPermission::Ask:
        motion = "TAP TO ALLOW MOTION";
        break;
    case MotionPermission::Allowed:
        motion = m_motionSeen ? "MOTION ON" : "MOTION ALLOWED";
        break;
    case MotionPermission::Denied:
        motion = "MOTION DENIED";
        break;
    }
    switch (m_mode) {
    case AccelMode::None:
        return "NO ACCELEROMETER";
    case AccelMode::Keys:
        return "KEYS";
    case AccelMode::Motion:
        return motion;
    case AccelMode::Auto:
        break;
    }
    return m_motionSeen ? std::string(motion) : "KEYS  " + std::string(motion);
}

} // namespace zt::web
