// loadState with arbitrary bytes, as a host's project (setStateInformation) or as a preset payload.
//
// Input: the first byte selects the mode (bit 0: preset, bit 1: mono processor), the rest is the
// blob. After the load, a short render must stay finite, a save must give a blob of the right size
// whose values are all normalised, and that blob must load again.

#include "FuzzSupport.h"

namespace
{
struct Processors
{
    Processors()
    {
        fuzz::prepare (stereo, 2, 64);
        fuzz::prepare (mono, 1, 64);
        stereo.saveState (stereoStart, false);
        mono.saveState (monoStart, false);
    }

    ValmoraAudioProcessor stereo, mono;
    juce::MemoryBlock stereoStart, monoStart;
};

Processors& processors()
{
    static Processors instance;
    return instance;
}
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    fuzz::initialise();
    processors();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;

    const bool asPreset = (data[0] & 1) != 0;
    const bool mono = (data[0] & 2) != 0;
    auto& all = processors();
    auto& processor = mono ? all.mono : all.stereo;
    const auto& start = mono ? all.monoStart : all.stereoStart;

    // Every input starts from the same state, so a crash reproduces from its input alone.
    if (! processor.loadState (start.getData(), (int) start.getSize(), false))
        fuzz::fail ("the processor's own start-up state was refused");

    const bool accepted = processor.loadState (data + 1, (int) (size - 1), asPreset);

    if (! accepted && size - 1 >= (size_t) ValmoraAudioProcessor::legacyPresetBlobSize)
        fuzz::fail ("a blob of full preset length was refused");

    fuzz::checkProcessedOutputIsFinite (processor, mono ? 1 : 2);
    fuzz::checkSavedValuesAreNormalised (processor, asPreset);

    juce::MemoryBlock saved;
    processor.saveState (saved, asPreset);

    if (! processor.loadState (saved.getData(), (int) saved.getSize(), asPreset))
        fuzz::fail ("the processor refused a blob it saved itself");

    fuzz::checkProcessedOutputIsFinite (processor, mono ? 1 : 2);
    return 0;
}
