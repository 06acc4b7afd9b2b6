// Detailed parameters set from another thread than the processing one: once a module defers its
// parameter changes, a set value is reported at once but reaches the processing (here the
// high-pass filter's cutoff target) only when the processing thread applies it.

#include "HPFilter.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
float cutoffNormalised (float hertz) { return (hertz - 10.0f) / 70.0f; } // Cutoff spans 10..80 Hz

struct DeferredCase
{
    const char* what;
    std::vector<float> setHertz;   // values set before the processing thread applies them
    float appliedHertz;            // the cutoff target afterwards
};

const DeferredCase deferredCases[] = {
    { "one change", { 70.0f }, 70.0f },
    { "the latest of several changes", { 70.0f, 20.0f, 55.0f }, 55.0f },
    { "a change taken back before it was applied", { 70.0f, 30.0f }, 30.0f },
};
} // namespace

TEST (DeferredParameters, ReportedAtOnceAppliedByTheProcessingThread)
{
    for (const auto& testCase : deferredCases)
    {
        SCOPED_TRACE (testCase.what);
        HPFilter filter;
        filter.deferParameterChanges();
        const float before = filter.getTargetCutoff();
        ASSERT_FLOAT_EQ (before, 30.0f);

        for (float hertz : testCase.setHertz)
            filter.setParameter (0, cutoffNormalised (hertz));

        EXPECT_FLOAT_EQ (filter.getParameter (0), cutoffNormalised (testCase.setHertz.back()));
        EXPECT_FLOAT_EQ (filter.getTargetCutoff(), before);

        filter.applyPendingParameters();
        EXPECT_NEAR (filter.getTargetCutoff(), testCase.appliedHertz, 1e-4f);

        // Applied once: nothing is pending any more.
        filter.setParameter (0, cutoffNormalised (40.0f));
        filter.applyPendingParameters();
        filter.applyPendingParameters();
        EXPECT_NEAR (filter.getTargetCutoff(), 40.0f, 1e-4f);
    }
}

TEST (DeferredParameters, WithoutDeferringChangesApplyAtOnce)
{
    HPFilter filter;
    filter.setParameter (0, cutoffNormalised (70.0f));
    EXPECT_NEAR (filter.getTargetCutoff(), 70.0f, 1e-4f);
    EXPECT_FLOAT_EQ (filter.getParameter (0), cutoffNormalised (70.0f));
}
