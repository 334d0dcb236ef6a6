// Idle virtual time in the application's own GetMessageW loop on the test
// host: the window ticks every 10 ms (five accelerometer reads, nothing to
// paint) while the simulated shell waits on its own thread for messages that
// never come. The virtual clock should jump from tick to tick without real
// time passing; the figure is idle ticks per second of real time. This is
// the platform's part of what zentrick-sim spends idle; the simulator's
// driver and the hosts' core, a turn at a time, are not in it.
#include "app_window.h"
#include "median_reporter.h"
#include "zt/host/simulated_shell.h"
#include "zt/testhost.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

// An hour of virtual time should take about a second on an idle machine.
constexpr double kMinTicksPerSecond = 300000.0;
constexpr DWORD kTickMs = 10;
constexpr DWORD kWaitMs = 10000;

using bench::accelerometer;
using bench::window;

zt::host::SimulatedShell& shell() {
    static auto* const s = [] {
        auto* started = new zt::host::SimulatedShell();
        started->start();
        return started;
    }();
    return *s;
}

// Runs the message loop for `ms` of virtual time.
void wait_virtual(DWORD ms) {
    const DWORD until = GetTickCount() + ms;
    MSG msg;
    while (static_cast<LONG>(GetTickCount() - until) < 0 && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
}

void BM_IdleTicks(benchmark::State& state) {
    shell();
    window();
    // Face up and still: five reads a tick and nothing to paint.
    accelerometer()->set_reading(0, 40, 50);
    wait_virtual(100);
    accelerometer()->reset_counters();
    const std::size_t frames = zt::testhost::presented_frames().size();
    const DWORD start = GetTickCount();
    for (auto _ : state)
        wait_virtual(kWaitMs);
    const double ticks = static_cast<double>(GetTickCount() - start) / kTickMs;
    state.counters["ticks/s"] = benchmark::Counter(ticks, benchmark::Counter::kIsRate);
    state.counters["calls/tick"] = static_cast<double>(accelerometer()->calls()) / ticks;
    if (accelerometer()->calls() != static_cast<std::uint64_t>(5 * ticks + 0.5))
        state.SkipWithError("unexpected number of device calls per tick");
    if (zt::testhost::presented_frames().size() != frames)
        state.SkipWithError("an idle tick painted");
}
BENCHMARK(BM_IdleTicks)->Unit(benchmark::kMillisecond)->Repetitions(9)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    MedianReporter reporter;
    run_benchmarks(argc, argv, reporter);
    const double ms = reporter.median("BM_IdleTicks");
    if (ms <= 0)
        return 0;
    // One iteration is kWaitMs of virtual time, kWaitMs / kTickMs ticks.
    const double ticksPerSecond = (kWaitMs / kTickMs) / (ms / 1000.0);
    const bool within = ticksPerSecond >= kMinTicksPerSecond;
    std::printf("%-28s median %10.0f ticks/s (limit %.0f) %s\n", "idle virtual-clock ticks", ticksPerSecond,
                kMinTicksPerSecond, within ? "ok" : "UNDER");
    std::printf("%-28s %10.1f s of real time per virtual hour\n", "", 3600.0 * 100.0 / ticksPerSecond);
    return within ? 0 : 1;
}
