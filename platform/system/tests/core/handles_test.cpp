// Handle numbers: a live number is never handed out twice, not even after the
// counter comes around, and a full table fails with a Win32 error.
#include "zt/platform.h"
#include "zt/sys/kernel.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

using zt::sys::HandleTable;

namespace {

struct Dummy final : zt::sys::KernelObject {
    const char* type_name() const override { return "dummy"; }
};

std::uint32_t number(HANDLE h) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(h));
}

// Distinct from the main module, resource handles (2 mod 4) and the
// registry's predefined keys.
void expect_kernel_number(HANDLE h) {
    const auto raw = reinterpret_cast<std::uintptr_t>(h);
    EXPECT_NE(raw, 0u);
    EXPECT_EQ(raw % 4, 0u) << std::hex << raw;
    EXPECT_GE(raw, HandleTable::kFirst) << std::hex << raw;
    EXPECT_LT(raw, 0x80000000u) << std::hex << raw;
}

} // namespace

TEST(HandleNumbers, AfterTheWrapLiveNumbersAreSkipped) {
    HandleTable table;
    auto first = std::make_shared<Dummy>();
    auto second = std::make_shared<Dummy>();
    HANDLE a = table.insert(first);
    HANDLE b = table.insert(second);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    // Three numbers before the end of the range, as after 2^29 creations.
    table.set_range({HandleTable::kFirst, HandleTable::kLast, HandleTable::kLast - 8});
    std::set<std::uint32_t> live = {number(a), number(b)};
    for (int i = 0; i < 6; ++i) {
        HANDLE h = table.insert(std::make_shared<Dummy>());
        ASSERT_NE(h, nullptr) << "insert " << i;
        expect_kernel_number(h);
        EXPECT_TRUE(live.insert(number(h)).second) << "insert " << i << " got live number " << std::hex << number(h);
    }
    EXPECT_TRUE(live.contains(HandleTable::kLast));
    EXPECT_EQ(table.find(a), first);
    EXPECT_EQ(table.find(b), second);
}

TEST(HandleNumbers, AClosedNumberComesBackOnlyAfterTheWholeRange) {
    HandleTable table({0x1000, 0x100C, 0x1000});
    HANDLE a = table.insert(std::make_shared<Dummy>());
    ASSERT_NE(table.remove(a), nullptr);
    HANDLE b = table.insert(std::make_shared<Dummy>());
    EXPECT_NE(number(b), number(a));
    EXPECT_EQ(table.find(a), nullptr);
}

TEST(HandleNumbers, AFullRangeFailsWithNoSystemResources) {
    HandleTable table({0x1000, 0x100C, 0x1008});
    std::vector<HANDLE> open;
    std::set<std::uint32_t> numbers;
    for (int i = 0; i < 4; ++i) {
        open.push_back(table.insert(std::make_shared<Dummy>()));
        ASSERT_NE(open.back(), nullptr) << "insert " << i;
        numbers.insert(number(open.back()));
    }
    EXPECT_EQ(numbers, (std::set<std::uint32_t>{0x1000, 0x1004, 0x1008, 0x100C}));
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(table.insert(std::make_shared<Dummy>()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NO_SYSTEM_RESOURCES);
    // One closed: exactly that number is free again.
    auto gone = table.remove(open[2]);
    ASSERT_NE(gone, nullptr);
    HANDLE again = table.insert(std::make_shared<Dummy>());
    EXPECT_EQ(again, open[2]);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(table.insert(std::make_shared<Dummy>()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NO_SYSTEM_RESOURCES);
}

TEST(HandleNumbers, RangesAreKeptAlignedAndAboveTheReservedNumbers) {
    HandleTable table({0x3, 0x9, 0x5});
    const HandleTable::Range r = table.range();
    EXPECT_EQ(r.first, HandleTable::kFirst);
    EXPECT_EQ(r.last % 4, 0u);
    EXPECT_GE(r.next, r.first);
    expect_kernel_number(table.insert(std::make_shared<Dummy>()));
}

// The kernel's own table narrowed to four numbers near the end of the range,
// so the Win32 calls meet the wrap and a full table.
class FullKernelTable : public ::testing::Test {
  protected:
    void SetUp() override {
        // The stock GDI objects are made with the first DC: before the table
        // is full.
        ReleaseDC(nullptr, GetDC(nullptr));
        m_saved = zt::sys::Kernel::get().handles().range();
        zt::sys::Kernel::get().handles().set_range(
            {HandleTable::kLast - 12, HandleTable::kLast, HandleTable::kLast - 4});
    }
    void TearDown() override {
        for (HANDLE h : m_open)
            CloseHandle(h);
        zt::sys::Kernel::get().handles().set_range(m_saved);
    }
    HANDLE create_event() {
        HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (h != nullptr)
            m_open.push_back(h);
        return h;
    }
    HandleTable::Range m_saved;
    std::vector<HANDLE> m_open;
};

TEST_F(FullKernelTable, EventsGetDistinctNumbersAndTheFifthFailsWithAnError) {
    std::set<HANDLE> events;
    for (int i = 0; i < 4; ++i) {
        HANDLE h = create_event();
        ASSERT_NE(h, nullptr) << "event " << i << ", error " << GetLastError();
        expect_kernel_number(h);
        events.insert(h);
    }
    EXPECT_EQ(events.size(), 4u);
    SetLastError(0);
    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NO_SYSTEM_RESOURCES);
    // Closing one frees its number for the next event; the others stay open.
    HANDLE closed = m_open[1];
    ASSERT_TRUE(CloseHandle(closed));
    m_open.erase(m_open.begin() + 1);
    HANDLE fresh = create_event();
    ASSERT_EQ(fresh, closed);
    ASSERT_TRUE(CloseHandle(fresh));
    m_open.pop_back();
    for (HANDLE h : m_open) {
        EXPECT_TRUE(SetEvent(h)) << std::hex << number(h);
        EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0) << std::hex << number(h);
    }
}

TEST_F(FullKernelTable, EveryCallThatMakesAHandleReportsTheFullTable) {
    while (create_event() != nullptr) {
    }
    SetLastError(0);
    EXPECT_EQ(CreateEventW(nullptr, FALSE, FALSE, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NO_SYSTEM_RESOURCES);
    SetLastError(0);
    EXPECT_EQ(CreateSolidBrush(RGB(1, 2, 3)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NO_SYSTEM_RESOURCES);
    SetLastError(0);
    EXPECT_EQ(GetDC(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NO_SYSTEM_RESOURCES);
    SetLastError(0);
    zt::testhost::OwnWindow window({.className = u"FullTableWindow"});
    EXPECT_EQ(window.get(), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NO_SYSTEM_RESOURCES);
    HKEY key = nullptr;
    DWORD disposition = 0;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\HandleTableTest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, &disposition),
              static_cast<LSTATUS>(ERROR_NO_SYSTEM_RESOURCES));
    EXPECT_EQ(key, nullptr);
}
