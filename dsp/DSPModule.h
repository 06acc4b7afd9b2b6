#pragma once

#include "ParameterDescriptor.h"
#include "StereoDelayLine.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

/** One frame by value: up to four channel slots, those beyond the channel count zero. */
struct Frame
{
    alignas (16) float values[4] = { 0.0f, 0.0f, 0.0f, 0.0f };
};

/** Base of every processing module of the chain.

    A module processes one frame (one sample of one or two channels) per call. Its detailed
    parameters are normalised floats described by a static descriptor table; macro controls are
    extra normalised inputs the processor pushes once per block. The base keeps the bypass flag, the
    held meter value and the compensation delay line, and implements the common parameter pattern:
    `setParameter` ignores a value equal to the stored one, stores it, and hands the real value to
    `applyParameter`, where a module recomputes whatever depends on it.

    Construction of a derived module: call `initialiseParameters` with its table and storage,
    let it apply the defaults, set its macros, then `setSampleRate (44100)`.
*/
class DSPModule
{
public:
    DSPModule();
    virtual ~DSPModule() = default;

    DSPModule (const DSPModule&) = delete;
    DSPModule& operator= (const DSPModule&) = delete;

    /** Latency this module adds to the signal, in samples. */
    virtual int32_t getLatencySamples() const { return 0; }

    /** Clears filter, detector and delay state. */
    virtual void reset() {}

    /** Prepares for a sample rate; modules ignore an unchanged rate unless their documentation says
        otherwise. */
    virtual void setSampleRate (float /*sampleRate*/) {}

    /** Processes one frame in place. Returns false, leaving the frame untouched, for three or more
        channels. */
    virtual bool processFrame (float* frame, int32_t numChannels) = 0;

    /** Copies `numChannels` values into a zeroed frame, processes it and returns it. */
    virtual Frame processFrameCopy (const float* input, int32_t numChannels);

    /** `processFrameCopy` of the first two values, as a stereo frame. */
    virtual Frame processStereoFrameCopy (Frame input);

    /** Passes a frame of one or two channels through the compensation delay line. */
    virtual void delayFrame (float* frame, int32_t numChannels);

    /** Applies only the timing and phase of this module's processing to a frame, not its effect.
        The base delays by the compensation delay when asked to and a delay is set. */
    virtual bool processCompensation (float* frame, int32_t numChannels, bool withDelay);

    /** The normalised parameter values as applied for processing (see `deferParameterChanges`);
        `outBytes` receives their size in bytes. */
    virtual const float* getParameterValues (size_t* outBytes) const;

    /** Sets every detailed parameter from an array of normalised values in table order. */
    virtual void setParameterValues (const float* values);

    virtual int32_t getNumMacros() const { return 0; }
    virtual ParameterDescriptor getMacroDescriptor (int32_t /*index*/) const { return {}; }
    /** The host-facing name of a macro control. */
    virtual const char* getMacroName (int32_t index) const { return getMacroDescriptor (index).name; }
    virtual int32_t getMacroIndexOffset() const { return macroIndexOffset; }
    virtual void setMacroIndexOffset (int32_t offset) { macroIndexOffset = offset; }
    /** Receives a macro's normalised value; modules ignore an unchanged value. */
    virtual void setMacroValue (int32_t /*index*/, float /*value*/) {}
    virtual float getMacroValue (int32_t /*index*/) const { return 0.0f; }

    /** Raises the held meter value (audio thread). */
    virtual void pushMeterValue (float value);

    /** Returns the held meter value and clears it (editor thread). */
    virtual float getAndResetMeterValue (int32_t band);

    virtual int32_t getNumParameters() const { return parameterCount; }
    virtual ParameterDescriptor getParameterDescriptor (int32_t index) const { return parameterTable[index]; }

    /** Sets a detailed parameter from a normalised value (see the class description). */
    virtual void setParameter (int32_t index, float normalised);
    /** The value last set, whether or not the processing thread has applied it yet. */
    virtual float getParameter (int32_t index) const { return requestedValues[index].load (std::memory_order_relaxed); }

    /** For a module that processes on one thread while another (state and style loads) sets its
        detailed parameters: from now on `setParameter` only records the value, and the processing
        thread applies it with `applyPendingParameters` before its next block. Applying means
        recomputing filter designs and gain-computer settings that the frame loop reads, so it must
        not happen on the other thread half-way through a frame. A module used on one thread only
        (tests, benchmarks) never calls this and applies every change at once. */
    void deferParameterChanges() noexcept { deferChanges = true; }

    /** Applies the detailed parameters set since the last call (processing thread, once per
        block); costs one relaxed load when nothing changed. */
    void applyPendingParameters() noexcept;

    /** The most detailed parameters a module may have (the multiband compressor has 35). */
    static constexpr int32_t maxParameters = 64;

    virtual void setBypassed (bool shouldBeBypassed) { bypassed = shouldBeBypassed; }
    virtual bool isBypassed() const { return bypassed; }

protected:
    /** Points the base at the module's descriptor table and value storage, then applies every
        default through `setParameter` (the stored values start at -1 so none is skipped). */
    void initialiseParameters (const ParameterDescriptor* table, int32_t count, float* storage);

    /** Called by `setParameter` with the real (unnormalised) value of a changed parameter. */
    virtual void applyParameter (int32_t /*index*/, float /*value*/) {}

    /** Sets the compensation delay to a latency in samples. */
    void setCompensationDelay (int32_t samples) noexcept { compensationDelay.setDelay (samples); }
    void clearCompensationDelay() noexcept { compensationDelay.clear(); }

    bool bypassed = false;
    int32_t macroIndexOffset = 0;
    std::atomic<float> meterValue { 0.0f };
    StereoDelayLine compensationDelay;

private:
    void applyNormalised (int32_t index, float normalised);

    const ParameterDescriptor* parameterTable = nullptr;
    int32_t parameterCount = 0;
    float* normalisedValues = nullptr;   // as applied; owned by the processing thread

    // The values set from outside: written by state and style loads on the message thread while
    // the audio thread may be processing, so single relaxed atomics like every other shared value.
    // `pendingChanges` has one bit per parameter set but not yet applied; it is published with
    // release ordering so that the processing thread that sees a bit also sees the value.
    std::atomic<float> requestedValues[maxParameters] {};
    std::atomic<uint64_t> pendingChanges { 0 };
    bool deferChanges = false;
};

/** Relaxed "raise to at least" of a meter value shared with the editor. */
inline void raiseHeldValue (std::atomic<float>& held, float value) noexcept
{
    if (value > held.load (std::memory_order_relaxed))
        held.store (value, std::memory_order_relaxed);
}
