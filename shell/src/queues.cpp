// The write side of the shell's queues: shell notifications, requests to the
// shell ("apps ask") and user notifications.
#include "shell/queues.h"

#include <cstdint>
#include <cstring>

HANDLE g_hShellNotifyQueue = nullptr;
CRITICAL_SECTION g_csShellNotify = {};
BOOL g_bShellNotifyLockReady = 0;
HANDLE g_hAppsAskQueue = nullptr;
HANDLE g_hUserNotificationQueue = nullptr;

// Returns the queue's write handle, opening the queue when it is not open
// yet. A failed open prints `pszFailure` and leaves the handle null, so that
// the next call tries again.
static HANDLE OpenShellQueue(HANDLE& hQueue, LPCWSTR pszName, DWORD cbRecord, LPCWSTR pszFailure) {
    if (hQueue != nullptr)
        return hQueue;
    MSGQUEUEOPTIONS options = {sizeof(MSGQUEUEOPTIONS), SHELL_QUEUE_FLAGS, SHELL_QUEUE_MAX_MESSAGES, cbRecord, FALSE};
    hQueue = CreateMsgQueue(pszName, &options);
    if (hQueue == nullptr)
        NKDbgPrintfW(TEXT("%s"), pszFailure);
    return hQueue;
}

// ----- shell-notify queue ----------------------------------------------------

BOOL WriteShellNotify(DWORD dwFirst, DWORD dwSecond, DWORD dwFlag) {
    HANDLE hQueue = OpenShellQueue(g_hShellNotifyQueue, SHELL_NOTIFY_QUEUE_NAME, SHELL_NOTIFY_RECORD_SIZE,
                                   TEXT("Cannot open Shell Notify message queue!\n"));
    if (!g_bShellNotifyLockReady) {
        InitializeCriticalSection(&g_csShellNotify);
        g_bShellNotifyLockReady = 1;
    }
    if (hQueue == nullptr)
        return 0;
    EnterCriticalSection(&g_csShellNotify);
    ShellNotifyRecord record = {};
    record.dwKind = dwFlag != 0 ? SHELL_NOTIFY_KIND1 : SHELL_NOTIFY_KIND2;
    record.dwFirst = dwFirst;
    record.dwSecond = dwSecond;
    const BOOL bWritten = WriteMsgQueue(hQueue, &record, sizeof(record), 0, 0);
    LeaveCriticalSection(&g_csShellNotify);
    return bWritten;
}

BOOL ShellNotifyKind1(DWORD dwFirst, DWORD dwSecond) {
    if (dwFirst == 0)
        return 0;
    return WriteShellNotify(dwFirst, dwSecond, 1) ? 1 : 0;
}

BOOL ShellNotifyKind2(DWORD dwFirst, DWORD dwSecond) {
    if (dwFirst == 0)
        return 0;
    return WriteShellNotify(dwFirst, dwSecond, 0) ? 1 : 0;
}

// ----- apps-ask queue ----------------------------------------------------------

BOOL WriteAppsAsk(const AppsAskRecord* pRecord) {
    if (pRecord == nullptr)
        return 0;
    HANDLE hQueue = OpenShellQueue(g_hAppsAskQueue, APPS_ASK_QUEUE_NAME, APPS_ASK_RECORD_SIZE,
                                   TEXT("Cannot open Apps Ask Shell Event message queue!\n"));
    if (hQueue == nullptr)
        return 0;
    return WriteMsgQueue(hQueue, const_cast<AppsAskRecord*>(pRecord), sizeof(*pRecord), 0, 0);
}

// Writes a command record with its two plain values.
static BOOL AppsAsk(DWORD dwCommand, DWORD dwFirst, DWORD dwSecond) {
    AppsAskRecord record = {};
    record.dwCommand = dwCommand;
    record.dwFirst = dwFirst;
    record.dwSecond = dwSecond;
    return WriteAppsAsk(&record) ? 1 : 0;
}

