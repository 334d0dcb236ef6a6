// Commands sent to the phone's shell from the outside: the taskbar and the
// other shell windows, found by class name on every call, two display-driver
// queries and the lock-state query. No state is kept between calls; a result
// of 0 always means that nothing was done or that it failed.
#pragma once

#include "zt/platform.h"

// "CTaskBar": ShowWindow's answer, whether the taskbar was visible before.
BOOL HideTaskBar();
BOOL ShowTaskBar();

// "CTaskBar": 0xFFF0000D, 0xFFF0000F, 0xFFF00010, 0xFFF00011, 0xFFF00012,
// each with no arguments, waiting at most 800 ms for the taskbar to handle it.
LRESULT TaskBarMsg0D();
LRESULT TaskBarMsg0F();
LRESULT TaskBarMsg10();
LRESULT TaskBarMsg11();
LRESULT TaskBarMsg12();

// 0xFFF00002 to "DesktopExplorerWindow" when bit 0 of `targets` is set and to
// "CLockPhoneWnd" when bit 1 is set; the result of the last delivery made.
LRESULT DesktopLockMsg02(UINT targets);

// 0xFFF00001 (lParam 2) to "DesktopExploreWindows", then a 10 ms pause.
LRESULT DesktopExploreMsg01();

// "CShellMainWnd": 0xFFF00019 with the caller's arguments (nothing when
// wParam is 0), and 0xFFF0001A waiting at most 2000 ms.
LRESULT ShellMainMsg19(WPARAM wParam, LPARAM lParam);
LRESULT ShellMainMsg1A(WPARAM wParam, LPARAM lParam);

// "CStartupWnd": 0xFFF0001B with wParam 2 or 1, waiting at most 800 ms.
LRESULT StartupWndMsg1B_2();
LRESULT StartupWndMsg1B_1();

// 1 when the display driver answers its private escape 0x20113 / 0x20114
// with a positive value, else 0.
int DisplayEscape20113();
int DisplayEscape20114();

// 1 when "IsLockState" under HKEY_LOCAL_MACHINE\System\State\ZaruVuvIvozi
// reads as a nonzero value of at most 4 bytes, else 0.
int QueryLockState();
