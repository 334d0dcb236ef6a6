// The phone's system library as the application and the service libraries see it.
//
// This is the one header through which everything above the platform reaches
// the system: types, constants and functions carry their Win32/CE names and
// meanings. Text is UTF-16 (WCHAR is char16_t); spell wide literals with TEXT().
// Values the phone keeps 32-bit (message numbers, wParam, lParam, results) stay
// 32-bit here whatever the host's pointer size.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Basic types
// ---------------------------------------------------------------------------
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using INT = std::int32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using BOOL = std::int32_t;
using CHAR = char;
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using PDWORD = DWORD*;
using LPBYTE = BYTE*;
using ATOM = WORD;
using HRESULT = std::int32_t;
using COLORREF = DWORD;
using REGSAM = DWORD;
using LSTATUS = LONG;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
// Pointer-sized on Win32, so 32 bits on the phone; here it names the 32-bit
// cell a timed send writes its reply into (64 bits on 64-bit Win32).
using DWORD_PTR = DWORD;
using PDWORD_PTR = DWORD_PTR*;

// Messages keep 32-bit parameters and results, as on the phone.
using WPARAM = std::uint32_t;
using LPARAM = std::int32_t;
using LRESULT = std::int32_t;

using HANDLE = void*;
#define ZT_DECLARE_HANDLE(name)                                                                                        \
    struct name##__ {                                                                                                  \
        int unused;                                                                                                    \
    };                                                                                                                 \
    using name = name##__*
ZT_DECLARE_HANDLE(HWND);
ZT_DECLARE_HANDLE(HDC);
ZT_DECLARE_HANDLE(HBRUSH);
ZT_DECLARE_HANDLE(HFONT);
ZT_DECLARE_HANDLE(HBITMAP);
ZT_DECLARE_HANDLE(HINSTANCE);
ZT_DECLARE_HANDLE(HKEY);
ZT_DECLARE_HANDLE(HRSRC);
ZT_DECLARE_HANDLE(HGLOBAL);
#undef ZT_DECLARE_HANDLE
using HGDIOBJ = void*;
using HMODULE = HINSTANCE;
using PHKEY = HKEY*;

#define TEXT(s) u##s
#define CALLBACK
#define WINAPI

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Handles are small numbers from the platform's tables; -1 marks a file that
// could not be opened.
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
constexpr DWORD INFINITE = 0xFFFFFFFFu;

struct POINT {
    LONG x;
    LONG y;
};
struct SIZE {
    LONG cx;
    LONG cy;
};
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;

// ---------------------------------------------------------------------------
// Error codes
// ---------------------------------------------------------------------------
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_OUTOFMEMORY = 14;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_PIPE_NOT_CONNECTED = 233;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_SERVICE_NOT_ACTIVE = 1062;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_CLASS_DOES_NOT_EXIST = 1411;
constexpr DWORD ERROR_NO_SYSTEM_RESOURCES = 1450;
constexpr DWORD ERROR_TIMEOUT = 1460;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// ---------------------------------------------------------------------------
// Kernel: last error, time, events, locks, the runtime's generator
// ---------------------------------------------------------------------------
DWORD GetLastError();
void SetLastError(DWORD error);
DWORD GetTickCount();
void Sleep(DWORD milliseconds);
DWORD GetCurrentThreadId();

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);

// The lock itself lives in the platform; the record only points at it.
struct CRITICAL_SECTION {
    void* impl;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;
void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);

// The runtime's pseudo-random generator: values 0..0x7FFF, one sequence per
// seed. It replaces the C library's pair for the whole process, as the
// phone's runtime does for its programs. Declared as the C library declares
// them: glibc marks them noexcept, emscripten's C library does not.
#if defined(__EMSCRIPTEN__)
#define ZT_C_NOEXCEPT
#else
#define ZT_C_NOEXCEPT noexcept
#endif
extern "C" int rand(void) ZT_C_NOEXCEPT;
extern "C" void srand(unsigned int seed) ZT_C_NOEXCEPT;
constexpr int ZT_RAND_MAX = 0x7FFF;

// Component object library: only what the application starts with.
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;

// ---------------------------------------------------------------------------
// Text: formatted print, debug output, string helpers
// ---------------------------------------------------------------------------
// printf-style with a wide format: %d %i %u %x %X %o %c %s %ls %S %p %% with
// flags, width and precision. %s takes a wide string, as on the phone.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
// The debug print: the formatted text goes to the host's debug sink as it is.
void NKDbgPrintfW(LPCWSTR format, ...);
int lstrlenW(LPCWSTR text);
constexpr HRESULT STRSAFE_E_INSUFFICIENT_BUFFER = static_cast<HRESULT>(0x8007007Au);
constexpr HRESULT STRSAFE_E_INVALID_PARAMETER = static_cast<HRESULT>(0x80070057u);
// Copies at most `toCopy` units of `source` into `dest` of `destUnits` units,
// always ending in a NUL; a text that does not fit is cut short and the
// result says so.
HRESULT StringCchCopyNW(LPWSTR dest, std::size_t destUnits, LPCWSTR source, std::size_t toCopy);

// ---------------------------------------------------------------------------
// Windows and messages
// ---------------------------------------------------------------------------
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_SETTINGCHANGE = 0x001A;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;
constexpr WPARAM MK_LBUTTON = 0x0001;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

