// The accelerometer reads on the timer path, through the platform's device
// call into the simulated driver, counting heap allocations per read.
#include "device/accelerometer.h"
#include "zt/drivers/simulated_accelerometer.h"
#include "zt/platform.h"
#include "zt/testhost.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <memory>

// Counted by this program's operator new (the stream-device tests' counter).
std::size_t heap_allocations();

namespace {

// Opens the client on a fresh simulated sensor for one benchmark run.
class OpenSensor {
  public:
    OpenSensor() {
        m_sensor->register_as(ACC_DEVICE_NAME);
        m_sensor->set_reading(-30, 31, 64);
        m_open = AccOpen() == 1;
    }
    ~OpenSensor() {
        if (m_open)
            AccClose();
        zt::sys::unregister_stream_driver(ACC_DEVICE_NAME);
    }
    bool open() const { return m_open; }

  private:
    std::shared_ptr<zt::drivers::SimulatedAccelerometer> m_sensor =
        std::make_shared<zt::drivers::SimulatedAccelerometer>();
    bool m_open = false;
    zt::testhost::DebugCapture m_quiet; // the close text of every run
};

template <typename Read> void run_reads(benchmark::State& state, Read read) {
    OpenSensor sensor;
    if (!sensor.open()) {
        state.SkipWithError("ACC0: did not open");
        return;
    }
    read(); // the thread's first platform use may allocate its record
    const std::size_t before = heap_allocations();
    for (auto _ : state)
        benchmark::DoNotOptimize(read());
    const auto allocations = static_cast<double>(heap_allocations() - before);
    state.counters["allocs_per_iter"] = benchmark::Counter(allocations / static_cast<double>(state.iterations()));
    if (allocations != 0)
        state.SkipWithError("the read path allocated on the heap");
}

void BM_AccGetXYZ(benchmark::State& state) {
    signed char x = 0, y = 0, z = 0;
    run_reads(state, [&] { return AccGetXYZ(&x, &y, &z); });
}
BENCHMARK(BM_AccGetXYZ);

void BM_AccGetX(benchmark::State& state) {
    signed char x = 0;
    run_reads(state, [&] { return AccGetX(&x); });
}
BENCHMARK(BM_AccGetX);

} // namespace

int main(int argc, char** argv) {
    zt::testhost::install();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
