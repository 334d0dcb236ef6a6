// What the host draws over the frame: pixels inside, at and past the edges.
#include "zt/host/overlay.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace zt::host;
using zt::gfx::Surface;

namespace {

constexpr std::uint32_t kFelt = 0xFF1E6B34;
constexpr std::uint32_t kCard = 0xFFFFFFFF;

using zt::testhost::brightness;

int count_pixels(const Surface& s, int x0, int y0, int x1, int y1, std::uint32_t pixel) {
    return zt::testhost::count_pixels(s, RECT{x0, y0, x1, y1}, pixel);
}

} // namespace

TEST(DesktopOverlay, BlendMixesEachChannelAndStaysOpaque) {
    EXPECT_EQ(blend(0xFF000000u, 0xFFFFFFFFu, 255), 0xFFFFFFFFu);
    EXPECT_EQ(blend(0xFF000000u, 0xFFFFFFFFu, 0), 0xFF000000u);
    EXPECT_EQ(blend(0xFF000000u, 0xFFC8643Cu, 128), 0xFF64321Eu);
    EXPECT_EQ(blend(0xFF102030u, 0x00102030u, 77) >> 24, 0xFFu);
}

TEST(DesktopOverlay, TheTaskbarDarkensTheTopStripOnlyAndShowsTheTime) {
    Surface frame(480, 720, kCard);
    draw_taskbar(frame, 9, 41, 40);
    // Dark across the strip, away from the marks and the clock.
    EXPECT_LT(brightness(frame.at(100, 0)), 150);
    EXPECT_LT(brightness(frame.at(300, 38)), 150);
    EXPECT_LT(brightness(frame.at(479, 39)), 300);
    // The row below is untouched.
    EXPECT_EQ(count_pixels(frame, 0, 40, 480, 41, kCard), 480);
    // The clock is light text in the middle; nothing light between it and
    // the signal bars.
    EXPECT_GT(count_pixels(frame, 180, 0, 300, 40, kTaskbarInk), 40);
    EXPECT_EQ(count_pixels(frame, 60, 0, 180, 40, kTaskbarInk), 0);
    // Signal bars on the left, the battery on the right.
    EXPECT_GT(count_pixels(frame, 0, 0, 60, 40, kTaskbarInk), 50);
    EXPECT_GT(count_pixels(frame, 420, 0, 480, 40, kTaskbarInk), 50);
}

TEST(DesktopOverlay, TheClockShowsTheDigitsItIsGiven) {
    Surface a(480, 720, kFelt);
    Surface b(480, 720, kFelt);
    draw_taskbar(a, 9, 41, 40);
    draw_taskbar(b, 9, 47, 40);
    EXPECT_NE(count_pixels(a, 180, 0, 300, 40, kTaskbarInk), count_pixels(b, 180, 0, 300, 40, kTaskbarInk));
}

// A faint line lies on each guide it is handed, and nowhere else.
TEST(DesktopOverlay, RehearsalLinesFallOnTheGuidesAlone) {
    const zt::host::RehearsalGuides guides{{7, 200, 401}, {33, 500}};
    Surface frame(480, 720, kCard);
    draw_rehearsal(frame, guides, 0, 45, 45);
    auto listed = [](const std::vector<int>& at, int v) { return std::find(at.begin(), at.end(), v) != at.end(); };
    for (int x = 0; x < 480; ++x)
        EXPECT_EQ(frame.at(x, 100) != kCard, listed(guides.columns, x)) << "x " << x;
    for (int y = 0; y < 640; ++y)
        EXPECT_EQ(frame.at(50, y) != kCard, listed(guides.rows, y)) << "y " << y;
    // Faint: the card still shows through.
    EXPECT_GT(brightness(frame.at(200, 100)), 3 * 128);
}

TEST(DesktopOverlay, RehearsalReadingsAreWrittenNearTheBottom) {
    Surface flat(480, 720, kFelt);
    Surface tilted(480, 720, kFelt);
    draw_rehearsal(flat, {}, 0, 0, 64);
    draw_rehearsal(tilted, {}, -45, 0, 45);
    int differing = 0;
    for (int y = 640; y < 720; ++y)
        for (int x = 0; x < 480; ++x)
            differing += flat.at(x, y) != tilted.at(x, y);
    EXPECT_GT(differing, 20);
    EXPECT_GT(count_pixels(flat, 0, 660, 480, 720, 0xFFFFFFFFu), 100);
}

TEST(DesktopOverlay, TextIsClippedAtTheFrameEdges) {
    Surface frame(20, 10, 0xFF000000u);
    const int width = draw_text(frame, -4, -3, "88", 0xFFFFFFFFu, 2);
    EXPECT_EQ(width, 24);
    // Digit 8 from (-4, -3): its top bar falls off the frame; the sides of
    // its second row (x -4..-3 and 4..5, y -1..0) are half inside, the bar
    // of its fourth row (x -2..3, y 3..4) inside.
    EXPECT_EQ(frame.at(4, 0), 0xFFFFFFFFu);
    EXPECT_EQ(frame.at(5, 0), 0xFFFFFFFFu);
    EXPECT_EQ(frame.at(0, 0), 0xFF000000u);
    EXPECT_EQ(frame.at(0, 3), 0xFFFFFFFFu);
    EXPECT_EQ(frame.at(0, 2), 0xFF000000u);
    Surface tiny(1, 1, 0xFF000000u);
    draw_text(tiny, 100, 100, "X", 0xFFFFFFFFu, 1);
    EXPECT_EQ(tiny.at(0, 0), 0xFF000000u);
}

TEST(DesktopOverlay, UnknownCharactersAreBlankButTakeTheirPlace) {
    Surface frame(40, 10, 0xFF000000u);
    EXPECT_EQ(draw_text(frame, 0, 0, "?*", 0xFFFFFFFFu, 1), 12);
    EXPECT_EQ(count_pixels(frame, 0, 0, 40, 10, 0xFFFFFFFFu), 0);
}

TEST(PlaceFrame, CopiesTheFrameAtItsPlaceAndClipsAtEveryEdge) {
    struct Case {
        int left, top;
    } cases[] = {{0, 0}, {3, 2}, {-2, -3}, {8, 7}, {-10, 0}, {0, 20}};
    for (const Case& c : cases) {
        Surface screen(10, 10, 0xFF000000u);
        Surface frame(4, 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 4; ++x)
                frame.set(x, y, 0xFF000000u | static_cast<std::uint32_t>(y * 16 + x + 1));
        place_frame(screen, frame, c.left, c.top);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                const int fx = x - c.left, fy = y - c.top;
                const bool inside = fx >= 0 && fx < 4 && fy >= 0 && fy < 5;
                ASSERT_EQ(screen.at(x, y), inside ? frame.at(fx, fy) : 0xFF000000u)
                    << "at " << x << "," << y << " for " << c.left << "," << c.top;
            }
    }
}
