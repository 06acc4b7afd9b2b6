#include "FourBandEQ.h"
#include "FrequencyResponse.h"
#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace
{
enum Parameter { lowFreq, lowQ, lowGain, b1Freq, b1Q, b1Gain, b2Freq, b2Q, b2Gain, hiFreq, hiGain };

std::vector<double> mainImpulse (FourBandEQ& eq, int length = 1 << 16)
{
    eq.reset();
    return impulseResponse ([&] (float x) { eq.processFrame (&x, 1); return x; }, length);
}

std::vector<double> compensationImpulse (FourBandEQ& eq, int length = 1 << 16)
{
    eq.reset();
    return impulseResponse ([&] (float x) { eq.processCompensation (&x, 1, true); return x; }, length);
}

double gainAt (const std::vector<double>& impulse, double f, double rate)
{
    return magnitudeDb (responseAt (impulse, f, rate));
}
} // namespace

TEST (FourBandEQInterface, DescriptorTable)
{
    const std::vector<DescriptorRow> rows = {
        { "Low Freq", "Hz", 10, 500, 60, "Low Shelf filter Frequency" },
        { "Low Q", "dB", 0.5f, 24, 2, "Low Shelf filter Q value" },
        { "Low Gain", "dB", -24, 24, 0, "Gain level" },
        { "B1 Freq", "Hz", 20, 20000, 120, "Parametric band 1 Frequency" },
        { "B1 Q", "dB", 0.5f, 24, 2, "Parametric band 1 Q value" },
        { "B1 Gain", "dB", -24, 24, 0, "Parametric band 1 Gain level" },
        { "B2 Freq", "Hz", 20, 20000, 8000, "Parametric band 1 Frequency" },
        { "B2 Q", "dB", 0.5f, 24, 2, "Parametric band 1 Q value" },
        { "B2 Gain", "dB", -24, 24, 0, "Parametric band 1 Gain level" },
        { "Hi Freq", "Hz", 2000, 20000, 7000, "High Shelf filter Frequency" },
        { "Hi Gain", "dB", -24, 24, 0, "High Shelf filter Gain level" },
    };

    FourBandEQ eq;
    ASSERT_EQ (eq.getNumParameters(), 11);
    EXPECT_EQ (eq.getLatencySamples(), 0);

    expectDescriptorTable (eq, rows);
}

TEST (FourBandEQInterface, MacrosConvertToMinusOneToOne)
{
    FourBandEQ eq;
    expectMacroTable (eq, { { "BASS", "Bass amount.", "Bass Amount", -1.0f }, { "TREBLE", "Treble amount.", "Treble Amount", -1.0f } });

    for (int i = 0; i < 2; ++i)
        EXPECT_FLOAT_EQ (eq.getMacroValue (i), 0.5f);

    eq.setMacroValue (0, 0.25f);
    eq.setMacroValue (1, 1.0f);
    EXPECT_FLOAT_EQ (eq.getMacroValue (0), 0.25f);
    EXPECT_FLOAT_EQ (eq.getMacroValue (1), 1.0f);
}

namespace
{
struct RateCase { float sampleRate; float bass; float treble; };
class FourBandEQNeutral : public ::testing::TestWithParam<RateCase> {};
} // namespace

// With every detailed gain at 0 dB the macros change nothing: the module is the all-pass of the high
// split, the same filter its compensation path runs, so a parallel path compensated by it sums
// with the main path without comb filtering.
TEST_P (FourBandEQNeutral, DefaultsAreTheCompensationAllPass)
{
    const auto c = GetParam();
    FourBandEQ eq, compensation;
    eq.setSampleRate (c.sampleRate);
    compensation.setSampleRate (c.sampleRate);
    eq.setMacroValue (0, c.bass);
    eq.setMacroValue (1, c.treble);

    unsigned noise = 1;
    for (int n = 0; n < 4000; ++n)
    {
        noise = noise * 1664525u + 1013904223u;
        const float l = (float) (noise >> 8) / 16777216.0f - 0.5f;
        float a[2] = { l, -0.3f * l }, b[2] = { l, -0.3f * l };
        eq.processFrame (a, 2);
        compensation.processCompensation (b, 2, false);
        ASSERT_EQ (a[0], b[0]) << "sample " << n;
        ASSERT_EQ (a[1], b[1]) << "sample " << n;
    }

    const auto allPass = compensationImpulse (compensation);
    for (double f : logFrequencies (20.0, 20000.0, 6))
        EXPECT_NEAR (gainAt (allPass, f, c.sampleRate), 0.0, 0.01) << "at " << f << " Hz";
}

