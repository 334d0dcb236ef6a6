// CMzWnd: class registration, creation, the window procedure and the
// default message handling.
#include "framework_internal.h"

#include "zt/gfx/gdi.h"

#include <cstdint>
#include <utility>

namespace zt::fw {
namespace {
constinit HWND g_hMainWnd = nullptr;
} // namespace

HWND main_window() {
    return g_hMainWnd;
}
void set_main_window(HWND hwnd) {
    g_hMainWnd = hwnd;
}

} // namespace zt::fw

namespace {

// The object whose window is being created on this thread. The creation
// messages cannot carry it (lParam is 32-bit), so the window procedure picks
// it up from here on the window's first message.
thread_local CMzWnd* t_pCreating = nullptr;

} // namespace

// The window procedure of every framework class.
struct CMzWndAccess {
    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* wnd = reinterpret_cast<CMzWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (wnd == nullptr && t_pCreating != nullptr) {
            wnd = std::exchange(t_pCreating, nullptr);
            wnd->m_hWnd = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(wnd));
        }
        if (wnd == nullptr)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        const LRESULT result = wnd->MzDefWndProc(message, wParam, lParam);
        if (message == WM_NCDESTROY)
            Detach(*wnd, hwnd);
        return result;
    }

    // The window is going (or the object is): they forget each other.
    static void Detach(CMzWnd& wnd, HWND hwnd) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (zt::fw::main_window() == hwnd)
            zt::fw::set_main_window(nullptr);
        if (wnd.m_hWnd == hwnd)
            wnd.m_hWnd = nullptr;
    }

    // Restores the creating object of an outer Create when a window is made
    // from inside another's creation.
    class CreatingScope {
      public:
        explicit CreatingScope(CMzWnd* wnd) : m_previous(std::exchange(t_pCreating, wnd)) {}
        ~CreatingScope() { t_pCreating = m_previous; }
        CreatingScope(const CreatingScope&) = delete;
        CreatingScope& operator=(const CreatingScope&) = delete;

      private:
        CMzWnd* m_previous;
    };
};

CMzWnd::CMzWnd() = default;

LPCWSTR CMzWnd::GetWindowClassName() {
    return TEXT("CMzWnd");
}

CMzWnd::~CMzWnd() {
    HWND hwnd = m_hWnd;
    if (hwnd == nullptr || !IsWindow(hwnd))
        return;
    // The derived parts are gone: the object must not see the window's last
    // messages.
    CMzWndAccess::Detach(*this, hwnd);
    DestroyWindow(hwnd);
}

