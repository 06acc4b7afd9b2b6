#pragma once

#include "ValmoraAudioProcessor.h"

#include <juce_events/juce_events.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

/** Keeps JUCE's message manager alive for a test binary, and roots the data folders in a
    temporary directory so that no test touches a real user's presets or settings. */
class TestEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        root = juce::File::createTempFile ("valmora-tests");
        root.createDirectory();
        setenv ("VALMORA_DATA_ROOT", root.getFullPathName().toRawUTF8(), 1);
        initialiser = std::make_unique<juce::ScopedJuceInitialiser_GUI>();
    }

    void TearDown() override
    {
        initialiser.reset();
        root.deleteRecursively();
    }

    static juce::File dataRoot() { return juce::File (juce::SystemStats::getEnvironmentVariable ("VALMORA_DATA_ROOT", {})); }

private:
    juce::File root;
    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> initialiser;
};

namespace juce
{
// JUCE's own single-step of the message loop (what runDispatchLoop repeats); stopping the loop
// would end it for the rest of the process, so tests step it instead.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

/** Runs the message loop for a while, as a host's event loop would between calls. */
inline void pumpMessages (int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;

    while (juce::Time::getMillisecondCounter() < end)
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
}

/** Prepares a processor the way a host does: rate and block size details, then prepareToPlay. */
inline void prepare (juce::AudioProcessor& processor, double sampleRate, int blockSize, int channels = 2)
{
    const auto layout = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout buses;
    buses.inputBuses.add (layout);
    buses.outputBuses.add (layout);
    processor.setBusesLayout (buses);
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);
}

/** Sets a host parameter of a processor by index to a normalised value. */
inline void setParameter (ValmoraAudioProcessor& processor, int index, float value)
{
    processor.getParameters()[(size_t) index]->setValueNotifyingHost (value);
}

/** Renders a whole buffer through a processor in blocks of `blockSize`. */
inline void render (juce::AudioProcessor& processor, juce::AudioBuffer<float>& audio, int blockSize)
{
    juce::MidiBuffer midi;

    for (int start = 0; start < audio.getNumSamples(); start += blockSize)
    {
        const int count = std::min (blockSize, audio.getNumSamples() - start);
        juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), audio.getNumChannels(), start, count);
        processor.processBlock (block, midi);
    }
}

/** A sine of the given level (linear peak) on every channel. */
inline juce::AudioBuffer<float> sine (int channels, int length, double frequency, double sampleRate, float peak)
{
    juce::AudioBuffer<float> buffer (channels, length);

    for (int channel = 0; channel < channels; ++channel)
        for (int n = 0; n < length; ++n)
            buffer.setSample (channel, n, peak * (float) std::sin (2.0 * 3.14159265358979 * frequency * n / sampleRate));

    return buffer;
}
