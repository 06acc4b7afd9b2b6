#include "ProcessorFixture.h"

#include <limits>

namespace
{
struct HostileCase
{
    const char* what;
    float value;      // written into every sample of one block (alternating sign for squares)
    bool alternating;
};

const HostileCase hostileCases[] = {
    { "NaN", std::numeric_limits<float>::quiet_NaN(), false },
    { "PlusInf", std::numeric_limits<float>::infinity(), false },
    { "MinusInf", -std::numeric_limits<float>::infinity(), false },
    { "PlusFLT_MAX", std::numeric_limits<float>::max(), false },
    { "MinusFLT_MAX", -std::numeric_limits<float>::max(), false },
    { "Denormal", 1.0e-40f, false },
    { "FullScaleSquare", 1.0f, true },
    { "FLT_MAXSquare", std::numeric_limits<float>::max(), true },
};

class HostileAudio : public ::testing::TestWithParam<std::tuple<HostileCase, int>> {};

double blockLevel (const juce::AudioBuffer<float>& audio, int start, int length)
{
    double sum = 0.0;
    for (int channel = 0; channel < audio.getNumChannels(); ++channel)
        for (int n = start; n < start + length; ++n)
            sum += (double) audio.getSample (channel, n) * audio.getSample (channel, n);
    return std::sqrt (sum / (length * audio.getNumChannels()));
}
} // namespace

TEST_P (HostileAudio, OutputStaysFiniteAndRecovers)
{
    const auto [hostile, channels] = GetParam();
    constexpr int block = 512;
    constexpr double rate = 48000.0;

    ValmoraAudioProcessor processor;
    for (int index = 12; index <= 21; ++index)
        setParameter (processor, index, 0.7f);
    setParameter (processor, 2, 80.0f / 92.0f);
    prepare (processor, rate, block, channels);

    auto audio = sine (channels, block * 200, 300.0, rate, 0.3f);
    const int hostileStart = block * 100;

    for (int channel = 0; channel < channels; ++channel)
        for (int n = hostileStart; n < hostileStart + block; ++n)
            audio.setSample (channel, n, hostile.alternating && (n / 24) % 2 ? -hostile.value : hostile.value);

    render (processor, audio, block);

    for (int channel = 0; channel < channels; ++channel)
        for (int n = 0; n < audio.getNumSamples(); ++n)
            ASSERT_TRUE (std::isfinite (audio.getSample (channel, n))) << hostile.what << " at sample " << n;

    EXPECT_LE (audio.getMagnitude (0, audio.getNumSamples()), 1.0f) << hostile.what << ": the limiter still holds the ceiling";
    EXPECT_GT (blockLevel (audio, hostileStart + block, block), 1.0e-4) << hostile.what << ": the signal is back in the next block";
    EXPECT_GT (blockLevel (audio, audio.getNumSamples() - block, block), 0.01) << hostile.what << ": and back near its level later";
}

INSTANTIATE_TEST_SUITE_P (Inputs, HostileAudio,
    ::testing::Combine (::testing::ValuesIn (hostileCases), ::testing::Values (1, 2)),
    [] (const auto& info)
    {
        return std::string (std::get<0> (info.param).what) + (std::get<1> (info.param) == 1 ? "Mono" : "Stereo");
    });

TEST (HostileHost, RateAndBlockSizeChangesBetweenBlocks)
{
    ValmoraAudioProcessor processor;
    for (int index = 12; index <= 21; ++index)
        setParameter (processor, index, 0.5f);
    prepare (processor, 44100.0, 256);
    juce::MidiBuffer midi;

    const double rates[] = { 44100.0, 96000.0, 48000.0, 22050.0, 192000.0, 88200.0 };
    const int blocks[] = { 256, 1, 4096, 33, 0, 1024 };

    for (int round = 0; round < 12; ++round)
    {
        const double rate = rates[round % 6];
        processor.setRateAndBufferSizeDetails (rate, 512);
        auto audio = sine (2, std::max (1, blocks[round % 6]), 440.0, rate, 0.5f);
        audio.setSize (2, blocks[round % 6], true, true, true);
        processor.processBlock (audio, midi);

        for (int n = 0; n < audio.getNumSamples(); ++n)
            ASSERT_TRUE (std::isfinite (audio.getSample (0, n)) && std::isfinite (audio.getSample (1, n)));

        if (blocks[round % 6] > 0)
        {
            const int expected = processor.getChain()[2]->getLatencySamples() + processor.getChain()[3]->getLatencySamples()
                               + processor.getChain()[4]->getLatencySamples() + processor.getChain()[7]->getLatencySamples();
            EXPECT_EQ (processor.getLatencySamples(), expected) << rate;
        }
    }
}
