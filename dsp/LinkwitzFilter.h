#pragma once

#include "FloatVector4.h"

#include <cmath>
#include <type_traits>

/** Coefficients of one bilinear-transform second-order Butterworth section, low-pass and high-pass
    sharing the same poles, for the direct form II step of `LinkwitzSection`.

    With K = tan(pi f / fs) and D = K^2 + sqrt2 K + 1 the section computes
    w = x + c1 w1 + c2 w2 and y = b0 (w + k w1 + w2), so c1 and c2 are the negated denominator
    coefficients, the low-pass has b0 = K^2 / D, k = 2 and the high-pass b0 = 1 / D, k = -2.
    Two of each in cascade are a fourth-order Linkwitz-Riley pair whose sum is an all-pass.
*/
struct LinkwitzCoefficients
{
    double c1 = 0.0;
    double c2 = 0.0;
    double lowPassGain = 0.0;
    double highPassGain = 0.0;

    static LinkwitzCoefficients forCutoff (double frequency, double sampleRate) noexcept
    {
        constexpr double pi = 3.14159265358979323846;
        constexpr double sqrt2 = 1.4142135623730951;

        const double k = std::tan (pi * frequency / sampleRate);
        const double kk = k * k;
        const double d = kk + sqrt2 * k + 1.0;

        LinkwitzCoefficients c;
        c.c1 = 2.0 * (1.0 - kk) / d;
        c.c2 = -(kk - sqrt2 * k + 1.0) / d;
        c.lowPassGain = kk / d;
        c.highPassGain = 1.0 / d;
        return c;
    }
};

namespace linkwitz_detail
{
template <typename Sample>
Sample fromDouble (double value) noexcept
{
    if constexpr (std::is_same_v<Sample, double>)
        return value;
    else
        return Sample::broadcast ((float) value);
}

/** Values between sections travel as float, as they would through a float signal path; the
    double form rounds them explicitly, the four-lane float form already is float. */
template <typename Sample>
Sample roundToFloat (Sample value) noexcept
{
    if constexpr (std::is_same_v<Sample, double>)
        return (double) (float) value;
    else
        return value;
}
} // namespace linkwitz_detail

/** One second-order Butterworth section in direct form II.

    `Sample` is double (the high-pass filter keeps its states in double, which a 10 Hz cutoff at
    high sample rates needs) or FloatVector4 (four channels side by side).
*/
template <typename Sample>
struct LinkwitzSection
{
    Sample c1 {}, c2 {}, b0 {}, k {};
    Sample w1 {}, w2 {};

    void setLowPass (const LinkwitzCoefficients& coefficients) noexcept
    {
        setPoles (coefficients);
        b0 = linkwitz_detail::fromDouble<Sample> (coefficients.lowPassGain);
        k = linkwitz_detail::fromDouble<Sample> (2.0);
    }

    void setHighPass (const LinkwitzCoefficients& coefficients) noexcept
    {
        setPoles (coefficients);
        b0 = linkwitz_detail::fromDouble<Sample> (coefficients.highPassGain);
        k = linkwitz_detail::fromDouble<Sample> (-2.0);
    }

    Sample process (Sample x) noexcept
    {
        const Sample w = x + c1 * w1 + c2 * w2;
        const Sample y = b0 * (w + k * w1 + w2);
        w2 = w1;
        w1 = w;
        return y;
    }

    void reset() noexcept { w1 = w2 = Sample {}; }

private:
    void setPoles (const LinkwitzCoefficients& coefficients) noexcept
    {
        c1 = linkwitz_detail::fromDouble<Sample> (coefficients.c1);
        c2 = linkwitz_detail::fromDouble<Sample> (coefficients.c2);
    }
};

/** A fourth-order Linkwitz-Riley pair: two low-pass and two high-pass sections at one cutoff.

    The high-pass filter uses the high half as its filter and the sum of both halves as the
    all-pass that gives a parallel path the same phase; the equaliser uses both halves as its
    high split.
*/
template <typename Sample>
struct LinkwitzFilter
{
    LinkwitzSection<Sample> lowPass1, lowPass2, highPass1, highPass2;

    /** Designs only the high-pass half (a filter that never produces the low half). */
    void designHighPass (const LinkwitzCoefficients& coefficients) noexcept
    {
        highPass1.setHighPass (coefficients);
        highPass2.setHighPass (coefficients);
    }

    void designBoth (const LinkwitzCoefficients& coefficients) noexcept
    {
        lowPass1.setLowPass (coefficients);
        lowPass2.setLowPass (coefficients);
        designHighPass (coefficients);
    }

    Sample highPass (Sample x) noexcept
    {
        return linkwitz_detail::roundToFloat (highPass2.process (linkwitz_detail::roundToFloat (highPass1.process (x))));
    }

    Sample lowPass (Sample x) noexcept
    {
        return linkwitz_detail::roundToFloat (lowPass2.process (linkwitz_detail::roundToFloat (lowPass1.process (x))));
    }

    void reset() noexcept
    {
        lowPass1.reset();
        lowPass2.reset();
        highPass1.reset();
        highPass2.reset();
    }
};
