#include "desktop_host.h"

#include "accel.h"
#include "display_wait.h"
#include "input.h"
#include "zt/gfx/surface.h"
#include "zt/host/geometry.h"
#include "zt/host/phone.h"
#include "zt/sys/trace.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace zt::desktop {

namespace {

// The slide-in of AnimateWindow: short enough not to hold the performer up.
constexpr int kSlideMilliseconds = 120;
constexpr int kSlideFrameMilliseconds = 15;
// How often a rehearsal display of a sensor's readings is brought up to
// date: a controller streams hundreds a second, each a whole upload.
constexpr Uint32 kSensorRefreshMilliseconds = 50;
// The longest the loop sleeps on the display connection alone before SDL
// gets its turn anyway (signals, its own housekeeping).
constexpr Uint32 kPumpIntervalMilliseconds = 250;

struct SdlDeleter {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
    void operator()(SDL_Renderer* r) const { SDL_DestroyRenderer(r); }
    void operator()(SDL_Texture* t) const { SDL_DestroyTexture(t); }
};
template <typename T> using SdlPtr = std::unique_ptr<T, SdlDeleter>;

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void exit_hook() {
    desktop_host().shutdown();
}

} // namespace

struct DesktopHost::State {
    Options options;
    bool videoUp = false;
    Uint32 wakeEvent = 0;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    bool traceFirstFrame = false;

    host::Phone phone;
    DesktopAccelerometer accelerometer;
    InputTranslator input;

    SdlPtr<SDL_Window> window;
    SdlPtr<SDL_Renderer> renderer;
    SdlPtr<SDL_Texture> texture;
    std::unique_ptr<DisplayWait> displayWait;
    // Whether SDL must look at the display before the loop sleeps on it:
    // drawing may have left events in Xlib's queue that no poll would see.
    bool mustPump = true;
    Uint32 lastPump = 0;
    bool windowShown = false;
    bool firstFrameReported = false;
    bool controllersProbed = false;

    bool animating = false;
    Uint32 lastSensorCheck = 0;

    std::vector<host::WindowMessage> pending;
};

// Start-up milestones on stderr, for measuring (ZT_TRACE_FIRST_FRAME=1).
void DesktopHost::milestone(const char* what) const {
    if (m_state->traceFirstFrame)
        std::fprintf(stderr, "zentrick: %s %.1f ms after start\n", what, seconds_since(m_state->started) * 1000);
}

DesktopHost::DesktopHost() : m_state(std::make_unique<State>()) {}
DesktopHost::~DesktopHost() = default;

DesktopHost& desktop_host() {
    // Never destroyed: the platform may call its host until the very end.
    static DesktopHost* const host = new DesktopHost();
    return *host;
}

bool DesktopHost::open_display(const Options& options, std::string& error) {
    State& s = *m_state;
    s.options = options;
    const char* trace = std::getenv("ZT_TRACE_FIRST_FRAME");
    s.traceFirstFrame = trace != nullptr && *trace != '\0' && std::strcmp(trace, "0") != 0;
    // Touches arrive as touches; SDL's mouse copies of them would press twice.
    SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
    // On the phone every touch counts, including the one that brings the
    // window to the front.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // A still 480x720 picture needs no GPU: the software renderer starts
    // faster and keeps the process small. The environment (SDL_RENDER_DRIVER,
    // SDL_FRAMEBUFFER_ACCELERATION) still overrides both.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    // And the window's pixels go straight to the X server: SDL would
    // otherwise load OpenGL just to back the window, which costs a tenth of a
    // second and tens of megabytes.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    const bool driverNamed = set("SDL_VIDEODRIVER");
    // Only the kind of display the session names is tried (with neither, the
    // console's own, DRM): the others would print complaints before ours.
    if (!driverNamed) {
        const bool x = set("DISPLAY");
        const bool wayland = set("WAYLAND_DISPLAY");
        if (!x || !wayland)
            SDL_SetHint(SDL_HINT_VIDEODRIVER, x ? "x11" : wayland ? "wayland" : "kmsdrm");
    }
    bool up = SDL_Init(SDL_INIT_VIDEO) == 0;
    if (up && !driverNamed) {
        // SDL falls back to drivers that show nothing; only a user who names
        // one gets it.
        const char* driver = SDL_GetCurrentVideoDriver();
        if (driver == nullptr || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
            std::strcmp(driver, "evdev") == 0) {
            SDL_Quit();
            up = false;
        }
    }
    if (!up) {
        error = "no display (set DISPLAY or WAYLAND_DISPLAY, or run under xvfb-run; zentrick-sim runs without "
                "one)";
        return false;
    }
    s.videoUp = true;
    s.wakeEvent = SDL_RegisterEvents(1);
    milestone("display open");
    return true;
}

