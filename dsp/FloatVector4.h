#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined (__SSE2__) || defined (_M_X64)
 #define VALMORA_USE_SSE 1
 #include <emmintrin.h>
#else
 #define VALMORA_USE_SSE 0
#endif

/** Four float lanes processed together: SSE on x86-64, a plain array elsewhere.

    Both forms do the same IEEE single-precision operation per lane, so they give identical
    results; only the arithmetic listed here is offered, which keeps that promise easy to keep.
*/
struct FloatVector4
{
#if VALMORA_USE_SSE
    __m128 value;

    FloatVector4() noexcept : value (_mm_setzero_ps()) {}
    FloatVector4 (__m128 v) noexcept : value (v) {}
    FloatVector4 (float a, float b, float c, float d) noexcept : value (_mm_setr_ps (a, b, c, d)) {}

    static FloatVector4 broadcast (float x) noexcept { return _mm_set1_ps (x); }
    static FloatVector4 load (const float* source) noexcept { return _mm_loadu_ps (source); }
    void store (float* destination) const noexcept { _mm_storeu_ps (destination, value); }

    float get (int lane) const noexcept
    {
        alignas (16) float lanes[4];
        _mm_store_ps (lanes, value);
        return lanes[lane];
    }

    friend FloatVector4 operator+ (FloatVector4 a, FloatVector4 b) noexcept { return _mm_add_ps (a.value, b.value); }
    friend FloatVector4 operator- (FloatVector4 a, FloatVector4 b) noexcept { return _mm_sub_ps (a.value, b.value); }
    friend FloatVector4 operator* (FloatVector4 a, FloatVector4 b) noexcept { return _mm_mul_ps (a.value, b.value); }
    friend FloatVector4 operator/ (FloatVector4 a, FloatVector4 b) noexcept { return _mm_div_ps (a.value, b.value); }

    static FloatVector4 min (FloatVector4 a, FloatVector4 b) noexcept { return _mm_min_ps (a.value, b.value); }
    static FloatVector4 max (FloatVector4 a, FloatVector4 b) noexcept { return _mm_max_ps (a.value, b.value); }
    static FloatVector4 abs (FloatVector4 a) noexcept { return _mm_andnot_ps (_mm_set1_ps (-0.0f), a.value); }
    static FloatVector4 sqrt (FloatVector4 a) noexcept { return _mm_sqrt_ps (a.value); }

    /** Lane-wise choice: where a > b take ifTrue, else ifFalse. */
    static FloatVector4 selectGreater (FloatVector4 a, FloatVector4 b, FloatVector4 ifTrue, FloatVector4 ifFalse) noexcept
    {
        const __m128 mask = _mm_cmpgt_ps (a.value, b.value);
        return _mm_or_ps (_mm_and_ps (mask, ifTrue.value), _mm_andnot_ps (mask, ifFalse.value));
    }

    /** Lanes {0, 0, 1, 1} of this vector. */
    FloatVector4 duplicateLowPairs() const noexcept { return _mm_shuffle_ps (value, value, _MM_SHUFFLE (1, 1, 0, 0)); }

    /** Lanes {2, 2, 3, 3} of this vector. */
    FloatVector4 duplicateHighPairs() const noexcept { return _mm_shuffle_ps (value, value, _MM_SHUFFLE (3, 3, 2, 2)); }

    /** Lanes 0 and 1 of `low` followed by lanes 2 and 3 of `high`. */
    static FloatVector4 lowPairThenHighPair (FloatVector4 low, FloatVector4 high) noexcept { return _mm_shuffle_ps (low.value, high.value, _MM_SHUFFLE (3, 2, 1, 0)); }

    /** Sum of the four lanes, added as ((0 + 1) + 2) + 3. */
    float sum() const noexcept
    {
        alignas (16) float lanes[4];
        _mm_store_ps (lanes, value);
        return ((lanes[0] + lanes[1]) + lanes[2]) + lanes[3];
    }

    /** True when any lane of a is greater than the same lane of b. */
    static bool anyGreater (FloatVector4 a, FloatVector4 b) noexcept { return _mm_movemask_ps (_mm_cmpgt_ps (a.value, b.value)) != 0; }

    /** 2^n for lanes holding whole numbers n in -126 .. 127, built directly from the exponent bits. */
    static FloatVector4 powerOfTwo (FloatVector4 wholeNumbers) noexcept
    {
        const __m128i biased = _mm_add_epi32 (_mm_cvttps_epi32 (wholeNumbers.value), _mm_set1_epi32 (127));
        return _mm_castsi128_ps (_mm_slli_epi32 (biased, 23));
    }

