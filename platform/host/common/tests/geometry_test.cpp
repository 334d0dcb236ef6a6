// The window's scale and the way a point of the window becomes a phone pixel.
#include "zt/host/geometry.h"

#include <gtest/gtest.h>

using namespace zt::host;

TEST(WindowScale, TheDefaultIsTheLargestThatFitsTheUsableArea) {
    // 1920x1200 minus a title bar: 1160 / 720 = 1.61.
    EXPECT_DOUBLE_EQ(fit_scale(1920, 1200), 1.61);
    // A 4K screen: 2120 / 720 = 2.94, not within 10% of 2.
    EXPECT_DOUBLE_EQ(fit_scale(3840, 2160), 2.94);
}

TEST(WindowScale, AWholeNumberWithinTenPercentIsPreferredForSharpPixels) {
    // 1080p: 1010 / 720 = 1.40 stays; 1536 high: 1496 / 720 = 2.07 becomes 2.
    EXPECT_DOUBLE_EQ(fit_scale(1920, 1050), 1.4);
    EXPECT_DOUBLE_EQ(fit_scale(2560, 1536), 2.0);
    EXPECT_DOUBLE_EQ(fit_scale(1024, 768), 1.0);
}

TEST(WindowScale, ASmallDisplayShrinksTheWindowButNotToNothing) {
    EXPECT_DOUBLE_EQ(fit_scale(800, 600), 0.77);
    EXPECT_DOUBLE_EQ(fit_scale(100, 100), 0.25);
    EXPECT_DOUBLE_EQ(fit_scale(0, 0), 0.25);
}

TEST(WindowScale, TheWindowIsThePhoneScreenTimesTheScale) {
    const Rect one = window_size(1);
    EXPECT_EQ(one.w, 480);
    EXPECT_EQ(one.h, 720);
    const Rect odd = window_size(1.61);
    EXPECT_EQ(odd.w, 773);
    EXPECT_EQ(odd.h, 1159);
}

TEST(Viewport, TheScreenFillsAnOutputOfItsOwnShape) {
    const Rect v = viewport(960, 1440);
    EXPECT_EQ(v.x, 0);
    EXPECT_EQ(v.y, 0);
    EXPECT_EQ(v.w, 960);
    EXPECT_EQ(v.h, 1440);
    EXPECT_TRUE(whole_scale(v));
}

TEST(Viewport, AnOutputOfAnotherShapeGetsBarsOnTwoSides) {
    const Rect wide = viewport(1000, 1440);
    EXPECT_EQ(wide.x, 20);
    EXPECT_EQ(wide.y, 0);
    EXPECT_EQ(wide.w, 960);
    EXPECT_EQ(wide.h, 1440);
    const Rect tall = viewport(480, 800);
    EXPECT_EQ(tall.x, 0);
    EXPECT_EQ(tall.y, 40);
    EXPECT_EQ(tall.w, 480);
    EXPECT_EQ(tall.h, 720);
    EXPECT_EQ(viewport(0, 720).w, 0);
}

TEST(Viewport, OnlyWholeMultiplesScaleByNearestNeighbour) {
    EXPECT_TRUE(whole_scale(viewport(480, 720)));
    EXPECT_TRUE(whole_scale(viewport(1440, 2160)));
    EXPECT_FALSE(whole_scale(viewport(773, 1159)));
    EXPECT_FALSE(whole_scale(viewport(240, 360)));
    EXPECT_FALSE(whole_scale(Rect{}));
}

TEST(ScreenPixel, AtScaleOneAWindowPointIsThePixel) {
    const Point p = to_screen_pixel(321, 10, 480, 720);
    EXPECT_EQ(p.x, 321);
    EXPECT_EQ(p.y, 10);
    const Point corner = to_screen_pixel(479, 719, 480, 720);
    EXPECT_EQ(corner.x, 479);
    EXPECT_EQ(corner.y, 719);
}

TEST(ScreenPixel, AtScaleTwoEachPixelCoversTwoWindowPoints) {
    EXPECT_EQ(to_screen_pixel(640, 200, 960, 1440).x, 320);
    EXPECT_EQ(to_screen_pixel(641, 200, 960, 1440).x, 320);
    EXPECT_EQ(to_screen_pixel(639, 200, 960, 1440).x, 319);
    EXPECT_EQ(to_screen_pixel(640, 1439, 960, 1440).y, 719);
}

TEST(ScreenPixel, AtAFractionalScaleThePointRoundsDownToItsPixel) {
    // 1.5: window x 481 is phone x 320.67.
    EXPECT_EQ(to_screen_pixel(481, 0, 720, 1080).x, 320);
    EXPECT_EQ(to_screen_pixel(479, 0, 720, 1080).x, 319);
}

TEST(ScreenPixel, BarsAroundTheScreenAreTakenOffFirst) {
    // 1000x1440: the screen starts 20 points in.
    EXPECT_EQ(to_screen_pixel(20, 0, 1000, 1440).x, 0);
    EXPECT_EQ(to_screen_pixel(19, 0, 1000, 1440).x, -1);
}

TEST(ScreenPixel, PointsOffTheScreenGiveSignedPixelsBeyondItsEdges) {
    const Point p = to_screen_pixel(-10, -3, 960, 1440);
    EXPECT_EQ(p.x, -5);
    EXPECT_EQ(p.y, -2);
    EXPECT_EQ(to_screen_pixel(1000, 1500, 960, 1440).x, 500);
    EXPECT_EQ(to_screen_pixel(1e9, -1e9, 480, 720).x, 32767);
    EXPECT_EQ(to_screen_pixel(1e9, -1e9, 480, 720).y, -32768);
}
