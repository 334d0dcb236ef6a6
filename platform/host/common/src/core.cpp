// The phone's policy, written once for every host: the loop, presenting,
// the overlays' freshness, the slide-in and the input.
#include "zt/host/core.h"

#include "zt/framework.h"
#include "zt/sys/trace.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>

namespace zt::host {

int slide_offset(std::uint64_t elapsed) {
    if (elapsed >= kSlideMs)
        return 0;
    const double t = static_cast<double>(elapsed) / kSlideMs;
    const double eased = 1 - (1 - t) * (1 - t) * (1 - t);
    return static_cast<int>((1 - eased) * SCREEN_HEIGHT);
}

RehearsalCheck check_rehearsal(const Phone::Rehearsal& drawn, std::uint64_t drawnAt, const Phone::Rehearsal& now,
                               std::uint64_t at) {
    if (now.lines != drawn.lines)
        return {true, kNoDeadline};
    if (now.reading == drawn.reading)
        return {false, kNoDeadline};
    const std::uint64_t due = drawnAt + kReadingRefreshMs;
    return at >= due ? RehearsalCheck{true, kNoDeadline} : RehearsalCheck{false, due};
}

Core::Core(WaitingDriver& driver) : m_driver(driver), m_waiting(&driver) {}
Core::Core(TurnDriver& driver) : m_driver(driver), m_waiting(nullptr) {}
Core::~Core() = default;

void Core::configure(const Options& options) {
    m_options = options;
    trace::enable(m_options.traceChannels);
}

void Core::boot() {
    m_phone.start(m_options.phone);
    if (m_options.accelerometer) {
        const auto& feed = m_phone.add_accelerometer(*m_options.accelerometer);
        if (feed && m_options.keysTilt)
            m_input.keys_tilt(feed);
    }
    m_driver.boot(*this);
}

void Core::application_gone() {
    if (m_options.stopPhoneAtExit)
        m_phone.stop();
    m_driver.end();
}

void Core::wake() {
    if (m_waiting != nullptr)
        m_waiting->wake();
}

void Core::debug_output(std::string_view utf8) {
    if (!m_driver.debug_output(utf8))
        Host::debug_output(utf8);
}

bool Core::start() {
    if (MzStartApp())
        return true;
    m_ended = true;
    m_exitCode = MZ_EXIT_INIT_FAILED;
    return false;
}

int Core::run() {
    if (m_waiting == nullptr) {
        debug_output("zentrick: Core::run() needs a host that waits (a WaitingDriver); this one runs the turns "
                     "itself (Core::start, then Core::turn)\n");
        m_ended = true;
        m_exitCode = MZ_EXIT_INIT_FAILED;
        return m_exitCode;
    }
    if (!start())
        return m_exitCode;
    TurnInput input = TurnInput::Skip;
    for (;;) {
        const std::optional<std::uint64_t> next = turn(input);
        if (!next)
            return m_exitCode;
        // A deadline already past: the driver's wait returns at once.
        if (*next != 0)
            m_waiting->wait(*next);
        input = TurnInput::Take;
    }
}

std::optional<std::uint64_t> Core::turn(TurnInput input) {
    if (m_ended)
        return std::nullopt;
    if (input == TurnInput::Take)
        m_driver.events(*this);
    // Also when no event came: activation waits here for the window.
    m_phone.post(m_input.pending());
    int code = 0;
    if (!MzRunWaitingMessages(&code)) {
        m_ended = true;
        m_exitCode = code;
        return std::nullopt;
    }
    return after_turn();
}

std::uint64_t Core::after_turn() {
    std::uint64_t next = loop_deadline();
    if (!m_driver.shows_frames() || !m_phone.has_frame())
        return next;
    bool redraw = m_refresh || m_phone.taskbar_stale();
    // The clock only where something needs it: an idle tick of a host with
    // no overlay running reads none here.
    const bool timed = redraw || m_sliding || m_phone.rehearsing() || m_phone.taskbar_drawn();
    if (!timed)
        return next;
    const std::uint64_t at = now();
    if (m_sliding) {
        // A step that has not moved the window (the turn AnimateWindow
        // showed it in) shows nothing again.
        const int lowered = slide_offset(at - m_slideStart);
        redraw = redraw || lowered != m_lowered;
        m_lowered = lowered;
        m_sliding = m_lowered != 0;
        if (m_sliding)
            next = std::min(next, at + kSlideFrameMs);
    }
    // What the rehearsal overlay would show, when read this turn: the
    // redraw shows that, reading it no second time.
    std::optional<Phone::Rehearsal> looked;
    if (m_phone.rehearsing()) {
        const bool polled = m_driver.reading_polled();
        // A polled reading is read (from its files) once a refresh at most.
        if (!polled || at - m_readingLookedAt >= kReadingRefreshMs) {
            m_readingLookedAt = at;
            looked = m_driver.rehearsal();
            const RehearsalCheck check = check_rehearsal(m_phone.rehearsal_drawn(), m_readingDrawnAt, *looked, at);
            redraw = redraw || check.redraw;
            next = std::min(next, check.lookAt);
        }
        if (polled)
            next = std::min(next, m_readingLookedAt + kReadingRefreshMs);
    }
    if (redraw)
        show(at, std::move(looked));
    if (const int look = m_phone.overlay_wait(); look >= 0)
        next = std::min(next, at + static_cast<std::uint64_t>(look));
    return next;
}

void Core::show(std::uint64_t at, std::optional<Phone::Rehearsal> rehearsal) {
    if (m_phone.rehearsing()) {
        // A reading read here counts as looked at: a polled one (a present,
        // a slide step) is not read again within the refresh.
        if (!rehearsal) {
            rehearsal = m_driver.rehearsal();
            m_readingLookedAt = at;
        }
        m_readingDrawnAt = at;
    }
    const gfx::Surface& screen = rehearsal ? m_phone.compose(*rehearsal) : m_phone.compose();
    // A refresh asked for is answered by any show: the output is given
    // the screen again (all of it after a blank).
    m_refresh = false;
    gfx::Surface::Area changed{0, 0, screen.width(), screen.height()};
    if (screen.identity() == m_shownIdentity)
        changed = screen.written_bounds_since(m_shownVersion);
    m_shownIdentity = screen.identity();
    m_shownVersion = screen.version();
    m_driver.show(screen, changed, m_lowered);
}

void Core::refresh(bool blank) {
    m_refresh = true;
    if (blank)
        m_shownIdentity = 0;
}

void Core::present(HWND window, const gfx::Surface& frame) {
    if (!m_driver.shows_frames() || !m_phone.present(window, frame) || m_holding)
        return;
    show(now());
}

void Core::animate_window(HWND window, int type, bool show) {
    (void)type;
    if (!show || !m_driver.shows_frames() || !is_boot_thread())
        return;
    // As AnimateWindow does: the window becomes visible and paints itself,
    // and that picture moves into place, a step each turn.
    m_holding = true;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    m_holding = false;
    if (!m_phone.has_frame())
        return;
    m_slideStart = now();
    m_sliding = true;
    m_lowered = SCREEN_HEIGHT;
    this->show(m_slideStart);
}

bool Core::idle(DWORD timeout) {
    // A loop of the application's own inside a turn (GetMessageW): the host
    // waits and hands its input as between turns.
    if (m_waiting == nullptr) {
        debug_output("zentrick: a wait (for a message, a time or an event) would hang the page's only thread; "
                     "the loop runs a turn at a time and nothing else may wait");
        std::abort();
    }
    m_waiting->wait(timeout == INFINITE ? kNoDeadline : now() + timeout);
    m_driver.events(*this);
    m_phone.post(m_input.pending());
    return true;
}

} // namespace zt::host
