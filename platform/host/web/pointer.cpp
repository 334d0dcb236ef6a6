#include "pointer.h"

#include "zt/host/geometry.h"

namespace zt::web {

bool PointerInput::translate(const PointerEvent& event, int pageWidth, int pageHeight,
                             std::vector<WindowMessage>& out) {
    if (event.phase == PointerPhase::Move && event.button == 0) {
        // The main button went down or up while another was held: browsers
        // report that as a move. It is a press or a lift of its own, as the
        // desktop's button events are.
        PointerEvent change = event;
        change.phase = (event.buttons & 1) != 0 ? PointerPhase::Down : PointerPhase::Up;
        return translate(change, pageWidth, pageHeight, out);
    }
    const host::Point where = host::to_screen_pixel(event.x, event.y, pageWidth, pageHeight);
    const LPARAM position = MAKELPARAM(where.x, where.y);
    switch (event.phase) {
    case PointerPhase::Down:
        if (m_pressed || event.button != 0)
            return false;
        m_pressed = true;
        m_id = event.id;
        m_last = position;
        out.push_back({WM_LBUTTONDOWN, MK_LBUTTON, position});
        return true;
    case PointerPhase::Move:
        // A touch screen has no hover: moves count only while pressed.
        if (!m_pressed || event.id != m_id)
            return false;
        m_last = position;
        out.push_back({WM_MOUSEMOVE, MK_LBUTTON, position});
        return true;
    case PointerPhase::Up:
        if (!m_pressed || event.id != m_id || event.button != 0)
            return false;
        m_pressed = false;
        out.push_back({WM_LBUTTONUP, 0, position});
        return true;
    case PointerPhase::Cancel:
        if (!m_pressed || event.id != m_id)
            return false;
        m_pressed = false;
        out.push_back({WM_LBUTTONUP, 0, m_last});
        return true;
    }
    return false;
}

} // namespace zt::web
