#include "web_host.h"

#include "page.h"
#include "pointer.h"
#include "rehearsal_status.h"
#include "tilt_source.h"
#include "zt/drivers/simulated_accelerometer.h"
#include "zt/gfx/surface.h"
#include "zt/host/geometry.h"
#include "zt/host/phone.h"
#include "zt/screen.h"
#include "zt/sys/trace.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace zt::web {

namespace {

// The slide-in of AnimateWindow, as on the desktop.
constexpr int kSlideMilliseconds = 120;
// After the first frame, the page is left to show it (and to slide it in)
// before the work waiting for it runs.
constexpr double kAfterFirstFrameMilliseconds = 150;
// How often the rehearsal overlay's readings are brought up to date: motion
// streams at 60 Hz or more, each change a whole frame.
constexpr double kReadingRefreshMilliseconds = 50;

} // namespace

struct WebHost::State {
    Options options;
    std::unique_ptr<TiltSource> tilt;
    host::Phone phone;
    PointerInput pointer;

    int pageWidth = 0;
    int pageHeight = 0;

    // The composed screen in the canvas's byte order, and which surface and
    // version of it the canvas holds.
    std::vector<std::uint32_t> rgba = std::vector<std::uint32_t>(SCREEN_WIDTH * SCREEN_HEIGHT);
    std::uint64_t shownIdentity = 0;
    std::uint64_t shownVersion = 0;
    double firstFrameAt = 0;
    bool (*afterFirstFrame)() = nullptr;

    // The platform's clock: performance.now() in whole ms, for the turn
    // running (ClockKind::Turns).
    std::uint64_t clock = 0;

    PageStatus page;
    double readingDrawnAt = 0;
    // The rehearsal lines the page was last told (zt_page_rehearsal_lines).
    std::vector<std::string> linesPublished;

    std::vector<host::WindowMessage> pending;
    BOOL (*turn)(int* exitCode) = nullptr;
};

WebHost::WebHost() : m_state(std::make_unique<State>()) {}
WebHost::~WebHost() = default;

WebHost& web_host() {
    // Never destroyed: the platform may call its host until the very end.
    static WebHost* const host = new WebHost();
    return *host;
}

namespace {

void read_page_size(WebHost::State& s) {
    double fields[3] = {};
    zt_page_size(fields);
    s.pageWidth = std::max(0, static_cast<int>(fields[0]));
    s.pageHeight = std::max(0, static_cast<int>(fields[1]));
    const host::Rect view = host::viewport(s.pageWidth, s.pageHeight);
    zt_page_layout(view.x, view.y, view.w, view.h);
    // A canvas given a new size is blank: the next show puts it all.
    s.shownIdentity = 0;
}

// The reading the rehearsal overlay shows now, and the whole overlay.
std::optional<drivers::RawReading> shown_reading(const WebHost::State& s) {
    return s.tilt->has_device() ? std::optional(s.tilt->reading()) : std::nullopt;
}

host::Phone::Rehearsal rehearsal(const WebHost::State& s) {
    return {shown_reading(s), rehearsal_lines(*s.tilt, s.page)};
}

void publish_lines(WebHost::State& s, const std::vector<std::string>& lines) {
    if (lines == s.linesPublished)
        return;
    s.linesPublished = lines;
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    zt_page_rehearsal_lines(text.c_str());
}

// The screen with the phone's overlays, to the canvas: only what changed
// since the canvas last got it (a reveal's second paint is two ranks, not
// the card).
void show(WebHost::State& s, double now) {
    const gfx::Surface& screen = s.phone.compose(s.phone.rehearsing() ? rehearsal(s) : host::Phone::Rehearsal{});
    if (s.phone.rehearsing()) {
        s.readingDrawnAt = now;
        publish_lines(s, s.phone.rehearsal_drawn().lines);
    }
    gfx::Surface::Area area{0, 0, screen.width(), screen.height()};
    if (screen.identity() == s.shownIdentity)
        area = screen.written_bounds_since(s.shownVersion);
    s.shownIdentity = screen.identity();
    s.shownVersion = screen.version();
    // 0xAARRGGBB words to the canvas's R, G, B, A bytes.
    for (int y = area.top; y < area.bottom; ++y) {
        const std::uint32_t* in = screen.row(y);
        std::uint32_t* out = s.rgba.data() + static_cast<std::size_t>(y) * SCREEN_WIDTH;
        for (int x = area.left; x < area.right; ++x) {
            const std::uint32_t p = in[x];
            out[x] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
        }
    }
    zt_page_present(reinterpret_cast<const std::uint8_t*>(s.rgba.data()), area.left, area.top, area.right - area.left,
                    area.bottom - area.top);
}

double now_ms() {
    return static_cast<double>(host::now());
}

host::TiltKey tilt_key(int code) {
    switch (code) {
    case 0:
        return host::TiltKey::Up;
    case 1:
        return host::TiltKey::Down;
    case 2:
        return host::TiltKey::Left;
    case 3:
        return host::TiltKey::Right;
    default:
        return host::TiltKey::Flip;
    }
}

} // namespace