BOOL AppsAskCmd1(DWORD dwValue) {
    return dwValue == 0 ? 0 : AppsAsk(1, dwValue, 0);
}
BOOL AppsAskCmd2(DWORD dwValue) {
    return dwValue == 0 ? 0 : AppsAsk(2, dwValue, 0);
}
BOOL AppsAskCmd3(DWORD dwFirst, DWORD dwSecond) {
    return dwFirst == 0 ? 0 : AppsAsk(3, dwFirst, dwSecond);
}
BOOL AppsAskCmd4(DWORD dwFirst, DWORD dwSecond) {
    return dwFirst == 0 ? 0 : AppsAsk(4, dwFirst, dwSecond);
}
BOOL AppsAskCmd5() {
    return AppsAsk(5, 0, 0);
}
BOOL AppsAskCmd6() {
    return AppsAsk(6, 0, 0);
}
BOOL AppsAskCmd7() {
    return AppsAsk(7, 0, 0);
}
BOOL AppsAskCmd8() {
    return AppsAsk(8, 0, 0);
}
BOOL AppsAskCmd9() {
    return AppsAsk(9, 0, 0);
}
BOOL AppsAskCmd10(DWORD dwValue) {
    return dwValue == 0 ? 0 : AppsAsk(10, dwValue, 0);
}
BOOL AppsAskCmd11() {
    return AppsAsk(11, 0, 0);
}
BOOL AppsAskCmd13() {
    return AppsAsk(13, 0, 0);
}

// Command 12's text fields take at most one character fewer than they hold:
// a longer text is cut there and the field always ends in a NUL.
static void CopyField(WCHAR* pszField, int cchField, LPCWSTR pszText) {
    StringCchCopyNW(pszField, static_cast<std::size_t>(cchField), pszText, static_cast<std::size_t>(cchField));
}

BOOL AppsAskCmd12Values(LPCWSTR pszText, DWORD dwFirst, DWORD dwSecond) {
    if (pszText == nullptr || pszText[0] == 0)
        return 0;
    AppsAskRecord record = {};
    record.dwCommand = 12;
    CopyField(record.szText, APPS_ASK_TEXT_CHARS, pszText);
    record.dwVariant = APPS_ASK_VARIANT_VALUES;
    record.dwValueFirst = dwFirst;
    record.dwValueSecond = dwSecond;
    return WriteAppsAsk(&record) ? 1 : 0;
}

BOOL AppsAskCmd12Texts(LPCWSTR pszText, LPCWSTR pszText2, LPCVOID pBlock) {
    if (pszText == nullptr || pszText[0] == 0 || pszText2 == nullptr || pBlock == nullptr)
        return 0;
    AppsAskRecord record = {};
    record.dwCommand = 12;
    CopyField(record.szText, APPS_ASK_TEXT_CHARS, pszText);
    record.dwVariant = APPS_ASK_VARIANT_TEXTS;
    CopyField(record.szText2, APPS_ASK_TEXT2_CHARS, pszText2);
    std::memcpy(record.abBlock, pBlock, APPS_ASK_BLOCK_SIZE);
    return WriteAppsAsk(&record) ? 1 : 0;
}

// ----- user-notification queue -------------------------------------------------

BOOL WriteUserNotification(const UserNotificationRecord* pRecord) {
    if (pRecord == nullptr)
        return 0;
    HANDLE hQueue = OpenShellQueue(g_hUserNotificationQueue, USER_NOTIFICATION_QUEUE_NAME,
                                   USER_NOTIFICATION_RECORD_SIZE, TEXT("Cannot open user notification queue!\n"));
    if (hQueue == nullptr)
        return 0;
    return WriteMsgQueue(hQueue, const_cast<UserNotificationRecord*>(pRecord), sizeof(*pRecord), 0, 0);
}

// Handles are small numbers from the system's table: their low 32 bits are
// the whole handle.
static DWORD HandleBits(HANDLE hEvent) {
    return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(hEvent));
}

HANDLE SendUserNotification(HANDLE hEvent, LPCVOID pPayload) {
    if (pPayload == nullptr)
        return nullptr;
    UserNotificationRecord record = {};
    if (hEvent == nullptr) {
        hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        record.dwKind = USER_NOTIFICATION_CREATED;
    } else {
        record.dwKind = USER_NOTIFICATION_SUPPLIED;
    }
    if (hEvent == nullptr)
        return nullptr;
    std::memcpy(record.abPayload, pPayload, USER_NOTIFICATION_PAYLOAD_SIZE);
    record.dwEvent = HandleBits(hEvent);
    WriteUserNotification(&record);
    return hEvent;
}

BOOL CloseUserNotification(HANDLE hEvent) {
    if (hEvent == nullptr)
        return 0;
    UserNotificationRecord record = {};
    record.dwEvent = HandleBits(hEvent);
    record.dwKind = USER_NOTIFICATION_CLOSED;
    CloseHandle(hEvent);
    return WriteUserNotification(&record);
}
