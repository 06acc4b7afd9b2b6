// valmora-render: renders a WAV file through the built Valmora VST3, loaded the way a host
// loads it (JUCE's VST3 hosting), and writes the processed WAV with a short report.

#include "DemoMix.h"
#include "PresetStore.h"
#include "ValmoraAudioProcessor.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <ebur128.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#ifndef VALMORA_DEFAULT_PLUGIN_PATH
 #define VALMORA_DEFAULT_PLUGIN_PATH ""
#endif

namespace
{
struct Options
{
    juce::File input;
    juce::File output;
    juce::File plugin { juce::String (VALMORA_DEFAULT_PLUGIN_PATH) };
    int blockSize = 512;
    juce::StringPairArray settings;
    juce::StringArray settingOrder;
    juce::String preset;
    bool listParameters = false;
    bool quiet = false;
};

void printUsage()
{
    std::cout <<
        "Usage: valmora-render [INPUT.wav] [options]\n"
        "\n"
        "Renders INPUT.wav through the Valmora VST3 plug-in and writes the processed audio.\n"
        "Without INPUT a synthesised demo mix is rendered (its dry version is written next to the output).\n"
        "\n"
        "Options:\n"
        "  -o, --output FILE      output WAV (default: INPUT-valmora.wav, or valmora-demo.wav)\n"
        "  -b, --block N          block size in samples (default 512)\n"
        "  --set NAME=VALUE       set a host parameter, by display name (\"Comp Amount\") or\n"
        "                         identifier (\"12COMP\"), to a normalised value 0..1; repeatable\n"
        "  --preset SOURCE        load a preset first: a .valmora file, or \"Category/Name\" of an\n"
        "                         installed preset\n"
        "  --plugin PATH          the .vst3 bundle to load (default: the one this build made)\n"
        "  --list                 list the plug-in's parameters and exit\n"
        "  -q, --quiet            no progress bar\n"
        "  -h, --help             this text\n";
}

std::optional<Options> parseArguments (const juce::StringArray& arguments)
{
    Options options;

    for (int i = 0; i < arguments.size(); ++i)
    {
        const auto& argument = arguments[i];
        auto nextValue = [&]() -> std::optional<juce::String>
        {
            if (i + 1 >= arguments.size())
            {
                std::cerr << "error: " << argument << " needs a value\n";
                return std::nullopt;
            }
            return arguments[++i];
        };

        if (argument == "-h" || argument == "--help")
        {
            printUsage();
            std::exit (0);
        }
        else if (argument == "-o" || argument == "--output")
        {
            auto value = nextValue();
            if (! value) return std::nullopt;
            options.output = juce::File::getCurrentWorkingDirectory().getChildFile (*value);
        }
        else if (argument == "-b" || argument == "--block")
        {
            auto value = nextValue();
            if (! value) return std::nullopt;
            options.blockSize = value->getIntValue();
            if (options.blockSize < 1 || options.blockSize > 65536)
            {
                std::cerr << "error: block size must be 1 to 65536\n";
                return std::nullopt;
            }
        }
        else if (argument == "--set")
        {
            auto value = nextValue();
            if (! value) return std::nullopt;
            if (! value->containsChar ('='))
            {
                std::cerr << "error: --set expects NAME=VALUE, got \"" << *value << "\"\n";
                return std::nullopt;
            }
            const auto name = value->upToLastOccurrenceOf ("=", false, false).trim();
            options.settings.set (name, value->fromLastOccurrenceOf ("=", false, false).trim());
            options.settingOrder.addIfNotAlreadyThere (name);
        }
        else if (argument == "--preset")
        {
            auto value = nextValue();
            if (! value) return std::nullopt;
            options.preset = *value;
        }
        else if (argument == "--plugin")
        {
            auto value = nextValue();
            if (! value) return std::nullopt;
            options.plugin = juce::File::getCurrentWorkingDirectory().getChildFile (*value);
        }
        else if (argument == "--list")
            options.listParameters = true;
        else if (argument == "-q" || argument == "--quiet")
            options.quiet = true;
        else if (argument.startsWith ("-"))
        {
            std::cerr << "error: unknown option " << argument << "\n";
            return std::nullopt;
        }
        else if (options.input == juce::File())
            options.input = juce::File::getCurrentWorkingDirectory().getChildFile (argument);
        else
        {
            std::cerr << "error: more than one input file\n";
            return std::nullopt;
        }
    }

    return options;
}

/** The VST3 parameter ID a JUCE-built plug-in derives from a string identifier. */
juce::String vst3IdentifierFor (const juce::String& identifier)
{
    return juce::String ((juce::uint32) identifier.hashCode() & 0x7fffffffu);
}

juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& plugin, const juce::String& name)
{
    for (auto* parameter : plugin.getParameters())
    {
        if (parameter->getName (256).equalsIgnoreCase (name))
            return parameter;

        if (auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (parameter))
            if (hosted->getParameterID() == vst3IdentifierFor (name) || hosted->getParameterID() == name)
                return parameter;
    }

    return nullptr;
}

