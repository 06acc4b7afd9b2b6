#include "Compressor.h"
#include "DynamicsTestSupport.h"
#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace dynamics_testing;

namespace
{
constexpr int latency44k = 441;

double decibels (double gain)
{
    return 20.0 * std::log10 (gain);
}
} // namespace

TEST (CompressorDescriptors, TableMacroAndStateSize)
{
    Compressor c;
    const std::vector<DescriptorRow> rows = {
        { "Threshold", "dB", -48.0f, 18.0f, 0.0f }, { "Attack", "s", 0.001f, 0.2f, 0.05f },
        { "Release", "s", 0.001f, 0.5f, 0.15f },    { "Ratio", "", 1.0f, 16.0f, 2.0f },
        { "Knee", "dB", 0.0f, 18.0f, 2.0f },        { "Makeup", "dB", 0.0f, 24.0f, 0.0f },
        { "Autorelease", "%", 0.0f, 1.0f, 0.0f },   { "Lookahead", "s", 0.0f, 0.02f, 0.0f },
    };

    ASSERT_EQ (c.getNumParameters(), 8);

    expectDescriptorTable (c, rows);

    size_t bytes = 0;
    c.getParameterValues (&bytes);
    EXPECT_EQ (bytes, 32u);

    expectMacroTable (c, { { "COMP", "Compression amount.", "Comp Amount" } });
    EXPECT_EQ (c.getMacroValue (0), 0.0f);
}

TEST (CompressorProcessing, BelowFullScaleAtAmountZeroIsAPureDelay)
{
    Compressor c;
    const StereoSignal input = noise (5000, 1.0f, 7);
    const StereoSignal output = process (c, input);

    for (size_t n = 0; n < output.size(); ++n)
    {
        const float expectedLeft = n >= latency44k ? input.left[n - latency44k] : 0.0f;
        const float expectedRight = n >= latency44k ? input.right[n - latency44k] : 0.0f;
        ASSERT_EQ (output.left[n], expectedLeft) << n;
        ASSERT_EQ (output.right[n], expectedRight) << n;
    }

    EXPECT_EQ (c.getAndResetMeterValue (0), 0.0f);
}

TEST (CompressorProcessing, ConstantTwoSettlesAtThreeDecibelsOfReduction)
{
    Compressor c;
    const StereoSignal output = process (c, constant (44100, 2.0f));

    EXPECT_NEAR (output.left.back(), std::sqrt (2.0f), 1.0e-4f);
    EXPECT_NEAR (output.right.back(), std::sqrt (2.0f), 1.0e-4f);
    EXPECT_NEAR (c.getAndResetMeterValue (0), 1.0 - std::pow (10.0, -3.0103 / 20.0), 1.0e-4);
}

namespace
{
struct CurveCase
{
    const char* label;
    float threshold, knee, ratio, makeup, amount, inputDb;
};

double expectedGainDb (const CurveCase& c)
{
    return softKneeGainDb (c.threshold, c.knee, c.ratio, c.makeup, c.amount, c.inputDb);
}

class CompressorStaticCurve : public ::testing::TestWithParam<CurveCase> {};
} // namespace

TEST_P (CompressorStaticCurve, SettledGainFollowsTheSoftKneeLaw)
{
    const CurveCase& k = GetParam();
    Compressor c;
    setReal (c, Compressor::thresholdIndex, k.threshold);
    setReal (c, Compressor::kneeIndex, k.knee);
    setReal (c, Compressor::ratioIndex, k.ratio);
    setReal (c, Compressor::makeupIndex, k.makeup);
    setReal (c, Compressor::attackIndex, 0.001f);
    c.setMacroValue (0, k.amount);

    const float x = (float) std::pow (10.0, k.inputDb / 20.0);
    const StereoSignal output = process (c, constant (22050, x));

    EXPECT_NEAR (decibels (output.left.back() / x), expectedGainDb (k), 0.002) << k.label;
    EXPECT_NEAR (decibels (output.right.back() / x), expectedGainDb (k), 0.002) << k.label;
}

