// What a phone draws over the application's frame (zt/host/phone.h): the
// shell's taskbar as a status strip, and the rehearsal guides, readings and
// lines. Plain pixel work on a copy of the frame.
#pragma once

#include "zt/gfx/surface.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zt::host {

// Copies a window's frame into `screen` with its top left at (left, top),
// clipped to the screen.
void place_frame(gfx::Surface& screen, const gfx::Surface& frame, int left, int top);
// The same for `area` of the frame only (frame coordinates), noted on the
// screen as written there.
void place_area(gfx::Surface& screen, const gfx::Surface& frame, int left, int top, const gfx::Surface::Area& area);

// The taskbar as the phone shows it while it is visible: a dark strip over
// the top `height` rows with signal bars on the left, the time of day
// ("HH:MM") in the middle and the battery on the right.
void draw_taskbar(gfx::Surface& frame, int hour, int minute, int height);

// The taskbar's ink, for those who look for its text.
constexpr std::uint32_t kTaskbarInk = 0xFFE8ECF0u;

// Where the rehearsal overlay draws its faint lines: the x of each vertical
// one and the y of each horizontal one. The program hands them over (the
// bounds of the application's touch regions); the platform knows no trick.
struct RehearsalGuides {
    std::vector<int> columns;
    std::vector<int> rows;
    bool operator==(const RehearsalGuides&) const = default;
};

// The guides' faint lines and the raw accelerometer bytes written near the
// bottom.
void draw_rehearsal(gfx::Surface& frame, const RehearsalGuides& guides, std::int8_t x, std::int8_t y, std::int8_t z);
// Lines of text above those readings, the first lowest, each on a dark box.
void draw_status_lines(gfx::Surface& frame, const std::vector<std::string>& lines);

// Text in a 5x7 pixel font blown up `scale` times, top left at (left, top),
// clipped to the frame. Knows digits, '+', '-', ':', ' ' and capital letters
// A-Z; anything else is a blank. Returns the width drawn.
int draw_text(gfx::Surface& frame, int left, int top, std::string_view text, std::uint32_t pixel, int scale);

// `over` with alpha 0..255 laid over the opaque `under`.
std::uint32_t blend(std::uint32_t under, std::uint32_t over, unsigned alpha);

} // namespace zt::host
