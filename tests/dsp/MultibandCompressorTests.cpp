#include "CrossoverChain.h"
#include "DynamicsTestSupport.h"
#include "DynamicsVectorMath.h"
#include "MultibandCompressor.h"
#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <string>

using namespace dynamics_testing;

namespace
{
constexpr size_t latency44k = 441;

int32_t bandIndex (int32_t band, int32_t offset)
{
    return band * MultibandCompressor::parametersPerBand + offset;
}

/** The crossover frequency the module actually holds for parameter `index`. */
float heldFrequency (const MultibandCompressor& m, int32_t index)
{
    return m.getParameterDescriptor (index).toRealValue (m.getParameter (index));
}
} // namespace

TEST (MultibandDescriptors, NamesRangesMacrosAndStateSize)
{
    MultibandCompressor m;
    ASSERT_EQ (m.getNumParameters(), 35);

    const char* baseNames[] = { "Threshold", "Attack", "Release", "Ratio", "Knee", "Makeup", "Autorelease", "Lookahead" };
    const char* units[] = { "dB", "s", "s", "", "dB", "dB", "%", "s" };
    const float minima[] = { -48.0f, 0.001f, 0.001f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f };
    const float maxima[] = { 18.0f, 0.2f, 0.5f, 16.0f, 18.0f, 24.0f, 1.0f, 0.02f };
    const float defaults[] = { 0.0f, 0.05f, 0.15f, 2.0f, 2.0f, 0.0f, 0.0f, 0.0f };

    for (int32_t band = 0; band < 4; ++band)
    {
        for (int32_t k = 0; k < 8; ++k)
        {
            const ParameterDescriptor d = m.getParameterDescriptor (bandIndex (band, k));
            EXPECT_EQ (d.index, bandIndex (band, k));
            EXPECT_EQ (std::string (d.name), "B" + std::to_string (band + 1) + " " + baseNames[k]);
            EXPECT_STREQ (d.unit, units[k]);
            EXPECT_STREQ (d.description, "");
            EXPECT_EQ (d.minimum, minima[k]);
            EXPECT_EQ (d.maximum, maxima[k]);
            EXPECT_EQ (d.defaultValue, defaults[k]);
        }
    }

    const float crossoverDefaults[] = { 180.0f, 1000.0f, 6000.0f };
    for (int32_t i = 0; i < 3; ++i)
    {
        const ParameterDescriptor d = m.getParameterDescriptor (32 + i);
        EXPECT_EQ (std::string (d.name), "Crossover " + std::to_string (i + 1));
        EXPECT_STREQ (d.unit, "Hz");
        EXPECT_EQ (d.minimum, 20.0f);
        EXPECT_EQ (d.maximum, 10000.0f);
        EXPECT_EQ (d.defaultValue, crossoverDefaults[i]);
    }

    // The editor keeps the name pointers: they must outlive the copy they came in.
    EXPECT_EQ (m.getParameterDescriptor (20).name, m.getParameterDescriptor (20).name);

    size_t bytes = 0;
    m.getParameterValues (&bytes);
    EXPECT_EQ (bytes, 140u);

    expectMacroTable (m, { { "LOW", "Low band compression amount.", "MB Low Amount" },
                           { "LOW MID", "Low mid band compression amount.", "MB Low Mid Amount" },
                           { "HIGH MID", "High mid band compression amount.", "MB High Mid Amount" },
                           { "HIGH", "High band compression amount.", "MB High Amount" } });

    for (int32_t i = 0; i < 4; ++i)
    {
        EXPECT_EQ (m.getMacroValue (i), 0.0f);
        EXPECT_EQ (m.bandEnabled[i].load(), 1.0f);
    }
}

