// Writes the factory preset library. Each preset below is a choice of module styles and host
// parameter values; the files are produced by the processor's own state code, so they always
// match the format the plug-in reads.
//
// Usage: valmora-factory-presets OUTPUT_FOLDER
// Creates OUTPUT_FOLDER/<NN_Category>/<NN_Name>.valmora.

#include "ValmoraAudioProcessor.h"

#include <iostream>
#include <map>

namespace
{
// Style indices per module: hpfilter, precomp, multibandcomp, msstereo, fbeq, limiter, adddist, addcomp.
struct Styles
{
    int hpFilter = 1, preComp = 0, multiband = 0, stereo = 0, eq = 0, limiter = 0, distortion = 0, addComp = 0;
};

struct FactoryPreset
{
    const char* category;  // folder name, with its ordering prefix
    const char* fileName;  // without extension, with its ordering prefix
    Styles styles;
    std::map<std::string, float> settings; // host parameter display name -> real value (dB or 0..1 amounts)
};

/** Host parameter values in the units a mastering engineer thinks in: gains in dB, amounts 0..1,
    bass and treble -1..1 (0 is flat). */
const FactoryPreset presets[] = {
    { "01_Master", "01_Default", { 1, 0, 0, 0, 0, 0, 0, 0 },
      { { "Comp Amount", 0.25f }, { "MB Low Amount", 0.25f }, { "MB Low Mid Amount", 0.2f }, { "MB High Mid Amount", 0.2f },
        { "MB High Amount", 0.2f }, { "Stereo Width", 0.15f } } },
    { "01_Master", "02_Transparent", { 0, 1, 0, 0, 0, 2, 0, 0 },
      { { "Comp Amount", 0.3f }, { "MB Low Amount", 0.1f }, { "MB Low Mid Amount", 0.1f }, { "MB High Mid Amount", 0.1f },
        { "MB High Amount", 0.1f } } },
    { "01_Master", "03_Gentle Glue", { 1, 1, 0, 0, 0, 2, 0, 3 },
      { { "Comp Amount", 0.5f }, { "MB Low Amount", 0.2f }, { "MB Low Mid Amount", 0.2f }, { "MB High Mid Amount", 0.2f },
        { "MB High Amount", 0.2f }, { "Add Gain", -18.0f }, { "Add Comp Amount", 0.5f }, { "Dist Bypass", 1.0f } } },
    { "01_Master", "04_Loud", { 1, 0, 2, 0, 0, 1, 0, 2 },
      { { "Input Gain", 5.0f }, { "Comp Amount", 0.6f }, { "MB Low Amount", 0.6f }, { "MB Low Mid Amount", 0.55f },
        { "MB High Mid Amount", 0.55f }, { "MB High Amount", 0.5f }, { "Stereo Width", 0.2f }, { "Add Gain", -12.0f },
        { "Add Comp Amount", 0.6f }, { "Dist Amount", 0.15f } } },
    { "02_Genre", "01_Rock", { 1, 0, 1, 0, 1, 0, 2, 2 },
      { { "Comp Amount", 0.45f }, { "MB Low Amount", 0.5f }, { "MB Low Mid Amount", 0.4f }, { "MB High Mid Amount", 0.4f },
        { "MB High Amount", 0.35f }, { "Treble Amount", 0.2f }, { "Add Gain", -14.0f }, { "Dist Amount", 0.35f },
        { "Add Comp Amount", 0.5f } } },
    { "02_Genre", "02_Electronic", { 2, 0, 2, 1, 0, 1, 1, 1 },
      { { "Comp Amount", 0.4f }, { "MB Low Amount", 0.65f }, { "MB Low Mid Amount", 0.45f }, { "MB High Mid Amount", 0.45f },
        { "MB High Amount", 0.45f }, { "Stereo Width", 0.5f }, { "Bass Amount", 0.25f }, { "Add Gain", -14.0f },
        { "Dist Amount", 0.3f }, { "Add Comp Amount", 0.5f } } },
    { "02_Genre", "03_Hip Hop", { 1, 0, 1, 1, 0, 0, 1, 3 },
      { { "Comp Amount", 0.4f }, { "MB Low Amount", 0.6f }, { "MB Low Mid Amount", 0.35f }, { "MB High Mid Amount", 0.3f },
        { "MB High Amount", 0.3f }, { "Stereo Width", 0.4f }, { "Bass Amount", 0.35f }, { "Add Gain", -16.0f },
        { "Dist Amount", 0.4f }, { "Add Comp Amount", 0.4f } } },
    { "02_Genre", "04_Acoustic", { 0, 1, 0, 0, 1, 2, 0, 3 },
      { { "Comp Amount", 0.4f }, { "MB Low Amount", 0.2f }, { "MB Low Mid Amount", 0.2f }, { "MB High Mid Amount", 0.15f },
        { "MB High Amount", 0.15f }, { "Stereo Width", 0.2f }, { "Bass Amount", 0.1f }, { "Treble Amount", 0.15f },
        { "Dist Bypass", 1.0f }, { "Add Comp Bypass", 1.0f } } },
    { "02_Genre", "05_Jazz", { 0, 1, 0, 0, 2, 2, 0, 3 },
      { { "Comp Amount", 0.3f }, { "MB Low Amount", 0.15f }, { "MB Low Mid Amount", 0.15f }, { "MB High Mid Amount", 0.1f },
        { "MB High Amount", 0.1f }, { "Stereo Width", 0.15f }, { "Bass Amount", 0.1f }, { "Treble Amount", -0.1f },
        { "Dist Bypass", 1.0f }, { "Add Comp Bypass", 1.0f } } },
    { "03_Character", "01_Wide", { 1, 0, 0, 3, 0, 0, 0, 0 },
      { { "Comp Amount", 0.3f }, { "MB Low Amount", 0.25f }, { "MB Low Mid Amount", 0.25f }, { "MB High Mid Amount", 0.25f },
        { "MB High Amount", 0.25f }, { "Stereo Width", 0.8f } } },
    { "03_Character", "02_Warm", { 1, 1, 0, 1, 1, 2, 2, 3 },
      { { "Comp Amount", 0.35f }, { "MB Low Amount", 0.3f }, { "MB Low Mid Amount", 0.3f }, { "MB High Mid Amount", 0.25f },
        { "MB High Amount", 0.2f }, { "Bass Amount", 0.3f }, { "Treble Amount", -0.2f }, { "Add Gain", -14.0f },
        { "Dist Amount", 0.45f }, { "Add Comp Amount", 0.4f } } },
    { "03_Character", "03_Vocal", { 1, 0, 5, 0, 0, 0, 3, 1 },
      { { "Comp Amount", 0.35f }, { "MB Low Amount", 0.25f }, { "MB Low Mid Amount", 0.3f }, { "MB High Mid Amount", 0.5f },
        { "MB High Amount", 0.3f }, { "Add Gain", -18.0f }, { "Dist Amount", 0.3f }, { "Add Comp Amount", 0.4f } } },
    { "03_Character", "04_Bass Heavy", { 0, 0, 1, 1, 0, 0, 1, 2 },
      { { "Comp Amount", 0.35f }, { "MB Low Amount", 0.7f }, { "MB Low Mid Amount", 0.35f }, { "MB High Mid Amount", 0.25f },
        { "MB High Amount", 0.25f }, { "Stereo Width", 0.5f }, { "Bass Amount", 0.5f }, { "Add Gain", -14.0f },
        { "Dist Amount", 0.4f }, { "Add Comp Amount", 0.4f } } },
    { "03_Character", "05_Sparkle", { 1, 0, 0, 2, 1, 0, 4, 1 },
      { { "Comp Amount", 0.3f }, { "MB Low Amount", 0.2f }, { "MB Low Mid Amount", 0.2f }, { "MB High Mid Amount", 0.3f },
        { "MB High Amount", 0.35f }, { "Stereo Width", 0.5f }, { "Treble Amount", 0.35f }, { "Add Gain", -18.0f },
        { "Dist Amount", 0.35f }, { "Add Comp Amount", 0.3f } } },
};

/** A real value to the host parameter's normalised value, with the processor's own ranges. */
float normalise (const ValmoraAudioProcessor& processor, int index, float value)
{
    if (index < (int) processor.getHostDescriptors().size())
    {
        const auto& descriptor = processor.getHostDescriptors()[(size_t) index];
        return (value - descriptor.minimum) / (descriptor.maximum - descriptor.minimum);
    }

    const auto& band = HostParameters::bandGainDescriptors[index - HostParameters::firstBandGainParameter];
    return (value - band.minimum) / (band.maximum - band.minimum);
}

bool writePreset (const FactoryPreset& preset, const juce::File& root)
{
    ValmoraAudioProcessor processor;
    const int styles[8] = { preset.styles.hpFilter, preset.styles.preComp, preset.styles.multiband, preset.styles.stereo,
                            preset.styles.eq, preset.styles.limiter, preset.styles.distortion, preset.styles.addComp };

    for (int module = 0; module < 8; ++module)
    {
        processor.setModuleStyle (module, styles[module]);

        if (processor.getModuleStyle (module) != styles[module])
        {
            std::cerr << preset.fileName << ": no style " << styles[module] << " for module " << module << "\n";
            return false;
        }
    }

    for (const auto& [name, value] : preset.settings)
    {
        const auto& parameters = processor.getParameters();
        auto found = std::find_if (parameters.begin(), parameters.end(), [&parameterName = name] (auto* p) { return p->getName (100) == juce::String (parameterName); });

        if (found == parameters.end())
        {
            std::cerr << preset.fileName << ": no parameter \"" << name << "\"\n";
            return false;
        }

        const int index = (int) (found - parameters.begin());
        const float normalised = normalise (processor, index, value);

        if (normalised < 0.0f || normalised > 1.0f)
        {
            std::cerr << preset.fileName << ": " << name << " = " << value << " is out of range\n";
            return false;
        }

        (*found)->setValueNotifyingHost (normalised);
    }

    juce::MemoryBlock blob;
    processor.saveState (blob, true);
    const auto fileData = processor.getPresetStore().createPresetFileData (blob.getData(), blob.getSize());

    const auto file = root.getChildFile (preset.category).getChildFile (juce::String (preset.fileName) + ".valmora");
    return file.getParentDirectory().createDirectory() && file.replaceWithData (fileData.getData(), fileData.getSize());
}
} // namespace

int main (int argc, char* argv[])
{
    if (argc != 2)
    {
        std::cerr << "usage: valmora-factory-presets OUTPUT_FOLDER\n";
        return 2;
    }

    // The processor loads an installed start-up preset when it is built; the library must be made
    // from the plain defaults, so the generator looks at an empty data folder.
    const auto emptyRoot = juce::File::createTempFile ("valmora-presetgen");
    emptyRoot.createDirectory();
    setenv (DataFolders::rootOverrideVariable, emptyRoot.getFullPathName().toRawUTF8(), 1);

    juce::ScopedJuceInitialiser_GUI juce;
    const juce::File output (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    output.deleteRecursively();

    bool ok = true;
    for (const auto& preset : presets)
        ok = writePreset (preset, output) && ok;

    emptyRoot.deleteRecursively();
    return ok ? 0 : 1;
}
