// Where a sub-block stands among the pattern steps.
#include "engine/PatternClock.h"

#include <gtest/gtest.h>

#include <limits>

using namespace engine;

TEST(PatternClock, StepsPhasesAndCrossings)
{
    struct Case {
        const char *what;
        double position, length, beats;
        int64_t step;
        double phase, reach;
        bool crossed;
    } cases[] = {
        {"inside a step", 1.1, 0.5, 0.1, 2, 0.4, 0.4, false},
        {"ending on a boundary", 1.4, 0.5, 0.1, 3, 0.0, 1.0, true},
        {"crossing a boundary", 1.45, 0.5, 0.1, 3, 0.1, 1.1, true},
        {"starting on a boundary", 1.5, 0.5, 0.1, 3, 0.2, 0.2, false},
        {"before the song start, floored", -0.3, 0.25, 0.0, -2, 0.8, 0.8, false},
        {"crossing into step -1", -0.26, 0.25, 0.02, -1, 0.04, 1.04, true},
        {"crossing the song start", -0.01, 0.25, 0.02, 0, 0.04, 1.04, true},
        {"a hair before a boundary counts as on it", 0.75 - 1e-12, 0.25, 0.001, 3, 0.004, 0.004, false},
        {"a position that is not finite counts as 0", std::numeric_limits<double>::quiet_NaN(), 0.25, 0.1, 0, 0.4,
         0.4, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const StepClock clock = stepClock(c.position, c.length, c.beats);
        EXPECT_EQ(clock.step, c.step);
        EXPECT_NEAR(clock.phase, c.phase, 1e-9);
        EXPECT_NEAR(clock.reach, c.reach, 1e-9);
        EXPECT_EQ(clock.crossed, c.crossed);
    }
}

TEST(PatternClock, StepNumbersWrapIntoThePattern)
{
    EXPECT_EQ(wrapStep(-1, 4), 3);
    EXPECT_EQ(wrapStep(-8, 4), 0);
    EXPECT_EQ(wrapStep(9, 4), 1);
    EXPECT_EQ(wrapStep(5, 0), 0);
    EXPECT_EQ(patternStep(-0.3, 0.25, 10), 8);
    EXPECT_EQ(patternStep(2.6, 0.25, 10), 0);
}

TEST(PatternClock, StepLengthsAreHeldToTheirTables)
{
    EXPECT_DOUBLE_EQ(sequencerStepLength(2, false), 1.0);
    EXPECT_DOUBLE_EQ(sequencerStepLength(2, true), 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(sequencerStepLength(99, true), 1.0 / 48.0);
    EXPECT_DOUBLE_EQ(sequencerStepLength(-3, false), 4.0);
    EXPECT_DOUBLE_EQ(arpeggiatorStepLength(0), 6.0);
    EXPECT_DOUBLE_EQ(arpeggiatorStepLength(5), 0.1875);
    EXPECT_DOUBLE_EQ(arpeggiatorStepLength(11), 0.125);
    EXPECT_DOUBLE_EQ(arpeggiatorStepLength(17), 1.0 / 12.0);
    EXPECT_DOUBLE_EQ(arpeggiatorStepLength(40), 1.0 / 12.0);
    EXPECT_DOUBLE_EQ(subBlockBeats(16, 120.0, 48000.0), 1.0 / 1500.0);
}