// The gain law runs on polynomial approximations; they must stay within 0.01 dB of the exact
// functions over every input the module can give them.
TEST (MultibandApproximations, LogAndExpStayWithinAHundredthOfADecibel)
{
    double worstLog = 0.0;

    // Band levels above the silence floor, up to the largest float.
    for (double x = 1.0e-5; x < 3.0e38; x *= 1.0007)
    {
        const float lanes[4] = { (float) x, (float) (x * 1.0001), (float) (x * 1.0002), (float) (x * 1.0003) };
        const FloatVector4 result = dynamics_math::gainToDecibels (FloatVector4::load (lanes));

        for (int lane = 0; lane < 4; ++lane)
            worstLog = std::max (worstLog, std::fabs (result.get (lane) - 20.0 * std::log10 ((double) lanes[lane])));
    }

    EXPECT_LT (worstLog, 0.01);
    EXPECT_LT (worstLog, 1.0e-3) << "precision dropped: " << worstLog;

    // Every argument that gives a normal float, up to the clamp.
    double worstExp = 0.0;

    for (double x = -87.33; x <= 88.376; x += 0.0011)
    {
        const FloatVector4 result = dynamics_math::exponential (FloatVector4::broadcast ((float) x));
        const double exact = std::exp ((double) (float) x);
        worstExp = std::max (worstExp, std::fabs (20.0 * std::log10 (result.get (0) / exact)));
    }

    EXPECT_LT (worstExp, 0.01);
    EXPECT_LT (worstExp, 1.0e-3) << "precision dropped: " << worstExp;

    // Beyond the clamp the result stays finite and on the right side.
    const FloatVector4 clamped = dynamics_math::exponential (FloatVector4 (-1000.0f, -88.376f, 88.376f, 1000.0f));
    EXPECT_GE (clamped.get (0), 0.0f);
    EXPECT_LT (clamped.get (0), 1.2e-38f);
    EXPECT_LT (clamped.get (1), 1.2e-38f);
    EXPECT_TRUE (std::isfinite (clamped.get (2)));
    EXPECT_NEAR (clamped.get (3) / std::exp (88.3762626647949), 1.0, 1.0e-5);
    EXPECT_EQ (dynamics_math::decibelsToGain (FloatVector4()).get (0), 1.0f);
}

namespace
{
struct AllPassCase
{
    const char* label;
    float crossover1, crossover2, crossover3;
    int32_t channels;
};

class MultibandAllPass : public ::testing::TestWithParam<AllPassCase> {};
} // namespace

// With every amount at 0 and no band gain, material below full scale comes out exactly as the
// compensation path of a second instance makes it: the four bands sum to the all-pass.
TEST_P (MultibandAllPass, OutputEqualsTheCompensationPathOfATwin)
{
    const AllPassCase& c = GetParam();
    MultibandCompressor module, twin;

    for (MultibandCompressor* m : { &module, &twin })
    {
        setReal (*m, MultibandCompressor::crossover1Index, c.crossover1);
        setReal (*m, MultibandCompressor::crossover2Index, c.crossover2);
        setReal (*m, MultibandCompressor::crossover3Index, c.crossover3);
    }

    const StereoSignal input = noise (20000, 0.5f, 17);
    double energy = 0.0;

    for (size_t n = 0; n < input.size(); ++n)
    {
        float a[2] = { input.left[n], input.right[n] };
        float b[2] = { input.left[n], input.right[n] };
        module.processFrame (a, c.channels);
        twin.processCompensation (b, c.channels, true);

        ASSERT_NEAR (a[0], b[0], 1.0e-6f) << n;
        ASSERT_NEAR (a[1], b[1], 1.0e-6f) << n;
        energy += (double) a[0] * a[0];
    }

    // Not silence: the identity above is between two real signals.
    EXPECT_GT (energy, 100.0);
}

INSTANTIATE_TEST_SUITE_P (Crossovers, MultibandAllPass,
                          ::testing::Values (AllPassCase { "defaults", 180.0f, 1000.0f, 6000.0f, 2 },
                                             AllPassCase { "vocalenhancer", 109.5f, 2287.0f, 5776.0f, 2 },
                                             AllPassCase { "crossover1AboveCrossover2", 3000.0f, 1000.0f, 6000.0f, 2 },
                                             AllPassCase { "mono", 180.0f, 1000.0f, 6000.0f, 1 }),
                          [] (const auto& info) { return std::string (info.param.label); });

