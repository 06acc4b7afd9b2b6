#include "ProcessorFixture.h"
#include "ModuleStyles.h"

#include <cstring>
#include <random>

namespace
{
uint32_t wordAt (const juce::MemoryBlock& block, int wordIndex)
{
    uint32_t word;
    std::memcpy (&word, static_cast<const char*> (block.getData()) + 4 * wordIndex, 4);
    return word;
}

uint32_t bitsOf (float value)
{
    uint32_t word;
    std::memcpy (&word, &value, 4);
    return word;
}

void setWord (juce::MemoryBlock& block, int wordIndex, uint32_t word)
{
    std::memcpy (static_cast<char*> (block.getData()) + 4 * wordIndex, &word, 4);
}

constexpr int styleWord = 22 + 80;        // field 3
constexpr int bandSwitchWord = styleWord + 8;
constexpr int soloWord = bandSwitchWord + 4;

float normalised (ValmoraAudioProcessor& processor, int index)
{
    return ValmoraAudioProcessor::normalisedValue (processor.getParameters()[(size_t) index]);
}

/** Counts change broadcasts, which reach listeners through the message loop. */
struct ChangeCounter : juce::ChangeListener
{
    int count = 0;
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
};
} // namespace

TEST (StateFormat, FreshHostBlobLayout)
{
    ValmoraAudioProcessor processor;
    juce::MemoryBlock blob;
    processor.getStateInformation (blob);

    ASSERT_EQ (blob.getSize(), 500u);
    EXPECT_EQ (wordAt (blob, 0), bitsOf (80.0f / 98.0f)) << "0 dB on -80..18 dB, about 0.8163265";
    EXPECT_EQ (wordAt (blob, styleWord), 1u) << "high-pass style 35 Hz";
    for (int module = 1; module < 8; ++module)
        EXPECT_EQ (wordAt (blob, styleWord + module), 0u);
    for (int band = 0; band < 4; ++band)
        EXPECT_EQ (wordAt (blob, bandSwitchWord + band), 1u);
    EXPECT_EQ (wordAt (blob, soloWord), 0u);
    EXPECT_EQ (wordAt (blob, 124), bitsOf (0.5f)) << "band gains at the end";

    juce::MemoryBlock preset;
    processor.saveState (preset, true);
    EXPECT_EQ (preset.getSize(), 476u);
}

TEST (StateFormat, SaveAppendsToWhatTheBlockHolds)
{
    ValmoraAudioProcessor processor;
    juce::MemoryBlock block ("HEADER16BYTES...", 16);
    processor.saveState (block, true);
    ASSERT_EQ (block.getSize(), 16u + 476u);
    EXPECT_EQ (std::memcmp (block.getData(), "HEADER16BYTES...", 16), 0);
}

TEST (StateFormat, SaveLoadSaveGivesIdenticalBytes)
{
    ValmoraAudioProcessor source;
    for (int index = 0; index < 26; ++index)
        setParameter (source, index, (float) ((index * 37) % 11) / 10.0f);
    source.setModuleStyle (2, 5);
    source.setModuleStyle (6, 3);
    source.getMultibandCompressor().bandEnabled[2].store (0.0f);
    source.setAddSolo (true);

    for (bool asPreset : { false, true })
    {
        juce::MemoryBlock first;
        source.saveState (first, asPreset);

        ValmoraAudioProcessor target;
        ASSERT_TRUE (target.loadState (first.getData(), (int) first.getSize(), asPreset));
        juce::MemoryBlock second;
        target.saveState (second, asPreset);
        EXPECT_EQ (first, second) << (asPreset ? "preset" : "host");
        EXPECT_EQ (target.getModuleStyle (2), 5);
        EXPECT_TRUE (target.getAddSolo());
        EXPECT_EQ (target.getMultibandCompressor().bandEnabled[2].load(), 0.0f);
    }
}

TEST (StateFormat, ShorterLayoutsResetTheBandGains)
{
    ValmoraAudioProcessor source;
    setParameter (source, 12, 0.75f);
    setParameter (source, 22, 0.9f);
    juce::MemoryBlock host, preset;
    source.saveState (host, false);
    source.saveState (preset, true);

    struct Case { juce::MemoryBlock blob; bool asPreset; const char* what; };
    const Case cases[] = {
        { juce::MemoryBlock (preset.getData(), 460), true, "legacy 460-byte preset" },
        { juce::MemoryBlock (host.getData(), 484), false, "484-byte host blob without band gains" },
    };

    for (const auto& c : cases)
    {
        ValmoraAudioProcessor target;
        setParameter (target, 22, 0.1f);
        ASSERT_TRUE (target.loadState (c.blob.getData(), (int) c.blob.getSize(), c.asPreset)) << c.what;
        EXPECT_FLOAT_EQ (normalised (target, 12), 0.75f) << c.what;
        for (int band = 22; band < 26; ++band)
            EXPECT_FLOAT_EQ (normalised (target, band), 0.5f) << c.what;
    }

    ValmoraAudioProcessor target;
    ASSERT_TRUE (target.loadState (preset.getData(), 476, true));
    EXPECT_FLOAT_EQ (normalised (target, 22), 0.9f) << "a current preset keeps its band gains";
}