LRESULT CMzWnd::MzDefWndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnInitDialog() ? 0 : -1;
    case WM_LBUTTONDOWN:
        OnLButtonDown(wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SIZE:
        OnSize(LOWORD(static_cast<DWORD>(lParam)), HIWORD(static_cast<DWORD>(lParam)));
        return 0;
    case WM_SETTINGCHANGE:
        OnSettingChange(wParam, lParam);
        return 0;
    case WM_COMMAND:
        if (OnMzCommand(wParam, lParam))
            return 0;
        break;
    case WM_KEYDOWN:
        if (wParam == zt::fw::kVirtualKeyHome && OnShellHomeKey(message, wParam, lParam))
            return 0;
        break;
    case WM_DESTROY:
        if (m_hWnd != nullptr && zt::fw::main_window() == m_hWnd) {
            zt::fw::set_main_window(nullptr);
            PostQuitMessage(0);
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

void CMzWnd::OnLButtonDblClk(UINT, int, int) {}
void CMzWnd::OnLButtonDown(UINT, int, int) {}
void CMzWnd::OnLButtonUp(UINT, int, int) {}
void CMzWnd::OnMouseMove(UINT, int, int) {}
void CMzWnd::OnTimer(UINT_PTR) {}
void CMzWnd::OnSize(int, int) {}
void CMzWnd::OnSettingChange(WPARAM, LPARAM) {}

BOOL CMzWnd::MzRegisterClass() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &CMzWndAccess::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = GetWindowClassName();
    if (RegisterClassW(&wc) != 0)
        return TRUE;
    // Another window of the class registered it first.
    if (GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    return FALSE;
}

BOOL CMzWnd::Create(int xPos, int yPos, int width, int height, HWND hwndParent, int uID, DWORD style, DWORD exstyle) {
    if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (!MzRegisterClass())
        return FALSE;
    PreSubClassWindow();
    HWND hwnd = nullptr;
    {
        CMzWndAccess::CreatingScope creating(this);
        const LPCWSTR name = GetWindowClassName();
        hwnd = CreateWindowExW(exstyle, name, name, style, xPos, yPos, width, height, hwndParent,
                               reinterpret_cast<void*>(static_cast<std::intptr_t>(uID)), GetModuleHandleW(nullptr),
                               nullptr);
    }
    if (hwnd == nullptr) {
        m_hWnd = nullptr;
        return FALSE;
    }
    m_hWnd = hwnd;
    if (hwndParent == nullptr && CMzApp::GetApp() != nullptr && zt::fw::main_window() == nullptr)
        zt::fw::set_main_window(hwnd);
    return TRUE;
}

BOOL CMzWnd::CreateModalDialog(int xPos, int yPos, int width, int height, HWND hwndParent) {
    return Create(xPos, yPos, width, height, hwndParent, 0, WS_POPUP, 0);
}

BOOL CMzWnd::CreateChildWindow(int xPos, int yPos, int width, int height, HWND hwndParent, int uID) {
    if (hwndParent == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return Create(xPos, yPos, width, height, hwndParent, uID, WS_CHILD | WS_VISIBLE, 0);
}

int CMzWnd::DoModal() {
    if (m_hWnd == nullptr || m_bInModal) {
        SetLastError(m_hWnd == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return 0;
    }
    m_bInModal = true;
    m_bEndModal = false;
    m_nModalResult = 0;
    Show(true, true);
    HWND hwnd = m_hWnd;
    CMzApp* app = CMzApp::GetApp();
    MSG msg{};
    while (!m_bEndModal && IsWindow(hwnd)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The application is ending: the outer loop must see it too.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        if (app != nullptr && app->PreTranslateMessage(&msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    m_bInModal = false;
    const int result = m_bEndModal ? m_nModalResult : 0;
    if (IsWindow(hwnd))
        DestroyWindow(hwnd);
    return result;
}

void CMzWnd::EndModal(int result) {
    m_nModalResult = result;
    m_bEndModal = true;
}

void CMzWnd::PreSubClassWindow() {}

BOOL CMzWnd::OnMzCommand(WPARAM wParam, LPARAM lParam) {
    return OnCommand(wParam, lParam);
}

BOOL CMzWnd::OnInitDialog() {
    // The framework's own part: a window to initialise. Called on an object
    // whose window does not exist, it fails and the caller stops.
    if (m_hWnd == NULL || !IsWindow(m_hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL CMzWnd::OnCommand(WPARAM, LPARAM) {
    return FALSE;
}

BOOL CMzWnd::OnShellHomeKey(UINT, WPARAM, LPARAM) {
    return FALSE;
}

BOOL CMzWnd::AnimateWindow(int type, bool show) {
    if (m_hWnd == nullptr || !IsWindow(m_hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    zt::gfx::animate_window(m_hWnd, type, show);
    ShowWindow(m_hWnd, show ? SW_SHOW : SW_HIDE);
    return TRUE;
}

BOOL CMzWnd::Show(bool show, bool update) {
    if (m_hWnd == nullptr || !IsWindow(m_hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    ShowWindow(m_hWnd, show ? SW_SHOW : SW_HIDE);
    if (show && update)
        ::UpdateWindow(m_hWnd);
    return TRUE;
}

int CMzWnd::GetWidth() {
    const RECT rc = MzGetClientRect();
    return rc.right - rc.left;
}

int CMzWnd::GetHeight() {
    const RECT rc = MzGetClientRect();
    return rc.bottom - rc.top;
}

RECT CMzWnd::MzGetClientRect() {
    RECT rc{0, 0, 0, 0};
    if (m_hWnd != nullptr && !GetClientRect(m_hWnd, &rc))
        rc = RECT{0, 0, 0, 0};
    return rc;
}

BOOL CMzWnd::Invalidate(const RECT* rect, BOOL erase) {
    if (m_hWnd == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return InvalidateRect(m_hWnd, rect, erase);
}

BOOL CMzWnd::UpdateWindow() {
    if (m_hWnd == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return ::UpdateWindow(m_hWnd);
}
