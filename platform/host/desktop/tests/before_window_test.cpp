// The desktop's driver under the core before the application has a window,
// on SDL's dummy video driver (no display): a touch on nothing is dropped
// and activation waits for the window, as with every host (the core's
// memory host, the simulator and the page show the same). SDL's own queue
// is the event source, as on a display.
#include "desktop_host.h"

#include "app/app.h"
#include "before_window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

zt::desktop::DesktopHost& host() {
    return zt::desktop::desktop_host();
}

void install_desktop(int, char**) {
    // Named, so that the desktop takes it (it refuses the drivers that show
    // nothing unless asked for one).
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    zt::desktop::Options options;
    options.scale = 1;
    options.accel = zt::desktop::AccelSource::Keys;
    // The core turns the channels on: the dispatches, counted.
    options.traceChannels = zt::trace::kMsg;
    std::string error;
    if (!host().open_display(options, {}, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::abort();
    }
    zt::host::install(host().core());
}

void push(const SDL_Event& event) {
    SDL_Event copy = event;
    ASSERT_EQ(SDL_PushEvent(&copy), 1) << SDL_GetError();
}

} // namespace

ZT_HOST(install_desktop);

TEST(DesktopBeforeTheWindow, DropsATouchAndKeepsTheActivationForTheWindow) {
    zt::testing::DispatchLog dispatched;
    dispatched.start();
    CZentrickApp app;
    zt::host::Core& core = host().core();
    // A tap and the window's focus while no window of the application exists.
    SDL_Event finger{};
    finger.type = SDL_FINGERDOWN;
    finger.tfinger.touchId = 1;
    finger.tfinger.fingerId = 1;
    finger.tfinger.x = 0.2f;
    finger.tfinger.y = 0.5f;
    push(finger);
    finger.type = SDL_FINGERUP;
    push(finger);
    SDL_Event focus{};
    focus.type = SDL_WINDOWEVENT;
    focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    push(focus);
    ASSERT_TRUE(core.turn(zt::host::Core::TurnInput::Take));
    zt::testing::expect_waiting_for_the_window(core);
    // Then the application runs until the window is closed.
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    EXPECT_EQ(core.run(), 0);
    dispatched.stop();
    zt::testing::expect_dispatched(dispatched, 1, 0);
    EXPECT_EQ(dispatched.count(", 0x10, "), 1) << "SDL's quit closed the window";
}