TEST (StateFormat, TooShortBlobsAreRefusedWhole)
{
    ValmoraAudioProcessor processor;
    setParameter (processor, 0, 0.6f);
    setParameter (processor, 12, 0.3f);
    processor.setModuleStyle (1, 2);
    juce::MemoryBlock before;
    processor.saveState (before, false);

    ChangeCounter counter;
    processor.addChangeListener (&counter);

    juce::MemoryBlock truncated (before.getData(), 407);
    for (int size : { 0, 1, 4, 100, 407 })
    {
        EXPECT_FALSE (processor.loadState (truncated.getData(), size, false)) << size;
        EXPECT_FALSE (processor.loadState (truncated.getData(), size, true)) << size;
    }
    processor.setStateInformation (nullptr, 0);

    juce::MemoryBlock after;
    processor.saveState (after, false);
    EXPECT_EQ (before, after) << "nothing changed";

    pumpMessages (20);
    EXPECT_EQ (counter.count, 0) << "no change broadcast";
    processor.removeChangeListener (&counter);
}

TEST (StateFormat, FixedPartOnlyAppliesDefaultStyles)
{
    ValmoraAudioProcessor source;
    source.setModuleStyle (0, 2);
    juce::MemoryBlock blob;
    source.saveState (blob, true);

    ValmoraAudioProcessor target;
    target.setModuleStyle (3, 2);
    ASSERT_TRUE (target.loadState (blob.getData(), 408, true));
    EXPECT_EQ (target.getModuleStyle (0), 1);
    EXPECT_EQ (target.getModuleStyle (3), 0);
}

TEST (StateFormat, CorruptFloatsAreBroughtIntoRange)
{
    ValmoraAudioProcessor source;
    juce::MemoryBlock blob;
    source.saveState (blob, true);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    setWord (blob, 0, bitsOf (nan));        // input gain: NaN becomes its default
    setWord (blob, 1, bitsOf (infinity));   // output gain: +inf clamps to 1
    setWord (blob, 12, bitsOf (-infinity)); // comp amount: -inf clamps to 0
    setWord (blob, 13, bitsOf (7.5f));      // above 1 clamps to 1
    setWord (blob, 22, bitsOf (nan));       // the high-pass cutoff
    setWord (blob, 23, bitsOf (-3.0f));     // a compressor threshold
    setWord (blob, 115, bitsOf (nan));      // band gain 0

    ValmoraAudioProcessor target;
    ASSERT_TRUE (target.loadState (blob.getData(), (int) blob.getSize(), true));
    EXPECT_FLOAT_EQ (normalised (target, 0), 0.8163265f);
    EXPECT_FLOAT_EQ (normalised (target, 1), 1.0f);
    EXPECT_FLOAT_EQ (normalised (target, 12), 0.0f);
    EXPECT_FLOAT_EQ (normalised (target, 13), 1.0f);
    EXPECT_FLOAT_EQ (normalised (target, 22), 0.5f);

    for (auto* module : target.getModules())
        for (int index = 0; index < module->getNumParameters(); ++index)
        {
            const float value = module->getParameter (index);
            EXPECT_TRUE (value >= 0.0f && value <= 1.0f) << value;
        }
}

TEST (StateFormat, OutOfRangeStyleKeepsThePreviousStyle)
{
    ValmoraAudioProcessor source;
    juce::MemoryBlock blob;
    source.saveState (blob, true);
    setWord (blob, styleWord + 2, 99);
    setWord (blob, styleWord + 4, (uint32_t) -1);

    ValmoraAudioProcessor target;
    target.setModuleStyle (2, 3);
    target.setModuleStyle (4, 1);
    ASSERT_TRUE (target.loadState (blob.getData(), (int) blob.getSize(), true));
    EXPECT_EQ (target.getModuleStyle (2), 3);
    EXPECT_EQ (target.getModuleStyle (4), 1);
    EXPECT_EQ (target.getModuleStyle (0), 1);
}

