// The page's driver under the core, natively: page.h's functions are a page
// of the test's own, whose queue the test fills and whose canvas it reads.
// A visit's input before the application has a window goes the way every
// host's does (the core's memory host and the simulator show the same): a
// touch on nothing is dropped and activation waits for the window. Then the
// slide-in, the canvas built from changed rectangles, the keys' tilt and the
// motion sensor taking over, the rehearsal lines, a resize, and the end.
#include "page.h"
#include "web_host.h"

#include "app/app.h"
#include "before_window.h"
#include "zt/drivers/accelerometer.h"
#include "zt/screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

struct Present {
    int x, y, width, height, lowered;
};

struct FakePage {
    double now = 1000;
    int started = -1;
    bool looping = false;
    std::deque<std::array<double, 9>> events; // the kind, then its fields
    std::vector<std::uint8_t> canvas = std::vector<std::uint8_t>(std::size_t{SCREEN_WIDTH} * SCREEN_HEIGHT * 4);
    std::vector<Present> presents;
    std::vector<std::string> errors;
    std::string rehearsal;
};

FakePage& page() {
    static FakePage* const fake = new FakePage();
    return *fake;
}

void push(int kind, double a = 0, double b = 0, double c = 0, double d = 0, double e = 0, double f = 0) {
    page().events.push_back({static_cast<double>(kind), a, b, c, d, e, f, 0, 0});
}

// A turn as the page runs it: at `at`, saying whether events wait.
double turn_at(double at) {
    page().now = at;
    return zt_page_turn(page().events.empty() ? 0 : 1, at);
}

zt::web::WebHost& host() {
    return zt::web::web_host();
}

void install_web(int, char**) {
    host().configure({{160, 320}, {180, 360, 540}});
    zt::host::install(host().core());
}

} // namespace

extern "C" {
void zt_page_start(int rehearse) {
    page().started = rehearse;
}
int zt_page_query(char* buffer, int size) {
    static const std::string query = "?rehearse";
    if (size > 0)
        std::snprintf(buffer, static_cast<std::size_t>(size), "%s", query.c_str());
    return static_cast<int>(query.size());
}
void zt_page_log(int level, const char* text) {
    if (level >= 2)
        page().errors.emplace_back(text);
}
double zt_page_now() {
    return page().now;
}
void zt_page_loop() {
    page().looping = true;
}
int zt_page_next_event(double* fields) {
    if (page().events.empty())
        return 0;
    const auto event = page().events.front();
    page().events.pop_front();
    std::copy(event.begin() + 1, event.end(), fields);
    return static_cast<int>(event[0]);
}
void zt_page_size(double* fields) {
    fields[0] = SCREEN_WIDTH;
    fields[1] = SCREEN_HEIGHT;
    fields[2] = 1;
}
void zt_page_layout(int, int, int, int) {}
void zt_page_present(const std::uint8_t* rgba, int x, int y, int width, int height, int lowered) {
    for (int row = y; row < y + height; ++row) {
        const std::size_t at = (static_cast<std::size_t>(row) * SCREEN_WIDTH + static_cast<std::size_t>(x)) * 4;
        std::memcpy(page().canvas.data() + at, rgba + at, static_cast<std::size_t>(width) * 4);
    }
    page().presents.push_back({x, y, width, height, lowered});
}
void zt_page_rehearsal_lines(const char* text) {
    page().rehearsal = text;
}
}

ZT_HOST(install_web);

