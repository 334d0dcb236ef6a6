#include "tilt_source.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zt::web {

TiltSource::TiltSource(const Options& options)
    : m_mode(options.accel), m_flipX(options.flipX), m_flipY(options.flipY), m_flipZ(options.flipZ),
      m_sign(options.flipX || options.flipY || options.flipZ) {}

bool TiltSource::set(const drivers::RawReading& reading) {
    if (reading == m_reading)
        return false;
    m_reading = reading;
    return true;
}

bool TiltSource::motion(double x, double y, double z, std::uint64_t at) {
    if (!senses())
        return false;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
        return false;
    m_motionSeen = true;
    m_permission = MotionPermission::Allowed;
    m_sample[0] = x;
    m_sample[1] = y;
    m_sample[2] = z;
    m_sign.motion(x, y, z, at);
    return set_from_motion();
}

void TiltSource::orientation(double beta, double gamma, std::uint64_t at) {
    if (senses())
        m_sign.orientation(beta, gamma, at);
}

bool TiltSource::set_from_motion() {
    const AxesSign sign = m_sign.sign();
    // A reading of the wrong sign would latch a wrong suit: until the sign
    // is known the phone lies flat, face up, as at the start.
    if (sign == AxesSign::Undecided)
        return set(drivers::RawReading{0, 0, 64});
    // Gravity against specific force: the two conventions differ by the
    // sign of the whole vector.
    const double whole = sign == AxesSign::Flipped ? -1 : 1;
    return set(drivers::to_raw_reading(whole * (m_flipX ? -m_sample[0] : m_sample[0]),
                                       whole * (m_flipY ? -m_sample[1] : m_sample[1]),
                                       whole * (m_flipZ ? -m_sample[2] : m_sample[2])));
}

bool TiltSource::tap(std::uint64_t at) {
    if (!senses())
        return false;
    m_sign.touch(at);
    return m_motionSeen && set_from_motion();
}

std::string TiltSource::sign_words() const {
    return senses() ? m_sign.words() : std::string();
}

std::string posture(const drivers::RawReading& reading) {
    // A quarter of a g off flat (some 15 degrees) names an edge.
    constexpr int kTilted = 16;
    const int x = reading.x;
    const int y = reading.y;
    const int z = reading.z;
    if (std::max(std::abs(x), std::abs(y)) < kTilted)
        return z >= 0 ? "FACE UP" : "FACE DOWN";
    // The reading points up: the edge it points away from is down.
    std::string words = std::abs(y) >= std::abs(x) ? (y > 0 ? "BOTTOM EDGE DOWN" : "TOP EDGE DOWN")
                                                   : (x > 0 ? "LEFT EDGE DOWN" : "RIGHT EDGE DOWN");
    if (z <= -kTilted)
        words += " FACE DOWN";
    return words;
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
