#include "DynamicsTestSupport.h"
#include "Limiter.h"
#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace dynamics_testing;

namespace
{
constexpr int latency44k = 133;

/** The ceiling the limiter holds, from its own Threshold parameter, computed in double. */
double ceilingOf (const Limiter& l)
{
    const ParameterDescriptor d = l.getParameterDescriptor (Limiter::thresholdIndex);
    return std::pow (10.0, d.toRealValue (l.getParameter (Limiter::thresholdIndex)) / 20.0);
}
} // namespace

TEST (LimiterDescriptors, TwoParametersNoMacros)
{
    Limiter l;
    ASSERT_EQ (l.getNumParameters(), 2);

    const ParameterDescriptor release = l.getParameterDescriptor (0);
    EXPECT_STREQ (release.name, "Release");
    EXPECT_STREQ (release.unit, "s");
    EXPECT_STREQ (release.description, "Release time in seconds");
    EXPECT_EQ (release.minimum, 0.01f);
    EXPECT_EQ (release.maximum, 0.5f);
    EXPECT_EQ (release.defaultValue, 0.2f);

    const ParameterDescriptor threshold = l.getParameterDescriptor (1);
    EXPECT_STREQ (threshold.name, "Threshold");
    EXPECT_STREQ (threshold.unit, "dB");
    EXPECT_STREQ (threshold.description, "Threshold and a real lot of text to test multi line capabilities. Hej hopp skoj ploj.");
    EXPECT_EQ (threshold.minimum, -48.0f);
    EXPECT_EQ (threshold.maximum, 0.0f);
    EXPECT_EQ (threshold.defaultValue, -0.05f);

    EXPECT_EQ (l.getNumMacros(), 0);
    size_t bytes = 0;
    l.getParameterValues (&bytes);
    EXPECT_EQ (bytes, 8u);
}

TEST (LimiterProcessing, SingleOverloadLeavesExactlyAtTheCeilingAfterTheLookahead)
{
    Limiter l;

    for (int n = 0; n < 400; ++n)
    {
        float frame[2] = { n == 0 ? 2.0f : 0.0f, n == 0 ? 2.0f : 0.0f };
        l.processFrame (frame, 2);

        if (n == latency44k)
        {
            EXPECT_FLOAT_EQ (frame[0], (float) std::pow (10.0, -0.05 / 20.0));
            EXPECT_FLOAT_EQ (frame[1], (float) std::pow (10.0, -0.05 / 20.0));
        }
        else
        {
            ASSERT_EQ (frame[0], 0.0f) << n;
        }
    }
}

TEST (LimiterProcessing, SignalBelowTheKneePassesUnchangedApartFromTheDelay)
{
    Limiter l;
    StereoSignal input { std::vector<float> (20000), std::vector<float> (20000) };
    for (size_t n = 0; n < input.size(); ++n)
    {
        input.left[n] = 0.13f * std::sin (0.01f * (float) n);  // -17.7 dBFS peak
        input.right[n] = -input.left[n];
    }

    const StereoSignal output = process (l, input);

    for (size_t n = latency44k; n < output.size(); ++n)
    {
        ASSERT_EQ (output.left[n], input.left[n - latency44k]) << n;
        ASSERT_EQ (output.right[n], input.right[n - latency44k]) << n;
    }
}

TEST (LimiterProcessing, MonoFrameIsLimitedLikeADuplicatedPair)
{
    Limiter mono, stereo;
    Noise generator (41);

    for (int n = 0; n < 10000; ++n)
    {
        const float x = generator.next (4.0f);
        float monoFrame[2] = { x, 55.0f };
        float stereoFrame[2] = { x, x };
        mono.processFrame (monoFrame, 1);
        stereo.processFrame (stereoFrame, 2);
        ASSERT_EQ (monoFrame[0], stereoFrame[0]) << n;
        ASSERT_EQ (monoFrame[1], 55.0f);
    }
}

namespace
{
struct ClipCase
{
    const char* label;
    float left, right;
    int32_t channels;
    bool bypassed;
    float expected;
};

class LimiterClipMeter : public ::testing::TestWithParam<ClipCase> {};
} // namespace

