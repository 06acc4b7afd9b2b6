#include "HPFilter.h"
#include "FrequencyResponse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

using namespace testing_support;

namespace
{
constexpr double pi = 3.14159265358979323846;

float normalisedCutoff (float hz) { return (hz - 10.0f) / 70.0f; }

/** A filter at a settled cutoff and rate, its glide finished and its states cleared. */
void settle (HPFilter& filter, float sampleRate, float cutoffHz)
{
    filter.setSampleRate (sampleRate);
    filter.setParameter (0, normalisedCutoff (cutoffHz));
    filter.reset();
}

std::vector<double> mainImpulse (HPFilter& filter, int length)
{
    return impulseResponse ([&] (float x) { filter.processFrame (&x, 1); return x; }, length);
}

std::vector<double> compensationImpulse (HPFilter& filter, int length)
{
    return impulseResponse ([&] (float x) { filter.processCompensation (&x, 1, true); return x; }, length);
}
} // namespace

TEST (HPFilterInterface, DescriptorAndConstructionState)
{
    HPFilter filter;
    ASSERT_EQ (filter.getNumParameters(), 1);
    const auto d = filter.getParameterDescriptor (0);
    EXPECT_STREQ (d.name, "Cutoff");
    EXPECT_STREQ (d.unit, "Hz");
    EXPECT_STREQ (d.description, "HP Filter");
    EXPECT_EQ (d.kind, 0);
    EXPECT_EQ (d.labels, nullptr);
    EXPECT_FLOAT_EQ (d.minimum, 10.0f);
    EXPECT_FLOAT_EQ (d.maximum, 80.0f);
    EXPECT_FLOAT_EQ (d.defaultValue, 30.0f);
    EXPECT_EQ (filter.getNumMacros(), 0);
    EXPECT_EQ (filter.getLatencySamples(), 0);

    size_t bytes = 0;
    filter.getParameterValues (&bytes);
    EXPECT_EQ (bytes, 4u);
    EXPECT_FLOAT_EQ (filter.getParameter (0), normalisedCutoff (30.0f));

    // The constructor's reset starts the filter at 30 Hz with no glide from the initial 35 Hz.
    float x = 0.0f;
    filter.processFrame (&x, 1);
    EXPECT_EQ (filter.getDesignedCutoff(), 30.0f);
}

TEST (HPFilterGlide, ReachesTargetAfterExactly256SamplesLinearly)
{
    HPFilter filter;
    filter.setParameter (0, 1.0f);
    EXPECT_EQ (filter.getTargetCutoff(), 80.0f);

    for (int n = 1; n <= HPFilter::glideLength; ++n)
    {
        float x = 0.0f;
        filter.processFrame (&x, 1);
        // 50 / 256 is exact in float, so every step of the line is exact too.
        ASSERT_EQ (filter.getDesignedCutoff(), 30.0f + 50.0f * (float) n / 256.0f) << "sample " << n;
    }

    float x = 0.0f;
    filter.processFrame (&x, 1);
    EXPECT_EQ (filter.getDesignedCutoff(), 80.0f);
}

TEST (HPFilterGlide, InexactStepsStillLandOnTheTarget)
{
    HPFilter filter;
    filter.setParameter (0, normalisedCutoff (35.01f));
    for (int n = 0; n < 300; ++n) { float x = 0.0f; filter.processFrame (&x, 1); }

    const float start = filter.getDesignedCutoff();
    filter.setParameter (0, normalisedCutoff (19.99f));
    const float target = filter.getTargetCutoff();

    for (int n = 1; n <= HPFilter::glideLength; ++n)
    {
        float x = 0.0f;
        filter.processFrame (&x, 1);
        if (n < HPFilter::glideLength)
        {
            ASSERT_NEAR (filter.getDesignedCutoff(), start + (target - start) * (float) n / 256.0f, 1e-3f);
        }
    }

    EXPECT_EQ (filter.getDesignedCutoff(), target);
}

TEST (HPFilterGlide, SameValueTwiceDoesNotRestartTheGlide)
{
    HPFilter filter;
    filter.setParameter (0, 1.0f);
    for (int n = 0; n < 100; ++n) { float x = 0.0f; filter.processFrame (&x, 1); }

    filter.setParameter (0, 1.0f);
    for (int n = 0; n < 156; ++n) { float x = 0.0f; filter.processFrame (&x, 1); }

    EXPECT_EQ (filter.getDesignedCutoff(), 80.0f);
}

TEST (HPFilterBypass, FrameAndCompensationUntouchedWhileTheGlideAdvances)
{
    HPFilter filter;
    filter.setBypassed (true);
    filter.setParameter (0, 1.0f);

    for (int n = 0; n < HPFilter::glideLength; ++n)
    {
        const float input[2] = { 0.25f + 0.001f * n, -0.5f };
        float frame[2] = { input[0], input[1] };
        ASSERT_TRUE (filter.processFrame (frame, 2));
        ASSERT_EQ (std::memcmp (frame, input, sizeof frame), 0);
        ASSERT_TRUE (filter.processCompensation (frame, 2, true));
        ASSERT_EQ (std::memcmp (frame, input, sizeof frame), 0);
    }

    EXPECT_EQ (filter.getDesignedCutoff(), 80.0f);

    // Un-bypassed, it filters at once at the cutoff it reached while bypassed.
    filter.setBypassed (false);
    filter.reset();
    const auto impulse = mainImpulse (filter, 1 << 15);
    EXPECT_NEAR (magnitudeDb (responseAt (impulse, 80.0, 44100.0)), -6.02, 0.05);
}

