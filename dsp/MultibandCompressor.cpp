#include "MultibandCompressor.h"

#include "CompressorCore.h"
#include "DynamicsVectorMath.h"

#include <algorithm>

namespace
{
// One band's eight parameters; the names are literals so the table can hand out static strings.
#define VALMORA_BAND_PARAMETERS(band, prefix)                                                      \
    { 8 * (band) + 0, 0, -48.0f, 18.0f, 0.0f, prefix " Threshold", "dB", "", nullptr },            \
    { 8 * (band) + 1, 0, 0.001f, 0.2f, 0.05f, prefix " Attack", "s", "", nullptr },                \
    { 8 * (band) + 2, 0, 0.001f, 0.5f, 0.15f, prefix " Release", "s", "", nullptr },               \
    { 8 * (band) + 3, 0, 1.0f, 16.0f, 2.0f, prefix " Ratio", "", "", nullptr },                    \
    { 8 * (band) + 4, 0, 0.0f, 18.0f, 2.0f, prefix " Knee", "dB", "", nullptr },                   \
    { 8 * (band) + 5, 0, 0.0f, 24.0f, 0.0f, prefix " Makeup", "dB", "", nullptr },                 \
    { 8 * (band) + 6, 0, 0.0f, 1.0f, 0.0f, prefix " Autorelease", "%", "", nullptr },              \
    { 8 * (band) + 7, 0, 0.0f, 0.02f, 0.0f, prefix " Lookahead", "s", "", nullptr }

const ParameterDescriptor multibandParameters[MultibandCompressor::numParameters] = {
    VALMORA_BAND_PARAMETERS (0, "B1"),
    VALMORA_BAND_PARAMETERS (1, "B2"),
    VALMORA_BAND_PARAMETERS (2, "B3"),
    VALMORA_BAND_PARAMETERS (3, "B4"),
    { 32, 0, 20.0f, 10000.0f, 180.0f, "Crossover 1", "Hz", "", nullptr },
    { 33, 0, 20.0f, 10000.0f, 1000.0f, "Crossover 2", "Hz", "", nullptr },
    { 34, 0, 20.0f, 10000.0f, 6000.0f, "Crossover 3", "Hz", "", nullptr },
};

#undef VALMORA_BAND_PARAMETERS

const ParameterDescriptor multibandMacros[MultibandCompressor::numBands] = {
    { 0, 0, 0.0f, 1.0f, 0.0f, "LOW", "%", "Low band compression amount.", nullptr },
    { 1, 0, 0.0f, 1.0f, 0.0f, "LOW MID", "%", "Low mid band compression amount.", nullptr },
    { 2, 0, 0.0f, 1.0f, 0.0f, "HIGH MID", "%", "High mid band compression amount.", nullptr },
    { 3, 0, 0.0f, 1.0f, 0.0f, "HIGH", "%", "High band compression amount.", nullptr },
};

const char* const multibandMacroNames[MultibandCompressor::numBands] = {
    "MB Low Amount", "MB Low Mid Amount", "MB High Mid Amount", "MB High Amount"
};

/** Band levels at or below this are silence: no log, no gain change. */
constexpr float silentLevel = 1.0e-5f;

/** The threshold used while bypassed: far above anything the chain can produce. */
constexpr float bypassedThresholdDb = 144.0f;

FloatVector4 toVector (const float lanes[4]) noexcept
{
    return FloatVector4::load (lanes);
}
} // namespace

MultibandCompressor::MultibandCompressor()
    : lookahead (new FloatVector4[2 * lookaheadCapacity])
{
    for (int32_t band = 0; band < numBands; ++band)
    {
        bandEnabled[band].store (1.0f, std::memory_order_relaxed);
        bandMeter[band].store (0.0f, std::memory_order_relaxed);
        bandGainRamps[band] = LinearRamp();
    }

    updateTimeConstants();
    releaseCoeff = parameterReleaseCoeff;
    updateGainComputer();

    initialiseParameters (multibandParameters, numParameters, parameterValues);

    for (int32_t band = 0; band < numBands; ++band)
        setMacroValue (band, 0.0f);

    setSampleRate (44100.0f);
}

