#include "CrossoverChain.h"
#include "FrequencyResponse.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace testing_support;

namespace
{
struct CrossoverCase
{
    float sampleRate;
    float lower, middle, upper;
};

class CrossoverSum : public ::testing::TestWithParam<CrossoverCase> {};
} // namespace

// The four bands must add back to an all-pass: flat magnitude across the audio band.
TEST_P (CrossoverSum, BandsSumToFlatMagnitude)
{
    const auto c = GetParam();
    CrossoverChain chain;
    chain.design (c.lower, c.middle, c.upper, c.sampleRate);
    chain.reset();

    const auto impulse = impulseResponse ([&] (float x) { return chain.split (x).sum(); }, 1 << 16);

    for (double f : logFrequencies (20.0, 20000.0, 6))
        EXPECT_NEAR (magnitudeDb (responseAt (impulse, f, c.sampleRate)), 0.0, 0.01) << "at " << f << " Hz";
}

INSTANTIATE_TEST_SUITE_P (RatesAndSplits, CrossoverSum,
    ::testing::Values (CrossoverCase { 44100.0f, 180.0f, 1000.0f, 6000.0f },
                       CrossoverCase { 48000.0f, 180.0f, 1000.0f, 6000.0f },
                       CrossoverCase { 96000.0f, 180.0f, 1000.0f, 6000.0f },
                       CrossoverCase { 44100.0f, 109.5f, 1199.0f, 8211.0f },
                       CrossoverCase { 48000.0f, 109.5f, 2287.0f, 5776.0f },
                       // Out-of-order crossovers still give four bands that sum to an all-pass.
                       CrossoverCase { 44100.0f, 2000.0f, 1000.0f, 500.0f }));

// Each band is what its lane says: a tone well inside a band comes out mostly in that lane.
TEST (CrossoverBands, ToneLandsInItsBand)
{
    const float rate = 48000.0f;
    const double tones[4] = { 50.0, 500.0, 3000.0, 15000.0 };

    for (int band = 0; band < 4; ++band)
    {
        CrossoverChain chain;
        chain.design (180.0f, 1000.0f, 6000.0f, rate);
        chain.reset();

        double energy[4] = {};
        for (int n = 0; n < 48000; ++n)
        {
            const auto lanes = chain.split ((float) std::sin (2.0 * 3.14159265358979 * tones[band] * n / rate));
            if (n >= 24000)
                for (int lane = 0; lane < 4; ++lane)
                    energy[lane] += (double) lanes.get (lane) * lanes.get (lane);
        }

        for (int lane = 0; lane < 4; ++lane)
            if (lane != band)
                EXPECT_LT (energy[lane], energy[band] * 0.1) << "tone " << tones[band] << " Hz in lane " << lane;
    }
}

// The two-channel tree shares its first three stages between the channels; each channel's bands
// must still be exactly those of a tree of its own, including after frames where only the first
// channel was split (a mono frame must leave the second channel's filter state alone).
TEST (StereoCrossover, EachChannelMatchesItsOwnTreeBitForBit)
{
    for (const auto& c : { CrossoverCase { 44100.0f, 180.0f, 1000.0f, 6000.0f }, CrossoverCase { 96000.0f, 109.5f, 2287.0f, 5776.0f },
                           CrossoverCase { 48000.0f, 2000.0f, 1000.0f, 500.0f } })
    {
        StereoCrossoverChain stereo;
        CrossoverChain left, right;
        stereo.design (c.lower, c.middle, c.upper, c.sampleRate);
        left.design (c.lower, c.middle, c.upper, c.sampleRate);
        right.design (c.lower, c.middle, c.upper, c.sampleRate);
        stereo.reset();
        left.reset();
        right.reset();

        uint32_t noise = 7;
        const auto next = [&noise] { noise = noise * 1664525u + 1013904223u; return (float) (noise >> 8) / 8388608.0f - 1.0f; };

        for (int n = 0; n < 4000; ++n)
        {
            const float l = next(), r = 0.5f * next();
            // Frames 1000 to 1999 are mono: only the first channel runs.
            const bool firstOnly = n >= 1000 && n < 2000;
            FloatVector4 stereoLeft, stereoRight;

            if (firstOnly)
                stereoLeft = stereo.splitFirst (l);
            else
                stereo.split (l, r, stereoLeft, stereoRight);

            const FloatVector4 expectedLeft = left.split (l);

            for (int lane = 0; lane < 4; ++lane)
                ASSERT_EQ (stereoLeft.get (lane), expectedLeft.get (lane)) << "left lane " << lane << " frame " << n;

            if (! firstOnly)
            {
                const FloatVector4 expectedRight = right.split (r);

                for (int lane = 0; lane < 4; ++lane)
                    ASSERT_EQ (stereoRight.get (lane), expectedRight.get (lane)) << "right lane " << lane << " frame " << n;
            }
        }
    }
}
