// The registry calls: paths, names, sizes and error codes. Each test works
// below a key of its own under HKEY_CURRENT_USER and removes it afterwards.
#include "conformance/harness.h"

#include <array>
#include <cstdint>
#include <vector>

using conformance::WString;

namespace {

class Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        m_base = conformance::unique_name("Software\\ZtConformance");
        conformance::delete_key_tree(HKEY_CURRENT_USER, m_base.c_str());
    }
    void TearDown() override {
        for (HKEY key : m_open)
            RegCloseKey(key);
        conformance::delete_key_tree(HKEY_CURRENT_USER, m_base.c_str());
    }
    // A path below the test's own key.
    WString path(const WCHAR* below) const {
        WString out = m_base;
        if (below[0] != 0)
            out.append(TEXT("\\")).append(below);
        return out;
    }
    HKEY create(const WCHAR* below, REGSAM access = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, path(below).c_str(), 0, nullptr, 0, access, nullptr, &key, disposition),
            ERROR_SUCCESS)
            << conformance::narrow(below);
        m_open.push_back(key);
        return key;
    }
    LSTATUS open(const WCHAR* below, REGSAM access, HKEY* key) {
        const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, path(below).c_str(), 0, access, key);
        if (status == ERROR_SUCCESS)
            m_open.push_back(*key);
        return status;
    }

  private:
    WString m_base;
    std::vector<HKEY> m_open;
};

HKEY const kBogus = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x7770));
HKEY const kUntouched = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(1));

} // namespace

TEST_F(Registry, CreatedKeysOpenByAnyCaseAndWithTrailingBackslashes) {
    DWORD disposition = 0;
    create(TEXT("State\\Phone"), KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    create(TEXT("STATE"), KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY)); // made on the way

    for (const WCHAR* below :
         {TEXT("State\\Phone"), TEXT("state\\PHONE"), TEXT("State\\Phone\\"), TEXT("State\\Phone\\\\")}) {
        HKEY key = kUntouched;
        EXPECT_EQ(open(below, KEY_READ, &key), ERROR_SUCCESS) << conformance::narrow(below);
        EXPECT_NE(key, nullptr);
    }
}

TEST_F(Registry, MissingKeysFailWithFileNotFoundAndClearTheResult) {
    create(TEXT("State"));
    for (const WCHAR* below : {TEXT("Stat"), TEXT("State\\Missing"), TEXT("State Missing")}) {
        HKEY key = kUntouched;
        EXPECT_EQ(open(below, KEY_READ, &key), ERROR_FILE_NOT_FOUND) << conformance::narrow(below);
        EXPECT_EQ(key, nullptr) << conformance::narrow(below);
    }
    // Nothing was made by the failed opens.
    HKEY key = nullptr;
    EXPECT_EQ(open(TEXT("State\\Missing"), KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, APathBeginningWithABackslashIsABadPathname) {
    create(TEXT("State"));
    for (const WString& bad : {TEXT("\\") + path(TEXT("State")), WString(TEXT("\\"))}) {
        HKEY key = kUntouched;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, bad.c_str(), 0, KEY_READ, &key), 161) // ERROR_BAD_PATHNAME
            << conformance::narrow(bad.c_str());
        EXPECT_EQ(key, nullptr);
    }
}

TEST_F(Registry, RootsAreSeparateTreesAndAnEmptyPathOpensTheKeyItself) {
    create(TEXT("Only"));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path(TEXT("Only")).c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);

    HKEY parent = create(TEXT(""));
    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExW(parent, TEXT(""), 0, KEY_READ, &again), ERROR_SUCCESS);
    EXPECT_NE(again, parent);
    EXPECT_EQ(RegOpenKeyExW(again, TEXT("ONLY"), 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS); // harmless

    // A root opens as itself.
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, nullptr, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(key, HKEY_CURRENT_USER);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, TEXT(""), 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(key, HKEY_CLASSES_ROOT);
}

