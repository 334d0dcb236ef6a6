#include "ui/main_wnd.h"

#include "device/accelerometer.h"
#include "render/card_face.h"
#include "res/resource.h"
#include "shell/commands.h"
#include "trick/trick.h"

// Built during static initialisation, before any window exists: the taskbar
// goes away for as long as the app lives.
CZentrickMainWnd::CZentrickMainWnd() {
    HideTaskBar();
}

CZentrickMainWnd::~CZentrickMainWnd() {
    ShowTaskBar();
}

LPCWSTR CZentrickMainWnd::GetWindowClassName() {
    return TEXT("CZentrickMainWnd");
}

BOOL CZentrickMainWnd::OnInitDialog() {
    if (!CMzWndEx::OnInitDialog())
        return FALSE;
    srand(GetTickCount());
    m_nState = STATE_IDLE;
    AccOpen();
    AccGetXYZ(&m_cAccX, &m_cAccY, &m_cAccZ);
    SetTimer(m_hWnd, TILT_TIMER_ID, TILT_TIMER_PERIOD, nullptr);

    m_picBackground.SetPos(0, 0, GetWidth(), GetHeight(), 0);
    m_picBackground.SetPaintMode(1);
    m_picBackground.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_FELT, true);
    AddUiWin(&m_picBackground);

    m_picCardBack.SetPos(CARD_LEFT, CARD_TOP, CARD_WIDTH, CARD_HEIGHT, 0);
    m_picCardBack.SetPaintMode(1);
    m_picCardBack.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_CARD_BACK, true);
    AddUiWin(&m_picCardBack);

    m_picSpare.SetPos(0, 0, 0, 0, 0);
    m_picSpare.SetPaintMode(1);
    AddUiWin(&m_picSpare);

    m_canvasFace.SetPos(0, 0, 0, 0, 0);
    AddUiWin(&m_canvasFace);
    return TRUE;
}

LRESULT CZentrickMainWnd::MzDefWndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE) {
        if (wParam == WA_INACTIVE)
            ShowTaskBar();
        else if (wParam == WA_ACTIVE)
            HideTaskBar();
    }
    return CMzWndEx::MzDefWndProc(message, wParam, lParam);
}
