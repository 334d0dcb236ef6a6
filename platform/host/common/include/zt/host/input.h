// What a host's event source hands the phone, in the phone's own terms: one
// finger on the glass, the tilt keys, focus and closing. Every host's input
// goes through here to the messages that wait for the application's window
// (Phone::post), so that input behaves the same whatever reported it.
#pragma once

#include "zt/drivers/simulated_accelerometer.h"
#include "zt/host/phone.h"
#include "zt/host/tilt.h"
#include "zt/platform.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace zt::host {

// A pointer as the host saw it: a mouse, one contact of a touch screen, a
// page's pointer.
struct Pointer {
    enum class Phase { Down, Move, Up, Cancel };
    Phase phase = Phase::Down;
    // Which pointer, in the host's own numbering: the device and the
    // contact on it. The finger is the one that went down first.
    std::int64_t device = 0;
    std::int64_t id = 0;
    // Where, in the output's coordinates, and the output's size in them: the
    // phone's screen sits in it as zt/host/geometry.h places it.
    double x = 0;
    double y = 0;
    int width = SCREEN_WIDTH;
    int height = SCREEN_HEIGHT;
};

// The phone's single-touch screen: only the first pointer down counts until
// it ends; moves count only while it is down (a touch screen has no hover);
// a cancelled pointer (the system took the gesture) lifts where it was last
// seen, since the phone knows no cancel and a press left hanging would make
// the trick ignore the next one.
class OneFinger {
  public:
    // Appends the messages for `pointer` to `out`; false when it is not the
    // finger's.
    bool handle(const Pointer& pointer, std::vector<WindowMessage>& out);
    bool pressed() const { return m_pressed; }

  private:
    bool m_pressed = false;
    std::int64_t m_device = 0;
    std::int64_t m_id = 0;
    LPARAM m_last = 0;
};

class Input {
  public:
    // The finger (OneFinger), to phone pixels.
    bool pointer(const Pointer& pointer);
    // A tilt key went down or up (auto-repeats left out): while the keys
    // tilt the phone (keys_tilt), the feed's reading follows them.
    bool key(TiltKey key, bool down);
    // The output gained or lost the keyboard: activation for the
    // application, and held arrows let go on a loss.
    void focus(bool active);
    // The performer closes the phone's window.
    void close();
    // A message for the application's window as it is (a script's line).
    void message(const WindowMessage& message);

    // Whether the keys drive `feed` ("ACC0:"): null, they tilt nothing.
    void keys_tilt(std::shared_ptr<drivers::SimulatedAccelerometer> feed);

    // What waits for the application's window (Phone::post empties it).
    std::vector<WindowMessage>& pending() { return m_pending; }
    bool pressed() const { return m_finger.pressed(); }

  private:
    void feed_keys();

    OneFinger m_finger;
    KeyboardTilt m_keys;
    std::shared_ptr<drivers::SimulatedAccelerometer> m_keysFeed;
    std::vector<WindowMessage> m_pending;
};

} // namespace zt::host