TEST (StateFormat, SuccessfulLoadBroadcastsAChange)
{
    ValmoraAudioProcessor processor;
    ChangeCounter counter;
    processor.addChangeListener (&counter);
    juce::MemoryBlock blob;
    processor.saveState (blob, false);
    processor.setStateInformation (blob.getData(), (int) blob.getSize());
    pumpMessages (20);
    EXPECT_EQ (counter.count, 1);
    processor.removeChangeListener (&counter);
}

TEST (StateFormat, RandomAndMutatedBlobsNeverPutNaNIntoTheOutput)
{
    ValmoraAudioProcessor source;
    for (int index = 12; index < 22; ++index)
        setParameter (source, index, 0.6f);
    juce::MemoryBlock valid;
    source.saveState (valid, false);

    ValmoraAudioProcessor processor;
    prepare (processor, 44100.0, 64);
    std::mt19937 random (20261211);
    std::uniform_int_distribution<int> byte (0, 255);

    for (int round = 0; round < 3000; ++round)
    {
        juce::MemoryBlock blob;

        if (round % 3 == 0)
        {
            blob.setSize ((size_t) (random() % 600), false);
            for (size_t n = 0; n < blob.getSize(); ++n)
                static_cast<uint8_t*> (blob.getData())[n] = (uint8_t) byte (random);
        }
        else
        {
            blob = valid;
            blob.setSize ((size_t) (random() % 2 == 0 ? 500 : 400 + random() % 120), true);
            for (int flips = 0; flips < 8; ++flips)
                static_cast<uint8_t*> (blob.getData())[random() % blob.getSize()] = (uint8_t) byte (random);
        }

        processor.loadState (blob.getData(), (int) blob.getSize(), (round & 1) != 0);

        if (round % 50 == 0)
        {
            auto audio = sine (2, 256, 997.0, 44100.0, 0.9f);
            render (processor, audio, 64);
            for (int channel = 0; channel < 2; ++channel)
                for (int n = 0; n < 256; ++n)
                    ASSERT_TRUE (std::isfinite (audio.getSample (channel, n))) << "round " << round;
        }
    }
}

TEST (ModuleStyles, NewInstanceAndSwitching)
{
    ValmoraAudioProcessor processor;
    const int expected[8] = { 1, 0, 0, 0, 0, 0, 0, 0 };
    for (int module = 0; module < 8; ++module)
        EXPECT_EQ (processor.getModuleStyle (module), expected[module]);

    auto* hpFilter = processor.getModules()[0];
    EXPECT_NEAR (hpFilter->getParameterDescriptor (0).toRealValue (hpFilter->getParameter (0)), 35.01f, 1e-3);

    setParameter (processor, 13, 0.4f);
    processor.setModuleStyle (2, 5); // "vocalenhancer"
    auto* multiband = processor.getModules()[2];
    EXPECT_NEAR (multiband->getParameterDescriptor (33).toRealValue (multiband->getParameter (33)), 2287.0f, 0.01f);
    EXPECT_NEAR (multiband->getParameterDescriptor (34).toRealValue (multiband->getParameter (34)), 5776.0f, 0.01f);
    EXPECT_FLOAT_EQ (normalised (processor, 13), 0.4f) << "macros keep their values";

    processor.setModuleStyle (2, 6);
    EXPECT_EQ (processor.getModuleStyle (2), 5) << "an index outside the list is not applied";
    processor.setModuleStyle (2, -1);
    EXPECT_EQ (processor.getModuleStyle (2), 5);
}

TEST (ModuleStyles, EveryStyleResolvesToInRangeSettings)
{
    ValmoraAudioProcessor processor;

    for (int module = 0; module < 8; ++module)
    {
        EXPECT_GT (ModuleStyles::numStyles (module), 0);

        for (int style = 0; style < ModuleStyles::numStyles (module); ++style)
        {
            const auto name = juce::String (ModuleStyles::styleKey (module, style)) + "_" + ModuleStyles::moduleKeys[module];
            float values[64];
            auto* target = processor.getModules()[(size_t) module];
            ASSERT_EQ (ModuleStyles::normalisedStyleData (name.toRawUTF8(), *target, values, 64), target->getNumParameters()) << name;

            for (int index = 0; index < target->getNumParameters(); ++index)
                EXPECT_TRUE (values[index] >= -1e-6f && values[index] <= 1.0f + 1e-6f) << name << " parameter " << index;
        }
    }

    float values[64];
    EXPECT_EQ (ModuleStyles::normalisedStyleData ("nosuchstyle_multibandcomp", *processor.getModules()[2], values, 64), 0);
    EXPECT_STREQ (ModuleStyles::styleDisplayName (4, 2), "Ambient");
    EXPECT_STREQ (ModuleStyles::styleKey (2, 1), "tighterbass");
}
