// The processor driven the way a host drives it: the audio callback on one thread with every host
// parameter automated every block, and the editor and the host's state calls on the message thread
// at the same time. Run under ThreadSanitizer (build-tsan) this is the race test for everything the
// two threads share; in the ordinary builds it still checks that nothing crashes, that no NaN or
// infinity reaches the output or the meters, and that a state loaded while audio runs is kept.

#include "../core/ProcessorFixture.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 256;

double testSeconds()
{
    const auto text = juce::SystemStats::getEnvironmentVariable ("VALMORA_THREADING_SECONDS", "3");
    return juce::jlimit (0.2, 600.0, text.getDoubleValue());
}

/** The audio thread's side: a host callback with per-block automation of all 26 parameters. */
struct AudioSide
{
    ValmoraAudioProcessor& processor;
    std::atomic<bool>& stop;
    std::atomic<bool>& started;

    int64_t blocks = 0;
    int64_t nonFiniteSamples = 0;
    float largestInput = 0.0f;

    void run()
    {
        std::mt19937 random (1234);
        std::uniform_real_distribution<float> unit (0.0f, 1.0f);
        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;
        double phase = 0.0;

        started.store (true);

        while (! stop.load())
        {
            // Hosts write automation into the parameters on the audio thread, without notifying
            // anyone, just before the callback.
            for (auto* parameter : processor.getParameters())
                static_cast<juce::AudioProcessorParameter*> (parameter)->setValue (unit (random));

            // Programme material from silence to well above full scale, with the odd full-scale
            // square edge, so the dynamics modules and the limiter all do real work.
            const float level = unit (random) < 0.1f ? 0.0f : 4.0f * unit (random) * unit (random);
            largestInput = std::max (largestInput, level);

            for (int n = 0; n < blockSize; ++n)
            {
                phase += 2.0 * 3.14159265358979 * (60.0 + 5000.0 * unit (random) * unit (random)) / sampleRate;
                const float tone = level * (float) std::sin (phase);
                const float noise = 0.1f * level * (unit (random) - 0.5f);
                buffer.setSample (0, n, tone + noise);
                buffer.setSample (1, n, n % 64 < 32 ? level : -tone);
            }

            processor.processBlock (buffer, midi);
            ++blocks;

            for (int channel = 0; channel < 2; ++channel)
            {
                const float* samples = buffer.getReadPointer (channel);

                for (int n = 0; n < blockSize; ++n)
                    if (! std::isfinite (samples[n]))
                        ++nonFiniteSamples;
            }
        }
    }
};

/** What the editor does on the processor's change broadcast: re-read every control. */
struct EditorLikeListener : juce::ChangeListener
{
    explicit EditorLikeListener (ValmoraAudioProcessor& p) : processor (p) { processor.addChangeListener (this); }
    ~EditorLikeListener() override { processor.removeChangeListener (this); }

    void changeListenerCallback (juce::ChangeBroadcaster*) override
    {
        ++changes;

        for (int module = 0; module < ValmoraAudioProcessor::numModules; ++module)
            checksum += processor.getModuleStyle (module);

        for (const auto& enabled : processor.getMultibandCompressor().bandEnabled)
            checksum += enabled.load (std::memory_order_relaxed) >= 0.5f ? 1 : 0;

        checksum += processor.getAddSolo() ? 1 : 0;
    }

    ValmoraAudioProcessor& processor;
    int64_t changes = 0, checksum = 0;
};

/** A state blob with some of its words replaced by random bits (NaN, infinities, huge values,
    out-of-range styles), as a corrupt project or preset would hand it over. */
juce::MemoryBlock corrupted (const juce::MemoryBlock& blob, std::mt19937& random)
{
    juce::MemoryBlock copy (blob);
    const int words = (int) copy.getSize() / 4;

    for (int change = 0; change < 8; ++change)
    {
        const uint32_t bits = (uint32_t) random();
        std::memcpy (static_cast<char*> (copy.getData()) + 4 * (int) (random() % (uint32_t) words), &bits, 4);
    }

    return copy;
}

int32_t wordAt (const juce::MemoryBlock& blob, int word)
{
    int32_t value;
    std::memcpy (&value, static_cast<const char*> (blob.getData()) + 4 * word, 4);
    return value;
}
} // namespace

