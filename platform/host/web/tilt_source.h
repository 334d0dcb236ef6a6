// The phone's tilt in the browser: the device's motion sensor
// (devicemotion's accelerationIncludingGravity) or the arrow keys and F as
// on the desktop, turned into the raw accelerometer bytes every source uses.
#pragma once

#include "options.h"
#include "zt/drivers/accelerometer.h"
#include "zt/host/tilt.h"

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

// Which way round the page takes the motion readings. Browsers agree on the
// axes but not all on the sign: some report gravity itself (face up reads
// -1 g on Z) instead of the specific force W3C defines.
enum class AxesSign {
    Undecided, // no tap with the screen clearly up or down yet
    AsRead,    // the W3C sign
    Flipped,   // the whole reading negated
    Address,   // "flip" in the address decides, axis by axis
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
    bool key(host::TiltKey key, bool down);
    // The page lost the keyboard: held arrows let go.
    bool release_arrows();
    // A finger went down. The screen faces up at a tap (the performer looks
    // at it), so the first tap with gravity clearly along Z settles the
    // sign. Returns whether the reading changed.
    bool tap();
    void set_permission(MotionPermission permission) { m_permission = permission; }

    // False for accel=none: no "ACC0:" at all.
    bool has_device() const { return m_mode != AccelMode::None; }
    // The reading the device gives now.
    drivers::RawReading reading() const { return m_reading; }
    bool motion_seen() const { return m_motionSeen; }
    // One line for the rehearsal overlay: where the tilt comes from now and
    // whether motion is allowed ("MOTION ON", "KEYS - TAP FOR MOTION", ...).
    std::string status() const;
    AxesSign axes() const { return m_axes; }
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
    AxesSign m_axes;
    bool m_motionSeen = false;
    // The latest motion sample as the browser gave it (m/s^2).
    double m_sample[3] = {0, 0, 0};
    MotionPermission m_permission = MotionPermission::Unknown;
    // Lying flat, face up, until a source says otherwise.
    drivers::RawReading m_reading{0, 0, 64};
};

} // namespace zt::web
