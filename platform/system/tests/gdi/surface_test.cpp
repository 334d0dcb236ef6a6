// What a surface remembers of its writes: others copy it again by it, so it
// may forget, but never claim an area unchanged that was written.
#include "zt/gfx/pixels.h"
#include "zt/gfx/surface.h"

#include <gtest/gtest.h>

using zt::gfx::Surface;

namespace {

bool listed(const Surface::Writes& w, Surface::Area a) {
    for (std::size_t i = 0; i < w.count; ++i)
        if (w.areas[i].left == a.left && w.areas[i].top == a.top && w.areas[i].right == a.right &&
            w.areas[i].bottom == a.bottom)
            return true;
    return false;
}

} // namespace

TEST(SurfaceWrites, NotedAreasAreReportedClippedAndOnlyAfterTheVersionAsked) {
    Surface s(100, 50);
    s.note_write({0, 0, 10, 10});
    const std::uint64_t v = s.version();
    s.note_write({90, 40, 120, 70});
    Surface::Writes w;
    ASSERT_TRUE(s.writes_since(v, w));
    ASSERT_EQ(w.count, 1u);
    EXPECT_TRUE(listed(w, {90, 40, 100, 50}));
    EXPECT_TRUE(s.unchanged_since(v, {0, 0, 90, 50}));
    EXPECT_FALSE(s.unchanged_since(v, {85, 35, 91, 41}));
    ASSERT_TRUE(s.writes_since(s.version(), w));
    EXPECT_EQ(w.count, 0u);
}

TEST(SurfaceWrites, WritingWithoutSayingWhereCountsAsEverything) {
    for (int how = 0; how < 4; ++how) {
        Surface s(20, 20);
        const std::uint64_t v = s.version();
        if (how == 0)
            s.row(3)[4] = 1;
        else if (how == 1)
            s.data()[0] = 1;
        else if (how == 2)
            s.set(1, 1, 1);
        else
            s.fill(7);
        Surface::Writes w;
        EXPECT_FALSE(s.writes_since(v, w)) << how;
        EXPECT_FALSE(s.unchanged_since(v, {15, 15, 16, 16})) << how;
    }
}

TEST(SurfaceWrites, ForgottenWritesMakeEverythingCountAsWritten) {
    Surface s(100, 100);
    const std::uint64_t v = s.version();
    for (int i = 0; i <= static_cast<int>(Surface::kRememberedWrites); ++i)
        s.note_write({i, 0, i + 1, 1});
    Surface::Writes w;
    EXPECT_FALSE(s.writes_since(v, w));
    EXPECT_FALSE(s.unchanged_since(v, {50, 50, 60, 60}));
}

TEST(SurfaceWrites, CopiesMovesAndResizesAreOtherSurfaces) {
    Surface a(10, 10);
    Surface b(a);
    EXPECT_NE(a.identity(), b.identity());
    const std::uint64_t id = b.identity();
    Surface c(std::move(b));
    EXPECT_NE(c.identity(), id);
    const std::uint64_t before = c.identity();
    c.resize(5, 5);
    EXPECT_NE(c.identity(), before);
    Surface d;
    const std::uint64_t dBefore = d.identity();
    d = a;
    EXPECT_NE(d.identity(), dBefore);
    EXPECT_NE(d.identity(), a.identity());
}

TEST(FillPixels, EveryColourFillsExactlyTheRunAndNoMore) {
    for (std::uint32_t pixel : {0xFFFFFFFFu, 0x00000000u, 0xFF336699u, 0x80FF0000u}) {
        for (std::size_t count : {0u, 1u, 15u, 16u, 17u, 33u, 1000u}) {
            std::vector<std::uint32_t> v(count + 2, 0x12345678u);
            zt::gfx::fill_pixels(v.data() + 1, count, pixel);
            EXPECT_EQ(v.front(), 0x12345678u);
            EXPECT_EQ(v.back(), 0x12345678u);
            for (std::size_t i = 1; i <= count; ++i)
                ASSERT_EQ(v[i], pixel) << count << " " << i;
        }
    }
}

TEST(CopyPixels, BothWaysCopyExactlyTheRunAndNoMore) {
    for (auto copy : {&zt::gfx::copy_pixels, &zt::gfx::copy_pixels_inline}) {
        for (std::size_t count : {0u, 1u, 15u, 16u, 17u, 33u, 480u, 1000u}) {
            std::vector<std::uint32_t> in(count + 2);
            for (std::size_t i = 0; i < in.size(); ++i)
                in[i] = 0xFF000000u + static_cast<std::uint32_t>(i);
            std::vector<std::uint32_t> out(count + 2, 0x12345678u);
            copy(out.data() + 1, in.data() + 1, count);
            EXPECT_EQ(out.front(), 0x12345678u);
            EXPECT_EQ(out.back(), 0x12345678u);
            for (std::size_t i = 1; i <= count; ++i)
                ASSERT_EQ(out[i], in[i]) << count << " " << i;
        }
    }
}

// A surface reuses its memory when it is resized: nothing it held before may
// show through the new fill, whether it shrank, grew or kept its size.
TEST(FillPixels, AResizedSurfaceHoldsOnlyItsFill) {
    struct Step {
        int width, height;
        std::uint32_t fill;
    };
    const Step steps[] = {{40, 30, 0xFF123456u}, {10, 5, 0xFF00FF00u},  {40, 30, zt::gfx::kOpaqueBlack},
                          {41, 31, 0xFFFFFFFFu}, {7, 300, 0x80FF0000u}, {0, 9, 0xFF000001u},
                          {0, 0, 0xFFFFFFFFu}};
    Surface s(40, 30, 0xFFABCDEFu);
    for (const Step& step : steps) {
        s.resize(step.width, step.height, step.fill);
        ASSERT_EQ(s.width(), step.width);
        ASSERT_EQ(s.height(), step.height);
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x)
                ASSERT_EQ(s.at(x, y), step.fill) << step.width << "x" << step.height << " at " << x << "," << y;
        s.fill(0xFF010203u);
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x)
                ASSERT_EQ(s.at(x, y), 0xFF010203u);
    }
    EXPECT_EQ(Surface(3, 2).at(2, 1), zt::gfx::kOpaqueBlack);
    // Never given a pixel: filling it is no write anywhere.
    Surface empty(0, 0, 0xFFFFFFFFu);
    empty.fill(0x00000000u);
    EXPECT_EQ(empty.width() * empty.height(), 0);
}

TEST(FillPixels, AnAreaIsFilledAndNotedWholeRowsOrNot) {
    for (auto [left, right] : {std::pair{0, 30}, {5, 12}}) {
        Surface s(30, 10, 0xFF000000u);
        const std::uint64_t v = s.version();
        zt::gfx::fill_area(s, left, 2, right, 6, 0xFF00FF00u);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 30; ++x)
                ASSERT_EQ(s.at(x, y), x >= left && x < right && y >= 2 && y < 6 ? 0xFF00FF00u : 0xFF000000u);
        EXPECT_FALSE(s.unchanged_since(v, {left, 5, left + 1, 6}));
        EXPECT_TRUE(s.unchanged_since(v, {0, 6, 30, 10}));
    }
}
