#include "HostParameters.h"

namespace HostParameters
{
namespace
{
const char* const switchLabels[] = { "OFF", "ON", nullptr };
}

const ParameterDescriptor processorDescriptors[numProcessorParameters] = {
    { 0, 0, -80.0f, 18.0f, 0.0f, "INPUT", "dB", "Input gain level. A green indicator equals a good input signal.", nullptr },
    { 1, 0, -80.0f, 18.0f, 0.0f, "OUTPUT", "dB", "Output gain level (pre limiter).", nullptr },
    { 2, 0, -80.0f, 12.0f, -80.0f, "GAIN", "dB", "Add compression/dist gain level.", nullptr },
    { 3, 2, 0.0f, 1.0f, 0.0f, "BYPASS", "", "Bypasses everything.", switchLabels },
    { 4, 2, 0.0f, 1.0f, 0.0f, "BYPASS", "", "Bypasses the HP filter.", switchLabels },
    { 5, 2, 0.0f, 1.0f, 0.0f, "BYPASS", "", "Bypasses the pre compressor.", switchLabels },
    { 6, 2, 0.0f, 1.0f, 0.0f, "BYPASS", "", "Bypasses the multiband compressor.", switchLabels },
    { 7, 2, 0.0f, 1.0f, 0.0f, "BYPASS", "", "Bypasses the stereo module.", switchLabels },
    { 8, 2, 0.0f, 1.0f, 0.0f, "BYPASS", "", "Bypasses the eq.", switchLabels },
    { 9, 2, 0.0f, 1.0f, 0.0f, "BYPASS", "", "Bypasses the limiter.", switchLabels },
    { 10, 2, 0.0f, 1.0f, 0.0f, "BYPASS", "", "Bypasses the distortion module.", switchLabels },
    { 11, 2, 0.0f, 1.0f, 0.0f, "BYPASS", "", "Bypasses the add compressor.", switchLabels },
};

const ParameterDescriptor bandGainDescriptors[numBands] = {
    { 0, 0, -16.0f, 16.0f, 0.0f, "B1 Makeup", "dB", "", nullptr },
    { 1, 0, -16.0f, 16.0f, 0.0f, "B2 Makeup", "dB", "", nullptr },
    { 2, 0, -16.0f, 16.0f, 0.0f, "B3 Makeup", "dB", "", nullptr },
    { 3, 0, -16.0f, 16.0f, 0.0f, "B4 Makeup", "dB", "", nullptr },
};

const char* const processorParameterNames[numProcessorParameters] = {
    "Input Gain", "Ouput Gain", "Add Gain", "Global Bypass", "HP Filter Bypass", "Comp Bypass",
    "Multiband Bypass", "Width Bypass", "EQ Bypass", "Limiter Bypass", "Dist Bypass", "Add Comp Bypass"
};

const char* const bandGainParameterNames[numBands] = {
    "MB Low Gain", "MB Low  Mid Gain", "MB High Mid Gain", "MB High Gain"
};
} // namespace HostParameters
