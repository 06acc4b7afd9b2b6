#include "CompressorCore.h"

#include <algorithm>

CompressorCore::CompressorCore (float windowSeconds)
    : delay (0),
      maxLookaheadTime (windowSeconds),
      lookaheadTime (windowSeconds)
{
    setSampleRate (44100);
    updateKnee();
}

float CompressorCore::timeToCoefficient (float seconds, int32_t rate) noexcept
{
    if (! (seconds > 0.0f) || rate <= 0)
        return 1.0f;

    // expm1 keeps the digits that 1 - exp (x) would cancel away for long times.
    return (float) -std::expm1 (-1.0 / ((double) seconds * (double) rate));
}

void CompressorCore::setSampleRate (int32_t rate) noexcept
{
    sampleRate = rate;
    updateWindow();

    attackCoeff = timeToCoefficient (attackTime, sampleRate);
    releaseCoeff = timeToCoefficient (releaseTime, sampleRate);
    automaticShortCoeff = timeToCoefficient (automaticReleaseShort, sampleRate);
    automaticLongCoeff = timeToCoefficient (automaticReleaseLong, sampleRate);
}

void CompressorCore::setWindowTime (float seconds) noexcept
{
    maxLookaheadTime = seconds;
    updateWindow();
}

void CompressorCore::updateWindow() noexcept
{
    // Single-precision product on purpose: it gives the window counts the plug-in has always
    // reported (441 frames for 0.01 s at 44100 Hz).
    maxLookaheadSamples = std::clamp ((int32_t) std::ceil (maxLookaheadTime * (float) sampleRate), 0, StereoDelayLine::capacity);
    lookaheadSamples = std::clamp ((int32_t) std::ceil (lookaheadTime * (float) sampleRate), 0, maxLookaheadSamples);
    delay.setDelay (std::min (maxLookaheadSamples, StereoDelayLine::capacity - 1));
}

void CompressorCore::updateKnee() noexcept
{
    slope = 1.0f / ratio - 1.0f;
    kneeScale = kneeDb > 0.0f ? slope / (2.0f * kneeDb) : 0.0f;
    kneeStartLevel = std::exp ((thresholdDb - 0.5f * kneeDb) * decibelsPerNeper);
}

void CompressorCore::setThresholdDb (float decibels) noexcept
{
    thresholdDb = decibels;
    updateKnee();
}

void CompressorCore::setKneeDb (float decibels) noexcept
{
    kneeDb = decibels;
    updateKnee();
}

void CompressorCore::setRatio (float newRatio) noexcept
{
    ratio = newRatio;
    updateKnee();
}

void CompressorCore::setMakeupDb (float decibels) noexcept
{
    makeupDb = decibels;
    makeupGain = std::exp (decibels * decibelsPerNeper);
}

void CompressorCore::setAttackTime (float seconds) noexcept
{
    attackTime = seconds;
    attackCoeff = timeToCoefficient (seconds, sampleRate);
}

void CompressorCore::setReleaseTime (float seconds) noexcept
{
    releaseTime = seconds;
    releaseCoeff = timeToCoefficient (seconds, sampleRate);
}

void CompressorCore::setLookaheadTime (float seconds) noexcept
{
    lookaheadTime = seconds;
    lookaheadSamples = std::clamp ((int32_t) std::ceil (lookaheadTime * (float) sampleRate), 0, maxLookaheadSamples);
}
