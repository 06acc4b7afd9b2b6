#pragma once

#include "DSPModule.h"

#include <cstdint>

/** The factory styles of every module: keys, display names and settings.

    A style sets all detailed parameters of one module at once. The settings are written below in
    real units (Hz, dB, s) as one table per module; they are turned into the normalised values the
    modules take with each module's own descriptor ranges, so the table is the one source of truth.
    Each style's data is found by its resource name, style key + "_" + module key
    ("tighterbass_multibandcomp").
*/
namespace ModuleStyles
{
constexpr int numModules = 8;

/** Module keys in module index order. */
extern const char* const moduleKeys[numModules];

/** The default style per module: "f35hz" for the high-pass filter, the first for every other. */
int defaultStyle (int moduleIndex) noexcept;

/** Number of styles a module offers (0 for an index outside 0..7). */
int numStyles (int moduleIndex) noexcept;

/** Key and display name of a style; null when the indices are out of range. */
const char* styleKey (int moduleIndex, int styleIndex) noexcept;
const char* styleDisplayName (int moduleIndex, int styleIndex) noexcept;

/** The normalised settings stored under a resource name, converted with `module`'s descriptors
    (which must be the module the name's module key refers to). Returns the number of values, or 0
    for an unknown name; at most `capacity` values are written. */
int normalisedStyleData (const char* resourceName, const DSPModule& module, float* destination, int capacity);
} // namespace ModuleStyles
