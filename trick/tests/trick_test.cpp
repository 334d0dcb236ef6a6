// The trick's rules without drawing: regions, releases and tilt.
#include "trick/trick.h"

#include <gtest/gtest.h>

#include <climits>

TEST(Regions, TheTwelveRegionsMapToTheirCodes) {
    // Centre of every cell, top to bottom: left, middle, right.
    const int expected[4][3] = {{5, 9, 1}, {6, 10, 2}, {7, 11, 3}, {8, 12, 4}};
    const int xs[3] = {80, 240, 400};
    const int ys[4] = {90, 270, 450, 630};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 3; ++col)
            EXPECT_EQ(TrickRegionCode(xs[col], ys[row]), expected[row][col]) << "row " << row << " col " << col;
}

TEST(Regions, BordersBelongToTheLaterRowAndColumn) {
    EXPECT_EQ(TrickRegionCode(159, 0), 5);
    EXPECT_EQ(TrickRegionCode(160, 0), 9);
    EXPECT_EQ(TrickRegionCode(319, 0), 9);
    EXPECT_EQ(TrickRegionCode(320, 0), 1); // the right column starts at 320
    EXPECT_EQ(TrickRegionCode(400, 179), 1);
    EXPECT_EQ(TrickRegionCode(400, 180), 2);
    EXPECT_EQ(TrickRegionCode(400, 359), 2);
    EXPECT_EQ(TrickRegionCode(400, 360), 3);
    EXPECT_EQ(TrickRegionCode(400, 539), 3);
    EXPECT_EQ(TrickRegionCode(400, 540), 4);
}

TEST(Regions, PositionsOffTheScreenFallIntoTheNearestCell) {
    EXPECT_EQ(TrickRegionCode(-1, -1), 5);
    EXPECT_EQ(TrickRegionCode(INT_MIN, INT_MIN), 5);
    EXPECT_EQ(TrickRegionCode(INT_MAX, INT_MAX), 4);
    EXPECT_EQ(TrickRegionCode(480, 720), 4);
    EXPECT_EQ(TrickRegionCode(200, 100000), 12);
    EXPECT_EQ(TrickRegionCode(-50, 300), 6);
}

TEST(Press, OnlyAnArmedTrickRecordsTheRegion) {
    EXPECT_EQ(TrickStateAfterPress(STATE_ARMED, 400, 200), 2);
    EXPECT_EQ(TrickStateAfterPress(STATE_IDLE, 400, 200), STATE_IDLE);
    EXPECT_EQ(TrickStateAfterPress(7, 400, 200), 7); // a second press before the release
    EXPECT_EQ(TrickStateAfterPress(STATE_ARMED, 320, 0), 1);
}

TEST(Release, EveryRowOfTheTransitionTable) {
    struct Row {
        int state, latch, x;
        TrickRelease::Action action;
        int suit, rank, stateAfter, latchAfter;
    } rows[] = {
        {STATE_IDLE, 2, 100, TrickRelease::kRandomCard, 0, 0, STATE_IDLE, 2}, // random, latch kept
        {STATE_IDLE, 2, 321, TrickRelease::kRearm, 0, 0, STATE_ARMED, 2},     // re-arm, latch kept
        {STATE_IDLE, 0, 320, TrickRelease::kRandomCard, 0, 0, STATE_IDLE, 0}, // 320 is not "right"
        {STATE_ARMED, 3, 400, TrickRelease::kNothing, 0, 0, STATE_ARMED, 3},  // release without a press
        {2, 2, 10, TrickRelease::kForcedCard, 2, 2, STATE_IDLE, 0},           // Two of hearts
        {8, 4, 470, TrickRelease::kForcedCard, 4, 8, STATE_IDLE, 0},          // left column ignores x
        {1, 1, 479, TrickRelease::kForcedCard, 1, 1, STATE_IDLE, 0},          // Ace, no promotion
        {12, 1, 400, TrickRelease::kForcedCard, 1, 13, STATE_IDLE, 0},        // King of spades
        {12, 1, 320, TrickRelease::kForcedCard, 1, 12, STATE_IDLE, 0},        // Queen of spades
        {9, 3, 321, TrickRelease::kForcedCard, 3, 13, STATE_IDLE, 0},         // any middle code promotes
        {11, 0, 50, TrickRelease::kForcedCard, 0, 11, STATE_IDLE, 0},         // no latch: DrawCard picks
        {STATE_REVEALED, 2, 10, TrickRelease::kNothing, 0, 0, STATE_IDLE, 0},
    };
    for (const Row& r : rows) {
        const TrickRelease got = TrickOnRelease(r.state, r.latch, r.x);
        SCOPED_TRACE(testing::Message() << "state " << r.state << " latch " << r.latch << " x " << r.x);
        EXPECT_EQ(got.action, r.action);
        if (r.action == TrickRelease::kForcedCard) {
            EXPECT_EQ(got.suit, r.suit);
            EXPECT_EQ(got.rank, r.rank);
        }
        EXPECT_EQ(got.state, r.stateAfter);
        EXPECT_EQ(got.tiltSuit, r.latchAfter);
    }
}

TEST(Release, RandomCardsCoverEveryRankAndSuitFromNonNegativeDraws) {
    EXPECT_EQ(TrickRandomRank(0), 1);
    EXPECT_EQ(TrickRandomRank(12), 13);
    EXPECT_EQ(TrickRandomRank(13), 1);
    EXPECT_EQ(TrickRandomRank(0x7FFF), 0x7FFF % 13 + 1);
    EXPECT_EQ(TrickRandomSuit(0), 1);
    EXPECT_EQ(TrickRandomSuit(3), 4);
    EXPECT_EQ(TrickRandomSuit(4), 1);
}

TEST(Tilt, EachAxisPastItsThresholdLatchesItsSuit) {
    EXPECT_EQ(TrickTiltSuit(31, 0, 0), SUIT_CLUB);
    EXPECT_EQ(TrickTiltSuit(-31, 0, 0), SUIT_DIAMOND);
    EXPECT_EQ(TrickTiltSuit(0, 31, 0), SUIT_SPADE);
    EXPECT_EQ(TrickTiltSuit(0, -31, 0), SUIT_HEART);
    EXPECT_EQ(TrickTiltSuit(30, -30, 3), 3);          // strict thresholds keep the latch
    EXPECT_EQ(TrickTiltSuit(40, -40, 0), SUIT_HEART); // Y wins
    EXPECT_EQ(TrickTiltSuit(-128, 127, 0), SUIT_SPADE);
    EXPECT_EQ(TrickTiltSuit(0, 0, SUIT_DIAMOND), SUIT_DIAMOND);
}
