// The phone as every host runs it. The core is the platform's host
// (zt::host::Host) and owns the policy: it boots and stops the phone, runs the
// application's loop a turn at a time, takes the host's input to the
// application's window, presents the screen to the output with only what
// changed, decides when the overlays are stale, and steps the slide-in of
// AnimateWindow. A host writes only a driver, its primitives: an output, an
// event source, and, for a host whose thread can block, a way to wait and be
// woken. Its loop model is the driver's base: a WaitingDriver (Core::run()
// turns and waits through it) or a TurnDriver (the host calls Core::turn()
// itself). One loop for every host: a turn (the input, then every message
// waiting), then the deadline of the next one, then the wait until it.
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

// What every host writes. Not derived from directly: a host's driver is a
// WaitingDriver or a TurnDriver (below), which says how its loop runs.
class Driver {
  public:
    virtual ~Driver() = default;

    // ClockKind::Turns (Core::Options::clock): the steady clock's ms for the
    // turn the host is running.
    virtual std::uint64_t turn_clock() const { return 0; }

    // From the platform's boot, once the phone is up: the host opens what it
    // shows and reads (an "ACC0:" source of its own included).
    virtual void boot(Core& core) { (void)core; }
    // At process exit, once the application object is gone and the core has
    // stopped the phone: the host lets go of what it opened.
    virtual void end() {}

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

    // ----- what the overlays show
    // The rehearsal overlay's reading and lines now.
    virtual Phone::Rehearsal rehearsal() { return {}; }
    // True while the reading changes with no event to say so (a sensor read
    // on demand): the core looks at it every kReadingRefreshMs.
    virtual bool reading_polled() const { return false; }

    // ----- the debug output
    // False: the platform's default (standard error).
    virtual bool debug_output(std::string_view utf8) {
        (void)utf8;
        return false;
    }

  private:
    friend class WaitingDriver;
    friend class TurnDriver;
    Driver() = default;
};

// A host whose thread can block: Core::run() starts the application, then
// turns and waits through wait() until the loop ends. A driver that leaves
// out wait() or wake() cannot be made.
class WaitingDriver : public Driver {
  public:
    // Blocks until `deadline` (now()'s clock; kNoDeadline: none), wake(),
    // or input, whichever comes first; returns at once for a deadline that
    // has passed.
    virtual void wait(std::uint64_t deadline) = 0;
    // Any thread: ends a wait early.
    virtual void wake() = 0;
};

// A host whose thread must never block (a page): it calls Core::start()
// once, then Core::turn() at each input or deadline itself. Core::run()
// refuses it, and a loop of the application's own that would wait inside a
// turn ends the program, saying why.
class TurnDriver : public Driver {};

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
        // The platform's clock (zt/host.h); Virtual starts at startTick.
        ClockKind clock = ClockKind::Real;
        DWORD startTick = 0;
        // The trace channels (zt/sys/trace.h), on from the platform's boot.
        unsigned traceChannels = 0;
        // Whether the phone is taken down at process exit, after the
        // application object (the shell's thread ends, its windows go).
        bool stopPhoneAtExit = true;
        Phone::Options phone;
        // "ACC0:" fed by the phone, reading this until the host or the keys
        // set another; none: the host registers its own source, or none.
        std::optional<drivers::RawReading> accelerometer;
        // Whether the arrows and F tilt that feed.
        bool keysTilt = false;
    };

    explicit Core(WaitingDriver& driver);
    explicit Core(TurnDriver& driver);
    ~Core() override;
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    // Before the platform boots.
    void configure(const Options& options);

    // ----- the loop
    // For a WaitingDriver: starts the application (MzStartApp), runs the
    // loop until it ends, and returns the exit code. A TurnDriver's core
    // refuses at once (MZ_EXIT_INIT_FAILED), saying why.
    int run();
    // For a host that runs the turns itself: start() once (false: the
    // application could not start), then turn() whenever input came
    // (TurnInput::Take) or the deadline it returned has come.
    bool start();
    // Whether a turn asks the driver for its input (Driver::events) first.
    enum class TurnInput { Take, Skip };
    // One turn: the host's input, every message waiting, the overlays and the
    // slide-in. Returns the next turn's deadline on now()'s clock
    // (kNoDeadline: none until input), or none once the loop has ended.
    std::optional<std::uint64_t> turn(TurnInput input);
    int exit_code() const { return m_exitCode; }

    // ----- for the driver
    Phone& phone() { return m_phone; }
    Input& input() { return m_input; }
    // The output lost what it showed (`blank`: a new canvas) or must show it
    // again (exposed): the next turn shows the screen.
    void refresh(bool blank);

    // ----- zt::host::Host
    ClockKind clock_kind() const override { return m_options.clock; }
    std::uint64_t turn_clock() const override { return m_driver.turn_clock(); }
    DWORD start_tick() const override { return m_options.startTick; }
    void boot() override;
    bool idle(DWORD timeout) override;
    void wake() override;
    void application_gone() override;
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
    // Null for a TurnDriver.
    WaitingDriver* const m_waiting;
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
