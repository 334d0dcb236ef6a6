// BitBlt copies pixels exactly and clips; StretchBlt scales with the DC's
// stretch mode and clips.
#include "canvas.h"
#include "zt/gfx/scale.h"

using gditest::Canvas;

namespace {

// A different value for every pixel, alpha included.
std::uint32_t pattern(int x, int y) {
    return (static_cast<std::uint32_t>(x * 37 + y * 11) & 0xFF) << 24 | static_cast<std::uint32_t>(x) << 12 |
           static_cast<std::uint32_t>(y);
}

void paint_pattern(zt::gfx::Surface& s) {
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            s.set(x, y, pattern(x, y));
}

constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kMagenta = 0xFFFF00FFu; // never in a source image here

} // namespace

TEST(BitBlt, CopiesA150By150BlockExactlyAndNothingElse) {
    Canvas symbol(150, 150);
    paint_pattern(symbol.pixels());
    Canvas face(456, 694, kWhite);
    ASSERT_TRUE(BitBlt(face.dc(), 165, 285, 150, 150, symbol.dc(), 0, 0, SRCCOPY));
    for (int y = 0; y < 694; ++y)
        for (int x = 0; x < 456; ++x) {
            const bool inBlock = x >= 165 && x < 315 && y >= 285 && y < 435;
            ASSERT_EQ(face.at(x, y), inBlock ? pattern(x - 165, y - 285) : kWhite) << x << "," << y;
        }
}

TEST(BitBlt, ClipsAtEveryEdgeOfTheDestinationAndTheSource) {
    struct Case {
        const char* name;
        int x, y, width, height, sourceX, sourceY;
    } cases[] = {
        {"inside", 5, 5, 10, 10, 0, 0},
        {"past the left and top", -3, -4, 10, 10, 0, 0},
        {"past the right and bottom", 15, 17, 10, 10, 0, 0},
        {"larger than the destination", -100, -100, 400, 400, -100, -100},
        {"wholly outside", 20, 0, 10, 10, 0, 0},
        {"source partly outside", 5, 5, 10, 10, -2, 4},
        {"source wholly outside", 0, 0, 10, 10, 10, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas source(10, 10);
        paint_pattern(source.pixels());
        Canvas dest(20, 20, kWhite);
        EXPECT_TRUE(BitBlt(dest.dc(), c.x, c.y, c.width, c.height, source.dc(), c.sourceX, c.sourceY, SRCCOPY));
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                const int sx = x - c.x + c.sourceX, sy = y - c.y + c.sourceY;
                const bool copied = x >= c.x && x < c.x + c.width && y >= c.y && y < c.y + c.height && sx >= 0 &&
                                    sx < 10 && sy >= 0 && sy < 10;
                ASSERT_EQ(dest.at(x, y), copied ? pattern(sx, sy) : kWhite) << x << "," << y;
            }
    }
}

TEST(BitBlt, OverlappingCopiesWithinOneSurfaceMoveThePictureIntact) {
    for (int shift : {1, -1}) {
        SCOPED_TRACE(shift);
        Canvas canvas(8, 8);
        paint_pattern(canvas.pixels());
        const zt::gfx::Surface before = canvas.pixels();
        EXPECT_TRUE(BitBlt(canvas.dc(), shift, shift, 8, 8, canvas.dc(), 0, 0, SRCCOPY));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const int sx = x - shift, sy = y - shift;
                const bool moved = sx >= 0 && sx < 8 && sy >= 0 && sy < 8;
                ASSERT_EQ(canvas.at(x, y), moved ? before.at(sx, sy) : before.at(x, y)) << x << "," << y;
            }
    }
}

TEST(StretchBlt, FeltScaledToTheScreenLeavesNoPixelUnpaintedAndKeepsItsColours) {
    // Four flat quadrants: their inner parts must come out exactly, and every
    // destination pixel must be painted.
    Canvas felt(320, 480);
    const std::uint32_t quadrant[4] = {0xFF1E7A2Eu, 0xFF145A20u, 0xFFFF0000u, 0xFF0000FFu};
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 320; ++x)
            felt.pixels().set(x, y, quadrant[(y >= 240 ? 2 : 0) + (x >= 160 ? 1 : 0)]);
    for (int mode : {HALFTONE, COLORONCOLOR}) {
        SCOPED_TRACE(mode);
        Canvas screen(480, 720, kMagenta);
        SetStretchBltMode(screen.dc(), mode);
        ASSERT_TRUE(StretchBlt(screen.dc(), 0, 0, 480, 720, felt.dc(), 0, 0, 320, 480, SRCCOPY));
        EXPECT_EQ(gditest::count_of(screen.pixels(), [](std::uint32_t p) { return p == kMagenta; }), 0);
        EXPECT_EQ(gditest::count_of(screen.pixels(), [](std::uint32_t p) { return (p >> 24) != 0xFF; }), 0);
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 480; ++x) {
                const bool nearSeam = std::abs(x - 240) < 3 || std::abs(y - 360) < 3;
                if (!nearSeam) {
                    ASSERT_EQ(screen.at(x, y), quadrant[(y >= 360 ? 2 : 0) + (x >= 240 ? 1 : 0)]) << x << "," << y;
                }
            }
    }
}

