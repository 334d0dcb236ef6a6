// The card face: a white card, one large suit symbol, the rank twice. It
// paints on any DC of the face's size; the window decides where it shows.
#pragma once

#include "zt/framework.h"
#include "zt/platform.h"

// The card rectangle: where the card back and the face lie over the window.
// The face is painted at this size.
constexpr int CARD_LEFT = 12;
constexpr int CARD_TOP = 13;
constexpr int CARD_WIDTH = 456;
constexpr int CARD_HEIGHT = 694;

// Writes the rank as the face prints it: A for 1 (and below), 2..10, then J,
// Q, and K for 13 and above.
void CardFaceRankText(CMzStringW& text, int rank);

// Told once the symbol is on the face and before the rank is written, so a
// window can show that stage at once. Not called when the image helper
// cannot be made (then the symbol is skipped too).
typedef void (*CardFaceSymbolShown)(void* context);

// Paints a face on `dc`: `area` white, the suit's symbol at (165, 285), the
// rank twice in the 50 px bold font (black for spades and clubs, red for the
// others). Suit 0 asks for a random card: two rand() draws, the suit from the
// first and the rank from the second. The DC keeps the font it had.
void DrawCardFace(HDC dc, const RECT& area, int suit, int rank, CardFaceSymbolShown shown, void* context);