TEST (HPFilterChannels, MoreThanTwoChannelsAreRefused)
{
    HPFilter filter;
    float frame[3] = { 0.1f, 0.2f, 0.3f };
    EXPECT_FALSE (filter.processFrame (frame, 3));
    EXPECT_FALSE (filter.processCompensation (frame, 3, false));
    EXPECT_EQ (frame[0], 0.1f);
    EXPECT_EQ (frame[1], 0.2f);
    EXPECT_EQ (frame[2], 0.3f);
}

TEST (HPFilterChannels, MonoUsesTheLeftFilterOnly)
{
    HPFilter mono, stereo, fresh;

    for (int n = 0; n < 500; ++n)
    {
        const float x = (float) std::sin (0.01 * n);
        float m = x;
        float s[2] = { x, 0.0f };
        mono.processFrame (&m, 1);
        stereo.processFrame (s, 2);
        ASSERT_EQ (m, s[0]);
    }

    // The mono run left the right filter alone: it answers like a fresh one.
    for (int n = 0; n < 200; ++n)
    {
        const float x = (float) std::cos (0.02 * n);
        float s[2] = { 0.0f, x };
        float f[2] = { 0.0f, x };
        mono.processFrame (s, 2);
        fresh.processFrame (f, 2);
        ASSERT_EQ (s[1], f[1]);
    }
}

TEST (HPFilterLifecycle, UnchangedSampleRateKeepsTheState)
{
    HPFilter interrupted, reference;
    std::vector<float> a, b;

    for (int n = 0; n < 400; ++n)
    {
        if (n == 200)
            interrupted.setSampleRate (44100.0f);

        float x = n == 0 ? 1.0f : 0.0f, y = x;
        interrupted.processFrame (&x, 1);
        reference.processFrame (&y, 1);
        a.push_back (x);
        b.push_back (y);
    }

    EXPECT_EQ (a, b);
}

namespace
{
struct ResponseCase
{
    float sampleRate;
    float cutoffHz;
};

class HPFilterResponse : public ::testing::TestWithParam<ResponseCase> {};
} // namespace

// A fourth-order Linkwitz-Riley high-pass: |H| = w^4 / (1 + w^4) for w = f / cutoff, so -6.02 dB
// at the cutoff and 20 log10 (1/17) = -24.61 dB an octave below; flat above.
// Redesigning at a new sample rate must move the filter, not keep the old rate's coefficients.
TEST_P (HPFilterResponse, LinkwitzRileyShapeAtTheCutoff)
{
    const auto c = GetParam();
    HPFilter filter;
    settle (filter, c.sampleRate, c.cutoffHz);

    const auto impulse = mainImpulse (filter, 1 << 16);
    EXPECT_NEAR (magnitudeDb (responseAt (impulse, c.cutoffHz, c.sampleRate)), -6.02, 0.05);
    EXPECT_NEAR (magnitudeDb (responseAt (impulse, c.cutoffHz * 0.5, c.sampleRate)), -24.61, 0.05);
    EXPECT_NEAR (magnitudeDb (responseAt (impulse, 1000.0, c.sampleRate)), 0.0, 0.01);
}

// The compensation all-pass must sum with a parallel path without comb filtering: unity magnitude
// and the same phase as the high-pass path. It is checked on a fresh filter that has not processed
// a frame yet, as a compensation path may run first.
TEST_P (HPFilterResponse, CompensationIsAnAllPassWithTheHighPassPhase)
{
    const auto c = GetParam();
    HPFilter compensation, highPass;
    settle (compensation, c.sampleRate, c.cutoffHz);
    settle (highPass, c.sampleRate, c.cutoffHz);

    const auto allPass = compensationImpulse (compensation, 1 << 16);
    const auto filtered = mainImpulse (highPass, 1 << 16);

    for (double f : logFrequencies (20.0, 20000.0, 6))
    {
        const auto a = responseAt (allPass, f, c.sampleRate);
        const auto h = responseAt (filtered, f, c.sampleRate);
        EXPECT_NEAR (magnitudeDb (a), 0.0, 0.01) << "at " << f << " Hz";
        EXPECT_NEAR (std::arg (h / a), 0.0, 0.01) << "at " << f << " Hz";
    }
}

INSTANTIATE_TEST_SUITE_P (RatesAndCutoffs, HPFilterResponse,
    ::testing::Values (ResponseCase { 44100.0f, 30.0f },
                       ResponseCase { 48000.0f, 30.0f },
                       ResponseCase { 44100.0f, 10.0f },
                       ResponseCase { 48000.0f, 80.0f },
                       ResponseCase { 96000.0f, 35.0f },
                       ResponseCase { 192000.0f, 10.0f }));
