#include "HPFilter.h"

namespace
{
const ParameterDescriptor hpFilterParameters[] = {
    { 0, 0, 10.0f, 80.0f, 30.0f, "Cutoff", "Hz", "HP Filter", nullptr },
};
} // namespace

HPFilter::HPFilter()
{
    initialiseParameters (hpFilterParameters, 1, parameterValues);
    setSampleRate (44100.0f);
}

void HPFilter::reset()
{
    rampLength = glideLength;
    cutoffIncrement = 0.0f;
    rampRemaining = 0;
    currentCutoff = targetCutoff;

    for (int channel = 0; channel < 2; ++channel)
    {
        mainFilters[channel].reset();
        compensationFilters[channel].reset();
    }

    // Designed here rather than on the next frame so that the compensation path is a proper
    // all-pass even when it runs before the first processed frame.
    if (sampleRate > 0.0f)
        designFilters (currentCutoff);
}

void HPFilter::setSampleRate (float newSampleRate)
{
    if (newSampleRate == sampleRate)
        return;

    sampleRate = newSampleRate;
    reset();
}

void HPFilter::designFilters (float cutoff) noexcept
{
    designedCutoff = cutoff;

    // One tangent serves all twelve sections: they share the cutoff and the rate.
    const auto coefficients = LinkwitzCoefficients::forCutoff ((double) cutoff, (double) sampleRate);

    for (int channel = 0; channel < 2; ++channel)
    {
        mainFilters[channel].designHighPass (coefficients);
        compensationFilters[channel].designBoth (coefficients);
    }
}

void HPFilter::applyParameter (int32_t /*index*/, float value)
{
    if (value == targetCutoff)
        return;

    targetCutoff = value;
    rampRemaining = rampLength;
    cutoffIncrement = (targetCutoff - currentCutoff) / (float) rampLength;
}

bool HPFilter::processFrame (float* frame, int32_t numChannels)
{
    if (numChannels > 2)
        return false;

    float cutoff = targetCutoff;

    if (rampRemaining > 0)
    {
        // The last step lands on the target itself: accumulated float increments would otherwise
        // stop a rounding error short and leave one more redesign for the frame after.
        currentCutoff = --rampRemaining == 0 ? targetCutoff : currentCutoff + cutoffIncrement;
        cutoff = currentCutoff;
    }

    if (cutoff != designedCutoff)
        designFilters (cutoff);

    if (bypassed)
        return true;

    for (int32_t channel = 0; channel < numChannels; ++channel)
        frame[channel] = (float) mainFilters[channel].highPass ((double) frame[channel]);

    return true;
}

bool HPFilter::processCompensation (float* frame, int32_t numChannels, bool /*withDelay*/)
{
    if (numChannels > 2)
        return false;

    if (bypassed)
        return true;

    for (int32_t channel = 0; channel < numChannels; ++channel)
    {
        auto& filter = compensationFilters[channel];
        const double x = (double) frame[channel];
        const float low = (float) filter.lowPass (x);
        const float high = (float) filter.highPass (x);
        frame[channel] = low + high;
    }

    return true;
}
