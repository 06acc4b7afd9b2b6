#include "Compressor.h"
#include "Limiter.h"
#include "ModuleBenchmark.h"
#include "MultibandCompressor.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
/** Sets detailed parameters from real values in table order, as a factory style would. */
void applyStyle (DSPModule& module, const std::vector<float>& realValues)
{
    for (size_t i = 0; i < realValues.size(); ++i)
    {
        const ParameterDescriptor d = module.getParameterDescriptor ((int32_t) i);
        module.setParameter ((int32_t) i, (realValues[i] - d.minimum) / (d.maximum - d.minimum));
    }
}
} // namespace

// The pre compressor with its factory "Default" style (automatic release on) at half amount.
static void BM_Compressor (benchmark::State& state)
{
    Compressor module;
    applyStyle (module, { -28.86f, 0.1066f, 0.05926f, 2.156f, 2.0f, 6.918f, 1.0f, 0.02f });
    module.setMacroValue (0, 0.5f);
    runModuleBenchmark (state, module);
}
BENCHMARK (BM_Compressor);

// The multiband compressor with its factory "Default" style, every band at half amount.
static void BM_MultibandCompressor (benchmark::State& state)
{
    MultibandCompressor module;
    applyStyle (module, { -41.96f, 0.08637f, 0.07445f, 3.383f, 3.129f, 8.075f, 1.0f, 0.02f,
                          -40.23f, 0.06963f, 0.15f,    3.972f, 3.262f, 4.778f, 1.0f, 0.02f,
                          -39.97f, 0.06498f, 0.3746f,  3.425f, 3.464f, 8.311f, 1.0f, 0.02f,
                          -41.89f, 0.01262f, 0.15f,    2.675f, 4.473f, 7.065f, 1.0f, 0.02f,
                          109.5f, 1199.0f, 8211.0f });

    for (int32_t band = 0; band < MultibandCompressor::numBands; ++band)
        module.setMacroValue (band, 0.5f);

    runModuleBenchmark (state, module);
}
BENCHMARK (BM_MultibandCompressor);

// The limiter with its factory "Default" style, driven 12 dB into limiting so that the gain
// computer and the ceiling stage both work on every frame.
class DrivenLimiter : public Limiter
{
public:
    bool processFrame (float* frame, int32_t numChannels) override
    {
        frame[0] *= 4.0f;
        frame[1] *= 4.0f;
        return Limiter::processFrame (frame, numChannels);
    }
};

static void BM_Limiter (benchmark::State& state)
{
    DrivenLimiter module;
    applyStyle (module, { 0.1855f, -0.1005f });
    runModuleBenchmark (state, module);
}
BENCHMARK (BM_Limiter);
