#include "web_host.h"

#include "options.h"
#include "page.h"
#include "pointer.h"
#include "rehearsal_status.h"
#include "tilt_source.h"
#include "zt/acc_protocol.h"
#include "zt/drivers/simulated_accelerometer.h"
#include "zt/host/geometry.h"
#include "zt/screen.h"
#include "zt/sys/trace.h"
#include "zt/sys/unicode.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace zt::web {

namespace {

// After the first frame, the page is left to show it (and to slide it in)
// before the work waiting for it runs.
constexpr std::uint64_t kAfterFirstFrameMilliseconds = 150;

} // namespace

struct WebHost::State {
    Options options;
    std::unique_ptr<TiltSource> tilt;

    int pageWidth = 0;
    int pageHeight = 0;

    // The screen in the canvas's byte order.
    std::vector<std::uint32_t> rgba = std::vector<std::uint32_t>(SCREEN_WIDTH * SCREEN_HEIGHT);
    bool shown = false;
    std::uint64_t firstFrameAt = 0;
    bool (*afterFirstFrame)() = nullptr;

    // The platform's clock: performance.now() in whole ms, for the turn
    // running (ClockKind::Turns).
    std::uint64_t clock = 0;

    PageStatus page;
    // The rehearsal lines the page was last told (zt_page_rehearsal_lines).
    std::vector<std::string> linesPublished;
};

WebHost::WebHost() : m_state(std::make_unique<State>()) {}
WebHost::~WebHost() = default;

WebHost& web_host() {
    // Never destroyed: the platform may call its host until the very end.
    static WebHost* const host = new WebHost();
    return *host;
}

