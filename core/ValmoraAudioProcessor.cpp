#include "ValmoraAudioProcessor.h"

#include "ModuleStyles.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr int numFixedWords = HostParameters::firstBandGainParameter + 80; // fields 1 and 2
constexpr int minimumBlobSize = numFixedWords * 4;

float decibelsOf (const ParameterDescriptor& descriptor, float normalised) noexcept
{
    return descriptor.toRealValue (normalised);
}

/** Reads little-endian words from a blob; a word that cannot be read in full reads as 0. */
class BlobReader
{
public:
    BlobReader (const void* data, int size) : bytes (static_cast<const uint8_t*> (data)), size (std::max (0, size)) {}

    bool hasData() const noexcept { return position < size; }

    int32_t readInt() noexcept
    {
        uint32_t word = 0;

        if (position + 4 <= size)
            word = (uint32_t) bytes[position] | ((uint32_t) bytes[position + 1] << 8)
                 | ((uint32_t) bytes[position + 2] << 16) | ((uint32_t) bytes[position + 3] << 24);

        position += 4;
        return (int32_t) word;
    }

    /** A normalised value: non-finite or out-of-range floats are brought into 0..1, and a NaN
        becomes `fallback`, so a corrupt blob can never push NaN into the filters. */
    float readNormalised (float fallback) noexcept
    {
        const int32_t word = readInt();
        float value;
        std::memcpy (&value, &word, sizeof (value));

        if (std::isnan (value))
            return fallback;

        return std::clamp (value, 0.0f, 1.0f);
    }

private:
    const uint8_t* bytes;
    int size;
    int position = 0;
};

void writeFloat (juce::MemoryOutputStream& stream, float value)
{
    stream.writeFloat (value);
}
} // namespace

//==============================================================================
ValmoraAudioProcessor::ValmoraAudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      presetStore ("valmora", "group.tarnwick.valmora2", legacyPresetBlobSize, "Valmora", "Factory Presets", "User Presets")
{
    chain = { &addDist, &addComp, &hpFilter, &preComp, &multibandComp, &msStereo, &fbEq, &limiter };
    modules = { &hpFilter, &preComp, &multibandComp, &msStereo, &fbEq, &limiter, &addDist, &addComp };

    hostDescriptors.assign (std::begin (HostParameters::processorDescriptors), std::end (HostParameters::processorDescriptors));

    for (int moduleIndex = 0; moduleIndex < numModules; ++moduleIndex)
    {
        setModuleStyle (moduleIndex, ModuleStyles::defaultStyle (moduleIndex));

        for (int macro = 0; macro < modules[(size_t) moduleIndex]->getNumMacros(); ++macro)
        {
            auto descriptor = modules[(size_t) moduleIndex]->getMacroDescriptor (macro);
            descriptor.index = (int32_t) hostDescriptors.size();
            hostDescriptors.push_back (descriptor);
        }
    }

    int32_t offset = HostParameters::firstMacroParameter;

    for (auto* module : modules)
    {
        module->setMacroIndexOffset (offset);
        offset += module->getNumMacros();
    }

    createHostParameters();
    loadStartupPreset();

    // From here on state and style loads on the message thread run while the audio thread may be
    // inside a frame; the modules hand such changes to processBlock instead of applying them.
    for (auto* module : modules)
        module->deferParameterChanges();

    // The modules start prepared for 44.1 kHz; report their latency now so a host that asks
    // before the first preparation already sees a true figure.
    setLatencySamples (mainChainLatency());
}

int ValmoraAudioProcessor::mainChainLatency() const
{
    int latency = 0;

    for (int position = 2; position < numModules; ++position)
        latency += chain[(size_t) position]->getLatencySamples();

    return latency;
}

ValmoraAudioProcessor::~ValmoraAudioProcessor() = default;

