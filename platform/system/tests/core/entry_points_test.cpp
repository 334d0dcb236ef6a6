// Every Win32 entry point writes its trace line on its area's channel, and
// each failure sets the error Win32 sets (or leaves the last error alone
// where Win32 does), whichever of the platform's files the call lives in.
#include "zt/platform.h"
#include "zt/sys/trace.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

namespace {

// Numbers the handle table hands out last, so no test holds one.
HWND const kNoWindow = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7FFFFFF8));
HDC const kNoDc = reinterpret_cast<HDC>(static_cast<std::uintptr_t>(0x7FFFFFF8));
HANDLE const kNoHandle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x7FFFFFF8));
constexpr DWORD kSentinel = 0xDEAD;
constexpr DWORD kUnchanged = kSentinel;

struct Row {
    const char* line;           // how its trace line begins
    std::function<bool()> call; // true when the call returned what it should
    DWORD error;                // the last error after it
};

const Row kRows[] = {
    // Windows, messages, timers.
    {"win: RegisterClassW(", [] { return RegisterClassW(nullptr) == 0; }, ERROR_INVALID_PARAMETER},
    {"win: UnregisterClassW(", [] { return !UnregisterClassW(u"NoSuchClass", nullptr); }, ERROR_CLASS_DOES_NOT_EXIST},
    {"msg: CreateWindowExW(",
     [] { return !CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr); },
     ERROR_CANNOT_FIND_WND_CLASS},
    {"win: DestroyWindow(", [] { return !DestroyWindow(kNoWindow); }, ERROR_INVALID_WINDOW_HANDLE},
    {"win: IsWindow(", [] { return !IsWindow(kNoWindow); }, kUnchanged},
    {"shell: FindWindowW(", [] { return !FindWindowW(u"NoSuchClass", nullptr); }, kUnchanged},
    {"shell: ShowWindow(", [] { return !ShowWindow(kNoWindow, SW_SHOW); }, ERROR_INVALID_WINDOW_HANDLE},
    {"win: IsWindowVisible(", [] { return !IsWindowVisible(kNoWindow); }, kUnchanged},
    {"win: GetWindowThreadProcessId(", [] { return GetWindowThreadProcessId(kNoWindow, nullptr) == 0; },
     ERROR_INVALID_WINDOW_HANDLE},
    {"win: SetWindowLongPtrW(", [] { return SetWindowLongPtrW(kNoWindow, GWLP_USERDATA, 1) == 0; },
     ERROR_INVALID_WINDOW_HANDLE},
    {"win: GetWindowLongPtrW(", [] { return GetWindowLongPtrW(kNoWindow, GWLP_USERDATA) == 0; },
     ERROR_INVALID_WINDOW_HANDLE},
    {"win: GetClientRect(",
     [] {
         RECT r{};
         return !GetClientRect(kNoWindow, &r);
     },
     ERROR_INVALID_WINDOW_HANDLE},
    {"win: GetWindowRect(",
     [] {
         RECT r{};
         return !GetWindowRect(kNoWindow, &r);
     },
     ERROR_INVALID_WINDOW_HANDLE},
    {"win: MoveWindow(", [] { return !MoveWindow(kNoWindow, 0, 0, 1, 1, TRUE); }, ERROR_INVALID_WINDOW_HANDLE},
    {"win: GetClassNameW(",
     [] {
         WCHAR n[8];
         return GetClassNameW(kNoWindow, n, 8) == 0;
     },
     ERROR_INVALID_WINDOW_HANDLE},
    {"msg: SendMessageW(", [] { return SendMessageW(kNoWindow, WM_USER, 0, 0) == 0; }, ERROR_INVALID_WINDOW_HANDLE},
    {"shell: SendMessageTimeoutW(",
     [] { return SendMessageTimeoutW(kNoWindow, WM_USER, 0, 0, SMTO_NORMAL, 10, nullptr) == 0; },
     ERROR_INVALID_WINDOW_HANDLE},
    {"win: PostMessageW(", [] { return !PostMessageW(kNoWindow, WM_USER, 0, 0); }, ERROR_INVALID_WINDOW_HANDLE},
    {"win: PostThreadMessageW(", [] { return !PostThreadMessageW(0x7FFFFFF, WM_USER, 0, 0); }, ERROR_INVALID_PARAMETER},
    {"win: RegisterWindowMessageW(", [] { return RegisterWindowMessageW(u"") == 0; }, ERROR_INVALID_PARAMETER},
    {"win: GetMessageW(", [] { return GetMessageW(nullptr, nullptr, 0, 0) == -1; }, ERROR_INVALID_PARAMETER},
    {"win: PeekMessageW(", [] { return !PeekMessageW(nullptr, nullptr, 0, 0, PM_REMOVE); }, ERROR_INVALID_PARAMETER},
    {"win: TranslateMessage(", [] { return !TranslateMessage(nullptr); }, kUnchanged},
    {"win: DispatchMessageW(",
     [] {
         const MSG m{kNoWindow, WM_USER, 0, 0, 0, {}};
         return DispatchMessageW(&m) == 0;
     },
     ERROR_INVALID_WINDOW_HANDLE},
    {"win: DefWindowProcW(", [] { return DefWindowProcW(kNoWindow, WM_NULL, 0, 0) == 0; }, kUnchanged},
    {"win: SetTimer(", [] { return SetTimer(kNoWindow, 1, 10, nullptr) == 0; }, ERROR_INVALID_WINDOW_HANDLE},
    {"win: KillTimer(", [] { return !KillTimer(kNoWindow, 1); }, ERROR_INVALID_PARAMETER},
    {"win: InvalidateRect(", [] { return !InvalidateRect(kNoWindow, nullptr, TRUE); }, ERROR_INVALID_WINDOW_HANDLE},
    {"win: ValidateRect(", [] { return !ValidateRect(kNoWindow, nullptr); }, ERROR_INVALID_WINDOW_HANDLE},
    {"win: GetUpdateRect(", [] { return !GetUpdateRect(kNoWindow, nullptr, FALSE); }, kUnchanged},
    {"win: UpdateWindow(", [] { return !UpdateWindow(kNoWindow); }, ERROR_INVALID_WINDOW_HANDLE},
    // Kernel.
    // The test host's virtual clock stands still between the two reads.
    {"kernel: GetTickCount(", [] { return GetTickCount() == GetTickCount(); }, kUnchanged},
    {"kernel: GetCurrentThreadId(", [] { return GetCurrentThreadId() != 0; }, kUnchanged},
    {"kernel: Sleep(",
     [] {
         Sleep(1);
         return true;
     },
     kUnchanged},
    {"kernel: CreateEventW(", [] { return !CreateEventW(nullptr, FALSE, FALSE, u"named"); }, ERROR_NOT_SUPPORTED},
    {"kernel: SetEvent(", [] { return !SetEvent(kNoHandle); }, ERROR_INVALID_HANDLE},
    {"kernel: ResetEvent(", [] { return !ResetEvent(kNoHandle); }, ERROR_INVALID_HANDLE},
    {"kernel: WaitForSingleObject(", [] { return WaitForSingleObject(kNoHandle, 0) == WAIT_FAILED; },
     ERROR_INVALID_HANDLE},
    {"kernel: CloseHandle(", [] { return !CloseHandle(kNoHandle); }, ERROR_INVALID_HANDLE},
    {"kernel: EnterCriticalSection(",
     [] {
         CRITICAL_SECTION section;
         InitializeCriticalSection(&section);
         EnterCriticalSection(&section);
         LeaveCriticalSection(&section);
         DeleteCriticalSection(&section);
         return section.impl == nullptr;
     },
     kUnchanged},
    {"kernel: CoInitializeEx(", [] { return CoInitializeEx(nullptr, 0) >= 0; }, kUnchanged},
    {"kernel: GetModuleHandleW(", [] { return !GetModuleHandleW(u"other.dll"); }, ERROR_MOD_NOT_FOUND},
    {"kernel: FindResourceW(", [] { return !FindResourceW(nullptr, nullptr, nullptr); }, ERROR_INVALID_PARAMETER},
    {"kernel: LoadResource(", [] { return !LoadResource(nullptr, nullptr); }, ERROR_INVALID_HANDLE},
    {"kernel: LockResource(", [] { return !LockResource(nullptr); }, ERROR_INVALID_HANDLE},
    {"kernel: SizeofResource(", [] { return SizeofResource(nullptr, nullptr) == 0; }, ERROR_INVALID_HANDLE},
    {"kernel: StringCchCopyNW(", [] { return StringCchCopyNW(nullptr, 0, u"x", 1) == STRSAFE_E_INVALID_PARAMETER; },
     kUnchanged},
    {"kernel: lstrlenW(", [] { return lstrlenW(u"four") == 4; }, kUnchanged},
    {"kernel: srand(",
     [] {
         srand(7);
         return true;
     },
     kUnchanged},
    {"kernel: rand(", [] { return rand() >= 0; }, kUnchanged},
    // Drawing, devices, queues, registry.
    {"gdi: GetDC(", [] { return !GetDC(kNoWindow); }, ERROR_INVALID_WINDOW_HANDLE},
    {"gdi: ReleaseDC(", [] { return ReleaseDC(nullptr, kNoDc) == 0; }, ERROR_INVALID_HANDLE},
    {"gdi: BeginPaint(",
     [] {
         PAINTSTRUCT ps{};
         return !BeginPaint(kNoWindow, &ps);
     },
     ERROR_INVALID_WINDOW_HANDLE},
    {"gdi: EndPaint(",
     [] {
         PAINTSTRUCT ps{};
         return !EndPaint(kNoWindow, &ps);
     },
     ERROR_INVALID_WINDOW_HANDLE},
    {"gdi: CreateCompatibleBitmap(", [] { return !CreateCompatibleBitmap(kNoDc, 1, 1); }, ERROR_INVALID_HANDLE},
    {"gdi: CreateFontIndirectW(", [] { return !CreateFontIndirectW(nullptr); }, ERROR_INVALID_PARAMETER},
    {"gdi: DeleteObject(", [] { return !DeleteObject(kNoHandle); }, ERROR_INVALID_HANDLE},
    {"gdi: SelectObject(", [] { return !SelectObject(kNoDc, kNoHandle); }, ERROR_INVALID_HANDLE},
    {"gdi: FillRect(",
     [] {
         const RECT r{0, 0, 1, 1};
         return FillRect(kNoDc, &r, nullptr) == 0;
     },
     ERROR_INVALID_HANDLE},
    {"gdi: BitBlt(", [] { return !BitBlt(kNoDc, 0, 0, 1, 1, kNoDc, 0, 0, SRCCOPY); }, ERROR_INVALID_HANDLE},
    {"gdi: StretchBlt(", [] { return !StretchBlt(kNoDc, 0, 0, 1, 1, kNoDc, 0, 0, 1, 1, SRCCOPY); },
     ERROR_INVALID_HANDLE},
    {"gdi: DrawTextW(",
     [] {
         RECT r{0, 0, 9, 9};
         return DrawTextW(kNoDc, u"x", 1, &r, 0) == 0;
     },
     ERROR_INVALID_HANDLE},
    {"gdi: ExtEscape(", [] { return ExtEscape(kNoDc, 1, 0, nullptr, 0, nullptr) == -1; }, ERROR_INVALID_HANDLE},
    {"device: CreateFileW(", [] { return CreateFileW(u"NOPE:", 0, 0, nullptr, 0, 0, nullptr) == INVALID_HANDLE_VALUE; },
     ERROR_FILE_NOT_FOUND},
    {"device: DeviceIoControl(",
     [] { return !DeviceIoControl(kNoHandle, 0, nullptr, 0, nullptr, 0, nullptr, nullptr); }, ERROR_INVALID_HANDLE},
    {"queue: WriteMsgQueue(",
     [] {
         char b = 0;
         return !WriteMsgQueue(kNoHandle, &b, 1, 0, 0);
     },
     ERROR_INVALID_HANDLE},
    {"queue: ReadMsgQueue(",
     [] {
         char b = 0;
         DWORD n = 0;
         return !ReadMsgQueue(kNoHandle, &b, 1, &n, 0, nullptr);
     },
     ERROR_INVALID_HANDLE},
    {"queue: CloseMsgQueue(", [] { return !CloseMsgQueue(kNoHandle); }, ERROR_INVALID_HANDLE},
    // The registry's calls return their error and leave the last error alone.
    {"reg: RegOpenKeyExW(",
     [] {
         HKEY k = nullptr;
         return RegOpenKeyExW(reinterpret_cast<HKEY>(kNoHandle), u"x", 0, 0, &k) != 0;
     },
     kUnchanged},
};

} // namespace

