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

    /** `process` that updates the state of lanes 0 and 1 only; lanes 2 and 3 keep theirs. */
    FloatVector4 processLowPair (FloatVector4 x) noexcept
    {
        const FloatVector4 keep1 = s1, keep2 = s2;
        const FloatVector4 y = process (x);
        s1 = FloatVector4::lowPairThenHighPair (s1, keep1);
        s2 = FloatVector4::lowPairThenHighPair (s2, keep2);
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

/** Two channels' crossover trees with their first three stages in one set of vectors.

    In a single `CrossoverChain` stages 1 to 3 compute lanes 2 and 3 as copies of lanes 0 and 1.
    Here those lanes carry the second channel instead, with the same coefficients and therefore
    the same arithmetic per lane: each channel's bands come out exactly as from a `CrossoverChain`
    of its own, for about two thirds of the work.
*/
class StereoCrossoverChain
{
public:
    /** Designs both channels' trees for the three crossover frequencies (lower, middle, upper). */
    void design (float lowerCrossover, float middleCrossover, float upperCrossover, float sampleRate) noexcept;

    /** Clears the filter states of both channels. */
    void reset() noexcept;

    /** Splits one sample of each channel into its four bands, lane 0 the lowest. */
    void split (float left, float right, FloatVector4& leftBands, FloatVector4& rightBands) noexcept
    {
        const FloatVector4 halves = shared[2].process (shared[1].process (shared[0].process (FloatVector4 (left, left, right, right))));
        leftBands = outer[0][1].process (outer[0][0].process (halves.duplicateLowPairs()));
        rightBands = outer[1][1].process (outer[1][0].process (halves.duplicateHighPairs()));
    }

    /** Splits a sample of the first channel only; the second channel's state is left as it was.
        Out of line: it serves mono frames only, and inlined next to `split` it leads the compiler
        to load both paths' coefficients up front, which slows the stereo path. */
    FloatVector4 splitFirst (float x) noexcept;

private:
    CrossoverSection shared[3];     // lanes 0, 1: first channel; lanes 2, 3: second channel
    CrossoverSection outer[2][2];   // per channel, the splits of the two halves
};
