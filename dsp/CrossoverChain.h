#pragma once

#include "FloatVector4.h"

/** Four second-order filters run side by side in transposed direct form II, one per lane. */
struct CrossoverSection
{
    FloatVector4 b0, b1, b2, a1, a2;
    FloatVector4 s1, s2;

    FloatVector4 process (FloatVector4 x) noexcept
    {
        const FloatVector4 y = b0 * x + s1;
        s1 = b1 * x - a1 * y + s2;
        s2 = b2 * x - a2 * y;
        return y;
    }

    void reset() noexcept { s1 = s2 = FloatVector4(); }

    /** Butterworth low-pass in lanes 0 and 2 and high-pass in lanes 1 and 3 (Q = 1/sqrt 2). */
    void designSplit (const float frequency[4], float sampleRate) noexcept;

    /** Second-order all-pass (Q = 1/sqrt 2) in every lane. */
    void designAllPass (const float frequency[4], float sampleRate) noexcept;
};

/** The four-band Linkwitz-Riley crossover tree for one channel.

    Stages 1 and 2 split the signal at the middle crossover (a fourth-order Linkwitz-Riley pair);
    stage 3 all-passes the low half at the upper crossover and the high half at the lower one;
    stages 4 and 5 split each half again. The four bands therefore sum to an all-pass, which is
    what lets every module that uses this tree offer a phase-matched compensation path.
*/
class CrossoverChain
{
public:
    /** Designs all five stages for the three crossover frequencies (lower, middle, upper). */
    void design (float lowerCrossover, float middleCrossover, float upperCrossover, float sampleRate) noexcept;

    /** Clears the filter states. */
    void reset() noexcept;

    /** Splits one sample into the four bands, lane 0 the lowest. */
    FloatVector4 split (float x) noexcept
    {
        FloatVector4 halves = stages[2].process (stages[1].process (stages[0].process (FloatVector4::broadcast (x))));
        return stages[4].process (stages[3].process (halves.duplicateLowPairs()));
    }

private:
    CrossoverSection stages[5];
};
