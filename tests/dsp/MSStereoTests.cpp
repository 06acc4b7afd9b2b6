#include "MSStereo.h"
#include "FrequencyResponse.h"
#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace testing_support;

namespace
{
enum Parameter { sidesGain, highFreq, highGain, lowFreq, lowGain };

/** Left output's response to an impulse fed as L = x, R = rightSign * x. */
std::vector<double> pairImpulse (MSStereo& stereo, float rightSign)
{
    stereo.reset();
    return impulseResponse ([&] (float x) {
        float frame[2] = { x, rightSign * x };
        stereo.processFrame (frame, 2);
        return frame[0];
    }, 1 << 15);
}
} // namespace

TEST (MSStereoInterface, DescriptorsAndMacro)
{
    const std::vector<DescriptorRow> rows = {
        { "Sides Gain", "dB", -12, 12, 0, "Side channel gain level" },
        { "High Freq", "Hz", 2000, 20000, 9000, "High shelf split frequency" },
        { "High Gain", "dB", -12, 12, 0, "High shelf gain" },
        { "Low Freq", "Hz", 20, 1000, 100, "Low shelf split frequency" },
        { "Low Gain", "dB", -36, 36, 0, "Low shelf gain" },
    };

    MSStereo stereo;
    ASSERT_EQ (stereo.getNumParameters(), 5);
    EXPECT_EQ (stereo.getLatencySamples(), 0);
    expectDescriptorTable (stereo, rows);

    expectMacroTable (stereo, { { "STEREO", "Stereo algoritm amount. This parameter is not neccessary reflecting the stereo spread.", "Stereo Width" } });
    EXPECT_EQ (stereo.getMacroValue (0), 0.0f);
    stereo.setMacroValue (0, 0.6f);
    EXPECT_EQ (stereo.getMacroValue (0), 0.6f);
}

namespace
{
struct LevelCase
{
    const char* what;
    int parameter;
    float gainDb;
    float amount;
    bool bypassed;
    float rightSign; // +1: mid only, -1: side only
    double frequency;
    double expectedDb;
};

class MSStereoLevels : public ::testing::TestWithParam<LevelCase> {};
} // namespace

// Low Freq at its top (1000 Hz) and High Freq at its bottom (2000 Hz) keep the 60 Hz and 18 kHz
// probes deep inside the low and high bands.
TEST_P (MSStereoLevels, GainOfMidOrSide)
{
    const auto c = GetParam();
    MSStereo stereo;
    setReal (stereo, lowFreq, 1000.0f);
    setReal (stereo, highFreq, 2000.0f);
    setReal (stereo, c.parameter, c.gainDb);
    stereo.setMacroValue (0, c.amount);
    stereo.setBypassed (c.bypassed);

    const auto impulse = pairImpulse (stereo, c.rightSign);
    EXPECT_NEAR (magnitudeDb (responseAt (impulse, c.frequency, 44100.0)), c.expectedDb, 0.02) << c.what;
}

INSTANTIATE_TEST_SUITE_P (MidAndSide, MSStereoLevels,
    ::testing::Values (
        LevelCase { "mono signal, sides +12 dB, full amount", sidesGain, 12.0f, 1.0f, false, 1.0f, 1000.0, -4.44 },
        LevelCase { "pure side, sides +12 dB, full amount", sidesGain, 12.0f, 1.0f, false, -1.0f, 1000.0, 12.0 },
        LevelCase { "pure side, sides +12 dB, half amount", sidesGain, 12.0f, 0.5f, false, -1.0f, 1000.0, 6.0 },
        LevelCase { "amount 0 leaves the side alone", sidesGain, 12.0f, 0.0f, false, -1.0f, 1000.0, 0.0 },
        LevelCase { "bypass leaves the side alone", sidesGain, 12.0f, 1.0f, true, -1.0f, 1000.0, 0.0 },
        LevelCase { "low gain removes the low side", lowGain, -36.0f, 1.0f, false, -1.0f, 60.0, -36.0 },
        LevelCase { "and raises the low mid", lowGain, -36.0f, 1.0f, false, 1.0f, 60.0, 3.6 },
        LevelCase { "low gain leaves the top alone", lowGain, -36.0f, 1.0f, false, -1.0f, 18000.0, 0.0 },
        LevelCase { "high gain raises the high side", highGain, 12.0f, 1.0f, false, -1.0f, 18000.0, 12.0 },
        LevelCase { "and lowers the high mid", highGain, 12.0f, 1.0f, false, 1.0f, 18000.0, -4.44 }));

namespace
{
class MSStereoNeutral : public ::testing::TestWithParam<float> {};
} // namespace

// At amount 0 the module is the all-pass of the crossover tree on each channel, which is what its
// compensation path runs: the two agree to the float rounding of the mid/side round trip, and the
// compensation has unity magnitude.
TEST_P (MSStereoNeutral, AmountZeroIsTheCompensationAllPass)
{
    const float rate = GetParam();
    MSStereo stereo, compensation;
    for (auto* s : { &stereo, &compensation })
    {
        s->setSampleRate (rate);
        // The "default" style, so that the gains would show if they leaked through at amount 0.
        setReal (*s, sidesGain, 3.898f);
        setReal (*s, highFreq, 5729.0f);
        setReal (*s, highGain, 5.715f);
        setReal (*s, lowFreq, 138.0f);
        setReal (*s, lowGain, -18.46f);
        s->reset();
    }

    TestNoise noise { 11u };
    double errorEnergy = 0.0, signalEnergy = 0.0;
    for (int n = 0; n < 20000; ++n)
    {
        const float l = noise.next(), r = noise.next();
        float a[2] = { l, r }, b[2] = { l, r };
        stereo.processFrame (a, 2);
        compensation.processCompensation (b, 2, false);
        for (int c = 0; c < 2; ++c)
        {
            errorEnergy += (double) (a[c] - b[c]) * (a[c] - b[c]);
            signalEnergy += (double) b[c] * b[c];
        }
    }
    // Float rounding inside the recursive low crossover leaves about -92 dB; any gain leaking
    // through at amount 0 (0.1 dB is already -39 dB) would stand far above it.
    EXPECT_LT (10.0 * std::log10 (errorEnergy / signalEnergy), -85.0);

    compensation.reset();
    const auto impulse = impulseResponse ([&] (float x) {
        float frame[2] = { x, 0.0f };
        compensation.processCompensation (frame, 2, false);
        return frame[0];
    }, 1 << 16);

    for (double f : logFrequencies (20.0, 20000.0, 6))
        EXPECT_NEAR (magnitudeDb (responseAt (impulse, f, rate)), 0.0, 0.01) << "at " << f << " Hz";
}

