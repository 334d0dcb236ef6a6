#include "pointer.h"

#include "geometry.h"

namespace zt::web {

bool PointerInput::translate(const PointerEvent& event, int pageWidth, int pageHeight,
                             std::vector<WindowMessage>& out) {
    const desktop::Point where = desktop::to_screen_pixel(event.x, event.y, pageWidth, pageHeight);
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
