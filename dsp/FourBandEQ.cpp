#include "FourBandEQ.h"

#include <algorithm>
#include <cmath>

namespace
{
const ParameterDescriptor eqParameters[] = {
    { 0, 0, 10.0f, 500.0f, 60.0f, "Low Freq", "Hz", "Low Shelf filter Frequency", nullptr },
    { 1, 0, 0.5f, 24.0f, 2.0f, "Low Q", "dB", "Low Shelf filter Q value", nullptr },
    { 2, 0, -24.0f, 24.0f, 0.0f, "Low Gain", "dB", "Gain level", nullptr },
    { 3, 0, 20.0f, 20000.0f, 120.0f, "B1 Freq", "Hz", "Parametric band 1 Frequency", nullptr },
    { 4, 0, 0.5f, 24.0f, 2.0f, "B1 Q", "dB", "Parametric band 1 Q value", nullptr },
    { 5, 0, -24.0f, 24.0f, 0.0f, "B1 Gain", "dB", "Parametric band 1 Gain level", nullptr },
    { 6, 0, 20.0f, 20000.0f, 8000.0f, "B2 Freq", "Hz", "Parametric band 1 Frequency", nullptr },
    { 7, 0, 0.5f, 24.0f, 2.0f, "B2 Q", "dB", "Parametric band 1 Q value", nullptr },
    { 8, 0, -24.0f, 24.0f, 0.0f, "B2 Gain", "dB", "Parametric band 1 Gain level", nullptr },
    { 9, 0, 2000.0f, 20000.0f, 7000.0f, "Hi Freq", "Hz", "High Shelf filter Frequency", nullptr },
    { 10, 0, -24.0f, 24.0f, 0.0f, "Hi Gain", "dB", "High Shelf filter Gain level", nullptr },
};

const ParameterDescriptor eqMacros[] = {
    { 0, 0, -1.0f, 1.0f, 0.0f, "BASS", "%", "Bass amount.", nullptr },
    { 1, 0, -1.0f, 1.0f, 0.0f, "TREBLE", "%", "Treble amount.", nullptr },
};

const char* const eqMacroNames[] = { "Bass Amount", "Treble Amount" };

constexpr double pi = 3.14159265358979323846;

struct Biquad
{
    double b0, b1, b2, a1, a2;
};

/** Audio EQ Cookbook low shelf with Q; a = 10^(G/40). */
Biquad lowShelf (double a, double frequency, double q, double sampleRate)
{
    const double w0 = 2.0 * pi * frequency / sampleRate;
    const double cosine = std::cos (w0);
    const double alpha = std::sin (w0) / (2.0 * q);
    const double twoRootAAlpha = 2.0 * std::sqrt (a) * alpha;

    const double a0 = (a + 1.0) + (a - 1.0) * cosine + twoRootAAlpha;
    return { a * ((a + 1.0) - (a - 1.0) * cosine + twoRootAAlpha) / a0,
             2.0 * a * ((a - 1.0) - (a + 1.0) * cosine) / a0,
             a * ((a + 1.0) - (a - 1.0) * cosine - twoRootAAlpha) / a0,
             -2.0 * ((a - 1.0) + (a + 1.0) * cosine) / a0,
             ((a + 1.0) + (a - 1.0) * cosine - twoRootAAlpha) / a0 };
}

/** Audio EQ Cookbook peaking band; a = 10^(G/40). */
Biquad peak (double a, double frequency, double q, double sampleRate)
{
    const double w0 = 2.0 * pi * frequency / sampleRate;
    const double cosine = std::cos (w0);
    const double alpha = std::sin (w0) / (2.0 * q);

    const double a0 = 1.0 + alpha / a;
    return { (1.0 + alpha * a) / a0, -2.0 * cosine / a0, (1.0 - alpha * a) / a0, -2.0 * cosine / a0, (1.0 - alpha / a) / a0 };
}

void setSection (CrossoverSection& section, const Biquad& c)
{
    section.b0 = FloatVector4::broadcast ((float) c.b0);
    section.b1 = FloatVector4::broadcast ((float) c.b1);
    section.b2 = FloatVector4::broadcast ((float) c.b2);
    section.a1 = FloatVector4::broadcast ((float) c.a1);
    section.a2 = FloatVector4::broadcast ((float) c.a2);
}
} // namespace

FourBandEQ::FourBandEQ()
{
    initialiseParameters (eqParameters, 11, parameterValues);
    setMacroValue (0, 0.5f);
    setMacroValue (1, 0.5f);
    reset();
}

ParameterDescriptor FourBandEQ::getMacroDescriptor (int32_t index) const
{
    return eqMacros[index];
}

const char* FourBandEQ::getMacroName (int32_t index) const
{
    return eqMacroNames[index];
}