TEST(WebDriver, PlaysAVisitThroughTheCore) {
    using zt::drivers::RawReading;
    using zt::web::kActive;
    zt::testing::DispatchLog dispatched;
    dispatched.start();
    CZentrickApp app;
    zt::host::Core& core = host().core();
    EXPECT_EQ(page().started, 1) << "?rehearse";
    const auto& accelerometer = core.phone().accelerometer();
    ASSERT_NE(accelerometer, nullptr);

    // Before the application starts: a touch, then the page gains focus.
    push(zt::web::kPointerDown, 1, 0, 100, 400, 1);
    push(zt::web::kPointerUp, 1, 0, 100, 400, 0);
    push(kActive, 1);
    EXPECT_NE(turn_at(1000), zt::web::WebHost::kLoopEnded);
    zt::testing::expect_waiting_for_the_window(core);

    // The window slides in from below the screen, a step a turn, shown
    // whole first; then an idle page shows nothing new.
    ASSERT_TRUE(host().run());
    EXPECT_TRUE(page().looping);
    ASSERT_FALSE(page().presents.empty());
    EXPECT_EQ(page().presents.front().lowered, SCREEN_HEIGHT);
    EXPECT_EQ(page().presents.front().width * page().presents.front().height, SCREEN_WIDTH * SCREEN_HEIGHT);
    double at = 1000;
    for (; at <= 1000 + zt::host::kSlideMs + zt::host::kSlideFrameMs; at += 10)
        EXPECT_GT(turn_at(at), 0);
    std::vector<int> lowered;
    for (const Present& p : page().presents)
        lowered.push_back(p.lowered);
    EXPECT_TRUE(std::is_sorted(lowered.rbegin(), lowered.rend()));
    EXPECT_GE(lowered.size(), 4u);
    EXPECT_EQ(lowered.back(), 0);
    const std::size_t shown = page().presents.size();
    for (const double end = at + 200; at < end; at += 10)
        turn_at(at);
    EXPECT_EQ(page().presents.size(), shown);

    // The keys tilt "ACC0:" until the page loses focus, which lets go of
    // them, and until the motion sensor speaks, which takes over (its sign
    // unknown yet: flat).
    const auto after = [&](auto... event) {
        push(event...);
        turn_at(at += 10);
        return accelerometer->reading();
    };
    EXPECT_EQ(after(zt::web::kKey, 1, 1), (RawReading{0, -45, 45}));
    EXPECT_EQ(after(kActive, 0), (RawReading{0, 0, 64}));
    EXPECT_EQ(after(kActive, 1), (RawReading{0, 0, 64}));
    EXPECT_EQ(after(zt::web::kKey, 3, 1), (RawReading{45, 0, 45}));
    EXPECT_EQ(after(zt::web::kMotion, 0, 0, 9.8), (RawReading{0, 0, 64}));
    EXPECT_EQ(after(zt::web::kKey, 0, 1), (RawReading{0, 0, 64}));

    // The rehearsal's lines reach the page as drawn.
    std::string drawn;
    for (const std::string& line : core.phone().rehearsal_drawn().lines)
        drawn += (drawn.empty() ? "" : "\n") + line;
    EXPECT_EQ(page().rehearsal, drawn);
    EXPECT_EQ(page().rehearsal.substr(0, 9), "MOTION ON");

    // A touch now reaches the window: a face is drawn. The canvas, built
    // from the changed rectangles alone, is the screen.
    push(zt::web::kPointerDown, 2, 0, 100, 300, 1);
    push(zt::web::kPointerUp, 2, 0, 100, 300, 0);
    for (const double end = at + 100; at < end; at += 10)
        turn_at(at);
    const zt::gfx::Surface& screen = core.phone().compose(host().rehearsal());
    std::vector<std::uint8_t> expected(page().canvas.size());
    for (std::size_t i = 0; i < std::size_t{SCREEN_WIDTH} * SCREEN_HEIGHT; ++i) {
        const std::uint32_t p = screen.data()[i];
        const std::uint8_t rgba[4] = {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                                      static_cast<std::uint8_t>(p), 0xFF};
        std::memcpy(expected.data() + i * 4, rgba, 4);
    }
    EXPECT_TRUE(page().canvas == expected);

    // A new size blanks the canvas: the whole screen goes again.
    push(zt::web::kResize);
    turn_at(at += 10);
    EXPECT_EQ(page().presents.back().width * page().presents.back().height, SCREEN_WIDTH * SCREEN_HEIGHT);

    // A loaded page hands over a tap before the samples that came before
    // it, all in one turn: the judge of the readings' sign goes by each
    // event's own time. Face down until 100 ms before the tap, then face up.
    const double tapAt = at + 5000;
    push(zt::web::kPointerDown, 3, 0, 100, 300, 1, tapAt);
    push(zt::web::kPointerUp, 3, 0, 100, 300, 0, tapAt + 80);
    for (double t = tapAt - 400; t < tapAt + 200; t += 16)
        push(zt::web::kMotion, 0, 0, t < tapAt - 100 ? -9.8 : 9.8, t);
    for (const double end = at + 100; at < end; at += 10)
        turn_at(at);
    EXPECT_EQ(page().rehearsal.substr(page().rehearsal.rfind('\n') + 1), "SIGN W3C BY 1 OF 1 TOUCHES");

    // The application's end ends the page's loop.
    core.input().close();
    EXPECT_EQ(turn_at(at += 10), zt::web::WebHost::kLoopEnded);
    EXPECT_EQ(turn_at(at += 10), zt::web::WebHost::kLoopEnded);
    dispatched.stop();
    // Activation at the window and when the focus came back; the touch
    // before the window never arrived, the two after it did.
    zt::testing::expect_dispatched(dispatched, 2, 2);
    EXPECT_EQ(dispatched.count(", 0x6, 0, 0)"), 1);
    EXPECT_TRUE(page().errors.empty()) << page().errors.front();
}