namespace
{
struct BandCurveCase
{
    const char* label;
    int32_t band;  // 0 fed with DC, 3 fed with an alternating (Nyquist) signal
    float threshold, knee, ratio, makeup, amount, inputDb;
};

class MultibandBandCurve : public ::testing::TestWithParam<BandCurveCase> {};
} // namespace

// DC lands entirely in the lowest band and the Nyquist frequency entirely in the highest, so a
// constant level there tests that band's gain law in isolation. The other bands are set to
// compress hard, so a lane mix-up would show.
TEST_P (MultibandBandCurve, SettledBandGainFollowsTheSoftKneeLaw)
{
    const BandCurveCase& k = GetParam();
    MultibandCompressor m;

    for (int32_t band = 0; band < 4; ++band)
    {
        const bool tested = band == k.band;
        setReal (m, bandIndex (band, MultibandCompressor::thresholdOffset), tested ? k.threshold : -48.0f);
        setReal (m, bandIndex (band, MultibandCompressor::kneeOffset), tested ? k.knee : 0.0f);
        setReal (m, bandIndex (band, MultibandCompressor::ratioOffset), tested ? k.ratio : 16.0f);
        setReal (m, bandIndex (band, MultibandCompressor::makeupOffset), tested ? k.makeup : 24.0f);
        setReal (m, bandIndex (band, MultibandCompressor::attackOffset), 0.001f);
        m.setMacroValue (band, tested ? k.amount : 1.0f);
    }

    const float x = (float) std::pow (10.0, k.inputDb / 20.0);
    float last[2] = {};

    for (int n = 0; n < 44100; ++n)
    {
        const float sign = (k.band == 3 && (n % 2) == 1) ? -1.0f : 1.0f;
        last[0] = last[1] = sign * x;
        m.processFrame (last, 2);
    }

    const double expected = softKneeGainDb (k.threshold, k.knee, k.ratio, k.makeup, k.amount, k.inputDb);
    EXPECT_NEAR (20.0 * std::log10 (std::fabs (last[0]) / x), expected, 0.01) << k.label;
    EXPECT_NEAR (20.0 * std::log10 (std::fabs (last[1]) / x), expected, 0.01) << k.label;
}

INSTANTIATE_TEST_SUITE_P (Cases, MultibandBandCurve,
                          ::testing::Values (BandCurveCase { "lowDefaultsTwoPointZero", 0, 0.0f, 2.0f, 2.0f, 0.0f, 0.0f, 6.0206f },
                                             BandCurveCase { "lowAboveKnee", 0, -20.0f, 6.0f, 4.0f, 3.0f, 1.0f, -6.0f },
                                             BandCurveCase { "lowInKnee", 0, -20.0f, 6.0f, 4.0f, 3.0f, 1.0f, -19.0f },
                                             BandCurveCase { "lowBelowKnee", 0, -20.0f, 6.0f, 4.0f, 3.0f, 1.0f, -30.0f },
                                             BandCurveCase { "lowHalfAmount", 0, -40.0f, 10.0f, 8.0f, 12.0f, 0.5f, -12.0f },
                                             BandCurveCase { "highAboveKnee", 3, -30.0f, 4.0f, 3.0f, 6.0f, 1.0f, -10.0f },
                                             BandCurveCase { "highInKnee", 3, -30.0f, 4.0f, 3.0f, 6.0f, 1.0f, -31.0f }),
                          [] (const auto& info) { return std::string (info.param.label); });

