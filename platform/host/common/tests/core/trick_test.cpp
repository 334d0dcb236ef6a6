// The core driving the whole application through a host that is only its
// primitives (memory_host.h): input before the window, a forced card, the
// slide-in, and an output kept from changed rectangles alone.
#include "before_window.h"
#include "memory_host.h"

#include "app/app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// Made by the first use: the start function runs before the program's
// constructors.
zt::testing::MemoryHost& memory_host() {
    static auto* const host = new zt::testing::MemoryHost();
    return *host;
}
zt::host::Core& core() {
    static auto* const core = new zt::host::Core(memory_host());
    return *core;
}

void install_memory_host(int, char**) {
    zt::host::Core::Options options;
    options.clock = zt::host::ClockKind::Virtual;
    options.accelerometer = zt::drivers::RawReading{0, 0, 64};
    options.keysTilt = true;
    core().configure(options);
    zt::host::install(core());
}

using zt::host::Pointer;

// A tap of the finger at phone pixels, pressed at `at` and lifted 20 ms on
// at (`liftX`, y).
void tap(std::uint64_t at, double x, double y, double liftX) {
    memory_host().events_to_come.push_back({at, [=](zt::host::Core& core) {
                                                core.input().pointer(Pointer{Pointer::Phase::Down, 0, 1, x, y});
                                            }});
    memory_host().events_to_come.push_back({at + 20, [=](zt::host::Core& core) {
                                                core.input().pointer(Pointer{Pointer::Phase::Up, 0, 1, liftX, y});
                                            }});
}

// The share of the card's middle that is white: a face, not the back.
double white_share(const std::vector<std::uint32_t>& pixels) {
    int white = 0;
    int all = 0;
    for (int y = 200; y < 500; y += 4)
        for (int x = 120; x < 360; x += 4, ++all)
            white += (pixels[static_cast<std::size_t>(y) * SCREEN_WIDTH + x] & 0xFFFFFFu) == 0xFFFFFFu;
    return static_cast<double>(white) / all;
}

} // namespace

ZT_HOST(install_memory_host);

TEST(CoreWithAMemoryHost, PlaysAWholeTrickFromItsPrimitivesAlone) {
    zt::testing::DispatchLog dispatched;
    dispatched.start();
    CZentrickApp app; // boots the platform: the core's boot
    ASSERT_NE(core().phone().shell(), nullptr);

    // Before the application has a window: a touch means nothing yet and is
    // dropped; activation waits for the window.
    core().input().pointer(Pointer{Pointer::Phase::Down, 0, 9, 100, 400});
    core().input().pointer(Pointer{Pointer::Phase::Up, 0, 9, 100, 400});
    core().input().focus(true);
    ASSERT_TRUE(core().turn(zt::host::Core::TurnInput::Skip));
    zt::testing::expect_waiting_for_the_window(core());

    // The performer: arm (a release on the right third), raise the top edge
    // (spades), press the middle column's bottom row (the Queen) and release
    // past x 320 (the King), then close.
    const std::uint64_t t = zt::host::now();
    tap(t + 300, 400, 300, 400);
    std::vector<std::uint32_t> armed;
    memory_host().events_to_come.push_back({t + 500, [&](zt::host::Core&) { armed = memory_host().output; }});
    memory_host().events_to_come.push_back(
        {t + 520, [](zt::host::Core& core) { core.input().key(zt::host::TiltKey::Up, true); }});
    tap(t + 700, 200, 600, 400);
    memory_host().events_to_come.push_back(
        {t + 750, [](zt::host::Core& core) { core.input().key(zt::host::TiltKey::Up, false); }});
    std::vector<std::uint32_t> revealed;
    memory_host().events_to_come.push_back({t + 1500, [&](zt::host::Core& core) {
                                                revealed = memory_host().output;
                                                // The output, built from changed rectangles only, is the screen.
                                                const zt::gfx::Surface& screen = core.phone().compose();
                                                EXPECT_TRUE(
                                                    std::equal(revealed.begin(), revealed.end(), screen.data()));
                                                core.input().close();
                                            }});
    EXPECT_EQ(core().run(), 0);
    dispatched.stop();
    // Activation once, from before the window; the touch before it never
    // arrived: two presses and two lifts, the performer's.
    zt::testing::expect_dispatched(dispatched, 1, 2);
    // The window slid in from below the screen to its place, in steps.
    ASSERT_GE(memory_host().lowered.size(), 3u);
    EXPECT_EQ(memory_host().lowered.front(), SCREEN_HEIGHT);
    EXPECT_TRUE(std::is_sorted(memory_host().lowered.rbegin(), memory_host().lowered.rend()));
    EXPECT_EQ(memory_host().lowered.back(), 0);
    // Each step shown once: a turn that has not moved the window shows
    // nothing again.
    const auto inPlace = std::find(memory_host().lowered.begin(), memory_host().lowered.end(), 0);
    EXPECT_TRUE(std::adjacent_find(memory_host().lowered.begin(), inPlace) == inPlace) << "a step shown twice";
    // Armed: the card's back. Revealed: a face.
    EXPECT_LT(white_share(armed), 0.05);
    EXPECT_GT(white_share(revealed), 0.5);
}
