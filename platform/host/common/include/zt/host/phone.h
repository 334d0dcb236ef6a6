// The phone every host shows: its screen as the application last drew it,
// the simulated shell with its taskbar, the "ACC0:" feed, the application's
// window and the input posted to it, and the overlays drawn over the screen
// (the taskbar strip, the rehearsal overlay) with what they showed when last
// drawn. The core (zt/host/core.h) keeps it for every host and hands
// compose() to the host's output: an SDL texture, a canvas; the simulator's
// snapshots write it to a PNG.
#pragma once

#include "zt/drivers/simulated_accelerometer.h"
#include "zt/gfx/surface.h"
#include "zt/host/overlay.h"
#include "zt/host/simulated_shell.h"
#include "zt/platform.h"
#include "zt/screen.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zt::host {

// A message a host's event source has for the application's window.
struct WindowMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool operator==(const WindowMessage&) const = default;
};

// Minutes since local midnight: the taskbar clock of a phone in the hand.
int local_minute_of_day();

class Phone {
  public:
    struct Options {
        SimulatedShell::Options shell;
        // Whether compose() draws the rehearsal overlay, and its lines.
        bool rehearse = false;
        RehearsalGuides guides;
        // The taskbar clock, in minutes since midnight. The simulator's
        // stands still, so that a script gives the same picture every run.
        int (*minuteOfDay)() = local_minute_of_day;
    };

    // What the rehearsal overlay shows: the raw reading (none: zeros) and
    // lines of status above it, the first lowest.
    struct Rehearsal {
        std::optional<drivers::RawReading> reading;
        std::vector<std::string> lines;
        bool operator==(const Rehearsal&) const = default;
    };

    Phone();
    ~Phone();
    Phone(const Phone&) = delete;
    Phone& operator=(const Phone&) = delete;

    // From the host's boot(): the shell's windows come up. stop() takes
    // them down (on the same thread, for a shell without its own).
    void start(const Options& options);
    void stop();
    // Null before start() and after stop().
    const SimulatedShell* shell() const { return m_shell.get(); }
    bool taskbar_visible() const;

    // Registers "ACC0:" reading `initial` until the host sets another
    // reading; null (no device) when the name is taken.
    std::shared_ptr<drivers::SimulatedAccelerometer> add_accelerometer(const drivers::RawReading& initial);
    const std::shared_ptr<drivers::SimulatedAccelerometer>& accelerometer() const { return m_accelerometer; }

    // ----- the screen

    // A window's finished frame, placed where the window is. Only frames of
    // the loop's thread count: the shell's windows are shown as the strip.
    // False when the frame was not taken. When the same window presents the
    // same surface at the same place twice running, only what it wrote in
    // between is copied, and the screen's own record of writes says so.
    bool present(HWND window, const gfx::Surface& frame);
    // The screen read afresh instead: black, with `window`'s own surface on
    // it while the window is visible (for a host that looks only when asked).
    void capture(HWND window);
    bool has_frame() const { return m_haveFrame; }

    // ----- the application's window and its input

    // The last top-level window presented while it exists, else the loop
    // thread's first top-level window that is not the shell's; null before
    // the application made one.
    HWND app_window() const;
    // Posts `pending` to app_window() and empties it. Of a run of moves only
    // the last goes, and one close. Before the window exists activation
    // waits in `pending` for it; touches on nothing are dropped.
    void post(std::vector<WindowMessage>& pending) const;

    // ----- the overlays

    // The taskbar came or went, or its clock shows another minute, since
    // compose() last drew the screen (never before the first frame).
    bool taskbar_stale() const;
    bool taskbar_drawn() const { return m_taskbarDrawn; }
    // How long (ms; negative: no limit) the loop asleep may wait and still
    // wake in time to redraw an overlay that falls stale by itself: the
    // taskbar clock, looked at once a second.
    int overlay_wait() const;
    // What the rehearsal overlay showed when last drawn.
    const Rehearsal& rehearsal_drawn() const { return m_rehearsalDrawn; }
    bool rehearsing() const { return m_options.rehearse; }

    // The screen with the overlays: the taskbar strip while the shell's
    // taskbar is visible, and `rehearsal` when rehearsing. The screen itself
    // when there is nothing to draw over it.
    const gfx::Surface& compose(const Rehearsal& rehearsal = {});

  private:
    Options m_options;
    std::unique_ptr<SimulatedShell> m_shell;
    std::shared_ptr<drivers::SimulatedAccelerometer> m_accelerometer;
    gfx::Surface m_screen{SCREEN_WIDTH, SCREEN_HEIGHT};
    gfx::Surface m_composed{SCREEN_WIDTH, SCREEN_HEIGHT};
    bool m_haveFrame = false;
    HWND m_lastPresented = nullptr;
    // The frame placed last, as it was then.
    struct Placed {
        HWND window = nullptr;
        std::uint64_t identity = 0;
        std::uint64_t version = 0;
        POINT at{};
    } m_placed;
    bool m_taskbarDrawn = false;
    int m_minuteDrawn = -1;
    Rehearsal m_rehearsalDrawn;
};

} // namespace zt::host
