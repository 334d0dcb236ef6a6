// CMzWndEx's element list and the UiWin base.
#include "framework_internal.h"

#include "zt/gfx/rect.h"

#include <algorithm>
#include <optional>

namespace {

// Replaces each rectangle of `parts` by what is left of it outside `hole`
// (up to four pieces: above, below, left, right).
void subtract(std::vector<RECT>& parts, const RECT& hole) {
    std::vector<RECT> out;
    out.reserve(parts.size() + 4);
    for (const RECT& r : parts) {
        const RECT cut = zt::gfx::intersect(r, hole);
        if (zt::gfx::is_empty(cut)) {
            out.push_back(r);
            continue;
        }
        if (r.top < cut.top)
            out.push_back(RECT{r.left, r.top, r.right, cut.top});
        if (cut.bottom < r.bottom)
            out.push_back(RECT{r.left, cut.bottom, r.right, r.bottom});
        if (r.left < cut.left)
            out.push_back(RECT{r.left, cut.top, cut.left, cut.bottom});
        if (cut.right < r.right)
            out.push_back(RECT{cut.right, cut.top, r.right, cut.bottom});
    }
    parts.swap(out);
}

} // namespace

// ----- CMzWndEx -----------------------------------------------------------------

CMzWndEx::CMzWndEx() = default;

CMzWndEx::~CMzWndEx() {
    for (UiWin* win : m_uiWins)
        win->m_pParent = nullptr;
}

void CMzWndEx::OnSize(int, int) {
    Invalidate();
}

void CMzWndEx::PaintWin(HDC hdcDst, RECT* prcUpdate) {
    if (hdcDst == nullptr)
        return;
    RECT clip = MzGetClientRect();
    if (prcUpdate != nullptr)
        clip = zt::gfx::intersect(clip, *prcUpdate);
    if (zt::gfx::is_empty(clip))
        return;
    // An element may detach another while painting; walk a copy.
    const std::vector<UiWin*> wins = m_uiWins;
    // What each element covers completely, so that nothing is painted only
    // to be painted over: the application's face canvas hides the card back
    // and most of the felt.
    std::vector<std::optional<RECT>> covers(wins.size());
    for (std::size_t i = 0; i < wins.size(); ++i) {
        RECT rc;
        if (wins[i]->m_pParent == this && wins[i]->GetOpaqueRect(rc))
            covers[i] = rc;
    }
    std::vector<RECT> parts;
    for (std::size_t i = 0; i < wins.size(); ++i) {
        if (wins[i]->m_pParent != this)
            continue;
        parts.assign(1, clip);
        for (std::size_t j = i + 1; j < wins.size() && !parts.empty(); ++j)
            if (covers[j])
                subtract(parts, *covers[j]);
        for (const RECT& part : parts)
            wins[i]->PaintWin(hdcDst, part);
    }
}

void CMzWndEx::AddUiWin(UiWin* pWin) {
    if (pWin == nullptr || pWin->m_pParent == this)
        return;
    if (pWin->m_pParent != nullptr)
        pWin->m_pParent->RemoveUiWin(pWin);
    pWin->m_pParent = this;
    m_uiWins.push_back(pWin);
}

void CMzWndEx::RemoveUiWin(UiWin* pWin) {
    if (pWin == nullptr || pWin->m_pParent != this)
        return;
    std::erase(m_uiWins, pWin);
    pWin->m_pParent = nullptr;
}

// ----- UiWin ----------------------------------------------------------------------

UiWin::UiWin() = default;

UiWin::~UiWin() {
    if (m_pParent != nullptr)
        m_pParent->RemoveUiWin(this);
}

void UiWin::SetPos(int x, int y, int w, int h, UINT flags) {
    m_nPosX = x;
    m_nPosY = y;
    m_nWidth = std::max(w, 0);
    m_nHeight = std::max(h, 0);
    m_nPosFlags = flags;
}

void UiWin::PaintWin(HDC, const RECT&) {}

bool UiWin::GetOpaqueRect(RECT&) {
    return false;
}

bool UiWin::VisibleRect(const RECT& rcClip, RECT& out) const {
    // 64-bit sums: positions near the limits must not wrap.
    const auto right = static_cast<std::int64_t>(m_nPosX) + m_nWidth;
    const auto bottom = static_cast<std::int64_t>(m_nPosY) + m_nHeight;
    out.left = std::max(m_nPosX, rcClip.left);
    out.top = std::max(m_nPosY, rcClip.top);
    out.right = static_cast<LONG>(std::min<std::int64_t>(right, rcClip.right));
    out.bottom = static_cast<LONG>(std::min<std::int64_t>(bottom, rcClip.bottom));
    return out.left < out.right && out.top < out.bottom;
}
