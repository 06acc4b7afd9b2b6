#pragma once

#include <cmath>
#include <cstdint>

/** Static description of one parameter: its range, default, names and, for switches, its labels.

    Every parameter in the system is stored as a normalised value 0..1 that maps linearly onto
    [minimum, maximum]. For kind 0 the range fields are floats; for any other kind they are integers
    that are converted to float before use (kind 2 is an on/off switch with choice labels).
*/
struct ParameterDescriptor
{
    int32_t index = 0;
    int32_t kind = 0;
    float minimum = 0.0f;
    float maximum = 0.0f;
    float defaultValue = 0.0f;
    const char* name = nullptr;
    const char* unit = nullptr;
    const char* description = nullptr;
    const char* const* labels = nullptr;

    /** Maps a normalised value onto the parameter's own unit (no clamping, no skew). */
    float toRealValue (float normalised) const noexcept
    {
        return minimum + (maximum - minimum) * normalised;
    }

    /** The normalised position of the default value. */
    float normalisedDefault() const noexcept
    {
        return (defaultValue - minimum) / (maximum - minimum);
    }
};

/** ln(10) / 20: decibels times this factor is the natural logarithm of the linear gain. */
constexpr float decibelsToGainFactor = 0.115129255f;

/** Decibels to linear gain, computed as exp (dB * ln(10) / 20). */
inline float decibelsToGain (float decibels) noexcept
{
    return std::exp (decibels * decibelsToGainFactor);
}
