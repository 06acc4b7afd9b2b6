#pragma once

#include "CrossoverChain.h"
#include "DSPModule.h"
#include "LinkwitzFilter.h"

/** The tonal stage of the main chain: a low shelf, two peaking bands and a high band taken from a
    Linkwitz-Riley split whose high half is scaled.

    The detailed parameters set each band's shape and its largest gain; the "BASS" and "TREBLE"
    macros (-1..1) scale those gains, so one knob moves the low end and the other the top end.
    The two channels travel as one four-lane vector {L, R, L, R} (mono fills all four lanes), so
    every filter runs once per frame for both channels.
*/
class FourBandEQ final : public DSPModule
{
public:
    FourBandEQ();

    void reset() override;
    void setSampleRate (float sampleRate) override;
    bool processFrame (float* frame, int32_t numChannels) override;
    bool processCompensation (float* frame, int32_t numChannels, bool withDelay) override;

    int32_t getNumMacros() const override { return 2; }
    ParameterDescriptor getMacroDescriptor (int32_t index) const override;
    const char* getMacroName (int32_t index) const override;
    void setMacroValue (int32_t index, float value) override;
    float getMacroValue (int32_t index) const override;

    void setBypassed (bool shouldBeBypassed) override;

protected:
    void applyParameter (int32_t index, float value) override;

private:
    void recomputeBand (int32_t band) noexcept;
    void recomputeAllBands() noexcept;
    float effectiveGainDb (int32_t band) const noexcept;

    static FloatVector4 laneFrame (const float* frame, int32_t numChannels) noexcept;
    static void writeBack (FloatVector4 v, float* frame, int32_t numChannels) noexcept;

    float sampleRate = 44100.0f;
    float gainDb[4] {};
    float q[3] { 2.0f, 2.0f, 2.0f };
    float frequency[4] { 60.0f, 120.0f, 8000.0f, 7000.0f };
    float bass = 0.0f;
    float treble = 0.0f;

    float parameterValues[11] {};
    float macroValues[2] {};

    // Low shelf, peak 1, peak 2, in transposed direct form II.
    CrossoverSection bandSections[3];

    LinkwitzFilter<FloatVector4> highSplit;
    LinkwitzFilter<FloatVector4> compensationSplit;
    float highSplitFrequency = 0.0f;
    float highGain = 1.0f;
    float splitSampleRate = 44100.0f;
};
