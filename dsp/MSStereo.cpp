#include "MSStereo.h"

#include <cmath>
#include <initializer_list>

namespace
{
const ParameterDescriptor stereoParameters[] = {
    { 0, 0, -12.0f, 12.0f, 0.0f, "Sides Gain", "dB", "Side channel gain level", nullptr },
    { 1, 0, 2000.0f, 20000.0f, 9000.0f, "High Freq", "Hz", "High shelf split frequency", nullptr },
    { 2, 0, -12.0f, 12.0f, 0.0f, "High Gain", "dB", "High shelf gain", nullptr },
    { 3, 0, 20.0f, 1000.0f, 100.0f, "Low Freq", "Hz", "Low shelf split frequency", nullptr },
    { 4, 0, -36.0f, 36.0f, 0.0f, "Low Gain", "dB", "Low shelf gain", nullptr },
};

const ParameterDescriptor stereoMacro { 0, 0, 0.0f, 1.0f, 0.0f, "STEREO", "%",
    "Stereo algoritm amount. This parameter is not neccessary reflecting the stereo spread.", nullptr };

// How much the mid is lowered per dB the side is raised, per region, to keep the loudness steady.
constexpr float midLowFraction = -0.1f;
constexpr float midHighFraction = -0.37f;
constexpr float midSidesFraction = -0.37f;
} // namespace

MSStereo::MSStereo()
{
    initialiseParameters (stereoParameters, 5, parameterValues);
    setMacroValue (0, 0.0f);
    updateGains();
    setSampleRate (44100.0f);
}

ParameterDescriptor MSStereo::getMacroDescriptor (int32_t /*index*/) const
{
    return stereoMacro;
}

const char* MSStereo::getMacroName (int32_t /*index*/) const
{
    return "Stereo Width";
}

void MSStereo::reset()
{
    midSideChains.reset();
    compensationChains.reset();
}

void MSStereo::setSampleRate (float newSampleRate)
{
    if (newSampleRate == sampleRate)
        return;

    sampleRate = newSampleRate;
    reset();
    designCrossovers();
}

void MSStereo::designCrossovers() noexcept
{
    // The defaults are applied before the constructor's first rate; there is nothing to design then.
    if (sampleRate <= 0.0f)
        return;

    midSideChains.design (lowFrequency, middleCrossover, highFrequency, sampleRate);
    compensationChains.design (lowFrequency, middleCrossover, highFrequency, sampleRate);
}

void MSStereo::updateGains() noexcept
{
    const float a = bypassed ? 0.0f : amount;
    const auto g = [a] (float decibels) { return std::exp (decibels * a * decibelsToGainFactor); };

    sideBandGains = FloatVector4 (g (lowGainDb), 1.0f, 1.0f, g (highGainDb));
    midBandGains = FloatVector4 (g (midLowFraction * lowGainDb), 1.0f, 1.0f, g (midHighFraction * highGainDb));
    midGain = g (midSidesFraction * sidesGainDb);
    sideGain = g (sidesGainDb);
}

void MSStereo::applyParameter (int32_t index, float value)
{
    switch (index)
    {
        case 0: sidesGainDb = value; updateGains(); break;
        case 1: highFrequency = value; designCrossovers(); break;
        case 2: highGainDb = value; updateGains(); break;
        case 3: lowFrequency = value; designCrossovers(); break;
        default: lowGainDb = value; updateGains(); break;
    }
}

void MSStereo::setMacroValue (int32_t /*index*/, float value)
{
    if (value == macroValue)
        return;

    macroValue = value;
    amount = value;
    updateGains();
}

void MSStereo::setBypassed (bool shouldBeBypassed)
{
    if (shouldBeBypassed == bypassed)
        return;

    bypassed = shouldBeBypassed;
    updateGains();
}

bool MSStereo::processFrame (float* frame, int32_t numChannels)
{
    // Mid and side need a pair; a mono frame passes through as it is.
    if (numChannels != 2)
        return false;

    const float mid = frame[0] + frame[1];
    const float side = frame[0] - frame[1];

    FloatVector4 midBands, sideBands;
    midSideChains.split (mid, side, midBands, sideBands);

    const float midOut = (midBands * midBandGains).sum() * midGain;
    const float sideOut = (sideBands * sideBandGains).sum() * sideGain;

    frame[0] = (midOut + sideOut) * 0.5f;
    frame[1] = (midOut - sideOut) * 0.5f;
    return true;
}

bool MSStereo::processCompensation (float* frame, int32_t numChannels, bool /*withDelay*/)
{
    if (numChannels > 2)
        return false;

    // A mono frame is not processed by processFrame, so the path that aligns with it must not be
    // phase-shifted either; all-passing it here would comb-filter the sum of the two paths.
    if (numChannels == 1)
        return true;

    FloatVector4 left, right;
    compensationChains.split (frame[0], frame[1], left, right);
    frame[0] = left.sum();
    frame[1] = right.sum();

    return true;
}
