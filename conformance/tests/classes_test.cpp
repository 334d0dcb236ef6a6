// Window classes, a window's own data, geometry and life.
#include "conformance/harness.h"

#include <vector>

using conformance::WindowThread;

namespace {

std::vector<UINT> g_lifeMessages;

LRESULT CALLBACK life_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE || message == WM_CREATE || message == WM_DESTROY || message == WM_NCDESTROY)
        g_lifeMessages.push_back(message);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

WNDCLASSW life_class(const WCHAR* name) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = life_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    return wc;
}

HWND make_window(const WCHAR* className) {
    return CreateWindowExW(0, className, TEXT("life"), WS_POPUP, 0, 0, 100, 60, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

} // namespace

TEST(Classes, ANameIsRegisteredOnceWhateverItsCaseAndUnregisteredOnce) {
    const WNDCLASSW wc = life_class(TEXT("ZtClassOnce"));
    ASSERT_NE(RegisterClassW(&wc), 0);
    const WNDCLASSW upper = life_class(TEXT("ZTCLASSONCE"));
    SetLastError(0);
    EXPECT_EQ(RegisterClassW(&upper), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    EXPECT_TRUE(UnregisterClassW(TEXT("ztclassonce"), GetModuleHandleW(nullptr)));
    SetLastError(0);
    EXPECT_FALSE(UnregisterClassW(TEXT("ZtClassOnce"), GetModuleHandleW(nullptr)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
}

TEST(Classes, AWindowOfAnUnknownClassIsNotMade) {
    // The error is left out: Windows gives ERROR_CANNOT_FIND_WND_CLASS, Wine
    // ERROR_CLASS_DOES_NOT_EXIST.
    EXPECT_EQ(make_window(TEXT("ZtNoSuchClass")), nullptr);
}

TEST(Classes, AClassWithWindowsStays) {
    const WNDCLASSW wc = life_class(TEXT("ZtClassInUse"));
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND window = make_window(TEXT("ZtClassInUse"));
    ASSERT_NE(window, nullptr);
    SetLastError(0);
    EXPECT_FALSE(UnregisterClassW(TEXT("ZtClassInUse"), GetModuleHandleW(nullptr)));
    EXPECT_EQ(GetLastError(), 1412u); // ERROR_CLASS_HAS_WINDOWS
    EXPECT_NE(make_window(TEXT("ZtClassInUse")), nullptr);
    DestroyWindow(window);
}

TEST(Lifetime, CreationAndDestructionMessagesComeInOrder) {
    const WNDCLASSW wc = life_class(TEXT("ZtLifeWindow"));
    RegisterClassW(&wc);
    g_lifeMessages.clear();
    HWND window = make_window(TEXT("ZtLifeWindow"));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(g_lifeMessages, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
    g_lifeMessages.clear();
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(g_lifeMessages, (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
}

TEST(WindowData, UserDataKeepsWhatWasSetAndAnswersWithTheOldValue) {
    WindowThread shell;
    HWND window = shell.create(TEXT("ZtDataWindow"), false);
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), 0);
    EXPECT_EQ(SetWindowLongPtrW(window, GWLP_USERDATA, 1234), 0);
    EXPECT_EQ(SetWindowLongPtrW(window, GWLP_USERDATA, 5678), 1234);
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), 5678);
}

TEST(WindowData, AWindowKnowsItsThreadAndProcess) {
    WindowThread shell;
    HWND window = shell.create(TEXT("ZtOwnerWindow"), false);
    DWORD process = 0;
    EXPECT_EQ(GetWindowThreadProcessId(window, &process), shell.thread_id());
    EXPECT_NE(shell.thread_id(), GetCurrentThreadId());
    EXPECT_NE(process, 0u);
}

TEST(Geometry, APopupsClientAreaIsItsWholeRectangleAndMovesWithIt) {
    WindowThread shell;
    HWND bar = shell.create(TEXT("ZtGeometryBar"), true);
    RECT rect{};
    ASSERT_TRUE(GetClientRect(bar, &rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 480);
    EXPECT_EQ(rect.bottom, 40);
    ASSERT_TRUE(GetWindowRect(bar, &rect));
    EXPECT_EQ(rect.right, 480);
    EXPECT_TRUE(MoveWindow(bar, 10, 20, 100, 50, FALSE));
    ASSERT_TRUE(GetWindowRect(bar, &rect));
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.right, 110);
    EXPECT_EQ(rect.bottom, 70);
    ASSERT_TRUE(GetClientRect(bar, &rect));
    EXPECT_EQ(rect.right, 100);
    EXPECT_EQ(rect.bottom, 50);
}
