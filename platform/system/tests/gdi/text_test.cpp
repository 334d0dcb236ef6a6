// DrawTextW: where the ink lands, in which colour, and over what.
#include "canvas.h"
#include "zt/gfx/font.h"
#include "zt/sys/trace.h"
#include "zt/testhost.h"

#include <string>
#include <vector>

using gditest::Canvas;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr UINT kCentredBottom = DT_CENTER | DT_BOTTOM; // 9

HFONT rank_font() {
    LOGFONTW logfont{};
    logfont.lfHeight = 50;
    logfont.lfWeight = 800;
    return CreateFontIndirectW(&logfont);
}

// Draws `text` with the rank font and returns DrawTextW's result.
int draw(Canvas& canvas, const char16_t* text, int length, RECT rect, UINT format, COLORREF color = 0,
         int mode = TRANSPARENT) {
    HFONT font = rank_font();
    HGDIOBJ previous = SelectObject(canvas.dc(), font);
    SetBkMode(canvas.dc(), mode);
    SetTextColor(canvas.dc(), color);
    const int result = DrawTextW(canvas.dc(), text, length, &rect, format);
    SelectObject(canvas.dc(), previous);
    DeleteObject(font);
    return result;
}

RECT ink_of(const Canvas& canvas, std::uint32_t ground = kWhite) {
    return gditest::bounds_of(const_cast<Canvas&>(canvas).pixels(), [&](std::uint32_t p) { return p != ground; });
}

// There is ink, and all of it lies inside `r`.
void expect_ink_inside(const RECT& ink, const RECT& r) {
    ASSERT_GT(ink.right, ink.left) << "no ink";
    EXPECT_GE(ink.left, r.left);
    EXPECT_LE(ink.right, r.right);
    EXPECT_GE(ink.top, r.top);
    EXPECT_LE(ink.bottom, r.bottom);
}

} // namespace

TEST(DrawText, CentredBottomFormatPutsInkOnlyInsideCentredAndNearTheBottom) {
    const RECT rects[] = {{20, 200, 300, 300}, {200, 200, 450, 450}};
    for (const RECT& r : rects) {
        SCOPED_TRACE(r.left);
        Canvas face(456, 694, kWhite);
        EXPECT_EQ(draw(face, u"10", 2, r, kCentredBottom), r.bottom - r.top); // Win32: top to the text's bottom
        const RECT ink = ink_of(face);
        expect_ink_inside(ink, r);
        // Digits 50 px high in the cell: about 30 px of ink standing on the
        // baseline, a descent's height above the bottom.
        EXPECT_GE(ink.bottom - ink.top, 25);
        EXPECT_LE(ink.bottom - ink.top, 45);
        EXPECT_GE(ink.bottom, r.bottom - 16);
        const double centre = (ink.left + ink.right) / 2.0;
        EXPECT_NEAR(centre, (r.left + r.right) / 2.0, 3.0);
    }
}

TEST(DrawText, InkIsClippedToARectangleSmallerThanTheText) {
    Canvas face(200, 200, kWhite);
    const RECT r{50, 50, 70, 65};
    draw(face, u"10", 2, r, kCentredBottom);
    expect_ink_inside(ink_of(face), r);
}

TEST(DrawText, OtherAlignmentsPlaceTheLineAtTheirEdge) {
    const RECT r{10, 10, 290, 190};
    Canvas left(300, 200, kWhite), right(300, 200, kWhite), middle(300, 200, kWhite);
    EXPECT_EQ(draw(left, u"Q", 1, r, DT_LEFT), 50); // the cell's height
    draw(right, u"Q", 1, r, DT_RIGHT | DT_VCENTER);
    draw(middle, u"Q", 1, r, DT_CENTER | DT_VCENTER);
    const RECT a = ink_of(left), b = ink_of(right), c = ink_of(middle);
    EXPECT_LE(a.left - r.left, 6);
    EXPECT_LE(a.top - r.top, 15);
    EXPECT_LE(r.right - b.right, 6);
    EXPECT_NEAR((c.left + c.right) / 2.0, 150, 3.0);
    EXPECT_NEAR((c.top + c.bottom) / 2.0, 100, 8.0);
    EXPECT_EQ(b.top, c.top);
}

TEST(DrawText, RedTextColourGivesRedInk) {
    Canvas face(300, 120, kWhite);
    draw(face, u"K", 1, {0, 0, 300, 120}, kCentredBottom, 0x0000FF);
    const zt::gfx::Surface& s = face.pixels();
    EXPECT_GT(gditest::count_of(s, [](std::uint32_t p) { return p == 0xFFFF0000u; }), 200); // solid strokes
    // Edges are red over white: full red, equal green and blue.
    EXPECT_EQ(gditest::count_of(s,
                                [](std::uint32_t p) {
                                    return p != kWhite && ((p >> 16 & 0xFF) != 0xFF || (p >> 8 & 0xFF) != (p & 0xFF));
                                }),
              0);
}