double toDecibels (float gain)
{
    return gain > 0.0f ? 20.0 * std::log10 ((double) gain) : -std::numeric_limits<double>::infinity();
}

double integratedLoudness (const juce::AudioBuffer<float>& buffer, double sampleRate)
{
    auto* state = ebur128_init ((unsigned) buffer.getNumChannels(), (unsigned long) sampleRate, EBUR128_MODE_I);

    if (state == nullptr)
        return -std::numeric_limits<double>::infinity();

    std::vector<float> interleaved ((size_t) buffer.getNumChannels() * 4096);

    for (int start = 0; start < buffer.getNumSamples(); start += 4096)
    {
        const int frames = std::min (4096, buffer.getNumSamples() - start);
        for (int n = 0; n < frames; ++n)
            for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
                interleaved[(size_t) (n * buffer.getNumChannels() + channel)] = buffer.getSample (channel, start + n);
        ebur128_add_frames_float (state, interleaved.data(), (size_t) frames);
    }

    double loudness = -std::numeric_limits<double>::infinity();
    ebur128_loudness_global (state, &loudness);
    ebur128_destroy (&state);
    return loudness;
}

bool writeWav (const juce::File& file, const juce::AudioBuffer<float>& buffer, double sampleRate)
{
    file.deleteFile();
    std::unique_ptr<juce::OutputStream> stream = std::make_unique<juce::FileOutputStream> (file);

    if (! static_cast<juce::FileOutputStream*> (stream.get())->openedOk())
        return false;

    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (stream.get(), sampleRate, (unsigned) buffer.getNumChannels(), 24, {}, 0));

    if (writer == nullptr)
        return false;

    stream.release();
    return writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples());
}

/** The payload of a preset given as a file path or as "Category/Name" of an installed preset,
    read and checked by the plug-in's own preset store. */
std::optional<juce::MemoryBlock> readPreset (const juce::String& source)
{
    PresetStore store ("valmora", "group.tarnwick.valmora2", ValmoraAudioProcessor::legacyPresetBlobSize,
                       "Valmora", "Factory Presets", "User Presets");
    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (source);
    std::unique_ptr<juce::MemoryBlock> data;

    if (file.existsAsFile())
    {
        data = std::make_unique<juce::MemoryBlock>();
        file.loadFileAsData (*data);
    }
    else if (store.findPreset (source.upToFirstOccurrenceOf ("/", false, false), source.fromFirstOccurrenceOf ("/", false, false)))
    {
        data = store.readPresetFile (store.getCurrentPreset().categoryIndex, store.getCurrentPreset().itemIndex);
    }

    if (data == nullptr)
        return std::nullopt;

    return store.unpackPresetData (data->getData(), data->getSize());
}

