// The desktop host: the phone in an SDL window on the real clock. The
// application's frames go to a streaming texture; mouse, touch, focus and
// close (the window's close button, Ctrl+Q, Ctrl+W) come back as the window's
// messages. When the loop is idle it sleeps on the X connection and a wake
// descriptor (DisplayWait) in slices of at most 250 ms, and runs SDL's event
// pump only when the display has something, a slice ends, or something was
// drawn; without X, or while SDL watches game controllers for the tilt, it
// sleeps in SDL_WaitEventTimeout instead.
#pragma once

#include "options.h"
#include "zt/host.h"

#include <memory>
#include <optional>
#include <string>

namespace zt::desktop {

class DesktopHost final : public host::Host {
  public:
    DesktopHost();
    ~DesktopHost() override;

    // Before the platform boots: keeps the options and brings SDL's video up.
    // False, with `error` saying why in one line, when there is no display.
    bool open_display(const Options& options, std::string& error);

    host::ClockKind clock_kind() const override { return host::ClockKind::Real; }
    void boot() override;
    host::IdleAction idle(DWORD timeout) override;
    void wake() override;
    void present(HWND window, const gfx::Surface& frame) override;
    void animate_window(HWND window, int type, bool show) override;

    // Process exit, after the application object is gone: the shell's
    // thread stops and SDL lets go of the display.
    void shutdown();

  private:
    struct State;

    // idle()'s steps, in the order it takes them.
    int sensor_wait(int wait, bool& redraw);
    bool can_wait_on_display(int wait) const;
    std::optional<host::IdleAction> wait_on_display(int wait);
    bool pump_events(bool block, int wait);
    bool window_event_redraws(int windowEvent);

    // Puts the screen with the host's overlays into the texture, and the
    // texture into the window `lowered` phone pixels below its place.
    void upload();
    void draw(int lowered);
    void milestone(const char* what) const;

    std::unique_ptr<State> m_state;
};

DesktopHost& desktop_host();

} // namespace zt::desktop