void ValmoraAudioProcessor::createHostParameters()
{
    auto add = [this] (const juce::String& identifier, const juce::String& name, float normalisedDefault)
    {
        auto parameter = std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { identifier, 1 }, name,
                                                                      juce::NormalisableRange<float> (0.0f, 1.0f),
                                                                      normalisedDefault);
        parameters.push_back (parameter.get());
        addParameter (parameter.release());
    };

    for (int index = 0; index < HostParameters::numProcessorParameters; ++index)
    {
        const auto& descriptor = hostDescriptors[(size_t) index];
        add (juce::String (index) + descriptor.name, HostParameters::processorParameterNames[index], descriptor.normalisedDefault());
    }

    LinearRamp* gains[] = { &inputGain, &outputGain, &addGain };

    for (int index = 0; index < 3; ++index)
        gains[index]->initialise (std::pow (10.0f, hostDescriptors[(size_t) index].defaultValue / 20.0f));

    // Macros in module index order; the parallel compressor shares its macro name with the pre
    // compressor, so the host sees it as "Add Comp Amount".
    for (auto* module : modules)
    {
        for (int macro = 0; macro < module->getNumMacros(); ++macro)
        {
            const int index = module->getMacroIndexOffset() + macro;
            const auto& descriptor = hostDescriptors[(size_t) index];
            const juce::String name = juce::String (module == &addComp ? "Add " : "") + module->getMacroName (macro);
            add (juce::String (index) + descriptor.name, name, descriptor.normalisedDefault());
        }
    }

    for (int band = 0; band < HostParameters::numBands; ++band)
    {
        const juce::String name = HostParameters::bandGainParameterNames[band];
        add (name.removeCharacters (" -"), name, HostParameters::bandGainDescriptors[band].normalisedDefault());
    }
}

void ValmoraAudioProcessor::loadStartupPreset()
{
    if (! presetStore.findPreset ("Master", "Default"))
        return;

    const auto& current = presetStore.getCurrentPreset();
    const auto data = presetStore.readPresetFile (current.categoryIndex, current.itemIndex);

    if (data == nullptr)
        return;

    if (const auto payload = presetStore.unpackPresetData (data->getData(), data->getSize()))
        loadState (payload->getData(), (int) payload->getSize(), true);
}

//==============================================================================
bool ValmoraAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    if (layouts.inputBuses.isEmpty() || layouts.outputBuses.isEmpty())
        return false;

    const auto& input = layouts.getMainInputChannelSet();
    const auto& output = layouts.getMainOutputChannelSet();
    return input == output && (input == juce::AudioChannelSet::mono() || input == juce::AudioChannelSet::stereo());
}

juce::AudioProcessorParameter* ValmoraAudioProcessor::getBypassParameter() const
{
    return parameters.size() > HostParameters::globalBypass ? parameters[HostParameters::globalBypass] : nullptr;
}

juce::AudioProcessorEditor* ValmoraAudioProcessor::createEditor()
{
    return new juce::GenericAudioProcessorEditor (*this);
}

//==============================================================================
float ValmoraAudioProcessor::sanitisedInput (float sample) noexcept
{
    // Nothing a host sends legitimately comes near 1000 (+60 dBFS); bounding the input there keeps
    // every gain stage and recursive filter of the chain far from overflow, and NaN becomes silence.
    constexpr float inputLimit = 1000.0f;

    if (std::fabs (sample) <= inputLimit)
        return sample;

    return std::isnan (sample) ? 0.0f : std::copysign (inputLimit, sample);
}

void ValmoraAudioProcessor::prepareToPlay (double newSampleRate, int)
{
    const double rate = std::max (newSampleRate, 44100.0);

    if (rate == sampleRate)
        return;

    sampleRate = rate;
    meter.updateSampleRate (rate);
    meter.resetLoudnessReadouts();

    for (auto* module : modules)
        module->setSampleRate ((float) rate);

    const int latency = mainChainLatency();

    if (latency != getLatencySamples())
        setLatencySamples (latency);
}

void ValmoraAudioProcessor::applyHostParameters (int numSamples) noexcept
{
    const float p0 = parameters[0]->get();
    const float p1 = parameters[1]->get();
    const float p2 = parameters[2]->get();
    const bool globalBypass = parameters[HostParameters::globalBypass]->get() >= 0.5f;

    if (globalBypass)
    {
        inputGain.setTarget (1.0f);
        outputGain.setTarget (1.0f);
        addGain.setTarget (0.0f);
    }
    else
    {
        inputGain.setTarget (decibelsToGain (decibelsOf (hostDescriptors[0], p0)));
        outputGain.setTarget (decibelsToGain (decibelsOf (hostDescriptors[1], p1)));
        addGain.setTarget (decibelsToGain (decibelsOf (hostDescriptors[2], p2)));
    }

    for (int moduleIndex = 0; moduleIndex < numModules; ++moduleIndex)
    {
        auto* module = modules[(size_t) moduleIndex];
        module->setBypassed (globalBypass || parameters[(size_t) (HostParameters::firstModuleBypass + moduleIndex)]->get() >= 0.5f);

        for (int macro = 0; macro < module->getNumMacros(); ++macro)
            module->setMacroValue (macro, parameters[(size_t) (module->getMacroIndexOffset() + macro)]->get());
    }

    for (int band = 0; band < HostParameters::numBands; ++band)
    {
        auto& ramp = multibandComp.bandGainRamps[band];
        ramp.length = std::min (256, numSamples);
        ramp.setTarget (HostParameters::bandGainDescriptors[band].toRealValue (parameters[(size_t) (HostParameters::firstBandGainParameter + band)]->get()));
    }
}

void ValmoraAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    const int numSamples = buffer.getNumSamples();
    prepareToPlay (getSampleRate(), numSamples);

    if (numSamples <= 0)
        return;

    for (auto* module : modules)
        module->applyPendingParameters();

    applyHostParameters (numSamples);

    const int numInputChannels = std::min (getTotalNumInputChannels(), buffer.getNumChannels());

    for (int channel = numInputChannels; channel < buffer.getNumChannels(); ++channel)
        buffer.clear (channel, 0, numSamples);

    const int numChannels = std::clamp (numInputChannels, 1, 2);

    if (numInputChannels > 0)
    {
        processFrames (buffer, numChannels, numSamples);

        if (! isFinite (buffer, numChannels, numSamples))
            recoverFromNonFiniteOutput (buffer, numSamples);
    }

    meter.addBlock (buffer.getArrayOfReadPointers(), std::min (numChannels, buffer.getNumChannels()), numSamples);
}

bool ValmoraAudioProcessor::isFinite (const juce::AudioBuffer<float>& buffer, int numChannels, int numSamples) noexcept
{
    for (int channel = 0; channel < numChannels; ++channel)
    {
        const float* samples = buffer.getReadPointer (channel);
        float sum = 0.0f;

        // Any NaN or infinity makes the sum non-finite; a product with 0 keeps the loop branch-free.
        for (int n = 0; n < numSamples; ++n)
            sum += samples[n] * 0.0f;

        if (sum != 0.0f)
            return false;
    }

    return true;
}

void ValmoraAudioProcessor::recoverFromNonFiniteOutput (juce::AudioBuffer<float>& buffer, int numSamples) noexcept
{
    // A last line of defence: whatever let a NaN or infinity through, the host never receives it
    // and every filter, envelope and delay starts clean with the next block.
    for (auto* module : modules)
        module->reset();

    addDelay.clear();
    buffer.clear (0, numSamples);
}