INSTANTIATE_TEST_SUITE_P (RatesAndMacros, FourBandEQNeutral,
    ::testing::Values (RateCase { 44100.0f, 0.5f, 0.5f }, RateCase { 48000.0f, 0.5f, 0.5f },
                       RateCase { 44100.0f, 0.0f, 1.0f }, RateCase { 48000.0f, 1.0f, 0.0f }));

namespace
{
struct GainCase
{
    const char* what;
    int parameter;
    float parameterValue;
    int macro;
    float macroValue;
    double frequency;
    double expectedDb;
};

class FourBandEQGains : public ::testing::TestWithParam<GainCase> {};

// The peak band sits at 300 Hz and the high split at 2 kHz so the two do not overlap; the shelf is
// read far below its 60 Hz corner, the peak at its centre.
void isolatingSetup (FourBandEQ& eq)
{
    setReal (eq, b2Freq, 300.0f);
    setReal (eq, hiFreq, 2000.0f);
}
} // namespace

TEST_P (FourBandEQGains, MacroScalesTheBandGain)
{
    const auto c = GetParam();
    FourBandEQ eq;
    isolatingSetup (eq);
    setReal (eq, c.parameter, c.parameterValue);
    eq.setMacroValue (c.macro, c.macroValue);

    const auto impulse = mainImpulse (eq);
    EXPECT_NEAR (gainAt (impulse, c.frequency, 44100.0), c.expectedDb, 0.05) << c.what;
}

INSTANTIATE_TEST_SUITE_P (BassAndTreble, FourBandEQGains,
    ::testing::Values (
        GainCase { "bass at 0 cuts the shelf", lowGain, 6.0f, 0, 0.0f, 5.0, -6.0 },
        GainCase { "bass at 1/4 cuts it by half", lowGain, 6.0f, 0, 0.25f, 5.0, -3.0 },
        GainCase { "bass at 1 boosts the shelf", lowGain, 6.0f, 0, 1.0f, 5.0, 6.0 },
        GainCase { "shelf leaves the top alone", lowGain, 6.0f, 0, 1.0f, 1000.0, 0.0 },
        GainCase { "bass at 0 leaves band 1 flat", b1Gain, 6.0f, 0, 0.0f, 120.0, 0.0 },
        GainCase { "bass at 3/4 half boosts band 1", b1Gain, 6.0f, 0, 0.75f, 120.0, 3.0 },
        GainCase { "bass at 1 boosts band 1", b1Gain, 6.0f, 0, 1.0f, 120.0, 6.0 },
        GainCase { "treble below the middle leaves band 2 flat", b2Gain, 12.0f, 1, 0.25f, 300.0, 0.0 },
        GainCase { "treble at 1 boosts band 2", b2Gain, 12.0f, 1, 1.0f, 300.0, 12.0 },
        GainCase { "treble below the middle cuts the high part", hiGain, 12.0f, 1, 0.25f, 18000.0, -6.0 },
        GainCase { "treble at 0 cuts it fully", hiGain, 12.0f, 1, 0.0f, 18000.0, -12.0 },
        GainCase { "treble at 1 boosts it", hiGain, 12.0f, 1, 1.0f, 18000.0, 12.0 },
        GainCase { "high part leaves the lows alone", hiGain, 12.0f, 1, 1.0f, 200.0, 0.0 }));

