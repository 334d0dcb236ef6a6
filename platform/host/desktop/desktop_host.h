// The desktop host: the phone in an SDL window on the real clock. Its
// primitives (zt/host/core.h): a streaming texture as the output, SDL's events as the event source (mouse, touch, keys,
// focus, close: the window's close button, Ctrl+Q, Ctrl+W), and a wait on the X connection and a wake descriptor
// (DisplayWait) in slices of at most a second, SDL's event pump running only when the display has something, a slice
// ends, or something was drawn; without X, or while SDL watches game controllers for the tilt, it waits in
// SDL_WaitEventTimeout instead.
#pragma once

#include "options.h"
#include "zt/host/core.h"

#include <memory>
#include <string>

namespace zt::desktop {

class DesktopHost final : public host::WaitingDriver {
  public:
    DesktopHost();
    ~DesktopHost() override;

    // Before the platform boots: keeps the options and brings SDL's video up;
    // `guides` are the program's lines for the rehearsal overlay. False,
    // with `error` saying why in one line, when there is no display.
    bool open_display(const Options& options, const host::RehearsalGuides& guides, std::string& error);
    host::Core& core() { return m_core; }

    void boot(host::Core& core) override;
    // Process exit, after the application object is gone and the core has
    // stopped the phone: SDL lets go of the display.
    void end() override;
    void show(const gfx::Surface& screen, const gfx::Surface::Area& changed, int lowered) override;
    void events(host::Core& core) override;
    void wait(std::uint64_t deadline) override;
    void wake() override;
    host::Phone::Rehearsal rehearsal() override;
    bool reading_polled() const override;

  private:
    struct State;

    void wait_on_display(int wait, std::uint64_t now);
    void milestone(const char* what) const;

    std::unique_ptr<State> m_state;
    host::Core m_core{*this};
};

DesktopHost& desktop_host();

} // namespace zt::desktop