TEST_P (LimiterClipMeter, ReportsHowFarTheLargestSampleWentOverFullScale)
{
    const ClipCase& c = GetParam();
    Limiter l;
    l.setBypassed (c.bypassed);

    float frame[2] = { c.left, c.right };
    l.processFrame (frame, c.channels);

    EXPECT_FLOAT_EQ (l.getAndResetMeterValue (0), c.expected) << c.label;
    EXPECT_EQ (l.getAndResetMeterValue (0), 0.0f) << c.label;
}

INSTANTIATE_TEST_SUITE_P (Cases, LimiterClipMeter,
                          ::testing::Values (ClipCase { "leftLoud", 2.0f, 0.5f, 2, false, 1.5f },
                                             ClipCase { "rightLoudNegative", 0.5f, -2.0f, 2, false, 1.5f },
                                             ClipCase { "monoIgnoresTheSecondSlot", 2.0f, 3.0f, 1, false, 1.5f },
                                             ClipCase { "fullScaleIsNotAClip", 1.0f, -1.0f, 2, false, 0.0f },
                                             ClipCase { "bypassedDoesNotMeasure", 2.0f, 2.0f, 2, true, 0.0f }),
                          [] (const auto& info) { return std::string (info.param.label); });

TEST (LimiterBypass, DelaysAndChangesNothingElse)
{
    Limiter l;
    l.setBypassed (true);
    const StereoSignal input = noise (10000, 3.0f, 43);
    const StereoSignal output = process (l, input);

    for (size_t n = 0; n < output.size(); ++n)
    {
        ASSERT_EQ (output.left[n], n >= latency44k ? input.left[n - latency44k] : 0.0f) << n;
        ASSERT_EQ (output.right[n], n >= latency44k ? input.right[n - latency44k] : 0.0f) << n;
    }

    EXPECT_EQ (l.getAndResetMeterValue (0), 0.0f);
    EXPECT_EQ (l.getLatencySamples(), latency44k);
}

TEST (LimiterProcessing, CompensationAlwaysDelays)
{
    Limiter l;

    for (int n = 0; n < 200; ++n)
    {
        float frame[2] = { n == 0 ? 1.0f : 0.0f, n == 0 ? -1.0f : 0.0f };
        l.processCompensation (frame, 2, false);
        ASSERT_EQ (frame[0], n == latency44k ? 1.0f : 0.0f) << n;
        ASSERT_EQ (frame[1], n == latency44k ? -1.0f : 0.0f) << n;
    }
}

namespace
{
struct CeilingCase
{
    const char* label;
    float sampleRate;
    float threshold;
    float release;
};

class LimiterCeiling : public ::testing::TestWithParam<CeilingCase> {};

/** A sine whose level sweeps from -30 dB to +30 dB re full scale, then noise bursts of random
    length and level up to +40 dB separated by random gaps, then single-sample spikes. */
StereoSignal torture (float sampleRate)
{
    const size_t sweepLength = (size_t) (3.0f * sampleRate);
    StereoSignal signal { std::vector<float> (sweepLength), std::vector<float> (sweepLength) };

    for (size_t n = 0; n < sweepLength; ++n)
    {
        const float levelDb = -30.0f + 60.0f * (float) n / (float) sweepLength;
        const float gain = std::pow (10.0f, levelDb / 20.0f);
        signal.left[n] = gain * std::sin (2.0f * 3.14159265f * 997.0f * (float) n / sampleRate);
        signal.right[n] = gain * std::sin (2.0f * 3.14159265f * 61.0f * (float) n / sampleRate);
    }

    Noise random (47);

    for (int burst = 0; burst < 60; ++burst)
    {
        const size_t gap = (size_t) ((random.next (0.5f) + 0.5f) * 0.05f * sampleRate);
        const size_t length = 1 + (size_t) ((random.next (0.5f) + 0.5f) * 0.02f * sampleRate);
        const float amplitude = std::pow (10.0f, (random.next (25.0f) + 15.0f) / 20.0f);

        for (size_t n = 0; n < gap; ++n)
        {
            signal.left.push_back (random.next (0.05f));
            signal.right.push_back (random.next (0.05f));
        }

        for (size_t n = 0; n < length; ++n)
        {
            signal.left.push_back (random.next (amplitude));
            signal.right.push_back (random.next (amplitude));
        }
    }

    for (int spike = 0; spike < 50; ++spike)
    {
        for (int n = 0; n < 97; ++n)
        {
            const bool hit = n == 0;
            signal.left.push_back (hit ? 8.0f * (spike % 2 ? -1.0f : 1.0f) : 0.01f);
            signal.right.push_back (hit && spike % 3 == 0 ? 30.0f : -0.01f);
        }
    }

    return signal;
}
} // namespace

