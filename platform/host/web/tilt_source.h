// The phone's tilt in the browser: the device's motion sensor
// (devicemotion's accelerationIncludingGravity) or the arrow keys and F as
// on the desktop, turned into the raw accelerometer bytes every source uses.
#pragma once

#include "axes_sign.h"
#include "options.h"
#include "zt/drivers/accelerometer.h"
#include "zt/host/tilt.h"

#include <cstdint>
#include <optional>
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
    // at `at` ms: evidence for the sign. Returns whether the reading changed.
    bool orientation(double beta, double gamma, std::uint64_t at);
    // A tilt key went down or up (repeats left out). Returns whether the
    // reading changed.
    bool key(host::TiltKey key, bool down);
    // The page lost the keyboard: held arrows let go.
    bool release_arrows();
    // A finger went down at `at` ms: the screen faces the performer, so the
    // samples around it are evidence for the sign. Returns whether the
    // reading changed.
    bool tap(std::uint64_t at);
    void set_permission(MotionPermission permission) { m_permission = permission; }

    // False for accel=none: no "ACC0:" at all.
    bool has_device() const { return m_mode != AccelMode::None; }
    // The reading the device gives now.
    drivers::RawReading reading() const { return m_reading; }
    bool motion_seen() const { return m_motionSeen; }
    // One line for the rehearsal overlay: where the tilt comes from now and
    // whether motion is allowed ("MOTION ON", "KEYS - TAP FOR MOTION", ...).
    std::string status() const;
    AxesSign axes() const { return m_sign.sign(); }
    // One line for the rehearsal overlay: whether the sign is known and
    // what settled it (AxesSignJudge::words); empty when no motion can
    // drive the tilt.
    std::string sign_words() const;
    // Where the reading puts the phone, in words for the rehearsal overlay:
    // "TOP EDGE DOWN", "FACE UP", "LEFT EDGE DOWN FACE DOWN", ...
    std::string posture() const;

  private:
    bool set(const drivers::RawReading& reading);
    bool set_from_motion();

    AccelMode m_mode;
    bool m_flipX;
    bool m_flipY;
    bool m_flipZ;
    host::KeyboardTilt m_keys;
    AxesSignJudge m_sign;
    bool m_motionSeen = false;
    // The latest motion sample as the browser gave it (m/s^2).
    double m_sample[3] = {0, 0, 0};
    MotionPermission m_permission = MotionPermission::Unknown;
    // Lying flat, face up, until a source says otherwise.
    drivers::RawReading m_reading{0, 0, 64};
};

} // namespace zt::web
