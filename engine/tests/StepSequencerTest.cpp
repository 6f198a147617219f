// The step sequencer's timing and lanes, driven sub-block by sub-block as the block render does.
#include "engine/StepSequencer.h"
#include "engine/tests/PatternTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace step_sequencer_test {

using namespace engine;
using namespace patterntest;

namespace {

constexpr int32_t kQuarterStepRate = 4; // a step of 0.25 beats
constexpr double kStep = 0.25;

struct SequencerFixture : testing::Test {
    std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
    RecordingVoices voices;

    ChannelState &channel() { return state->target.channels[0]; }
    ChannelPlayState &play() { return state->play[0]; }

    void SetUp() override
    {
        clearEngineState(*state);
        ChannelState &c = channel();
        c.on = 1;
        c.seqOn = 1;
        c.seqRate = kQuarterStepRate;
        c.seqLength = 4;
        c.seqRootPitch = 128;
        c.voiceLimit = 8;
        for (SequencerLane &lane : c.lanes) {
            lane.on = 0;
            lane.base = 60;
            lane.lastKey = -1;
            lane.noteId = -1;
            for (SequencerStep &s : lane.steps)
                s = SequencerStep{52, 0.0f};
        }
        play().seqCurrentStep = -1;
        play().seqLastStep = -1;
        hold({{60, 127}});
    }

    // Keys held on the channel in the order pressed, as noteOn captures them.
    void hold(std::vector<SequencerHeldKey> keys)
    {
        ChannelPlayState &p = play();
        p.seqHeldCount = static_cast<int32_t>(keys.size());
        for (size_t i = 0; i < keys.size(); ++i) {
            p.seqHeldKeys[i] = keys[i];
            p.heldKeys[i] = keys[i].key;
        }
        p.heldKeyCount = p.seqHeldCount;
        p.seqOrderValid = 0;
        if (!keys.empty()) {
            p.seqLastKey = keys.back().key;
            p.seqLastVelocity = keys.back().velocity;
        }
    }

    void lane(int l, int base, std::vector<int32_t> codes, float velocity = 1.0f)
    {
        SequencerLane &ln = channel().lanes[l];
        ln.on = 1;
        ln.base = base;
        for (size_t s = 0; s < codes.size(); ++s)
            ln.steps[s] = SequencerStep{codes[s], velocity};
    }

    std::vector<SequencerTick> fired;
    double run(double from, double beats, int32_t blockSize = 512,
               const std::function<double(double)> &reportedStart = nullptr)
    {
        return drive(from, beats, blockSize, voices,
                    [&](const PatternTime &t) {
                        const SequencerTick r = tickSequencer(channel(), play(), t, voices);
                        if (r.fired)
                            fired.push_back(r);
                    },
                    reportedStart);
    }
};

} // namespace

// Every step fires exactly once, in the sub-block that reaches its boundary, however many
// sub-blocks the step spans; a poly channel ends a lane's note once the next one started.
TEST_F(SequencerFixture, EachStepFiresOnceAtItsBoundary)
{
    lane(0, 60, {0, 2, 4, 5});
    run(0.0, 8 * kStep - kSubBlockBeats);
    EXPECT_EQ(voices.startedKeys(), (std::vector<int32_t>{60, 62, 64, 65, 60, 62, 64, 65}));
    ASSERT_EQ(fired.size(), 8u);
    const std::vector<VoiceCall> starts = voices.of(VoiceCall::Start);
    for (size_t k = 0; k < starts.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(fired[k].shownStep, static_cast<int32_t>(k % 4));
        EXPECT_TRUE(startsOnTime(starts[k].at, k * kStep)) << starts[k].at;
    }
    const std::vector<std::string> expected = {"start 60", "start 62", "release 100", "start 64", "release 101"};
    const std::vector<std::string> script = voices.script();
    EXPECT_EQ(std::vector<std::string>(script.begin(), script.begin() + 5), expected);
}

