#pragma once

#include "DSPModule.h"
#include "ModuleTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace dynamics_testing
{

/** Sets every detailed parameter from a list of real values in table order. */
inline void applyRealValues (DSPModule& module, const std::vector<float>& realValues)
{
    for (size_t i = 0; i < realValues.size(); ++i)
        module.setParameter ((int32_t) i, normalisedFor (module, (int32_t) i, realValues[i]));
}

/** The factory "default" styles of the dynamics modules, as real values in table order. */
inline const std::vector<float> preCompDefaultStyle { -28.86f, 0.1066f, 0.05926f, 2.156f, 2.0f, 6.918f, 1.0f, 0.02f };

inline const std::vector<float> multibandDefaultStyle {
    -41.96f, 0.08637f, 0.07445f, 3.383f, 3.129f, 8.075f, 1.0f, 0.02f,
    -40.23f, 0.06963f, 0.15f,    3.972f, 3.262f, 4.778f, 1.0f, 0.02f,
    -39.97f, 0.06498f, 0.3746f,  3.425f, 3.464f, 8.311f, 1.0f, 0.02f,
    -41.89f, 0.01262f, 0.15f,    2.675f, 4.473f, 7.065f, 1.0f, 0.02f,
    109.5f, 1199.0f, 8211.0f
};

inline const std::vector<float> limiterDefaultStyle { 0.1855f, -0.1005f };

/** The settled gain of the soft-knee compressor law in dB, computed independently in double:
    threshold, knee and makeup are scaled by the amount. */
inline double softKneeGainDb (double threshold, double knee, double ratio, double makeup, double amount, double inputDb)
{
    const double t = threshold * amount, w = knee * amount, m = makeup * amount;
    const double s = 1.0 / ratio - 1.0;
    double f = 0.0;

    if (inputDb >= t + w / 2.0)
        f = s * (inputDb - t);
    else if (inputDb >= t - w / 2.0)
        f = s * (inputDb - t + w / 2.0) * (inputDb - t + w / 2.0) / (2.0 * w);

    return m + f;
}

struct StereoSignal
{
    std::vector<float> left, right;
    size_t size() const { return left.size(); }
};

/** Runs a stereo signal through a module frame by frame. */
inline StereoSignal process (DSPModule& module, const StereoSignal& input)
{
    StereoSignal output { std::vector<float> (input.size()), std::vector<float> (input.size()) };

    for (size_t n = 0; n < input.size(); ++n)
    {
        float frame[2] = { input.left[n], input.right[n] };
        module.processFrame (frame, 2);
        output.left[n] = frame[0];
        output.right[n] = frame[1];
    }

    return output;
}

/** Deterministic white noise in -amplitude .. amplitude. */
class Noise
{
public:
    explicit Noise (uint32_t seed) : state (seed) {}

    float next (float amplitude)
    {
        state = state * 1664525u + 1013904223u;
        return amplitude * ((float) (state >> 8) / 8388608.0f - 1.0f);
    }

private:
    uint32_t state;
};

inline StereoSignal noise (size_t length, float amplitude, uint32_t seed)
{
    Noise generator (seed);
    StereoSignal signal { std::vector<float> (length), std::vector<float> (length) };

    for (size_t n = 0; n < length; ++n)
    {
        signal.left[n] = generator.next (amplitude);
        signal.right[n] = generator.next (amplitude);
    }

    return signal;
}

inline StereoSignal constant (size_t length, float value)
{
    return { std::vector<float> (length, value), std::vector<float> (length, value) };
}

inline float peak (const std::vector<float>& samples, size_t from = 0, size_t to = SIZE_MAX)
{
    float largest = 0.0f;

    for (size_t n = from; n < samples.size() && n < to; ++n)
        largest = std::max (largest, std::fabs (samples[n]));

    return largest;
}

inline double rms (const std::vector<float>& samples, size_t from, size_t to)
{
    double sum = 0.0;

    for (size_t n = from; n < to; ++n)
        sum += (double) samples[n] * samples[n];

    return std::sqrt (sum / (double) (to - from));
}

inline bool allFinite (const std::vector<float>& samples)
{
    for (float x : samples)
        if (! std::isfinite (x))
            return false;

    return true;
}

} // namespace dynamics_testing