constexpr UINT SMTO_NORMAL = 0x0000;
constexpr UINT SMTO_BLOCK = 0x0001;
constexpr UINT SMTO_ABORTIFHUNG = 0x0002;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;

constexpr int GWLP_USERDATA = -21;

// Packs and unpacks mouse positions: signed 16-bit x in the low word, y in
// the high word, as Win32 does.
constexpr LPARAM MAKELPARAM(int low, int high) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(low))) |
                               (static_cast<std::uint32_t>(static_cast<std::uint16_t>(high)) << 16));
}
constexpr int GET_X_LPARAM(LPARAM lp) {
    return static_cast<std::int16_t>(static_cast<std::uint32_t>(lp) & 0xFFFF);
}
constexpr int GET_Y_LPARAM(LPARAM lp) {
    return static_cast<std::int16_t>((static_cast<std::uint32_t>(lp) >> 16) & 0xFFFF);
}
constexpr WORD LOWORD(DWORD v) {
    return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(DWORD v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    void* hIcon;
    void* hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};

struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    void* hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

ATOM RegisterClassW(const WNDCLASSW* windowClass);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, void* menu, HINSTANCE instance, LPVOID param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrW(HWND window, int index);
BOOL GetClientRect(HWND window, LPRECT rect);
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
int GetClassNameW(HWND window, LPWSTR className, int maxCount);

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
// The reply is delivered into a 32-bit cell, as on the phone.
LRESULT SendMessageTimeoutW(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                            PDWORD_PTR result);
UINT RegisterWindowMessageW(LPCWSTR name);
BOOL GetMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
void PostQuitMessage(int exitCode);

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc);
BOOL KillTimer(HWND window, UINT_PTR id);

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
BOOL UpdateWindow(HWND window);
BOOL GetUpdateRect(HWND window, LPRECT rect, BOOL erase);

// ---------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------
struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};
using LPPAINTSTRUCT = PAINTSTRUCT*;

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) {
    return static_cast<BYTE>(c & 0xFF);
}
constexpr BYTE GetGValue(COLORREF c) {
    return static_cast<BYTE>((c >> 8) & 0xFF);
}
constexpr BYTE GetBValue(COLORREF c) {
    return static_cast<BYTE>((c >> 16) & 0xFF);
}

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr int HALFTONE = 4;
constexpr int COLORONCOLOR = 3;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr LONG FW_EXTRABOLD = 800;
constexpr int LF_FACESIZE = 32;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;

struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
HDC CreateCompatibleDC(HDC reference);
HBITMAP CreateCompatibleBitmap(HDC reference, int width, int height);
BOOL DeleteDC(HDC dc);
HBRUSH CreateSolidBrush(COLORREF color);
HFONT CreateFontIndirectW(const LOGFONTW* font);
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, DWORD rop);
int SetStretchBltMode(HDC dc, int mode);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF color);
int DrawTextW(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format);
int GetDeviceCaps(HDC dc, int index);
int ExtEscape(HDC dc, int escape, int inputSize, const char* input, int outputSize, char* output);

// ---------------------------------------------------------------------------
// Resources
// ---------------------------------------------------------------------------
#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(i))))
#define RT_RCDATA MAKEINTRESOURCEW(10)
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);
HMODULE GetModuleHandleW(LPCWSTR moduleName);

// ---------------------------------------------------------------------------
// Stream devices
// ---------------------------------------------------------------------------
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_DEVICE_CONTROLLER = 0x00000004;
constexpr DWORD METHOD_BUFFERED = 0;
constexpr DWORD FILE_ANY_ACCESS = 0;
constexpr DWORD CTL_CODE(DWORD deviceType, DWORD function, DWORD method, DWORD access) {
    return (deviceType << 16) | (access << 14) | (function << 2) | method;
}
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;
HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                     LPDWORD bytesReturned, LPOVERLAPPED overlapped);

// ---------------------------------------------------------------------------
// Registry
// ---------------------------------------------------------------------------
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_QWORD = 11;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LSTATUS RegCloseKey(HKEY key);
LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM access,
                        LPSECURITY_ATTRIBUTES attributes, PHKEY result, LPDWORD disposition);
LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName);

// ---------------------------------------------------------------------------
// Point-to-point message queues
// ---------------------------------------------------------------------------
struct MSGQUEUEOPTIONS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMaxMessages;
    DWORD cbMaxMessage;
    BOOL bReadAccess;
};
using LPMSGQUEUEOPTIONS = MSGQUEUEOPTIONS*;
constexpr DWORD MSGQUEUE_NOPRECOMMIT = 0x00000001;
constexpr DWORD MSGQUEUE_ALLOW_BROKEN = 0x00000002;
constexpr DWORD MSGQUEUE_MSGALERT = 0x00000001;
HANDLE CreateMsgQueue(LPCWSTR name, LPMSGQUEUEOPTIONS options);
BOOL WriteMsgQueue(HANDLE queue, LPVOID data, DWORD dataSize, DWORD timeout, DWORD flags);
BOOL ReadMsgQueue(HANDLE queue, LPVOID buffer, DWORD bufferSize, LPDWORD bytesRead, DWORD timeout, DWORD* flags);
BOOL CloseMsgQueue(HANDLE queue);
