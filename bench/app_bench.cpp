// The application's two hot paths, through the real window, framework and
// simulated accelerometer:
// - a tilt tick (OnTimer): face up it makes five device calls, face down one;
//   neither may touch the heap;
// - a forced reveal, from WM_LBUTTONUP to the finished frame (DrawCard, its
//   two paints and the final paint), within 4 plain copies of a 480x720
//   frame measured in the same run;
// - painting the whole window (felt, card back, the 0x0 picture and the face
//   canvas at full size), which must stay within 1 ms and 4 frame copies;
//   pictures are scaled once, not on every paint. Measured twice: as the
//   application repaints (the window still holds the face it copied last
//   time, so the face is not copied again) and from scratch (the window's
//   pixels count as overwritten, so every element paints all it shows).
#include "app_window.h"
#include "frame_copy.h"
#include "median_reporter.h"
#include "trick/trick.h"
#include "zt/gfx/gdi.h"
#include "zt/gfx/surface.h"

#include <benchmark/benchmark.h>

#include <cstdio>

std::size_t heap_allocations();

namespace {

constexpr double kFaceUpLimitUs = 5.0;
constexpr double kFaceDownLimitUs = 1.5;
constexpr double kRevealLimitUs = 2000.0;
constexpr double kRevealLimitCopies = 4.0;
constexpr double kPaintLimitUs = 1000.0;
constexpr double kPaintLimitCopies = 4.0;

using bench::accelerometer;
using bench::window;

void tick(benchmark::State& state, std::int8_t z, std::uint64_t callsPerTick) {
    CZentrickMainWnd& w = window();
    accelerometer()->set_reading(0, 40, z);
    accelerometer()->reset_counters();
    const std::size_t before = heap_allocations();
    for (auto _ : state)
        w.OnTimer(10);
    const std::size_t allocations = heap_allocations() - before;
    const double ticks = static_cast<double>(state.iterations());
    state.counters["allocs/tick"] = static_cast<double>(allocations) / ticks;
    state.counters["calls/tick"] = static_cast<double>(accelerometer()->calls()) / ticks;
    if (allocations != 0)
        state.SkipWithError("the tick allocated on the heap");
    if (accelerometer()->calls() != callsPerTick * state.iterations())
        state.SkipWithError("unexpected number of device calls per tick");
}

void BM_TickFaceUp(benchmark::State& state) {
    tick(state, 50, 5);
}
BENCHMARK(BM_TickFaceUp)->Unit(benchmark::kMicrosecond)->Repetitions(9);

void BM_TickFaceDown(benchmark::State& state) {
    tick(state, -50, 1);
}
BENCHMARK(BM_TickFaceDown)->Unit(benchmark::kMicrosecond)->Repetitions(9);

void BM_ForcedReveal(benchmark::State& state) {
    CZentrickMainWnd& w = window();
    for (auto _ : state) {
        w.m_nState = 2; // armed and pressed on the Two
        w.m_nTiltSuit = 2;
        SendMessageW(w.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(100, 100));
        UpdateWindow(w.m_hWnd); // the loop's final paint
    }
}
BENCHMARK(BM_ForcedReveal)->Unit(benchmark::kMicrosecond)->Repetitions(9);

void paint(benchmark::State& state) {
    CZentrickMainWnd& w = window();
    for (auto _ : state) {
        w.Invalidate(nullptr, 0);
        w.UpdateWindow();
    }
}

// A card face is showing: the canvas covers the card back.
void BM_PaintWholeWindow(benchmark::State& state) {
    CZentrickMainWnd& w = window();
    w.DrawCard(1, 13);
    w.UpdateWindow();
    paint(state);
}
BENCHMARK(BM_PaintWholeWindow)->Unit(benchmark::kMicrosecond)->Repetitions(9);

// The same, with the window's pixels taken as overwritten before each paint
// (writing a row without saying where counts as writing everything).
void BM_PaintWholeWindowFromScratch(benchmark::State& state) {
    CZentrickMainWnd& w = window();
    w.DrawCard(1, 13);
    w.UpdateWindow();
    for (auto _ : state) {
        auto surface = zt::gfx::window_surface(w.m_hWnd);
        benchmark::DoNotOptimize(surface->row(0));
        w.Invalidate(nullptr, 0);
        w.UpdateWindow();
    }
}
BENCHMARK(BM_PaintWholeWindowFromScratch)->Unit(benchmark::kMicrosecond)->Repetitions(9);

// Armed: no face, the card back is blended over the felt at its rounded
// corners. Reported for comparison.
void BM_PaintWindowWithoutFace(benchmark::State& state) {
    CZentrickMainWnd& w = window();
    w.m_nState = STATE_IDLE;
    w.OnLButtonUp(0, 400, 10); // re-arm: card back, no face
    w.UpdateWindow();
    paint(state);
}
BENCHMARK(BM_PaintWindowWithoutFace)->Unit(benchmark::kMicrosecond)->Repetitions(9);

BENCHMARK(BM_CopyOneFrame)->Unit(benchmark::kMicrosecond)->Repetitions(9);

} // namespace

int main(int argc, char** argv) {
    MedianReporter reporter;
    run_benchmarks(argc, argv, reporter);
    bool ok = true;
    auto check = [&](const char* name, const char* what, double limit) {
        const double us = reporter.median(name);
        if (us < 0)
            return;
        const bool within = us <= limit;
        ok = ok && within;
        std::printf("%-28s median %8.2f us (limit %.1f us) %s\n", what, us, limit, within ? "ok" : "OVER");
    };
    check("BM_TickFaceUp", "tick, face up (5 calls)", kFaceUpLimitUs);
    check("BM_TickFaceDown", "tick, face down (1 call)", kFaceDownLimitUs);
    check("BM_ForcedReveal", "forced reveal to frame", kRevealLimitUs);
    check("BM_PaintWholeWindow", "whole window paint", kPaintLimitUs);
    check("BM_PaintWholeWindowFromScratch", "whole window from scratch", kPaintLimitUs);
    const double copy = reporter.median("BM_CopyOneFrame");
    if (copy <= 0)
        return ok ? 0 : 1;
    std::printf("%-28s median %8.2f us\n", "one 480x720 frame copy", copy);
    auto copies = [&](const char* name, const char* what, double limit) {
        const double us = reporter.median(name);
        if (us < 0)
            return;
        const bool within = limit <= 0 || us / copy <= limit;
        ok = ok && within;
        std::printf("%-28s %8.2f frame copies%s\n", what, us / copy, limit <= 0 ? "" : within ? " ok" : " OVER");
    };
    copies("BM_ForcedReveal", "forced reveal", kRevealLimitCopies);
    copies("BM_PaintWholeWindow", "whole window paint", kPaintLimitCopies);
    copies("BM_PaintWholeWindowFromScratch", "whole window from scratch", kPaintLimitCopies);
    copies("BM_PaintWindowWithoutFace", "paint without the face", 0);
    return ok ? 0 : 1;
}
