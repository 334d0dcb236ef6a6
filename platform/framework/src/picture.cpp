// UiPicture: a resource image, scaled to the element or at its own size.
#include "image.h"

#include "zt/gfx/gdi.h"

#include <cstdint>

UiPicture::UiPicture() = default;

UiPicture::~UiPicture() = default;

BOOL UiPicture::LoadImageW(HINSTANCE instance, UINT type, UINT id, bool useCache) {
    auto image = zt::fw::load_image(instance, type, id, useCache);
    if (!image)
        return FALSE;
    m_image = std::move(image);
    return TRUE;
}

int UiPicture::GetImageWidth() const {
    return m_image ? m_image->width() : 0;
}

int UiPicture::GetImageHeight() const {
    return m_image ? m_image->height() : 0;
}

void UiPicture::PaintWin(HDC hdcDst, const RECT& rcClip) {
    RECT visible;
    if (!m_image || !VisibleRect(rcClip, visible))
        return;
    auto surface = zt::gfx::surface_of(hdcDst);
    if (!surface)
        return;
    if (m_nPaintMode == MZ_PAINTMODE_STRETCH) {
        // Scaled once per size and kept by the image; each paint copies.
        const auto scaled = m_image->at_size(GetWidth(), GetHeight());
        zt::fw::draw(*scaled, GetPosX(), GetPosY(), *surface, visible);
    } else {
        zt::fw::draw(m_image->original, GetPosX(), GetPosY(), *surface, visible);
    }
}

bool UiPicture::GetOpaqueRect(RECT& rc) {
    // Only a scaled picture fills its whole rectangle; at its own size the
    // image may be smaller than the element.
    if (!m_image || m_nPaintMode != MZ_PAINTMODE_STRETCH || GetWidth() == 0 || GetHeight() == 0)
        return false;
    if (!m_image->at_size(GetWidth(), GetHeight())->opaque)
        return false;
    return VisibleRect(RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, rc);
}