INSTANTIATE_TEST_SUITE_P (Rates, MSStereoNeutral, ::testing::Values (44100.0f, 48000.0f));

namespace
{
/** The per-frame formula as written: six exponentials evaluated on every frame. */
struct ReferenceStereo
{
    CrossoverChain mid, side;
    float real[5] {};
    float amount = 0.0f;
    bool bypassed = false;

    void design (float rate)
    {
        for (auto* chain : { &mid, &side })
        {
            chain->design (real[lowFreq], 1500.0f, real[highFreq], rate);
            chain->reset();
        }
    }

    void process (float* frame)
    {
        const float a = bypassed ? 0.0f : amount;
        const auto g = [a] (float x) { return std::exp (x * a * 0.115129255f); };

        const auto m = mid.split (frame[0] + frame[1]);
        const auto s = side.split (frame[0] - frame[1]);
        const float midOut = (((m.get (0) * g (-0.1f * real[lowGain]) + m.get (1)) + m.get (2)) + m.get (3) * g (-0.37f * real[highGain])) * g (-0.37f * real[sidesGain]);
        const float sideOut = (((s.get (0) * g (real[lowGain]) + s.get (1)) + s.get (2)) + s.get (3) * g (real[highGain])) * g (real[sidesGain]);
        frame[0] = (midOut + sideOut) * 0.5f;
        frame[1] = (midOut - sideOut) * 0.5f;
    }
};
} // namespace

// The gains are derived when the amount, bypass or a gain changes instead of on every frame; the
// output must match the per-frame formula through every kind of change.
TEST (MSStereoGains, CachedGainsMatchThePerFrameFormula)
{
    MSStereo stereo;
    ReferenceStereo reference;
    const float styleValues[5] = { 4.853f, 5938.0f, 4.283f, 224.1f, 0.0f };
    for (int i = 0; i < 5; ++i)
    {
        setReal (stereo, i, styleValues[i]);
        reference.real[i] = stereo.getParameterDescriptor (i).toRealValue (stereo.getParameter (i));
    }
    stereo.setSampleRate (48000.0f);
    stereo.reset();
    reference.design (48000.0f);

    const ScheduledChange changes[] = {
        { 300, -1, 0.5f }, { 600, lowGain, -30.0f }, { 900, highGain, -12.0f }, { 1200, sidesGain, 12.0f },
        { 1500, -2, 1.0f }, { 1800, -1, 1.0f }, { 2100, -2, 0.0f }, { 2400, -1, 0.25f },
    };

    TestNoise noise { 11u };
    size_t next = 0;
    for (int n = 0; n < 2700; ++n)
    {
        if (next < std::size (changes) && changes[next].frame == n)
        {
            applyScheduledChange (stereo, reference, changes[next++]);
        }

        float a[2] = { noise.next(), noise.next() };
        float b[2] = { a[0], a[1] };
        stereo.processFrame (a, 2);
        reference.process (b);
        ASSERT_NEAR (a[0], b[0], 1e-6f) << "frame " << n;
        ASSERT_NEAR (a[1], b[1], 1e-6f) << "frame " << n;
    }
}

TEST (MSStereoChannels, MonoIsLeftAloneByBothPathsAndThreeAreRefused)
{
    MSStereo stereo;
    stereo.setMacroValue (0, 1.0f);
    setReal (stereo, sidesGain, 12.0f);

    for (int n = 0; n < 100; ++n)
    {
        const float x = 0.01f * (float) n - 0.3f;
        float frame = x;
        EXPECT_FALSE (stereo.processFrame (&frame, 1));
        EXPECT_EQ (frame, x);
        // The main path leaves mono untouched, so the aligned parallel path must too.
        EXPECT_TRUE (stereo.processCompensation (&frame, 1, false));
        EXPECT_EQ (frame, x);
    }

    float frame[3] = { 0.1f, 0.2f, 0.3f };
    EXPECT_FALSE (stereo.processFrame (frame, 3));
    EXPECT_FALSE (stereo.processCompensation (frame, 3, false));
    EXPECT_EQ (frame[0], 0.1f);
    EXPECT_EQ (frame[1], 0.2f);
    EXPECT_EQ (frame[2], 0.3f);
}

TEST (MSStereoLifecycle, UnchangedSampleRateKeepsTheState)
{
    MSStereo interrupted, reference;
    for (int n = 0; n < 400; ++n)
    {
        if (n == 100)
            interrupted.setSampleRate (44100.0f);

        float a[2] = { n == 0 ? 1.0f : 0.0f, 0.0f };
        float b[2] = { a[0], a[1] };
        interrupted.processFrame (a, 2);
        reference.processFrame (b, 2);
        ASSERT_EQ (a[0], b[0]) << "frame " << n;
        ASSERT_EQ (a[1], b[1]) << "frame " << n;
    }
}
