#include "TWMeasuring.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
constexpr double silenceLufs = -200.0;
constexpr double minusInfinity = -std::numeric_limits<double>::infinity();

double loudnessOrSilence (double lufs) noexcept
{
    return std::isfinite (lufs) ? lufs : silenceLufs;
}

double levelToDb (double level) noexcept
{
    const float asFloat = (float) level;
    return asFloat <= 1.0e-5f ? -100.0 : 20.0 * std::log10 (asFloat);
}
} // namespace

TWMeasuring::TWMeasuring()
    : interleaveBuffer (new float[2 * interleaveFrames]())
{
    for (int channel = 0; channel < 2; ++channel)
    {
        peakResetPending[channel].store (false);
        peak[channel].store (0.0);
        rmsShown[channel].store (0.0);
        integratedLufs[channel].store (minusInfinity);
    }

    rmsCoeff = 0.5 * (1.0 - std::exp (-1.0 / (rmsTime * sampleRate)));
    createLoudnessStates();
}

TWMeasuring::~TWMeasuring()
{
    destroyLoudnessStates();
}

void TWMeasuring::createLoudnessStates()
{
    const int mode = EBUR128_MODE_M | EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM;
    stereoMeter.state = ebur128_init (2, (unsigned long) sampleRate, mode);
    monoMeter.state = ebur128_init (1, (unsigned long) sampleRate, mode);
    stereoMeter.framesMeasured = monoMeter.framesMeasured = 0;
    framesSinceReadout = 0;
    integratedLufs[0].store (minusInfinity, std::memory_order_relaxed);
    integratedLufs[1].store (minusInfinity, std::memory_order_relaxed);
}

void TWMeasuring::destroyLoudnessStates() noexcept
{
    if (stereoMeter.state != nullptr)
        ebur128_destroy (&stereoMeter.state);

    if (monoMeter.state != nullptr)
        ebur128_destroy (&monoMeter.state);
}

void TWMeasuring::updateSampleRate (double rate)
{
    sampleRate = rate;
    rmsCoeff = 0.5 * (1.0 - std::exp (-1.0 / (rmsTime * rate)));
    destroyLoudnessStates();
    createLoudnessStates();
}

void TWMeasuring::resetLoudnessReadouts() noexcept
{
    shortTermLufs.store (silenceLufs, std::memory_order_relaxed);
    momentaryLufs.store (silenceLufs, std::memory_order_relaxed);
}

void TWMeasuring::addBlock (const float* const* channels, int numChannels, int numSamples) noexcept
{
    numChannels = std::clamp (numChannels, 1, 2);
    channelCount.store (numChannels, std::memory_order_relaxed);
    rmsHold.store (4, std::memory_order_relaxed);
    loudnessHold.store (4, std::memory_order_relaxed);

    if (isLevelEnabled())
    {
        double channelPeak[2] = {};
        double estimate[2] = {};

        for (int channel = 0; channel < numChannels; ++channel)
        {
            peakResetPending[channel].store (false, std::memory_order_relaxed);
            channelPeak[channel] = peak[channel].load (std::memory_order_relaxed);
            estimate[channel] = rmsState[channel];
        }

        // Both channels in one pass: each estimate waits on a division by its previous value, and
        // two independent chains side by side take little longer than one.
        for (int n = 0; n < numSamples; ++n)
        {
            for (int channel = 0; channel < numChannels; ++channel)
            {
                const double x = channels[channel][n];
                channelPeak[channel] = std::max (channelPeak[channel], std::fabs (x));

                // Newton-style running square root of the mean square; the estimate is kept away
                // from zero so the division stays finite.
                double e = estimate[channel];

                if (e > -1.0e-8 && e < 1.0e-8)
                    e = e < 0.0 ? -1.0e-8 : 1.0e-8;

                estimate[channel] = std::min (6.0, e + rmsCoeff * (x * x / e - e));
            }
        }

        for (int channel = 0; channel < numChannels; ++channel)
        {
            rmsState[channel] = estimate[channel];
            peak[channel].store (channelPeak[channel], std::memory_order_relaxed);
            rmsShown[channel].store (estimate[channel], std::memory_order_relaxed);
        }
    }

    if (isLoudnessEnabled())
        measureLoudness (channels, numChannels, numSamples);
}

