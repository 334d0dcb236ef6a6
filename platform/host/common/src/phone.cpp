// The phone the hosts share: screen, shell, sensor feed, the application's
// window and the overlays.
#include "zt/host/phone.h"

#include "zt/acc_protocol.h"
#include "zt/drivers/simulated_accelerometer.h"
#include "zt/gfx/gdi.h"
#include "zt/host.h"
#include "zt/host/overlay.h"

#include <algorithm>
#include <ctime>
#include <utility>

namespace zt::host {

int local_minute_of_day() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_hour * 60 + local.tm_min;
}

Phone::Phone() = default;
Phone::~Phone() = default;

void Phone::start(const Options& options) {
    if (m_shell)
        return;
    m_options = options;
    m_shell = std::make_unique<SimulatedShell>(options.shell);
    m_shell->start();
}

void Phone::stop() {
    if (m_shell)
        m_shell->stop();
    m_shell.reset();
}

bool Phone::taskbar_visible() const {
    return m_shell && m_shell->taskbar_visible();
}

std::shared_ptr<drivers::SimulatedAccelerometer> Phone::add_accelerometer(const drivers::RawReading& initial) {
    auto device = std::make_shared<drivers::SimulatedAccelerometer>();
    device->set_reading(initial);
    if (!device->register_as(ACC_DEVICE_NAME))
        return nullptr;
    m_accelerometer = device;
    return device;
}

bool Phone::present(HWND window, const gfx::Surface& frame) {
    if (!is_boot_thread())
        return false;
    RECT where{};
    if (!GetWindowRect(window, &where))
        return false;
    if (window_parent(window) == nullptr)
        m_lastPresented = window;
    const bool again = m_placed.window == window && m_placed.identity == frame.identity() &&
                       m_placed.at.x == where.left && m_placed.at.y == where.top;
    if (again)
        place_area(m_screen, frame, where.left, where.top, frame.written_bounds_since(m_placed.version));
    else
        place_frame(m_screen, frame, where.left, where.top);
    m_placed = {window, frame.identity(), frame.version(), POINT{where.left, where.top}};
    m_haveFrame = true;
    return true;
}

void Phone::capture(HWND window) {
    m_placed = {};
    m_screen.fill(gfx::kOpaqueBlack);
    RECT where{};
    auto surface = window ? gfx::window_surface(window) : nullptr;
    if (surface && IsWindowVisible(window) && GetWindowRect(window, &where))
        place_frame(m_screen, *surface, where.left, where.top);
    m_haveFrame = true;
}

HWND Phone::app_window() const {
    if (m_lastPresented != nullptr && IsWindow(m_lastPresented))
        return m_lastPresented;
    // The shell's windows share the loop's thread where there is no second
    // one (the browser).
    for (HWND hwnd : boot_thread_windows()) {
        const bool shells =
            m_shell && std::any_of(SimulatedShell::kClassNames.begin(), SimulatedShell::kClassNames.end(),
                                   [&](const char16_t* name) { return m_shell->window(name) == hwnd; });
        if (!shells)
            return hwnd;
    }
    return nullptr;
}

void Phone::post(std::vector<WindowMessage>& pending) const {
    if (pending.empty())
        return;
    const HWND target = app_window();
    if (target == nullptr) {
        // Only activation has a meaning before the window exists.
        std::erase_if(pending, [](const WindowMessage& m) { return m.message != WM_ACTIVATE; });
        return;
    }
    bool closing = false;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        const WindowMessage& m = pending[i];
        if (m.message == WM_MOUSEMOVE && i + 1 < pending.size() && pending[i + 1].message == WM_MOUSEMOVE)
            continue;
        if (m.message == WM_CLOSE && std::exchange(closing, true))
            continue;
        PostMessageW(target, m.message, m.wParam, m.lParam);
    }
    pending.clear();
}

bool Phone::taskbar_stale() const {
    if (!m_haveFrame)
        return false;
    const bool taskbar = taskbar_visible();
    return taskbar != m_taskbarDrawn || (taskbar && m_options.minuteOfDay() != m_minuteDrawn);
}

int Phone::overlay_wait() const {
    constexpr int kClockLook = 1000;
    return m_taskbarDrawn ? kClockLook : -1;
}

const gfx::Surface& Phone::compose(const Rehearsal& rehearsal) {
    const bool taskbar = taskbar_visible();
    m_taskbarDrawn = taskbar;
    if (!taskbar && !m_options.rehearse)
        return m_screen;
    m_composed = m_screen;
    if (taskbar) {
        m_minuteDrawn = m_options.minuteOfDay();
        draw_taskbar(m_composed, m_minuteDrawn / 60, m_minuteDrawn % 60, SimulatedShell::kTaskbarRect.bottom);
    }
    if (m_options.rehearse) {
        m_rehearsalDrawn = rehearsal;
        const drivers::RawReading r = rehearsal.reading.value_or(drivers::RawReading{0, 0, 0});
        draw_rehearsal(m_composed, m_options.guides, r.x, r.y, r.z);
        draw_status_lines(m_composed, rehearsal.lines);
    }
    return m_composed;
}

} // namespace zt::host
