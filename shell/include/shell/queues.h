// The write side of the shell's three message queues, and the fifteen
// registered window messages of the shell's notifications.
//
// Each queue is opened by name on its first use and kept open; a failed open
// prints its fixed text on the debug output and is tried again on the next
// call. Each message number is registered on first use and kept. Records are
// little-endian, built whole in local storage, every byte the operation does
// not set is zero, and every write is one WriteMsgQueue call that never waits
// for room. Results: nonzero when the record was written, 0 when it was not.
//
// The lazy steps (opening, the lock's set-up, registration) take no lock: a
// program that uses this from several threads makes the first call of each
// operation from one thread before the others start.
#pragma once

#include "zt/platform.h"

#include <bit>
#include <cstddef>

static_assert(std::endian::native == std::endian::little, "the records are little-endian");

// ---------------------------------------------------------------------------
// Queues and their records
// ---------------------------------------------------------------------------
inline constexpr WCHAR SHELL_NOTIFY_QUEUE_NAME[] = TEXT("QueueNameOfShellNotifyMessage");
inline constexpr WCHAR APPS_ASK_QUEUE_NAME[] = TEXT("QueueNameOffAppsAskShellEvent");
inline constexpr WCHAR USER_NOTIFICATION_QUEUE_NAME[] = TEXT("NameOfMzUserNotification");

// Every queue is opened for writing, may be written while no reader is
// attached, and holds up to 16 records.
constexpr DWORD SHELL_QUEUE_FLAGS = MSGQUEUE_ALLOW_BROKEN;
constexpr DWORD SHELL_QUEUE_MAX_MESSAGES = 16;

// Shell-notify record, 12 bytes.
constexpr DWORD SHELL_NOTIFY_KIND1 = 1;
constexpr DWORD SHELL_NOTIFY_KIND2 = 2;
struct ShellNotifyRecord {
    DWORD dwKind; // SHELL_NOTIFY_KIND1 or SHELL_NOTIFY_KIND2
    DWORD dwFirst;
    DWORD dwSecond;
};
constexpr DWORD SHELL_NOTIFY_RECORD_SIZE = 12;
static_assert(sizeof(ShellNotifyRecord) == SHELL_NOTIFY_RECORD_SIZE);

// Apps-ask record, 232 bytes. Commands 1 to 13; command 12 carries a text
// and either two values (variant 1) or a second text and a 16-byte block
// (variant 0); the other commands use at most dwFirst and dwSecond.
constexpr int APPS_ASK_TEXT_CHARS = 64;  // terminator included
constexpr int APPS_ASK_TEXT2_CHARS = 32; // terminator included
constexpr DWORD APPS_ASK_BLOCK_SIZE = 16;
constexpr DWORD APPS_ASK_VARIANT_TEXTS = 0;
constexpr DWORD APPS_ASK_VARIANT_VALUES = 1;
struct AppsAskRecord {
    DWORD dwCommand;
    DWORD dwFirst;  // commands 1, 2, 3, 4 and 10
    DWORD dwSecond; // commands 3 and 4
    WCHAR szText[APPS_ASK_TEXT_CHARS];
    DWORD dwVariant;
    WCHAR szText2[APPS_ASK_TEXT2_CHARS]; // texts variant
    DWORD dwValueFirst;                  // values variant
    DWORD dwValueSecond;                 // values variant
    BYTE abBlock[APPS_ASK_BLOCK_SIZE];   // texts variant
};
constexpr DWORD APPS_ASK_RECORD_SIZE = 232;
static_assert(sizeof(AppsAskRecord) == APPS_ASK_RECORD_SIZE);
static_assert(offsetof(AppsAskRecord, szText) == 12 && offsetof(AppsAskRecord, dwVariant) == 140 &&
              offsetof(AppsAskRecord, szText2) == 144 && offsetof(AppsAskRecord, dwValueFirst) == 208 &&
              offsetof(AppsAskRecord, dwValueSecond) == 212 && offsetof(AppsAskRecord, abBlock) == 216);

// User-notification record, 5080 bytes. The event handle travels in 4
// bytes: handles are small numbers, so the low 32 bits are the handle.
constexpr DWORD USER_NOTIFICATION_CREATED = 1;  // event made by SendUserNotification
constexpr DWORD USER_NOTIFICATION_SUPPLIED = 2; // event given by the caller
constexpr DWORD USER_NOTIFICATION_CLOSED = 3;   // CloseUserNotification
constexpr DWORD USER_NOTIFICATION_PAYLOAD_SIZE = 5072;
struct UserNotificationRecord {
    DWORD dwEvent;
    DWORD dwKind;
    BYTE abPayload[USER_NOTIFICATION_PAYLOAD_SIZE]; // passed through unread
};
constexpr DWORD USER_NOTIFICATION_RECORD_SIZE = 5080;
static_assert(sizeof(UserNotificationRecord) == USER_NOTIFICATION_RECORD_SIZE);

// ---------------------------------------------------------------------------
// Process-wide state, all zero at process start and never released
// ---------------------------------------------------------------------------
extern HANDLE g_hShellNotifyQueue;
extern CRITICAL_SECTION g_csShellNotify; // serialises shell-notify writes
extern BOOL g_bShellNotifyLockReady;     // 1 once g_csShellNotify is set up
extern HANDLE g_hAppsAskQueue;
extern HANDLE g_hUserNotificationQueue;

