// Renders fixed programme material through the whole chain with every module working and compares
// the result, sample by sample, with renders stored in tests/data. The stored renders were made by
// the plain per-frame chain before any of its speed-ups, so every optimisation of the chain has to
// reproduce them to within 1e-6.
//
// To regenerate the stored renders (only when the sound is meant to change):
//     VALMORA_WRITE_REFERENCE_RENDERS=1 core_tests --gtest_filter='ReferenceRender*'

#include "ProcessorFixture.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace
{
constexpr double renderRate = 48000.0;
constexpr int renderBlockSize = 512;
constexpr float tolerance = 1.0e-6f;

/** Kick, two tones and hiss, as the processor benchmark synthesises it; the second channel gets a
    different tone and the inverted hiss so that mid and side both carry signal. */
juce::AudioBuffer<float> programmeMaterial (int channels, int length)
{
    juce::AudioBuffer<float> audio (channels, length);
    uint32_t noise = 1;

    for (int n = 0; n < length; ++n)
    {
        noise = noise * 1664525u + 1013904223u;
        const float hiss = ((float) (noise >> 9) / 8388608.0f - 1.0f) * 0.05f;
        const double t = n / renderRate;
        const float kick = (float) (0.6 * std::sin (2.0 * 3.14159265 * 55.0 * t) * std::exp (-std::fmod (t, 0.5) * 8.0));
        audio.setSample (0, n, kick + 0.2f * (float) std::sin (2.0 * 3.14159265 * 440.0 * t) + hiss);

        if (channels > 1)
            audio.setSample (1, n, kick + 0.2f * (float) std::sin (2.0 * 3.14159265 * 660.0 * t) - hiss);
    }

    return audio;
}

struct ReferenceCase
{
    const char* name;
    int channels;
    int length;
    float macroA, macroB;             // macros alternate between the two amounts
    std::array<float, 4> bandGains;   // normalised; 0.5 is 0 dB
    std::array<int, 8> styles;        // per module index; -1 keeps the start-up style
};

std::ostream& operator<< (std::ostream& stream, const ReferenceCase& c) { return stream << c.name; }

// Both cases run with "Add Gain" at 0 dB, so the parallel path is as loud as the main path, and
// with the band gains away from the centre, so the multiband gain ramps take part.
const ReferenceCase referenceCases[] = {
    { "stereo_active", 2, 36000, 0.5f, 0.7f, { 0.40f, 0.55f, 0.62f, 0.45f }, { -1, 1, 2, 3, 1, 2, 5, -1 } },
    { "mono_active", 1, 12000, 0.7f, 0.5f, { 0.58f, 0.44f, 0.50f, 0.60f }, { 2, -1, 3, 1, 2, -1, 1, 1 } },
};

std::string referencePath (const ReferenceCase& c)
{
    return std::string (VALMORA_TEST_DATA_DIR) + "/reference_" + c.name + ".f32";
}

juce::AudioBuffer<float> renderCase (const ReferenceCase& c)
{
    ValmoraAudioProcessor processor;

    for (int module = 0; module < ValmoraAudioProcessor::numModules; ++module)
        if (c.styles[(size_t) module] >= 0)
            processor.setModuleStyle (module, c.styles[(size_t) module]);

    for (int index = 12; index <= 21; ++index)
        setParameter (processor, index, (index % 2) == 0 ? c.macroA : c.macroB);

    setParameter (processor, 2, 80.0f / 92.0f); // "Add Gain" at 0 dB

    for (int band = 0; band < 4; ++band)
        setParameter (processor, 22 + band, c.bandGains[(size_t) band]);

    prepare (processor, renderRate, renderBlockSize, c.channels);

    auto audio = programmeMaterial (c.channels, c.length);
    render (processor, audio, renderBlockSize);
    return audio;
}

// Stored as 32-bit little-endian floats, channels interleaved.
void writeRender (const std::string& path, const juce::AudioBuffer<float>& audio)
{
    std::ofstream file (path, std::ios::binary);

    for (int n = 0; n < audio.getNumSamples(); ++n)
        for (int channel = 0; channel < audio.getNumChannels(); ++channel)
        {
            uint32_t bits;
            const float value = audio.getSample (channel, n);
            std::memcpy (&bits, &value, sizeof (bits));
            const char bytes[4] = { (char) (bits & 0xff), (char) ((bits >> 8) & 0xff), (char) ((bits >> 16) & 0xff), (char) (bits >> 24) };
            file.write (bytes, 4);
        }
}

std::vector<float> readRender (const std::string& path)
{
    std::ifstream file (path, std::ios::binary);
    std::vector<float> values;
    unsigned char bytes[4];

    while (file.read (reinterpret_cast<char*> (bytes), 4))
    {
        const uint32_t bits = (uint32_t) bytes[0] | ((uint32_t) bytes[1] << 8) | ((uint32_t) bytes[2] << 16) | ((uint32_t) bytes[3] << 24);
        float value;
        std::memcpy (&value, &bits, sizeof (value));
        values.push_back (value);
    }

    return values;
}
} // namespace

class ReferenceRender : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P (ReferenceRender, MatchesTheStoredRenderWithinOneMillionth)
{
    const auto& c = GetParam();
    const auto rendered = renderCase (c);

    if (std::getenv ("VALMORA_WRITE_REFERENCE_RENDERS") != nullptr)
    {
        writeRender (referencePath (c), rendered);
        GTEST_SKIP() << "wrote " << referencePath (c);
    }

    const auto reference = readRender (referencePath (c));
    ASSERT_EQ (reference.size(), (size_t) (c.length * c.channels)) << referencePath (c) << " is missing or has the wrong size";

    // The stored render must be real programme through a working chain, not silence.
    double energy = 0.0;

    for (float value : reference)
        energy += (double) value * value;

    ASSERT_GT (std::sqrt (energy / (double) reference.size()), 0.05);

    float worst = 0.0f;
    int worstFrame = -1, worstChannel = -1, mismatches = 0;

    for (int n = 0; n < c.length; ++n)
        for (int channel = 0; channel < c.channels; ++channel)
        {
            const float expected = reference[(size_t) (n * c.channels + channel)];
            const float difference = std::fabs (rendered.getSample (channel, n) - expected);

            // A NaN in the render counts as the worst possible mismatch.
            if (! (difference <= tolerance))
                ++mismatches;

            if (! (difference <= worst))
            {
                worst = std::isnan (difference) ? INFINITY : difference;
                worstFrame = n;
                worstChannel = channel;
            }
        }

    EXPECT_EQ (mismatches, 0) << "largest difference " << worst << " at frame " << worstFrame << ", channel " << worstChannel;
}

INSTANTIATE_TEST_SUITE_P (EveryModuleActive, ReferenceRender, ::testing::ValuesIn (referenceCases),
                          [] (const auto& info) { return std::string (info.param.name); });