// The one promise a mastering limiter makes: whatever comes in, nothing leaves above the ceiling.
// The allowance of 1e-7 is below one float step, so even a rounding overshoot of the gain counts.
TEST_P (LimiterCeiling, OutputNeverExceedsTheCeiling)
{
    const CeilingCase& c = GetParam();
    Limiter l;
    l.setSampleRate (c.sampleRate);
    setReal (l, Limiter::thresholdIndex, c.threshold);
    setReal (l, Limiter::releaseIndex, c.release);

    const StereoSignal output = process (l, torture (c.sampleRate));
    const double ceiling = ceilingOf (l);

    ASSERT_TRUE (allFinite (output.left));
    ASSERT_TRUE (allFinite (output.right));
    EXPECT_LE (peak (output.left), ceiling * (1.0 + 1.0e-7)) << c.label;
    EXPECT_LE (peak (output.right), ceiling * (1.0 + 1.0e-7)) << c.label;

    // ...and it gets there by limiting, not by turning everything down: the loud sweep's end
    // reaches the ceiling.
    const size_t sweepEnd = (size_t) (3.0f * c.sampleRate);
    EXPECT_GT (peak (output.left, sweepEnd - (size_t) (0.2f * c.sampleRate), sweepEnd), 0.9 * ceiling) << c.label;
}

INSTANTIATE_TEST_SUITE_P (Settings, LimiterCeiling,
                          ::testing::Values (CeilingCase { "defaults44k", 44100.0f, -0.05f, 0.2f },
                                             CeilingCase { "defaultStyle44k", 44100.0f, -0.1005f, 0.1855f },
                                             CeilingCase { "fastAtFullScale44k", 44100.0f, 0.0f, 0.01f },
                                             CeilingCase { "slowLowCeiling44k", 44100.0f, -12.0f, 0.5f },
                                             CeilingCase { "defaults96k", 96000.0f, -0.05f, 0.2f },
                                             CeilingCase { "fastStyle96k", 96000.0f, -0.1005f, 0.03507f },
                                             CeilingCase { "fastAtFullScale96k", 96000.0f, 0.0f, 0.01f }),
                          [] (const auto& info) { return std::string (info.param.label); });

namespace
{
/** Samples after a +12 dB spike until a quiet tone is back within 0.1 dB of unity. */
int recoveryAfterSpike (float release)
{
    Limiter l;
    setReal (l, Limiter::releaseIndex, release);

    for (int n = 0; n < 44100 * 3; ++n)
    {
        const float x = n == 0 ? 4.0f : 0.05f;
        float frame[2] = { x, x };
        l.processFrame (frame, 2);

        if (n > latency44k && frame[0] > 0.05f * std::pow (10.0f, -0.1f / 20.0f))
            return n;
    }

    return -1;
}
} // namespace

TEST (LimiterProcessing, RecoveryTimeFollowsRelease)
{
    const int fast = recoveryAfterSpike (0.05f);
    const int slow = recoveryAfterSpike (0.4f);
    ASSERT_GT (fast, latency44k);
    ASSERT_GT (slow, 0);
    EXPECT_GT ((double) slow / fast, 4.0);
}

// An infinite sample must neither pass the ceiling nor leave the limiter stuck: afterwards the
// quiet programme comes back at unity gain.
TEST (LimiterProcessing, RecoversFromANonFiniteSample)
{
    for (const float bad : { std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                             std::numeric_limits<float>::quiet_NaN() })
    {
        Limiter l;
        float frame[2] = { bad, 0.1f };
        l.processFrame (frame, 2);

        const double ceiling = ceilingOf (l);
        float largest = 0.0f, last = 0.0f;

        for (int n = 0; n < 44100 * 2; ++n)
        {
            float f[2] = { 0.05f, 0.05f };
            l.processFrame (f, 2);
            ASSERT_FALSE (std::isnan (f[0])) << n;
            ASSERT_FALSE (std::isnan (f[1])) << n;
            largest = std::max (largest, std::fabs (f[0]));
            last = f[0];
        }

        EXPECT_LE (largest, ceiling * (1.0 + 1.0e-7)) << bad;
        EXPECT_NEAR (last, 0.05f, 1.0e-5f) << bad;
    }
}
