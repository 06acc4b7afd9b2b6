#include "DSPModule.h"

#include <cassert>

DSPModule::DSPModule()
    : compensationDelay (0)
{
}

Frame DSPModule::processFrameCopy (const float* input, int32_t numChannels)
{
    Frame frame;

    for (int32_t channel = 0; channel < numChannels && channel < 4; ++channel)
        frame.values[channel] = input[channel];

    processFrame (frame.values, numChannels);
    return frame;
}

Frame DSPModule::processStereoFrameCopy (Frame input)
{
    return processFrameCopy (input.values, 2);
}

void DSPModule::delayFrame (float* frame, int32_t numChannels)
{
    float left = frame[0];
    float right = numChannels >= 2 ? frame[1] : frame[0];
    compensationDelay.process (left, right);

    frame[0] = left;

    if (numChannels >= 2)
        frame[1] = right;
}

bool DSPModule::processCompensation (float* frame, int32_t numChannels, bool withDelay)
{
    if (numChannels <= 2 && withDelay && compensationDelay.getDelay() > 0)
        delayFrame (frame, numChannels);

    return numChannels < 3;
}

const float* DSPModule::getParameterValues (size_t* outBytes) const
{
    if (outBytes != nullptr)
        *outBytes = sizeof (float) * (size_t) getNumParameters();

    return normalisedValues;
}

void DSPModule::setParameterValues (const float* values)
{
    for (int32_t index = 0; index < getNumParameters(); ++index)
        setParameter (index, values[index]);
}

void DSPModule::pushMeterValue (float value)
{
    raiseHeldValue (meterValue, value);
}

float DSPModule::getAndResetMeterValue (int32_t /*band*/)
{
    return meterValue.exchange (0.0f, std::memory_order_relaxed);
}

void DSPModule::setParameter (int32_t index, float normalised)
{
    if (normalised == requestedValues[index].load (std::memory_order_relaxed))
        return;

    requestedValues[index].store (normalised, std::memory_order_relaxed);

    if (deferChanges)
    {
        pendingChanges.fetch_or (uint64_t { 1 } << index, std::memory_order_release);
        return;
    }

    applyNormalised (index, normalised);
}

void DSPModule::applyPendingParameters() noexcept
{
    if (pendingChanges.load (std::memory_order_relaxed) == 0)
        return;

    uint64_t pending = pendingChanges.exchange (0, std::memory_order_acquire);

    for (int32_t index = 0; pending != 0; ++index, pending >>= 1)
        if ((pending & 1) != 0)
            applyNormalised (index, requestedValues[index].load (std::memory_order_relaxed));
}

void DSPModule::applyNormalised (int32_t index, float normalised)
{
    normalisedValues[index] = normalised;
    applyParameter (index, parameterTable[index].toRealValue (normalised));
}

void DSPModule::initialiseParameters (const ParameterDescriptor* table, int32_t count, float* storage)
{
    parameterTable = table;
    parameterCount = count;
    normalisedValues = storage;

    assert (count <= maxParameters);

    for (int32_t index = 0; index < count; ++index)
    {
        normalisedValues[index] = -1.0f;
        requestedValues[index].store (-1.0f, std::memory_order_relaxed);
        setParameter (index, table[index].normalisedDefault());
    }
}
