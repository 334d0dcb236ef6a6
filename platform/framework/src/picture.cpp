// UiPicture: a resource image, scaled to the element or at its own size.
#include "image.h"

#include "zt/gfx/gdi.h"
#include "zt/gfx/rect.h"
#include "zt/sys/guarded.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

// Where an opaque picture last drew on a window, part by part (the felt is
// drawn as the strips around the face). Each part holds the picture's
// pixels for as long as nothing has written over it since.
struct Drawn {
    std::shared_ptr<const zt::fw::Prepared> image;
    std::uint64_t target = 0;
    int x = 0;
    int y = 0;
    struct Part {
        RECT area;
        std::uint64_t version;
    };
    static constexpr std::size_t kParts = 8;
    std::vector<Part> parts; // most recent first
};

using DrawnTable = zt::sys::Guarded<std::unordered_map<const UiPicture*, Drawn>>;

DrawnTable& drawn() {
    // Never destroyed: pictures of static objects may paint until the end.
    static DrawnTable* const table = new DrawnTable();
    return *table;
}

using zt::gfx::contains;

// Draws `image`, unless the window still holds exactly what drawing it
// would give: an opaque image replaces every pixel it covers, so its pixels
// are still right wherever nothing has written since it drew them.
void draw_retained(const UiPicture* picture, const std::shared_ptr<const zt::fw::Prepared>& image, int x, int y,
                   zt::gfx::Surface& surface, const RECT& visible) {
    if (!image->opaque) {
        zt::fw::draw(*image, x, y, surface, visible);
        return;
    }
    auto pictures = drawn().lock();
    Drawn& last = (*pictures)[picture];
    if (last.image != image || last.target != surface.identity() || last.x != x || last.y != y)
        last = Drawn{image, surface.identity(), x, y, {}};
    for (const Drawn::Part& part : last.parts)
        if (contains(part.area, visible) &&
            surface.unchanged_since(part.version, {part.area.left, part.area.top, part.area.right, part.area.bottom}))
            return;
    zt::fw::draw(*image, x, y, surface, visible);
    // Parts this drawing overlaps are no longer known to be whole.
    std::erase_if(last.parts, [&](const Drawn::Part& p) {
        return p.area.left < visible.right && visible.left < p.area.right && p.area.top < visible.bottom &&
               visible.top < p.area.bottom;
    });
    last.parts.insert(last.parts.begin(), Drawn::Part{visible, surface.version()});
    if (last.parts.size() > Drawn::kParts)
        last.parts.pop_back();
}

} // namespace

UiPicture::UiPicture() = default;

UiPicture::~UiPicture() {
    drawn().with([this](auto& pictures) { pictures.erase(this); });
}

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
    // Scaled once per size and kept by the image; each paint copies, except
    // where the window still holds the copy.
    const auto image = m_nPaintMode == MZ_PAINTMODE_STRETCH
                           ? m_image->at_size(GetWidth(), GetHeight())
                           : std::shared_ptr<const zt::fw::Prepared>(m_image, &m_image->original);
    const int x = GetPosX(), y = GetPosY();
    RECT area;
    if (!zt::fw::clip_to(*surface, visible, x, y, static_cast<std::int64_t>(x) + image->pixels.width(),
                         static_cast<std::int64_t>(y) + image->pixels.height(), area))
        return;
    draw_retained(this, image, x, y, *surface, area);
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