TEST (MultibandProcessing, ConstantTwoSettlesAtThreeDecibelsOfReductionInTheLowBand)
{
    MultibandCompressor m;
    const StereoSignal output = process (m, constant (44100, 2.0f));

    EXPECT_NEAR (output.left.back(), std::sqrt (2.0f), 1.0e-3f);
    EXPECT_NEAR (output.right.back(), std::sqrt (2.0f), 1.0e-3f);
    EXPECT_NEAR (m.getAndResetMeterValue (0), 1.0 - std::pow (10.0, -3.0103 / 20.0), 1.0e-3);
    EXPECT_EQ (m.getAndResetMeterValue (0), 0.0f);
}

// A muted band is missing from the output; the others arrive as the crossover made them.
TEST (MultibandBands, MutedBandIsMissingFromTheOutput)
{
    MultibandCompressor m;
    CrossoverChain reference[2];
    for (auto& chain : reference)
        chain.design (heldFrequency (m, 32), heldFrequency (m, 33), heldFrequency (m, 34), 44100.0f);

    const StereoSignal input = noise (6000, 0.5f, 23);
    std::deque<FloatVector4> delayed[2];
    const int mutedBand = 1;
    m.bandEnabled[mutedBand].store (0.0f);

    for (size_t n = 0; n < input.size(); ++n)
    {
        float frame[2] = { input.left[n], input.right[n] };
        m.processFrame (frame, 2);

        delayed[0].push_back (reference[0].split (input.left[n]));
        delayed[1].push_back (reference[1].split (input.right[n]));

        if (delayed[0].size() <= latency44k)
            continue;

        for (int channel = 0; channel < 2; ++channel)
        {
            const FloatVector4 bands = delayed[channel].front();
            delayed[channel].pop_front();
            float expected = 0.0f;
            for (int band = 0; band < 4; ++band)
                expected += band == mutedBand ? 0.0f : bands.get (band);

            ASSERT_NEAR (frame[channel], expected, 1.0e-6f) << n;
        }
    }
}

// The muted band's compressor keeps running, so unmuting brings the band back already compressed.
TEST (MultibandBands, UnmutedBandReturnsWithItsCurrentReduction)
{
    MultibandCompressor m;
    m.bandEnabled[0].store (0.0f);
    const StereoSignal muted = process (m, constant (44100, 2.0f));
    EXPECT_NEAR (muted.left.back(), 0.0f, 1.0e-3f);

    m.bandEnabled[0].store (1.0f);
    float frame[2] = { 2.0f, 2.0f };
    m.processFrame (frame, 2);
    EXPECT_NEAR (frame[0], std::sqrt (2.0f), 1.0e-3f);
}

TEST (MultibandBands, BandGainRampsLinearlyInDecibels)
{
    MultibandCompressor m;
    process (m, constant (44100, 0.5f));

    const int length = 64;
    const float targetDb = 6.0206f;
    m.bandGainRamps[0].length = length;
    m.bandGainRamps[0].setTarget (targetDb);

    for (int k = 0; k < length + 10; ++k)
    {
        float frame[2] = { 0.5f, 0.5f };
        m.processFrame (frame, 2);
        const float rampDb = targetDb * (float) std::min (k + 1, length) / (float) length;
        // The tolerance covers the float crossover's DC leakage into the upper bands (~1e-4); one
        // ramp step is worth about 5e-3 here.
        ASSERT_NEAR (frame[0], 0.5f * std::pow (10.0f, rampDb / 20.0f), 5.0e-4f) << k;
    }
}

