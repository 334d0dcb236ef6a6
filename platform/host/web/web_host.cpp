#include "web_host.h"

#include "geometry.h"
#include "page.h"
#include "pointer.h"
#include "rehearsal_status.h"
#include "tilt_source.h"
#include "zt/drivers/simulated_accelerometer.h"
#include "zt/gfx/surface.h"
#include "zt/host/overlay.h"
#include "zt/host/simulated_shell.h"
#include "zt/screen.h"
#include "zt/sys/trace.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <ctime>
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

int minute_of_day() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_hour * 60 + local.tm_min;
}

} // namespace

struct WebHost::State {
    Options options;
    std::unique_ptr<TiltSource> tilt;
    std::shared_ptr<drivers::SimulatedAccelerometer> accelerometer;
    std::unique_ptr<host::SimulatedShell> shell;
    PointerInput pointer;

    int pageWidth = 0;
    int pageHeight = 0;

    // The phone's screen as the application last drew it, the same with
    // the host's overlays, and that in the canvas's byte order.
    gfx::Surface screen{SCREEN_WIDTH, SCREEN_HEIGHT};
    gfx::Surface composed{SCREEN_WIDTH, SCREEN_HEIGHT};
    std::vector<std::uint32_t> rgba = std::vector<std::uint32_t>(SCREEN_WIDTH * SCREEN_HEIGHT);
    bool haveFrame = false;
    double firstFrameAt = 0;
    bool (*afterFirstFrame)() = nullptr;
    HWND lastPresented = nullptr;

    bool taskbarDrawn = false;
    int clockDrawn = -1;
    drivers::RawReading readingDrawn{};
    PageStatus page;
    std::vector<std::string> statusDrawn;
    double readingDrawnAt = 0;

    std::vector<WindowMessage> pending;
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
    const desktop::Rect view = desktop::viewport(s.pageWidth, s.pageHeight);
    zt_page_layout(view.x, view.y, view.w, view.h);
}

// The application's window: the last top-level window it presented while
// that still exists, else the first top-level window of the loop's thread
// that is not one of the shell's (they live on this thread too).
HWND application_window(const WebHost::State& s) {
    if (s.lastPresented != nullptr && IsWindow(s.lastPresented))
        return s.lastPresented;
    for (HWND hwnd : host::boot_thread_windows()) {
        bool shells = false;
        for (const char16_t* name : host::SimulatedShell::kClassNames)
            shells = shells || (s.shell && s.shell->window(name) == hwnd);
        if (!shells)
            return hwnd;
    }
    return nullptr;
}

// The screen with the host's overlays, to the canvas.
void show(WebHost::State& s, double now) {
    const bool taskbar = s.shell && s.shell->taskbar_visible();
    s.taskbarDrawn = taskbar;
    const gfx::Surface* source = &s.screen;
    if (taskbar || s.options.rehearse) {
        s.composed = s.screen;
        if (taskbar) {
            const int minute = minute_of_day();
            s.clockDrawn = minute;
            host::draw_taskbar(s.composed, minute / 60, minute % 60, host::SimulatedShell::kTaskbarRect.bottom);
        }
        if (s.options.rehearse) {
            const drivers::RawReading r = s.tilt->has_device() ? s.tilt->reading() : drivers::RawReading{};
            s.readingDrawn = r;
            s.readingDrawnAt = now;
            s.statusDrawn = rehearsal_lines(*s.tilt, s.page);
            host::draw_rehearsal(s.composed, r.x, r.y, r.z);
            // Above the readings, one line on another: what the page knows
            // of the sensor, the phone's posture, the browser.
            int top = SCREEN_HEIGHT - 64;
            for (const std::string& line : s.statusDrawn) {
                const int width = static_cast<int>(line.size()) * 12 - 2;
                const int left = (SCREEN_WIDTH - width) / 2;
                // A dark box behind it, as behind the readings: it lies on the card.
                for (int y = std::max(0, top - 5); y < std::min(SCREEN_HEIGHT, top + 19); ++y)
                    for (int x = std::max(0, left - 6); x < std::min(SCREEN_WIDTH, left + width + 6); ++x)
                        s.composed.set(x, y, host::blend(s.composed.at(x, y), 0xFF000000u, 150));
                host::draw_text(s.composed, left, top, line, host::kTaskbarInk, 2);
                top -= 24;
            }
        }
        source = &s.composed;
    }
    // 0xAARRGGBB words to the canvas's R, G, B, A bytes.
    const std::uint32_t* in = source->data();
    std::uint32_t* out = s.rgba.data();
    for (std::size_t i = 0, n = s.rgba.size(); i < n; ++i) {
        const std::uint32_t p = in[i];
        out[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
    }
    zt_page_present(reinterpret_cast<const std::uint8_t*>(s.rgba.data()));
}

double now_ms() {
    return static_cast<double>(host::now());
}

desktop::TiltKey tilt_key(int code) {
    switch (code) {
    case 0:
        return desktop::TiltKey::Up;
    case 1:
        return desktop::TiltKey::Down;
    case 2:
        return desktop::TiltKey::Left;
    case 3:
        return desktop::TiltKey::Right;
    default:
        return desktop::TiltKey::Flip;
    }
}

} // namespace

