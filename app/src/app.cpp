#include "app/app.h"

#include "zt/screen.h"

// The framework's window animation 13: the window slides up into place from
// below the screen as it is shown.
constexpr int ANIMATION_SLIDE_UP = 13;

BOOL CZentrickApp::Init() {
    CoInitializeEx(nullptr, 0);
    // A window that could not be made leaves nothing to run: returning 0
    // lets the loop be skipped (WinMain, or a host's core), and exit gives
    // the taskbar back.
    if (!m_MainWnd.Create(0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, nullptr, 0, 0, 0))
        return FALSE;
    m_MainWnd.AnimateWindow(ANIMATION_SLIDE_UP, true);
    m_MainWnd.Show(true, true);
    return TRUE;
}