// Bypassed, the module keeps its delay and all-pass phase but ignores compression, band gains and
// band mutes: it equals the compensation path even for a loud signal with every band set to work.
TEST (MultibandBypass, IgnoresCompressionBandGainsAndMutes)
{
    MultibandCompressor module, twin;
    applyRealValues (module, multibandDefaultStyle);
    applyRealValues (twin, multibandDefaultStyle);

    for (int32_t band = 0; band < 4; ++band)
    {
        module.setMacroValue (band, 1.0f);
        module.bandGainRamps[band].length = 1;
        module.bandGainRamps[band].setTarget (12.0f);
    }

    module.bandEnabled[2].store (0.0f);
    module.setBypassed (true);

    const StereoSignal input = noise (8000, 2.0f, 29);

    for (size_t n = 0; n < input.size(); ++n)
    {
        float a[2] = { input.left[n], input.right[n] };
        float b[2] = { input.left[n], input.right[n] };
        module.processFrame (a, 2);
        twin.processCompensation (b, 2, true);
        ASSERT_NEAR (a[0], b[0], 1.0e-6f) << n;
        ASSERT_NEAR (a[1], b[1], 1.0e-6f) << n;
    }

    EXPECT_EQ (module.getLatencySamples(), (int32_t) latency44k);
}

TEST (MultibandBypass, CompressedSignalReleasesToUnity)
{
    MultibandCompressor m;
    setReal (m, bandIndex (0, MultibandCompressor::releaseOffset), 0.01f);
    const StereoSignal compressed = process (m, constant (44100, 2.0f));
    EXPECT_NEAR (compressed.left.back(), std::sqrt (2.0f), 1.0e-3f);

    m.setBypassed (true);
    const StereoSignal released = process (m, constant (44100, 2.0f));
    EXPECT_NEAR (released.left.back(), 2.0f, 1.0e-3f);

    m.setBypassed (false);
    const StereoSignal again = process (m, constant (44100, 2.0f));
    EXPECT_NEAR (again.left.back(), std::sqrt (2.0f), 1.0e-3f);
}

TEST (MultibandProcessing, MonoFrameIsSplitThroughBothChains)
{
    MultibandCompressor mono, stereo;
    applyRealValues (mono, multibandDefaultStyle);
    applyRealValues (stereo, multibandDefaultStyle);

    for (int32_t band = 0; band < 4; ++band)
    {
        mono.setMacroValue (band, 1.0f);
        stereo.setMacroValue (band, 1.0f);
    }

    Noise generator (31);

    for (int n = 0; n < 6000; ++n)
    {
        const float x = generator.next (1.5f);
        float monoFrame[2] = { x, 77.0f };
        float stereoFrame[2] = { x, x };
        mono.processFrame (monoFrame, 1);
        stereo.processFrame (stereoFrame, 2);
        ASSERT_EQ (monoFrame[0], stereoFrame[0]) << n;
        ASSERT_EQ (monoFrame[1], 77.0f);
    }
}

// The factory "Default" style at full amounts, on loud and on quiet programme: the output range is
// much narrower than the input range, every band reports reduction, and nothing goes non-finite.
TEST (MultibandStyles, DefaultStyleAtFullAmountsCompressesAndStaysFinite)
{
    for (const float rate : { 44100.0f, 96000.0f })
    {
        MultibandCompressor m;
        m.setSampleRate (rate);
        applyRealValues (m, multibandDefaultStyle);
        for (int32_t band = 0; band < 4; ++band)
            m.setMacroValue (band, 1.0f);

        const size_t length = (size_t) rate;
        StereoSignal input = noise (2 * length, 1.0f, 37);
        for (size_t n = length; n < 2 * length; ++n)
        {
            input.left[n] *= 0.01f;  // 40 dB quieter
            input.right[n] *= 0.01f;
        }

        const StereoSignal output = process (m, input);
        ASSERT_TRUE (allFinite (output.left));
        ASSERT_TRUE (allFinite (output.right));

        const double outputRangeDb = 20.0 * std::log10 (rms (output.left, length / 2, length) / rms (output.left, length + length / 2, 2 * length));
        EXPECT_LT (outputRangeDb, 25.0) << rate;
        EXPECT_GT (outputRangeDb, 5.0) << rate;

        // Meters were raised during the loud part; reading them once clears them.
        for (int32_t band = 0; band < 4; ++band)
            EXPECT_GT (m.getAndResetMeterValue (band), 0.3f) << band;
    }
}
