// The phone's tilt in the browser: the device's motion sensor
// (devicemotion's accelerationIncludingGravity) or the arrow keys and F as
// on the desktop, turned into the raw accelerometer bytes every source uses.
#pragma once

#include "options.h"
#include "tilt.h"
#include "zt/drivers/accelerometer.h"

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
    // axes (W3C: lying flat face up reads +9.8 on Z). Any axis that is not a
    // number means the browser has no sensor values: ignored. Returns
    // whether the reading changed.
    bool motion(double x, double y, double z);
    // A tilt key went down or up (repeats left out). Returns whether the
    // reading changed.
    bool key(desktop::TiltKey key, bool down);
    // The page lost the keyboard: held arrows let go.
    bool release_arrows();
    void set_permission(MotionPermission permission) { m_permission = permission; }

    // False for accel=none: no "ACC0:" at all.
    bool has_device() const { return m_mode != AccelMode::None; }
    // The reading the device gives now.
    drivers::RawReading reading() const { return m_reading; }
    bool motion_seen() const { return m_motionSeen; }
    // One line for the rehearsal overlay: where the tilt comes from now and
    // whether motion is allowed ("MOTION ON", "KEYS - TAP FOR MOTION", ...).
    std::string status() const;

  private:
    bool set(const drivers::RawReading& reading);

    AccelMode m_mode;
    bool m_flipX;
    bool m_flipY;
    bool m_flipZ;
    desktop::KeyboardTilt m_keys;
    bool m_motionSeen = false;
    MotionPermission m_permission = MotionPermission::Unknown;
    // Lying flat, face up, until a source says otherwise.
    drivers::RawReading m_reading{0, 0, 64};
};

} // namespace zt::web
