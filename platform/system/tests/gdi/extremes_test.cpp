// Coordinates and sizes at the ends of the integer range draw nothing they
// should not and never fault (this binary also runs under the sanitizers).
#include "canvas.h"

#include <climits>

using gditest::Canvas;

TEST(Extremes, CoordinatesAtTheEndsOfTheRangeAreSafe) {
    Canvas source(8, 8, 0xFF112233u);
    Canvas dest(16, 16, 0xFFFFFFFFu);
    auto untouched = [&] {
        return gditest::count_of(dest.pixels(), [](std::uint32_t p) { return p != 0xFFFFFFFFu; }) == 0;
    };
    EXPECT_TRUE(BitBlt(dest.dc(), INT_MAX - 2, INT_MAX - 2, INT_MAX, INT_MAX, source.dc(), 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(dest.dc(), 0, 0, 16, 16, source.dc(), INT_MIN, INT_MIN, SRCCOPY));
    EXPECT_TRUE(BitBlt(dest.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, source.dc(), INT_MAX, INT_MAX, SRCCOPY));
    EXPECT_TRUE(untouched());
    for (int mode : {HALFTONE, COLORONCOLOR}) {
        SetStretchBltMode(dest.dc(), mode);
        EXPECT_TRUE(StretchBlt(dest.dc(), INT_MIN, INT_MIN, -INT_MAX, -INT_MAX, source.dc(), 0, 0, 8, 8, SRCCOPY));
        EXPECT_TRUE(StretchBlt(dest.dc(), 0, 0, 16, 16, source.dc(), INT_MIN, 0, INT_MAX, 8, SRCCOPY));
        EXPECT_TRUE(StretchBlt(dest.dc(), 0, 0, 0, 16, source.dc(), 0, 0, 8, 8, SRCCOPY));
        EXPECT_TRUE(StretchBlt(dest.dc(), 0, 0, 16, 16, source.dc(), 0, 0, 0, 0, SRCCOPY));
    }
    EXPECT_TRUE(untouched());

    LOGFONTW logfont{};
    logfont.lfHeight = INT_MIN; // limited to a sane size
    HFONT font = CreateFontIndirectW(&logfont);
    HGDIOBJ previous = SelectObject(dest.dc(), font);
    RECT far{INT_MAX - 10, INT_MAX - 10, INT_MAX, INT_MAX};
    DrawTextW(dest.dc(), u"far", -1, &far, DT_CENTER | DT_BOTTOM);
    RECT inverted{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    DrawTextW(dest.dc(), u"inverted", -1, &inverted, DT_RIGHT | DT_VCENTER);
    EXPECT_TRUE(untouched());
    SelectObject(dest.dc(), previous);
    DeleteObject(font);

    // A whole-range rectangle still draws where the surface is.
    SetStretchBltMode(dest.dc(), COLORONCOLOR);
    EXPECT_TRUE(StretchBlt(dest.dc(), INT_MIN / 2, INT_MIN / 2, INT_MAX, INT_MAX, source.dc(), 0, 0, 8, 8, SRCCOPY));
    EXPECT_EQ(dest.at(0, 0), 0xFF112233u);
    EXPECT_EQ(dest.at(15, 15), 0xFF112233u);
}
