#include "ModuleStyles.h"

#include <cstring>
#include <string>

namespace ModuleStyles
{
namespace
{
constexpr int maxParameters = 35;

struct Style
{
    const char* key;
    const char* displayName;
    float values[maxParameters]; // real values, in the module's descriptor order
};

struct ModuleStyleList
{
    const Style* styles;
    int count;
};

// High-pass filter: Cutoff (Hz).
const Style hpFilterStyles[] = {
    { "f20hz", "20 Hz", { 19.99f } },
    { "f35hz", "35 Hz", { 35.01f } },
    { "f70hz", "70 Hz", { 70.00f } },
};

// Pre compressor: Threshold dB, Attack s, Release s, Ratio, Knee dB, Makeup dB, Autorelease, Lookahead s.
const Style preCompStyles[] = {
    { "default", "Default", { -28.86f, 0.1066f, 0.05926f, 2.156f, 2.000f, 6.918f, 1.0f, 0.02f } },
    { "gentle", "Gentle", { -48.00f, 0.2f, 0.5f, 1.201f, 2.000f, 5.873f, 1.0f, 0.02f } },
    { "toomuch", "Hard", { -44.35f, 0.158f, 0.001f, 16.00f, 2.965f, 19.35f, 1.0f, 0.02f } },
};

// Multiband compressor: per band 1-4 the compressor's eight settings, then crossovers 1-3 (Hz).
#define VALMORA_MB_BAND_DEFAULT_2 -40.23f, 0.06963f, 0.15f, 3.972f, 3.262f, 4.778f, 1.0f, 0.02f
#define VALMORA_MB_BAND_DEFAULT_3 -39.97f, 0.06498f, 0.3746f, 3.425f, 3.464f, 8.311f, 1.0f, 0.02f
#define VALMORA_MB_BAND_DEFAULT_4 -41.89f, 0.01262f, 0.15f, 2.675f, 4.473f, 7.065f, 1.0f, 0.02f
const Style multibandStyles[] = {
    { "default", "Default", {
        -41.96f, 0.08637f, 0.07445f, 3.383f, 3.129f, 8.075f, 1.0f, 0.02f,
        VALMORA_MB_BAND_DEFAULT_2, VALMORA_MB_BAND_DEFAULT_3, VALMORA_MB_BAND_DEFAULT_4,
        109.5f, 1199.0f, 8211.0f } },
    { "tighterbass", "Tighten bass", {
        -41.96f, 0.07465f, 0.07445f, 10.74f, 3.129f, 15.27f, 1.0f, 0.02f,
        VALMORA_MB_BAND_DEFAULT_2, VALMORA_MB_BAND_DEFAULT_3, VALMORA_MB_BAND_DEFAULT_4,
        109.5f, 1199.0f, 8211.0f } },
    { "mediumsqueeze", "Medium squeeze", {
        -42.88f, 0.06907f, 0.07445f, 4.561f, 3.129f, 10.36f, 1.0f, 0.02f,
        -42.82f, 0.06126f, 0.15f, 5.023f, 3.262f, 6.325f, 1.0f, 0.02f,
        -39.97f, 0.04936f, 0.3746f, 4.477f, 3.464f, 8.916f, 1.0f, 0.02f,
        -41.89f, 0.008154f, 0.15f, 4.652f, 4.473f, 9.690f, 1.0f, 0.02f,
        109.5f, 1199.0f, 8211.0f } },
    { "heavysqueeze", "Heavy squeeze", {
        -43.44f, 0.08637f, 0.3053f, 8.051f, 3.129f, 9.622f, 1.0f, 0.02f,
        -43.37f, 0.06963f, 0.2479f, 8.388f, 3.262f, 8.209f, 1.0f, 0.02f,
        -40.23f, 0.06498f, 0.1451f, 8.556f, 3.464f, 8.311f, 1.0f, 0.02f,
        -45.78f, 0.01262f, 0.001f, 8.262f, 4.473f, 11.78f, 1.0f, 0.02f,
        109.5f, 1199.0f, 8211.0f } },
    { "extreme", "Extreme", {
        -44.18f, 0.08637f, 0.3053f, 16.00f, 3.129f, 9.622f, 0.0f, 0.02f,
        -45.41f, 0.06963f, 0.2479f, 16.00f, 3.262f, 8.209f, 0.0f, 0.02f,
        -37.45f, 0.06498f, 0.1451f, 16.00f, 3.464f, 8.311f, 0.0f, 0.02f,
        -44.85f, 0.01262f, 0.001f, 16.00f, 4.473f, 11.78f, 1.0f, 0.02f,
        109.5f, 1199.0f, 8211.0f } },
    { "vocalenhancer", "Vocal enhancer", {
        -41.96f, 0.08637f, 0.07445f, 3.383f, 3.129f, 7.065f, 1.0f, 0.02f,
        -40.23f, 0.06963f, 0.15f, 3.972f, 3.262f, 4.778f, 1.0f, 0.02f,
        -38.44f, 0.04601f, 0.3746f, 10.66f, 3.464f, 19.21f, 1.0f, 0.02f,
        -41.89f, 0.01262f, 0.15f, 2.675f, 4.473f, 6.056f, 1.0f, 0.02f,
        109.5f, 2287.0f, 5776.0f } },
};
#undef VALMORA_MB_BAND_DEFAULT_2
#undef VALMORA_MB_BAND_DEFAULT_3
#undef VALMORA_MB_BAND_DEFAULT_4

// Stereo: Sides Gain dB, High Freq Hz, High Gain dB, Low Freq Hz, Low Gain dB.
const Style stereoStyles[] = {
    { "default", "Default", { 3.898f, 5729.0f, 5.715f, 138.0f, -18.46f } },
    { "center_bass", "Center bass", { 0.0f, 6952.0f, 0.0f, 190.0f, -36.00f } },
    { "widen_top", "Widen top", { 0.0f, 5789.0f, 12.00f, 224.1f, 0.0f } },
    { "widen_all", "Widen all", { 4.853f, 5938.0f, 4.283f, 224.1f, 0.0f } },
};

// Equaliser: Low Freq, Low Q, Low Gain, B1 Freq, B1 Q, B1 Gain, B2 Freq, B2 Q, B2 Gain, Hi Freq, Hi Gain.
const Style eqStyles[] = {
    { "default", "Default", { 72.85f, 2.000f, 6.487f, 130.8f, 3.905f, -4.541f, 7494.0f, 3.207f, -5.189f, 7827.0f, 7.265f } },
    { "acoustic", "Acoustic", { 134.5f, 1.580f, 7.265f, 128.0f, 5.327f, -6.227f, 7278.0f, 4.184f, -3.243f, 6558.0f, 10.25f } },
    { "jazzballad", "Ambient", { 207.3f, 0.5f, 8.562f, 155.0f, 1.707f, -8.822f, 7526.0f, 7.614f, -13.62f, 5503.0f, 15.70f } },
};

// Limiter: Release s, Threshold dB.
const Style limiterStyles[] = {
    { "default", "DEFAULT", { 0.1855f, -0.1005f } },
    { "fast", "FAST", { 0.03507f, -0.1005f } },
    { "slow", "SLOW", { 0.4778f, -0.1005f } },
};

// Distortion: Crossover 1-3 Hz, Mix, Gain Band 1-4 dB, Input Gain dB, Output Gain dB.
const Style distortionStyles[] = {
    { "default", "Default", { 217.7f, 1169.0f, 7706.0f, 1.0f, 8.898f, 8.083f, 19.29f, 4.483f, 12.57f, -2.785f } },
    { "bass", "Bass", { 104.7f, 1169.0f, 7706.0f, 1.0f, 24.18f, -36.00f, -22.35f, -36.00f, -17.59f, 1.087f } },
    { "lowmids", "Low Mids", { 246.0f, 1734.0f, 7198.0f, 1.0f, -26.15f, 26.15f, 3.328f, -13.58f, -5.366f, 2.513f } },
    { "mids", "High Mids", { 104.7f, 1734.0f, 4712.0f, 1.0f, -19.63f, 13.92f, 30.43f, -16.44f, -3.940f, 1.291f } },
    { "sparkle", "Sparkle", { 104.7f, 1169.0f, 7706.0f, 1.0f, -5.977f, -7.200f, 11.34f, 17.73f, 15.83f, -9.306f } },
    { "extreme", "Extreme", { 104.7f, 1734.0f, 7198.0f, 1.0f, 29.07f, 36.00f, 36.00f, 17.86f, 0.3395f, 0.0f } },
};

// Parallel compressor: as the pre compressor.
const Style addCompStyles[] = {
    { "default", "Default", { -23.16f, 0.01965f, 0.1591f, 6.807f, 9.874f, 10.77f, 0.5279f, 0.01331f } },
    { "fastngentle", "Fast and gentle", { -25.60f, 0.007309f, 0.07209f, 2.810f, 3.388f, 8.796f, 0.1894f, 0.01331f } },
    { "fastnhard", "Fast and hard", { -30.24f, 0.005642f, 0.07209f, 11.86f, 3.388f, 15.35f, 0.1894f, 0.01331f } },
    { "slowngentle", "Slow and gentle", { -25.60f, 0.1064f, 0.1666f, 3.514f, 3.388f, 8.192f, 0.6084f, 0.01331f } },
    { "slowandhard", "Slow and hard", { -36.77f, 0.08902f, 0.1532f, 13.02f, 3.388f, 16.44f, 0.6084f, 0.01331f } },
};

template <size_t size>
constexpr ModuleStyleList listOf (const Style (&styles)[size]) { return { styles, (int) size }; }

const ModuleStyleList styleLists[numModules] = {
    listOf (hpFilterStyles), listOf (preCompStyles), listOf (multibandStyles), listOf (stereoStyles),
    listOf (eqStyles), listOf (limiterStyles), listOf (distortionStyles), listOf (addCompStyles),
};

const Style* findStyle (int moduleIndex, int styleIndex) noexcept
{
    if (moduleIndex < 0 || moduleIndex >= numModules || styleIndex < 0 || styleIndex >= styleLists[moduleIndex].count)
        return nullptr;

    return &styleLists[moduleIndex].styles[styleIndex];
}
} // namespace

const char* const moduleKeys[numModules] = {
    "hpfilter", "precomp", "multibandcomp", "msstereo", "fbeq", "limiter", "adddist", "addcomp"
};

int defaultStyle (int moduleIndex) noexcept
{
    return moduleIndex == 0 ? 1 : 0;
}

int numStyles (int moduleIndex) noexcept
{
    return moduleIndex >= 0 && moduleIndex < numModules ? styleLists[moduleIndex].count : 0;
}

const char* styleKey (int moduleIndex, int styleIndex) noexcept
{
    const auto* style = findStyle (moduleIndex, styleIndex);
    return style != nullptr ? style->key : nullptr;
}

const char* styleDisplayName (int moduleIndex, int styleIndex) noexcept
{
    const auto* style = findStyle (moduleIndex, styleIndex);
    return style != nullptr ? style->displayName : nullptr;
}

int normalisedStyleData (const char* resourceName, const DSPModule& module, float* destination, int capacity)
{
    if (resourceName == nullptr)
        return 0;

    const std::string name (resourceName);

    for (int moduleIndex = 0; moduleIndex < numModules; ++moduleIndex)
    {
        const std::string suffix = std::string ("_") + moduleKeys[moduleIndex];

        if (name.size() <= suffix.size() || name.compare (name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;

        const std::string key = name.substr (0, name.size() - suffix.size());

        for (int styleIndex = 0; styleIndex < styleLists[moduleIndex].count; ++styleIndex)
        {
            const auto& style = styleLists[moduleIndex].styles[styleIndex];

            if (key != style.key)
                continue;

            const int count = module.getNumParameters() < capacity ? module.getNumParameters() : capacity;

            for (int index = 0; index < count; ++index)
            {
                const auto descriptor = module.getParameterDescriptor (index);
                destination[index] = (style.values[index] - descriptor.minimum) / (descriptor.maximum - descriptor.minimum);
            }

            return count;
        }
    }

    return 0;
}
} // namespace ModuleStyles