TEST_F(Registry, ValuesReadBackWithTypeAndSizeUnderAnyCaseOfName) {
    HKEY key = create(TEXT("State"));
    const DWORD one = 1;
    ASSERT_EQ(RegSetValueExW(key, TEXT("IsLockState"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_SUCCESS);

    DWORD type = 0xDEAD;
    DWORD data = 0;
    DWORD size = sizeof data;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("islockstate"), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(data, 1u);

    // Overwriting keeps one value; the type follows the last write.
    const BYTE bytes[] = {1, 2, 3};
    ASSERT_EQ(RegSetValueExW(key, TEXT("ISLOCKSTATE"), 0, REG_BINARY, bytes, 3), ERROR_SUCCESS);
    BYTE buffer[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("IsLockState"), nullptr, &type, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 3u);
    EXPECT_EQ((std::array<BYTE, 4>{buffer[0], buffer[1], buffer[2], buffer[3]}), (std::array<BYTE, 4>{1, 2, 3, 9}));

    // The unnamed value is the key's default; NULL and "" name it alike.
    ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_BINARY, bytes, 1), ERROR_SUCCESS);
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExW(key, TEXT(""), nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 1u);

    // A value of no bytes reads as size 0 and leaves the buffer alone.
    ASSERT_EQ(RegSetValueExW(key, TEXT("Empty"), 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    buffer[0] = 0x5A;
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("Empty"), nullptr, &type, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buffer[0], 0x5A);
}

TEST_F(Registry, AValueTooBigForTheBufferGivesMoreDataAndTheNeededSize) {
    HKEY key = create(TEXT("State"));
    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(RegSetValueExW(key, TEXT("Wide"), 0, REG_QWORD, eight, 8), ERROR_SUCCESS);

    DWORD data = 0xCAFEF00D;
    DWORD size = 4;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("Wide"), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_QWORD));

    // No buffer: a size query.
    size = 0;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("Wide"), nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    // Existence check with neither buffer nor size.
    EXPECT_EQ(RegQueryValueExW(key, TEXT("Wide"), nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
}

TEST_F(Registry, MissingAndDeletedValuesAndBadArgumentsFail) {
    HKEY key = create(TEXT("State"));
    const DWORD zero = 0;
    ASSERT_EQ(RegSetValueExW(key, TEXT("Gone"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), 4), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, TEXT("GONE")), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, TEXT("Gone")), ERROR_FILE_NOT_FOUND);

    DWORD data = 7;
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("Gone"), nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(data, 7u);
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("Gone"), &reserved, nullptr, nullptr, &size), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(key, TEXT("Gone"), nullptr, nullptr, reinterpret_cast<BYTE*>(&data), nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, BadKeyHandlesFailWithInvalidHandleAndLeaveTheLastErrorAlone) {
    const DWORD sentinel = 0xDEADBEEF;
    DWORD size = 4;
    const BYTE byte = 1;
    for (HKEY bad : {kBogus, static_cast<HKEY>(nullptr)}) {
        SetLastError(sentinel);
        HKEY out = kUntouched;
        EXPECT_EQ(RegOpenKeyExW(bad, TEXT("Software"), 0, KEY_READ, &out), ERROR_INVALID_HANDLE);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(RegCreateKeyExW(bad, TEXT("Software"), 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegQueryValueExW(bad, TEXT("v"), nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegSetValueExW(bad, TEXT("v"), 0, REG_BINARY, &byte, 1), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteValueW(bad, TEXT("v")), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCloseKey(bad), ERROR_INVALID_HANDLE);
        EXPECT_EQ(GetLastError(), sentinel);
    }
    // A closed key is a bad handle.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path(TEXT("Closed")).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExW(key, TEXT("v"), nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
}

TEST_F(Registry, KeysKeepTheRightsTheyWereOpenedWith) {
    HKEY writer = create(TEXT("Rights"), KEY_WRITE);
    const BYTE byte = 1;
    EXPECT_EQ(RegSetValueExW(writer, TEXT("v"), 0, REG_BINARY, &byte, 1), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(writer, TEXT("v"), nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);

    HKEY reader = nullptr;
    ASSERT_EQ(open(TEXT("Rights"), KEY_READ, &reader), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(reader, TEXT("v"), nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(RegSetValueExW(reader, TEXT("v"), 0, REG_BINARY, &byte, 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(reader, TEXT("v")), ERROR_ACCESS_DENIED);

    // Generic rights map onto key rights.
    HKEY generic = nullptr;
    ASSERT_EQ(open(TEXT("Rights"), GENERIC_READ | GENERIC_WRITE, &generic), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(generic, TEXT("v"), nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(generic, TEXT("v")), ERROR_SUCCESS);
}
