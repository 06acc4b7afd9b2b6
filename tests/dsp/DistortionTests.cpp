#include "Distortion.h"
#include "FrequencyResponse.h"
#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace testing_support;

namespace
{
enum Parameter { crossover1, crossover2, crossover3, mixParameter, band1, band2, band3, band4, inputGain, outputGain };

/** Runs a DC level long enough for every band filter to settle and returns the last output. */
float settledDcOutput (Distortion& distortion, float level)
{
    float x = 0.0f;
    for (int n = 0; n < 44100; ++n)
    {
        x = level;
        distortion.processFrame (&x, 1);
    }
    return x;
}
} // namespace

TEST (DistortionInterface, DescriptorsAndMacro)
{
    const std::vector<DescriptorRow> rows = {
        { "Crossover 1", "Hz", 20, 10000, 100 }, { "Crossover 2", "Hz", 20, 10000, 1000 },
        { "Crossover 3", "Hz", 20, 10000, 7000 }, { "Mix", "", 0, 1, 1 },
        { "Gain Band 1", "dB", -36, 36, 0 }, { "Gain Band 2", "dB", -36, 36, 0 },
        { "Gain Band 3", "dB", -36, 36, 0 }, { "Gain Band 4", "dB", -36, 36, 0 },
        { "Input Gain", "dB", -36, 36, 0 }, { "Output Gain", "dB", -36, 36, 0 },
    };

    Distortion distortion;
    ASSERT_EQ (distortion.getNumParameters(), 10);
    EXPECT_EQ (distortion.getLatencySamples(), 0);

    expectDescriptorTable (distortion, rows);

    expectMacroTable (distortion, { { "DIST", "Distortion amount.", "Dist Amount" } });
    EXPECT_EQ (distortion.getMacroValue (0), 0.0f);
    distortion.setMacroValue (0, 0.7f);
    EXPECT_EQ (distortion.getMacroValue (0), 0.7f);
}

TEST (DistortionClipper, OddBoundedUnitSlope)
{
    EXPECT_EQ (Distortion::saturate (0.0f), 0.0f);
    EXPECT_NEAR (Distortion::saturate (0.5f), 1.0 - std::exp (-0.5), 1e-7);
    EXPECT_NEAR (Distortion::saturate (-0.5f), -(1.0 - std::exp (-0.5)), 1e-7);
    EXPECT_NEAR (Distortion::saturate (1e-3f) / 1e-3f, 1.0 - 0.5e-3, 2e-4);
    EXPECT_EQ (Distortion::saturate (200.0f), 1.0f);
    EXPECT_EQ (Distortion::saturate (-200.0f), -1.0f);
}

namespace
{
struct DriveCase
{
    const char* what;
    float amount;
    int gainParameter;
    float gainDb;
    float outputDb;
    float level;
    double expected;
};

class DistortionDrive : public ::testing::TestWithParam<DriveCase> {};
} // namespace

// A DC level lives entirely in band 1 once the filters settle, so the output is the clipper of the
// driven level times the output gain, every gain scaled in dB by the amount.
TEST_P (DistortionDrive, SettledBandLevel)
{
    const auto c = GetParam();
    Distortion distortion;
    distortion.setMacroValue (0, c.amount);
    setReal (distortion, c.gainParameter, c.gainDb);
    setReal (distortion, outputGain, c.outputDb);

    EXPECT_NEAR (settledDcOutput (distortion, c.level), c.expected, 1e-4) << c.what;
}

INSTANTIATE_TEST_SUITE_P (Gains, DistortionDrive,
    ::testing::Values (
        DriveCase { "amount 0 still clips with unity drive", 0.0f, band1, 36.0f, 36.0f, 0.5f, 1.0 - std::exp (-0.5) },
        DriveCase { "odd for negative input", 0.0f, band1, 0.0f, 0.0f, -0.5f, -(1.0 - std::exp (-0.5)) },
        DriveCase { "half amount halves the band gain in dB", 0.5f, band1, 12.0f, 0.0f, 0.1f, 1.0 - std::exp (-0.1 * std::pow (10.0, 6.0 / 20.0)) },
        DriveCase { "input gain drives the same way", 0.5f, inputGain, 12.0f, 0.0f, 0.1f, 1.0 - std::exp (-0.1 * std::pow (10.0, 6.0 / 20.0)) },
        DriveCase { "output gain scaled by the amount", 0.5f, band1, 0.0f, -12.0f, 0.5f, (1.0 - std::exp (-0.5)) * std::pow (10.0, -6.0 / 20.0) },
        DriveCase { "other bands' gains do not touch band 1", 1.0f, band3, 36.0f, 0.0f, 0.5f, 1.0 - std::exp (-0.5) }));

