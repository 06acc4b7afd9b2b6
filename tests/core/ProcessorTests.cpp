#include "ProcessorFixture.h"

#include <array>

namespace
{
struct ParameterExpectation
{
    const char* identifier;
    const char* name;
    float normalisedDefault;
};

const ParameterExpectation expectedParameters[26] = {
    { "0INPUT", "Input Gain", 0.8163265f },
    { "1OUTPUT", "Ouput Gain", 0.8163265f },
    { "2GAIN", "Add Gain", 0.0f },
    { "3BYPASS", "Global Bypass", 0.0f },
    { "4BYPASS", "HP Filter Bypass", 0.0f },
    { "5BYPASS", "Comp Bypass", 0.0f },
    { "6BYPASS", "Multiband Bypass", 0.0f },
    { "7BYPASS", "Width Bypass", 0.0f },
    { "8BYPASS", "EQ Bypass", 0.0f },
    { "9BYPASS", "Limiter Bypass", 0.0f },
    { "10BYPASS", "Dist Bypass", 0.0f },
    { "11BYPASS", "Add Comp Bypass", 0.0f },
    { "12COMP", "Comp Amount", 0.0f },
    { "13LOW", "MB Low Amount", 0.0f },
    { "14LOW MID", "MB Low Mid Amount", 0.0f },
    { "15HIGH MID", "MB High Mid Amount", 0.0f },
    { "16HIGH", "MB High Amount", 0.0f },
    { "17STEREO", "Stereo Width", 0.0f },
    { "18BASS", "Bass Amount", 0.5f },
    { "19TREBLE", "Treble Amount", 0.5f },
    { "20DIST", "Dist Amount", 0.0f },
    { "21COMP", "Add Comp Amount", 0.0f },
    { "MBLowGain", "MB Low Gain", 0.5f },
    { "MBLowMidGain", "MB Low  Mid Gain", 0.5f },
    { "MBHighMidGain", "MB High Mid Gain", 0.5f },
    { "MBHighGain", "MB High Gain", 0.5f },
};

double rms (const juce::AudioBuffer<float>& buffer, int channel, int start, int length)
{
    double sum = 0.0;
    for (int n = start; n < start + length; ++n)
        sum += (double) buffer.getSample (channel, n) * buffer.getSample (channel, n);
    return std::sqrt (sum / length);
}
} // namespace

TEST (ProcessorParameters, TwentySixInOrderWithIdentifiersNamesAndDefaults)
{
    ValmoraAudioProcessor processor;
    const auto& parameters = processor.getParameters();
    ASSERT_EQ (parameters.size(), 26u);
    ASSERT_EQ (processor.getParameters().size(), (size_t) processor.juce::AudioProcessor::getParameters().size());

    for (size_t index = 0; index < 26; ++index)
    {
        SCOPED_TRACE (expectedParameters[index].identifier);
        EXPECT_EQ (parameters[index]->getParameterID(), juce::String (expectedParameters[index].identifier));
        EXPECT_EQ (parameters[index]->getName (100), juce::String (expectedParameters[index].name));
        EXPECT_NEAR (ValmoraAudioProcessor::normalisedDefault (parameters[index]), expectedParameters[index].normalisedDefault, 1e-6);
        EXPECT_NEAR (ValmoraAudioProcessor::normalisedValue (parameters[index]), expectedParameters[index].normalisedDefault, 1e-6);
        EXPECT_EQ (parameters[index]->getVersionHint(), 1);
    }

    EXPECT_EQ (processor.getBypassParameter(), parameters[3]);
}

