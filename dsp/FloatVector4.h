#pragma once

#include <cmath>

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

    /** Sum of the four lanes, added as ((0 + 1) + 2) + 3. */
    float sum() const noexcept
    {
        alignas (16) float lanes[4];
        _mm_store_ps (lanes, value);
        return ((lanes[0] + lanes[1]) + lanes[2]) + lanes[3];
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

    float sum() const noexcept { return ((value[0] + value[1]) + value[2]) + value[3]; }
#endif

    FloatVector4& operator+= (FloatVector4 other) noexcept { return *this = *this + other; }
    FloatVector4& operator*= (FloatVector4 other) noexcept { return *this = *this * other; }
};
