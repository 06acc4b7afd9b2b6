#pragma once

#include "DSPModule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

/** The normalised value that makes parameter `index` of `module` take the real value `real`. */
inline float normalisedFor (const DSPModule& module, int32_t index, float real)
{
    const ParameterDescriptor d = module.getParameterDescriptor (index);
    return (real - d.minimum) / (d.maximum - d.minimum);
}

/** Sets a detailed parameter by its real value (Hz, dB, s …). */
inline void setReal (DSPModule& module, int32_t index, float real)
{
    module.setParameter (index, normalisedFor (module, index, real));
}

/** One expected row of a module's descriptor table. */
struct DescriptorRow
{
    const char* name;
    const char* unit;
    float minimum, maximum, defaultValue;
    const char* description = "";
};

/** Checks a module's whole descriptor table, row by row, and that every default is applied. */
inline void expectDescriptorTable (const DSPModule& module, const std::vector<DescriptorRow>& rows)
{
    ASSERT_EQ (module.getNumParameters(), (int32_t) rows.size());

    for (int32_t i = 0; i < (int32_t) rows.size(); ++i)
    {
        SCOPED_TRACE (rows[(size_t) i].name);
        const auto& row = rows[(size_t) i];
        const ParameterDescriptor d = module.getParameterDescriptor (i);
        EXPECT_EQ (d.index, i);
        EXPECT_EQ (d.kind, 0);
        EXPECT_STREQ (d.name, row.name);
        EXPECT_STREQ (d.unit, row.unit);
        EXPECT_STREQ (d.description, row.description);
        EXPECT_EQ (d.labels, nullptr);
        EXPECT_FLOAT_EQ (d.minimum, row.minimum);
        EXPECT_FLOAT_EQ (d.maximum, row.maximum);
        EXPECT_FLOAT_EQ (d.defaultValue, row.defaultValue);
        EXPECT_FLOAT_EQ (module.getParameter (i), (row.defaultValue - row.minimum) / (row.maximum - row.minimum));
    }

    size_t bytes = 0;
    module.getParameterValues (&bytes);
    EXPECT_EQ (bytes, 4 * rows.size());
}

/** One expected macro control: its descriptor fields and the name the host shows. */
struct MacroRow
{
    const char* name;
    const char* description;
    const char* hostName;
    float minimum = 0.0f;
};

/** Checks a module's macro controls: count, descriptors (unit "%", range up to 1, default 0) and
    host names. */
inline void expectMacroTable (const DSPModule& module, const std::vector<MacroRow>& rows)
{
    ASSERT_EQ (module.getNumMacros(), (int32_t) rows.size());

    for (int32_t i = 0; i < (int32_t) rows.size(); ++i)
    {
        const auto& row = rows[(size_t) i];
        SCOPED_TRACE (row.name);
        const ParameterDescriptor d = module.getMacroDescriptor (i);
        EXPECT_STREQ (d.name, row.name);
        EXPECT_STREQ (d.unit, "%");
        EXPECT_STREQ (d.description, row.description);
        EXPECT_EQ (d.labels, nullptr);
        EXPECT_FLOAT_EQ (d.minimum, row.minimum);
        EXPECT_FLOAT_EQ (d.maximum, 1.0f);
        EXPECT_FLOAT_EQ (d.defaultValue, 0.0f);
        EXPECT_STREQ (module.getMacroName (i), row.hostName);
    }
}

/** A small deterministic noise source in -0.5 .. 0.5. */
struct TestNoise
{
    unsigned state = 7;

    float next()
    {
        state = state * 1664525u + 1013904223u;
        return (float) (state >> 8) / 16777216.0f - 0.5f;
    }
};

/** One step of a scripted sequence of changes: at `frame`, set `parameter` to the real `value`,
    or with parameter `macroChange` the first macro, or with `bypassChange` the bypass (value > 0.5). */
struct ScheduledChange
{
    static constexpr int macroChange = -1;
    static constexpr int bypassChange = -2;

    int frame;
    int parameter;
    float value;
};

/** Applies a scheduled change to a module and mirrors it into an independent reference model,
    which offers `amount`, `bypassed` and `real[]` (the real value of every detailed parameter). */
template <typename Reference>
void applyScheduledChange (DSPModule& module, Reference& reference, const ScheduledChange& change)
{
    if (change.parameter == ScheduledChange::macroChange)
    {
        module.setMacroValue (0, change.value);
        reference.amount = change.value;
    }
    else if (change.parameter == ScheduledChange::bypassChange)
    {
        module.setBypassed (change.value > 0.5f);
        reference.bypassed = change.value > 0.5f;
    }
    else
    {
        setReal (module, change.parameter, change.value);
        reference.real[change.parameter] = module.getParameterDescriptor (change.parameter).toRealValue (module.getParameter (change.parameter));
    }
}
