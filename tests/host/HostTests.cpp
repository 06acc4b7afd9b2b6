// What a host sees: the built VST3 bundle loaded through JUCE's VST3 hosting.

#include "../core/ProcessorFixture.h"

#include <juce_audio_processors/juce_audio_processors.h>

namespace
{
/** The VST3 parameter ID a JUCE plug-in derives from its string identifier. */
juce::String vst3IdentifierFor (const juce::String& identifier)
{
    return juce::String ((juce::uint32) identifier.hashCode() & 0x7fffffffu);
}

std::unique_ptr<juce::AudioPluginInstance> loadPlugin (double sampleRate = 48000.0, int blockSize = 512)
{
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, VALMORA_VST3_BUNDLE);

    if (types.isEmpty())
        return nullptr;

    juce::String error;
    return format.createInstanceFromDescription (*types[0], sampleRate, blockSize, error);
}

struct HostParameterExpectation
{
    const char* identifier;
    const char* name;
    float normalisedDefault;
};

const HostParameterExpectation expected[26] = {
    { "0INPUT", "Input Gain", 0.8163265f }, { "1OUTPUT", "Ouput Gain", 0.8163265f }, { "2GAIN", "Add Gain", 0.0f },
    { "3BYPASS", "Global Bypass", 0.0f }, { "4BYPASS", "HP Filter Bypass", 0.0f }, { "5BYPASS", "Comp Bypass", 0.0f },
    { "6BYPASS", "Multiband Bypass", 0.0f }, { "7BYPASS", "Width Bypass", 0.0f }, { "8BYPASS", "EQ Bypass", 0.0f },
    { "9BYPASS", "Limiter Bypass", 0.0f }, { "10BYPASS", "Dist Bypass", 0.0f }, { "11BYPASS", "Add Comp Bypass", 0.0f },
    { "12COMP", "Comp Amount", 0.0f }, { "13LOW", "MB Low Amount", 0.0f }, { "14LOW MID", "MB Low Mid Amount", 0.0f },
    { "15HIGH MID", "MB High Mid Amount", 0.0f }, { "16HIGH", "MB High Amount", 0.0f }, { "17STEREO", "Stereo Width", 0.0f },
    { "18BASS", "Bass Amount", 0.5f }, { "19TREBLE", "Treble Amount", 0.5f }, { "20DIST", "Dist Amount", 0.0f },
    { "21COMP", "Add Comp Amount", 0.0f }, { "MBLowGain", "MB Low Gain", 0.5f }, { "MBLowMidGain", "MB Low  Mid Gain", 0.5f },
    { "MBHighMidGain", "MB High Mid Gain", 0.5f }, { "MBHighGain", "MB High Gain", 0.5f },
};

juce::AudioProcessor::BusesLayout layoutOf (juce::AudioChannelSet in, juce::AudioChannelSet out)
{
    juce::AudioProcessor::BusesLayout buses;
    buses.inputBuses.add (in);
    buses.outputBuses.add (out);
    return buses;
}

void renderThrough (juce::AudioPluginInstance& plugin, juce::AudioBuffer<float>& audio, int blockSize)
{
    juce::MidiBuffer midi;
    for (int start = 0; start < audio.getNumSamples(); start += blockSize)
    {
        const int count = std::min (blockSize, audio.getNumSamples() - start);
        juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), audio.getNumChannels(), start, count);
        plugin.processBlock (block, midi);
    }
}
} // namespace

TEST (HostView, LoadsWithTwentySixParametersInOrder)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr) << "cannot load " << VALMORA_VST3_BUNDLE;

    EXPECT_EQ (plugin->getName(), "Valmora");
    EXPECT_EQ (plugin->getPluginDescription().manufacturerName, "Tarnwick");
    EXPECT_EQ (plugin->getPluginDescription().version, "2.0.2");
    EXPECT_FALSE (plugin->acceptsMidi());

    const auto& parameters = plugin->getParameters();
    ASSERT_EQ (parameters.size(), 26);
    EXPECT_EQ (plugin->getBypassParameter(), parameters[3]) << "the host's bypass is \"Global Bypass\"";

    for (int index = 0; index < 26; ++index)
    {
        SCOPED_TRACE (expected[index].identifier);
        auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (parameters[index]);
        ASSERT_NE (hosted, nullptr);
        EXPECT_EQ (hosted->getParameterID(), vst3IdentifierFor (expected[index].identifier));
        EXPECT_EQ (parameters[index]->getName (100), juce::String (expected[index].name));
        EXPECT_NEAR (parameters[index]->getDefaultValue(), expected[index].normalisedDefault, 1e-6);
        EXPECT_NEAR (parameters[index]->getValue(), expected[index].normalisedDefault, 1e-6);
        EXPECT_TRUE (parameters[index]->isAutomatable());
    }
}

