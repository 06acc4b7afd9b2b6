#pragma once

#include "CrossoverChain.h"
#include "DSPModule.h"

/** The stereo widener of the main chain.

    The pair becomes mid (L + R) and side (L - R); each is split into four Linkwitz-Riley bands with
    the middle split fixed at 1500 Hz and the outer ones at Low Freq and High Freq. The side signal
    is raised or lowered in the low band, the high band and overall, the mid lowered by a fixed
    fraction of the same amounts so that loudness stays steady, and the pair converted back. The
    "STEREO" macro scales all three gains in dB from nothing (0) to their full setting (1).
*/
class MSStereo final : public DSPModule
{
public:
    MSStereo();

    void reset() override;
    void setSampleRate (float sampleRate) override;
    bool processFrame (float* frame, int32_t numChannels) override;
    bool processCompensation (float* frame, int32_t numChannels, bool withDelay) override;

    int32_t getNumMacros() const override { return 1; }
    ParameterDescriptor getMacroDescriptor (int32_t index) const override;
    const char* getMacroName (int32_t index) const override;
    void setMacroValue (int32_t index, float value) override;
    float getMacroValue (int32_t /*index*/) const override { return macroValue; }

    void setBypassed (bool shouldBeBypassed) override;

    static constexpr float middleCrossover = 1500.0f;

protected:
    void applyParameter (int32_t index, float value) override;

private:
    void designCrossovers() noexcept;
    void updateGains() noexcept;

    StereoCrossoverChain midSideChains;   // mid in the first channel, side in the second
    StereoCrossoverChain compensationChains;

    float lowFrequency = 100.0f;
    float highFrequency = 9000.0f;
    float lowGainDb = 0.0f;
    float highGainDb = 0.0f;
    float sidesGainDb = 0.0f;
    float amount = 0.0f;
    float sampleRate = 0.0f;

    // The gains depend only on the amount, bypass and the gain parameters, so they are derived
    // when one of those changes. The band vectors hold 1 in the two middle lanes.
    FloatVector4 midBandGains = FloatVector4::broadcast (1.0f);
    FloatVector4 sideBandGains = FloatVector4::broadcast (1.0f);
    float midGain = 1.0f;
    float sideGain = 1.0f;

    float parameterValues[5] {};
    float macroValue = 0.0f;
};
