#pragma once

#include "StereoDelayLine.h"

#include <cmath>
#include <cstdint>
#include <limits>

/** The lookahead soft-knee gain computer shared by the compressor and the limiter.

    The detector sees the signal as it arrives while the audio leaves through a delay line as long
    as the whole lookahead window, so the gain has already moved when a transient reaches the
    output. The envelope smooths the square of the gain reduction in dB (attack when the reduction
    grows, release when it shrinks); the reduction is its square root.

    Everything that needs a transcendental function of a setting (coefficients, the linear knee
    start, the makeup gain) is recomputed by the setters, so a frame costs at most one log10 and one
    exponential; quiet frames below the knee skip the log10.
*/
class CompressorCore
{
public:
    /** Release times the automatic release switches between: the short one while the net gain
        stays above `automaticReleaseSwitchDb`, the long one (twenty times longer) below it. */
    static constexpr float automaticReleaseShort = 0.013654984f;
    static constexpr float automaticReleaseLong = 0.2730997f;
    static constexpr float automaticReleaseSwitchDb = -40.0f;

    /** Allocates the lookahead buffer; `windowSeconds` is the whole lookahead window. Prepared for
        44100 Hz. */
    explicit CompressorCore (float windowSeconds);

    /** Stores the rate, recomputes the window, the delay and every time constant. */
    void setSampleRate (int32_t rate) noexcept;

    /** Sets the window length and recomputes the delay for the current rate. */
    void setWindowTime (float seconds) noexcept;

    void setThresholdDb (float decibels) noexcept;
    void setKneeDb (float decibels) noexcept;
    void setMakeupDb (float decibels) noexcept;
    void setRatio (float newRatio) noexcept;
    void setAttackTime (float seconds) noexcept;
    void setReleaseTime (float seconds) noexcept;

    /** Stores the Lookahead setting. The audio is always delayed by the whole window (that is the
        reported latency); the lookahead in samples is kept for the state only. */
    void setLookaheadTime (float seconds) noexcept;

    float getThresholdDb() const noexcept { return thresholdDb; }
    float getKneeDb() const noexcept { return kneeDb; }
    float getMakeupDb() const noexcept { return makeupDb; }
    float getRatio() const noexcept { return ratio; }
    float getAttackTime() const noexcept { return attackTime; }
    float getReleaseTime() const noexcept { return releaseTime; }
    float getLookaheadTime() const noexcept { return lookaheadTime; }
    int32_t getLookaheadSamples() const noexcept { return lookaheadSamples; }
    int32_t getMaxLookaheadSamples() const noexcept { return maxLookaheadSamples; }

    /** Frames by which the audio leaving `process` is late. */
    int32_t getDelayLength() const noexcept { return delay.getDelay(); }

    /** Zeroes the lookahead buffer (the envelope keeps its value). */
    void clearDelay() noexcept { delay.clear(); }

    /** One pole smoothing coefficient 1 - exp (-1 / (time * rate)); a time of 0 (or less, which only
        a corrupted setting can give) means no smoothing. */
    static float timeToCoefficient (float seconds, int32_t rate) noexcept;

    struct Output
    {
        float left, right, meter;
    };

    /** Runs one frame: `level` is the detector input (>= 0), (left, right) the audio. Returns the
        delayed audio with the gain applied and the meter value 1 - 10^(-reduction/20). */
    Output process (float level, bool automaticRelease, float left, float right) noexcept
    {
        delay.process (left, right);

        float envelopeTarget = 0.0f;
        bool update = true;

        if (level >= kneeStartLevel)
        {
            if (level <= std::numeric_limits<float>::max())
            {
                const float levelDb = 20.0f * std::log10 (level);

                if (levelDb >= thresholdDb + 0.5f * kneeDb)
                {
                    const float reduction = slope * (levelDb - thresholdDb);
                    envelopeTarget = reduction * reduction;
                }
                else if (levelDb >= thresholdDb - 0.5f * kneeDb)
                {
                    const float distance = levelDb - thresholdDb + 0.5f * kneeDb;
                    const float reduction = kneeScale * distance * distance;
                    envelopeTarget = reduction * reduction;
                }
            }
            else
            {
                // An infinite or NaN sample would leave the envelope at infinity or NaN for good,
                // muting everything after it; such a frame leaves the envelope where it was.
                update = false;
            }
        }

        if (update)
        {
            const float c = envelopeTarget > envelope ? attackCoeff : releaseCoeff;
            envelope = (1.0f - c) * envelope + c * envelopeTarget;
        }

        const float reductionDb = std::sqrt (envelope);
        const float reductionGain = reductionDb > 0.0f ? std::exp (-reductionDb * decibelsPerNeper) : 1.0f;

        if (automaticRelease)
        {
            const bool shortRelease = makeupDb - reductionDb > automaticReleaseSwitchDb;
            const float time = shortRelease ? automaticReleaseShort : automaticReleaseLong;

            if (time != releaseTime)
            {
                releaseTime = time;
                releaseCoeff = shortRelease ? automaticShortCoeff : automaticLongCoeff;
            }
        }

        const float gain = makeupGain * reductionGain;
        return { gain * left, gain * right, 1.0f - reductionGain };
    }

    float getEnvelope() const noexcept { return envelope; }

private:
    /** ln(10) / 20: a gain in dB times this is its natural logarithm. */
    static constexpr float decibelsPerNeper = 0.115129255f;

    void updateWindow() noexcept;
    void updateKnee() noexcept;

    StereoDelayLine delay;

    int32_t sampleRate = 44100;
    int32_t maxLookaheadSamples = 0;
    int32_t lookaheadSamples = 0;
    float maxLookaheadTime = 0.01f;
    float lookaheadTime = 0.01f;

    float makeupDb = 0.0f;
    float ratio = 2.0f;
    float thresholdDb = 0.0f;
    float kneeDb = 2.0f;
    float attackTime = 0.005f;
    float releaseTime = 0.01f;
    float attackCoeff = 1.0f;
    float releaseCoeff = 1.0f;
    float envelope = 0.0f;

    // Derived from the settings above by the setters.
    float slope = -0.5f;            // 1 / ratio - 1
    float kneeScale = 0.0f;         // slope / (2 * knee), 0 for a hard knee
    float kneeStartLevel = 0.0f;    // linear level where the knee begins; below it no reduction
    float makeupGain = 1.0f;
    float automaticShortCoeff = 1.0f;
    float automaticLongCoeff = 1.0f;
};