TEST (DistortionDrive, HugeDriveIsBoundedByOnePerBand)
{
    Distortion distortion;
    distortion.setMacroValue (0, 1.0f);
    for (int band = band1; band <= band4; ++band)
        setReal (distortion, band, 36.0f);
    setReal (distortion, inputGain, 36.0f);

    // 72 dB of drive turns a 0.001 DC level into 3.98 before the clipper: the band sits near 1.
    EXPECT_NEAR (settledDcOutput (distortion, 0.001f), 1.0 - std::exp (-0.001 * std::pow (10.0, 72.0 / 20.0)), 1e-4);

    TestNoise noise { 7u };
    float largest = 0.0f;
    for (int n = 0; n < 20000; ++n)
    {
        float frame[2] = { 4.0f * noise.next(), 4.0f * noise.next() };
        distortion.processFrame (frame, 2);
        largest = std::max ({ largest, std::fabs (frame[0]), std::fabs (frame[1]) });
    }
    EXPECT_LE (largest, 4.0f);
    EXPECT_GT (largest, 3.0f); // several bands are driven into the rails at once
}

namespace
{
/** The per-frame formula as written: every gain exponential evaluated on every frame. */
struct ReferenceDistortion
{
    CrossoverChain chains[2];
    float real[10] {};
    float amount = 0.0f;
    bool bypassed = false;

    void design (float rate)
    {
        for (auto& chain : chains)
        {
            chain.design (real[crossover1], real[crossover2], real[crossover3], rate);
            chain.reset();
        }
    }

    float g (float decibels) const { return std::exp (decibels * amount * 0.115129255f); }

    float channel (int c, float x)
    {
        const auto bands = chains[c].split (x);
        const float dry = bands.sum();
        if (bypassed)
            return dry;

        float wet = 0.0f;
        for (int k = 0; k < 4; ++k)
            wet += Distortion::saturate (bands.get (k) * g (real[inputGain]) * g (real[band1 + k]));
        wet *= g (real[outputGain]);
        return dry * (1.0f - real[mixParameter]) + wet * real[mixParameter];
    }
};
} // namespace

// The gains are derived when the amount or a gain changes instead of on every frame; the output
// must be the same as the per-frame formula through every kind of change.
TEST (DistortionGains, CachedGainsMatchThePerFrameFormula)
{
    Distortion distortion;
    ReferenceDistortion reference;
    const float styleValues[10] = { 217.7f, 1169.0f, 7706.0f, 1.0f, 8.898f, 8.083f, 19.29f, 4.483f, 12.57f, -2.785f };

    for (int i = 0; i < 10; ++i)
    {
        setReal (distortion, i, styleValues[i]);
        reference.real[i] = distortion.getParameterDescriptor (i).toRealValue (distortion.getParameter (i));
    }
    distortion.setSampleRate (48000.0f);
    distortion.reset();
    reference.design (48000.0f);

    const ScheduledChange changes[] = {
        { 500, -1, 0.5f },              // macro
        { 1000, outputGain, 6.0f },
        { 1500, band3, -20.0f },
        { 2000, inputGain, 30.0f },
        { 2500, -1, 1.0f },
        { 3000, mixParameter, 0.4f },
        { 3500, -2, 1.0f },             // bypass on
        { 4000, -2, 0.0f },             // bypass off
        { 4500, -1, 0.0f },
    };

    TestNoise noise { 7u };
    size_t next = 0;
    for (int n = 0; n < 5000; ++n)
    {
        if (next < std::size (changes) && changes[next].frame == n)
        {
            applyScheduledChange (distortion, reference, changes[next++]);
        }

        const float l = noise.next(), r = noise.next();
        float frame[2] = { l, r };
        distortion.processFrame (frame, 2);
        ASSERT_NEAR (frame[0], reference.channel (0, l), 1e-6f) << "frame " << n;
        ASSERT_NEAR (frame[1], reference.channel (1, r), 1e-6f) << "frame " << n;
    }
}