TEST (ProcessorParameters, MacroNumberingAndHostDescriptors)
{
    ValmoraAudioProcessor processor;
    const int expectedOffsets[8] = { 12, 12, 13, 17, 18, 20, 20, 21 };

    for (int module = 0; module < 8; ++module)
        EXPECT_EQ (processor.getModules()[(size_t) module]->getMacroIndexOffset(), expectedOffsets[module]) << "module " << module;

    const auto& descriptors = processor.getHostDescriptors();
    ASSERT_EQ (descriptors.size(), 22u);

    for (int index = 0; index < 22; ++index)
        EXPECT_EQ (descriptors[(size_t) index].index, index);

    EXPECT_STREQ (descriptors[14].name, "LOW MID");
    EXPECT_EQ (descriptors[18].minimum, -1.0f);
    EXPECT_STREQ (descriptors[0].description, "Input gain level. A green indicator equals a good input signal.");
}

TEST (ProcessorLifecycle, ProgramsAndBasics)
{
    ValmoraAudioProcessor processor;
    EXPECT_EQ (processor.getName(), "Valmora");
    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_EQ (processor.getProgramName (0), "Default");
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
    EXPECT_TRUE (processor.hasEditor());
}

TEST (ProcessorLifecycle, BusLayouts)
{
    ValmoraAudioProcessor processor;
    auto layout = [] (juce::AudioChannelSet in, juce::AudioChannelSet out)
    {
        juce::AudioProcessor::BusesLayout buses;
        buses.inputBuses.add (in);
        buses.outputBuses.add (out);
        return buses;
    };

    EXPECT_TRUE (processor.checkBusesLayoutSupported (layout (juce::AudioChannelSet::mono(), juce::AudioChannelSet::mono())));
    EXPECT_TRUE (processor.checkBusesLayoutSupported (layout (juce::AudioChannelSet::stereo(), juce::AudioChannelSet::stereo())));
    EXPECT_FALSE (processor.checkBusesLayoutSupported (layout (juce::AudioChannelSet::mono(), juce::AudioChannelSet::stereo())));
    EXPECT_FALSE (processor.checkBusesLayoutSupported (layout (juce::AudioChannelSet::stereo(), juce::AudioChannelSet::mono())));
    EXPECT_FALSE (processor.checkBusesLayoutSupported (layout (juce::AudioChannelSet::create5point1(), juce::AudioChannelSet::create5point1())));
}

namespace
{
struct LatencyCase
{
    double hostRate;
    int expectedLatency; // high-pass 0 + compressor + multiband + 0 + 0 + limiter
};

class ProcessorLatency : public ::testing::TestWithParam<LatencyCase> {};
} // namespace

TEST_P (ProcessorLatency, IsTheSumOfTheMainChain)
{
    ValmoraAudioProcessor processor;
    prepare (processor, GetParam().hostRate, 512);
    EXPECT_EQ (processor.getLatencySamples(), GetParam().expectedLatency);

    int parallel = 0;
    for (int position = 0; position < 2; ++position)
        parallel += processor.getChain()[(size_t) position]->getLatencySamples();
    EXPECT_EQ (parallel, processor.getChain()[3]->getLatencySamples()) << "only the parallel compressor has latency";
}

INSTANTIATE_TEST_SUITE_P (Rates, ProcessorLatency,
    ::testing::Values (LatencyCase { 22050.0, 441 + 441 + 133 },   // below 44.1 kHz counts as 44.1 kHz
                       LatencyCase { 44100.0, 441 + 441 + 133 },
                       LatencyCase { 48000.0, 480 + 480 + 144 },
                       LatencyCase { 88200.0, 882 + 882 + 265 },
                       LatencyCase { 96000.0, 960 + 960 + 288 },
                       LatencyCase { 192000.0, 1920 + 1920 + 576 }));

TEST (ProcessorChain, SilenceInSilenceOut)
{
    ValmoraAudioProcessor processor;
    prepare (processor, 48000.0, 512);
    juce::AudioBuffer<float> audio (2, 48000);
    audio.clear();
    render (processor, audio, 512);

    EXPECT_EQ (audio.getMagnitude (0, audio.getNumSamples()), 0.0f);
    EXPECT_EQ (processor.getAndResetInputPeak(), 0.0f);
}

