#include "DSPModule.h"
#include "LinearRamp.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
const ParameterDescriptor testTable[] = {
    { 0, 0, 10.0f, 80.0f, 30.0f, "Cutoff", "Hz", "", nullptr },
    { 1, 0, -48.0f, 0.0f, -0.05f, "Threshold", "dB", "", nullptr },
};

/** A minimal module that records what reaches `applyParameter` and delays by its latency. */
class RecordingModule : public DSPModule
{
public:
    explicit RecordingModule (int latency)
    {
        initialiseParameters (testTable, 2, values);
        setCompensationDelay (latency);
        applyCount = 0;
    }

    bool processFrame (float*, int32_t numChannels) override { return numChannels < 3; }

    int applyCount = 0;
    float lastApplied = 0.0f;

protected:
    void applyParameter (int32_t, float value) override
    {
        ++applyCount;
        lastApplied = value;
    }

private:
    float values[2];
};
} // namespace

TEST (DSPModuleParameters, DefaultsAreAppliedAndNormalised)
{
    RecordingModule module (0);
    EXPECT_FLOAT_EQ (module.getParameter (0), (30.0f - 10.0f) / 70.0f);
    EXPECT_FLOAT_EQ (module.getParameter (1), (-0.05f + 48.0f) / 48.0f);

    size_t bytes = 0;
    EXPECT_NE (module.getParameterValues (&bytes), nullptr);
    EXPECT_EQ (bytes, 8u);
}

TEST (DSPModuleParameters, EqualValueIsIgnoredAndNewValueIsMapped)
{
    RecordingModule module (0);
    module.setParameter (0, module.getParameter (0));
    EXPECT_EQ (module.applyCount, 0);

    module.setParameter (0, 1.0f);
    EXPECT_EQ (module.applyCount, 1);
    EXPECT_FLOAT_EQ (module.lastApplied, 80.0f);

    const float both[2] = { 0.0f, 1.0f };
    module.setParameterValues (both);
    EXPECT_EQ (module.applyCount, 3);
    EXPECT_FLOAT_EQ (module.lastApplied, 0.0f);
}

TEST (DSPModuleMeter, HoldsMaximumUntilRead)
{
    RecordingModule module (0);
    EXPECT_EQ (module.getAndResetMeterValue (0), 0.0f);
    module.pushMeterValue (0.3f);
    module.pushMeterValue (0.7f);
    module.pushMeterValue (0.5f);
    EXPECT_EQ (module.getAndResetMeterValue (0), 0.7f);
    EXPECT_EQ (module.getAndResetMeterValue (0), 0.0f);
}

TEST (DSPModuleCompensation, DelaysByLatencyOnlyWhenAsked)
{
    RecordingModule module (3);
    float frame[2];

    frame[0] = 1.0f;
    frame[1] = -1.0f;
    module.processCompensation (frame, 2, false);
    EXPECT_EQ (frame[0], 1.0f) << "without delay the frame is untouched";

    for (int n = 0; n < 6; ++n)
    {
        frame[0] = (float) (n + 1);
        frame[1] = (float) -(n + 1);
        EXPECT_TRUE (module.processCompensation (frame, 2, true));
        const float expected = n >= 3 ? (float) (n - 2) : 0.0f;
        EXPECT_EQ (frame[0], expected);
        EXPECT_EQ (frame[1], -expected);
    }

    float wide[3] = { 5.0f, 6.0f, 7.0f };
    EXPECT_FALSE (module.processCompensation (wide, 3, true));
    EXPECT_EQ (wide[0], 5.0f);
}

TEST (DSPModuleCompensation, MonoFrameDuplicatesIntoTheSecondSlot)
{
    RecordingModule module (1);
    float frame[1] = { 0.5f };
    module.processCompensation (frame, 1, true);
    frame[0] = 0.25f;
    module.processCompensation (frame, 1, true);
    EXPECT_EQ (frame[0], 0.5f);
}

TEST (LinearRamp, RampsLinearlyAndIgnoresEqualTargets)
{
    LinearRamp ramp;
    ramp.initialise (0.0f);
    ramp.length = 4;
    ramp.setTarget (1.0f);
    EXPECT_FLOAT_EQ (ramp.next(), 0.25f);
    EXPECT_FLOAT_EQ (ramp.next(), 0.5f);

    ramp.setTarget (1.0f); // same target: the ramp in progress continues
    EXPECT_FLOAT_EQ (ramp.next(), 0.75f);
    EXPECT_FLOAT_EQ (ramp.next(), 1.0f);
    EXPECT_FLOAT_EQ (ramp.next(), 1.0f);
    EXPECT_EQ (ramp.remaining, 0);

    ramp.setTarget (std::nanf (""));
    EXPECT_TRUE (std::isnan (ramp.target));
}
