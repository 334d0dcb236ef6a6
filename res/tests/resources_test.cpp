// The program's image resources as the application reaches them: by module,
// type 10 and integer identifier, through the Win32 resource calls.
#include "image_table.h"
#include "zt/sys/resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

using namespace restest;

namespace {

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

} // namespace

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

TEST(ImageResources, IdentifierBetweenCardBackAndFeltIsAbsent) {
    for (UINT id : {111u, 113u, 122u, 0xFFFFu}) {
        SCOPED_TRACE(id);
        SetLastError(kSentinel);
        EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(RES_TYPE_IMAGE)), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    }
}

TEST(ImageResources, OwnModuleIsFoundByNullAndByItsHandle) {
    SetLastError(kSentinel);
    HMODULE self = GetModuleHandleW(nullptr);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self, zt::sys::main_module());
    EXPECT_EQ(GetLastError(), kSentinel);
    const auto byHandle = load(IDR_FELT, RES_TYPE_IMAGE, self);
    const auto byNull = load(IDR_FELT);
    ASSERT_TRUE(byHandle && byNull);
    EXPECT_EQ(byHandle->data, byNull->data);
    EXPECT_EQ(byHandle->size, byNull->size);
    EXPECT_EQ(GetLastError(), kSentinel);
}

TEST(ImageResources, OtherModulesAreNotFound) {
    SetLastError(kSentinel);
    EXPECT_EQ(GetModuleHandleW(u"coredll.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

    // A handle that is no module (here, one just past the program's own).
    const auto other = reinterpret_cast<HMODULE>(reinterpret_cast<std::uintptr_t>(zt::sys::main_module()) + 4);
    SetLastError(kSentinel);
    EXPECT_EQ(FindResourceW(other, MAKEINTRESOURCEW(IDR_CARD_BACK), MAKEINTRESOURCEW(RES_TYPE_IMAGE)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_CARD_BACK), MAKEINTRESOURCEW(RES_TYPE_IMAGE));
    ASSERT_NE(found, nullptr);
    SetLastError(kSentinel);
    EXPECT_EQ(LoadResource(other, found), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(kSentinel);
    EXPECT_EQ(SizeofResource(other, found), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(ImageResources, WrongTypeIsNotFound) {
    for (UINT type : {3u /* icon */, 6u /* string */, 11u, 23u /* HTML */}) {
        SCOPED_TRACE(type);
        SetLastError(kSentinel);
        EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_CARD_BACK), MAKEINTRESOURCEW(type)), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    }
    EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_CARD_BACK), RT_RCDATA), nullptr);
}

TEST(ImageResources, NamesMayBeSpelledAsHashAndNumber) {
    HRSRC byNumber = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_SUIT_HEART), MAKEINTRESOURCEW(RES_TYPE_IMAGE));
    ASSERT_NE(byNumber, nullptr);
    EXPECT_EQ(FindResourceW(nullptr, u"#117", u"#10"), byNumber);

    for (LPCWSTR name : {u"CARDBACK", u"#", u"#11x", u"#99999", u""}) {
        SetLastError(kSentinel);
        EXPECT_EQ(FindResourceW(nullptr, name, MAKEINTRESOURCEW(RES_TYPE_IMAGE)), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    SetLastError(kSentinel);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_SUIT_HEART), u"PNG"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

TEST(ImageResources, HandlesThatNameNoResourceAreRejected) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_SUIT_CLUB), MAKEINTRESOURCEW(RES_TYPE_IMAGE));
    ASSERT_NE(found, nullptr);
    HGLOBAL loaded = LoadResource(nullptr, found);
    ASSERT_NE(loaded, nullptr);

    // A resource handle is not its loaded data, nor the other way round.
    SetLastError(kSentinel);
    EXPECT_EQ(LockResource(reinterpret_cast<HGLOBAL>(found)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(kSentinel);
    EXPECT_EQ(LoadResource(nullptr, reinterpret_cast<HRSRC>(loaded)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(kSentinel);
    EXPECT_EQ(SizeofResource(nullptr, reinterpret_cast<HRSRC>(loaded)), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    for (std::uintptr_t bogus : {std::uintptr_t{0}, std::uintptr_t{0x40}, std::uintptr_t{0x7FFFFFFF}}) {
        SetLastError(kSentinel);
        EXPECT_EQ(LockResource(reinterpret_cast<HGLOBAL>(bogus)), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(kSentinel);
        EXPECT_EQ(LoadResource(nullptr, reinterpret_cast<HRSRC>(bogus)), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    SetLastError(kSentinel);
    EXPECT_EQ(FindResourceW(nullptr, nullptr, MAKEINTRESOURCEW(RES_TYPE_IMAGE)), nullptr);
    EXPECT_NE(GetLastError(), kSentinel);
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

TEST(ResourceTable, FirstRegisteredEntryWins) {
    const auto original = load(IDR_CARD_BACK);
    ASSERT_TRUE(original);
    static const unsigned char impostor[] = {1, 2, 3};
    static const zt::sys::ResourceEntry table[] = {{10, IDR_CARD_BACK, 0x0804, impostor, sizeof impostor}};
    EXPECT_TRUE(zt::sys::register_resources(table, 1));
    const auto after = load(IDR_CARD_BACK);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->data, original->data);
    EXPECT_EQ(after->size, original->size);
}

TEST(ResourceTable, LaterTablesAreFoundAndBadTablesRefused) {
    EXPECT_FALSE(zt::sys::register_resources(nullptr, 1));
    EXPECT_TRUE(zt::sys::register_resources(nullptr, 0));

    static const unsigned char bytes[] = {'z', 't'};
    static const zt::sys::ResourceEntry table[] = {{0x7A01, 7, 0x0409, bytes, sizeof bytes}};
    ASSERT_TRUE(zt::sys::register_resources(table, 1));
    const auto found = load(7, 0x7A01);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->data, bytes);
    EXPECT_EQ(found->size, 2u);
}

TEST(ResourceTable, LookupsStayCorrectWhileTablesAreAdded) {
    static const unsigned char bytes[] = {0};
    static const zt::sys::ResourceEntry table[] = {{0x7A02, 1, 0x0409, bytes, 1}};
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i)
        readers.emplace_back([&] {
            while (!stop.load()) {
                const auto felt = load(IDR_FELT);
                if (!felt || felt->size < 33 || felt->data[0] != 0x89)
                    ++wrong;
            }
        });
    for (int i = 0; i < 2000; ++i)
        zt::sys::register_resources(table, 1);
    stop = true;
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_TRUE(load(1, 0x7A02).has_value());
}
