// The pictures themselves, decoded as the framework decodes them.
#include "image_table.h"
#include "zt/gfx/png.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>

using namespace restest;

namespace {

zt::gfx::Surface decode(UINT id) {
    const auto bytes = load(id);
    if (!bytes)
        return {};
    auto surface = zt::gfx::decode_png(bytes->data, bytes->size);
    return surface ? std::move(*surface) : zt::gfx::Surface();
}

using zt::testhost::alpha;
using zt::testhost::blue;
using zt::testhost::green;
using zt::testhost::red;

} // namespace

TEST(ImageResources, EveryImageDecodesToItsStatedSize) {
    for (const Image& image : kImages) {
        SCOPED_TRACE(image.id);
        const zt::gfx::Surface surface = decode(image.id);
        EXPECT_EQ(surface.width(), image.width);
        EXPECT_EQ(surface.height(), image.height);
    }
}

TEST(SuitImages, SpadeIsNotACourtFigure) {
    const UINT id = SuitResourceId(1);
    EXPECT_TRUE(id < IDR_COURT_JACK || id > IDR_COURT_QUEEN);
    const zt::gfx::Surface spade = decode(id);
    EXPECT_EQ(spade.width(), 150);
    EXPECT_EQ(spade.height(), 150);
}

TEST(ImagePixels, FeltIsOpaqueGreenEverywhere) {
    const zt::gfx::Surface felt = decode(IDR_FELT);
    ASSERT_EQ(felt.width(), 320);
    long greenish = 0;
    for (int y = 0; y < felt.height(); ++y)
        for (int x = 0; x < felt.width(); ++x) {
            const std::uint32_t p = felt.at(x, y);
            ASSERT_EQ(alpha(p), 0xFFu) << "at " << x << "," << y;
            greenish += green(p) > red(p) + 20 && green(p) > blue(p) + 20;
        }
    EXPECT_EQ(greenish, 320L * 480L);
}

TEST(ImagePixels, SuitSymbolsStandOnATransparentGroundWithAnOpaqueCentre) {
    struct Case {
        UINT id;
        bool red;
    } cases[] = {{IDR_SUIT_CLUB, false}, {IDR_SUIT_DIAMOND, true}, {IDR_SUIT_HEART, true}, {IDR_SUIT_SPADE, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const zt::gfx::Surface image = decode(c.id);
        ASSERT_EQ(image.width(), 150);
        ASSERT_EQ(image.height(), 150);
        for (auto [x, y] : {std::pair{0, 0}, {149, 0}, {0, 149}, {149, 149}, {3, 3}, {146, 3}})
            EXPECT_EQ(alpha(image.at(x, y)), 0u) << "corner " << x << "," << y;
        const std::uint32_t centre = image.at(75, 75);
        EXPECT_EQ(alpha(centre), 0xFFu);
        if (c.red) {
            EXPECT_GE(red(centre), 0xC0u);
            EXPECT_LE(green(centre), 0x30u);
            EXPECT_LE(blue(centre), 0x30u);
        } else {
            EXPECT_LE(red(centre) + green(centre) + blue(centre), 0x30u);
        }
        // The symbol fills most of its square.
        int left = 150, right = -1, top = 150, bottom = -1;
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 150; ++x)
                if (alpha(image.at(x, y)) >= 0x80) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        const int width = right - left + 1, height = bottom - top + 1;
        EXPECT_GE(std::min(width, height), 100);
        EXPECT_GE(std::max(width, height), 125);
    }
}

TEST(ImagePixels, CardBackIsRedInsideAWhiteBorderWithRoundedCorners) {
    const zt::gfx::Surface back = decode(IDR_CARD_BACK);
    ASSERT_EQ(back.width(), 304);
    ASSERT_EQ(back.height(), 463);
    for (auto [x, y] : {std::pair{0, 0}, {303, 0}, {0, 462}, {303, 462}})
        EXPECT_EQ(alpha(back.at(x, y)), 0u) << "corner " << x << "," << y;
    // The white border, halfway down each side and halfway along top and bottom.
    for (auto [x, y] : {std::pair{7, 231}, {296, 231}, {152, 7}, {152, 455}}) {
        const std::uint32_t p = back.at(x, y);
        EXPECT_EQ(alpha(p), 0xFFu);
        EXPECT_GE(std::min({red(p), green(p), blue(p)}), 0xF0u) << x << "," << y;
    }
    // Inside, the field is opaque and mostly red.
    long reddish = 0, inside = 0;
    for (int y = 30; y < 433; ++y)
        for (int x = 30; x < 274; ++x, ++inside) {
            const std::uint32_t p = back.at(x, y);
            ASSERT_EQ(alpha(p), 0xFFu);
            reddish += red(p) > green(p) + 60 && red(p) > blue(p) + 60;
        }
    EXPECT_GT(reddish, inside / 2);
}

TEST(ImagePixels, CourtFiguresAreOpaqueAndDrawn) {
    for (UINT id : {IDR_COURT_JACK, IDR_COURT_KING, IDR_COURT_QUEEN}) {
        SCOPED_TRACE(id);
        const zt::gfx::Surface figure = decode(id);
        ASSERT_EQ(figure.width(), 175);
        ASSERT_EQ(figure.height(), 315);
        long dark = 0;
        for (int y = 0; y < figure.height(); ++y)
            for (int x = 0; x < figure.width(); ++x) {
                const std::uint32_t p = figure.at(x, y);
                ASSERT_EQ(alpha(p), 0xFFu);
                dark += red(p) + green(p) + blue(p) < 0x180;
            }
        // Outlines and colour, not a blank panel.
        EXPECT_GT(dark, 175L * 315L / 10);
    }
}
