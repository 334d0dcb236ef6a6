// The registry as only the stand-in shows it: its own trees, limits, traces
// and choices. What Win32 shares is in conformance/tests/registry_test.cpp.
#include "zt/platform.h"
#include "zt/sys/kernel.h"
#include "zt/sys/registry.h"
#include "zt/sys/trace.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace reg = zt::sys::registry;

namespace {

constexpr LSTATUS kBadPathname = reg::kErrorBadPathname;

class Registry : public ::testing::Test {
  protected:
    void SetUp() override { reg::clear(); }
    void TearDown() override {
        for (HKEY key : m_open)
            RegCloseKey(key);
        reg::clear();
    }
    // Opens for the test; closed at its end.
    HKEY open(LPCWSTR path, REGSAM access = KEY_READ) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access, &key), ERROR_SUCCESS);
        m_open.push_back(key);
        return key;
    }
    HKEY create(HKEY base, LPCWSTR path, REGSAM access = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(base, path, 0, nullptr, 0, access, nullptr, &key, disposition), ERROR_SUCCESS);
        m_open.push_back(key);
        return key;
    }

  private:
    std::vector<HKEY> m_open;
};

} // namespace

// Wine accepts both, so they are pinned here only.
TEST_F(Registry, TwoBackslashesInARowAndANameOver255UnitsAreRefused) {
    create(HKEY_LOCAL_MACHINE, u"System\\State");
    HKEY key = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(1));
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"System\\\\State", 0, KEY_READ, &key), kBadPathname);
    EXPECT_EQ(key, nullptr);
    const std::u16string longName(256, u'k');
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, longName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, std::u16string(255, u'k').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

// Win32 leaves the buffer undefined there; here it is left as it was.
TEST_F(Registry, AValueTooBigForTheBufferIsNotCopied) {
    HKEY key = create(HKEY_LOCAL_MACHINE, u"System\\State");
    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(RegSetValueExW(key, u"Wide", 0, REG_QWORD, eight, 8), ERROR_SUCCESS);
    DWORD data = 0xCAFEF00D;
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExW(key, u"Wide", nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size), ERROR_MORE_DATA);
    EXPECT_EQ(data, 0xCAFEF00Du);
}

// Wine crashes on a null result pointer, and answers missing data with
// ERROR_NOACCESS; these are pinned here only.
TEST_F(Registry, NullDataOrResultPointersAreBadArguments) {
    HKEY key = create(HKEY_LOCAL_MACHINE, u"System\\State");
    EXPECT_EQ(RegSetValueExW(key, u"NoData", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"System", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"System", 0, nullptr, 0, KEY_READ, nullptr, nullptr, nullptr),
              reg::kErrorBadKey);
}

