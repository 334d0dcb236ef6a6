// The application's only window: felt, card back and card face, the tilt
// timer, and the taskbar hidden while the window is active.
#pragma once

#include "zt/framework.h"
#include "zt/platform.h"

class CZentrickMainWnd : public CMzWndEx {
  public:
    CZentrickMainWnd();
    ~CZentrickMainWnd() override;

    LPCWSTR GetWindowClassName() override;
    LRESULT MzDefWndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnLButtonDown(UINT fwKeys, int xPos, int yPos) override;
    void OnLButtonUp(UINT fwKeys, int xPos, int yPos) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    BOOL OnInitDialog() override;

    // Paints a card face into the face canvas and shows it over the card
    // back. Suit 0 asks for a random card.
    void DrawCard(int suit, int rank);

    // The first six start at 0: the window need not live in zero-initialised
    // storage.
    int m_nState = 0;
    int m_nTiltSuit = 0;
    int m_bFaceUp = 0;
    signed char m_cAccX = 0;
    signed char m_cAccY = 0;
    signed char m_cAccZ = 0;
    UiPicture m_picCardBack;
    UiPicture m_picBackground;
    UiPicture m_picSpare;
    // Never positioned, loaded or attached.
    UiPicture m_picReserve1;
    UiPicture m_picReserve2;
    UiPicture m_picReserve3;
    UiPicture m_picReserve4;
    UiPicture m_picReserve5;
    UiPicture m_picReserve6;
    UiCanvas m_canvasFace;
};
