#include "CrossoverChain.h"

#include <cmath>

namespace
{
constexpr double pi = 3.14159265358979323846;
constexpr double inverseQ = 1.4142135623730951; // 1 / Q for Q = 1/sqrt 2

void setLanes (FloatVector4& vector, const double lanes[4]) noexcept
{
    vector = FloatVector4 ((float) lanes[0], (float) lanes[1], (float) lanes[2], (float) lanes[3]);
}
} // namespace

void CrossoverSection::designSplit (const float frequency[4], float sampleRate) noexcept
{
    double c0[4], c1[4], c2[4], d1[4], d2[4];

    for (int lane = 0; lane < 4; ++lane)
    {
        // Bilinear-transform Butterworth, written over the common denominator K^2 + K/Q + 1 so that
        // the low-pass and high-pass lanes share their poles, which is what makes the split sum
        // to an all-pass.
        const double k = std::tan (pi * (double) frequency[lane] / (double) sampleRate);
        const double r = 1.0 / (k * k + k * inverseQ + 1.0);
        const bool lowPass = (lane % 2) == 0;

        d1[lane] = (float) (2.0 * (k * k - 1.0) * r);
        d2[lane] = (float) ((k * k - k * inverseQ + 1.0) * r);

        // At low cutoffs 1 + a1 + a2 is a small difference of nearly equal numbers, so the
        // low-pass gain at DC would depend on how a1 and a2 happened to round to float. Taking the
        // low-pass numerator from the rounded poles keeps that gain exactly 1, and the band sum flat.
        c0[lane] = lowPass ? (1.0 + d1[lane] + d2[lane]) * 0.25 : (1.0 - d1[lane] + d2[lane]) * 0.25;
        c1[lane] = lowPass ? 2.0 * c0[lane] : -2.0 * c0[lane];
        c2[lane] = c0[lane];
    }

    setLanes (b0, c0);
    setLanes (b1, c1);
    setLanes (b2, c2);
    setLanes (a1, d1);
    setLanes (a2, d2);
}

void CrossoverSection::designAllPass (const float frequency[4], float sampleRate) noexcept
{
    double c0[4], c1[4], ones[4];

    for (int lane = 0; lane < 4; ++lane)
    {
        const double t = 1.0 / std::tan (pi * (double) frequency[lane] / (double) sampleRate);
        const double w = 1.0 / (1.0 + inverseQ * t + t * t);
        c0[lane] = (1.0 - inverseQ * t + t * t) * w;
        c1[lane] = 2.0 * (1.0 - t * t) * w;
        ones[lane] = 1.0;
    }

    setLanes (b0, c0);
    setLanes (b1, c1);
    setLanes (b2, ones);
    setLanes (a1, c1);
    setLanes (a2, c0);
}

void CrossoverChain::design (float lowerCrossover, float middleCrossover, float upperCrossover, float sampleRate) noexcept
{
    const float middle[4] = { middleCrossover, middleCrossover, middleCrossover, middleCrossover };
    const float allPass[4] = { upperCrossover, lowerCrossover, upperCrossover, lowerCrossover };
    const float outer[4] = { lowerCrossover, lowerCrossover, upperCrossover, upperCrossover };

    stages[0].designSplit (middle, sampleRate);
    stages[1].designSplit (middle, sampleRate);
    stages[2].designAllPass (allPass, sampleRate);
    stages[3].designSplit (outer, sampleRate);
    stages[4].designSplit (outer, sampleRate);
}

void CrossoverChain::reset() noexcept
{
    for (auto& stage : stages)
        stage.reset();
}

void StereoCrossoverChain::design (float lowerCrossover, float middleCrossover, float upperCrossover, float sampleRate) noexcept
{
    // Lanes as in CrossoverChain::design; its stages 1 to 3 already repeat lanes 0 and 1 in 2 and 3.
    const float middle[4] = { middleCrossover, middleCrossover, middleCrossover, middleCrossover };
    const float allPass[4] = { upperCrossover, lowerCrossover, upperCrossover, lowerCrossover };
    const float outerSplit[4] = { lowerCrossover, lowerCrossover, upperCrossover, upperCrossover };

    shared[0].designSplit (middle, sampleRate);
    shared[1].designSplit (middle, sampleRate);
    shared[2].designAllPass (allPass, sampleRate);

    for (auto& channel : outer)
    {
        channel[0].designSplit (outerSplit, sampleRate);
        channel[1].designSplit (outerSplit, sampleRate);
    }
}

void StereoCrossoverChain::reset() noexcept
{
    for (auto& stage : shared)
        stage.reset();

    for (auto& channel : outer)
        for (auto& stage : channel)
            stage.reset();
}

FloatVector4 StereoCrossoverChain::splitFirst (float x) noexcept
{
    const FloatVector4 halves = shared[2].processLowPair (shared[1].processLowPair (shared[0].processLowPair (FloatVector4::broadcast (x))));
    return outer[0][1].process (outer[0][0].process (halves.duplicateLowPairs()));
}
