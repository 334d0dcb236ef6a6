#include "zt/host/overlay.h"

#include "zt/gfx/pixels.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace zt::host {

namespace {

using Glyph = std::array<std::uint8_t, 7>; // 7 rows, the low 5 bits of each, leftmost is bit 4

constexpr Glyph kBlank{};
constexpr std::array<Glyph, 10> kDigits{{
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}, // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}, // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}, // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}, // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}, // 9
}};
constexpr std::array<Glyph, 26> kLetters{{
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, // A
    {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}, // B
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}, // C
    {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}, // D
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}, // E
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}, // F
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}, // G
    {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, // H
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}, // I
    {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}, // J
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}, // K
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}, // L
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}, // M
    {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}, // N
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, // O
    {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}, // P
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}, // Q
    {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}, // R
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}, // S
    {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}, // T
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, // U
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}, // V
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}, // W
    {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}, // X
    {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}, // Y
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}, // Z
}};
constexpr Glyph kPlus{0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00};
constexpr Glyph kMinus{0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00};
constexpr Glyph kColon{0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00};

const Glyph& glyph_of(char c) {
    if (c >= '0' && c <= '9')
        return kDigits[static_cast<std::size_t>(c - '0')];
    if (c >= 'A' && c <= 'Z')
        return kLetters[static_cast<std::size_t>(c - 'A')];
    switch (c) {
    case '+':
        return kPlus;
    case '-':
        return kMinus;
    case ':':
        return kColon;
    default:
        return kBlank;
    }
}

// Blends `pixel` at `alpha` over the rectangle, clipped to the frame.
void shade(gfx::Surface& frame, int left, int top, int width, int height, std::uint32_t pixel, unsigned alpha) {
    const int x0 = std::max(left, 0);
    const int y0 = std::max(top, 0);
    const int x1 = std::min(left + width, frame.width());
    const int y1 = std::min(top + height, frame.height());
    for (int y = y0; y < y1; ++y) {
        std::uint32_t* row = frame.row(y);
        for (int x = x0; x < x1; ++x)
            row[x] = blend(row[x], pixel, alpha);
    }
}

constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kStrip = 0xFF101418u;
constexpr std::uint32_t kStripEdge = 0xFF3A4450u;
constexpr std::uint32_t kInk = kTaskbarInk;
constexpr std::uint32_t kCharge = 0xFF7CD67Cu;

} // namespace

void place_frame(gfx::Surface& screen, const gfx::Surface& frame, int left, int top) {
    place_area(screen, frame, left, top, gfx::Surface::Area{0, 0, frame.width(), frame.height()});
}

void place_area(gfx::Surface& screen, const gfx::Surface& frame, int left, int top, const gfx::Surface::Area& area) {
    // On the screen, clipped to it and to the frame.
    const int x0 = std::max({0, left, left + area.left});
    const int x1 = std::min({screen.width(), left + frame.width(), left + area.right});
    const int y0 = std::max({0, top, top + area.top});
    const int y1 = std::min({screen.height(), top + frame.height(), top + area.bottom});
    if (x1 <= x0 || y1 <= y0)
        return;
    screen.note_write({x0, y0, x1, y1});
    for (int y = y0; y < y1; ++y)
        gfx::copy_pixels(screen.written_row(y) + x0, frame.row(y - top) + (x0 - left),
                         static_cast<std::size_t>(x1 - x0));
}

std::uint32_t blend(std::uint32_t under, std::uint32_t over, unsigned alpha) {
    alpha = std::min(alpha, 255u);
    auto channel = [&](int shift) {
        const unsigned u = (under >> shift) & 0xFFu;
        const unsigned o = (over >> shift) & 0xFFu;
        return ((o * alpha + u * (255u - alpha) + 127u) / 255u) << shift;
    };
    return 0xFF000000u | channel(16) | channel(8) | channel(0);
}

int draw_text(gfx::Surface& frame, int left, int top, std::string_view text, std::uint32_t pixel, int scale) {
    scale = std::max(scale, 1);
    const int advance = 6 * scale;
    int x = left;
    for (char c : text) {
        const Glyph& g = glyph_of(c);
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (g[static_cast<std::size_t>(row)] & (0x10u >> col))
                    shade(frame, x + col * scale, top + row * scale, scale, scale, pixel, 255);
        x += advance;
    }
    return static_cast<int>(text.size()) * advance;
}

void draw_taskbar(gfx::Surface& frame, int hour, int minute, int height) {
    const int width = frame.width();
    const int middle = height / 2;
    shade(frame, 0, 0, width, height, kStrip, 235);
    shade(frame, 0, height - 1, width, 1, kStripEdge, 255);
    // Signal: four rising bars on the left.
    for (int bar = 0; bar < 4; ++bar) {
        const int h = 4 + 4 * bar;
        shade(frame, 12 + bar * 7, middle + 8 - h, 5, h, kInk, 255);
    }
    // Battery on the right: an outline, a knob and a green charge.
    const int bx = width - 50;
    shade(frame, bx, middle - 7, 34, 15, kInk, 255);
    shade(frame, bx + 2, middle - 5, 30, 11, kStrip, 255);
    shade(frame, bx + 4, middle - 3, 21, 7, kCharge, 255);
    shade(frame, bx + 34, middle - 3, 3, 7, kInk, 255);

    char clock[8];
    std::snprintf(clock, sizeof clock, "%02d:%02d", std::clamp(hour, 0, 23), std::clamp(minute, 0, 59));
    constexpr int kScale = 2;
    const int textWidth = 5 * 6 * kScale - kScale;
    draw_text(frame, (width - textWidth) / 2, middle - 7 * kScale / 2, clock, kInk, kScale);
}

void draw_rehearsal(gfx::Surface& frame, const RehearsalGuides& guides, std::int8_t x, std::int8_t y, std::int8_t z) {
    constexpr unsigned kFaint = 90;
    for (int column : guides.columns)
        shade(frame, column, 0, 1, frame.height(), kBlack, kFaint);
    for (int row : guides.rows)
        shade(frame, 0, row, frame.width(), 1, kBlack, kFaint);

    char text[32];
    std::snprintf(text, sizeof text, "X%+4d Y%+4d Z%+4d", x, y, z);
    const std::string_view view(text);
    const int width = static_cast<int>(view.size()) * 12 - 2;
    const int left = (frame.width() - width) / 2;
    const int top = frame.height() - 34;
    shade(frame, left - 6, top - 5, width + 12, 24, kBlack, 150);
    draw_text(frame, left, top, view, kWhite, 2);
}

void draw_status_lines(gfx::Surface& frame, const std::vector<std::string>& lines) {
    int top = frame.height() - 64;
    for (const std::string& line : lines) {
        const int width = static_cast<int>(line.size()) * 12 - 2;
        const int left = (frame.width() - width) / 2;
        // A dark box behind it, as behind the readings: it lies on the card.
        shade(frame, left - 6, top - 5, width + 12, 24, kBlack, 150);
        draw_text(frame, left, top, line, kInk, 2);
        top -= 24;
    }
}

} // namespace zt::host
