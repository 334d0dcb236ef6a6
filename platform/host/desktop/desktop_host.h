// The desktop host: the phone in an SDL window on the real clock. The
// application's frames go to a streaming texture; mouse, touch, focus and
// close come back as the window's messages; between them the loop sleeps in
// SDL_WaitEventTimeout until the next event or timer.
#pragma once

#include "options.h"
#include "zt/host.h"

#include <memory>
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

    struct State;

  private:
    std::unique_ptr<State> m_state;
};

DesktopHost& desktop_host();

} // namespace zt::desktop