TEST (ProcessorChain, AnyBlockSizeIncludingEmptyAndOversized)
{
    ValmoraAudioProcessor processor;
    prepare (processor, 44100.0, 64);
    juce::MidiBuffer midi;

    juce::AudioBuffer<float> empty (2, 0);
    processor.processBlock (empty, midi);

    for (int blockSize : { 1, 7, 64, 4096, 10000 })
    {
        auto audio = sine (2, blockSize * 3, 440.0, 44100.0, 0.5f);
        render (processor, audio, blockSize);

        for (int n = 0; n < audio.getNumSamples(); ++n)
            ASSERT_TRUE (std::isfinite (audio.getSample (0, n)) && std::isfinite (audio.getSample (1, n))) << "block " << blockSize;
    }
}

TEST (ProcessorChain, MonoWritesOneChannelAndPasses)
{
    ValmoraAudioProcessor processor;
    prepare (processor, 44100.0, 512, 1);
    auto audio = sine (1, 44100, 1000.0, 44100.0, 0.25f);
    render (processor, audio, 512);

    const double level = rms (audio, 0, 22050, 22050);
    EXPECT_GT (level, 0.1) << "a mono signal comes through";
    EXPECT_GT (processor.getAndResetInputPeak(), 0.0f);
}

TEST (ProcessorChain, GlobalBypassPassesTheSignalAtUnityWithTheLatencyKept)
{
    ValmoraAudioProcessor processor;
    setParameter (processor, 3, 1.0f);
    setParameter (processor, 0, 0.0f); // input gain -80 dB is overridden by the bypass
    prepare (processor, 48000.0, 256);

    const int latency = processor.getLatencySamples();
    auto audio = sine (2, 96000, 1000.0, 48000.0, 0.5f);
    const auto dry = audio;
    render (processor, audio, 256);

    const double inputLevel = rms (dry, 0, 48000, 24000);
    const double outputLevel = rms (audio, 0, 48000 + latency, 24000);
    EXPECT_NEAR (20.0 * std::log10 (outputLevel / inputLevel), 0.0, 0.05);
}

TEST (ProcessorChain, SoloWithMinimumAddGainIsTheParallelPathAtMinus80dB)
{
    ValmoraAudioProcessor processor;
    processor.setAddSolo (true);
    prepare (processor, 48000.0, 512);

    auto audio = sine (2, 96000, 1000.0, 48000.0, 0.01f);
    const auto dry = audio;
    render (processor, audio, 512);

    const double ratioDb = 20.0 * std::log10 (rms (audio, 0, 48000, 24000) / rms (dry, 0, 48000, 24000));
    EXPECT_NEAR (ratioDb, -80.0, 1.0);
}

TEST (ProcessorChain, RateChangeWithoutPrepareRepreparesTheModules)
{
    ValmoraAudioProcessor processor;
    prepare (processor, 44100.0, 512);
    EXPECT_EQ (processor.getLatencySamples(), 1015);

    processor.setRateAndBufferSizeDetails (96000.0, 512);
    juce::AudioBuffer<float> audio (2, 512);
    audio.clear();
    juce::MidiBuffer midi;
    processor.processBlock (audio, midi);
    EXPECT_EQ (processor.getLatencySamples(), 2208);
}

TEST (ProcessorChain, BandGainRampLengthFollowsTheBlock)
{
    ValmoraAudioProcessor processor;
    prepare (processor, 48000.0, 64);
    setParameter (processor, 22, 1.0f);

    juce::AudioBuffer<float> audio (2, 64);
    audio.clear();
    juce::MidiBuffer midi;
    processor.processBlock (audio, midi);
    EXPECT_EQ (processor.getMultibandCompressor().bandGainRamps[0].length, 64);
    EXPECT_FLOAT_EQ (processor.getMultibandCompressor().bandGainRamps[0].target, 16.0f);

    juce::AudioBuffer<float> longer (2, 1024);
    longer.clear();
    processor.processBlock (longer, midi);
    EXPECT_EQ (processor.getMultibandCompressor().bandGainRamps[0].length, 256);
}