int run (const Options& options)
{
    juce::AudioBuffer<float> input;
    double sampleRate = 44100.0;
    const bool demo = options.input == juce::File();

    if (demo)
    {
        input = makeDemoMix (sampleRate, 16.0);
    }
    else
    {
        juce::AudioFormatManager formats;
        formats.registerBasicFormats();
        std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (options.input));

        if (reader == nullptr)
        {
            std::cerr << "error: cannot read " << options.input.getFullPathName() << " as audio\n";
            return 1;
        }

        if (reader->numChannels < 1 || reader->numChannels > 2)
        {
            std::cerr << "error: Valmora processes mono or stereo audio; the file has " << reader->numChannels << " channels\n";
            return 1;
        }

        sampleRate = reader->sampleRate;
        input.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
        reader->read (&input, 0, (int) reader->lengthInSamples, 0, true, true);
    }

    const auto output = options.output != juce::File() ? options.output
                      : demo ? juce::File::getCurrentWorkingDirectory().getChildFile ("valmora-demo.wav")
                             : options.input.getSiblingFile (options.input.getFileNameWithoutExtension() + "-valmora.wav");

    if (! options.plugin.exists())
    {
        std::cerr << "error: plug-in not found at " << options.plugin.getFullPathName() << "\n";
        return 1;
    }

    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, options.plugin.getFullPathName());

    if (types.isEmpty())
    {
        std::cerr << "error: no VST3 plug-in found in " << options.plugin.getFullPathName() << "\n";
        return 1;
    }

    juce::String error;
    auto plugin = format.createInstanceFromDescription (*types[0], sampleRate, options.blockSize, error);

    if (plugin == nullptr)
    {
        std::cerr << "error: cannot load the plug-in: " << error << "\n";
        return 1;
    }

    if (options.listParameters)
    {
        for (auto* parameter : plugin->getParameters())
            std::cout << parameter->getParameterIndex() << "\t" << parameter->getName (256) << "\t" << parameter->getValue() << "\n";
        return 0;
    }

    const int channels = input.getNumChannels();
    const auto layout = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout buses;
    buses.inputBuses.add (layout);
    buses.outputBuses.add (layout);

    if (! plugin->setBusesLayout (buses))
    {
        std::cerr << "error: the plug-in refused a " << channels << "-channel layout\n";
        return 1;
    }

    if (options.preset.isNotEmpty())
    {
        const auto payload = readPreset (options.preset);

        if (! payload.has_value())
        {
            std::cerr << "error: preset not found or not a Valmora preset: " << options.preset << "\n";
            return 1;
        }

        // The host state is the preset blob with six host-only words (reserved words, flag and
        // the current preset's hashes, all zero here) before the band gains, so the preset is
        // turned into a host state and loaded the way a host restores a project.
        const auto* bytes = static_cast<const uint8_t*> (payload->getData());
        constexpr size_t fieldsBeforeHostWords = ValmoraAudioProcessor::legacyPresetBlobSize;
        const size_t payloadSize = payload->getSize();

        juce::MemoryBlock state (bytes, fieldsBeforeHostWords);
        const uint8_t hostWords[24] = {};
        state.append (hostWords, sizeof (hostWords));
        state.append (bytes + fieldsBeforeHostWords, payloadSize - fieldsBeforeHostWords);
        // JUCE's VST3 hosting keeps a plug-in's state as the component's state stream inside a
        // small XML document; the component stream is exactly the plug-in's own state blob.
        juce::XmlElement hostState ("VST3PluginState");
        hostState.createNewChildElement ("IComponent")->addTextElement (state.toBase64Encoding());
        juce::MemoryBlock hostStateData;
        juce::AudioProcessor::copyXmlToBinary (hostState, hostStateData);
        plugin->setStateInformation (hostStateData.getData(), (int) hostStateData.getSize());
    }

    for (const auto& name : options.settingOrder)
    {
        auto* parameter = findParameter (*plugin, name);

        if (parameter == nullptr)
        {
            std::cerr << "error: no parameter named \"" << name << "\" (use --list)\n";
            return 1;
        }

        const float value = options.settings[name].getFloatValue();

        if (value < 0.0f || value > 1.0f)
        {
            std::cerr << "error: " << name << " takes a normalised value 0..1\n";
            return 1;
        }

        parameter->setValue (value);
    }

    plugin->setRateAndBufferSizeDetails (sampleRate, options.blockSize);
    plugin->prepareToPlay (sampleRate, options.blockSize);
    plugin->setNonRealtime (true);

    const int latency = plugin->getLatencySamples();
    const int length = input.getNumSamples();
    const int totalLength = length + latency;
    juce::AudioBuffer<float> result (channels, length);
    juce::AudioBuffer<float> block (channels, options.blockSize);
    juce::MidiBuffer midi;
    const bool showProgress = ! options.quiet && length > sampleRate * 10.0;

    const auto start = std::chrono::steady_clock::now();

    for (int position = 0; position < totalLength; position += options.blockSize)
    {
        const int count = std::min (options.blockSize, totalLength - position);
        block.setSize (channels, count, false, false, true);
        block.clear();

        for (int channel = 0; channel < channels; ++channel)
            if (position < length)
                block.copyFrom (channel, 0, input, channel, position, std::min (count, length - position));

        plugin->processBlock (block, midi);

        // The first `latency` output samples are the plug-in's lookahead; dropping them lines
        // the output up with the input.
        for (int n = 0; n < count; ++n)
        {
            const int outputIndex = position + n - latency;
            if (outputIndex >= 0 && outputIndex < length)
                for (int channel = 0; channel < channels; ++channel)
                    result.setSample (channel, outputIndex, block.getSample (channel, n));
        }

        if (showProgress && (position / options.blockSize) % 64 == 0)
        {
            const int percent = (int) (100.0 * position / totalLength);
            std::fprintf (stderr, "\r[%-40s] %3d%%", std::string ((size_t) (percent * 40 / 100), '#').c_str(), percent);
        }
    }

    const double seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();

    if (showProgress)
        std::fprintf (stderr, "\r[%s] 100%%\n", std::string (40, '#').c_str());

    plugin->releaseResources();

    if (! writeWav (output, result, sampleRate))
    {
        std::cerr << "error: cannot write " << output.getFullPathName() << "\n";
        return 1;
    }

    if (demo)
        writeWav (output.getSiblingFile (output.getFileNameWithoutExtension() + "-dry.wav"), input, sampleRate);

    const double duration = length / sampleRate;
    std::printf ("Valmora render\n");
    std::printf ("  input:               %s\n", demo ? "synthesised demo mix" : options.input.getFullPathName().toRawUTF8());
    std::printf ("  output:              %s\n", output.getFullPathName().toRawUTF8());
    std::printf ("  format:              %d ch, %.0f Hz, %.2f s, block %d\n", channels, sampleRate, duration, options.blockSize);
    std::printf ("  input peak:          %.2f dBFS\n", toDecibels (input.getMagnitude (0, length)));
    std::printf ("  output peak:         %.2f dBFS\n", toDecibels (result.getMagnitude (0, length)));
    std::printf ("  input loudness:      %.2f LUFS integrated\n", integratedLoudness (input, sampleRate));
    std::printf ("  output loudness:     %.2f LUFS integrated\n", integratedLoudness (result, sampleRate));
    std::printf ("  reported latency:    %d samples (%.2f ms), compensated\n", latency, 1000.0 * latency / sampleRate);
    std::printf ("  real-time factor:    %.1fx\n", seconds > 0.0 ? duration / seconds : 0.0);
    return 0;
}
} // namespace

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    juce::StringArray arguments;
    for (int i = 1; i < argc; ++i)
        arguments.add (juce::String::fromUTF8 (argv[i]));

    const auto options = parseArguments (arguments);

    if (! options)
    {
        printUsage();
        return 2;
    }

    return run (*options);
}
