#include "Distortion.h"

namespace
{
const ParameterDescriptor distortionParameters[] = {
    { 0, 0, 20.0f, 10000.0f, 100.0f, "Crossover 1", "Hz", "", nullptr },
    { 1, 0, 20.0f, 10000.0f, 1000.0f, "Crossover 2", "Hz", "", nullptr },
    { 2, 0, 20.0f, 10000.0f, 7000.0f, "Crossover 3", "Hz", "", nullptr },
    { 3, 0, 0.0f, 1.0f, 1.0f, "Mix", "", "", nullptr },
    { 4, 0, -36.0f, 36.0f, 0.0f, "Gain Band 1", "dB", "", nullptr },
    { 5, 0, -36.0f, 36.0f, 0.0f, "Gain Band 2", "dB", "", nullptr },
    { 6, 0, -36.0f, 36.0f, 0.0f, "Gain Band 3", "dB", "", nullptr },
    { 7, 0, -36.0f, 36.0f, 0.0f, "Gain Band 4", "dB", "", nullptr },
    { 8, 0, -36.0f, 36.0f, 0.0f, "Input Gain", "dB", "", nullptr },
    { 9, 0, -36.0f, 36.0f, 0.0f, "Output Gain", "dB", "", nullptr },
};

const ParameterDescriptor distortionMacro { 0, 0, 0.0f, 1.0f, 0.0f, "DIST", "%", "Distortion amount.", nullptr };
} // namespace

Distortion::Distortion()
{
    initialiseParameters (distortionParameters, 10, parameterValues);
    setMacroValue (0, 0.0f);
    updateGains();
    setSampleRate (44100.0f);
}

ParameterDescriptor Distortion::getMacroDescriptor (int32_t /*index*/) const
{
    return distortionMacro;
}

const char* Distortion::getMacroName (int32_t /*index*/) const
{
    return "Dist Amount";
}

void Distortion::reset()
{
    mainChains.reset();
    compensationChains.reset();
}

void Distortion::setSampleRate (float newSampleRate)
{
    if (newSampleRate == sampleRate)
        return;

    sampleRate = newSampleRate;
    designCrossovers();
    reset();
}

void Distortion::designCrossovers() noexcept
{
    // The defaults are applied before the constructor's first rate; there is nothing to design then.
    if (sampleRate <= 0.0f)
        return;

    mainChains.design (crossover1, crossover2, crossover3, sampleRate);
    compensationChains.design (crossover1, crossover2, crossover3, sampleRate);
}

float Distortion::scaledGain (float decibels) const noexcept
{
    return std::exp (decibels * amount * decibelsToGainFactor);
}

void Distortion::updateGains() noexcept
{
    inputGain = scaledGain (inputGainDb);
    outputGain = scaledGain (outputGainDb);
    bandGains = FloatVector4 (scaledGain (bandGainDb[0]), scaledGain (bandGainDb[1]),
                              scaledGain (bandGainDb[2]), scaledGain (bandGainDb[3]));
}

void Distortion::applyParameter (int32_t index, float value)
{
    switch (index)
    {
        case 0: crossover1 = value; designCrossovers(); return;
        case 1: crossover2 = value; designCrossovers(); return;
        case 2: crossover3 = value; designCrossovers(); return;
        case 3: mix = value; return;
        case 8: inputGainDb = value; break;
        case 9: outputGainDb = value; break;
        default: bandGainDb[index - 4] = value; break;
    }

    updateGains();
}

void Distortion::setMacroValue (int32_t /*index*/, float value)
{
    if (value == amount)
        return;

    amount = value;
    updateGains();
}

float Distortion::processChannel (FloatVector4 bands) const noexcept
{
    alignas (16) float driven[4];
    (bands * FloatVector4::broadcast (inputGain) * bandGains).store (driven);

    const float wet = (((saturate (driven[0]) + saturate (driven[1])) + saturate (driven[2])) + saturate (driven[3])) * outputGain;
    const float dry = bands.sum();
    return dry * (1.0f - mix) + wet * mix;
}

bool Distortion::processFrame (float* frame, int32_t numChannels)
{
    if (numChannels > 2)
        return false;

    // An empty frame has no left channel to read or write.
    if (numChannels < 1)
        return true;

    const float left = frame[0];
    const float right = numChannels == 2 ? frame[1] : left;
    FloatVector4 leftBands, rightBands;
    mainChains.split (left, right, leftBands, rightBands);

    if (bypassed)
    {
        frame[0] = leftBands.sum();
        if (numChannels == 2)
            frame[1] = rightBands.sum();
        return true;
    }

    frame[0] = processChannel (leftBands);
    if (numChannels == 2)
        frame[1] = processChannel (rightBands);

    return true;
}

bool Distortion::processCompensation (float* frame, int32_t numChannels, bool /*withDelay*/)
{
    if (numChannels > 2)
        return false;

    if (numChannels == 2)
    {
        FloatVector4 left, right;
        compensationChains.split (frame[0], frame[1], left, right);
        frame[0] = left.sum();
        frame[1] = right.sum();
    }
    else if (numChannels == 1)
    {
        frame[0] = compensationChains.splitFirst (frame[0]).sum();
    }

    return true;
}
