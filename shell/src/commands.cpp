// Commands to the shell's windows, the display driver and the registry.
//
// Every call looks its window up again, so a shell window that was
// re-created since the last call is still found; nothing outlives a call.
#include "shell/commands.h"

namespace {

const WCHAR* const kTaskBarClass = TEXT("CTaskBar");
const WCHAR* const kDesktopClass = TEXT("DesktopExplorerWindow");
const WCHAR* const kLockPhoneClass = TEXT("CLockPhoneWnd");
const WCHAR* const kDesktopExploreClass = TEXT("DesktopExploreWindows");
const WCHAR* const kShellMainClass = TEXT("CShellMainWnd");
const WCHAR* const kStartupClass = TEXT("CStartupWnd");

constexpr UINT kMsgDesktopExplore = 0xFFF00001;
constexpr UINT kMsgDesktopLock = 0xFFF00002;
constexpr UINT kMsgTaskBar0D = 0xFFF0000D;
constexpr UINT kMsgTaskBar0F = 0xFFF0000F;
constexpr UINT kMsgTaskBar10 = 0xFFF00010;
constexpr UINT kMsgTaskBar11 = 0xFFF00011;
constexpr UINT kMsgTaskBar12 = 0xFFF00012;
constexpr UINT kMsgShellMain19 = 0xFFF00019;
constexpr UINT kMsgShellMain1A = 0xFFF0001A;
constexpr UINT kMsgStartup1B = 0xFFF0001B;

constexpr UINT kShortTimeout = 800;
constexpr UINT kShellMainTimeout = 2000;
constexpr DWORD kDesktopExplorePause = 10;

constexpr int kEscape20113 = 0x20113;
constexpr int kEscape20114 = 0x20114;

const WCHAR* const kLockStateKey = TEXT("System\\State\\ZaruVuvIvozi");
const WCHAR* const kLockStateValue = TEXT("IsLockState");

BOOL ShowShellWindow(const WCHAR* pszClass, int nCmdShow) {
    HWND hWnd = FindWindowW(pszClass, nullptr);
    if (hWnd == nullptr)
        return 0;
    return ShowWindow(hWnd, nCmdShow);
}

// Waits at most `uTimeout` ms for the window to handle the message; its reply
// is not wanted, only whether it came.
LRESULT SendTimed(const WCHAR* pszClass, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT uTimeout) {
    HWND hWnd = FindWindowW(pszClass, nullptr);
    if (hWnd == nullptr)
        return 0;
    DWORD_PTR dwReply = 0; // the reply cell is pointer-sized on Win32, 32-bit on the phone
    return SendMessageTimeoutW(hWnd, uMsg, wParam, lParam, SMTO_NORMAL, uTimeout, &dwReply);
}

LRESULT SendPlain(const WCHAR* pszClass, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    HWND hWnd = FindWindowW(pszClass, nullptr);
    if (hWnd == nullptr)
        return 0;
    return SendMessageW(hWnd, uMsg, wParam, lParam);
}

int AskDisplayDriver(int nEscape) {
    HDC hdc = GetDC(nullptr);
    if (hdc == nullptr)
        return 0;
    const int nResult = ExtEscape(hdc, nEscape, 0, nullptr, 0, nullptr);
    ReleaseDC(nullptr, hdc);
    return nResult > 0 ? 1 : 0;
}

} // namespace

BOOL HideTaskBar() {
    return ShowShellWindow(kTaskBarClass, SW_HIDE);
}

BOOL ShowTaskBar() {
    return ShowShellWindow(kTaskBarClass, SW_SHOW);
}

LRESULT TaskBarMsg0D() {
    return SendTimed(kTaskBarClass, kMsgTaskBar0D, 0, 0, kShortTimeout);
}

LRESULT TaskBarMsg0F() {
    return SendTimed(kTaskBarClass, kMsgTaskBar0F, 0, 0, kShortTimeout);
}

LRESULT TaskBarMsg10() {
    return SendTimed(kTaskBarClass, kMsgTaskBar10, 0, 0, kShortTimeout);
}

LRESULT TaskBarMsg11() {
    return SendTimed(kTaskBarClass, kMsgTaskBar11, 0, 0, kShortTimeout);
}

LRESULT TaskBarMsg12() {
    return SendTimed(kTaskBarClass, kMsgTaskBar12, 0, 0, kShortTimeout);
}

LRESULT DesktopLockMsg02(UINT targets) {
    // Both windows are looked up whatever the targets say.
    HWND hDesktop = FindWindowW(kDesktopClass, nullptr);
    HWND hLock = FindWindowW(kLockPhoneClass, nullptr);
    LRESULT lResult = 0;
    if ((targets & 1) != 0 && hDesktop != nullptr)
        lResult = SendMessageW(hDesktop, kMsgDesktopLock, 0, 0);
    if ((targets & 2) != 0 && hLock != nullptr)
        lResult = SendMessageW(hLock, kMsgDesktopLock, 0, 0);
    return lResult;
}

LRESULT DesktopExploreMsg01() {
    HWND hWnd = FindWindowW(kDesktopExploreClass, nullptr);
    if (hWnd == nullptr)
        return 0;
    const LRESULT lResult = SendMessageW(hWnd, kMsgDesktopExplore, 0, 2);
    // Gives the desktop time to act on it before the caller goes on.
    Sleep(kDesktopExplorePause);
    return lResult;
}

LRESULT ShellMainMsg19(WPARAM wParam, LPARAM lParam) {
    if (wParam == 0)
        return 0;
    return SendPlain(kShellMainClass, kMsgShellMain19, wParam, lParam);
}

LRESULT ShellMainMsg1A(WPARAM wParam, LPARAM lParam) {
    return SendTimed(kShellMainClass, kMsgShellMain1A, wParam, lParam, kShellMainTimeout);
}

LRESULT StartupWndMsg1B_2() {
    return SendTimed(kStartupClass, kMsgStartup1B, 2, 0, kShortTimeout);
}

LRESULT StartupWndMsg1B_1() {
    return SendTimed(kStartupClass, kMsgStartup1B, 1, 0, kShortTimeout);
}

int DisplayEscape20113() {
    return AskDisplayDriver(kEscape20113);
}

int DisplayEscape20114() {
    return AskDisplayDriver(kEscape20114);
}

int QueryLockState() {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLockStateKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS || hKey == nullptr)
        return 0;
    // Only a value of at most 4 bytes reads; a longer one fails with
    // ERROR_MORE_DATA and counts as not locked.
    DWORD dwLocked = 0;
    DWORD cbData = sizeof dwLocked;
    const LSTATUS lStatus =
        RegQueryValueExW(hKey, kLockStateValue, nullptr, nullptr, reinterpret_cast<LPBYTE>(&dwLocked), &cbData);
    RegCloseKey(hKey);
    return lStatus == ERROR_SUCCESS && dwLocked != 0 ? 1 : 0;
}
