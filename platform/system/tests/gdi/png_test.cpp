// PNG images: written and read back pixel for pixel; bad input refused.
#include "zt/gfx/png.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string temp_path(const char* name) {
    return (testing::TempDir() + "/") + std::to_string(getpid()) + "-" + name;
}

std::vector<unsigned char> read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(Png, WriteThenDecodeGivesBackEveryPixelWithItsAlpha) {
    zt::gfx::Surface image(37, 23, 0);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            image.set(x, y,
                      static_cast<std::uint32_t>((x * 7) & 0xFF) << 24 | static_cast<std::uint32_t>(x * 6) << 16 |
                          static_cast<std::uint32_t>(y * 11) << 8 | static_cast<std::uint32_t>((x + y) * 3));
    const std::string path = temp_path("roundtrip.png");
    std::string error = "untouched";
    ASSERT_TRUE(zt::gfx::write_png(image, path, &error)) << error;
    EXPECT_EQ(error, "untouched");

    const auto bytes = read_all(path);
    std::remove(path.c_str());
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");
    EXPECT_EQ(bytes[24], 8); // bit depth
    EXPECT_EQ(bytes[25], 6); // colour type: RGBA
    EXPECT_EQ(bytes[28], 0); // not interlaced

    const auto decoded = zt::gfx::decode_png(bytes.data(), bytes.size());
    ASSERT_TRUE(decoded.has_value());
    ASSERT_EQ(decoded->width(), 37);
    ASSERT_EQ(decoded->height(), 23);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            ASSERT_EQ(decoded->at(x, y), image.at(x, y)) << x << "," << y;
}

TEST(Png, DecodesOtherColourTypes) {
    // 2x1, 8-bit RGB without alpha: red, then blue.
    const unsigned char rgb[] = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
        0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x7B, 0x40, 0xE8, 0xDD, 0x00, 0x00, 0x00,
        0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0x00, 0x04, 0xFF, 0x01, 0x07, 0x00, 0x01, 0xFF,
        0xE2, 0x23, 0x9E, 0x59, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82,
    };
    // 2x1, palette with transparency: opaque green, then fully transparent.
    const unsigned char palette[] = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
        0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x03, 0x00, 0x00, 0x00, 0xC3, 0xFC, 0x8F, 0xB8, 0x00,
        0x00, 0x00, 0x06, 0x50, 0x4C, 0x54, 0x45, 0x00, 0x80, 0x00, 0xFF, 0xFF, 0xFF, 0x14, 0x3F, 0x2F, 0x4F,
        0x00, 0x00, 0x00, 0x02, 0x74, 0x52, 0x4E, 0x53, 0xFF, 0x00, 0xE5, 0xB7, 0x30, 0x4A, 0x00, 0x00, 0x00,
        0x0B, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x60, 0x60, 0x04, 0x00, 0x00, 0x04, 0x00, 0x02, 0xBF,
        0x7A, 0x3F, 0x4A, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82,
    };
    const auto opaque = zt::gfx::decode_png(rgb, sizeof rgb);
    ASSERT_TRUE(opaque.has_value());
    ASSERT_EQ(opaque->width(), 2);
    ASSERT_EQ(opaque->height(), 1);
    EXPECT_EQ(opaque->at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(opaque->at(1, 0), 0xFF0000FFu);
    const auto indexed = zt::gfx::decode_png(palette, sizeof palette);
    ASSERT_TRUE(indexed.has_value());
    EXPECT_EQ(indexed->at(0, 0), 0xFF008000u);
    EXPECT_EQ(indexed->at(1, 0) >> 24, 0u);
}

TEST(Png, RefusesWhatIsNotAPng) {
    const unsigned char junk[] = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
    EXPECT_FALSE(zt::gfx::decode_png(junk, sizeof junk).has_value());
    EXPECT_FALSE(zt::gfx::decode_png(nullptr, 10).has_value());
    EXPECT_FALSE(zt::gfx::decode_png(junk, 0).has_value());
    // A valid start cut short.
    zt::gfx::Surface image(8, 8, 0xFF00FF00u);
    const std::string path = temp_path("cut.png");
    ASSERT_TRUE(zt::gfx::write_png(image, path, nullptr));
    const auto bytes = read_all(path);
    std::remove(path.c_str());
    EXPECT_FALSE(zt::gfx::decode_png(bytes.data(), bytes.size() / 2).has_value());
}

TEST(Png, WriteFailuresNameThePathAndTheReason) {
    zt::gfx::Surface image(4, 4);
    const std::string path = "/nonexistent-dir/zt/out.png";
    std::string error;
    EXPECT_FALSE(zt::gfx::write_png(image, path, &error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

    error.clear();
    EXPECT_FALSE(zt::gfx::write_png(zt::gfx::Surface(), temp_path("empty.png"), &error));
    EXPECT_NE(error.find("empty"), std::string::npos) << error;
    EXPECT_FALSE(zt::gfx::write_png(image, path, nullptr)); // no error text wanted
}