namespace {

// An event's own time (ms, performance.now()'s clock) as the tilt takes it;
// none given (0): the turn's.
std::uint64_t event_time(double at, std::uint64_t turn) {
    return std::isfinite(at) && at > 0 ? static_cast<std::uint64_t>(at) : turn;
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

void WebHost::configure(const host::RehearsalGuides& guides) {
    State& s = *m_state;
    // The start-up's clock, until the first turn says the time.
    s.clock = static_cast<std::uint64_t>(std::max(zt_page_now(), 0.0));
    // The whole query, however long: an option past a fixed buffer would
    // be dropped, or cut mid-value, without a word.
    std::vector<char> query(static_cast<std::size_t>(std::max(zt_page_query(nullptr, 0), 0)) + 1);
    zt_page_query(query.data(), static_cast<int>(query.size()));
    std::vector<std::string> problems;
    s.options = parse_query(query.data(), problems);
    for (const std::string& problem : problems)
        zt_page_log(1, ("zentrick: " + problem).c_str());
    s.tilt = std::make_unique<TiltSource>(s.options);
    if (s.options.traceChannels != 0)
        trace::set_sink([](std::string_view line) { web_host().debug_output(line); });
    host::Core::Options core;
    core.clock = host::ClockKind::Turns;
    core.traceChannels = s.options.traceChannels;
    // No second thread in a page: the shell's windows live on this one.
    core.phone.shell.ownThread = false;
    core.phone.rehearse = s.options.rehearse;
    core.phone.guides = guides;
    if (s.tilt->has_device())
        core.accelerometer = s.tilt->reading();
    core.keysTilt = s.tilt->keys_tilt();
    m_core.configure(core);
}

void WebHost::boot(host::Core& core) {
    State& s = *m_state;
    zt_page_start(s.options.rehearse ? 1 : 0);
    read_page_size();
    if (s.tilt->has_device() && !core.phone().accelerometer())
        zt_page_log(2, ("zentrick: " + sys::to_utf8(ACC_DEVICE_NAME) + " is taken").c_str());
}

bool WebHost::run() {
    if (!m_core.start())
        return false;
    zt_page_loop();
    return true;
}

void WebHost::after_first_frame(bool (*work)()) {
    m_state->afterFirstFrame = work;
}

std::uint64_t WebHost::turn_clock() const {
    return m_state->clock;
}

double WebHost::turn(bool eventsQueued, double at) {
    State& s = *m_state;
    s.clock = std::max(s.clock, static_cast<std::uint64_t>(std::max(at, 0.0)));
    const std::optional<std::uint64_t> next =
        m_core.turn(eventsQueued ? host::Core::TurnInput::Take : host::Core::TurnInput::Skip);
    if (!next)
        return kLoopEnded;
    if (s.afterFirstFrame != nullptr && s.shown && s.clock >= s.firstFrameAt + kAfterFirstFrameMilliseconds &&
        !s.afterFirstFrame())
        s.afterFirstFrame = nullptr;
    return *next == host::kNoDeadline ? kUntilEvent : static_cast<double>(*next);
}

void WebHost::read_page_size() {
    State& s = *m_state;
    double fields[3] = {};
    zt_page_size(fields);
    s.pageWidth = std::max(0, static_cast<int>(fields[0]));
    s.pageHeight = std::max(0, static_cast<int>(fields[1]));
    const host::Rect view = host::viewport(s.pageWidth, s.pageHeight);
    zt_page_layout(view.x, view.y, view.w, view.h);
}

void WebHost::show(const gfx::Surface& screen, const gfx::Surface::Area& changed, int lowered) {
    State& s = *m_state;
    if (!s.shown) {
        s.shown = true;
        s.firstFrameAt = s.clock;
    }
    if (m_core.phone().rehearsing()) {
        // As drawn: for tests and for a look from the browser's console.
        const std::vector<std::string>& lines = m_core.phone().rehearsal_drawn().lines;
        if (lines != s.linesPublished) {
            s.linesPublished = lines;
            std::string text;
            for (const std::string& line : lines)
                text += (text.empty() ? "" : "\n") + line;
            zt_page_rehearsal_lines(text.c_str());
        }
    }
    // 0xAARRGGBB words to the canvas's R, G, B, A bytes, only where they
    // changed (a reveal's second paint is two ranks, not the card).
    for (int y = changed.top; y < changed.bottom; ++y) {
        const std::uint32_t* in = screen.row(y);
        std::uint32_t* out = s.rgba.data() + static_cast<std::size_t>(y) * SCREEN_WIDTH;
        for (int x = changed.left; x < changed.right; ++x) {
            const std::uint32_t p = in[x];
            out[x] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
        }
    }
    zt_page_present(reinterpret_cast<const std::uint8_t*>(s.rgba.data()), changed.left, changed.top,
                    changed.right - changed.left, changed.bottom - changed.top, lowered);
}

host::Phone::Rehearsal WebHost::rehearsal() {
    const auto& feed = m_core.phone().accelerometer();
    const std::optional<drivers::RawReading> reading =
        feed ? std::optional(feed->reading()) : std::optional<drivers::RawReading>();
    return {reading, rehearsal_lines(*m_state->tilt, reading, m_state->page)};
}

bool WebHost::debug_output(std::string_view utf8) {
    std::string line(utf8);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    zt_page_log(0, line.c_str());
    return true;
}

void WebHost::events(host::Core& core) {
    (void)core;
    double fields[8];
    for (int kind = zt_page_next_event(fields); kind != 0; kind = zt_page_next_event(fields))
        take_event(kind, fields);
}

// Hands the accelerometer the motion sensor's reading when it changed, and
// the phone's tilt from the keys to the sensor when it `tookOver`.
void WebHost::feed_tilt(bool changed, bool tookOver) {
    const auto& feed = m_core.phone().accelerometer();
    if (!feed)
        return;
    if (tookOver)
        m_core.input().keys_tilt(nullptr);
    if (changed || tookOver)
        feed->set_reading(m_state->tilt->reading());
}

void WebHost::take_event(int kind, const double* f) {
    State& s = *m_state;
    host::Input& input = m_core.input();
    switch (kind) {
    case kPointerDown:
    case kPointerMove:
    case kPointerUp:
    case kPointerCancel: {
        PointerEvent e;
        e.phase = kind == kPointerDown   ? host::Pointer::Phase::Down
                  : kind == kPointerMove ? host::Pointer::Phase::Move
                  : kind == kPointerUp   ? host::Pointer::Phase::Up
                                         : host::Pointer::Phase::Cancel;
        e.id = static_cast<int>(f[0]);
        e.button = static_cast<int>(f[1]);
        e.x = f[2];
        e.y = f[3];
        e.buttons = static_cast<int>(f[4]);
        // A finger down: the screen faces the performer, evidence for the
        // motion readings' sign.
        if (e.phase == host::Pointer::Phase::Down)
            feed_tilt(s.tilt->tap(event_time(f[5], s.clock)));
        if (const auto pointer = to_pointer(e, s.pageWidth, s.pageHeight))
            input.pointer(*pointer);
        break;
    }
    case kKey:
        input.key(tilt_key(static_cast<int>(f[0])), f[1] != 0);
        break;
    case kMotion: {
        // The sensor's first sample: it tilts the phone from now on, not
        // the keys.
        const bool keysTilted = s.tilt->keys_tilt();
        const bool changed = s.tilt->motion(f[0], f[1], f[2], event_time(f[3], s.clock));
        feed_tilt(changed, keysTilted && !s.tilt->keys_tilt());
        break;
    }
    case kOrientation:
        s.tilt->orientation(f[0], f[1], event_time(f[2], s.clock));
        break;
    case kActive:
        input.focus(f[0] != 0);
        break;
    case kResize:
        // A canvas given a new size is blank: the turn shows all of it.
        read_page_size();
        m_core.refresh(true);
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

} // namespace zt::web

double zt_page_turn(int eventsQueued, double at) {
    return zt::web::web_host().turn(eventsQueued != 0, at);
}