void ValmoraAudioProcessor::processFrames (juce::AudioBuffer<float>& buffer, int numChannels, int numSamples) noexcept
{
    // The chain order is fixed: hpFilter, then the tap, then preComp, multibandComp, msStereo and
    // fbEq, then the output gain and the limiter. Calling the member modules by their own type
    // (not through `chain`) binds every call statically; the per-frame order of operations is the
    // one `chain`, `tapIndex` and `outputGainIndex` describe.
    static_assert (tapIndex == 1 && outputGainIndex == 5, "processFrames spells out this chain layout");
    jassert (chain[2] == &hpFilter && chain[3] == &preComp && chain[4] == &multibandComp && chain[5] == &msStereo
             && chain[6] == &fbEq && chain[7] == &limiter && chain[0] == &addDist && chain[1] == &addComp);

    float* const* channels = buffer.getArrayOfWritePointers();
    const bool solo = addSolo.load (std::memory_order_relaxed);
    float peak = inputPeak.load (std::memory_order_relaxed);

    // Latencies only change with the sample rate and the module settings, both of which are
    // applied before the frame loop, so the alignment delay is the same for every frame of a block.
    const int mainLatency = preComp.getLatencySamples() + multibandComp.getLatencySamples()
                            + msStereo.getLatencySamples() + fbEq.getLatencySamples();
    const int parallelLatency = addDist.getLatencySamples() + addComp.getLatencySamples();
    const int difference = mainLatency - parallelLatency;

    if (difference > 0 && difference != addDelay.getDelay())
        addDelay.setDelay (difference);

    // Each module runs over a run of frames before the next module takes them. A module's state
    // belongs to it alone, so every module still sees exactly the frames, in exactly the order,
    // of the frame-by-frame chain, and the output is the same bit for bit; but one module's
    // frames are independent of each other apart from its own filter and envelope state, so the
    // processor can overlap consecutive frames instead of waiting on the whole chain per frame.
    constexpr int runLength = 64;

    for (int start = 0; start < numSamples; start += runLength)
    {
        const int count = std::min (runLength, numSamples - start);
        float main[runLength][2];
        float parallel[runLength][2];
        float add[runLength], out[runLength];

        for (int n = 0; n < count; ++n)
        {
            add[n] = addGain.next();
            const float in = inputGain.next();
            out[n] = outputGain.next();

            main[n][0] = main[n][1] = 0.0f;

            for (int channel = 0; channel < numChannels; ++channel)
                main[n][channel] = sanitisedInput (channels[channel][start + n]) * in;
        }

        for (int n = 0; n < count; ++n)
            hpFilter.processFrame (main[n], numChannels);

        for (int n = 0; n < count; ++n)
        {
            for (int channel = 0; channel < numChannels; ++channel)
                peak = std::max (peak, main[n][channel] * main[n][channel]);

            parallel[n][0] = main[n][0];
            parallel[n][1] = numChannels > 1 ? main[n][1] : main[n][0];
        }

        for (int n = 0; n < count; ++n)
            preComp.processFrame (main[n], numChannels);

        for (int n = 0; n < count; ++n)
            multibandComp.processFrame (main[n], numChannels);

        for (int n = 0; n < count; ++n)
            msStereo.processFrame (main[n], numChannels);

        for (int n = 0; n < count; ++n)
            fbEq.processFrame (main[n], numChannels);

        for (int n = 0; n < count; ++n)
            addDist.processFrame (parallel[n], numChannels);

        for (int n = 0; n < count; ++n)
            addDist.processCompensation (main[n], numChannels, false);

        for (int n = 0; n < count; ++n)
            addComp.processFrame (parallel[n], numChannels);

        for (int n = 0; n < count; ++n)
            addComp.processCompensation (main[n], numChannels, false);

        // The parallel path gets the main path's phase shifts.
        for (int n = 0; n < count; ++n)
            preComp.processCompensation (parallel[n], numChannels, false);

        for (int n = 0; n < count; ++n)
            multibandComp.processCompensation (parallel[n], numChannels, false);

        for (int n = 0; n < count; ++n)
            msStereo.processCompensation (parallel[n], numChannels, false);

        for (int n = 0; n < count; ++n)
            fbEq.processCompensation (parallel[n], numChannels, false);

        for (int n = 0; n < count; ++n)
        {
            if (difference > 0)
            {
                if (numChannels == 1)
                    parallel[n][1] = parallel[n][0];

                addDelay.process (parallel[n][0], parallel[n][1]);
            }

            for (int channel = 0; channel < numChannels; ++channel)
                main[n][channel] = solo ? parallel[n][channel] * add[n] : main[n][channel] + parallel[n][channel] * add[n];

            for (int channel = 0; channel < numChannels; ++channel)
                main[n][channel] *= out[n];
        }

        for (int n = 0; n < count; ++n)
        {
            limiter.processFrame (main[n], numChannels);

            for (int channel = 0; channel < numChannels; ++channel)
                channels[channel][start + n] = main[n][channel];
        }
    }

    inputPeak.store (peak, std::memory_order_relaxed);
}

//==============================================================================
void ValmoraAudioProcessor::setModuleStyle (int moduleIndex, int styleIndex)
{
    if (moduleIndex < 0 || moduleIndex >= numModules)
        return;

    const char* key = ModuleStyles::styleKey (moduleIndex, styleIndex);

    if (key == nullptr)
        return;

    const juce::ScopedLock lock (stateLock);
    moduleStyle[(size_t) moduleIndex].store (styleIndex, std::memory_order_relaxed);

    const juce::String resourceName = juce::String (key) + "_" + ModuleStyles::moduleKeys[moduleIndex];
    auto* module = modules[(size_t) moduleIndex];
    float values[64];

    if (ModuleStyles::normalisedStyleData (resourceName.toRawUTF8(), *module, values, 64) == module->getNumParameters())
        module->setParameterValues (values);
}