TEST (FourBandEQBypass, FlatWhileBypassedAcrossARateChangeThenGainsReturn)
{
    FourBandEQ eq;
    setReal (eq, lowGain, 6.0f);
    eq.setMacroValue (0, 1.0f);

    eq.setBypassed (true);
    EXPECT_NEAR (gainAt (mainImpulse (eq), 5.0, 44100.0), 0.0, 0.01);

    eq.setSampleRate (48000.0f);
    const auto bypassed = mainImpulse (eq);
    for (double f : logFrequencies (20.0, 20000.0, 3))
        EXPECT_NEAR (gainAt (bypassed, f, 48000.0), 0.0, 0.01) << "at " << f << " Hz";

    eq.setBypassed (false);
    const auto active = mainImpulse (eq);
    EXPECT_NEAR (gainAt (active, 5.0, 48000.0), 6.0, 0.05);
    EXPECT_NEAR (gainAt (active, 1000.0, 48000.0), 0.0, 0.05);
}

namespace
{
class FourBandEQRates : public ::testing::TestWithParam<float> {};
} // namespace

// After a rate change the high split must sit at Hi Freq for the new rate. At the split frequency
// both halves are at -6 dB and in phase, so with the high half at +12 dB (x4) the sum is
// 0.5 + 0.5 * 4 = 2.5, +7.96 dB.
TEST_P (FourBandEQRates, HighSplitFollowsTheSampleRate)
{
    const float rate = GetParam();
    FourBandEQ eq;
    setReal (eq, hiGain, 12.0f);
    eq.setMacroValue (1, 1.0f);
    eq.setSampleRate (rate);

    EXPECT_NEAR (gainAt (mainImpulse (eq), 7000.0, rate), 20.0 * std::log10 (2.5), 0.05);
}

INSTANTIATE_TEST_SUITE_P (Rates, FourBandEQRates, ::testing::Values (44100.0f, 48000.0f, 96000.0f));

TEST (FourBandEQLifecycle, UnchangedSampleRateStillResets)
{
    FourBandEQ eq;
    setReal (eq, lowGain, 6.0f);
    eq.setMacroValue (0, 1.0f);

    float x = 1.0f;
    eq.processFrame (&x, 1);
    for (int n = 0; n < 10; ++n) { x = 0.0f; eq.processFrame (&x, 1); }
    ASSERT_NE (x, 0.0f);

    eq.setSampleRate (44100.0f);
    for (int n = 0; n < 10; ++n)
    {
        x = 0.0f;
        eq.processFrame (&x, 1);
        EXPECT_EQ (x, 0.0f);
    }
}

TEST (FourBandEQChannels, ChannelsAreIndependentAndMonoMatchesLeft)
{
    FourBandEQ stereo, mono, monoCompensation, stereoCompensation;
    for (auto* eq : { &stereo, &mono })
    {
        setReal (*eq, lowGain, 6.0f);
        setReal (*eq, hiGain, -9.0f);
        eq->setMacroValue (0, 0.9f);
        eq->setMacroValue (1, 0.8f);
    }

    for (int n = 0; n < 2000; ++n)
    {
        const float x = (float) std::sin (0.37 * n) * 0.5f;
        float s[2] = { x, 0.0f };
        float m = x;
        stereo.processFrame (s, 2);
        mono.processFrame (&m, 1);
        ASSERT_EQ (s[0], m);
        ASSERT_EQ (s[1], 0.0f);

        float sc[2] = { x, 0.0f };
        float mc = x;
        stereoCompensation.processCompensation (sc, 2, false);
        monoCompensation.processCompensation (&mc, 1, false);
        ASSERT_EQ (sc[0], mc);
        ASSERT_EQ (sc[1], 0.0f);
    }

    float frame[3] = { 0.1f, 0.2f, 0.3f };
    EXPECT_FALSE (stereo.processFrame (frame, 3));
    EXPECT_FALSE (stereo.processCompensation (frame, 3, false));
    EXPECT_EQ (frame[0], 0.1f);
    EXPECT_EQ (frame[1], 0.2f);
    EXPECT_EQ (frame[2], 0.3f);

    // An empty frame is left alone rather than read or written.
    EXPECT_TRUE (stereo.processFrame (frame, 0));
    EXPECT_TRUE (stereo.processCompensation (frame, 0, false));
    EXPECT_EQ (frame[0], 0.1f);
}
