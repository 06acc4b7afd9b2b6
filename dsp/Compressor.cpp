#include "Compressor.h"

namespace
{
const ParameterDescriptor compressorParameters[Compressor::numParameters] = {
    { 0, 0, -48.0f, 18.0f, 0.0f, "Threshold", "dB", "", nullptr },
    { 1, 0, 0.001f, 0.2f, 0.05f, "Attack", "s", "", nullptr },
    { 2, 0, 0.001f, 0.5f, 0.15f, "Release", "s", "", nullptr },
    { 3, 0, 1.0f, 16.0f, 2.0f, "Ratio", "", "", nullptr },
    { 4, 0, 0.0f, 18.0f, 2.0f, "Knee", "dB", "", nullptr },
    { 5, 0, 0.0f, 24.0f, 0.0f, "Makeup", "dB", "", nullptr },
    { 6, 0, 0.0f, 1.0f, 0.0f, "Autorelease", "%", "", nullptr },
    { 7, 0, 0.0f, 0.02f, 0.0f, "Lookahead", "s", "", nullptr },
};

const ParameterDescriptor compressorMacro { 0, 0, 0.0f, 1.0f, 0.0f, "COMP", "%", "Compression amount.", nullptr };
} // namespace

Compressor::Compressor()
{
    // The core starts from these settings; the parameter defaults below replace most of them.
    core.setRatio (2.0f);
    core.setThresholdDb (0.0f);
    core.setKneeDb (2.0f);
    core.setAttackTime (0.005f);
    core.setReleaseTime (0.01f);
    core.setMakeupDb (0.0f);

    initialiseParameters (compressorParameters, numParameters, parameterValues);
    setMacroValue (0, 0.0f);
    setSampleRate (44100.0f);
}

int32_t Compressor::getLatencySamples() const
{
    return core.getDelayLength();
}

void Compressor::reset()
{
    clearCompensationDelay();
    core.clearDelay();
}

void Compressor::setSampleRate (float rate)
{
    if (rate == sampleRate)
        return;

    sampleRate = rate;
    core.setSampleRate ((int32_t) rate);
    setCompensationDelay (getLatencySamples());
    reset();
}

bool Compressor::processFrame (float* frame, int32_t numChannels)
{
    if (numChannels > 2)
        return false;

    if (numChannels < 1)
        return true;

    const CompressorCore::Output out = processStereo (frame[0], numChannels == 2 ? frame[1] : frame[0]);
    frame[0] = out.left;

    if (numChannels == 2)
        frame[1] = out.right;

    return true;
}

Frame Compressor::processFrameCopy (const float* input, int32_t numChannels)
{
    if (numChannels < 1)
        return {};

    // A mono input feeds both channels.
    Frame frame;
    for (int32_t slot = 0; slot < 4; ++slot)
        frame.values[slot] = input[slot % numChannels];

    return processStereoFrameCopy (frame);
}

Frame Compressor::processStereoFrameCopy (Frame input)
{
    const float left = input.values[0];
    const float right = input.values[1];
    const CompressorCore::Output out = processStereo (left, right);

    Frame result;
    result.values[0] = out.left;
    result.values[1] = out.right;
    result.values[2] = left;
    result.values[3] = right;
    return result;
}

ParameterDescriptor Compressor::getMacroDescriptor (int32_t) const
{
    return compressorMacro;
}

const char* Compressor::getMacroName (int32_t) const
{
    return "Comp Amount";
}

void Compressor::setMacroValue (int32_t, float value)
{
    if (value == macroValue)
        return;

    macroValue = value;
    amount = value;
    updateThresholdAndMakeup();
    updateKnee();
}

float Compressor::getMacroValue (int32_t) const
{
    return macroValue;
}

void Compressor::setBypassed (bool shouldBeBypassed)
{
    if (shouldBeBypassed == bypassed)
        return;

    bypassed = shouldBeBypassed;
    updateThresholdAndMakeup();
}

void Compressor::updateThresholdAndMakeup() noexcept
{
    core.setThresholdDb (bypassed ? 144.0f : thresholdParam * amount);
    core.setMakeupDb (bypassed ? 0.0f : makeupParam * amount);
}

void Compressor::updateKnee() noexcept
{
    core.setKneeDb (kneeParam * amount);
}

void Compressor::applyParameter (int32_t index, float value)
{
    switch (index)
    {
        case thresholdIndex:
            thresholdParam = value;
            core.setThresholdDb (bypassed ? 144.0f : thresholdParam * amount);
            break;
        case attackIndex:    core.setAttackTime (value); break;
        case releaseIndex:   core.setReleaseTime (value); break;
        case ratioIndex:     core.setRatio (value); break;
        case kneeIndex:      kneeParam = value; updateKnee(); break;
        case makeupIndex:
            makeupParam = value;
            core.setMakeupDb (bypassed ? 0.0f : makeupParam * amount);
            break;
        case autoreleaseIndex: autoRelease = value > 0.5f; break;
        case lookaheadIndex:   core.setLookaheadTime (value); break;
        default: break;
    }
}
