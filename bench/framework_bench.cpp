// Painting the application's whole 480x720 window (scaled felt, scaled card
// back, a 0x0 picture, the face canvas at full size) from Invalidate through
// EndPaint, against one plain copy of a 480x720 frame, in the same run.
// Prints both medians and their ratio; the window must paint in at most
// 1 ms and at most 4 frame copies.
#include "demo_window.h"
#include "zt/gfx/surface.h"

#include "frame_copy.h"
#include "median_reporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

constexpr double kLimitMicroseconds = 1000.0;
constexpr double kLimitRatio = 4.0;

void BM_PaintWholeWindow(benchmark::State& state) {
    CDemoWnd wnd;
    if (!wnd.Create(0, 0, 480, 720) || !wnd.Show(true, true)) {
        state.SkipWithError("the window could not be made");
        return;
    }
    wnd.DrawFace();
    wnd.Invalidate();
    wnd.UpdateWindow(); // the first paint scales the pictures
    for (auto _ : state) {
        wnd.Invalidate();
        wnd.UpdateWindow();
    }
}
BENCHMARK(BM_PaintWholeWindow)->Unit(benchmark::kMicrosecond)->Repetitions(9)->MinTime(0.1);

// The armed trick's frame: no face, so the card back is blended over the
// felt at its rounded corners. Reported for comparison.
void BM_PaintWindowWithoutFace(benchmark::State& state) {
    CDemoWnd wnd;
    if (!wnd.Create(0, 0, 480, 720) || !wnd.Show(true, true)) {
        state.SkipWithError("the window could not be made");
        return;
    }
    wnd.Invalidate();
    wnd.UpdateWindow();
    for (auto _ : state) {
        wnd.Invalidate();
        wnd.UpdateWindow();
    }
}
BENCHMARK(BM_PaintWindowWithoutFace)->Unit(benchmark::kMicrosecond)->Repetitions(9)->MinTime(0.1);

BENCHMARK(BM_CopyOneFrame)->Unit(benchmark::kMicrosecond)->Repetitions(9)->MinTime(0.1);
} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto paint = reporter.medians.find("BM_PaintWholeWindow");
    const auto copy = reporter.medians.find("BM_CopyOneFrame");
    if (paint == reporter.medians.end() || copy == reporter.medians.end() || copy->second <= 0)
        return 0; // filtered out or failed: nothing to compare
    const double ratio = paint->second / copy->second;
    const bool ok = paint->second <= kLimitMicroseconds && ratio <= kLimitRatio;
    std::printf("window paint median: %.1f us (limit %.0f us)\n", paint->second, kLimitMicroseconds);
    std::printf("frame copy median:   %.1f us\n", copy->second);
    std::printf("ratio paint / copy:  %.2f (limit %.1f) %s\n", ratio, kLimitRatio, ok ? "ok" : "OVER");
    const auto noFace = reporter.medians.find("BM_PaintWindowWithoutFace");
    if (noFace != reporter.medians.end())
        std::printf("without the face:    %.1f us, %.2f frame copies\n", noFace->second, noFace->second / copy->second);
    return ok ? 0 : 1;
}