void DesktopHost::boot() {
    State& s = *m_state;
    trace::enable(s.options.traceChannels);
    milestone("platform booting");
    if (!s.videoUp) {
        // Booted without open_display (a program that forgot it): nothing
        // can be shown, so say so rather than run blind.
        std::fputs("zentrick: the display was not opened before the platform started\n", stderr);
        std::exit(1);
    }

    double scale = s.options.scale;
    if (scale <= 0) {
        SDL_Rect usable{0, 0, 1024, 768};
        if (SDL_GetDisplayUsableBounds(0, &usable) != 0)
            SDL_GetDisplayBounds(0, &usable);
        scale = host::fit_scale(usable.w, usable.h);
    }
    const host::Rect size = host::window_size(scale);
    s.window.reset(SDL_CreateWindow("Zentrick", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.w, size.h,
                                    SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI));
    if (s.window)
        s.renderer.reset(SDL_CreateRenderer(s.window.get(), -1, 0));
    if (s.renderer)
        s.texture.reset(SDL_CreateTexture(s.renderer.get(), SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                          SCREEN_WIDTH, SCREEN_HEIGHT));
    if (!s.texture) {
        std::fprintf(stderr, "zentrick: cannot open a window: %s\n", SDL_GetError());
        std::exit(1);
    }

    milestone("window made");
    s.displayWait = std::make_unique<DisplayWait>(s.window.get());
    host::Phone::Options phone;
    phone.rehearse = s.options.rehearse;
    s.phone.start(phone);
    std::string note;
    s.accelerometer.boot(s.options.accel, s.phone, note);
    if (!note.empty())
        std::fprintf(stderr, "zentrick: %s\n", note.c_str());

    milestone("platform booted");
    // Registered last, so it runs after the application object is destroyed
    // (its exit routine comes later) and before the platform's own statics go.
    std::atexit(exit_hook);
}

void DesktopHost::shutdown() {
    State& s = *m_state;
    s.phone.stop();
    s.accelerometer.shutdown();
    s.displayWait.reset();
    if (display_lost()) {
        // The connection is gone: closing the window would talk to it.
        (void)s.texture.release(), (void)s.renderer.release(), (void)s.window.release();
        s.videoUp = false;
    }
    s.texture.reset();
    s.renderer.reset();
    s.window.reset();
    if (s.videoUp)
        SDL_Quit();
    s.videoUp = false;
}

void DesktopHost::upload() {
    State& s = *m_state;
    // Read only when shown: an IIO sensor is read from its files.
    const gfx::Surface& screen = s.phone.compose(
        s.options.rehearse ? host::Phone::Rehearsal{s.accelerometer.reading(), {}} : host::Phone::Rehearsal{});
    SDL_UpdateTexture(s.texture.get(), nullptr, screen.data(), screen.width() * 4);
}