// A host counts its own position: a block may start a rounding error before the boundary the
// previous block's last sub-block already reached. The step must not play twice.
TEST_F(SequencerFixture, BlockStartReportedJustBeforeAReachedBoundaryDoesNotReplayTheStep)
{
    lane(0, 60, {0, 2, 4, 5});
    // Every 8th block of 512 samples starts on a step boundary.
    run(0.0, 8 * kStep - kSubBlockBeats, 512, reportedJustBeforeBoundaries);
    EXPECT_EQ(voices.startedKeys(), (std::vector<int32_t>{60, 62, 64, 65, 60, 62, 64, 65}));
}

// Swing holds back the odd steps by up to two thirds of a step; even steps stay on time.
TEST_F(SequencerFixture, SwingDelaysOddStepsByUpToTwoThirdsOfAStep)
{
    for (float swing : {0.0f, 0.5f, 1.0f}) {
        SCOPED_TRACE(swing);
        SetUp();
        lane(0, 60, {0, 2, 4, 5});
        channel().seqSwing = swing;
        voices = RecordingVoices{};
        run(0.0, 4 * kStep - kSubBlockBeats);
        const std::vector<VoiceCall> starts = voices.of(VoiceCall::Start);
        ASSERT_EQ(starts.size(), 4u);
        for (int k = 0; k < 4; ++k) {
            const double onset = k * kStep + ((k & 1) ? swing * (2.0 / 3.0) * kStep : 0.0);
            EXPECT_TRUE(startsOnTime(starts[k].at, onset)) << "step " << k << " at " << starts[k].at;
        }
    }
}

// Before the song start the step is the floored one: -0.3 beats is step -2 of a 0.25-beat
// pattern, that is step 2 of 4, not step 3.
TEST_F(SequencerFixture, NegativeSongPositionPlaysTheFlooredStep)
{
    lane(0, 60, {0, 2, 4, 5});
    run(-0.3, kSubBlockBeats);
    EXPECT_EQ(voices.startedKeys(), std::vector<int32_t>{64});
    run(-0.25 - kSubBlockBeats / 2, kSubBlockBeats);
    EXPECT_EQ(voices.startedKeys(), (std::vector<int32_t>{64, 65}));
}

// Lanes with a held-key base follow the note order; the order of presses for order 0.
TEST_F(SequencerFixture, HeldKeyLanesFollowTheNoteOrder)
{
    struct Case {
        int32_t order;
        std::vector<int32_t> keys; // lanes based on held keys 1, 2 and 3
    } cases[] = {
        {0, {64, 60, 67}},
        {1, {60, 64, 67}},
        {2, {67, 64, 60}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.order);
        SetUp();
        hold({{64, 100}, {60, 100}, {67, 100}});
        channel().seqNoteOrder = c.order;
        lane(0, 128, {0});
        lane(1, 129, {0});
        lane(2, 130, {0});
        lane(3, 131, {0}); // a fourth held key does not exist: the lane is skipped
        voices = RecordingVoices{};
        run(0.0, kSubBlockBeats);
        EXPECT_EQ(voices.startedKeys(), c.keys);
    }
}

