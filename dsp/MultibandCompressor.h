#pragma once

#include "CrossoverChain.h"
#include "DSPModule.h"
#include "FloatVector4.h"
#include "LinearRamp.h"

#include <atomic>
#include <memory>

/** Four-band compressor: a Linkwitz-Riley crossover tree splits each channel into four bands, each
    band gets its own stereo-linked soft-knee compressor, an output gain and a mute switch, and
    the bands are summed again.

    All band-parallel state lives in four-lane vectors (lane 0 the lowest band), so the four gain
    computers cost one pass of vector arithmetic with polynomial log and exp. The four macros scale
    each band's threshold, knee and makeup like the single-band compressor's amount.

    Because the four bands of the crossover tree sum to an all-pass, the module with every amount
    at 0 and no band gain leaves material below full scale all-passed and delayed by the 10 ms
    window; `processCompensation` reproduces exactly that for paths that bypass the module.
*/
class MultibandCompressor final : public DSPModule
{
public:
    static constexpr int32_t numBands = 4;
    static constexpr int32_t parametersPerBand = 8;
    static constexpr int32_t crossover1Index = 32;
    static constexpr int32_t crossover2Index = 33;
    static constexpr int32_t crossover3Index = 34;
    static constexpr int32_t numParameters = 35;

    /** Offsets of a band's parameters within its block of eight. */
    enum BandParameter
    {
        thresholdOffset,
        attackOffset,
        releaseOffset,
        ratioOffset,
        kneeOffset,
        makeupOffset,
        autoreleaseOffset,
        lookaheadOffset
    };

    static constexpr float windowSeconds = 0.01f;

    MultibandCompressor();

    /** Per-band output gain in dB. The processor sets `length` and calls `setTarget` once per
        block; each frame advances every ramp by one step. Ignored while bypassed. */
    LinearRamp bandGainRamps[numBands];

    /** Per-band output switch written by the editor and the state restore: 1 heard, 0 muted. A
        muted band's compressor keeps running. Ignored while bypassed. */
    std::atomic<float> bandEnabled[numBands];

    int32_t getLatencySamples() const override { return windowSamples; }
    void reset() override;
    void setSampleRate (float rate) override;
    bool processFrame (float* frame, int32_t numChannels) override;
    bool processCompensation (float* frame, int32_t numChannels, bool withDelay) override;

    int32_t getNumMacros() const override { return numBands; }
    ParameterDescriptor getMacroDescriptor (int32_t index) const override;
    const char* getMacroName (int32_t index) const override;
    void setMacroValue (int32_t index, float value) override;
    float getMacroValue (int32_t index) const override { return macroValues[index]; }

    /** Returns the held gain-reduction meter of a band (0..3) and clears it. */
    float getAndResetMeterValue (int32_t band) override;

    void setBypassed (bool shouldBeBypassed) override;

protected:
    void applyParameter (int32_t index, float value) override;

private:
    void updateBand (int32_t band) noexcept;
    void updateGainComputer() noexcept;
    void updateTimeConstants() noexcept;
    void designCrossovers() noexcept;

    StereoCrossoverChain mainChains;
    StereoCrossoverChain compensationChains;

    // Band lookahead: slot i holds the left bands at 2i and the right bands at 2i + 1. Every
    // band has the same window, so one read position serves all lanes.
    static constexpr int32_t lookaheadCapacity = 10000;
    std::unique_ptr<FloatVector4[]> lookahead;
    int32_t lookaheadWrite = lookaheadCapacity - 1;
    int32_t lookaheadRead = 0;
    int32_t windowSamples = 0;

    float crossover1 = 180.0f, crossover2 = 1000.0f, crossover3 = 6000.0f;

    // Per-band settings, one value per lane.
    float autoReleaseFlags[numBands] = {};
    float maxLookaheadTime[numBands] = { windowSeconds, windowSeconds, windowSeconds, windowSeconds };
    float lookaheadTime[numBands] = { windowSeconds, windowSeconds, windowSeconds, windowSeconds };
    float releaseParam[numBands] = { 0.01f, 0.01f, 0.01f, 0.01f };
    float makeupDb[numBands] = {};
    float thresholdDb[numBands] = {};
    float kneeDb[numBands] = { 2.0f, 2.0f, 2.0f, 2.0f };
    float ratio[numBands] = { 2.0f, 2.0f, 2.0f, 2.0f };
    float slope[numBands] = { -0.5f, -0.5f, -0.5f, -0.5f };
    float halfKnee[numBands] = { 1.0f, 1.0f, 1.0f, 1.0f };
    float twiceKnee[numBands] = { 4.0f, 4.0f, 4.0f, 4.0f };
    float attackTime[numBands] = { 0.005f, 0.005f, 0.005f, 0.005f };
    float amount[numBands] = {};
    float makeupParam[numBands] = {};
    float thresholdParam[numBands] = {};
    float kneeParam[numBands] = {};

    // The same settings as vectors for the frame loop, rebuilt whenever a setting changes.
    FloatVector4 thresholdVector, kneeLowVector, kneeHighVector, slopeVector, kneeScaleVector, makeupVector;
    FloatVector4 autoReleaseVector;
    FloatVector4 attackCoeff, releaseCoeff, parameterReleaseCoeff;
    float automaticShortCoeff = 1.0f;
    float automaticLongCoeff = 1.0f;

    FloatVector4 envelope;
    std::atomic<float> bandMeter[numBands];   // largest gain reduction in dB since the last read

    int32_t integerSampleRate = 44100;
    float sampleRate = 0.0f;

    float parameterValues[numParameters];
    float macroValues[numBands] = { -1.0f, -1.0f, -1.0f, -1.0f };
};
