#include "app/app.h"

#include "zt/screen.h"

BOOL CZentrickApp::Init() {
    CoInitializeEx(nullptr, 0);
    // A window that could not be made leaves nothing to run: returning 0
    // lets WinMain skip the message loop, and exit gives the taskbar back.
    if (!m_MainWnd.Create(0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, nullptr, 0, 0, 0))
        return FALSE;
    m_MainWnd.AnimateWindow(13, true);
    m_MainWnd.Show(true, true);
    return TRUE;
}