ParameterDescriptor MultibandCompressor::getMacroDescriptor (int32_t index) const
{
    return multibandMacros[index];
}

const char* MultibandCompressor::getMacroName (int32_t index) const
{
    return multibandMacroNames[index];
}

void MultibandCompressor::reset()
{
    for (auto& meter : bandMeter)
        meter.store (0.0f, std::memory_order_relaxed);

    std::fill (lookahead.get(), lookahead.get() + 2 * lookaheadCapacity, FloatVector4());
    clearCompensationDelay();

    mainChains.reset();
    compensationChains.reset();
}

void MultibandCompressor::setSampleRate (float rate)
{
    if (rate == sampleRate)
        return;

    sampleRate = rate;
    integerSampleRate = (int32_t) rate;

    // Single-precision product on purpose: 0.01f * 44100.0f truncates to 441, as reported before.
    // The window stops one short of the capacity, where the read position would meet the write
    // position and the delay would collapse to nothing.
    windowSamples = std::clamp ((int32_t) (windowSeconds * rate), 0, lookaheadCapacity - 1);
    lookaheadRead = lookaheadWrite - windowSamples;

    if (lookaheadRead < 0)
        lookaheadRead += lookaheadCapacity;

    updateTimeConstants();
    releaseCoeff = parameterReleaseCoeff;
    setCompensationDelay (windowSamples);
    reset();
    designCrossovers();
}

void MultibandCompressor::designCrossovers() noexcept
{
    // During construction the crossovers are set before the first rate; setSampleRate designs them.
    if (! (sampleRate > 0.0f))
        return;

    mainChains.design (crossover1, crossover2, crossover3, sampleRate);
    compensationChains.design (crossover1, crossover2, crossover3, sampleRate);
}

void MultibandCompressor::updateTimeConstants() noexcept
{
    float attack[numBands], release[numBands];

    for (int32_t band = 0; band < numBands; ++band)
    {
        attack[band] = CompressorCore::timeToCoefficient (attackTime[band], integerSampleRate);
        release[band] = CompressorCore::timeToCoefficient (releaseParam[band], integerSampleRate);
    }

    attackCoeff = toVector (attack);
    parameterReleaseCoeff = toVector (release);
    automaticShortCoeff = CompressorCore::timeToCoefficient (CompressorCore::automaticReleaseShort, integerSampleRate);
    automaticLongCoeff = CompressorCore::timeToCoefficient (CompressorCore::automaticReleaseLong, integerSampleRate);
}

void MultibandCompressor::updateBand (int32_t band) noexcept
{
    thresholdDb[band] = bypassed ? bypassedThresholdDb : thresholdParam[band] * amount[band];
    makeupDb[band] = bypassed ? 0.0f : makeupParam[band] * amount[band];
    kneeDb[band] = kneeParam[band] * amount[band];
    halfKnee[band] = 0.5f * kneeDb[band];
    twiceKnee[band] = 2.0f * kneeDb[band];
}

void MultibandCompressor::updateGainComputer() noexcept
{
    float kneeLow[numBands], kneeHigh[numBands], kneeScale[numBands];

    for (int32_t band = 0; band < numBands; ++band)
    {
        kneeLow[band] = thresholdDb[band] - halfKnee[band];
        kneeHigh[band] = thresholdDb[band] + halfKnee[band];
        // A hard knee never takes the knee branch; 0 keeps the unused lane finite.
        kneeScale[band] = twiceKnee[band] > 0.0f ? slope[band] / twiceKnee[band] : 0.0f;
    }

    thresholdVector = toVector (thresholdDb);
    kneeLowVector = toVector (kneeLow);
    kneeHighVector = toVector (kneeHigh);
    kneeScaleVector = toVector (kneeScale);
    slopeVector = toVector (slope);
    makeupVector = toVector (makeupDb);
    autoReleaseVector = toVector (autoReleaseFlags);
}

