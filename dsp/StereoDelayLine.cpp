#include "StereoDelayLine.h"

#include <algorithm>

StereoDelayLine::StereoDelayLine (int32_t initialReadIndex)
    : buffer (new float[2 * capacity]()),
      readIndex (initialReadIndex)
{
}

void StereoDelayLine::setDelay (int32_t frames) noexcept
{
    delayLength = std::clamp (frames, 0, capacity - 1);
    readIndex = writeIndex - delayLength;

    if (readIndex < 0)
        readIndex += capacity;
}

void StereoDelayLine::clear() noexcept
{
    std::fill (buffer.get(), buffer.get() + 2 * capacity, 0.0f);
}
