#include "ProcessorFixture.h"

namespace
{
/** Steady-state level of a sine rendered through a fresh processor with "Add Gain" at a value. */
double renderedLevel (double frequency, float addGainNormalised)
{
    constexpr double sampleRate = 48000.0;
    ValmoraAudioProcessor processor;
    setParameter (processor, 2, addGainNormalised);
    prepare (processor, sampleRate, 512);

    const int length = (int) sampleRate;
    auto audio = sine (2, length, frequency, sampleRate, 0.01f); // -40 dBFS
    render (processor, audio, 512);

    double sum = 0.0;
    const int start = length / 2;
    for (int channel = 0; channel < 2; ++channel)
        for (int n = start; n < length; ++n)
            sum += (double) audio.getSample (channel, n) * audio.getSample (channel, n);

    return std::sqrt (sum / (2.0 * (length - start)));
}
} // namespace

// With every macro at its default the parallel path is a time- and phase-aligned copy of the main
// path, so adding it at 0 dB doubles the signal (+6.02 dB) at every frequency instead of
// comb-filtering it.
TEST (ParallelPath, AddsAsAnAlignedCopyAtEveryFrequency)
{
    const float addGainZeroDb = 80.0f / 92.0f;

    for (double frequency = 20.0; frequency <= 20000.0; frequency *= std::pow (2.0, 1.0 / 3.0))
    {
        const double with = renderedLevel (frequency, addGainZeroDb);
        const double without = renderedLevel (frequency, 0.0f);
        EXPECT_NEAR (20.0 * std::log10 (with / without), 6.02, 0.1) << frequency << " Hz";
    }
}
