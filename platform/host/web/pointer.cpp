#include "pointer.h"

namespace zt::web {

std::optional<host::Pointer> to_pointer(const PointerEvent& event, int pageWidth, int pageHeight) {
    using Phase = host::Pointer::Phase;
    Phase phase = event.phase;
    if (phase == Phase::Move && event.button == 0) {
        // The main button went down or up while another was held: browsers
        // report that as a move.
        phase = (event.buttons & 1) != 0 ? Phase::Down : Phase::Up;
    } else if ((phase == Phase::Down || phase == Phase::Up) && event.button != 0) {
        return std::nullopt;
    }
    // One numbering for every kind of pointer: the page's pointerId.
    return host::Pointer{phase, 0, event.id, event.x, event.y, pageWidth, pageHeight};
}

} // namespace zt::web
