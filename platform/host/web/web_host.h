// The web host: the phone in a browser page, on the real clock read once a
// turn, on the page's one thread. Frames go to a canvas; pointers, keys,
// motion and visibility come back as the window's messages and the
// accelerometer's readings. The page's thread cannot block, so the
// application's loop runs a turn at a time: the page calls turn() at the
// next input or timer and is idle in between.
#pragma once

#include "options.h"
#include "zt/host.h"

#include <memory>

namespace zt::web {

class WebHost final : public host::Host {
  public:
    WebHost();
    ~WebHost() override;

    host::ClockKind clock_kind() const override { return host::ClockKind::Turns; }
    std::uint64_t turn_clock() const override;
    void boot() override;
    host::IdleAction idle(DWORD timeout) override;
    void present(HWND window, const gfx::Surface& frame) override;
    void animate_window(HWND window, int type, bool show) override;
    void debug_output(std::string_view utf8) override;

    // Runs the application's loop from now on: the first turn at once, then
    // one at each input or timer the loop waits for. `turn` handles every
    // message waiting and returns FALSE once the loop has ended
    // (MzRunWaitingMessages). Returns after the first turn.
    void run_loop(BOOL (*turn)(int* exitCode));
    // One turn: the page's input to the application (when `eventsQueued`:
    // most timer ticks have none, and asking the page costs a call out), the
    // waiting messages, the host's work before the page sleeps, all at `at`
    // (performance.now() for the turn: a timer's tick knows it without
    // asking). Returns when the page is to run the next turn, on the
    // platform's clock (whole ms of performance.now()), kUntilEvent, or
    // kLoopEnded.
    double turn(bool eventsQueued, double at);
    static constexpr double kUntilEvent = -1;
    static constexpr double kLoopEnded = -2;

    // `work` runs at the end of a turn a little after the first frame is
    // shown, and again in each following turn while it returns true: the
    // program's chance to get ready for what comes next, in small steps.
    void after_first_frame(bool (*work)());

    struct State;

  private:
    std::unique_ptr<State> m_state;
};

WebHost& web_host();

} // namespace zt::web
