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
