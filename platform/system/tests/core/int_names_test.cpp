// An integer passed where a name goes (an atom, a resource id) is never read
// as a string: every call that takes a name gives its failure, or finds
// nothing, instead of reading the memory the number points at.
#include "zt/platform.h"
#include "zt/sys/trace.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// The highest integer name: one past it is a pointer.
const LPCWSTR kIntName = MAKEINTRESOURCEW(0xFFFF);

LRESULT CALLBACK plain_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

struct Case {
    const char* call;
    std::function<bool()> failed; // true when the call gave its failure value
    DWORD error;                  // the last error it sets; 0 when it leaves it alone
};

} // namespace

TEST(IntegerNames, AreRefusedOrFindNothing) {
    const Case cases[] = {
        {"RegisterClassW",
         [] {
             WNDCLASSW wc{};
             wc.lpfnWndProc = plain_proc;
             wc.lpszClassName = kIntName;
             return RegisterClassW(&wc) == 0;
         },
         ERROR_INVALID_PARAMETER},
        {"UnregisterClassW", [] { return !UnregisterClassW(kIntName, nullptr); }, ERROR_CLASS_DOES_NOT_EXIST},
        {"CreateWindowExW",
         [] { return CreateWindowExW(0, kIntName, u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr) == nullptr; },
         ERROR_CANNOT_FIND_WND_CLASS},
        {"FindWindowW", [] { return FindWindowW(kIntName, nullptr) == nullptr; }, 0},
        {"RegisterWindowMessageW", [] { return RegisterWindowMessageW(kIntName) == 0; }, ERROR_INVALID_PARAMETER},
        {"CreateFileW",
         [] {
             return CreateFileW(kIntName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr) == INVALID_HANDLE_VALUE;
         },
         ERROR_INVALID_PARAMETER},
        {"FindResourceW", [] { return FindResourceW(nullptr, kIntName, RT_RCDATA) == nullptr; }, 0},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_TRUE(c.failed()) << c.call;
        if (c.error != 0) {
            EXPECT_EQ(GetLastError(), c.error) << c.call;
        }
    }
    // Trace lines spell it as a number.
    EXPECT_EQ(zt::trace::quote(kIntName), "#65535");
}