void FourBandEQ::reset()
{
    recomputeAllBands();

    for (auto& section : bandSections)
        section.reset();

    highSplit.reset();
    compensationSplit.reset();
}

void FourBandEQ::setSampleRate (float newSampleRate)
{
    // No early return: the equaliser recomputes and clears its filters on every call.
    sampleRate = newSampleRate;

    if (newSampleRate != splitSampleRate)
    {
        splitSampleRate = newSampleRate;
        // The splits must be redesigned for the new rate even though Hi Freq has not moved.
        highSplitFrequency = 0.0f;
    }

    reset(); // recomputes all four bands at the new rate, then clears the states

}

float FourBandEQ::effectiveGainDb (int32_t band) const noexcept
{
    const float z = bypassed ? 0.0f : 1.0f;

    switch (band)
    {
        case 0: return gainDb[0] * bass * z;
        case 1: return gainDb[1] * std::max (0.0f, bass) * z;
        case 2: return gainDb[2] * std::max (0.0f, treble) * z;
        default: return gainDb[3] * treble * z;
    }
}

void FourBandEQ::recomputeBand (int32_t band) noexcept
{
    const float g = effectiveGainDb (band);

    if (band == 3)
    {
        if (frequency[3] != highSplitFrequency)
        {
            highSplitFrequency = frequency[3];
            const auto coefficients = LinkwitzCoefficients::forCutoff ((double) highSplitFrequency, (double) splitSampleRate);
            highSplit.designBoth (coefficients);
            compensationSplit.designBoth (coefficients);
        }

        highGain = decibelsToGain (g);
        return;
    }

    const double a = std::sqrt ((double) decibelsToGain (g));
    const double rate = (double) sampleRate;

    setSection (bandSections[band], band == 0 ? lowShelf (a, frequency[0], q[0], rate)
                                              : peak (a, frequency[band], q[band], rate));
}

void FourBandEQ::recomputeAllBands() noexcept
{
    for (int32_t band = 0; band < 4; ++band)
        recomputeBand (band);
}

void FourBandEQ::applyParameter (int32_t index, float value)
{
    if (index == 10)
    {
        gainDb[3] = value;
        recomputeBand (3);
        return;
    }

    const int32_t band = index / 3;

    switch (index % 3)
    {
        case 0: frequency[band] = value; break;
        case 1: q[band] = value; break;
        default: gainDb[band] = value; break;
    }

    recomputeBand (band);
}

void FourBandEQ::setMacroValue (int32_t index, float value)
{
    const float x = 2.0f * value - 1.0f;

    if (x == macroValues[index])
        return;

    macroValues[index] = x;

    if (index == 0)
    {
        bass = x;
        recomputeBand (0);
        recomputeBand (1);
    }
    else
    {
        treble = x;
        recomputeBand (2);
        recomputeBand (3);
    }
}

float FourBandEQ::getMacroValue (int32_t index) const
{
    return (macroValues[index] + 1.0f) * 0.5f;
}

void FourBandEQ::setBypassed (bool shouldBeBypassed)
{
    if (shouldBeBypassed == bypassed)
        return;

    bypassed = shouldBeBypassed;
    recomputeAllBands();
}

FloatVector4 FourBandEQ::laneFrame (const float* frame, int32_t numChannels) noexcept
{
    return { frame[0], frame[1 % numChannels], frame[2 % numChannels], frame[3 % numChannels] };
}

void FourBandEQ::writeBack (FloatVector4 v, float* frame, int32_t numChannels) noexcept
{
    for (int32_t channel = 0; channel < numChannels; ++channel)
        frame[channel] = v.get (channel);
}

bool FourBandEQ::processFrame (float* frame, int32_t numChannels)
{
    if (numChannels > 2)
        return false;

    // The lanes repeat the channels by index modulo the count, which needs at least one channel.
    if (numChannels < 1)
        return true;

    FloatVector4 v = laneFrame (frame, numChannels);

    for (auto& section : bandSections)
        v = section.process (v);

    writeBack (v, frame, numChannels);
    v = laneFrame (frame, numChannels);

    const FloatVector4 low = highSplit.lowPass (v);
    const FloatVector4 high = highSplit.highPass (v);
    writeBack (high * FloatVector4::broadcast (highGain) + low, frame, numChannels);
    return true;
}

bool FourBandEQ::processCompensation (float* frame, int32_t numChannels, bool /*withDelay*/)
{
    if (numChannels > 2)
        return false;

    if (numChannels < 1)
        return true;

    // The band sections' compensation copies would be designed at 0 dB, where their numerator
    // equals their denominator and they pass every sample through bit for bit; only the high
    // split, with its high half at unity, shifts the phase.
    const FloatVector4 v = laneFrame (frame, numChannels);
    writeBack (compensationSplit.highPass (v) + compensationSplit.lowPass (v), frame, numChannels);
    return true;
}
