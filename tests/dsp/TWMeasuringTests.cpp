#include "TWMeasuring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
/** Feeds `seconds` of a constant or sine signal in 512-frame blocks. */
void feed (TWMeasuring& meter, int channels, double seconds, float level, double frequency = 0.0, double rate = 48000.0)
{
    std::vector<float> left (512), right (512);
    const float* pointers[2] = { left.data(), right.data() };
    const int blocks = (int) (seconds * rate / 512);

    for (int block = 0; block < blocks; ++block)
    {
        for (int n = 0; n < 512; ++n)
        {
            const double t = (block * 512 + n) / rate;
            left[(size_t) n] = right[(size_t) n] = frequency > 0.0 ? level * (float) std::sin (2.0 * 3.14159265358979 * frequency * t) : level;
        }

        meter.addBlock (pointers, channels, 512);
    }
}
} // namespace

TEST (TWMeasuring, ConstantHalfDrivesRmsToMinus6dB)
{
    TWMeasuring meter;
    meter.updateSampleRate (48000.0);
    feed (meter, 2, 2.0, 0.5f);
    EXPECT_NEAR (meter.getRmsDb (0), -6.02, 0.05);
    EXPECT_NEAR (meter.getPeakDb (1), -6.02, 0.01);
    EXPECT_NEAR (meter.getPeak(), 0.5, 1e-6);
}

TEST (TWMeasuring, RmsAndMomentaryHoldForFourReadsThenFall)
{
    TWMeasuring meter;
    meter.updateSampleRate (48000.0);
    feed (meter, 2, 1.0, 0.25f, 1000.0);

    const double rms = meter.getRmsDb (0);
    const double momentary = meter.getMomentaryLoudness();
    EXPECT_GT (momentary, -40.0);

    for (int read = 1; read < 4; ++read)
    {
        EXPECT_DOUBLE_EQ (meter.getRmsDb (0), rms) << "hold, read " << read;
        EXPECT_DOUBLE_EQ (meter.getMomentaryLoudness(), momentary) << "hold, read " << read;
    }

    EXPECT_NEAR (meter.getRmsDb (0), rms + 20.0 * std::log10 (0.9), 1e-3) << "then 0.9x per read";
    EXPECT_NEAR (meter.getMomentaryLoudness(), momentary - 1.0, 1e-9) << "then 1 LU per read";

    for (int read = 0; read < 400; ++read)
        meter.getMomentaryLoudness();
    EXPECT_EQ (meter.getMomentaryLoudness(), -200.0) << "down to -200, not below";
}

TEST (TWMeasuring, PeakResetThenSilenceReadsMinus100)
{
    TWMeasuring meter;
    feed (meter, 2, 0.1, 0.8f, 0.0, 44100.0);
    EXPECT_GT (meter.getPeakDb (0), -3.0);

    meter.resetPeaks();
    EXPECT_FALSE (meter.isPeakResetDone());
    feed (meter, 2, 0.1, 0.0f, 0.0, 44100.0);
    EXPECT_TRUE (meter.isPeakResetDone());
    EXPECT_EQ (meter.getPeakDb (0), -100.0);
    EXPECT_EQ (meter.getPeakDb (1), -100.0);
}

TEST (TWMeasuring, LoudnessOfAKnownToneAndSeparateMonoState)
{
    TWMeasuring meter;
    meter.updateSampleRate (48000.0);
    EXPECT_TRUE (std::isinf (meter.getIntegratedLoudness())) << "nothing measured yet";

    // A stereo 1 kHz sine reads its peak level in LUFS (the EBU R 128 reference: -23 dBFS reads
    // -23 LUFS), so 0.1 (-20 dBFS) reads -20 LUFS.
    feed (meter, 2, 5.0, 0.1f, 1000.0);
    EXPECT_NEAR (meter.getShortTermLoudness(), -20.0, 0.2);
    EXPECT_NEAR (meter.getMomentaryLoudness(), -20.0, 0.2);
    EXPECT_NEAR (meter.getIntegratedLoudness(), -20.0, 0.2);

    // Mono blocks use the mono state, which has measured nothing yet.
    feed (meter, 1, 0.05, 0.1f, 1000.0);
    EXPECT_TRUE (std::isinf (meter.getIntegratedLoudness()));
    feed (meter, 1, 5.0, 0.1f, 1000.0);
    EXPECT_NEAR (meter.getIntegratedLoudness(), -23.0, 0.2) << "one channel carries half the energy";
}

TEST (TWMeasuring, BlocksLargerThanTheInterleaveBufferAndDisabledMeasuring)
{
    TWMeasuring meter;
    meter.updateSampleRate (48000.0);
    std::vector<float> samples (48000 * 4, 0.1f);
    for (size_t n = 0; n < samples.size(); ++n)
        samples[n] = 0.1f * (float) std::sin (2.0 * 3.14159265358979 * 1000.0 * (double) n / 48000.0);
    const float* pointers[2] = { samples.data(), samples.data() };
    meter.addBlock (pointers, 2, (int) samples.size());
    EXPECT_NEAR (meter.getShortTermLoudness(), -20.0, 0.2);

    TWMeasuring disabled;
    disabled.setLevelEnabled (false);
    disabled.setLoudnessEnabled (false);
    disabled.addBlock (pointers, 2, 48000);
    EXPECT_EQ (disabled.getPeakDb (0), -100.0);
    EXPECT_EQ (disabled.getShortTermLoudness(), -200.0);
}
