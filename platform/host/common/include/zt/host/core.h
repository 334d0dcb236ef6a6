// The phone as every host runs it. The core is the platform's host
// (zt::host::Host) and owns the policy: it boots and stops the phone, runs the
// application's loop a turn at a time, takes the host's input to the
// application's window, presents the screen to the output with only what
// changed, decides when the overlays are stale, and steps the slide-in of
// AnimateWindow. A host writes only a Driver, its primitives: a clock, an
// output, an event source, and a way to wait and be woken. One loop for
// every host: a turn (the input, then every message waiting), then the
// deadline of the next one, then the host's wait until it.
#pragma once

#include "zt/gfx/surface.h"
#include "zt/host.h"
#include "zt/host/input.h"
#include "zt/host/phone.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace zt::host {

class Core;

class Driver {
  public:
    virtual ~Driver() = default;

    // ----- the clock (zt/host.h)
    virtual ClockKind clock_kind() const = 0;
    virtual std::uint64_t turn_clock() const { return 0; }
    virtual DWORD start_tick() const { return 0; }

    // From the platform's boot, once the phone is up: the host opens what it
    // shows and reads (an "ACC0:" source of its own included).
    virtual void boot(Core& core) { (void)core; }

    // ----- the output
    // False for a host that looks only when asked (Phone::capture): the core
    // then neither presents nor keeps the overlays fresh.
    virtual bool shows_frames() const { return true; }
    // Shows `screen` (the phone's, overlays drawn) lowered by `lowered` phone
    // pixels; only `changed` differs from what the output was last given
    // (empty: nothing did, the place may have).
    virtual void show(const gfx::Surface& screen, const gfx::Surface::Area& changed, int lowered) {
        (void)screen, (void)changed, (void)lowered;
    }

    // ----- the event source
    // Hands `core` (Core::input) what happened since the last call, without
    // waiting.
    virtual void events(Core& core) = 0;

    // ----- waiting
    // Blocks until `deadline` (now()'s clock; kNoDeadline: none), wake(),
    // or input, whichever comes first; returns at once for a deadline that
    // has passed. A host whose thread must never block (a page) runs the
    // turns itself (Core::turn) and ends the program here.
    virtual void wait(std::uint64_t deadline) { (void)deadline; }
    // Any thread: ends a wait early.
    virtual void wake() {}

    // ----- what the overlays show
    // The rehearsal overlay's reading and lines now.
    virtual Phone::Rehearsal rehearsal() { return {}; }
    // True while the reading changes with no event to say so (a sensor read
    // on demand): the core looks at it every kReadingRefreshMs.
    virtual bool reading_polled() const { return false; }

    // ----- the rest of the Host interface (no host stands in for the
    // display driver: its escapes get the Host's "not supported")
    // False: the platform's default (standard error).
    virtual bool debug_output(std::string_view utf8) {
        (void)utf8;
        return false;
    }
};

// The slide-in of AnimateWindow, short enough not to hold the performer up.
constexpr std::uint64_t kSlideMs = 120;
constexpr std::uint64_t kSlideFrameMs = 15;
// How far below its place the screen is `elapsed` ms into the slide-in
// (eased out: fast, then settling); 0 from kSlideMs on.
int slide_offset(std::uint64_t elapsed);

// How often a rehearsal display of changing readings is brought up to date:
// sensors stream at 60 Hz or more, each change a whole frame.
constexpr std::uint64_t kReadingRefreshMs = 50;

// What the rehearsal overlay needs, given what it showed (`drawn`, at
// `drawnAt`) and what it would show now: a redraw now when the lines
// changed or a changed reading is due, else the time to look again (a
// changed reading waits out the refresh; kNoDeadline: nothing to wait for).
struct RehearsalCheck {
    bool redraw = false;
    std::uint64_t lookAt = kNoDeadline;
    bool operator==(const RehearsalCheck&) const = default;
};
RehearsalCheck check_rehearsal(const Phone::Rehearsal& drawn, std::uint64_t drawnAt, const Phone::Rehearsal& now,
                               std::uint64_t at);

class Core final : public Host {
  public:
    struct Options {
        Phone::Options phone;
        // "ACC0:" fed by the phone, reading this until the host or the keys
        // set another; none: the host registers its own source, or none.
        std::optional<drivers::RawReading> accelerometer;
        // Whether the arrows and F tilt that feed.
        bool keysTilt = false;
    };

    explicit Core(Driver& driver);
    ~Core() override;
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    // Before the platform boots.
    void configure(const Options& options);

    // ----- the loop
    // For a host that can wait: starts the application (MzStartApp), runs
    // the loop until it ends, and returns the exit code.
    int run();
    // For a host that runs the turns itself: start() once (false: the
    // application could not start), then turn() whenever input came
    // (`events`) or the deadline it returned has come.
    bool start();
    // One turn: the host's input (when `events`), every message waiting, the
    // overlays and the slide-in. Returns the next turn's deadline on now()'s
    // clock (kNoDeadline: none until input), or kEnded.
    std::uint64_t turn(bool events);
    static constexpr std::uint64_t kEnded = kNoDeadline - 1;
    int exit_code() const { return m_exitCode; }

    // ----- for the driver
    Phone& phone() { return m_phone; }
    Input& input() { return m_input; }
    // The output lost what it showed (`blank`: a new canvas) or must show it
    // again (exposed): the next turn shows the screen.
    void refresh(bool blank);
    // Takes the phone down (the shell's thread ends); for process exit.
    void stop();

    // ----- zt::host::Host
    ClockKind clock_kind() const override { return m_driver.clock_kind(); }
    std::uint64_t turn_clock() const override { return m_driver.turn_clock(); }
    DWORD start_tick() const override { return m_driver.start_tick(); }
    void boot() override;
    bool idle(DWORD timeout) override;
    void wake() override { m_driver.wake(); }
    void present(HWND window, const gfx::Surface& frame) override;
    void animate_window(HWND window, int type, bool show) override;
    void debug_output(std::string_view utf8) override;

  private:
    // The turn's end: the slide-in's step, stale overlays redrawn; returns
    // the next deadline.
    std::uint64_t after_turn();
    // Composes and shows the screen; `rehearsal` is what the rehearsal
    // overlay shows when the caller has read it (none: read now).
    void show(std::uint64_t at, std::optional<Phone::Rehearsal> rehearsal = std::nullopt);

    Driver& m_driver;
    Options m_options;
    Phone m_phone;
    Input m_input;
    bool m_ended = false;
    int m_exitCode = 0;

    // What the output holds: which surface, at which version, where.
    std::uint64_t m_shownIdentity = 0;
    std::uint64_t m_shownVersion = 0;
    bool m_refresh = false;
    // Frames are placed but not shown while AnimateWindow paints the window.
    bool m_holding = false;
    bool m_sliding = false;
    std::uint64_t m_slideStart = 0;
    int m_lowered = 0;
    // When the rehearsal overlay's reading was last drawn, and last read.
    std::uint64_t m_readingDrawnAt = 0;
    std::uint64_t m_readingLookedAt = 0;
};

} // namespace zt::host
