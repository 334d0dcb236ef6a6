// What the image tests share: the table of images, and the test host's
// loader, which goes through the Win32 resource calls as the application
// does.
#pragma once

#include "res/resource.h"
#include "zt/platform.h"
#include "zt/testhost.h"

#include <optional>

namespace restest {

struct Image {
    UINT id;
    int width;
    int height;
};

inline constexpr Image kImages[] = {
    {IDR_CARD_BACK, 304, 463},    {IDR_FELT, 320, 480},        {IDR_SUIT_CLUB, 150, 150},
    {IDR_SUIT_DIAMOND, 150, 150}, {IDR_SUIT_HEART, 150, 150},  {IDR_COURT_JACK, 175, 315},
    {IDR_COURT_KING, 175, 315},   {IDR_COURT_QUEEN, 175, 315}, {IDR_SUIT_SPADE, 150, 150},
};

// An image's bytes, through the Win32 resource calls (the test host's
// shared loader).
inline std::optional<zt::testhost::ResourceBytes> load(UINT id) {
    return zt::testhost::load_resource(id, RES_TYPE_IMAGE);
}

} // namespace restest
