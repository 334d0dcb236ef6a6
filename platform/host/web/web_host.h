// The web host: the phone in a browser page, on the real clock, on the
// page's one thread. Frames go to a canvas; pointers, keys, motion and
// visibility come back as the window's messages and the accelerometer's
// readings. Between them the loop sleeps in idle() (Asyncify), so the page
// is idle until the next input or timer.
#pragma once

#include "options.h"
#include "zt/host.h"

#include <memory>

namespace zt::web {

class WebHost final : public host::Host {
  public:
    WebHost();
    ~WebHost() override;

    host::ClockKind clock_kind() const override { return host::ClockKind::Real; }
    void boot() override;
    host::IdleAction idle(DWORD timeout) override;
    void present(HWND window, const gfx::Surface& frame) override;
    void animate_window(HWND window, int type, bool show) override;
    void debug_output(std::string_view utf8) override;

    // `work` runs in an idle turn a little after the first frame is shown,
    // and again in each following idle turn while it returns true: the
    // program's chance to get ready for what comes next, in small steps.
    void after_first_frame(bool (*work)());

    struct State;

  private:
    std::unique_ptr<State> m_state;
};

WebHost& web_host();

} // namespace zt::web
