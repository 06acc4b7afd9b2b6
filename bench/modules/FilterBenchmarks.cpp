#include "ModuleBenchmark.h"

#include "Distortion.h"
#include "FourBandEQ.h"
#include "HPFilter.h"
#include "MSStereo.h"

#include <initializer_list>

// Each module runs with its factory default style (the high-pass with its default "35 Hz" style)
// and its macros half way, which is how the chain runs them after loading the plug-in.

namespace
{
void setStyle (DSPModule& module, std::initializer_list<float> realValues)
{
    int index = 0;
    for (float value : realValues)
    {
        const auto d = module.getParameterDescriptor (index);
        module.setParameter (index++, (value - d.minimum) / (d.maximum - d.minimum));
    }
}

void setMacrosHalfWay (DSPModule& module)
{
    for (int i = 0; i < module.getNumMacros(); ++i)
        module.setMacroValue (i, 0.5f);
}
} // namespace

static void BM_HPFilter (benchmark::State& state)
{
    HPFilter module;
    setStyle (module, { 35.01f });
    runModuleBenchmark (state, module);
}
BENCHMARK (BM_HPFilter);

static void BM_FourBandEQ (benchmark::State& state)
{
    FourBandEQ module;
    setStyle (module, { 72.85f, 2.000f, 6.487f, 130.8f, 3.905f, -4.541f, 7494.0f, 3.207f, -5.189f, 7827.0f, 7.265f });
    setMacrosHalfWay (module);
    runModuleBenchmark (state, module);
}
BENCHMARK (BM_FourBandEQ);

static void BM_Distortion (benchmark::State& state)
{
    Distortion module;
    setStyle (module, { 217.7f, 1169.0f, 7706.0f, 1.0f, 8.898f, 8.083f, 19.29f, 4.483f, 12.57f, -2.785f });
    setMacrosHalfWay (module);
    runModuleBenchmark (state, module);
}
BENCHMARK (BM_Distortion);

static void BM_MSStereo (benchmark::State& state)
{
    MSStereo module;
    setStyle (module, { 3.898f, 5729.0f, 5.715f, 138.0f, -18.46f });
    setMacrosHalfWay (module);
    runModuleBenchmark (state, module);
}
BENCHMARK (BM_MSStereo);