// With a root key, the latest key press transposes the lanes with a fixed base: a melody
// channel plays the key itself higher, a drum channel keeps the drum sound and shifts its pitch.
TEST_F(SequencerFixture, RootPitchTransposesFixedLanes)
{
    struct Case {
        int32_t mode;
        int32_t key, shift;
    } cases[] = {{0, 64, 0}, {1, 62, 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        SetUp();
        channel().mode = c.mode;
        channel().seqRootPitch = 60;
        hold({{62, 127}});
        lane(0, 60, {2});
        lane(1, 128, {2}); // relative to a held key: no transposition
        voices = RecordingVoices{};
        run(0.0, kSubBlockBeats);
        const std::vector<VoiceCall> starts = voices.of(VoiceCall::Start);
        ASSERT_EQ(starts.size(), 2u);
        EXPECT_EQ(starts[0].key, c.key);
        EXPECT_EQ(starts[0].shift, c.shift);
        EXPECT_EQ(starts[1].key, 64);
        EXPECT_EQ(starts[1].shift, 0);
    }
}

// Step codes: 49 continues with the step's level, 50 continues and ends at the next step,
// 51 and 52 end the note; the level follows the key's velocity by the velocity amount.
TEST_F(SequencerFixture, ContinuedTiedAndRestSteps)
{
    channel().seqLength = 6;
    channel().seqVelocityAmount = 1.0f;
    hold({{60, 100}});
    lane(0, 60, {0, 49, 50, 49, 7, 51}, 0.25f);
    run(0.0, 6 * kStep - kSubBlockBeats);
    // Velocity 100 x sqrt(0.25) = 50; the glides take sqrt(0.25) x the note's level 100.
    const std::vector<std::string> expected = {"start 60", "glide 100 50", "glide 100 50", "release 100",
                                               "start 67", "release 101"};
    EXPECT_EQ(voices.script(), expected);
    EXPECT_EQ(voices.of(VoiceCall::Start)[0].velocity, 50);
}

// The channel's voice limit decides how a lane's notes follow each other.
TEST_F(SequencerFixture, VoiceLimitRules)
{
    struct Case {
        const char *what;
        int32_t mode, limit;
        std::vector<std::string> script;
    } cases[] = {
        {"poly: the old note ends after the new one", 0, 4, {"start 60", "start 60", "release 100", "start 62", "release 101"}},
        {"mono legato: a repeated key is not struck again", 0, 0, {"start 60", "start 62"}},
        {"mono retrigger: the voice allocation ends the old note", 0, 1, {"start 60", "start 60", "start 62"}},
        {"drum kit with one voice: the old note ends first", 1, 1, {"start 60", "release 100", "start 60", "release 101", "start 62"}},
        {"negative limit plays nothing", 0, -1, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        channel().mode = c.mode;
        channel().voiceLimit = c.limit;
        channel().seqLength = 3;
        lane(0, 60, {0, 0, 2});
        voices = RecordingVoices{};
        run(0.0, 3 * kStep - kSubBlockBeats);
        EXPECT_EQ(voices.script(), c.script);
    }
}

// With the latch clear, releasing every key stops new steps; once the held-key list is empty
// the lanes' notes end at the next step boundary. With the latch set the pattern plays on.
TEST_F(SequencerFixture, ReleasedKeysStopTheStepsUnlessLatched)
{
    lane(0, 60, {0, 2, 4, 5});
    double at = run(0.0, kStep - kSubBlockBeats);
    ASSERT_EQ(voices.startedKeys(), std::vector<int32_t>{60});

    play().heldKeyCount = 0; // the key is up but still listed (latched)
    channel().seqLatch = 1;
    at = run(at, kStep);
    EXPECT_EQ(voices.startedKeys(), (std::vector<int32_t>{60, 62}));

    // No key down and no latch (the latch went off in a bulk load): nothing starts and the
    // lane's note ends at the step, though the keys are still listed.
    channel().seqLatch = 0;
    at = run(at, kStep);
    EXPECT_EQ(voices.startedKeys(), (std::vector<int32_t>{60, 62}));
    std::vector<VoiceCall> released = voices.of(VoiceCall::Release);
    ASSERT_EQ(released.size(), 2u);
    EXPECT_EQ(released[1].noteId, 101);
    EXPECT_NEAR(released[1].at, 2 * kStep, kSubBlockBeats);
    EXPECT_EQ(channel().lanes[0].noteId, -1);

    play().seqHeldCount = 0; // the list is empty now
    run(at, 2 * kStep);
    EXPECT_EQ(voices.startedKeys(), (std::vector<int32_t>{60, 62}));
    EXPECT_EQ(voices.of(VoiceCall::Release).size(), 2u);
}

// The sync offset that a key press sets makes the pattern start from its first step.
TEST_F(SequencerFixture, SyncOffsetStartsThePatternAtItsFirstStep)
{
    lane(0, 60, {0, 2, 4, 5});
    play().seqSyncOffset = 2; // the key went down during step 2
    run(2 * kStep, 2 * kStep - kSubBlockBeats);
    EXPECT_EQ(voices.startedKeys(), (std::vector<int32_t>{60, 62}));
    ASSERT_EQ(fired.size(), 2u);
    EXPECT_EQ(fired[0].shownStep, 0);
}

} // namespace step_sequencer_test