TEST(EntryPoints, EachTracesOnItsChannelAndFailsWithTheErrorWin32Sets) {
    for (const Row& row : kRows) {
        zt::testhost::TraceCapture capture(zt::trace::kEvery);
        SetLastError(kSentinel);
        EXPECT_TRUE(row.call()) << row.line;
        EXPECT_EQ(GetLastError(), row.error) << row.line;
        EXPECT_FALSE(capture.starting(std::string("trace:") + row.line).empty()) << row.line << " wrote no line";
    }
}

// "all" is what the examples record: the routine channels stay out of it, so
// a loop's every GetMessageW or SetLastError never shows there.
TEST(EntryPoints, AllLeavesTheRoutineChannelsOut) {
    unsigned mask = 0;
    ASSERT_TRUE(zt::trace::parse_channels("all", mask));
    EXPECT_EQ(mask & (zt::trace::kKernel | zt::trace::kWin), 0u);
    ASSERT_TRUE(zt::trace::parse_channels("all,kernel,win", mask));
    EXPECT_EQ(mask, unsigned(zt::trace::kEvery));

    zt::testhost::TraceCapture capture(zt::trace::kAll);
    SetLastError(kSentinel);
    (void)IsWindow(kNoWindow);
    (void)GetTickCount();
    EXPECT_TRUE(capture.lines().empty()) << capture.lines().front();
}