void WebHost::boot() {
    State& s = *m_state;
    char query[512] = {};
    zt_page_query(query, static_cast<int>(sizeof query));
    std::vector<std::string> problems;
    s.options = parse_query(query, problems);
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
    host::SimulatedShell::Options shellOptions;
    shellOptions.ownThread = false;
    s.shell = std::make_unique<host::SimulatedShell>(shellOptions);
    s.shell->start();

    if (s.tilt->has_device()) {
        s.accelerometer = std::make_shared<drivers::SimulatedAccelerometer>();
        s.accelerometer->set_reading(s.tilt->reading());
        if (!s.accelerometer->register_as(u"ACC0:"))
            zt_page_log(2, "zentrick: ACC0: is taken");
    }
}

void WebHost::present(HWND window, const gfx::Surface& frame) {
    State& s = *m_state;
    RECT where{};
    if (!GetWindowRect(window, &where))
        return;
    if (host::window_parent(window) == nullptr)
        s.lastPresented = window;
    host::place_frame(s.screen, frame, where.left, where.top);
    const double now = now_ms();
    if (!s.haveFrame)
        s.firstFrameAt = now;
    s.haveFrame = true;
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
    if (!s.haveFrame)
        return;
    bool redraw = false;
    const bool taskbar = s.shell && s.shell->taskbar_visible();
    if (taskbar != s.taskbarDrawn || (taskbar && minute_of_day() != s.clockDrawn))
        redraw = true;
    if (s.options.rehearse &&
        (rehearsal_lines(*s.tilt, s.page) != s.statusDrawn ||
         (s.tilt->reading() != s.readingDrawn && now - s.readingDrawnAt >= kReadingRefreshMilliseconds)))
        redraw = true;
    if (redraw)
        show(s, now);
}

// How long the page may sleep before the next deadline: the loop's timer,
// the shown reading's refresh, or the taskbar clock's next minute (ms;
// negative: until an event).
int page_wait(const WebHost::State& s, DWORD timeout, double now) {
    int wait = timeout == INFINITE ? -1 : static_cast<int>(std::min<DWORD>(timeout, INT_MAX));
    if (s.options.rehearse && s.tilt->reading() != s.readingDrawn) {
        const int refresh = static_cast<int>(std::ceil(kReadingRefreshMilliseconds - (now - s.readingDrawnAt)));
        wait = wait < 0 ? std::max(refresh, 1) : std::min(wait, std::max(refresh, 1));
    }
    if (s.taskbarDrawn)
        wait = wait < 0 ? 1000 : std::min(wait, 1000);
    return wait;
}

// Hands "ACC0:" the tilt's reading when it changed.
void feed_accelerometer(WebHost::State& s, bool changed) {
    if (changed && s.accelerometer)
        s.accelerometer->set_reading(s.tilt->reading());
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
        feed_accelerometer(s, s.tilt->tap());
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
        feed_accelerometer(s, s.tilt->motion(f[0], f[1], f[2]));
        break;
    case kActive:
        if (f[0] == 0)
            feed_accelerometer(s, s.tilt->release_arrows());
        s.pending.push_back({WM_ACTIVATE, static_cast<WPARAM>(f[0] != 0 ? WA_ACTIVE : WA_INACTIVE), 0});
        break;
    case kResize:
        read_page_size(s);
        if (s.haveFrame)
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

// Posts the input gathered to the application's window.
void post_pending(WebHost::State& s) {
    if (s.pending.empty())
        return;
    HWND target = application_window(s);
    if (target == nullptr) {
        // Before the window exists only activation has a meaning: it waits
        // for the window; touches on nothing are dropped.
        std::erase_if(s.pending, [](const WindowMessage& m) { return m.message != WM_ACTIVATE; });
        return;
    }
    for (std::size_t i = 0; i < s.pending.size(); ++i) {
        const WindowMessage& m = s.pending[i];
        // Of a run of moves only the last matters.
        if (m.message == WM_MOUSEMOVE && i + 1 < s.pending.size() && s.pending[i + 1].message == WM_MOUSEMOVE)
            continue;
        PostMessageW(target, m.message, m.wParam, m.lParam);
    }
    s.pending.clear();
}

// The host's turn before the page sleeps, and the page's wait. Not inlined
// into idle(): idle() is on the sleeping stack, where Asyncify instruments
// every instruction, so it does nothing but sleep and call these.
[[gnu::noinline]] int before_sleep(WebHost::State& s, DWORD timeout) {
    // Reading the clock is a call out to the browser, and this runs on every
    // tick: only the host's own deadlines (the warm-up, the rehearsal's
    // readings) read it here; the page times the wait itself.
    const double now = s.afterFirstFrame != nullptr || s.options.rehearse ? now_ms() : 0;
    if (s.afterFirstFrame != nullptr && s.haveFrame && now >= s.firstFrameAt + kAfterFirstFrameMilliseconds &&
        !s.afterFirstFrame())
        s.afterFirstFrame = nullptr;
    redraw_outdated_overlays(s, now);
    return page_wait(s, timeout, now);
}

// What the page queued meanwhile, to the application.
[[gnu::noinline]] void after_sleep(WebHost::State& s) {
    double f[8];
    for (int kind = zt_page_next_event(f); kind != 0; kind = zt_page_next_event(f))
        take_event(s, kind, f);
    post_pending(s);
}

} // namespace

host::IdleAction WebHost::idle(DWORD timeout) {
    State& s = *m_state;
    zt_page_wait(before_sleep(s, timeout));
    after_sleep(s);
    // Whatever happened, the loop looks again: a timer may be due now.
    return {true, 0};
}

} // namespace zt::web
