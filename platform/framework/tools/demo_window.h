// A window laid out as the application's: the felt over the whole window,
// the card back at 12, 13 (456x694), a 0x0 picture and the face canvas, in
// that order. Used by the snapshot tool and the framework benchmark.
#pragma once

#include "res/resource.h"
#include "zt/framework.h"

class CDemoWnd : public CMzWndEx {
  public:
    LPCWSTR GetWindowClassName() override { return TEXT("CDemoWnd"); }
    BOOL OnInitDialog() override {
        m_picBackground.SetPos(0, 0, GetWidth(), GetHeight(), 0);
        m_picBackground.SetPaintMode(1);
        m_picBackground.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_FELT, true);
        AddUiWin(&m_picBackground);
        m_picCardBack.SetPos(12, 13, 456, 694, 0);
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
    // Shows a white face with a spade over the card back.
    void DrawFace() {
        m_canvasFace.SetPos(12, 13, 456, 694, 0);
        m_canvasFace.m_dcCanvas.Create(456, 694);
        HDC dc = m_canvasFace.m_dcCanvas.GetDC();
        RECT all{0, 0, 456, 694};
        HBRUSH white = CreateSolidBrush(0x00FFFFFF);
        FillRect(dc, &all, white);
        DeleteObject(white);
        ImagingHelper spade;
        spade.LoadImageFromRes(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_SUIT_SPADE, true, true, true);
        BitBlt(dc, 165, 285, 150, 150, spade.GetDC(), 0, 0, SRCCOPY);
        Invalidate();
    }

    UiPicture m_picBackground;
    UiPicture m_picCardBack;
    UiPicture m_picSpare;
    UiCanvas m_canvasFace;
};