void WebHost::boot() {
    State& s = *m_state;
    // The start-up is the first turn.
    s.clock = static_cast<std::uint64_t>(emscripten_get_now());
    // The whole query, however long: an option past a fixed buffer would
    // be dropped, or cut mid-value, without a word.
    std::vector<char> query(static_cast<std::size_t>(std::max(zt_page_query(nullptr, 0), 0)) + 1);
    zt_page_query(query.data(), static_cast<int>(query.size()));
    std::vector<std::string> problems;
    s.options = parse_query(query.data(), problems);
    for (const std::string& problem : problems)
        zt_page_log(1, ("zentrick: " + problem).c_str());
    s.tilt = std::make_unique<TiltSource>(s.options);
    if (s.options.traceChannels != 0) {
        trace::set_sink([](std::string_view line) { web_host().debug_output(line); });
        trace::enable(s.options.traceChannels);
    }

    zt_page_start(s.options.rehearse ? 1 : 0);
    read_page_size(s);

    // No second thread in a page: the shell's windows live on this one.
    host::Phone::Options phone;
    phone.shell.ownThread = false;
    phone.rehearse = s.options.rehearse;
    s.phone.start(phone);

    if (s.tilt->has_device() && !s.phone.add_accelerometer(s.tilt->reading()))
        zt_page_log(2, "zentrick: ACC0: is taken");
}

void WebHost::present(HWND window, const gfx::Surface& frame) {
    State& s = *m_state;
    const bool first = !s.phone.has_frame();
    if (!s.phone.present(window, frame))
        return;
    const double now = now_ms();
    if (first)
        s.firstFrameAt = now;
    show(s, now);
}

void WebHost::after_first_frame(bool (*work)()) {
    m_state->afterFirstFrame = work;
}

void WebHost::animate_window(HWND window, int type, bool show) {
    (void)type;
    if (!show)
        return;
    // As AnimateWindow does: the window becomes visible and paints itself;
    // the page slides that picture into place without holding the loop up.
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    zt_page_slide_in(kSlideMilliseconds);
}

void WebHost::debug_output(std::string_view utf8) {
    std::string line(utf8);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    zt_page_log(0, line.c_str());
}

