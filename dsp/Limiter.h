#pragma once

#include "CompressorCore.h"
#include "DSPModule.h"

#include <atomic>

/** The last stage of the chain: a 3 ms lookahead limiter followed by a per-channel ceiling.

    The lookahead stage is a compressor core with an infinite ratio and a 30 dB knee centred 2 dB
    below the ceiling, so limiting starts gently 17 dB below it and the delayed audio arrives
    already turned down. Whatever still pokes above the ceiling is pulled down to it instantly by
    the ceiling stage, which then releases with Release as its 10 %-90 % recovery time. The module
    also measures how far its input goes above full scale (the clip meter).
*/
class Limiter : public DSPModule
{
public:
    enum ParameterIndex
    {
        releaseIndex,
        thresholdIndex,
        numParameters
    };

    static constexpr float windowSeconds = 0.003f;

    Limiter();

    int32_t getLatencySamples() const override;
    void reset() override;
    void setSampleRate (float rate) override;
    bool processFrame (float* frame, int32_t numChannels) override;
    bool processCompensation (float* frame, int32_t numChannels, bool withDelay) override;

    /** Returns the held clip measure ((v^2 - 1) / 2 of the largest sample above full scale) and
        clears it; the band is ignored. */
    float getAndResetMeterValue (int32_t band) override;

    void setBypassed (bool shouldBeBypassed) override;

protected:
    void applyParameter (int32_t index, float value) override;

private:
    void updateThresholds() noexcept;
    void updateReleases() noexcept;
    float applyCeiling (float x, float& heldGainDb) const noexcept;

    CompressorCore core { windowSeconds };
    float thresholdParam = 0.0f;
    float ceilingDb = 0.0f;
    float ceilingGain = 1.0f;
    float coreThresholdDb = -2.0f;
    std::atomic<float> clipMeter { 0.0f };
    float sampleRate = 44100.0f;
    float releaseParam = 0.2f;
    float ceilingReleaseCoeff = 0.0f;
    float ceilingGainDb[2] = { 0.0f, 0.0f };
    float parameterValues[numParameters];
};
