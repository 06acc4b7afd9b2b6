#pragma once

#include "CompressorCore.h"
#include "DSPModule.h"

/** Stereo-linked feed-forward soft-knee compressor with a fixed 10 ms lookahead.

    The "COMP" macro scales threshold, knee and makeup together: at 0 the compressor sits at
    0 dB threshold with a hard knee and no makeup (it still catches material above full scale with
    the Ratio parameter), at 1 it runs the detailed settings in full. Bypass moves the threshold out
    of reach (144 dB) and removes the makeup, so the envelope releases to unity while the latency,
    and therefore the alignment of the chain, stays the same.
*/
class Compressor final : public DSPModule
{
public:
    enum ParameterIndex
    {
        thresholdIndex,
        attackIndex,
        releaseIndex,
        ratioIndex,
        kneeIndex,
        makeupIndex,
        autoreleaseIndex,
        lookaheadIndex,
        numParameters
    };

    /** Length of the lookahead window, which is also the latency. */
    static constexpr float windowSeconds = 0.01f;

    Compressor();

    int32_t getLatencySamples() const override;
    void reset() override;
    void setSampleRate (float rate) override;
    bool processFrame (float* frame, int32_t numChannels) override;
    Frame processFrameCopy (const float* input, int32_t numChannels) override;
    Frame processStereoFrameCopy (Frame input) override;

    int32_t getNumMacros() const override { return 1; }
    ParameterDescriptor getMacroDescriptor (int32_t index) const override;
    const char* getMacroName (int32_t index) const override;
    void setMacroValue (int32_t index, float value) override;
    float getMacroValue (int32_t index) const override;

    void setBypassed (bool shouldBeBypassed) override;

protected:
    void applyParameter (int32_t index, float value) override;

private:
    /** Runs the core on one stereo frame and pushes the meter value. */
    CompressorCore::Output processStereo (float left, float right) noexcept
    {
        const float level = (std::fabs (left) + std::fabs (right)) * 0.5f;
        const CompressorCore::Output out = core.process (level, autoRelease, left, right);
        pushMeterValue (out.meter);
        return out;
    }

    void updateThresholdAndMakeup() noexcept;
    void updateKnee() noexcept;

    CompressorCore core { windowSeconds };
    bool autoRelease = false;
    float amount = 0.0f;
    float makeupParam = 0.0f;
    float thresholdParam = 0.0f;
    float kneeParam = 0.0f;
    float sampleRate = 0.0f;
    float parameterValues[numParameters];
    float macroValue = -1.0f;
};
