// One number space for every kind of handle: windows, events, devices,
// registry keys, DCs and GDI objects never share a live number, and every
// call given a handle of another kind fails as Win32 fails it, leaving the
// object of that number alone.
#include "zt/platform.h"
#include "zt/sys/devices.h"
#include "zt/sys/kernel.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>

using zt::sys::HandleTable;

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

enum Kind { kWindow, kEvent, kDevice, kKey, kDc, kBrush, kFont, kBitmap, kKindCount };
constexpr std::array<const char*, kKindCount> kKindNames = {"window", "event", "device", "key",
                                                            "dc",     "brush", "font",   "bitmap"};

std::uint32_t number(const void* h) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(h));
}

struct NullInstance final : zt::sys::DeviceInstance {
    BOOL io_control(DWORD, const void*, DWORD, void*, DWORD, DWORD*) override { return TRUE; }
};
struct NullDriver final : zt::sys::StreamDriver {
    std::unique_ptr<zt::sys::DeviceInstance> open(DWORD, DWORD) override { return std::make_unique<NullInstance>(); }
};

// One live handle of each kind. The kernel objects are made after the
// table's counter has been put on the window's number, as happens once the
// counter has come around the whole range.
class HandleKinds : public ::testing::Test {
  protected:
    void SetUp() override {
        zt::sys::register_stream_driver(u"KND1:", std::make_shared<NullDriver>());
        ReleaseDC(nullptr, GetDC(nullptr)); // the stock objects exist before the counter moves
        m_h[kWindow] = m_window.get();
        ASSERT_NE(m_h[kWindow], nullptr);
        auto& table = zt::sys::Kernel::get().handles();
        m_saved = table.range();
        table.set_range({number(m_h[kWindow]), HandleTable::kLast, number(m_h[kWindow])});
        m_h[kEvent] = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_h[kDevice] = CreateFileW(u"KND1:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\HandleKinds", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
        m_h[kKey] = key;
        m_h[kDc] = CreateCompatibleDC(nullptr);
        m_h[kBrush] = CreateSolidBrush(RGB(1, 2, 3));
        LOGFONTW logfont{};
        logfont.lfHeight = 20;
        m_h[kFont] = CreateFontIndirectW(&logfont);
        m_h[kBitmap] = CreateCompatibleBitmap(static_cast<HDC>(m_h[kDc]), 4, 4);
        table.set_range(m_saved);
    }
    void TearDown() override {
        // Each object still answers its own call: no call of another kind
        // took it.
        EXPECT_TRUE(IsWindow(static_cast<HWND>(m_h[kWindow])));
        EXPECT_TRUE(CloseHandle(m_h[kEvent]));
        EXPECT_TRUE(CloseHandle(m_h[kDevice]));
        EXPECT_EQ(RegCloseKey(static_cast<HKEY>(m_h[kKey])), ERROR_SUCCESS);
        EXPECT_TRUE(DeleteDC(static_cast<HDC>(m_h[kDc])));
        for (Kind k : {kBrush, kFont, kBitmap})
            EXPECT_TRUE(DeleteObject(m_h[k])) << kKindNames[k];
        zt::sys::unregister_stream_driver(u"KND1:");
    }

    zt::testhost::OwnWindow m_window{{.className = u"HandleKindsWindow"}};
    std::array<void*, kKindCount> m_h{};
    HandleTable::Range m_saved;
};

TEST_F(HandleKinds, NoNumberIsLiveAsTwoKinds) {
    std::set<std::uint32_t> numbers;
    for (int k = 0; k < kKindCount; ++k) {
        ASSERT_NE(m_h[k], nullptr) << kKindNames[k];
        EXPECT_TRUE(numbers.insert(number(m_h[k])).second) << kKindNames[k] << " has a live number";
        EXPECT_EQ(IsWindow(static_cast<HWND>(m_h[k])), k == kWindow) << kKindNames[k];
    }
}

// Each call, the kinds it takes, and the last error it leaves for any other
// kind (kSentinel: untouched, as the registry's calls, which return it).
struct Call {
    const char* name;
    std::set<Kind> takes;
    DWORD lastError;
    std::function<bool(void*)> succeeds;
};

const std::vector<Call>& calls() {
    const auto hwnd = [](void* h) { return static_cast<HWND>(h); };
    const auto hkey = [](void* h) { return static_cast<HKEY>(h); };
    static const std::vector<Call> table = {
        {"IsWindowVisible", {kWindow}, kSentinel, [=](void* h) { return IsWindowVisible(hwnd(h)); }},
        {"ShowWindow", {kWindow}, ERROR_INVALID_WINDOW_HANDLE, [=](void* h) { return ShowWindow(hwnd(h), SW_SHOW); }},
        {"PostMessageW",
         {kWindow},
         ERROR_INVALID_WINDOW_HANDLE,
         [=](void* h) { return PostMessageW(hwnd(h), WM_NULL, 0, 0); }},
        {"GetDC",
         {kWindow},
         ERROR_INVALID_WINDOW_HANDLE,
         [=](void* h) {
             HDC dc = GetDC(hwnd(h));
             return dc != nullptr && ReleaseDC(hwnd(h), dc) != 0;
         }},
        {"DestroyWindow", {kWindow}, ERROR_INVALID_WINDOW_HANDLE, [=](void* h) { return DestroyWindow(hwnd(h)); }},
        {"SetEvent", {kEvent}, ERROR_INVALID_HANDLE, [](void* h) { return SetEvent(h); }},
        {"WaitForSingleObject",
         {kEvent, kDevice},
         ERROR_INVALID_HANDLE,
         [](void* h) { return WaitForSingleObject(h, 0) != WAIT_FAILED; }},
        {"CloseHandle", {kEvent, kDevice, kKey}, ERROR_INVALID_HANDLE, [](void* h) { return CloseHandle(h); }},
        {"DeviceIoControl",
         {kDevice},
         ERROR_INVALID_HANDLE,
         [](void* h) { return DeviceIoControl(h, 0, nullptr, 0, nullptr, 0, nullptr, nullptr); }},
        {"RegQueryValueExW",
         {kKey},
         kSentinel,
         [=](void* h) {
             DWORD size = 0;
             return RegQueryValueExW(hkey(h), u"none", nullptr, nullptr, nullptr, &size) != ERROR_INVALID_HANDLE;
         }},
        {"RegCloseKey", {kKey}, kSentinel, [=](void* h) { return RegCloseKey(hkey(h)) != ERROR_INVALID_HANDLE; }},
        {"DeleteDC", {kDc}, ERROR_INVALID_HANDLE, [](void* h) { return DeleteDC(static_cast<HDC>(h)); }},
        {"FillRect",
         {kBrush},
         ERROR_INVALID_HANDLE,
         [](void* h) {
             const RECT r{0, 0, 1, 1};
             HDC dc = CreateCompatibleDC(nullptr);
             const int filled = FillRect(dc, &r, static_cast<HBRUSH>(h));
             return DeleteDC(dc) && filled != 0;
         }},
        {"SelectObject",
         {kBrush, kFont, kBitmap},
         ERROR_INVALID_HANDLE,
         [](void* h) {
             HDC dc = CreateCompatibleDC(nullptr);
             const bool selected = SelectObject(dc, h) != nullptr;
             return DeleteDC(dc) && selected;
         }},
        {"DeleteObject", {kBrush, kFont, kBitmap}, ERROR_INVALID_HANDLE, [](void* h) { return DeleteObject(h); }},
    };
    return table;
}

TEST_F(HandleKinds, EveryCallRefusesEveryOtherKind) {
    for (const Call& c : calls()) {
        for (int k = 0; k < kKindCount; ++k) {
            if (c.takes.contains(static_cast<Kind>(k)))
                continue;
            SCOPED_TRACE(std::string(c.name) + " given the " + kKindNames[k]);
            SetLastError(kSentinel);
            EXPECT_FALSE(c.succeeds(m_h[k]));
            EXPECT_EQ(GetLastError(), c.lastError);
        }
    }
}

} // namespace
