// What the resource tests share: the table of images and a loader that goes
// through the Win32 resource calls as the application does.
#pragma once

#include "res/resource.h"
#include "zt/platform.h"

#include <cstdint>
#include <optional>

namespace restest {

constexpr DWORD kSentinel = 0xDEADBEEF;

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

struct Bytes {
    const unsigned char* data = nullptr;
    DWORD size = 0;
};

// Finds, loads and locks a resource; nothing if any step fails.
inline std::optional<Bytes> load(UINT id, UINT type = RES_TYPE_IMAGE, HMODULE module = nullptr) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
    if (found == nullptr)
        return std::nullopt;
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr)
        return std::nullopt;
    const auto* data = static_cast<const unsigned char*>(LockResource(loaded));
    if (data == nullptr)
        return std::nullopt;
    return Bytes{data, SizeofResource(module, found)};
}

} // namespace restest
