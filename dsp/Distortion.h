#pragma once

#include "CrossoverChain.h"
#include "DSPModule.h"

/** A four-band saturator with dry/wet mix, on the parallel path of the chain.

    Each channel is split into four Linkwitz-Riley bands; each band, driven by its own gain and a
    common input gain, goes through an exponential soft clipper; the clipped bands are summed,
    scaled by the output gain and mixed with the dry signal, which is taken as the sum of the
    unclipped bands so that dry and wet share the crossover's phase. The "DIST" macro scales every
    gain in dB from nothing (0) to its full setting (1).
*/
class Distortion final : public DSPModule
{
public:
    Distortion();

    void reset() override;
    void setSampleRate (float sampleRate) override;
    bool processFrame (float* frame, int32_t numChannels) override;
    bool processCompensation (float* frame, int32_t numChannels, bool withDelay) override;

    int32_t getNumMacros() const override { return 1; }
    ParameterDescriptor getMacroDescriptor (int32_t index) const override;
    const char* getMacroName (int32_t index) const override;
    void setMacroValue (int32_t index, float value) override;
    float getMacroValue (int32_t /*index*/) const override { return amount; }

    /** The soft clipper: 1 - e^-x above zero, e^x - 1 otherwise; odd, slope 1 at 0, bounded by +-1. */
    static float saturate (float x) noexcept { return x > 0.0f ? 1.0f - std::exp (-x) : std::exp (x) - 1.0f; }

protected:
    void applyParameter (int32_t index, float value) override;

private:
    void designCrossovers() noexcept;
    void updateGains() noexcept;
    float scaledGain (float decibels) const noexcept;
    float processChannel (FloatVector4 bands) const noexcept;

    StereoCrossoverChain mainChains;
    StereoCrossoverChain compensationChains;

    float inputGainDb = 0.0f;
    float outputGainDb = 0.0f;
    float bandGainDb[4] {};
    float mix = 1.0f;
    float crossover1 = 100.0f;
    float crossover2 = 1000.0f;
    float crossover3 = 7000.0f;
    float amount = 0.0f;
    float sampleRate = 0.0f;

    // The linear gains follow only the amount and the gain parameters, so they are derived when
    // one of those changes rather than on every frame.
    float inputGain = 1.0f;
    float outputGain = 1.0f;
    FloatVector4 bandGains = FloatVector4::broadcast (1.0f);

    float parameterValues[10] {};
};