    /** Splits lanes holding positive normal numbers into x = mantissa * 2^exponent with the mantissa
        in [0.5, 1); returns the mantissa and stores the exponent (a whole number) in `exponent`. */
    static FloatVector4 splitExponent (FloatVector4 x, FloatVector4& exponent) noexcept
    {
        const __m128i bits = _mm_castps_si128 (x.value);
        const __m128i biased = _mm_srli_epi32 (_mm_and_si128 (bits, _mm_set1_epi32 (0x7f800000)), 23);
        exponent = _mm_cvtepi32_ps (_mm_sub_epi32 (biased, _mm_set1_epi32 (126)));
        const __m128i mantissa = _mm_or_si128 (_mm_and_si128 (bits, _mm_set1_epi32 ((int) 0x807fffff)), _mm_set1_epi32 (0x3f000000));
        return _mm_castsi128_ps (mantissa);
    }
#else
    float value[4];

    FloatVector4() noexcept : value { 0.0f, 0.0f, 0.0f, 0.0f } {}
    FloatVector4 (float a, float b, float c, float d) noexcept : value { a, b, c, d } {}

    static FloatVector4 broadcast (float x) noexcept { return { x, x, x, x }; }
    static FloatVector4 load (const float* s) noexcept { return { s[0], s[1], s[2], s[3] }; }
    void store (float* d) const noexcept { for (int i = 0; i < 4; ++i) d[i] = value[i]; }
    float get (int lane) const noexcept { return value[lane]; }

    template <typename Operation>
    static FloatVector4 map (FloatVector4 a, FloatVector4 b, Operation op) noexcept
    {
        return { op (a.value[0], b.value[0]), op (a.value[1], b.value[1]), op (a.value[2], b.value[2]), op (a.value[3], b.value[3]) };
    }

    friend FloatVector4 operator+ (FloatVector4 a, FloatVector4 b) noexcept { return map (a, b, [] (float x, float y) { return x + y; }); }
    friend FloatVector4 operator- (FloatVector4 a, FloatVector4 b) noexcept { return map (a, b, [] (float x, float y) { return x - y; }); }
    friend FloatVector4 operator* (FloatVector4 a, FloatVector4 b) noexcept { return map (a, b, [] (float x, float y) { return x * y; }); }
    friend FloatVector4 operator/ (FloatVector4 a, FloatVector4 b) noexcept { return map (a, b, [] (float x, float y) { return x / y; }); }

    // Same operand order as minps/maxps: the second operand wins when either is NaN.
    static FloatVector4 min (FloatVector4 a, FloatVector4 b) noexcept { return map (a, b, [] (float x, float y) { return x < y ? x : y; }); }
    static FloatVector4 max (FloatVector4 a, FloatVector4 b) noexcept { return map (a, b, [] (float x, float y) { return x > y ? x : y; }); }
    static FloatVector4 abs (FloatVector4 a) noexcept { return map (a, a, [] (float x, float) { return std::fabs (x); }); }
    static FloatVector4 sqrt (FloatVector4 a) noexcept { return map (a, a, [] (float x, float) { return std::sqrt (x); }); }

    static FloatVector4 selectGreater (FloatVector4 a, FloatVector4 b, FloatVector4 ifTrue, FloatVector4 ifFalse) noexcept
    {
        FloatVector4 result;
        for (int i = 0; i < 4; ++i)
            result.value[i] = a.value[i] > b.value[i] ? ifTrue.value[i] : ifFalse.value[i];
        return result;
    }

    FloatVector4 duplicateLowPairs() const noexcept { return { value[0], value[0], value[1], value[1] }; }
    FloatVector4 duplicateHighPairs() const noexcept { return { value[2], value[2], value[3], value[3] }; }
    static FloatVector4 lowPairThenHighPair (FloatVector4 low, FloatVector4 high) noexcept { return { low.value[0], low.value[1], high.value[2], high.value[3] }; }

    float sum() const noexcept { return ((value[0] + value[1]) + value[2]) + value[3]; }

    static bool anyGreater (FloatVector4 a, FloatVector4 b) noexcept
    {
        return a.value[0] > b.value[0] || a.value[1] > b.value[1] || a.value[2] > b.value[2] || a.value[3] > b.value[3];
    }

    static FloatVector4 powerOfTwo (FloatVector4 wholeNumbers) noexcept
    {
        FloatVector4 result;
        for (int i = 0; i < 4; ++i)
        {
            const uint32_t bits = (uint32_t) ((int32_t) wholeNumbers.value[i] + 127) << 23;
            std::memcpy (&result.value[i], &bits, sizeof (bits));
        }
        return result;
    }

    static FloatVector4 splitExponent (FloatVector4 x, FloatVector4& exponent) noexcept
    {
        FloatVector4 mantissa;
        for (int i = 0; i < 4; ++i)
        {
            uint32_t bits;
            std::memcpy (&bits, &x.value[i], sizeof (bits));
            exponent.value[i] = (float) ((int32_t) ((bits & 0x7f800000u) >> 23) - 126);
            bits = (bits & 0x807fffffu) | 0x3f000000u;
            std::memcpy (&mantissa.value[i], &bits, sizeof (bits));
        }
        return mantissa;
    }
#endif

    FloatVector4& operator+= (FloatVector4 other) noexcept { return *this = *this + other; }
    FloatVector4& operator*= (FloatVector4 other) noexcept { return *this = *this * other; }
};