namespace
{
struct CompensationCase { float sampleRate; float x1, x2, x3; };
class DistortionCompensation : public ::testing::TestWithParam<CompensationCase> {};
} // namespace

// Mix 0 and bypass both give the all-passed dry signal, which is exactly what the compensation path
// gives, so a path compensated by it lines up with the distortion's dry part. The compensation path
// itself has unity magnitude and leaves the processing filters alone.
TEST_P (DistortionCompensation, DryPathEqualsTheUnityAllPass)
{
    const auto c = GetParam();
    Distortion mixZero, bypassed, compensation;
    for (auto* d : { &mixZero, &bypassed, &compensation })
    {
        d->setSampleRate (c.sampleRate);
        setReal (*d, crossover1, c.x1);
        setReal (*d, crossover2, c.x2);
        setReal (*d, crossover3, c.x3);
        setReal (*d, band2, 30.0f);
        setReal (*d, inputGain, 20.0f);
        d->setMacroValue (0, 1.0f);
        d->reset();
    }
    setReal (mixZero, mixParameter, 0.0f);
    bypassed.setBypassed (true);

    TestNoise noise { 7u };
    for (int n = 0; n < 4000; ++n)
    {
        const float l = noise.next(), r = noise.next();
        float a[2] = { l, r }, b[2] = { l, r }, ref[2] = { l, r };
        mixZero.processFrame (a, 2);
        bypassed.processFrame (b, 2);
        // Interleaved compensation calls must not disturb the processing state.
        float scratch[2] = { r, l };
        bypassed.processCompensation (scratch, 2, true);
        compensation.processCompensation (ref, 2, false);
        ASSERT_EQ (a[0], ref[0]);
        ASSERT_EQ (a[1], ref[1]);
        ASSERT_EQ (b[0], ref[0]);
        ASSERT_EQ (b[1], ref[1]);
    }

    compensation.reset();
    const auto impulse = impulseResponse ([&] (float x) { compensation.processCompensation (&x, 1, false); return x; }, 1 << 16);
    for (double f : logFrequencies (20.0, 20000.0, 6))
        EXPECT_NEAR (magnitudeDb (responseAt (impulse, f, c.sampleRate)), 0.0, 0.01) << "at " << f << " Hz";
}

INSTANTIATE_TEST_SUITE_P (RatesAndStyles, DistortionCompensation,
    ::testing::Values (CompensationCase { 44100.0f, 100.0f, 1000.0f, 7000.0f },
                       CompensationCase { 48000.0f, 100.0f, 1000.0f, 7000.0f },
                       CompensationCase { 44100.0f, 217.7f, 1169.0f, 7706.0f },
                       CompensationCase { 48000.0f, 104.7f, 1734.0f, 4712.0f }));

TEST (DistortionChannels, MonoIsTheLeftOfADuplicatedPairAndThreeAreRefused)
{
    Distortion mono, stereo;
    for (auto* d : { &mono, &stereo })
    {
        d->setMacroValue (0, 0.8f);
        setReal (*d, band1, 20.0f);
        setReal (*d, mixParameter, 0.7f);
    }

    TestNoise noise { 7u };
    for (int n = 0; n < 2000; ++n)
    {
        const float x = noise.next();
        float m = x;
        float s[2] = { x, x };
        mono.processFrame (&m, 1);
        stereo.processFrame (s, 2);
        ASSERT_EQ (m, s[0]);
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

TEST (DistortionLifecycle, UnchangedSampleRateKeepsTheState)
{
    Distortion interrupted, reference;
    for (int n = 0; n < 400; ++n)
    {
        if (n == 100)
            interrupted.setSampleRate (44100.0f);

        float a = n == 0 ? 1.0f : 0.0f, b = a;
        interrupted.processFrame (&a, 1);
        reference.processFrame (&b, 1);
        ASSERT_EQ (a, b) << "frame " << n;
    }
}
