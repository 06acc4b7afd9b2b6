#pragma once

#include "DSPModule.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

/** Runs a module over one second of stereo 48 kHz programme-like audio per iteration and reports
    the real-time factor: seconds of audio processed per second of CPU. */
inline void runModuleBenchmark (benchmark::State& state, DSPModule& module)
{
    constexpr int sampleRate = 48000;
    module.setSampleRate ((float) sampleRate);

    std::vector<float> left (sampleRate), right (sampleRate);
    unsigned noise = 12345;
    for (int n = 0; n < sampleRate; ++n)
    {
        noise = noise * 1664525u + 1013904223u;
        const float hiss = ((float) (noise >> 9) / 8388608.0f - 1.0f) * 0.05f;
        const float t = (float) n / sampleRate;
        left[(size_t) n] = 0.4f * std::sin (2.0f * 3.14159265f * 55.0f * t) + 0.2f * std::sin (2.0f * 3.14159265f * 880.0f * t) + hiss;
        right[(size_t) n] = 0.4f * std::sin (2.0f * 3.14159265f * 55.0f * t + 0.3f) + 0.2f * std::sin (2.0f * 3.14159265f * 1320.0f * t) - hiss;
    }

    for (auto _ : state)
    {
        for (int n = 0; n < sampleRate; ++n)
        {
            float frame[2] = { left[(size_t) n], right[(size_t) n] };
            module.processFrame (frame, 2);
            benchmark::DoNotOptimize (frame);
        }
    }

    state.SetItemsProcessed (state.iterations() * sampleRate);
    state.counters["realtime_factor"] = benchmark::Counter ((double) state.iterations(), benchmark::Counter::kIsRate);
}
