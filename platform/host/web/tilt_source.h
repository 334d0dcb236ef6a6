// The phone's tilt in the browser: the device's motion sensor
// (devicemotion's accelerationIncludingGravity), turned into the raw
// accelerometer bytes every source uses, and which source tilts the phone
// now: the motion sensor, or the arrow keys and F, which the core turns into
// readings as on the desktop (zt/host/input.h).
#pragma once

#include "axes_sign.h"
#include "options.h"
#include "zt/drivers/accelerometer.h"

#include <cstdint>
#include <string>

namespace zt::web {

// What the rehearsal overlay says about the motion sensor.
enum class MotionPermission {
    Unknown, // nothing asked, nothing arrived
    Ask,     // the browser wants a tap first (iOS)
    Allowed,
    Denied,
};

class TiltSource {
  public:
    explicit TiltSource(const Options& options);

    // One devicemotion sample in m/s^2, the "up" direction on the device's
    // axes (W3C: lying flat face up reads +9.8 on Z), taken at `at` ms. Any
    // axis that is not a number means the browser has no sensor values:
    // ignored. Until the sign is known the reading stays flat, face up,
    // which latches no suit. Returns whether the reading changed.
    bool motion(double x, double y, double z, std::uint64_t at);
    // One deviceorientation reading (degrees; not a number: none), taken
    // at `at` ms: evidence for the sign, weighed against the motion samples
    // that follow it, so the reading stays as it is.
    void orientation(double beta, double gamma, std::uint64_t at);
    // A finger went down at `at` ms: the screen faces the performer, so the
    // samples around it are evidence for the sign. Returns whether the
    // reading changed.
    bool tap(std::uint64_t at);
    void set_permission(MotionPermission permission) { m_permission = permission; }

    // False for accel=none: no accelerometer at all.
    bool has_device() const { return m_mode != AccelMode::None; }
    // Whether the keys tilt the phone now: with accel=keys, and with auto
    // until the first motion sample (from then on the two would fight).
    bool keys_tilt() const { return m_mode == AccelMode::Keys || (m_mode == AccelMode::Auto && !m_motionSeen); }
    // The reading the motion sensor gives now (lying flat, face up, before
    // it spoke or while its sign is not known).
    drivers::RawReading reading() const { return m_reading; }
    bool motion_seen() const { return m_motionSeen; }
    // One line for the rehearsal overlay: where the tilt comes from now and
    // whether motion is allowed ("MOTION ON", "KEYS  TAP TO ALLOW MOTION", ...).
    std::string status() const;
    AxesSign axes() const { return m_sign.sign(); }
    // One line for the rehearsal overlay: whether the sign is known and
    // what settled it (AxesSignJudge::words); empty when no motion can
    // drive the tilt.
    std::string sign_words() const;

  private:
    // Whether the motion sensor may tilt the phone (auto and motion): only
    // then are its readings, and the evidence for their sign, taken.
    bool senses() const { return m_mode == AccelMode::Auto || m_mode == AccelMode::Motion; }
    bool set(const drivers::RawReading& reading);
    bool set_from_motion();

    AccelMode m_mode;
    bool m_flipX;
    bool m_flipY;
    bool m_flipZ;
    AxesSignJudge m_sign;
    bool m_motionSeen = false;
    // The latest motion sample as the browser gave it (m/s^2).
    double m_sample[3] = {0, 0, 0};
    MotionPermission m_permission = MotionPermission::Unknown;
    // Lying flat, face up, until a source says otherwise.
    drivers::RawReading m_reading{0, 0, 64};
};

// Where `reading` puts the phone, in words for the rehearsal overlay:
// "TOP EDGE DOWN", "FACE UP", "LEFT EDGE DOWN FACE DOWN", ...
std::string posture(const drivers::RawReading& reading);

} // namespace zt::web