void DesktopHost::draw(int lowered) {
    State& s = *m_state;
    SDL_Renderer* renderer = s.renderer.get();
    int width = 0;
    int height = 0;
    SDL_GetRendererOutputSize(renderer, &width, &height);
    const host::Rect view = host::viewport(width, height);
    SDL_SetTextureScaleMode(s.texture.get(), host::whole_scale(view) ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    const int offset = static_cast<int>(static_cast<long long>(lowered) * view.h / SCREEN_HEIGHT);
    const SDL_Rect dest{view.x, view.y + offset, view.w, view.h};
    SDL_RenderCopy(renderer, s.texture.get(), nullptr, &dest);
    if (!s.windowShown) {
        SDL_ShowWindow(s.window.get());
        s.windowShown = true;
    }
    SDL_RenderPresent(renderer);
    s.mustPump = true;
    if (!s.firstFrameReported) {
        s.firstFrameReported = true;
        if (s.traceFirstFrame) {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            std::fprintf(stderr, "zentrick: first frame at %lld.%06ld, %.1f ms after start\n",
                         static_cast<long long>(now.tv_sec), now.tv_nsec / 1000, seconds_since(s.started) * 1000);
        }
    }
}

void DesktopHost::present(HWND window, const gfx::Surface& frame) {
    State& s = *m_state;
    // Only the application's loop thread draws to SDL; the shell's windows
    // are shown as the taskbar strip instead.
    if (!s.texture)
        return;
    const bool first = !s.phone.has_frame();
    if (!s.phone.present(window, frame))
        return;
    if (first)
        milestone("first frame painted");
    if (s.animating)
        return;
    upload();
    draw(0);
}

void DesktopHost::animate_window(HWND window, int type, bool show) {
    (void)type;
    State& s = *m_state;
    if (!show || !s.texture || !host::is_boot_thread())
        return;
    // As AnimateWindow does: the window becomes visible and paints itself,
    // and that picture moves into place.
    s.animating = true;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    s.animating = false;
    if (!s.phone.has_frame())
        return;
    upload();
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const double t = seconds_since(start) * 1000 / kSlideMilliseconds;
        if (t >= 1)
            break;
        const double eased = 1 - (1 - t) * (1 - t) * (1 - t);
        draw(static_cast<int>((1 - eased) * SCREEN_HEIGHT));
        SDL_Delay(kSlideFrameMilliseconds);
    }
    draw(0);
    if (s.traceFirstFrame)
        std::fprintf(stderr, "zentrick: window in place %.1f ms after start\n", seconds_since(s.started) * 1000);
}

void DesktopHost::wake() {
    State& s = *m_state;
    // Whichever way the loop sleeps, this reaches it.
    if (s.displayWait)
        s.displayWait->wake();
    if (s.wakeEvent == 0 || s.wakeEvent == static_cast<Uint32>(-1))
        return;
    SDL_Event event{};
    event.type = s.wakeEvent;
    SDL_PushEvent(&event);
}

namespace {

bool is_close_shortcut(const SDL_Event& event) {
    if (event.type != SDL_KEYDOWN || event.key.repeat != 0 || (event.key.keysym.mod & KMOD_CTRL) == 0)
        return false;
    return event.key.keysym.sym == SDLK_q || event.key.keysym.sym == SDLK_w;
}

} // namespace

host::IdleAction DesktopHost::idle(DWORD timeout) {
    State& s = *m_state;
    if (!s.texture)
        return {};
    if (s.windowShown && !s.controllersProbed) {
        s.controllersProbed = true;
        s.accelerometer.probe_controllers();
    }
    bool redraw = s.phone.taskbar_stale();
    int wait = timeout == INFINITE ? -1 : static_cast<int>(std::min<DWORD>(timeout, INT_MAX));
    wait = sensor_wait(s.phone.overlay_wait(wait), redraw);

    bool block = !redraw;
    if (block && can_wait_on_display(wait)) {
        if (auto action = wait_on_display(wait))
            return *action;
        block = false;
    }
    if (pump_events(block, wait))
        redraw = true;
    s.phone.post(s.pending);
    if (redraw && s.phone.has_frame() && !s.animating) {
        upload();
        draw(0);
    }
    // Whatever happened, the loop looks again: a timer may be due now.
    return {true, 0};
}

