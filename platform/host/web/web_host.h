// The web host: the phone in a browser page, on the page's one thread. Its
// primitives (zt/host/core.h): the steady clock as the page read it for the
// turn (ClockKind::Turns), the page's canvas as the output (the rectangle
// that changed, lowered while the window slides in), the page's queue of
// pointers, keys, motion, visibility and size as the event source, and no
// wait: the page's thread must never block, so the page runs the core's
// turns itself (zt_page_turn) at the next input or deadline and is idle in
// between. The motion sensor's sign (tilt_source.h) is the page's own.
#pragma once

#include "zt/host/core.h"

#include <memory>

namespace zt::web {

class WebHost final : public host::TurnDriver {
  public:
    WebHost();
    ~WebHost() override;

    // Before the platform boots: reads the page's options from its address
    // and configures core() with them; `guides` are the program's lines for
    // the rehearsal overlay.
    void configure(const host::RehearsalGuides& guides);
    host::Core& core() { return m_core; }

    // Starts the application (MzStartApp) and hands its loop to the page,
    // which runs the first turn at once. False when the application could
    // not start (core().exit_code() says how).
    bool run();
    // One turn at `at` (performance.now(): a timer's tick knows it without
    // asking): the page's input when `eventsQueued` (most ticks have none,
    // and asking the page costs a call out), the core's turn, then the
    // warm-up's step. Returns when the page is to run the next turn, on the
    // platform's clock (whole ms of performance.now()), kUntilEvent, or
    // kLoopEnded.
    double turn(bool eventsQueued, double at);
    static constexpr double kUntilEvent = -1;
    static constexpr double kLoopEnded = -2;

    // `work` runs at the end of a turn a little after the first frame is
    // shown, and again in each following turn while it returns true: the
    // program's chance to get ready for what comes next, in small steps.
    void after_first_frame(bool (*work)());

    std::uint64_t turn_clock() const override;
    void boot(host::Core& core) override;
    void show(const gfx::Surface& screen, const gfx::Surface::Area& changed, int lowered) override;
    void events(host::Core& core) override;
    host::Phone::Rehearsal rehearsal() override;
    bool debug_output(std::string_view utf8) override;

    struct State;

  private:
    void take_event(int kind, const double* fields);
    void feed_tilt(bool changed, bool tookOver = false);
    void read_page_size();

    std::unique_ptr<State> m_state;
    host::Core m_core{*this};
};

WebHost& web_host();

} // namespace zt::web
