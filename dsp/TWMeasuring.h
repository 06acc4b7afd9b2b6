#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include <ebur128.h>

/** Read side of the level and loudness measurements, as the editor's meters use it.

    The getters implement the meters' hold and fall-back: every audio block re-arms a hold of four
    reads, after which the momentary loudness falls by 1 LU and the RMS display by 0.9x per read.
*/
class TWMeasuringGetter
{
public:
    virtual ~TWMeasuringGetter() = default;

    virtual double getShortTermLoudness() = 0;
    virtual double getMomentaryLoudness() = 0;
    virtual double getIntegratedLoudness() = 0;
    virtual double getRmsDb (int channel) = 0;
    virtual double getPeakDb (int channel) = 0;
    virtual double getPeak() = 0;
    virtual bool isPeakResetDone() = 0;
    virtual void resetPeaks() = 0;
    virtual bool isLoudnessEnabled() = 0;
    virtual bool isLevelEnabled() = 0;
};

/** Per-channel sample peak and RMS, and EBU R 128 loudness (momentary, short-term with a 3 s
    window, gated integrated) of the processor's output.

    The audio thread feeds it with `addBlock`; the editor reads it through `TWMeasuringGetter`.
    Every value the two threads share is a single relaxed atomic. The loudness library's state
    belongs to the audio thread alone: the read-outs, the integrated value included, are computed
    there every 100 ms (when a new gating block can have completed) and published as numbers, so
    the editor never touches the library while audio runs. The library runs in histogram mode so
    that adding audio never allocates.
*/
class TWMeasuring : public TWMeasuringGetter
{
public:
    TWMeasuring();
    ~TWMeasuring() override;

    /** Re-initialises the RMS coefficient and both loudness states for a new rate (allocates; call
        from preparation, not per block). */
    void updateSampleRate (double rate);

    /** Resets the short-term and momentary read-outs to -200 LUFS. */
    void resetLoudnessReadouts() noexcept;

    /** Measures one block of one or two channels (audio thread). */
    void addBlock (const float* const* channels, int numChannels, int numSamples) noexcept;

    double getShortTermLoudness() override;
    double getMomentaryLoudness() override;
    double getIntegratedLoudness() override;
    double getRmsDb (int channel) override;
    double getPeakDb (int channel) override;
    double getPeak() override;
    bool isPeakResetDone() override;
    void resetPeaks() override;
    bool isLoudnessEnabled() override { return loudnessEnabled.load (std::memory_order_relaxed); }
    bool isLevelEnabled() override { return levelEnabled.load (std::memory_order_relaxed); }

    void setLoudnessEnabled (bool enabled) noexcept { loudnessEnabled.store (enabled, std::memory_order_relaxed); }
    void setLevelEnabled (bool enabled) noexcept { levelEnabled.store (enabled, std::memory_order_relaxed); }

    double getSampleRate() const noexcept { return sampleRate; }

private:
    struct LoudnessState
    {
        ebur128_state* state = nullptr;
        int64_t framesMeasured = 0;
    };

    void measureLoudness (const float* const* channels, int numChannels, int numSamples) noexcept;
    void publishLoudness (LoudnessState& loudness) noexcept;
    void createLoudnessStates();
    void destroyLoudnessStates() noexcept;

    static constexpr int interleaveFrames = 1024;

    std::atomic<bool> loudnessEnabled { true };
    std::atomic<bool> levelEnabled { true };
    std::unique_ptr<float[]> interleaveBuffer;
    double rmsCoeff = 0.0;
    double sampleRate = 44100.0;
    double rmsTime = 0.2;
    std::atomic<bool> peakResetPending[2];
    std::atomic<double> peak[2];
    double rmsState[2] = { 0.0, 0.0 };
    std::atomic<double> rmsShown[2];
    std::atomic<double> shortTermLufs { -200.0 };
    std::atomic<double> momentaryLufs { -200.0 };
    std::atomic<double> integratedLufs[2];
    LoudnessState monoMeter, stereoMeter;
    std::atomic<int32_t> channelCount { 2 };
    std::atomic<int32_t> rmsHold { 0 };
    std::atomic<int32_t> loudnessHold { 0 };
    int64_t framesSinceReadout = 0;
};
