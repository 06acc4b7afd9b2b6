#include "Limiter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
const ParameterDescriptor limiterParameters[Limiter::numParameters] = {
    { 0, 0, 0.01f, 0.5f, 0.2f, "Release", "s", "Release time in seconds", nullptr },
    { 1, 0, -48.0f, 0.0f, -0.05f, "Threshold", "dB",
      "Threshold and a real lot of text to test multi line capabilities. Hej hopp skoj ploj.", nullptr },
};

/** ln 9: a one-pole release with exp (-ln 9 / (time * rate)) covers 10 % to 90 % in `time`. */
constexpr float logNine = 2.1972246f;

/** The threshold used while bypassed: far above anything the chain can produce. */
constexpr float bypassedThresholdDb = 144.0f;
} // namespace

Limiter::Limiter()
{
    core.setRatio (std::numeric_limits<float>::max());
    core.setKneeDb (30.0f);
    core.setAttackTime (0.003f);
    core.setMakeupDb (0.0f);
    setCompensationDelay (core.getDelayLength());

    initialiseParameters (limiterParameters, numParameters, parameterValues);
    reset();
}

int32_t Limiter::getLatencySamples() const
{
    return core.getDelayLength();
}

void Limiter::reset()
{
    clipMeter.store (0.0f, std::memory_order_relaxed);
    ceilingGainDb[0] = ceilingGainDb[1] = 0.0f;
    core.clearDelay();
    clearCompensationDelay();
}

void Limiter::setSampleRate (float rate)
{
    if (rate == sampleRate)
        return;

    sampleRate = rate;
    core.setSampleRate ((int32_t) rate);
    core.setWindowTime (windowSeconds);
    setCompensationDelay (getLatencySamples());
    updateReleases();
    reset();
}

void Limiter::updateReleases() noexcept
{
    core.setReleaseTime (2.0f * releaseParam);
    ceilingReleaseCoeff = releaseParam > 0.0f ? std::exp (-logNine / (releaseParam * sampleRate)) : 0.0f;
}

void Limiter::updateThresholds() noexcept
{
    ceilingDb = bypassed ? bypassedThresholdDb : thresholdParam;
    coreThresholdDb = bypassed ? bypassedThresholdDb : thresholdParam - 2.0f;
    ceilingGain = std::exp (ceilingDb * decibelsToGainFactor);
    core.setThresholdDb (coreThresholdDb);
}

void Limiter::applyParameter (int32_t index, float value)
{
    if (index == releaseIndex)
    {
        releaseParam = value;
        updateReleases();
    }
    else if (index == thresholdIndex)
    {
        thresholdParam = value;
        updateThresholds();
    }
}

void Limiter::setBypassed (bool shouldBeBypassed)
{
    if (shouldBeBypassed == bypassed)
        return;

    bypassed = shouldBeBypassed;
    updateThresholds();
}

float Limiter::applyCeiling (float x, float& heldGainDb) const noexcept
{
    const float magnitude = std::fabs (x);
    float targetDb = 0.0f;

    // Below the ceiling the target is no reduction; the log is only needed above it.
    if (magnitude >= ceilingGain && magnitude <= std::numeric_limits<float>::max())
    {
        const float levelDb = 20.0f * std::log10 (magnitude);

        if (levelDb >= ceilingDb)
            targetDb = ceilingDb - levelDb;
    }

    // Less reduction than held: release smoothly. More: take it at once.
    if (targetDb > heldGainDb)
        targetDb = ceilingReleaseCoeff * heldGainDb + (1.0f - ceilingReleaseCoeff) * targetDb;

    heldGainDb = targetDb;
    float y = targetDb < 0.0f ? x * std::exp (targetDb * decibelsToGainFactor) : x;

    // Rounding in the log and the exponential can leave a sample a few units in the last place
    // above the ceiling, and an infinite sample has no finite gain at all; either way the output
    // must not pass the ceiling.
    if (! bypassed && ! (std::fabs (y) <= ceilingGain))
        y = std::isnan (x) ? 0.0f : std::copysign (ceilingGain, x);

    return y;
}

bool Limiter::processFrame (float* frame, int32_t numChannels)
{
    if (numChannels > 2)
        return false;

    if (numChannels < 1)
        return true;

    const float left = frame[0];
    const float right = numChannels == 2 ? frame[1] : frame[0];

    if (! bypassed)
    {
        float largest = std::max (left * left, numChannels == 2 ? right * right : 0.0f);

        if (largest > 1.0f)
            raiseHeldValue (clipMeter, (largest - 1.0f) * 0.5f);
    }

    const float level = (std::fabs (left) + std::fabs (right)) * 0.5f;
    const CompressorCore::Output out = core.process (level, true, left, right);

    frame[0] = applyCeiling (out.left, ceilingGainDb[0]);

    if (numChannels == 2)
        frame[1] = applyCeiling (out.right, ceilingGainDb[1]);

    return true;
}

bool Limiter::processCompensation (float* frame, int32_t numChannels, bool)
{
    if (numChannels <= 2 && numChannels >= 1)
        delayFrame (frame, numChannels);

    return numChannels < 3;
}

float Limiter::getAndResetMeterValue (int32_t)
{
    return clipMeter.exchange (0.0f, std::memory_order_relaxed);
}