namespace {

// Redraws the overlays whose content changed without a paint.
void redraw_outdated_overlays(WebHost::State& s, double now) {
    if (!s.phone.has_frame())
        return;
    bool redraw = s.phone.taskbar_stale();
    if (s.options.rehearse) {
        const host::Phone::Rehearsal& shown = s.phone.rehearsal_drawn();
        const host::Phone::Rehearsal current = rehearsal(s);
        if (current.lines != shown.lines ||
            (current.reading != shown.reading && now - s.readingDrawnAt >= kReadingRefreshMilliseconds))
            redraw = true;
    }
    if (redraw)
        show(s, now);
}

// When the page is to run the next turn: the loop's `next` deadline, the
// shown reading's refresh, or the taskbar clock's next look (ms on the
// platform's clock; kUntilEvent: at the next event).
double page_deadline(const WebHost::State& s, std::uint64_t next, double now) {
    double deadline = next == host::kNoDeadline ? WebHost::kUntilEvent : static_cast<double>(next);
    const auto sooner = [&](double at) { deadline = deadline < 0 ? at : std::min(deadline, at); };
    if (s.options.rehearse && shown_reading(s) != s.phone.rehearsal_drawn().reading)
        sooner(now + std::max(std::ceil(kReadingRefreshMilliseconds - (now - s.readingDrawnAt)), 1.0));
    if (const int look = s.phone.overlay_wait(-1); look >= 0)
        sooner(now + look);
    return deadline;
}

// Hands "ACC0:" the tilt's reading when it changed.
void feed_accelerometer(WebHost::State& s, bool changed) {
    if (changed && s.phone.accelerometer())
        s.phone.accelerometer()->set_reading(s.tilt->reading());
}

void take_pointer(WebHost::State& s, int kind, const double* f) {
    PointerEvent e;
    e.phase = kind == kPointerDown   ? PointerPhase::Down
              : kind == kPointerMove ? PointerPhase::Move
              : kind == kPointerUp   ? PointerPhase::Up
                                     : PointerPhase::Cancel;
    e.id = static_cast<int>(f[0]);
    e.button = static_cast<int>(f[1]);
    e.x = f[2];
    e.y = f[3];
    e.buttons = static_cast<int>(f[4]);
    if (e.phase == PointerPhase::Down)
        feed_accelerometer(s, s.tilt->tap(s.clock));
    s.pointer.translate(e, s.pageWidth, s.pageHeight, s.pending);
}

// Takes one event the page queued.
void take_event(WebHost::State& s, int kind, const double* f) {
    switch (kind) {
    case kPointerDown:
    case kPointerMove:
    case kPointerUp:
    case kPointerCancel:
        take_pointer(s, kind, f);
        break;
    case kKey:
        feed_accelerometer(s, s.tilt->key(tilt_key(static_cast<int>(f[0])), f[1] != 0));
        break;
    case kMotion:
        feed_accelerometer(s, s.tilt->motion(f[0], f[1], f[2], s.clock));
        break;
    case kOrientation:
        feed_accelerometer(s, s.tilt->orientation(f[0], f[1], s.clock));
        break;
    case kActive:
        if (f[0] == 0)
            feed_accelerometer(s, s.tilt->release_arrows());
        s.pending.push_back({WM_ACTIVATE, static_cast<WPARAM>(f[0] != 0 ? WA_ACTIVE : WA_INACTIVE), 0});
        break;
    case kResize:
        read_page_size(s);
        if (s.phone.has_frame())
            show(s, now_ms());
        break;
    case kPermission:
        s.tilt->set_permission(static_cast<MotionPermission>(std::clamp(static_cast<int>(f[0]), 0, 3)));
        break;
    case kPageStatus:
        s.page.wakeLock = static_cast<WakeLockState>(std::clamp(static_cast<int>(f[0]), 0, 4));
        s.page.installed = f[1] != 0;
        break;
    default:
        break;
    }
}

// The host's turn before the page sleeps: the warm-up, the overlays, and
// when the page is to run the next turn, given the loop's `next` deadline.
double before_sleep(WebHost::State& s, std::uint64_t next) {
    const double now = now_ms();
    if (s.afterFirstFrame != nullptr && s.phone.has_frame() && now >= s.firstFrameAt + kAfterFirstFrameMilliseconds &&
        !s.afterFirstFrame())
        s.afterFirstFrame = nullptr;
    redraw_outdated_overlays(s, now);
    return page_deadline(s, next, now);
}

// What the page queued meanwhile, to the application.
void take_page_events(WebHost::State& s) {
    double f[8];
    for (int kind = zt_page_next_event(f); kind != 0; kind = zt_page_next_event(f))
        take_event(s, kind, f);
    s.phone.post(s.pending);
}

} // namespace

host::IdleAction WebHost::idle(DWORD timeout) {
    (void)timeout;
    // The page's one thread must not block: the loop runs a turn at a time
    // (run_loop) and never waits in GetMessageW. A wait here would hang the
    // page, so it stops the program at once and says why.
    zt_page_log(2, "zentrick: a wait (for a message, a time or an event) would hang the page's only thread; "
                   "the loop runs a turn at a time and nothing else may wait");
    std::abort();
}

void WebHost::run_loop(BOOL (*turn)(int* exitCode)) {
    m_state->turn = turn;
    zt_page_loop();
}

std::uint64_t WebHost::turn_clock() const {
    return m_state->clock;
}

double WebHost::turn(bool eventsQueued, double at) {
    State& s = *m_state;
    s.clock = std::max(s.clock, static_cast<std::uint64_t>(std::max(at, 0.0)));
    if (s.turn == nullptr)
        return kLoopEnded;
    if (eventsQueued)
        take_page_events(s);
    int code = 0;
    if (!s.turn(&code)) {
        s.turn = nullptr;
        return kLoopEnded;
    }
    return before_sleep(s, host::loop_deadline());
}

} // namespace zt::web

double zt_page_turn(int eventsQueued, double at) {
    return zt::web::web_host().turn(eventsQueued != 0, at);
}