TEST(DrawText, TransparentModeLeavesTheGroundAroundGlyphsAndOpaqueFillsTheTextBox) {
    const std::uint32_t ground = 0xFF336699u;
    const RECT r{0, 0, 200, 100};
    Canvas clear(200, 100, ground), boxed(200, 100, ground);
    draw(clear, u"10", 2, r, kCentredBottom, 0x000000, TRANSPARENT);
    draw(boxed, u"10", 2, r, kCentredBottom, 0x000000, OPAQUE);

    // Transparent: nothing turns white (the background colour), and every
    // pixel off the glyphs' ink keeps the ground.
    EXPECT_EQ(gditest::count_of(clear.pixels(), [](std::uint32_t p) { return p == kWhite; }), 0);
    const RECT ink = ink_of(clear, ground);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            if (x < ink.left || x >= ink.right || y < ink.top || y >= ink.bottom) {
                ASSERT_EQ(clear.at(x, y), ground) << x << "," << y;
            }
    // Opaque: the line's box (one cell high, on the bottom) turns white
    // around the glyphs; the rest of the rectangle keeps the ground.
    const int white = gditest::count_of(boxed.pixels(), [](std::uint32_t p) { return p == kWhite; });
    EXPECT_GT(white, 50 * (ink.right - ink.left) / 2);
    EXPECT_EQ(boxed.at(100, 10), ground);
    EXPECT_EQ(boxed.at(ink.left, 99), kWhite);
}

TEST(DrawText, ExplicitLengthDrawsOnlyThatManyCharacters) {
    const RECT r{0, 0, 200, 80};
    Canvas cut(200, 80, kWhite), whole(200, 80, kWhite);
    draw(cut, u"123", 2, r, kCentredBottom);
    draw(whole, u"12", -1, r, kCentredBottom);
    ASSERT_GT(ink_of(whole).right, 0);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(cut.at(x, y), whole.at(x, y)) << x << "," << y;
    Canvas none(50, 50, kWhite);
    EXPECT_EQ(draw(none, u"12", 0, {0, 0, 50, 50}, kCentredBottom), 0);
    EXPECT_EQ(ink_of(none).right, 0);
}

TEST(DrawText, TheFontFileCanBeChosenByHand) {
    const std::string regular = zt::gfx::font_file(zt::gfx::FontWeight::Regular);
    const std::string bold = zt::gfx::font_file(zt::gfx::FontWeight::Bold);
    ASSERT_FALSE(bold.empty()) << "fontconfig found no bold sans font";
    ASSERT_NE(regular, bold);
    auto ink_pixels = [] {
        Canvas c(200, 80, kWhite);
        draw(c, u"88", 2, {0, 0, 200, 80}, kCentredBottom);
        return gditest::count_of(c.pixels(), [](std::uint32_t p) { return p != kWhite; });
    };
    const int heavy = ink_pixels();
    zt::gfx::set_font_file(zt::gfx::FontWeight::Bold, regular);
    const int light = ink_pixels();
    zt::gfx::set_font_file(zt::gfx::FontWeight::Bold, "/nonexistent/font.ttf"); // falls back on regular
    const int fallback = ink_pixels();
    zt::gfx::set_font_file(zt::gfx::FontWeight::Bold, "");
    EXPECT_EQ(zt::gfx::font_file(zt::gfx::FontWeight::Bold), bold);
    EXPECT_GT(heavy, light + light / 5);
    EXPECT_EQ(fallback, light);
}

TEST(DrawText, BadArgumentsFailWithTheLastErrorSet) {
    Canvas canvas(20, 20, kWhite);
    RECT r{0, 0, 20, 20};
    SetLastError(gditest::kSentinelError);
    EXPECT_EQ(DrawTextW(nullptr, u"1", 1, &r, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(gditest::kSentinelError);
    EXPECT_EQ(DrawTextW(canvas.dc(), nullptr, 1, &r, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(gditest::kSentinelError);
    EXPECT_EQ(DrawTextW(canvas.dc(), u"1", 1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ink_of(canvas).right, 0);
}

TEST(DrawText, TraceLineCarriesTheTextAndTheRectangle) {
    std::vector<std::string> drawn;
    std::size_t colours = 0;
    std::size_t selections = 0;
    {
        const zt::testhost::TraceCapture trace(zt::trace::kGdi);
        Canvas face(456, 694, kWhite);
        draw(face, u"10", 2, {20, 200, 300, 300}, kCentredBottom, 0x0000FF);
        drawn = trace.starting("trace:gdi: DrawTextW(");
        colours = trace.starting("trace:gdi: SetTextColor(").size();
        selections = trace.starting("trace:gdi: SelectObject(").size();
    }
    ASSERT_FALSE(drawn.empty());
    EXPECT_NE(drawn.front().find("\"10\",2,{20,200,300,300},0x9) = 100"), std::string::npos) << drawn.front();
    EXPECT_GT(colours, 0u);
    EXPECT_GT(selections, 0u);
}
