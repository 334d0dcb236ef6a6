// Identifiers of the program's image resources. Every image is a PNG (8-bit
// RGBA, not interlaced) stored as raw data, resource type 10, language 2052.
// Identifier 113 is not used.
#pragma once

#include "zt/platform.h"

constexpr UINT RES_TYPE_IMAGE = 10; // RT_RCDATA

constexpr UINT IDR_CARD_BACK = 112;    // ornate red card back, 304x463
constexpr UINT IDR_FELT = 114;         // green cloth, opaque, 320x480
constexpr UINT IDR_SUIT_CLUB = 115;    // black club, 150x150, transparent ground
constexpr UINT IDR_SUIT_DIAMOND = 116; // red diamond, 150x150, transparent ground
constexpr UINT IDR_SUIT_HEART = 117;   // red heart, 150x150, transparent ground
constexpr UINT IDR_COURT_JACK = 118;   // Jack figure, 175x315
constexpr UINT IDR_COURT_KING = 119;   // King figure, 175x315
constexpr UINT IDR_COURT_QUEEN = 120;  // Queen figure, 175x315
constexpr UINT IDR_SUIT_SPADE = 121;   // black spade, 150x150, transparent ground

// The suit symbol's image for a suit (1 spade, 2 heart, 3 club, 4 diamond);
// 0 for any other value, which names no image.
constexpr UINT SuitResourceId(INT nSuit) {
    switch (nSuit) {
    case 1:
        return IDR_SUIT_SPADE;
    case 2:
        return IDR_SUIT_HEART;
    case 3:
        return IDR_SUIT_CLUB;
    case 4:
        return IDR_SUIT_DIAMOND;
    default:
        return 0;
    }
}
