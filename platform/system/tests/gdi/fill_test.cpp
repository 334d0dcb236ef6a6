// FillRect paints exactly the part of its rectangle that lies on the surface.
#include "canvas.h"

#include <climits>

using gditest::Canvas;

namespace {

struct FillCase {
    const char* name;
    RECT rect;
    RECT painted; // what must change; everything else stays
};

const FillCase kCases[] = {
    {"inside", {2, 2, 5, 5}, {2, 2, 5, 5}},
    {"at the left edge", {0, 1, 3, 4}, {0, 1, 3, 4}},
    {"past the left edge", {-5, 1, 3, 4}, {0, 1, 3, 4}},
    {"at the right edge", {7, 1, 10, 4}, {7, 1, 10, 4}},
    {"past the right edge", {7, 1, 50, 4}, {7, 1, 10, 4}},
    {"at the top edge", {1, 0, 4, 3}, {1, 0, 4, 3}},
    {"past the top edge", {1, -9, 4, 3}, {1, 0, 4, 3}},
    {"at the bottom edge", {1, 6, 4, 8}, {1, 6, 4, 8}},
    {"past the bottom edge", {1, 6, 4, 99}, {1, 6, 4, 8}},
    {"over every edge", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {0, 0, 10, 8}},
    {"wholly left and above", {-10, -10, 0, 0}, {0, 0, 0, 0}},
    {"wholly right", {10, 0, 20, 8}, {0, 0, 0, 0}},
    {"wholly below", {0, 8, 10, 20}, {0, 0, 0, 0}},
    {"inverted", {5, 5, 2, 2}, {0, 0, 0, 0}},
};

bool inside(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

} // namespace

TEST(FillRect, PaintsOnlyWhereTheRectangleMeetsTheSurface) {
    for (const FillCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(10, 8, 0xFF000000u);
        HBRUSH red = CreateSolidBrush(0x0000FF);
        EXPECT_NE(FillRect(canvas.dc(), &c.rect, red), 0);
        DeleteObject(red);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 10; ++x)
                ASSERT_EQ(canvas.at(x, y), inside(c.painted, x, y) ? 0xFFFF0000u : 0xFF000000u)
                    << "pixel " << x << "," << y;
    }
}

TEST(FillRect, ColoursAreBlueGreenRedFromTheHighByteDown) {
    Canvas canvas(2, 2);
    gditest::fill(canvas.dc(), {0, 0, 1, 1}, RGB(0x12, 0x34, 0x56));
    gditest::fill(canvas.dc(), {1, 0, 2, 1}, 0x00FF0000); // blue
    EXPECT_EQ(canvas.at(0, 0), 0xFF123456u);
    EXPECT_EQ(canvas.at(1, 0), 0xFF0000FFu);
    EXPECT_EQ(canvas.at(0, 1), 0xFF000000u);
}

TEST(FillRect, TheSameBrushFillsAgainAfterBeingUsed) {
    Canvas canvas(4, 1);
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    RECT left{0, 0, 2, 1}, right{2, 0, 4, 1};
    EXPECT_NE(FillRect(canvas.dc(), &left, green), 0);
    EXPECT_NE(FillRect(canvas.dc(), &right, green), 0);
    EXPECT_TRUE(DeleteObject(green));
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(canvas.at(x, 0), 0xFF00FF00u);
}
