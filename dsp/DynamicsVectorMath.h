#pragma once

#include "FloatVector4.h"

/** Four-lane logarithm and exponential for the multiband compressor's per-frame gain law.

    The band levels, gains and meters need one logarithm and two exponentials per frame for four
    bands at once; calling the library functions lane by lane would cost more than the whole
    crossover tree. These are range-reduced polynomial approximations (the classic single-precision
    minimax polynomials) built only from FloatVector4 operations, so the SSE and the scalar forms
    give the same results. Both are accurate to a few units in the last place, far inside the
    0.01 dB a gain computer needs; the tests prove this over the ranges the compressor uses.
*/
namespace dynamics_math
{

/** The clamp applied to an exponential's argument: keeps 2^n within the normal float exponents. */
constexpr float maximumExpArgument = 88.3762626647949f;

/** Natural logarithm of lanes holding positive normal floats (the caller masks other lanes). */
inline FloatVector4 logarithm (FloatVector4 x) noexcept
{
    FloatVector4 exponent;
    FloatVector4 m = FloatVector4::splitExponent (x, exponent); // x = m * 2^exponent, m in [0.5, 1)

    // Centre the mantissa on 1 (range sqrt(1/2) .. sqrt(2)) so the polynomial stays short.
    const FloatVector4 one = FloatVector4::broadcast (1.0f);
    const FloatVector4 belowRootHalf = FloatVector4::selectGreater (FloatVector4::broadcast (0.707106781186547524f), m, one, FloatVector4());
    exponent = exponent - belowRootHalf;
    m = m + m * belowRootHalf - one;

    const FloatVector4 z = m * m;
    FloatVector4 y = FloatVector4::broadcast (7.0376836292e-2f);
    y = y * m + FloatVector4::broadcast (-1.1514610310e-1f);
    y = y * m + FloatVector4::broadcast (1.1676998740e-1f);
    y = y * m + FloatVector4::broadcast (-1.2420140846e-1f);
    y = y * m + FloatVector4::broadcast (1.4249322787e-1f);
    y = y * m + FloatVector4::broadcast (-1.6668057665e-1f);
    y = y * m + FloatVector4::broadcast (2.0000714765e-1f);
    y = y * m + FloatVector4::broadcast (-2.4999993993e-1f);
    y = y * m + FloatVector4::broadcast (3.3333331174e-1f);
    y = y * m * z;

    // ln 2 split in two parts so that exponent * ln 2 adds without losing the polynomial's bits.
    y = y + exponent * FloatVector4::broadcast (-2.12194440e-4f);
    y = y - z * FloatVector4::broadcast (0.5f);
    return m + y + exponent * FloatVector4::broadcast (0.693359375f);
}

/** e^x with x clamped to +-maximumExpArgument. Results below the smallest normal float (x below
    about -87.3) are not accurate; they are gains under -750 dB and flush to zero in the processor. */
inline FloatVector4 exponential (FloatVector4 x) noexcept
{
    x = FloatVector4::min (FloatVector4::max (x, FloatVector4::broadcast (-maximumExpArgument)),
                           FloatVector4::broadcast (maximumExpArgument));

    // n = round (x / ln 2) by the 1.5 * 2^23 trick (exact float arithmetic, same on every path).
    const FloatVector4 roundingConstant = FloatVector4::broadcast (12582912.0f);
    FloatVector4 n = (x * FloatVector4::broadcast (1.44269504088896341f) + roundingConstant) - roundingConstant;
    n = FloatVector4::min (FloatVector4::max (n, FloatVector4::broadcast (-126.0f)), FloatVector4::broadcast (127.0f));

    const FloatVector4 r = x - n * FloatVector4::broadcast (0.693359375f) - n * FloatVector4::broadcast (-2.12194440e-4f);

    FloatVector4 y = FloatVector4::broadcast (1.9875691500e-4f);
    y = y * r + FloatVector4::broadcast (1.3981999507e-3f);
    y = y * r + FloatVector4::broadcast (8.3334519073e-3f);
    y = y * r + FloatVector4::broadcast (4.1665795894e-2f);
    y = y * r + FloatVector4::broadcast (1.6666665459e-1f);
    y = y * r + FloatVector4::broadcast (5.0000001201e-1f);
    y = y * (r * r) + r + FloatVector4::broadcast (1.0f);

    return y * FloatVector4::powerOfTwo (n);
}

/** 20 log10 (x) for positive normal lanes. */
inline FloatVector4 gainToDecibels (FloatVector4 x) noexcept
{
    return logarithm (x) * FloatVector4::broadcast (8.68588963806503655f);
}

/** 10^(dB / 20), computed as e^(dB * ln 10 / 20) with the argument clamp of `exponential`. */
inline FloatVector4 decibelsToGain (FloatVector4 decibels) noexcept
{
    return exponential (decibels * FloatVector4::broadcast (0.115129255f));
}

} // namespace dynamics_math