// A rehearsal display of a sensor that reports no changes is refreshed by
// looking at it every kSensorRefreshMilliseconds: the loop sleeps no longer,
// and `redraw` is set when the reading moved. Returns the wait (-1: none).
int DesktopHost::sensor_wait(int wait, bool& redraw) {
    State& s = *m_state;
    if (!s.options.rehearse || !s.accelerometer.changes_unannounced())
        return wait;
    const Uint32 now = SDL_GetTicks();
    if (now - s.lastSensorCheck >= kSensorRefreshMilliseconds) {
        s.lastSensorCheck = now;
        if (s.accelerometer.reading() != s.phone.rehearsal_drawn().reading)
            redraw = true;
    }
    return wait < 0 ? static_cast<int>(kSensorRefreshMilliseconds)
                    : std::min(wait, static_cast<int>(kSensorRefreshMilliseconds));
}

// Most wakes are the timer's: they can sleep on the display connection and
// go back to the loop without SDL, unless SDL must look first (something was
// drawn) or is the only one that sees the input (controllers).
bool DesktopHost::can_wait_on_display(int wait) const {
    const State& s = *m_state;
    return wait != 0 && !s.mustPump && s.displayWait && s.displayWait->available() &&
           !s.accelerometer.needs_event_pump();
}

// Sleeps on the display for the rest of the pump interval at most. An action
// when the loop should look again without SDL; none when SDL has to pump.
std::optional<host::IdleAction> DesktopHost::wait_on_display(int wait) {
    State& s = *m_state;
    const Uint32 sincePump = SDL_GetTicks() - s.lastPump;
    if (sincePump >= kPumpIntervalMilliseconds)
        return std::nullopt;
    const int budget = static_cast<int>(kPumpIntervalMilliseconds - sincePump);
    const int slice = wait < 0 ? budget : std::min(wait, budget);
    switch (s.displayWait->wait(slice)) {
    case DisplayWait::Result::Woken:
        return host::IdleAction{true, 0};
    case DisplayWait::Result::Timeout:
        if (slice == wait)
            return host::IdleAction{true, 0};
        break;
    case DisplayWait::Result::Input:
        break;
    }
    return std::nullopt;
}

// Runs SDL's event pump, blocking up to `wait` ms (-1: no limit) for the
// first event when `block`, and turns the events into window messages in
// `pending`. True when one of them needs the window redrawn.
bool DesktopHost::pump_events(bool block, int wait) {
    State& s = *m_state;
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(s.window.get(), &width, &height);
    SDL_Event event;
    const bool got = !block ? SDL_PollEvent(&event) != 0
                            : (wait < 0 ? SDL_WaitEvent(&event) != 0 : SDL_WaitEventTimeout(&event, wait) != 0);
    s.mustPump = false;
    s.lastPump = SDL_GetTicks();
    bool redraw = false;
    for (bool more = got; more; more = SDL_PollEvent(&event) != 0) {
        if (s.accelerometer.handle(event) && s.options.rehearse && !s.accelerometer.changes_unannounced())
            redraw = true;
        if (event.type == SDL_WINDOWEVENT && window_event_redraws(event.window.event))
            redraw = true;
        if (is_close_shortcut(event))
            s.pending.push_back(host::WindowMessage{WM_CLOSE, 0, 0});
        else
            s.input.translate(event, width, height, s.pending);
    }
    return redraw;
}

bool DesktopHost::window_event_redraws(int windowEvent) {
    State& s = *m_state;
    switch (windowEvent) {
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESTORED:
        return true;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        return s.accelerometer.focus_lost() && s.options.rehearse;
    default:
        return false;
    }
}

} // namespace zt::desktop