INSTANTIATE_TEST_SUITE_P (Cases, CompressorStaticCurve,
                          ::testing::Values (CurveCase { "hard knee above", -20.0f, 0.0f, 4.0f, 0.0f, 1.0f, -10.0f },
                                             CurveCase { "hard knee below", -20.0f, 0.0f, 4.0f, 0.0f, 1.0f, -21.0f },
                                             CurveCase { "knee centre", -20.0f, 10.0f, 4.0f, 0.0f, 1.0f, -20.0f },
                                             CurveCase { "knee lower half", -20.0f, 10.0f, 4.0f, 0.0f, 1.0f, -23.5f },
                                             CurveCase { "below knee", -20.0f, 10.0f, 4.0f, 0.0f, 1.0f, -26.0f },
                                             CurveCase { "knee top", -20.0f, 10.0f, 4.0f, 0.0f, 1.0f, -15.0f },
                                             CurveCase { "amount scales threshold knee makeup", -30.0f, 6.0f, 3.0f, 12.0f, 0.5f, -10.0f },
                                             CurveCase { "amount zero ignores the settings", -40.0f, 18.0f, 2.0f, 24.0f, 0.0f, 6.0206f },
                                             CurveCase { "ratio one never compresses", -40.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f },
                                             CurveCase { "ratio sixteen", -48.0f, 2.0f, 16.0f, 24.0f, 1.0f, -3.0f }),
                          [] (const auto& info) {
                              std::string name = info.param.label;
                              for (char& ch : name)
                                  if (! std::isalnum ((unsigned char) ch))
                                      ch = '_';
                              return name;
                          });

TEST (CompressorProcessing, MonoFrameIsCompressedAsADuplicatedPair)
{
    Compressor mono, stereo;
    Noise generator (3);

    for (int n = 0; n < 4000; ++n)
    {
        const float x = generator.next (3.0f);
        float monoFrame[2] = { x, 123.0f };
        float stereoFrame[2] = { x, x };
        mono.processFrame (monoFrame, 1);
        stereo.processFrame (stereoFrame, 2);
        ASSERT_EQ (monoFrame[0], stereoFrame[0]) << n;
        ASSERT_EQ (monoFrame[1], 123.0f);
    }

    // The copying form duplicates too and hands back the input after the output.
    const float input = 0.5f;
    const Frame copy = mono.processFrameCopy (&input, 1);
    EXPECT_EQ (copy.values[0], copy.values[1]);
    EXPECT_EQ (copy.values[2], 0.5f);
    EXPECT_EQ (copy.values[3], 0.5f);
}

TEST (CompressorBypass, KeepsTheDelayAndReleasesToUnity)
{
    Compressor c;
    setReal (c, Compressor::thresholdIndex, -20.0f);
    setReal (c, Compressor::releaseIndex, 0.01f);
    setReal (c, Compressor::makeupIndex, 6.0f);
    c.setMacroValue (0, 1.0f);

    // 14 dB over the threshold at ratio 2 takes 7 dB off; the makeup gives 6 back.
    const StereoSignal compressed = process (c, constant (22050, 0.5f));
    EXPECT_NEAR (compressed.left.back(), 0.5f * std::pow (10.0f, -1.0f / 20.0f), 1.0e-3f);

    c.setBypassed (true);
    EXPECT_EQ (c.getLatencySamples(), latency44k);
    const StereoSignal released = process (c, constant (44100, 0.5f));
    EXPECT_NEAR (released.left.back(), 0.5f, 1.0e-5f);
    EXPECT_NEAR (released.right.back(), 0.5f, 1.0e-5f);
}

TEST (CompressorBypass, SettingsChangedWhileBypassedApplyOnReturnWithTheCurrentAmount)
{
    Compressor c;
    c.setMacroValue (0, 0.5f);
    c.setBypassed (true);
    setReal (c, Compressor::thresholdIndex, -40.0f);
    setReal (c, Compressor::makeupIndex, 10.0f);
    setReal (c, Compressor::kneeIndex, 0.0f);
    setReal (c, Compressor::attackIndex, 0.001f);

    const StereoSignal bypassed = process (c, constant (8000, 0.5f));
    EXPECT_EQ (bypassed.left.back(), 0.5f);

    c.setBypassed (false);
    const StereoSignal active = process (c, constant (22050, 0.5f));
    const CurveCase expected { "", -40.0f, 0.0f, 2.0f, 10.0f, 0.5f, (float) decibels (0.5) };
    EXPECT_NEAR (decibels (active.left.back() / 0.5), expectedGainDb (expected), 0.002);
}

