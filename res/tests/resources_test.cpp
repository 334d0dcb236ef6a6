// The program's image resources as the application reaches them: by type 10
// and integer identifier, through the Win32 resource calls (how lookups
// work, the module's handle included, is the platform's resource tests').
#include "image_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

using namespace restest;

namespace {

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// Looked up from a static initialiser of this file, which the link puts
// before the resource data's own objects, as the application object's
// constructor may look one up.
const bool kFoundAtStartUp = load(IDR_CARD_BACK).has_value();

} // namespace

TEST(ImageResources, AreThereForStaticInitialisers) {
    EXPECT_TRUE(kFoundAtStartUp);
}

TEST(ImageResources, EveryImageIsAnEightBitRgbaPngOfItsStatedSize) {
    const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const Image& image : kImages) {
        SCOPED_TRACE(image.id);
        const auto bytes = load(image.id);
        ASSERT_TRUE(bytes.has_value());
        ASSERT_GT(bytes->size, 33u);
        EXPECT_TRUE(std::equal(std::begin(signature), std::end(signature), bytes->data));
        const unsigned char* ihdr = bytes->data + 8;
        EXPECT_EQ(be32(ihdr), 13u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(ihdr + 4), 4), "IHDR");
        EXPECT_EQ(be32(ihdr + 8), static_cast<std::uint32_t>(image.width));
        EXPECT_EQ(be32(ihdr + 12), static_cast<std::uint32_t>(image.height));
        EXPECT_EQ(ihdr[16], 8) << "bit depth";
        EXPECT_EQ(ihdr[17], 6) << "colour type (RGBA)";
        EXPECT_EQ(ihdr[20], 0) << "interlace";
        // The whole file is there: it ends with the IEND chunk.
        const unsigned char iend[] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
        EXPECT_TRUE(std::equal(std::begin(iend), std::end(iend), bytes->data + bytes->size - sizeof iend));
    }
}

TEST(SuitImages, EachSuitMapsToItsSymbol) {
    EXPECT_EQ(SuitResourceId(1), 121u);
    EXPECT_EQ(SuitResourceId(2), 117u);
    EXPECT_EQ(SuitResourceId(3), 115u);
    EXPECT_EQ(SuitResourceId(4), 116u);
    static_assert(SuitResourceId(1) == IDR_SUIT_SPADE, "usable in constant expressions");
}

TEST(SuitImages, OtherSuitValuesNameNoImage) {
    for (INT suit : {0, 5, -1, -2, 13, 121}) {
        SCOPED_TRACE(suit);
        EXPECT_EQ(SuitResourceId(suit), 0u);
    }
}
