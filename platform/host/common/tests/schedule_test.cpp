// The core's timing, apart from any loop: the slide-in's steps and when the
// rehearsal overlay is redrawn.
#include "zt/host/core.h"

#include <gtest/gtest.h>

using zt::host::check_rehearsal;
using zt::host::kNoDeadline;
using zt::host::Phone;
using zt::host::RehearsalCheck;
using zt::host::slide_offset;

TEST(CoreSchedule, TheSlideInStartsBelowTheScreenAndSettlesFastThenSlowly) {
    const struct {
        std::uint64_t elapsed;
        int offset;
    } cases[] = {{0, SCREEN_HEIGHT}, {15, 482}, {60, 90}, {105, 1}, {119, 0}, {120, 0}, {5000, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(slide_offset(c.elapsed), c.offset) << c.elapsed << " ms in";
}

TEST(CoreSchedule, ChangedLinesRedrawAtOnceAndAChangedReadingWaitsOutTheRefresh) {
    const Phone::Rehearsal drawn{zt::drivers::RawReading{0, 0, 64}, {"KEYS"}};
    Phone::Rehearsal moved = drawn;
    moved.reading = zt::drivers::RawReading{0, 40, 50};
    Phone::Rehearsal relabelled = drawn;
    relabelled.lines = {"MOTION ON"};
    const struct {
        const char* name;
        Phone::Rehearsal now;
        std::uint64_t at;
        RehearsalCheck check;
    } cases[] = {
        {"nothing changed", drawn, 1000, {false, kNoDeadline}},
        {"the lines changed", relabelled, 1001, {true, kNoDeadline}},
        {"the reading moved soon after a draw", moved, 1010, {false, 1050}},
        {"the reading moved a refresh after it", moved, 1050, {true, kNoDeadline}},
        {"the reading went away", Phone::Rehearsal{std::nullopt, {"KEYS"}}, 1100, {true, kNoDeadline}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(check_rehearsal(drawn, 1000, c.now, c.at), c.check) << c.name;
}
