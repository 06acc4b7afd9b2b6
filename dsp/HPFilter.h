#pragma once

#include "DSPModule.h"
#include "LinkwitzFilter.h"

/** The first stage of the main chain: a fourth-order Linkwitz-Riley high-pass (two cascaded
    Butterworth high-pass sections) in double precision, 10..80 Hz.

    A new cutoff glides there linearly over 256 samples so that moving the control does not click.
    `processCompensation` runs the matching all-pass (low half plus high half of the same
    Linkwitz-Riley pair), which has the high-pass path's phase and unity magnitude, for signals
    that must stay aligned with the filtered one without being filtered.
*/
class HPFilter final : public DSPModule
{
public:
    HPFilter();

    void reset() override;
    void setSampleRate (float sampleRate) override;
    bool processFrame (float* frame, int32_t numChannels) override;
    bool processCompensation (float* frame, int32_t numChannels, bool withDelay) override;

    /** The cutoff the filters are designed for at the moment (the glide position). */
    float getDesignedCutoff() const noexcept { return designedCutoff; }
    float getTargetCutoff() const noexcept { return targetCutoff; }

    static constexpr int32_t glideLength = 256;

protected:
    void applyParameter (int32_t index, float value) override;

private:
    void designFilters (float cutoff) noexcept;

    LinkwitzFilter<double> mainFilters[2];
    LinkwitzFilter<double> compensationFilters[2];

    float designedCutoff = 0.0f;
    float currentCutoff = 35.0f;
    float targetCutoff = 35.0f;
    float cutoffIncrement = 0.0f;
    int32_t rampRemaining = 0;
    int32_t rampLength = glideLength;
    float sampleRate = 0.0f;

    float parameterValues[1] {};
};
