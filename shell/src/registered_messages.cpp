// The shell's registered window messages: each number is registered on first
// use and kept; a refused registration (0) is tried again on the next call.
#include "shell/queues.h"

UINT g_uShellMsgClickMKey = 0;
UINT g_uShellMsgClickTaskbar = 0;
UINT g_uShellMsgEntryLockphone = 0;
UINT g_uShellMsgLeaveLockPhone = 0;
UINT g_uShellMsgEntryShutDown = 0;
UINT g_uShellMsgLeaveShutDown = 0;
UINT g_uShellMsgReadyPowerOFF = 0;
UINT g_uShellMsgBatteryLow = 0;
UINT g_uShellMsgEntryMusic = 0;
UINT g_uShellMsgAllKeyEvent = 0;
UINT g_uShellMsgEndSyncEvent = 0;
UINT g_uShellMsgBeginSyncEvent = 0;
UINT g_uShellMsgNectConnect = 0;
UINT g_uShellMsgNetDisconnect = 0;
UINT g_uShellMsgShowNotifyWnd = 0;

static UINT RegisterOnce(UINT& uCell, LPCWSTR pszName) {
    if (uCell == 0)
        uCell = RegisterWindowMessageW(pszName);
    return uCell;
}

UINT ShellMsgClickMKey() {
    return RegisterOnce(g_uShellMsgClickMKey, TEXT("ShellNotifyMsg/ClickMKey"));
}
UINT ShellMsgClickTaskbar() {
    return RegisterOnce(g_uShellMsgClickTaskbar, TEXT("ShellNotifyMsg/ClickTaskbar"));
}
UINT ShellMsgEntryLockphone() {
    return RegisterOnce(g_uShellMsgEntryLockphone, TEXT("ShellNotifyMsg/EntryLockphone"));
}
UINT ShellMsgLeaveLockPhone() {
    return RegisterOnce(g_uShellMsgLeaveLockPhone, TEXT("ShellNotifyMsg/LeaveLockPhone"));
}
UINT ShellMsgEntryShutDown() {
    return RegisterOnce(g_uShellMsgEntryShutDown, TEXT("ShellNotifyMsg/EntryShutDown"));
}
UINT ShellMsgLeaveShutDown() {
    return RegisterOnce(g_uShellMsgLeaveShutDown, TEXT("ShellNotifyMsg/LeaveShutDown"));
}
UINT ShellMsgReadyPowerOFF() {
    return RegisterOnce(g_uShellMsgReadyPowerOFF, TEXT("ShellNotifyMsg/ReadyPowerOFF"));
}
UINT ShellMsgBatteryLow() {
    return RegisterOnce(g_uShellMsgBatteryLow, TEXT("ShellNotifyMsg/BatteryLow"));
}
UINT ShellMsgEntryMusic() {
    return RegisterOnce(g_uShellMsgEntryMusic, TEXT("ShellNotifyMsg/EntryMusic"));
}
UINT ShellMsgAllKeyEvent() {
    return RegisterOnce(g_uShellMsgAllKeyEvent, TEXT("ShellNotifyMsg/AllKeyEvent"));
}
UINT ShellMsgEndSyncEvent() {
    return RegisterOnce(g_uShellMsgEndSyncEvent, TEXT("ShellNotifyMsg/EndSyncEvent"));
}
UINT ShellMsgBeginSyncEvent() {
    return RegisterOnce(g_uShellMsgBeginSyncEvent, TEXT("ShellNotifyMsg/BeginSyncEvent"));
}
UINT ShellMsgNectConnect() {
    return RegisterOnce(g_uShellMsgNectConnect, TEXT("ShellNotifyMsg/NectConnect"));
}
UINT ShellMsgNetDisconnect() {
    return RegisterOnce(g_uShellMsgNetDisconnect, TEXT("ShellNotifyMsg/NetDisconnect"));
}
UINT ShellMsgShowNotifyWnd() {
    return RegisterOnce(g_uShellMsgShowNotifyWnd, TEXT("ShellNotifyMsg/ShowNotifyWnd"));
}
