#pragma once

// Shared set-up of the fuzz targets: JUCE's message manager, data folders in a private temporary
// directory, and the checks every target applies to a processor after it has loaded hostile data.

#include "ValmoraAudioProcessor.h"

#include <juce_events/juce_events.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace fuzz
{
/** Reports a broken invariant and aborts, which libFuzzer records as a crash with its input. */
[[noreturn]] inline void fail (const char* what)
{
    std::fprintf (stderr, "fuzz invariant broken: %s\n", what);
    std::fflush (stderr);
    std::abort();
}

/** JUCE's message manager for the whole run, and VALMORA_DATA_ROOT pointing at a fresh temporary
    folder, so no target reads or writes a real user's presets or settings. */
inline const juce::File& initialise()
{
    static juce::ScopedJuceInitialiser_GUI juceInitialiser;
    static const juce::File root = []
    {
        auto folder = juce::File::createTempFile ("valmora-fuzz");
        folder.createDirectory();
        setenv ("VALMORA_DATA_ROOT", folder.getFullPathName().toRawUTF8(), 1);
        return folder;
    }();
    return root;
}

inline void prepare (ValmoraAudioProcessor& processor, int channels, int blockSize)
{
    const auto layout = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout buses;
    buses.inputBuses.add (layout);
    buses.outputBuses.add (layout);
    processor.setBusesLayout (buses);
    processor.setRateAndBufferSizeDetails (48000.0, blockSize);
    processor.prepareToPlay (48000.0, blockSize);
}

/** One stereo processor for a whole fuzzing run, prepared at 48 kHz, with the host state it
    started from (to return to between inputs). */
struct PreparedProcessor
{
    PreparedProcessor()
    {
        prepare (processor, 2, 64);
        processor.saveState (start, false);
    }

    ValmoraAudioProcessor processor;
    juce::MemoryBlock start;
};

inline PreparedProcessor& preparedProcessor()
{
    static PreparedProcessor instance;
    return instance;
}

/** Runs a few short blocks of a tone well above full scale through the processor and aborts if a
    NaN or infinity comes out, or the meters read NaN: whatever a loaded state holds, it must never
    produce that. */
inline void checkProcessedOutputIsFinite (ValmoraAudioProcessor& processor, int channels)
{
    constexpr int blockSize = 64;
    juce::AudioBuffer<float> buffer (channels, blockSize);
    juce::MidiBuffer midi;

    for (int block = 0; block < 3; ++block)
    {
        for (int channel = 0; channel < channels; ++channel)
            for (int n = 0; n < blockSize; ++n)
                buffer.setSample (channel, n, 2.0f * (float) std::sin (0.05 * (block * blockSize + n) + channel));

        processor.processBlock (buffer, midi);

        for (int channel = 0; channel < channels; ++channel)
            for (int n = 0; n < blockSize; ++n)
                if (! std::isfinite (buffer.getSample (channel, n)))
                    fail ("non-finite sample after loading a state");
    }

    for (auto* module : processor.getModules())
        for (int band = 0; band < 4; ++band)
            if (std::isnan (module->getAndResetMeterValue (band)))
                fail ("NaN meter value after loading a state");

    if (std::isnan (processor.getAndResetInputPeak()) || std::isnan (processor.getMeter().getPeak()))
        fail ("NaN level meter after loading a state");
}

/** Every stored normalised value of a saved blob must be a number in 0..1 after any load: the
    host values (field 1), the module parameters (field 2) and the band gains (field 10). */
inline void checkSavedValuesAreNormalised (ValmoraAudioProcessor& processor, bool asPreset)
{
    juce::MemoryBlock blob;
    processor.saveState (blob, asPreset);

    const size_t expected = (size_t) (asPreset ? ValmoraAudioProcessor::presetBlobSize : ValmoraAudioProcessor::hostBlobSize);

    if (blob.getSize() != expected)
        fail ("saved blob has the wrong size");

    auto checkWords = [&blob] (int first, int count)
    {
        for (int word = first; word < first + count; ++word)
        {
            float value;
            std::memcpy (&value, static_cast<const char*> (blob.getData()) + 4 * word, 4);

            if (! (value >= 0.0f && value <= 1.0f))
                fail ("saved value outside 0..1 (or NaN)");
        }
    };

    checkWords (0, 22 + 80);
    checkWords ((int) expected / 4 - 4, 4);
}
} // namespace fuzz