TEST(StretchBlt, HalftoneBlendsNeighboursAndColorOnColorRepeatsPixels) {
    Canvas ramp(2, 1);
    ramp.pixels().set(0, 0, 0xFF000000u);
    ramp.pixels().set(1, 0, 0xFFFFFFFFu);

    Canvas smooth(4, 1, kMagenta);
    EXPECT_EQ(SetStretchBltMode(smooth.dc(), HALFTONE), 1); // Win32's default mode came first
    ASSERT_TRUE(StretchBlt(smooth.dc(), 0, 0, 4, 1, ramp.dc(), 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(smooth.at(0, 0), 0xFF000000u);
    EXPECT_EQ(smooth.at(1, 0), 0xFF404040u); // a quarter of the way
    EXPECT_EQ(smooth.at(2, 0), 0xFFBFBFBFu);
    EXPECT_EQ(smooth.at(3, 0), 0xFFFFFFFFu);

    Canvas blocky(4, 1, kMagenta);
    EXPECT_EQ(SetStretchBltMode(blocky.dc(), COLORONCOLOR), 1);
    ASSERT_TRUE(StretchBlt(blocky.dc(), 0, 0, 4, 1, ramp.dc(), 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(blocky.at(0, 0), 0xFF000000u);
    EXPECT_EQ(blocky.at(1, 0), 0xFF000000u);
    EXPECT_EQ(blocky.at(2, 0), 0xFFFFFFFFu);
    EXPECT_EQ(blocky.at(3, 0), 0xFFFFFFFFu);
}

TEST(StretchBlt, HalftoneDoesNotDarkenTheEdgesOfWhatIsOpaque) {
    Canvas edge(2, 1);
    edge.pixels().set(0, 0, 0x00000000u); // transparent black
    edge.pixels().set(1, 0, 0xFF0000FFu); // opaque blue
    Canvas out(4, 1, kMagenta);
    SetStretchBltMode(out.dc(), HALFTONE);
    ASSERT_TRUE(StretchBlt(out.dc(), 0, 0, 4, 1, edge.dc(), 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(out.at(0, 0), 0x00000000u);
    EXPECT_EQ(out.at(1, 0), 0x400000FFu); // a quarter covered, still pure blue
    EXPECT_EQ(out.at(3, 0), 0xFF0000FFu);
}

TEST(StretchBlt, NegativeWidthMirrorsAsInWin32) {
    Canvas source(3, 1);
    paint_pattern(source.pixels());
    Canvas mirrored(3, 1, kMagenta);
    SetStretchBltMode(mirrored.dc(), COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(mirrored.dc(), 3, 0, -3, 1, source.dc(), 0, 0, 3, 1, SRCCOPY));
    EXPECT_EQ(mirrored.at(0, 0), pattern(2, 0));
    EXPECT_EQ(mirrored.at(1, 0), pattern(1, 0));
    EXPECT_EQ(mirrored.at(2, 0), pattern(0, 0));
}

TEST(StretchBlt, ClipsToTheDestinationAndLeavesWhatTheSourceLacksUntouched) {
    Canvas source(10, 10, 0xFF102030u);
    for (int mode : {HALFTONE, COLORONCOLOR}) {
        SCOPED_TRACE(mode);
        Canvas dest(10, 10, kMagenta);
        SetStretchBltMode(dest.dc(), mode);
        // Twice the size and mostly off the surface: still every pixel.
        ASSERT_TRUE(StretchBlt(dest.dc(), -5, -5, 20, 20, source.dc(), 0, 0, 10, 10, SRCCOPY));
        EXPECT_EQ(gditest::count_of(dest.pixels(), [](std::uint32_t p) { return p != 0xFF102030u; }), 0);

        // The source area reaches past the source's right edge: the
        // destination's right half has nothing to show and keeps its pixels.
        Canvas half(10, 10, kMagenta);
        SetStretchBltMode(half.dc(), mode);
        ASSERT_TRUE(StretchBlt(half.dc(), 0, 0, 10, 10, source.dc(), 5, 0, 10, 10, SRCCOPY));
        EXPECT_EQ(gditest::bounds_of(half.pixels(), [](std::uint32_t p) { return p == 0xFF102030u; }).right, 5);
        EXPECT_EQ(half.at(5, 5), kMagenta);
        EXPECT_EQ(half.at(4, 5), 0xFF102030u);

        // Far outside: nothing, and no harm.
        Canvas away(10, 10, kMagenta);
        EXPECT_TRUE(StretchBlt(away.dc(), 100000, -100000, 2000000000, 5, source.dc(), 0, 0, 10, 10, SRCCOPY));
        EXPECT_EQ(gditest::count_of(away.pixels(), [](std::uint32_t p) { return p != kMagenta; }), 0);
    }
}

TEST(Scale, BilinearShrinkingAveragesEverySourcePixel) {
    // A one-pixel checkerboard shrunk four times over comes out an even grey,
    // not the colour of whichever pixels happen to be sampled.
    zt::gfx::Surface board(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            board.set(x, y, (x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u);
    zt::gfx::Surface small(16, 16, 0);
    zt::gfx::scale_bilinear(board, small);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int grey = static_cast<int>(small.at(x, y) & 0xFF);
            ASSERT_NEAR(grey, 128, 20) << x << "," << y;
            ASSERT_EQ(small.at(x, y) >> 24, 0xFFu);
        }
}

TEST(Scale, WholeSurfaceScalersPaintEveryPixel) {
    zt::gfx::Surface source(320, 480, 0xFF336699u);
    zt::gfx::Surface smooth(480, 720, 0xFFFF00FFu), blocky(480, 720, 0xFFFF00FFu);
    zt::gfx::scale_bilinear(source, smooth);
    zt::gfx::scale_nearest(source, blocky);
    EXPECT_EQ(gditest::count_of(smooth, [](std::uint32_t p) { return p != 0xFF336699u; }), 0);
    EXPECT_EQ(gditest::count_of(blocky, [](std::uint32_t p) { return p != 0xFF336699u; }), 0);
}
