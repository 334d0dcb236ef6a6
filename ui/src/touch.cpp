// Presses and releases: the region under a press fixes the rank, the
// release shows the card.
#include "render/card_face.h"
#include "trick/trick.h"
#include "ui/main_wnd.h"

void CZentrickMainWnd::OnLButtonDown(UINT, int xPos, int yPos) {
    m_nState = TrickStateAfterPress(m_nState, xPos, yPos);
}

void CZentrickMainWnd::OnLButtonUp(UINT, int xPos, int) {
    const TrickRelease release = TrickOnRelease(m_nState, m_nTiltSuit, xPos);
    switch (release.action) {
    case TrickRelease::kForcedCard:
        DrawCard(release.suit, release.rank);
        break;
    case TrickRelease::kRandomCard: {
        const int first = rand();
        const int second = rand();
        DrawCard(TrickRandomSuit(second), TrickRandomRank(first));
        break;
    }
    case TrickRelease::kRearm:
        m_picCardBack.SetPos(CARD_LEFT, CARD_TOP, CARD_WIDTH, CARD_HEIGHT, 0);
        m_canvasFace.SetPos(0, 0, 0, 0, 0);
        Invalidate(nullptr, 0);
        break;
    case TrickRelease::kNothing:
        break;
    }
    m_nState = release.state;
    m_nTiltSuit = release.tiltSuit;
}
