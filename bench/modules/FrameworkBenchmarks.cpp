#include "CrossoverChain.h"

#include <benchmark/benchmark.h>

// The crossover tree is shared by three modules; its cost per channel-frame bounds theirs.
static void BM_CrossoverChainSplit (benchmark::State& state)
{
    CrossoverChain chain;
    chain.design (180.0f, 1000.0f, 6000.0f, 48000.0f);
    float x = 0.1f;

    for (auto _ : state)
    {
        for (int n = 0; n < 48000; ++n)
        {
            benchmark::DoNotOptimize (chain.split (x));
            x = -x;
        }
    }

    state.counters["realtime_factor"] = benchmark::Counter ((double) state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK (BM_CrossoverChainSplit);