// Bogus, null and closed keys are checked against Win32 in the conformance
// suite; a handle of another kind is this platform's own case.
TEST_F(Registry, AHandleOfAnotherKindIsABadKeyAndIsLeftOpen) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HKEY notAKey = static_cast<HKEY>(event);
    DWORD size = 4;
    const BYTE byte = 1;
    SetLastError(0xDEADBEEF);
    HKEY out = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(1));
    EXPECT_EQ(RegOpenKeyExW(notAKey, u"System", 0, KEY_READ, &out), ERROR_INVALID_HANDLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(RegCreateKeyExW(notAKey, u"System", 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExW(notAKey, u"v", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExW(notAKey, u"v", 0, REG_BINARY, &byte, 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteValueW(notAKey, u"v"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(notAKey), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetLastError(), 0xDEADBEEFu);
    EXPECT_EQ(SetEvent(event), TRUE);
    EXPECT_EQ(CloseHandle(event), TRUE);
}

TEST_F(Registry, DeletedTreesDisappearAndTheirOpenHandlesReportIt) {
    HKEY inner = create(HKEY_LOCAL_MACHINE, u"System\\State\\Inner");
    ASSERT_EQ(reg::set_dword(HKEY_LOCAL_MACHINE, u"System\\State", u"Flag", 1), ERROR_SUCCESS);
    EXPECT_EQ(reg::delete_tree(HKEY_LOCAL_MACHINE, u"system\\state"), ERROR_SUCCESS);
    EXPECT_EQ(reg::delete_tree(HKEY_LOCAL_MACHINE, u"System\\State"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg::delete_tree(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);

    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"System\\State", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"System", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(inner, u"v", nullptr, nullptr, nullptr, &size), reg::kErrorKeyDeleted);

    // Seeding again makes fresh keys.
    ASSERT_EQ(reg::set_dword(HKEY_LOCAL_MACHINE, u"System\\State", u"Flag", 0x01020304), ERROR_SUCCESS);
    HKEY state = open(u"System\\State");
    BYTE bytes[4] = {};
    size = 4;
    EXPECT_EQ(RegQueryValueExW(state, u"Flag", nullptr, nullptr, bytes, &size), ERROR_SUCCESS);
    EXPECT_EQ((std::array<BYTE, 4>{bytes[0], bytes[1], bytes[2], bytes[3]}), (std::array<BYTE, 4>{4, 3, 2, 1}));
}

namespace {

// "k\\k\\...": `levels` names.
std::u16string levels_deep(std::size_t levels) {
    std::u16string path;
    for (std::size_t i = 0; i < levels; ++i)
        path += i == 0 ? u"k" : u"\\k";
    return path;
}

} // namespace

TEST_F(Registry, KeysNestAtMost512LevelsAndADeeperCreateMakesNothing) {
    const std::u16string deepest = u"Deep\\" + levels_deep(511);
    HKEY bottom = create(HKEY_LOCAL_MACHINE, deepest.c_str());
    EXPECT_NE(bottom, nullptr);
    HKEY key = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(1));
    EXPECT_EQ(RegCreateKeyExW(bottom, u"one-more", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key, nullptr);

    // Counted from the root, whatever key the path starts from.
    const std::u16string above = u"Deep\\" + levels_deep(499); // 500 levels
    HKEY middle = open(above.c_str());
    create(middle, levels_deep(12).c_str()); // 512 levels in all
    EXPECT_EQ(RegCreateKeyExW(middle, levels_deep(13).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);

    const std::u16string tooDeep = u"Fresh\\" + levels_deep(512);
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, tooDeep.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Fresh", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
        << "nothing is made on the way";
    EXPECT_EQ(reg::set_dword(HKEY_LOCAL_MACHINE, tooDeep, u"v", 1), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, APathFiftyThousandLevelsDeepIsRefusedAndTheTreesStillGoAway) {
    const std::u16string path = levels_deep(50000);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    if (key != nullptr)
        RegCloseKey(key);
    reg::delete_tree(HKEY_CURRENT_USER, u"k");
    // The deepest allowed tree, with a handle held in its middle, goes too.
    HKEY middle = create(HKEY_CURRENT_USER, levels_deep(256).c_str());
    create(HKEY_CURRENT_USER, levels_deep(512).c_str());
    EXPECT_EQ(reg::delete_tree(HKEY_CURRENT_USER, u"k"), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(middle, u"v", nullptr, nullptr, nullptr, &size), reg::kErrorKeyDeleted);
    create(HKEY_CURRENT_USER, levels_deep(512).c_str());
    reg::clear();
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"k", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, TracesOneLinePerCallWithQuotedNamesAndTheResult) {
    reg::set_dword(HKEY_LOCAL_MACHINE, u"System\\State\\ZaruVuvIvozi", u"IsLockState", 1);
    std::vector<std::string> lines;
    zt::trace::set_sink([&](std::string_view line) { lines.emplace_back(line); });
    zt::trace::enable(zt::trace::kReg);

    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"System\\State\\ZaruVuvIvozi", 0, KEY_READ, &key);
    DWORD value = 0;
    DWORD size = 4;
    RegQueryValueExW(key, u"IsLockState", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegQueryValueExW(key, u"Missing", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);

    zt::trace::enable(0);
    zt::trace::set_sink(nullptr);
    ASSERT_EQ(lines.size(), 4u);
    const std::string handle = zt::trace::handle(key);
    EXPECT_EQ(lines[0], "trace:reg: RegOpenKeyExW(HKEY_LOCAL_MACHINE, \"System\\\\State\\\\ZaruVuvIvozi\", 0, "
                        "0x20019) = 0, key " +
                            handle + "\n");
    EXPECT_EQ(lines[1], "trace:reg: RegQueryValueExW(" + handle + ", \"IsLockState\", 4) = 0, type 4, size 4\n");
    EXPECT_EQ(lines[2], "trace:reg: RegQueryValueExW(" + handle + ", \"Missing\", 4) = 2, type 0, size 0\n");
    EXPECT_EQ(lines[3], "trace:reg: RegCloseKey(" + handle + ") = 0\n");
}
