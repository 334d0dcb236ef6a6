// A card face shown over the card back: painted into the face canvas, with
// the symbol shown on screen before the rank is written.
#include "render/card_face.h"
#include "ui/main_wnd.h"

namespace {

void ShowSymbolStage(void* context) {
    auto* window = static_cast<CZentrickMainWnd*>(context);
    window->Invalidate(nullptr, 0);
    window->UpdateWindow();
}

} // namespace

void CZentrickMainWnd::DrawCard(int suit, int rank) {
    m_canvasFace.SetPos(CARD_LEFT, CARD_TOP, CARD_WIDTH, CARD_HEIGHT, 0);
    RECT client = MzGetClientRect();

    HDC dc = m_canvasFace.m_dcCanvas.GetDC();
    if (dc == nullptr) {
        m_canvasFace.m_dcCanvas.Create(CARD_WIDTH, CARD_HEIGHT, nullptr);
        dc = m_canvasFace.m_dcCanvas.GetDC();
    }

    DrawCardFace(dc, client, suit, rank, &ShowSymbolStage, this);
    Invalidate(nullptr, 0);
}
