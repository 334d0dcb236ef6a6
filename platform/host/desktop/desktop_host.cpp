#include "desktop_host.h"

#include "accel.h"
#include "display_wait.h"
#include "input.h"
#include "zt/gfx/surface.h"
#include "zt/host/geometry.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace zt::desktop {

namespace {

// The longest the loop sleeps on the display connection alone before SDL
// gets its turn anyway, for its own housekeeping (a signal ends the wait
// at once, and SDL then pumps).
constexpr std::uint64_t kPumpIntervalMilliseconds = 1000;

struct SdlDeleter {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
    void operator()(SDL_Renderer* r) const { SDL_DestroyRenderer(r); }
    void operator()(SDL_Texture* t) const { SDL_DestroyTexture(t); }
};
template <typename T> using SdlPtr = std::unique_ptr<T, SdlDeleter>;

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

struct DesktopHost::State {
    Options options;
    bool videoUp = false;
    Uint32 wakeEvent = 0;
    // For the start-up milestones only: they count from before the
    // platform's clock starts.
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    bool traceFirstFrame = false;

    DesktopAccelerometer accelerometer;

    SdlPtr<SDL_Window> window;
    SdlPtr<SDL_Renderer> renderer;
    SdlPtr<SDL_Texture> texture;
    std::unique_ptr<DisplayWait> displayWait;
    // Whether SDL must look at the display before the loop sleeps on it:
    // drawing may have left events in Xlib's queue that no poll would see.
    bool mustPump = true;
    std::uint64_t lastPump = 0;
    bool windowShown = false;
    bool firstFrameReported = false;
    bool controllersProbed = false;
    int lowered = 0;
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

bool DesktopHost::open_display(const Options& options, const host::RehearsalGuides& guides, std::string& error) {
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
    host::Core::Options core;
    core.traceChannels = options.traceChannels;
    core.phone.rehearse = options.rehearse;
    core.phone.guides = guides;
    m_core.configure(core);
    s.wakeEvent = SDL_RegisterEvents(1);
    milestone("display open");
    return true;
}

void DesktopHost::boot(host::Core& core) {
    State& s = *m_state;
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
    std::string note;
    s.accelerometer.boot(s.options.accel, core.phone(), core.input(), note);
    if (!note.empty())
        std::fprintf(stderr, "zentrick: %s\n", note.c_str());

    milestone("platform booted");
}

void DesktopHost::end() {
    State& s = *m_state;
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

host::Phone::Rehearsal DesktopHost::rehearsal() {
    // Read only when asked: an IIO sensor is read from its files.
    return {m_state->accelerometer.reading(), {}};
}

bool DesktopHost::reading_polled() const {
    return m_state->accelerometer.changes_unannounced();
}

void DesktopHost::show(const gfx::Surface& screen, const gfx::Surface::Area& changed, int lowered) {
    State& s = *m_state;
    if (!s.texture)
        return;
    if (!s.firstFrameReported)
        milestone("first frame painted");
    if (changed.right > changed.left && changed.bottom > changed.top) {
        const SDL_Rect area{changed.left, changed.top, changed.right - changed.left, changed.bottom - changed.top};
        SDL_UpdateTexture(s.texture.get(), &area, screen.row(changed.top) + changed.left, screen.width() * 4);
    }
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
    if (lowered == 0 && s.lowered != 0)
        milestone("window in place");
    s.lowered = lowered;
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

void DesktopHost::wait(std::uint64_t deadline) {
    State& s = *m_state;
    if (!s.texture)
        return;
    const std::uint64_t now = host::now();
    const int wait = deadline == host::kNoDeadline
                         ? -1
                         : static_cast<int>(std::min<std::uint64_t>(deadline - std::min(deadline, now), INT_MAX));
    if (wait == 0)
        return;
    // Most wakes are the timer's: they sleep on the display connection and
    // go back to the loop without SDL, unless SDL must look first (something
    // was drawn) or is the only one that sees the input (controllers).
    if (!s.mustPump && s.displayWait && s.displayWait->available() && !s.accelerometer.needs_event_pump()) {
        wait_on_display(wait, now);
        return;
    }
    // SDL's own wait, which pumps as it waits: events() pumps again only
    // when it found an event (left queued for it). A wait that timed out
    // has left nothing in SDL's queue or Xlib's.
    const int found = wait < 0 ? SDL_WaitEvent(nullptr) : SDL_WaitEventTimeout(nullptr, wait);
    s.mustPump = found != 0;
}

// Sleeps on the display for the rest of the pump interval at most; SDL is
// to look (mustPump) when the display has input or the interval is over.
void DesktopHost::wait_on_display(int wait, std::uint64_t now) {
    State& s = *m_state;
    const std::uint64_t sincePump = now - s.lastPump;
    if (sincePump >= kPumpIntervalMilliseconds) {
        s.mustPump = true;
        return;
    }
    const int budget = static_cast<int>(kPumpIntervalMilliseconds - sincePump);
    const int slice = wait < 0 ? budget : std::min(wait, budget);
    switch (s.displayWait->wait(slice)) {
    case DisplayWait::Result::Woken:
        break;
    case DisplayWait::Result::Timeout:
        s.mustPump = slice != wait;
        break;
    case DisplayWait::Result::Input:
        s.mustPump = true;
        break;
    }
}

void DesktopHost::events(host::Core& core) {
    State& s = *m_state;
    if (!s.texture || !s.mustPump)
        return;
    if (s.windowShown && !s.controllersProbed) {
        s.controllersProbed = true;
        s.accelerometer.probe_controllers(core.input());
    }
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(s.window.get(), &width, &height);
    s.mustPump = false;
    s.lastPump = host::now();
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        s.accelerometer.handle(event);
        if (event.type == SDL_WINDOWEVENT &&
            (event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
             event.window.event == SDL_WINDOWEVENT_RESTORED))
            core.refresh(false);
        translate(event, width, height, core.input());
    }
}

} // namespace zt::desktop

#if defined(__SANITIZE_ADDRESS__)
// The desktop's own libraries keep a few allocations to the end of the
// process (D-Bus, reached by SDL); the sanitizer build should report ours.
// Here, so that every program with the driver has it: the desktop and its
// test under the core.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}
#endif
