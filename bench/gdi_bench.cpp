// Drawing costs that the card face and the window's painting rest on: one
// rank text (centred, bottom-aligned), a plain copy of a whole 480x720 frame,
// and the felt's bilinear scaling from 320x480 to 480x720.
#include "zt/gfx/gdi.h"
#include "zt/gfx/scale.h"
#include "zt/gfx/surface.h"
#include "zt/platform.h"

#include "median_reporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr double kRankTextLimitMicroseconds = 100;

// A memory DC over its own surface.
class Canvas {
  public:
    Canvas(int width, int height, std::uint32_t fill)
        : m_surface(std::make_shared<zt::gfx::Surface>(width, height, fill)), m_dc(CreateCompatibleDC(nullptr)),
          m_bitmap(zt::gfx::create_bitmap(m_surface)) {
        m_previous = SelectObject(m_dc, m_bitmap);
    }
    ~Canvas() {
        SelectObject(m_dc, m_previous);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    HDC dc() const { return m_dc; }
    zt::gfx::Surface& surface() { return *m_surface; }

  private:
    std::shared_ptr<zt::gfx::Surface> m_surface;
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_previous = nullptr;
};

void BM_DrawRankText(benchmark::State& state) {
    Canvas face(456, 694, 0xFFFFFFFFu);
    LOGFONTW logfont{};
    logfont.lfHeight = 50;
    logfont.lfWeight = 800;
    HFONT font = CreateFontIndirectW(&logfont);
    HGDIOBJ previous = SelectObject(face.dc(), font);
    SetBkMode(face.dc(), TRANSPARENT);
    SetTextColor(face.dc(), 0x0000FF);
    RECT rect{200, 200, 450, 450};
    // The first draw of a size rasterises its glyphs; the face draws the same
    // text twice per card, so the steady cost is what counts.
    DrawTextW(face.dc(), u"10", 2, &rect, DT_CENTER | DT_BOTTOM);
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawTextW(face.dc(), u"10", 2, &rect, DT_CENTER | DT_BOTTOM));
    SelectObject(face.dc(), previous);
    DeleteObject(font);
}
BENCHMARK(BM_DrawRankText)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_BitBltFrame(benchmark::State& state) {
    Canvas frame(480, 720, 0xFF206020u);
    Canvas screen(480, 720, 0xFF000000u);
    for (auto _ : state)
        benchmark::DoNotOptimize(BitBlt(screen.dc(), 0, 0, 480, 720, frame.dc(), 0, 0, SRCCOPY));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 480 * 720 * 4);
}
BENCHMARK(BM_BitBltFrame)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_ScaleFeltBilinear(benchmark::State& state) {
    zt::gfx::Surface felt(320, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 320; ++x)
            felt.set(x, y, 0xFF000000u | static_cast<std::uint32_t>((x * 13 + y * 7) & 0x3F) << 8 | 0x1E0010u);
    zt::gfx::Surface screen(480, 720);
    for (auto _ : state) {
        zt::gfx::scale_bilinear(felt, screen);
        benchmark::DoNotOptimize(screen.data());
    }
}
BENCHMARK(BM_ScaleFeltBilinear)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
} // namespace

int main(int argc, char** argv) {
    MedianReporter reporter;
    run_benchmarks(argc, argv, reporter);

    const auto text = reporter.medians.find("BM_DrawRankText");
    if (text == reporter.medians.end())
        return 0; // filtered out
    const bool fast = text->second < kRankTextLimitMicroseconds;
    std::printf("rank text, format 9: median %.2f us, limit %.0f us: %s\n", text->second, kRankTextLimitMicroseconds,
                fast ? "ok" : "TOO SLOW");
    const auto copy = reporter.medians.find("BM_BitBltFrame");
    const auto scale = reporter.medians.find("BM_ScaleFeltBilinear");
    if (copy != reporter.medians.end() && scale != reporter.medians.end() && copy->second > 0)
        std::printf("felt scaling / frame copy: %.1f\n", scale->second / copy->second);
    return fast ? 0 : 1;
}
