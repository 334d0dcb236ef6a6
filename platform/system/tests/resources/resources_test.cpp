// The program's resource section through the Win32 resource calls, over
// tables of its own: lookups by module, type and identifier, the handles
// the calls hand out, and tables added while others read.
#include "zt/resources.h"
#include "zt/sys/resources.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <iterator>
#include <optional>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;
constexpr WORD kType = 10; // RT_RCDATA
constexpr WORD kLanguage = 0x0804;

// Identifiers 300 and 302 are present, 301 between them is not.
const unsigned char kFirst[] = {'f', 'i', 'r', 's', 't'};
const unsigned char kSecond[] = {'s', 'e', 'c', 'o', 'n', 'd', '!'};
const zt::sys::ResourceEntry kTable[] = {
    {kType, 300, kLanguage, kFirst, sizeof kFirst},
    {kType, 302, kLanguage, kSecond, sizeof kSecond},
};
} // namespace

// The program's own section, defined as the build's generated table defines
// it: constant data, found without any code having run.
extern "C" constinit const zt::sys::ResourceSection zt_program_resources = {kTable, std::size(kTable)};

namespace {

std::optional<zt::testhost::ResourceBytes> load(UINT id, UINT type = kType, HMODULE module = nullptr) {
    return zt::testhost::load_resource(id, type, module);
}

} // namespace

TEST(ResourceLookup, TheProgramsSectionIsFoundWithItsOwnBytes) {
    const auto first = load(300);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->data, kFirst);
    EXPECT_EQ(first->size, sizeof kFirst);
    const auto second = load(302);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->data, kSecond);
    EXPECT_EQ(second->size, sizeof kSecond);
}

TEST(ResourceLookup, AnIdentifierNotInAnyTableIsAbsent) {
    for (UINT id : {299u, 301u, 303u, 0xFFFFu}) {
        SCOPED_TRACE(id);
        SetLastError(kSentinel);
        EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(kType)), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    }
}

TEST(ResourceLookup, OwnModuleIsFoundByNullAndByItsHandle) {
    SetLastError(kSentinel);
    HMODULE self = GetModuleHandleW(nullptr);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self, zt::sys::main_module());
    EXPECT_EQ(GetLastError(), kSentinel);
    const auto byHandle = load(300, kType, self);
    const auto byNull = load(300);
    ASSERT_TRUE(byHandle && byNull);
    EXPECT_EQ(byHandle->data, byNull->data);
    EXPECT_EQ(byHandle->size, byNull->size);
    EXPECT_EQ(GetLastError(), kSentinel);
}

TEST(ResourceLookup, OtherModulesAreNotFound) {
    SetLastError(kSentinel);
    EXPECT_EQ(GetModuleHandleW(u"coredll.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

    // A handle that is no module (here, one just past the program's own).
    const auto other = reinterpret_cast<HMODULE>(reinterpret_cast<std::uintptr_t>(zt::sys::main_module()) + 4);
    SetLastError(kSentinel);
    EXPECT_EQ(FindResourceW(other, MAKEINTRESOURCEW(300), MAKEINTRESOURCEW(kType)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(300), MAKEINTRESOURCEW(kType));
    ASSERT_NE(found, nullptr);
    SetLastError(kSentinel);
    EXPECT_EQ(LoadResource(other, found), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(kSentinel);
    EXPECT_EQ(SizeofResource(other, found), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(ResourceLookup, WrongTypeIsNotFound) {
    for (UINT type : {3u /* icon */, 6u /* string */, 11u, 23u /* HTML */}) {
        SCOPED_TRACE(type);
        SetLastError(kSentinel);
        EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(300), MAKEINTRESOURCEW(type)), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    }
    EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(300), RT_RCDATA), nullptr);
}

TEST(ResourceLookup, NamesMayBeSpelledAsHashAndNumber) {
    HRSRC byNumber = FindResourceW(nullptr, MAKEINTRESOURCEW(302), MAKEINTRESOURCEW(kType));
    ASSERT_NE(byNumber, nullptr);
    EXPECT_EQ(FindResourceW(nullptr, u"#302", u"#10"), byNumber);

    for (LPCWSTR name : {u"FIRST", u"#", u"#30x", u"#99999", u""}) {
        SetLastError(kSentinel);
        EXPECT_EQ(FindResourceW(nullptr, name, MAKEINTRESOURCEW(kType)), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    SetLastError(kSentinel);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(302), u"PNG"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

TEST(ResourceHandles, HandlesThatNameNoResourceAreRejected) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(302), MAKEINTRESOURCEW(kType));
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
    EXPECT_EQ(FindResourceW(nullptr, nullptr, MAKEINTRESOURCEW(kType)), nullptr);
    EXPECT_NE(GetLastError(), kSentinel);
}

TEST(ResourceTable, FirstRegisteredEntryWins) {
    static const unsigned char impostor[] = {1, 2, 3};
    static const zt::sys::ResourceEntry table[] = {{kType, 300, kLanguage, impostor, sizeof impostor}};
    EXPECT_TRUE(zt::sys::register_resources(table, 1));
    const auto after = load(300);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->data, kFirst);
    EXPECT_EQ(after->size, sizeof kFirst);
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
                const auto second = load(302);
                if (!second || second->data != kSecond || second->size != sizeof kSecond)
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
