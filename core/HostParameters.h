#pragma once

#include "ParameterDescriptor.h"

#include <cstdint>

/** The processor's own host parameters: their descriptors and the names the host shows.

    Host parameters 0-11 (three gains, nine bypass switches) are described here; 12-21 are the
    modules' macro controls, numbered in module index order; 22-25 are the multiband band gains,
    whose ranges come from the four band entries.
*/
namespace HostParameters
{
constexpr int32_t numHostParameters = 26;
constexpr int32_t numProcessorParameters = 12;
constexpr int32_t firstMacroParameter = 12;
constexpr int32_t firstBandGainParameter = 22;
constexpr int32_t numBands = 4;

enum Index : int32_t
{
    inputGain = 0,
    outputGain = 1,
    addGain = 2,
    globalBypass = 3,
    firstModuleBypass = 4
};

/** Descriptors of host parameters 0-11. */
extern const ParameterDescriptor processorDescriptors[numProcessorParameters];

/** Range entries of the four band gains (host parameters 22-25). */
extern const ParameterDescriptor bandGainDescriptors[numBands];

/** Display names of host parameters 0-11, as hosts store them. */
extern const char* const processorParameterNames[numProcessorParameters];

/** Display names of host parameters 22-25. */
extern const char* const bandGainParameterNames[numBands];
} // namespace HostParameters