void TWMeasuring::measureLoudness (const float* const* channels, int numChannels, int numSamples) noexcept
{
    LoudnessState& loudness = numChannels == 1 ? monoMeter : stereoMeter;

    if (loudness.state == nullptr)
        return;

    // Interleave through a fixed buffer in chunks, so a block of any size is measured without
    // allocating.
    for (int start = 0; start < numSamples; start += interleaveFrames)
    {
        const int frames = std::min (interleaveFrames, numSamples - start);

        for (int n = 0; n < frames; ++n)
            for (int channel = 0; channel < numChannels; ++channel)
                interleaveBuffer[(size_t) (n * numChannels + channel)] = channels[channel][start + n];

        ebur128_add_frames_float (loudness.state, interleaveBuffer.get(), (size_t) frames);
    }

    loudness.framesMeasured += numSamples;
    framesSinceReadout += numSamples;

    // The library's read-outs scan whole windows of audio, so they are refreshed every 100 ms
    // (the gating-block step), not every block.
    if (framesSinceReadout >= (int64_t) (sampleRate * 0.1))
    {
        framesSinceReadout = 0;
        publishLoudness (loudness);
    }
}

void TWMeasuring::publishLoudness (LoudnessState& loudness) noexcept
{
    double value = 0.0;

    if (loudness.framesMeasured >= (int64_t) (3.0 * sampleRate) && ebur128_loudness_shortterm (loudness.state, &value) == EBUR128_SUCCESS)
        shortTermLufs.store (loudnessOrSilence (value), std::memory_order_relaxed);

    if (loudness.framesMeasured >= (int64_t) (0.4 * sampleRate) && ebur128_loudness_momentary (loudness.state, &value) == EBUR128_SUCCESS)
        momentaryLufs.store (loudnessOrSilence (value), std::memory_order_relaxed);

    if (ebur128_loudness_global (loudness.state, &value) == EBUR128_SUCCESS)
        integratedLufs[&loudness == &monoMeter ? 0 : 1].store (value, std::memory_order_relaxed);
}

double TWMeasuring::getShortTermLoudness()
{
    return shortTermLufs.load (std::memory_order_relaxed);
}

double TWMeasuring::getMomentaryLoudness()
{
    if (loudnessHold.fetch_sub (1, std::memory_order_relaxed) < 1)
        momentaryLufs.store (std::max (silenceLufs, momentaryLufs.load (std::memory_order_relaxed) - 1.0), std::memory_order_relaxed);

    return momentaryLufs.load (std::memory_order_relaxed);
}

double TWMeasuring::getIntegratedLoudness()
{
    const bool mono = channelCount.load (std::memory_order_relaxed) == 1;
    return integratedLufs[mono ? 0 : 1].load (std::memory_order_relaxed);
}

double TWMeasuring::getRmsDb (int channel)
{
    if (rmsHold.fetch_sub (1, std::memory_order_relaxed) < 1)
        for (auto& shown : rmsShown)
            shown.store (shown.load (std::memory_order_relaxed) * (double) 0.9f, std::memory_order_relaxed);

    return levelToDb (rmsShown[std::clamp (channel, 0, 1)].load (std::memory_order_relaxed));
}

double TWMeasuring::getPeakDb (int channel)
{
    return levelToDb (peak[std::clamp (channel, 0, 1)].load (std::memory_order_relaxed));
}

double TWMeasuring::getPeak()
{
    const double left = peak[0].load (std::memory_order_relaxed);
    return channelCount.load (std::memory_order_relaxed) > 1 ? 0.5 * (left + peak[1].load (std::memory_order_relaxed)) : left;
}

bool TWMeasuring::isPeakResetDone()
{
    return ! peakResetPending[0].load (std::memory_order_relaxed);
}

void TWMeasuring::resetPeaks()
{
    const int channels = channelCount.load (std::memory_order_relaxed);

    for (int channel = 0; channel < channels && channel < 2; ++channel)
    {
        if (! peakResetPending[channel].load (std::memory_order_relaxed))
        {
            peakResetPending[channel].store (true, std::memory_order_relaxed);
            peak[channel].store (0.0, std::memory_order_relaxed);
        }
    }
}
