// Turns the page's pointer events (touch, pen, mouse) into the messages the
// phone's window gets. Only the first pointer down counts until it ends,
// as on the phone's single-touch screen.
#pragma once

#include "zt/host/phone.h"
#include "zt/platform.h"

#include <vector>

namespace zt::web {

using host::WindowMessage;

enum class PointerPhase { Down, Move, Up, Cancel };

struct PointerEvent {
    PointerPhase phase = PointerPhase::Down;
    int id = 0;
    // The mouse button that went down or up (0 the main one, -1 none: a
    // plain move); touch and pen report 0 on contact and lift.
    int button = 0;
    // The buttons held after the event, one bit each (1 the main one).
    int buttons = 0;
    // CSS pixels from the top left of the page.
    double x = 0;
    double y = 0;
};

class PointerInput {
  public:
    // Appends the messages for `event` on a page of `pageWidth` x
    // `pageHeight` CSS pixels, on which the phone's screen sits as the
    // desktop places it in its window (zt/host/geometry.h). Returns false
    // when the event is not the finger's (another pointer, another button,
    // no press).
    //
    // The main mouse button counts whatever other button is held: pressed
    // or let go while another is down, it comes as a move and is taken as
    // the press or lift it is.
    //
    // A cancelled pointer (the browser took the gesture, or the page lost it)
    // ends as the finger lifting where it was last seen: the phone's screen
    // knows no cancel, and a press left hanging would make the trick ignore
    // the next press and show the old region's card later.
    bool translate(const PointerEvent& event, int pageWidth, int pageHeight, std::vector<WindowMessage>& out);

    bool pressed() const { return m_pressed; }

  private:
    bool m_pressed = false;
    int m_id = 0;
    LPARAM m_last = 0;
};

} // namespace zt::web