TEST (HostView, LatencyLayoutsAndAudio)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);

    EXPECT_TRUE (plugin->checkBusesLayoutSupported (layoutOf (juce::AudioChannelSet::stereo(), juce::AudioChannelSet::stereo())));
    EXPECT_TRUE (plugin->checkBusesLayoutSupported (layoutOf (juce::AudioChannelSet::mono(), juce::AudioChannelSet::mono())));
    EXPECT_FALSE (plugin->checkBusesLayoutSupported (layoutOf (juce::AudioChannelSet::mono(), juce::AudioChannelSet::stereo())));

    ASSERT_TRUE (plugin->setBusesLayout (layoutOf (juce::AudioChannelSet::stereo(), juce::AudioChannelSet::stereo())));
    plugin->setRateAndBufferSizeDetails (48000.0, 512);
    plugin->prepareToPlay (48000.0, 512);
    pumpMessages (100); // the plug-in announces its new latency through the host's event loop
    EXPECT_EQ (plugin->getLatencySamples(), 480 + 480 + 144);

    auto audio = sine (2, 48000, 440.0, 48000.0, 0.25f);
    renderThrough (*plugin, audio, 512);
    EXPECT_GT (audio.getMagnitude (0, 24000, 24000), 0.1f) << "audio passes through the plug-in";
    plugin->releaseResources();
}

TEST (HostView, MonoLayoutProcesses)
{
    auto plugin = loadPlugin (44100.0, 256);
    ASSERT_NE (plugin, nullptr);
    ASSERT_TRUE (plugin->setBusesLayout (layoutOf (juce::AudioChannelSet::mono(), juce::AudioChannelSet::mono())));
    plugin->setRateAndBufferSizeDetails (44100.0, 256);
    plugin->prepareToPlay (44100.0, 256);
    pumpMessages (100);
    EXPECT_EQ (plugin->getLatencySamples(), 441 + 441 + 133);

    auto audio = sine (1, 44100, 440.0, 44100.0, 0.25f);
    renderThrough (*plugin, audio, 256);
    EXPECT_GT (audio.getMagnitude (0, 22050, 22050), 0.1f);
}

TEST (HostView, StateRestoredIntoAFreshInstanceReproducesTheOutputExactly)
{
    auto first = loadPlugin();
    ASSERT_NE (first, nullptr);
    const auto& parameters = first->getParameters();
    const std::pair<int, float> settings[] = { { 2, 0.85f }, { 12, 0.6f }, { 13, 0.4f }, { 16, 0.7f }, { 17, 0.5f },
                                               { 18, 0.8f }, { 19, 0.3f }, { 20, 0.5f }, { 21, 0.6f }, { 24, 0.7f } };
    for (const auto& [index, value] : settings)
        parameters[index]->setValue (value);

    juce::MemoryBlock state;
    first->getStateInformation (state);

    auto second = loadPlugin();
    ASSERT_NE (second, nullptr);
    second->setStateInformation (state.getData(), (int) state.getSize());

    for (int index = 0; index < 26; ++index)
        EXPECT_EQ (second->getParameters()[index]->getValue(), parameters[index]->getValue()) << "parameter " << index;

    auto renderFresh = [] (juce::AudioPluginInstance& plugin)
    {
        plugin.setRateAndBufferSizeDetails (48000.0, 512);
        plugin.prepareToPlay (48000.0, 512);
        auto audio = sine (2, 48000, 110.0, 48000.0, 0.7f);
        for (int n = 0; n < audio.getNumSamples(); ++n)
            audio.setSample (1, n, audio.getSample (1, n) * 0.5f + 0.2f * (float) std::sin (n * 0.37));
        renderThrough (plugin, audio, 512);
        return audio;
    };

    const auto a = renderFresh (*first);
    const auto b = renderFresh (*second);

    for (int channel = 0; channel < 2; ++channel)
        for (int n = 0; n < a.getNumSamples(); ++n)
            ASSERT_EQ (a.getSample (channel, n), b.getSample (channel, n)) << "channel " << channel << " sample " << n;
}
