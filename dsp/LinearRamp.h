#pragma once

#include <cmath>
#include <cstdint>

/** A per-sample linear ramp towards a target value.

    Used for the processor's gains and the multiband band gains: a new target starts a ramp of
    `length` samples from the current value; setting the same target again leaves a ramp in
    progress alone, so once-per-block parameter pushes never restart it.
*/
struct LinearRamp
{
    float current = 0.0f;
    float target = 0.0f;
    float step = 0.0f;
    int32_t remaining = 0;
    int32_t length = 256;

    /** Jumps to a value with no ramp in progress. */
    void initialise (float value) noexcept
    {
        current = target = value;
        step = 0.0f;
        remaining = 0;
        length = 256;
    }

    /** Starts a ramp of `length` samples towards a new target; an equal target changes nothing. */
    void setTarget (float newTarget) noexcept
    {
        if (newTarget == target && ! std::isnan (newTarget))
            return;

        target = newTarget;
        remaining = length;
        step = (newTarget - current) / (float) length;
    }

    /** Advances by one sample and returns the ramp's value for it. */
    float next() noexcept
    {
        if (remaining < 1)
            return target;

        --remaining;
        current += step;
        return current;
    }
};
