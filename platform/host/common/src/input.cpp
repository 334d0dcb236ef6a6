// Every host's input, in the phone's terms.
#include "zt/host/input.h"

#include "zt/host/geometry.h"

#include <utility>

namespace zt::host {

bool OneFinger::handle(const Pointer& p, std::vector<WindowMessage>& out) {
    const Point where = to_screen_pixel(p.x, p.y, p.width, p.height);
    const LPARAM position = MAKELPARAM(where.x, where.y);
    if (p.phase == Pointer::Phase::Down) {
        if (m_pressed)
            return false;
        m_pressed = true;
        m_device = p.device;
        m_id = p.id;
        m_last = position;
        out.push_back({WM_LBUTTONDOWN, MK_LBUTTON, position});
        return true;
    }
    if (!m_pressed || p.device != m_device || p.id != m_id)
        return false;
    switch (p.phase) {
    case Pointer::Phase::Move:
        m_last = position;
        out.push_back({WM_MOUSEMOVE, MK_LBUTTON, position});
        return true;
    case Pointer::Phase::Up:
        m_pressed = false;
        out.push_back({WM_LBUTTONUP, 0, position});
        return true;
    case Pointer::Phase::Cancel:
        m_pressed = false;
        out.push_back({WM_LBUTTONUP, 0, m_last});
        return true;
    case Pointer::Phase::Down:
        break;
    }
    return false;
}

bool Input::pointer(const Pointer& pointer) {
    return m_finger.handle(pointer, m_pending);
}

void Input::keys_tilt(std::shared_ptr<drivers::SimulatedAccelerometer> feed) {
    m_keysFeed = std::move(feed);
}

void Input::feed_keys() {
    const Acceleration a = m_keys.acceleration();
    m_keysFeed->set_reading(drivers::to_raw_reading(a.x, a.y, a.z));
}

bool Input::key(TiltKey key, bool down) {
    if (!m_keysFeed || !m_keys.key(key, down))
        return false;
    feed_keys();
    return true;
}

void Input::focus(bool active) {
    if (!active && m_keysFeed && m_keys.release_arrows())
        feed_keys();
    m_pending.push_back({WM_ACTIVATE, static_cast<WPARAM>(active ? WA_ACTIVE : WA_INACTIVE), 0});
}

void Input::close() {
    m_pending.push_back({WM_CLOSE, 0, 0});
}

void Input::message(const WindowMessage& message) {
    m_pending.push_back(message);
}

} // namespace zt::host