TEST (ProcessorThreading, MessageThreadWorkWhileAudioRunsWithFullAutomation)
{
    ValmoraAudioProcessor processor;
    prepare (processor, sampleRate, blockSize);

    EditorLikeListener editor (processor);
    std::atomic<bool> stop { false }, started { false };
    AudioSide audio { processor, stop, started };
    std::thread audioThread ([&] { audio.run(); });

    while (! started.load())
        std::this_thread::yield();

    std::mt19937 random (99);
    auto pick = [&random] (int lowest, int highest) { return lowest + (int) (random() % (uint32_t) (highest - lowest + 1)); };

    auto& meter = processor.getMeter();
    auto& bands = processor.getMultibandCompressor().bandEnabled;

    // Words of the blob the audio thread never writes: module parameters (field 2), styles,
    // band switches and solo. Host values (fields 1 and 10) are automated, so they are not compared.
    constexpr int firstKeptWord = HostParameters::firstBandGainParameter; // after the 22 host values
    constexpr int numKeptWords = 80 + 8 + 4 + 1;

    int64_t iterations = 0, loads = 0, keptMismatches = 0, nonFiniteReadings = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double> (testSeconds());

    while (std::chrono::steady_clock::now() < end)
    {
        ++iterations;

        switch (pick (0, 5))
        {
            case 0: // style lists, including indices no list has
                processor.setModuleStyle (pick (-1, ValmoraAudioProcessor::numModules), pick (-2, 6));
                break;

            case 1: // solo and the band mute buttons
                processor.setAddSolo (pick (0, 1) == 1);
                bands[pick (0, 3)].store (pick (0, 1) == 1 ? 1.0f : 0.0f, std::memory_order_relaxed);
                break;

            case 2: // the editor's meter timer
            {
                const std::pair<const char*, double> readings[] = {
                    { "short-term loudness", meter.getShortTermLoudness() },
                    { "momentary loudness", meter.getMomentaryLoudness() },
                    { "integrated loudness", meter.getIntegratedLoudness() },
                    { "left RMS", meter.getRmsDb (0) },
                    { "right RMS", meter.getRmsDb (1) },
                    { "left peak", meter.getPeakDb (0) },
                    { "right peak", meter.getPeakDb (1) },
                    { "peak", meter.getPeak() },
                    { "input peak", (double) processor.getAndResetInputPeak() },
                };

                // Silence may read as -infinity dB; NaN or +infinity would break the meter drawing.
                for (const auto& [name, value] : readings)
                    if (std::isnan (value) || value == std::numeric_limits<double>::infinity())
                        if (nonFiniteReadings++ == 0)
                            ADD_FAILURE() << name << " reads " << value;

                for (int index = 0; index < ValmoraAudioProcessor::numModules; ++index)
                {
                    for (int band = 0; band < 4; ++band)
                    {
                        const float value = processor.getModules()[(size_t) index]->getAndResetMeterValue (band);

                        if (! std::isfinite (value) && nonFiniteReadings++ == 0)
                            ADD_FAILURE() << "meter of module " << index << " band " << band << " reads " << value;
                    }
                }

                meter.isPeakResetDone();
                if (pick (0, 20) == 0)
                    meter.resetPeaks();
                break;
            }

            case 3: // host project save and restore, or a preset load
            {
                const bool asPreset = pick (0, 1) == 1;
                juce::MemoryBlock saved;
                processor.saveState (saved, asPreset);
                processor.setModuleStyle (pick (0, 7), pick (0, 4));
                EXPECT_TRUE (processor.loadState (saved.getData(), (int) saved.getSize(), asPreset));
                ++loads;

                // The styles, band switches and solo just loaded are what a save reports at once,
                // audio running or not.
                juce::MemoryBlock reloaded;
                processor.saveState (reloaded, asPreset);

                for (int word = firstKeptWord + 80; word < firstKeptWord + numKeptWords; ++word)
                    if (wordAt (saved, word) != wordAt (reloaded, word))
                        ++keptMismatches;

                // Module parameters of a loaded state are replaced by its styles' settings, so the
                // saved blob itself need not come back; but loading what a load produced must
                // reproduce it exactly, module parameters included.
                EXPECT_TRUE (processor.loadState (reloaded.getData(), (int) reloaded.getSize(), asPreset));
                juce::MemoryBlock again;
                processor.saveState (again, asPreset);

                for (int word = firstKeptWord; word < firstKeptWord + numKeptWords; ++word)
                    if (wordAt (reloaded, word) != wordAt (again, word))
                        ++keptMismatches;
                break;
            }

            case 4: // corrupt state from a host or a damaged preset file
            {
                const bool asPreset = pick (0, 1) == 1;
                juce::MemoryBlock blob;
                processor.saveState (blob, asPreset);
                const auto bad = corrupted (blob, random);
                processor.loadState (bad.getData(), (int) bad.getSize(), asPreset);
                ++loads;
                break;
            }

            default: // what the wrapper calls for a project save
            {
                juce::MemoryBlock blob;
                processor.getStateInformation (blob);
                EXPECT_EQ (blob.getSize(), (size_t) ValmoraAudioProcessor::hostBlobSize);
                break;
            }
        }

        // Deliver loadState's change broadcast now and then, as the message loop would.
        if (iterations % 16 == 0)
            processor.dispatchPendingMessages();
    }

    stop.store (true);
    audioThread.join();

    // Both sides really ran at the same time for the whole test, not one after the other.
    EXPECT_GT (audio.blocks, 20);
    EXPECT_GT (loads, 20);
    EXPECT_GT (editor.changes, 0);
    EXPECT_GT (audio.largestInput, 1.0f);

    EXPECT_EQ (audio.nonFiniteSamples, 0);
    EXPECT_EQ (nonFiniteReadings, 0);
    EXPECT_EQ (keptMismatches, 0);
}
