// The platform's rectangle arithmetic.
#include "zt/gfx/rect.h"

#include <gtest/gtest.h>

namespace {

bool same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

TEST(Rect, IntersectKeepsTheCommonPartAndDisjointOnesComeOutEmpty) {
    EXPECT_TRUE(same(zt::gfx::intersect(RECT{0, 0, 10, 10}, RECT{5, -5, 20, 7}), RECT{5, 0, 10, 7}));
    const RECT apart = zt::gfx::intersect(RECT{0, 0, 10, 10}, RECT{20, 20, 30, 30});
    EXPECT_TRUE(zt::gfx::is_empty(apart));
    // Touching edges share nothing: right and bottom are exclusive.
    EXPECT_TRUE(zt::gfx::is_empty(zt::gfx::intersect(RECT{0, 0, 10, 10}, RECT{10, 0, 20, 10})));
}

TEST(Rect, UniteIsTheSmallestRectangleHoldingBoth) {
    EXPECT_TRUE(same(zt::gfx::unite(RECT{0, 0, 10, 10}, RECT{20, -5, 30, 5}), RECT{0, -5, 30, 10}));
    EXPECT_TRUE(same(zt::gfx::unite(RECT{2, 2, 4, 4}, RECT{0, 0, 10, 10}), RECT{0, 0, 10, 10}));
}

TEST(Rect, OffsetMovesAllFourEdges) {
    EXPECT_TRUE(same(zt::gfx::offset(RECT{1, 2, 3, 4}, 10, -2), RECT{11, 0, 13, 2}));
}

TEST(Rect, TheClientRectangleIsTheFrameSizeAtTheOrigin) {
    EXPECT_TRUE(same(zt::gfx::client_rect(RECT{100, 40, 580, 760}), RECT{0, 0, 480, 720}));
    // A frame turned inside out gives an empty client area, never a negative one.
    EXPECT_TRUE(same(zt::gfx::client_rect(RECT{10, 10, 5, 5}), RECT{0, 0, 0, 0}));
    EXPECT_TRUE(zt::gfx::is_empty(zt::gfx::client_rect(RECT{3, 3, 3, 9})));
}
