// The yardstick the drawing benchmarks are measured against: one plain copy
// of a whole 480x720 frame of 32-bit pixels.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

inline void BM_CopyOneFrame(benchmark::State& state) {
    std::vector<std::uint32_t> from(480 * 720, 0xFF336699u), to(480 * 720);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size() * sizeof(std::uint32_t));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
