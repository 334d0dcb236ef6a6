// Top-level windows of another thread: lookup by class, ShowWindow's answer,
// bad handles, and what goes with the thread.
#include "conformance/harness.h"

#include <cstdint>
#include <functional>
#include <string>

using conformance::WindowThread;

TEST(Windows, ShowWindowReportsWhetherTheWindowWasVisibleBefore) {
    WindowThread shell;
    HWND bar = shell.create(TEXT("ZtShowTestBar"), true);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_NE(ShowWindow(bar, SW_HIDE), FALSE); // was visible
    EXPECT_EQ(ShowWindow(bar, SW_HIDE), FALSE); // already hidden
    EXPECT_FALSE(IsWindowVisible(bar));
    EXPECT_EQ(ShowWindow(bar, SW_SHOW), FALSE); // was hidden
    EXPECT_NE(ShowWindow(bar, SW_SHOW), FALSE);
    EXPECT_TRUE(IsWindowVisible(bar));
}

TEST(Windows, FindWindowComparesClassNamesWithoutCaseAndSeesLateWindows) {
    EXPECT_EQ(FindWindowW(TEXT("ZtLateShellWindow"), nullptr), nullptr);
    WindowThread shell;
    HWND late = shell.create(TEXT("ZtLateShellWindow"), false);
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(FindWindowW(TEXT("ZtLateShellWindow"), nullptr), late); // hidden windows are found too
    EXPECT_EQ(FindWindowW(TEXT("ztlateshellWINDOW"), nullptr), late);
    EXPECT_EQ(FindWindowW(TEXT("ZtLateShellWindow"), TEXT("other title")), nullptr);
    EXPECT_EQ(FindWindowW(TEXT("ZtLateShellWindo"), nullptr), nullptr);
    EXPECT_EQ(FindWindowW(TEXT("ZtLateShellWindowX"), nullptr), nullptr);
}

TEST(Windows, AThreadsWindowsGoWithIt) {
    HWND gone = nullptr;
    {
        WindowThread shell;
        gone = shell.create(TEXT("ZtShortLivedWindow"), true);
        ASSERT_TRUE(IsWindow(gone));
    }
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_EQ(FindWindowW(TEXT("ZtShortLivedWindow"), nullptr), nullptr);
    SetLastError(0);
    EXPECT_EQ(ShowWindow(gone, SW_SHOW), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(Windows, BadWindowHandlesFailWithTheWin32Error) {
    HWND bogus = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7770));
    const DWORD sentinel = 0xDEADBEEF;
    struct Case {
        const char* name;
        std::function<std::int64_t()> call;
    } cases[] = {
        {"ShowWindow", [&] { return ShowWindow(bogus, SW_SHOW); }},
        {"SendMessageW", [&] { return static_cast<std::int64_t>(SendMessageW(bogus, WM_USER, 0, 0)); }},
        {"PostMessageW", [&] { return PostMessageW(bogus, WM_USER, 0, 0); }},
        {"SendMessageTimeoutW",
         [&] {
             return static_cast<std::int64_t>(SendMessageTimeoutW(bogus, WM_USER, 0, 0, SMTO_NORMAL, 800, nullptr));
         }},
        {"InvalidateRect", [&] { return InvalidateRect(bogus, nullptr, FALSE); }},
        {"IsWindowVisible", [&] { return IsWindowVisible(bogus); }},
        {"ShowWindow(NULL)", [&] { return ShowWindow(nullptr, SW_SHOW); }},
    };
    for (auto& c : cases) {
        SetLastError(sentinel);
        EXPECT_EQ(c.call(), 0) << c.name;
        if (std::string(c.name) != "IsWindowVisible") { // Win32 leaves the last error alone there
            EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE) << c.name;
        }
    }
    EXPECT_FALSE(IsWindow(bogus));
    EXPECT_FALSE(IsWindow(nullptr));
}

TEST(Windows, ShowWindowFromAnotherThreadSendsNoShowWindowMessage) {
    ZT_WIN32_DIFFERENCE("ShowWindow flips another thread's window directly, so hiding the shell's taskbar never waits "
                        "on the shell's thread; Win32 sends it WM_SHOWWINDOW and waits");
    WindowThread shell;
    HWND bar = shell.create(TEXT("ZtQuietBar"), true);
    const auto before = shell.received().size();
    ShowWindow(bar, SW_HIDE);
    ShowWindow(bar, SW_SHOW);
    const auto all = shell.received();
    for (std::size_t i = before; i < all.size(); ++i)
        EXPECT_NE(all[i].message, WM_SHOWWINDOW);
}

TEST(Windows, CreationMessagesCarryLParamZero) {
    ZT_WIN32_DIFFERENCE("WM_NCCREATE and WM_CREATE carry lParam 0, since a 32-bit lParam cannot hold a pointer to "
                        "CREATESTRUCT; Win32 passes that pointer");
    WindowThread shell;
    shell.create(TEXT("ZtCreationWindow"), false);
    int creations = 0;
    for (const auto& r : shell.received())
        if (r.message == WM_NCCREATE || r.message == WM_CREATE) {
            ++creations;
            EXPECT_EQ(r.lParam, 0) << "message " << r.message;
        }
    EXPECT_EQ(creations, 2);
}
