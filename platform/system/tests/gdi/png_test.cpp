// PNG images: written and read back pixel for pixel; bad input refused.
#include "zt/gfx/png.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
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

// ----- a failed write never removes what it did not make ----------------------

namespace {

// A picture of noise: its PNG is far larger than a pipe's buffer or a small
// file-size limit.
zt::gfx::Surface noise(int size) {
    zt::gfx::Surface image(size, size, 0);
    std::uint32_t state = 12345;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            state = state * 1664525u + 1013904223u;
            image.set(x, y, state | 0xFF000000u);
        }
    return image;
}

// A fresh directory of its own for each case, so leftovers can be counted.
class PngFailedWrite : public testing::Test {
  protected:
    void SetUp() override {
        m_dir = temp_path(testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string at(const char* name) const { return m_dir + "/" + name; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string m_dir;
};

// Writes under a file-size limit, so that writing a regular file fails with
// EFBIG part way through.
bool write_limited(const zt::gfx::Surface& image, const std::string& path, std::string& error) {
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    auto* const previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = zt::gfx::write_png(image, path, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    return written;
}

} // namespace

TEST_F(PngFailedWrite, ASymlinkToAFullDeviceStaysAndSaysWhy) {
    const std::string link = at("link.png");
    ASSERT_EQ(symlink("/dev/full", link.c_str()), 0);
    std::string error;
    EXPECT_FALSE(zt::gfx::write_png(zt::gfx::Surface(4, 4, 0xFF112233u), link, &error));
    EXPECT_NE(error.find(link), std::string::npos) << error;
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    char target[64] = {};
    ASSERT_EQ(readlink(link.c_str(), target, sizeof target - 1), 9) << "the link is gone";
    EXPECT_STREQ(target, "/dev/full");
    struct stat st {};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(PngFailedWrite, AFifoWhoseReaderLeavesStaysAFifo) {
    const std::string fifo = at("pipe.png");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto* const previous = std::signal(SIGPIPE, SIG_IGN);
    // The reader comes and goes without reading: the image, larger than the
    // pipe's buffer, cannot all be written.
    std::thread reader([&] {
        const int fd = open(fifo.c_str(), O_RDONLY);
        if (fd >= 0)
            close(fd);
    });
    std::string error;
    const bool written = zt::gfx::write_png(noise(256), fifo, &error);
    reader.join();
    std::signal(SIGPIPE, previous);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("Broken pipe"), std::string::npos) << error;
    struct stat st {};
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0) << "the fifo is gone";
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(entries(), std::vector<std::string>{"pipe.png"});
}

TEST_F(PngFailedWrite, ADeviceNodeAtThePathStays) {
    const std::string node = at("full.png");
    if (mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) // the kernel's "full" device
        GTEST_SKIP() << "making a device node needs privileges";
    std::string error;
    EXPECT_FALSE(zt::gfx::write_png(zt::gfx::Surface(4, 4), node, &error));
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    struct stat st {};
    ASSERT_EQ(lstat(node.c_str(), &st), 0) << "the device node is gone";
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(PngFailedWrite, AnExistingFileKeepsItsBytesAndNoTemporaryIsLeft) {
    const std::string file = at("kept.png");
    std::ofstream(file) << "precious";
    std::string error;
    EXPECT_FALSE(write_limited(noise(64), file, error));
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    const auto bytes = read_all(file);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "precious");
    EXPECT_EQ(entries(), std::vector<std::string>{"kept.png"});
}

TEST_F(PngFailedWrite, ANewFileThatFailsLeavesNothing) {
    std::string error;
    EXPECT_FALSE(write_limited(noise(64), at("new.png"), error));
    EXPECT_EQ(entries(), std::vector<std::string>{});
}

TEST_F(PngFailedWrite, ASymlinkToAFileKeepsBothWhenTheWriteFails) {
    const std::string file = at("target.png"), link = at("link.png");
    std::ofstream(file) << "precious";
    ASSERT_EQ(symlink("target.png", link.c_str()), 0);
    std::string error;
    EXPECT_FALSE(write_limited(noise(64), link, error));
    const auto bytes = read_all(file);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "precious");
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(entries(), (std::vector<std::string>{"link.png", "target.png"}));
}

TEST(PngWrite, ThroughASymlinkReplacesItsTargetKeepingTheLinkAndTheMode) {
    const std::string dir = temp_path("through-link");
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/shots");
    const std::string file = dir + "/shots/card.png", link = dir + "/card.png";
    std::ofstream(file) << "old";
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    ASSERT_EQ(symlink("shots/card.png", link.c_str()), 0);
    std::string error;
    ASSERT_TRUE(zt::gfx::write_png(zt::gfx::Surface(3, 2, 0xFF00FF00u), link, &error)) << error;
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    const auto bytes = read_all(file);
    const auto decoded = zt::gfx::decode_png(bytes.data(), bytes.size());
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->at(2, 1), 0xFF00FF00u);
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir + "/shots"))
        ++count;
    EXPECT_EQ(count, 1u) << "a temporary file was left";
    std::filesystem::remove_all(dir);
}
