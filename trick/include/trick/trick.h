// The trick's rules on their own: where a press lands, what a release does,
// which suit a tilt picks. No drawing and no device calls here.
#pragma once

// Trick states; 1..12 are region codes of a press, 13 a promoted King.
constexpr int STATE_IDLE = -2;
constexpr int STATE_ARMED = -1;
constexpr int STATE_REVEALED = -3;
constexpr int REGION_KING = 13;

constexpr int SUIT_NONE = 0;
constexpr int SUIT_SPADE = 1;
constexpr int SUIT_HEART = 2;
constexpr int SUIT_CLUB = 3;
constexpr int SUIT_DIAMOND = 4;

constexpr unsigned TILT_TIMER_ID = 10;
constexpr unsigned TILT_TIMER_PERIOD = 10;

// The twelve regions' bounds: a row or column starts at each bound. Rows
// 1..4 run down the screen; the columns are left, middle, right.
constexpr int REGION_ROW_BOUNDS[3] = {180, 360, 540};
constexpr int REGION_COLUMN_BOUNDS[2] = {160, 320};

// The row plus the column's offset: right column +0, left +4, middle +8.
// Every position gets a code; positions off the screen fall into the nearest
// row and column.
constexpr int TrickRegionCode(int x, int y) {
    int row = 1;
    for (int bound : REGION_ROW_BOUNDS)
        row += y >= bound ? 1 : 0;
    const int offset = x >= REGION_COLUMN_BOUNDS[1] ? 0 : x < REGION_COLUMN_BOUNDS[0] ? 4 : 8;
    return row + offset;
}

// What a press does to the state: only an armed trick records the region.
constexpr int TrickStateAfterPress(int state, int x, int y) {
    return state == STATE_ARMED ? TrickRegionCode(x, y) : state;
}

// What a release does, decided from the state, the latched suit and the
// release's x (a release counts as "on the right" only past x 320).
struct TrickRelease {
    enum Action {
        kNothing,    // armed, no press before: nothing changes
        kForcedCard, // draw (suit, rank); the latch is cleared
        kRandomCard, // draw a card from two rand() draws
        kRearm,      // show the card back again and arm
    };
    Action action;
    int suit;     // for kForcedCard: the latched suit (0 asks for a random card)
    int rank;     // for kForcedCard: the region code, or 13 when promoted
    int state;    // the state afterwards
    int tiltSuit; // the latch afterwards
};

constexpr TrickRelease TrickOnRelease(int state, int tiltSuit, int x) {
    if (state > 8) {
        const int rank = x > 320 ? REGION_KING : state;
        return {TrickRelease::kForcedCard, tiltSuit, rank, STATE_IDLE, SUIT_NONE};
    }
    if (state > 0)
        return {TrickRelease::kForcedCard, tiltSuit, state, STATE_IDLE, SUIT_NONE};
    if (state == STATE_IDLE) {
        if (x > 320)
            return {TrickRelease::kRearm, 0, 0, STATE_ARMED, tiltSuit};
        return {TrickRelease::kRandomCard, 0, 0, STATE_IDLE, tiltSuit};
    }
    if (state == STATE_REVEALED)
        return {TrickRelease::kNothing, 0, 0, STATE_IDLE, SUIT_NONE};
    return {TrickRelease::kNothing, 0, 0, state, tiltSuit};
}

// The random card of an idle release: rank from the first draw, suit from
// the second.
constexpr int TrickRandomRank(int firstDraw) {
    return firstDraw % 13 + 1;
}
constexpr int TrickRandomSuit(int secondDraw) {
    return secondDraw % 4 + 1;
}

// The suit a face-up reading latches, or `current` when neither axis is past
// its threshold. Later tests override earlier ones, so Y decides when both
// axes are tilted.
constexpr int TrickTiltSuit(signed char x, signed char y, int current) {
    int suit = current;
    if (x > 30)
        suit = SUIT_CLUB;
    if (x < -30)
        suit = SUIT_DIAMOND;
    if (y > 30)
        suit = SUIT_SPADE;
    if (y < -30)
        suit = SUIT_HEART;
    return suit;
}
