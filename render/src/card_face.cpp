#include "render/card_face.h"

#include "res/resource.h"

#include <new>

namespace {

constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kRed = 0x0000FF;

} // namespace

void CardFaceRankText(CMzStringW& text, int rank) {
    if (rank <= 1)
        wsprintfW(text.C_Str(), TEXT("A"));
    else if (rank <= 10)
        wsprintfW(text.C_Str(), TEXT("%d"), rank);
    else if (rank == 11)
        wsprintfW(text.C_Str(), TEXT("J"));
    else if (rank == 12)
        wsprintfW(text.C_Str(), TEXT("Q"));
    else
        wsprintfW(text.C_Str(), TEXT("K"));
}

void DrawCardFace(HDC dc, const RECT& area, int suit, int rank, CardFaceSymbolShown shown, void* context) {
    HBRUSH white = CreateSolidBrush(0x00FFFFFF);
    FillRect(dc, &area, white);
    DeleteObject(white);

    HFONT font = FontHelper::GetFont(50, 800, 0, 0, 0, 0);
    HGDIOBJ previousFont = SelectObject(dc, font);

    ImagingHelper* imaging = new (std::nothrow) ImagingHelper();
    if (suit == 0) {
        suit = rand() % 4 + 1;
        rank = rand() % 13 + 1;
    }
    if (imaging != nullptr) {
        const UINT id = SuitResourceId(suit);
        if (id != 0)
            imaging->LoadImageFromRes(MzGetInstanceHandle(), RES_TYPE_IMAGE, id, true, true, true);
        BitBlt(dc, 165, 285, 150, 150, imaging->GetDC(), 0, 0, SRCCOPY);
        // The caller shows this stage before the helper is freed, so the
        // drawing calls come in the order traces and snapshots record.
        if (shown != nullptr)
            shown(context);
        delete imaging;
    }

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, suit == 1 || suit == 3 ? kBlack : kRed);

    CMzStringW text(128);
    CardFaceRankText(text, rank);
    RECT first{20, 200, 300, 300};
    DrawTextW(dc, text.C_Str(), text.Length(), &first, DT_CENTER | DT_BOTTOM);
    RECT second{200, 200, 450, 450};
    DrawTextW(dc, text.C_Str(), text.Length(), &second, DT_CENTER | DT_BOTTOM);

    SelectObject(dc, previousFont);
}
