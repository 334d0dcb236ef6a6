// ImagingHelper: a resource image rendered into a DC of its own.
#include "image.h"

#include "zt/gfx/gdi.h"

#include <algorithm>

ImagingHelper::ImagingHelper() = default;

ImagingHelper::~ImagingHelper() = default;

bool ImagingHelper::LoadImageFromRes(HINSTANCE instance, UINT type, UINT id, bool useCache, bool overWhite,
                                     bool reuseDC) {
    auto image = zt::fw::load_image(instance, type, id, useCache);
    if (!image)
        return false;
    const int width = image->width();
    const int height = image->height();
    const bool sameSize = m_dc.GetDC() != nullptr && m_dc.GetWidth() == width && m_dc.GetHeight() == height;
    if (!(reuseDC && sameSize) && !m_dc.Create(width, height, nullptr))
        return false;
    auto surface = zt::gfx::surface_of(m_dc.GetDC());
    if (!surface || surface->width() != width || surface->height() != height)
        return false;
    const zt::gfx::Surface& pixels = image->original.pixels;
    if (!overWhite) {
        std::copy_n(pixels.data(), static_cast<std::size_t>(width) * static_cast<std::size_t>(height), surface->data());
        return true;
    }
    // Transparent ground becomes white, so the image reads the same on a
    // white card face whatever copies it afterwards.
    surface->fill(0xFFFFFFFFu);
    zt::fw::draw(image->original, 0, 0, *surface, RECT{0, 0, width, height});
    return true;
}
