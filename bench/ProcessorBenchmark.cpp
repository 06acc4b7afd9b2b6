// The whole processor on stereo 48 kHz audio in 512-frame blocks, as a host would run it.
// Reports frames per second and the real-time factor (seconds of audio per second of CPU).

#include "ValmoraAudioProcessor.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

juce::AudioBuffer<float> programmeMaterial()
{
    juce::AudioBuffer<float> audio (2, (int) sampleRate);
    uint32_t noise = 1;

    for (int n = 0; n < audio.getNumSamples(); ++n)
    {
        noise = noise * 1664525u + 1013904223u;
        const float hiss = ((float) (noise >> 9) / 8388608.0f - 1.0f) * 0.05f;
        const double t = n / sampleRate;
        const float kick = (float) (0.6 * std::sin (2.0 * 3.14159265 * 55.0 * t) * std::exp (-std::fmod (t, 0.5) * 8.0));
        audio.setSample (0, n, kick + 0.2f * (float) std::sin (2.0 * 3.14159265 * 440.0 * t) + hiss);
        audio.setSample (1, n, kick + 0.2f * (float) std::sin (2.0 * 3.14159265 * 660.0 * t) - hiss);
    }

    return audio;
}

void runProcessor (benchmark::State& state, bool everyModuleActive, bool silenceAfterSignal = false)
{
    juce::ScopedJuceInitialiser_GUI juce;
    ValmoraAudioProcessor processor;
    const auto& parameters = processor.getParameters();

    if (everyModuleActive)
    {
        for (int index = 12; index <= 21; ++index)
            parameters[(size_t) index]->setValueNotifyingHost (0.5f);

        parameters[2]->setValueNotifyingHost (80.0f / 92.0f); // "Add Gain" at 0 dB
    }

    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);

    auto source = programmeMaterial();
    juce::AudioBuffer<float> block (2, blockSize);
    juce::MidiBuffer midi;

    // Loud audio first, then digital silence: the recursive filters decay towards denormals,
    // which must cost nothing extra.
    if (silenceAfterSignal)
    {
        for (int start = 0; start + blockSize <= source.getNumSamples(); start += blockSize)
        {
            block.copyFrom (0, 0, source, 0, start, blockSize);
            block.copyFrom (1, 0, source, 1, start, blockSize);
            processor.processBlock (block, midi);
        }

        source.clear();
    }

    for (auto _ : state)
    {
        for (int start = 0; start + blockSize <= source.getNumSamples(); start += blockSize)
        {
            block.copyFrom (0, 0, source, 0, start, blockSize);
            block.copyFrom (1, 0, source, 1, start, blockSize);
            processor.processBlock (block, midi);
            benchmark::DoNotOptimize (block.getReadPointer (0));
        }
    }

    const double secondsPerIteration = (double) (source.getNumSamples() / blockSize * blockSize) / sampleRate;
    state.SetItemsProcessed (state.iterations() * (int64_t) (secondsPerIteration * sampleRate));
    state.counters["realtime_factor"] = benchmark::Counter ((double) state.iterations() * secondsPerIteration, benchmark::Counter::kIsRate);
}
} // namespace

static void BM_ProcessorDefaults (benchmark::State& state) { runProcessor (state, false); }
static void BM_ProcessorEveryModuleActive (benchmark::State& state) { runProcessor (state, true); }

static void BM_ProcessorSilenceAfterSignal (benchmark::State& state) { runProcessor (state, true, true); }

BENCHMARK (BM_ProcessorDefaults)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_ProcessorSilenceAfterSignal)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_ProcessorEveryModuleActive)->Unit (benchmark::kMillisecond);