void MultibandCompressor::setMacroValue (int32_t index, float value)
{
    if (value == macroValues[index])
        return;

    macroValues[index] = value;
    amount[index] = value;
    updateBand (index);
    updateGainComputer();
}

void MultibandCompressor::setBypassed (bool shouldBeBypassed)
{
    if (shouldBeBypassed == bypassed)
        return;

    bypassed = shouldBeBypassed;

    for (int32_t band = 0; band < numBands; ++band)
    {
        thresholdDb[band] = bypassed ? bypassedThresholdDb : thresholdParam[band] * amount[band];
        makeupDb[band] = bypassed ? 0.0f : makeupParam[band] * amount[band];
    }

    updateGainComputer();
}

void MultibandCompressor::applyParameter (int32_t index, float value)
{
    if (index >= crossover1Index)
    {
        if (index == crossover1Index)
            crossover1 = value;
        else if (index == crossover2Index)
            crossover2 = value;
        else
            crossover3 = value;

        designCrossovers();
        return;
    }

    const int32_t band = index / parametersPerBand;

    switch (index % parametersPerBand)
    {
        case thresholdOffset: thresholdParam[band] = value; updateBand (band); break;
        case kneeOffset:      kneeParam[band] = value; updateBand (band); break;
        case makeupOffset:    makeupParam[band] = value; updateBand (band); break;
        case ratioOffset:
            ratio[band] = value;
            for (int32_t lane = 0; lane < numBands; ++lane)
                slope[lane] = 1.0f / ratio[lane] - 1.0f;
            break;
        case attackOffset:
        {
            attackTime[band] = value;
            float lanes[numBands];
            attackCoeff.store (lanes);
            lanes[band] = CompressorCore::timeToCoefficient (value, integerSampleRate);
            attackCoeff = toVector (lanes);
            return;
        }
        case releaseOffset:
        {
            releaseParam[band] = value;
            const float coefficient = CompressorCore::timeToCoefficient (value, integerSampleRate);
            float lanes[numBands];
            parameterReleaseCoeff.store (lanes);
            lanes[band] = coefficient;
            parameterReleaseCoeff = toVector (lanes);
            releaseCoeff.store (lanes);
            lanes[band] = coefficient;
            releaseCoeff = toVector (lanes);
            return;
        }
        case autoreleaseOffset: autoReleaseFlags[band] = value > 0.5f ? 1.0f : 0.0f; break;
        case lookaheadOffset:   lookaheadTime[band] = value; return;
        default: return;
    }

    updateGainComputer();
}