// ---------------------------------------------------------------------------
// Shell-notify queue
// ---------------------------------------------------------------------------
// Kind 1 when `dwFlag` is nonzero, else kind 2. The write's result, or 0
// when the queue cannot be opened. The lock is set up on the first call even
// when the queue does not open.
BOOL WriteShellNotify(DWORD dwFirst, DWORD dwSecond, DWORD dwFlag);
// WriteShellNotify with kind 1 / kind 2; 0 at once, touching nothing, when
// `dwFirst` is 0.
BOOL ShellNotifyKind1(DWORD dwFirst, DWORD dwSecond);
BOOL ShellNotifyKind2(DWORD dwFirst, DWORD dwSecond);

// ---------------------------------------------------------------------------
// Apps-ask queue
// ---------------------------------------------------------------------------
// Writes one whole record; the write's result, or 0 when the queue cannot be
// opened or `pRecord` is null.
BOOL WriteAppsAsk(const AppsAskRecord* pRecord);
// One operation per command. Those with a value return 0 at once, writing
// nothing, when their (first) value is 0.
BOOL AppsAskCmd1(DWORD dwValue);
BOOL AppsAskCmd2(DWORD dwValue);
BOOL AppsAskCmd3(DWORD dwFirst, DWORD dwSecond);
BOOL AppsAskCmd4(DWORD dwFirst, DWORD dwSecond);
BOOL AppsAskCmd5();
BOOL AppsAskCmd6();
BOOL AppsAskCmd7();
BOOL AppsAskCmd8();
BOOL AppsAskCmd9();
BOOL AppsAskCmd10(DWORD dwValue);
BOOL AppsAskCmd11();
// Command 12. Both return 0 at once when `pszText` is null or empty;
// AppsAskCmd12Texts also when `pszText2` or `pBlock` (16 bytes) is null. A
// text longer than its field (63 / 31 characters) is cut to fit.
BOOL AppsAskCmd12Values(LPCWSTR pszText, DWORD dwFirst, DWORD dwSecond);
BOOL AppsAskCmd12Texts(LPCWSTR pszText, LPCWSTR pszText2, LPCVOID pBlock);
BOOL AppsAskCmd13();

// ---------------------------------------------------------------------------
// User-notification queue
// ---------------------------------------------------------------------------
// Writes one whole record; the write's result, or 0 when the queue cannot be
// opened or `pRecord` is null.
BOOL WriteUserNotification(const UserNotificationRecord* pRecord);
// Sends `pPayload` (5072 bytes) with `hEvent`, or with a new auto-reset,
// unsignalled event when `hEvent` is null (which then belongs to the
// caller). Returns the event used whether or not the record was written;
// null when no event could be made or `pPayload` is null.
HANDLE SendUserNotification(HANDLE hEvent, LPCVOID pPayload);
// Closes `hEvent` and then writes a kind-3 record for it; the write's
// result. 0 when `hEvent` is null.
BOOL CloseUserNotification(HANDLE hEvent);

// ---------------------------------------------------------------------------
// Registered messages: the message number, or 0 when the system refused to
// register the name (tried again on the next call).
// ---------------------------------------------------------------------------
extern UINT g_uShellMsgClickMKey;
extern UINT g_uShellMsgClickTaskbar;
extern UINT g_uShellMsgEntryLockphone;
extern UINT g_uShellMsgLeaveLockPhone;
extern UINT g_uShellMsgEntryShutDown;
extern UINT g_uShellMsgLeaveShutDown;
extern UINT g_uShellMsgReadyPowerOFF;
extern UINT g_uShellMsgBatteryLow;
extern UINT g_uShellMsgEntryMusic;
extern UINT g_uShellMsgAllKeyEvent;
extern UINT g_uShellMsgEndSyncEvent;
extern UINT g_uShellMsgBeginSyncEvent;
extern UINT g_uShellMsgNectConnect;
extern UINT g_uShellMsgNetDisconnect;
extern UINT g_uShellMsgShowNotifyWnd;

UINT ShellMsgClickMKey();      // "ShellNotifyMsg/ClickMKey"
UINT ShellMsgClickTaskbar();   // "ShellNotifyMsg/ClickTaskbar"
UINT ShellMsgEntryLockphone(); // "ShellNotifyMsg/EntryLockphone"
UINT ShellMsgLeaveLockPhone(); // "ShellNotifyMsg/LeaveLockPhone"
UINT ShellMsgEntryShutDown();  // "ShellNotifyMsg/EntryShutDown"
UINT ShellMsgLeaveShutDown();  // "ShellNotifyMsg/LeaveShutDown"
UINT ShellMsgReadyPowerOFF();  // "ShellNotifyMsg/ReadyPowerOFF"
UINT ShellMsgBatteryLow();     // "ShellNotifyMsg/BatteryLow"
UINT ShellMsgEntryMusic();     // "ShellNotifyMsg/EntryMusic"
UINT ShellMsgAllKeyEvent();    // "ShellNotifyMsg/AllKeyEvent"
UINT ShellMsgEndSyncEvent();   // "ShellNotifyMsg/EndSyncEvent"
UINT ShellMsgBeginSyncEvent(); // "ShellNotifyMsg/BeginSyncEvent"
UINT ShellMsgNectConnect();    // "ShellNotifyMsg/NectConnect"
UINT ShellMsgNetDisconnect();  // "ShellNotifyMsg/NetDisconnect"
UINT ShellMsgShowNotifyWnd();  // "ShellNotifyMsg/ShowNotifyWnd"