void ValmoraAudioProcessor::saveState (juce::MemoryBlock& destination, bool asPreset)
{
    juce::MemoryOutputStream stream (destination, true);

    for (int index = 0; index < HostParameters::firstBandGainParameter; ++index)
        writeFloat (stream, normalisedValue (parameters[(size_t) index]));

    for (auto* module : modules)
        for (int index = 0; index < module->getNumParameters(); ++index)
            writeFloat (stream, module->getParameter (index));

    for (const auto& style : moduleStyle)
        stream.writeInt (style.load (std::memory_order_relaxed));

    for (const auto& enabled : multibandComp.bandEnabled)
        stream.writeInt (enabled.load (std::memory_order_relaxed) >= 0.5f ? 1 : 0);

    stream.writeInt (getAddSolo() ? 1 : 0);

    if (! asPreset)
    {
        for (int reserved = 0; reserved < 3; ++reserved)
            stream.writeInt (0);

        stream.writeInt (reservedFlag ? 1 : 0);

        const auto& current = presetStore.getCurrentPreset();
        int32_t categoryHash = 0, presetHash = 0;

        if (current.valid)
        {
            const auto& categories = presetStore.getCategories();
            const bool inRange = current.categoryIndex >= 0 && current.categoryIndex < (int) categories.size();
            categoryHash = inRange ? categories[(size_t) current.categoryIndex].displayName.hashCode() : juce::String().hashCode();
            presetHash = current.name.hashCode();
        }

        stream.writeInt (categoryHash);
        stream.writeInt (presetHash);
    }

    for (int band = 0; band < HostParameters::numBands; ++band)
        writeFloat (stream, normalisedValue (parameters[(size_t) (HostParameters::firstBandGainParameter + band)]));
}

bool ValmoraAudioProcessor::loadState (const void* data, int sizeInBytes, bool asPreset)
{
    // A blob without every host value and module parameter cannot be from this plug-in; applying
    // it would zero the parameters and silence the instance, so it is refused whole.
    if (data == nullptr || sizeInBytes < minimumBlobSize)
        return false;

    const bool shortBlob = asPreset ? sizeInBytes < 461 : sizeInBytes < 477;
    BlobReader reader (data, sizeInBytes);

    for (int index = 0; index < HostParameters::firstBandGainParameter; ++index)
    {
        auto* parameter = parameters[(size_t) index];
        parameter->setValueNotifyingHost (reader.readNormalised (normalisedDefault (parameter)));
    }

    for (auto* module : modules)
    {
        for (int index = 0; index < module->getNumParameters(); ++index)
        {
            const float fallback = module->getParameterDescriptor (index).normalisedDefault();
            module->setParameter (index, reader.readNormalised (fallback));
        }
    }

    if (reader.hasData())
    {
        for (int moduleIndex = 0; moduleIndex < numModules; ++moduleIndex)
            setModuleStyle (moduleIndex, reader.readInt());
    }
    else
    {
        for (int moduleIndex = 0; moduleIndex < numModules; ++moduleIndex)
            setModuleStyle (moduleIndex, ModuleStyles::defaultStyle (moduleIndex));
    }

    if (reader.hasData())
        for (auto& enabled : multibandComp.bandEnabled)
            enabled.store (reader.readInt() != 0 ? 1.0f : 0.0f, std::memory_order_relaxed);

    if (reader.hasData())
        setAddSolo (reader.readInt() != 0);

    if (! asPreset)
    {
        if (reader.hasData())
            for (int reserved = 0; reserved < 3; ++reserved)
                reader.readInt();

        if (reader.hasData())
            reservedFlag = reader.readInt() != 0;

        if (reader.hasData())
        {
            const int32_t categoryHash = reader.readInt();
            const int32_t presetHash = reader.readInt();
            bool selected = false;
            const auto& categories = presetStore.getCategories();

            for (int categoryIndex = 0; categoryIndex < (int) categories.size() && ! selected; ++categoryIndex)
            {
                if (categories[(size_t) categoryIndex].displayName.hashCode() != categoryHash)
                    continue;

                for (const auto& item : categories[(size_t) categoryIndex].items)
                {
                    if (item.name.hashCode() == presetHash)
                    {
                        selected = presetStore.selectPreset (categoryIndex, item.itemIndex);
                        break;
                    }
                }
            }

            if (! selected)
                presetStore.setCurrentPresetInvalid (presetStore.getCurrentPreset().name);
        }
    }

    for (int band = 0; band < HostParameters::numBands; ++band)
    {
        auto* parameter = parameters[(size_t) (HostParameters::firstBandGainParameter + band)];
        const float defaultValue = normalisedDefault (parameter);
        parameter->setValueNotifyingHost (shortBlob || ! reader.hasData() ? defaultValue : reader.readNormalised (defaultValue));
    }

    sendChangeMessage();
    return true;
}