bool MultibandCompressor::processFrame (float* frame, int32_t numChannels)
{
    if (numChannels > 2)
        return false;

    if (numChannels < 1)
        return true;

    const float inputLeft = frame[0];
    const float inputRight = numChannels == 2 ? frame[1] : inputLeft;

    FloatVector4 bandsLeft, bandsRight;
    mainChains.split (inputLeft, inputRight, bandsLeft, bandsRight);

    // The bands leave the lookahead line one window late; the detector works on them now.
    FloatVector4* writeSlot = lookahead.get() + 2 * lookaheadWrite;
    writeSlot[0] = bandsLeft;
    writeSlot[1] = bandsRight;
    const FloatVector4* readSlot = lookahead.get() + 2 * lookaheadRead;
    const FloatVector4 delayedLeft = readSlot[0];
    const FloatVector4 delayedRight = readSlot[1];

    if (++lookaheadWrite == lookaheadCapacity)
        lookaheadWrite = 0;

    if (++lookaheadRead == lookaheadCapacity)
        lookaheadRead = 0;

    const FloatVector4 zero;
    const FloatVector4 one = FloatVector4::broadcast (1.0f);
    const FloatVector4 silence = FloatVector4::broadcast (silentLevel);
    const FloatVector4 level = (FloatVector4::abs (bandsLeft) + FloatVector4::abs (bandsRight)) * FloatVector4::broadcast (0.5f);

    FloatVector4 targetSquared;

    if (FloatVector4::anyGreater (level, silence))
    {
        const FloatVector4 levelDb = dynamics_math::gainToDecibels (FloatVector4::max (level, silence));
        const FloatVector4 aboveKnee = slopeVector * (levelDb - thresholdVector);
        const FloatVector4 kneeDistance = levelDb - kneeLowVector;
        const FloatVector4 inKnee = kneeScaleVector * kneeDistance * kneeDistance;

        FloatVector4 reduction = FloatVector4::selectGreater (kneeHighVector, levelDb, inKnee, aboveKnee);
        reduction = FloatVector4::selectGreater (kneeLowVector, levelDb, zero, reduction);
        reduction = FloatVector4::selectGreater (level, silence, reduction, zero);
        targetSquared = reduction * reduction;
    }

    const FloatVector4 c = FloatVector4::selectGreater (targetSquared, envelope, attackCoeff, releaseCoeff);
    envelope = targetSquared * c + (one - c) * envelope;
    const FloatVector4 reductionDb = FloatVector4::sqrt (envelope);
    const FloatVector4 netGainDb = makeupVector - reductionDb;

    // The meters hold the largest reduction in dB; the reader turns it into 1 - 10^(-dB/20),
    // which grows with the reduction, so the frame loop needs no exponential for them.
    alignas (16) float reductionLanes[numBands];
    reductionDb.store (reductionLanes);

    for (int32_t band = 0; band < numBands; ++band)
        raiseHeldValue (bandMeter[band], reductionLanes[band]);

    // The release for the next frame: the automatic choice where a band asks for it.
    const FloatVector4 automatic = FloatVector4::selectGreater (netGainDb, FloatVector4::broadcast (CompressorCore::automaticReleaseSwitchDb),
                                                                FloatVector4::broadcast (automaticShortCoeff),
                                                                FloatVector4::broadcast (automaticLongCoeff));
    releaseCoeff = FloatVector4::selectGreater (autoReleaseVector, FloatVector4::broadcast (0.5f), automatic, parameterReleaseCoeff);

    const FloatVector4 rampDb (bandGainRamps[0].next(), bandGainRamps[1].next(), bandGainRamps[2].next(), bandGainRamps[3].next());

    FloatVector4 gain;

    if (bypassed)
    {
        gain = dynamics_math::decibelsToGain (netGainDb);
    }
    else
    {
        // Compressor gain and band gain share one exponential.
        const FloatVector4 enabled (bandEnabled[0].load (std::memory_order_relaxed), bandEnabled[1].load (std::memory_order_relaxed),
                                    bandEnabled[2].load (std::memory_order_relaxed), bandEnabled[3].load (std::memory_order_relaxed));
        gain = dynamics_math::decibelsToGain (netGainDb + rampDb) * enabled;
    }

    frame[0] = (delayedLeft * gain).sum();

    if (numChannels == 2)
        frame[1] = (delayedRight * gain).sum();

    return true;
}

bool MultibandCompressor::processCompensation (float* frame, int32_t numChannels, bool withDelay)
{
    if (numChannels > 2)
        return false;

    if (numChannels < 1)
        return true;

    if (withDelay)
        delayFrame (frame, numChannels);

    if (numChannels == 2)
    {
        FloatVector4 left, right;
        compensationChains.split (frame[0], frame[1], left, right);
        frame[0] = left.sum();
        frame[1] = right.sum();
    }
    else
    {
        frame[0] = compensationChains.splitFirst (frame[0]).sum();
    }

    return true;
}

float MultibandCompressor::getAndResetMeterValue (int32_t band)
{
    const float reductionDb = bandMeter[band].exchange (0.0f, std::memory_order_relaxed);
    return (FloatVector4::broadcast (1.0f) - dynamics_math::decibelsToGain (FloatVector4() - FloatVector4::broadcast (reductionDb))).get (0);
}
