// The page's pointer events (touch, pen, mouse) as the pointers the phone's
// one finger is made of (zt/host/input.h): which pointer did what, where on
// the page. Only the main button (a touch's or pen's contact, the mouse's
// left button) is a finger; the core decides which pointer is the finger.
#pragma once

#include "zt/host/input.h"

#include <optional>

namespace zt::web {

struct PointerEvent {
    host::Pointer::Phase phase = host::Pointer::Phase::Down;
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

// The pointer for `event` on a page of `pageWidth` x `pageHeight` CSS
// pixels, on which the phone's screen sits as the desktop places it in its
// window (zt/host/geometry.h); none for a button other than the main one.
//
// The main mouse button counts whatever other button is held: pressed or
// let go while another is down, it comes as a move naming it, and is the
// press or lift it is.
std::optional<host::Pointer> to_pointer(const PointerEvent& event, int pageWidth, int pageHeight);

} // namespace zt::web