namespace
{
/** Samples from the end of a loud burst until the quiet tone that follows it leaves the
    compressor within 1 dB of unity (the detector hears the tone a window before it leaves).
    `duringBurst` and `afterBurst` change settings at those two moments. */
int recoverySamples (const std::function<void (Compressor&)>& setup, const std::function<void (Compressor&)>& duringBurst,
                     const std::function<void (Compressor&)>& afterBurst)
{
    Compressor c;
    setReal (c, Compressor::thresholdIndex, -20.0f);
    setReal (c, Compressor::ratioIndex, 4.0f);
    setReal (c, Compressor::kneeIndex, 0.0f);
    setReal (c, Compressor::attackIndex, 0.001f);
    c.setMacroValue (0, 1.0f);
    setup (c);

    const int burst = 13230, quietLength = 200000;
    const float quiet = 0.01f;

    for (int n = 0; n < burst; ++n)
    {
        if (n == burst / 2)
            duringBurst (c);

        float frame[2] = { 1.0f, 1.0f };
        c.processFrame (frame, 2);
    }

    afterBurst (c);

    for (int n = 0; n < quietLength; ++n)
    {
        float frame[2] = { quiet, quiet };
        c.processFrame (frame, 2);

        if (n >= c.getLatencySamples() && frame[0] > quiet * std::pow (10.0f, -1.0f / 20.0f))
            return n;
    }

    return quietLength;
}

void nothing (Compressor&) {}
} // namespace

// Automatic release picks the short time while the net gain stays above -40 dB; switching it off
// keeps that release until the Release parameter itself changes.
TEST (CompressorAutomaticRelease, ChoosesTheShortTimeAndKeepsItUntilReleaseChanges)
{
    const auto slowRelease = [] (Compressor& c) { setReal (c, Compressor::releaseIndex, 0.5f); };
    const auto autoOn = [] (Compressor& c) { c.setParameter (Compressor::autoreleaseIndex, 1.0f); };
    const auto autoOff = [] (Compressor& c) { c.setParameter (Compressor::autoreleaseIndex, 0.0f); };

    const int manual = recoverySamples (slowRelease, nothing, nothing);
    const int automatic = recoverySamples ([&] (Compressor& c) { slowRelease (c); autoOn (c); }, nothing, nothing);
    const int switchedOff = recoverySamples (slowRelease, autoOn, autoOff);
    const int releaseChanged = recoverySamples (slowRelease, autoOn, [&] (Compressor& c) {
        autoOff (c);
        setReal (c, Compressor::releaseIndex, 0.4f);
    });

    // A 15 dB reduction released on the squared envelope: about ln (225 / 1.0) time constants.
    EXPECT_NEAR (automatic, 5.4 * 0.013654984 * 44100.0, 400.0);
    EXPECT_NEAR (manual, 5.4 * 0.5 * 44100.0, 12000.0);
    EXPECT_EQ (switchedOff, automatic);
    EXPECT_NEAR (releaseChanged, 5.4 * 0.4 * 44100.0, 10000.0);
}

// A single infinite or NaN sample must not leave the envelope at infinity or NaN, which would mute
// or poison everything after it.
TEST (CompressorProcessing, RecoversFromANonFiniteSample)
{
    for (const float bad : { std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN() })
    {
        Compressor c;
        float frame[2] = { bad, bad };
        c.processFrame (frame, 2);

        const StereoSignal input = noise (3000, 0.5f, 11);
        const StereoSignal output = process (c, input);

        for (size_t n = latency44k; n < output.size(); ++n)
            ASSERT_EQ (output.left[n], input.left[n - latency44k]) << bad << " at " << n;
    }
}

TEST (CompressorStyles, DefaultPreCompStyleAtFullAmountNarrowsTheDynamicRange)
{
    Compressor c;
    applyRealValues (c, preCompDefaultStyle);
    c.setMacroValue (0, 1.0f);

    const size_t length = 44100;
    StereoSignal input = noise (2 * length, 0.9f, 5);
    for (size_t n = length; n < 2 * length; ++n)
    {
        input.left[n] *= 0.01f;  // 40 dB quieter
        input.right[n] *= 0.01f;
    }

    const StereoSignal output = process (c, input);
    ASSERT_TRUE (allFinite (output.left));
    ASSERT_TRUE (allFinite (output.right));

    const double loud = rms (output.left, length / 2, length);
    const double quiet = rms (output.left, length + length / 2, 2 * length);
    const double outputRangeDb = decibels (loud / quiet);

    // Loud noise sits ~23 dB over the threshold: ratio 2.156 takes ~12 dB off it, while the quiet
    // part only gets the makeup.
    EXPECT_LT (outputRangeDb, 31.0);
    EXPECT_GT (outputRangeDb, 20.0);
    EXPECT_GT (c.getAndResetMeterValue (0), 0.5f);
}
