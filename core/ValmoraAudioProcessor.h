#pragma once

#include "Compressor.h"
#include "Distortion.h"
#include "FourBandEQ.h"
#include "HPFilter.h"
#include "LinearRamp.h"
#include "Limiter.h"
#include "MSStereo.h"
#include "MultibandCompressor.h"
#include "StereoDelayLine.h"
#include "TWMeasuring.h"

#include "HostParameters.h"
#include "PresetStore.h"
#include "TWGlobalSettings.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <vector>

/** The plug-in's audio processor: owns the modules, the host parameters, the gain ramps, the
    parallel-path delay, the meters, the module styles and the preset store.

    The audio thread runs `processBlock` (and the `prepareToPlay` it calls); everything else runs on
    the message thread. Values the editor shares with the audio thread are relaxed atomics.
*/
class ValmoraAudioProcessor : public juce::AudioProcessor,
                              public juce::ChangeBroadcaster
{
public:
    static constexpr int numModules = 8;
    static constexpr int hostBlobSize = 500;
    static constexpr int presetBlobSize = 476;
    static constexpr int legacyPresetBlobSize = 460;

    ValmoraAudioProcessor();
    ~ValmoraAudioProcessor() override;

    //==============================================================================
    const juce::String getName() const override { return "Valmora"; }
    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override {}
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlock;

    double getTailLengthSeconds() const override { return 0.0; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }

    bool hasEditor() const override { return true; }
    juce::AudioProcessorEditor* createEditor() override;

    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override { return "Default"; }
    void changeProgramName (int, const juce::String&) override {}

    void getStateInformation (juce::MemoryBlock& destination) override { saveState (destination, false); }
    void setStateInformation (const void* data, int sizeInBytes) override { loadState (data, sizeInBytes, false); }

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;
    juce::AudioProcessorParameter* getBypassParameter() const override;

    //==============================================================================
    /** Applies one of a module's factory styles (message thread). An index outside the module's
        list is ignored: the previous style and its settings stay. */
    void setModuleStyle (int moduleIndex, int styleIndex);

    /** Appends the state blob: the host blob (500 bytes) or, `asPreset`, the preset blob (476). */
    void saveState (juce::MemoryBlock& destination, bool asPreset);

    /** Restores a state or preset blob; returns false, changing nothing, when it is refused. */
    bool loadState (const void* data, int sizeInBytes, bool asPreset);

    //==============================================================================
    const std::array<DSPModule*, numModules>& getModules() const noexcept { return modules; }
    const std::array<DSPModule*, numModules>& getChain() const noexcept { return chain; }
    const std::vector<ParameterDescriptor>& getHostDescriptors() const noexcept { return hostDescriptors; }
    const std::vector<juce::AudioParameterFloat*>& getParameters() const noexcept { return parameters; }
    int getModuleStyle (int moduleIndex) const noexcept { return moduleStyle[(size_t) moduleIndex].load (std::memory_order_relaxed); }
    TWMeasuring& getMeter() noexcept { return meter; }
    PresetStore& getPresetStore() noexcept { return presetStore; }
    TWGlobalSettings& getGlobalSettings() noexcept { return globalSettings; }
    MultibandCompressor& getMultibandCompressor() noexcept { return multibandComp; }

    bool getAddSolo() const noexcept { return addSolo.load (std::memory_order_relaxed); }
    void setAddSolo (bool solo) noexcept { addSolo.store (solo, std::memory_order_relaxed); }

    /** A host parameter's normalised value (JUCE hides it behind the parameter's base class). */
    static float normalisedValue (const juce::AudioParameterFloat* parameter) noexcept
    {
        return static_cast<const juce::AudioProcessorParameter*> (parameter)->getValue();
    }

    static float normalisedDefault (const juce::AudioParameterFloat* parameter) noexcept
    {
        return static_cast<const juce::AudioProcessorParameter*> (parameter)->getDefaultValue();
    }

    /** The largest squared sample after the high-pass filter since the last call; resets it. */
    float getAndResetInputPeak() noexcept { return inputPeak.exchange (0.0f, std::memory_order_relaxed); }

private:
    void createHostParameters();
    int mainChainLatency() const;
    void loadStartupPreset();
    void processFrames (juce::AudioBuffer<float>& buffer, int numChannels, int numSamples) noexcept;
    static float sanitisedInput (float sample) noexcept;
    static bool isFinite (const juce::AudioBuffer<float>& buffer, int numChannels, int numSamples) noexcept;
    void recoverFromNonFiniteOutput (juce::AudioBuffer<float>& buffer, int numSamples) noexcept;
    void applyHostParameters (int numSamples) noexcept;

    TWGlobalSettings globalSettings;
    juce::CriticalSection stateLock;
    double sampleRate = 0.0;
    std::atomic<float> inputPeak { 0.0f };
    bool reservedFlag = false;

    HPFilter hpFilter;
    Compressor preComp;
    MultibandCompressor multibandComp;
    MSStereo msStereo;
    FourBandEQ fbEq;
    Limiter limiter;
    Distortion addDist;
    Compressor addComp;

    static constexpr int32_t tapIndex = 1;
    static constexpr int32_t outputGainIndex = 5;
    std::array<DSPModule*, numModules> chain {};
    std::array<DSPModule*, numModules> modules {};
    std::vector<ParameterDescriptor> hostDescriptors;
    LinearRamp inputGain, outputGain, addGain;
    std::vector<juce::AudioParameterFloat*> parameters;
    StereoDelayLine addDelay { StereoDelayLine::capacity - 1 };
    TWMeasuring meter;
    std::array<std::atomic<int32_t>, numModules> moduleStyle {};
    std::atomic<bool> addSolo { false };
    PresetStore presetStore;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ValmoraAudioProcessor)
};
