// The arpeggiator's playing order and its steps, driven sub-block by sub-block.
#include "engine/Arpeggiator.h"
#include "engine/tests/PatternTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

using namespace engine;
using namespace patterntest;

namespace {

std::vector<int32_t> arpeggio(std::vector<int32_t> keys, int32_t pattern, int32_t octaves)
{
    std::vector<HeldKey> held;
    for (int32_t k : keys)
        held.push_back(HeldKey{k, 100});
    std::vector<HeldKey> notes(kArpNotes);
    std::vector<int32_t> order(kArpOrderLength, -1);
    const int32_t length = buildArpeggio(held.data(), static_cast<int32_t>(held.size()), pattern, octaves,
                                         notes.data(), order.data());
    std::vector<int32_t> played;
    for (int32_t i = 0; i < length; ++i)
        played.push_back(notes[order[i]].key);
    return played;
}

} // namespace

TEST(ArpeggioOrder, PatternsOverTwoOctaves)
{
    struct Case {
        int32_t pattern;
        std::vector<int32_t> pressed;
        std::vector<int32_t> played;
    } cases[] = {
        {0, {64, 67, 60}, {60, 64, 67, 72, 76, 79}},
        {1, {64, 67, 60}, {79, 76, 72, 67, 64, 60}},
        {2, {64, 67, 60}, {60, 64, 67, 72, 76, 79, 76, 72, 67, 64}},
        {3, {64, 67, 60}, {60, 64, 67, 72, 76, 79, 79, 76, 72, 67, 64, 60}},
        {4, {64, 67, 60}, {79, 76, 72, 67, 64, 60, 64, 67, 72, 76}},
        {5, {64, 67, 60}, {79, 76, 72, 67, 64, 60, 60, 64, 67, 72, 76, 79}},
        {6, {67, 60, 64}, {67, 60, 64, 79, 72, 76}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(arpeggio(c.pressed, c.pattern, 2), c.played);
        EXPECT_EQ(arpeggioLength(c.pattern, 2, 3), static_cast<int32_t>(c.played.size()));
    }
}

TEST(ArpeggioOrder, OneKeyOverOneOctaveIsOneStepInEveryPattern)
{
    for (int32_t pattern = 0; pattern < kArpPatterns; ++pattern) {
        SCOPED_TRACE(pattern);
        EXPECT_EQ(arpeggio({62}, pattern, 1), std::vector<int32_t>{62});
        EXPECT_EQ(arpeggioLength(pattern, 1, 1), 1);
        EXPECT_EQ(arpeggioLength(pattern, 3, 0), 0);
    }
}

// 128 held keys over 6 octaves: the up-and-down patterns reach 1,536 steps, and every one of
// them has its entry: the way back ends on the lowest note.
TEST(ArpeggioOrder, LongestArpeggioHasEveryStep)
{
    std::vector<int32_t> keys;
    for (int32_t k = 127; k >= 0; --k)
        keys.push_back(k);
    const std::vector<int32_t> up = arpeggio(keys, 3, kArpOctavesMax);
    ASSERT_EQ(up.size(), static_cast<size_t>(kArpOrderLength));
    EXPECT_EQ(kArpOrderLength, 1536);
    EXPECT_EQ(up.front(), 0);
    EXPECT_EQ(up[767], 127 + 60);
    EXPECT_EQ(up[768], 127 + 60);
    EXPECT_EQ(up.back(), 0);
    EXPECT_TRUE(std::is_sorted(up.begin(), up.begin() + 768));
    EXPECT_EQ(arpeggio(keys, 4, kArpOctavesMax).size(), 1534u);
    // Settings beyond the table are held to it.
    EXPECT_EQ(arpeggioLength(5, 99, 999), kArpOrderLength);
}

namespace {

constexpr int32_t kSixteenthRate = 10; // 0.25 beats
constexpr double kStep = 0.25;

struct ArpeggiatorFixture : testing::Test {
    std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
    RecordingVoices voices;
    uint32_t seed = 0;
    int steps = 0;

    MelodyState &settings() { return state->target.channels[0].melody; }
    ChannelPlayState &play() { return state->play[0]; }

    void SetUp() override
    {
        clearEngineState(*state);
        MelodyState &m = settings();
        m.arpOn = 1;
        m.arpRate = kSixteenthRate;
        m.arpOctave = 2;
        m.arpPattern = 2;
        m.arpGateTime = 0.5f;
        hold({60, 64, 67});
        play().arpCurrentStep = -1;
        play().arpLastStep = -1;
        play().arpNoteId = -1;
    }

    void hold(std::vector<int32_t> keys)
    {
        ChannelPlayState &p = play();
        p.arpHeldCount = static_cast<int32_t>(keys.size());
        for (size_t i = 0; i < keys.size(); ++i) {
            p.arpHeldKeys[i] = HeldKey{keys[i], 90};
            p.heldKeys[i] = keys[i];
        }
        p.heldKeyCount = p.arpHeldCount;
        p.arpOrderValid = 0;
    }

    double run(double from, double beats)
    {
        return drive(from, beats, 512, voices, [&](const PatternTime &t) {
            if (tickArpeggiator(settings(), play(), t, voices, seed))
                ++steps;
        });
    }
};

} // namespace

// Keys 60, 64, 67 over two octaves up and down: ten steps, each note at its step's start,
// released halfway through it by a gate time of 0.5.
TEST_F(ArpeggiatorFixture, PlaysThePatternInTimeAndGatesEachNote)
{
    run(0.0, 10 * kStep - kSubBlockBeats);
    EXPECT_EQ(voices.startedKeys(), (std::vector<int32_t>{60, 64, 67, 72, 76, 79, 76, 72, 67, 64}));
    EXPECT_EQ(play().arpLength, 10);
    const std::vector<VoiceCall> starts = voices.of(VoiceCall::Start);
    const std::vector<VoiceCall> releases = voices.of(VoiceCall::Release);
    ASSERT_EQ(releases.size(), 10u);
    for (size_t k = 0; k < starts.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(starts[k].velocity, 90);
        EXPECT_TRUE(startsOnTime(starts[k].at, k * kStep)) << starts[k].at;
        EXPECT_EQ(releases[k].noteId, starts[k].noteId);
        EXPECT_TRUE(startsOnTime(releases[k].at, (k + 0.5) * kStep)) << releases[k].at;
    }
}

// At a gate time of 1 the release falls on the next step's start, before its note starts.
TEST_F(ArpeggiatorFixture, FullGateReleasesOnTheNextStepBeforeItsNote)
{
    settings().arpGateTime = 1.0f;
    run(0.0, 3 * kStep - kSubBlockBeats);
    const std::vector<std::string> expected = {"start 60", "release 100", "start 64", "release 101", "start 67"};
    EXPECT_EQ(voices.script(), expected);
}

// A step is reached once per step, however many sub-blocks it spans, also when the host
// reports each block's start a rounding error before a boundary already reached.
TEST_F(ArpeggiatorFixture, EachStepSoundsOnceAcrossSubBlocksAndBlocks)
{
    drive(0.0, 10 * kStep - kSubBlockBeats, 512, voices,
          [&](const PatternTime &t) { tickArpeggiator(settings(), play(), t, voices, seed); },
          reportedJustBeforeBoundaries);
    EXPECT_EQ(voices.startedKeys(), (std::vector<int32_t>{60, 64, 67, 72, 76, 79, 76, 72, 67, 64}));
}

// Before the song start the step is floored: -0.3 beats is step -2, that is step 8 of 10.
TEST_F(ArpeggiatorFixture, NegativeSongPositionPlaysTheFlooredStep)
{
    run(-0.3, kSubBlockBeats);
    EXPECT_EQ(voices.startedKeys(), std::vector<int32_t>{67});
    EXPECT_EQ(play().arpCurrentStep, 8);
}

// Key sync counts the steps from the key press; the latch keeps released keys playing, and
// without it no key down means no new note while the steps still run.
TEST_F(ArpeggiatorFixture, KeySyncAndLatch)
{
    settings().arpKeySync = 1;
    play().arpSyncOffset = 4; // the chord went down during step 4
    double at = run(4 * kStep, kStep - kSubBlockBeats);
    EXPECT_EQ(voices.startedKeys(), std::vector<int32_t>{60});

    play().heldKeyCount = 0;
    at = run(at, kStep);
    EXPECT_EQ(voices.startedKeys(), std::vector<int32_t>{60});
    EXPECT_EQ(steps, 2) << "the steps run on";

    settings().arpLatch = 1;
    run(at, kStep);
    EXPECT_EQ(voices.startedKeys(), (std::vector<int32_t>{60, 67}));
}

// A changed pattern or octave range takes effect at the next step once the order is marked
// invalid; with no keys the arpeggiator rests and its position is forgotten.
TEST_F(ArpeggiatorFixture, RebuildsTheOrderAndRestsWithoutKeys)
{
    double at = run(0.0, 2 * kStep - kSubBlockBeats);
    settings().arpPattern = 1;
    settings().arpOctave = 1;
    play().arpOrderValid = 0;
    at = run(at, kStep);
    EXPECT_EQ(voices.startedKeys(), (std::vector<int32_t>{60, 64, 60}));

    hold({});
    run(at, kStep);
    EXPECT_EQ(voices.startedKeys().size(), 3u);
    EXPECT_EQ(play().arpLength, 0);
    EXPECT_EQ(play().arpLastStep, -1);
}

// The random pattern draws from the instance's generator: the same seed plays the same notes.
TEST_F(ArpeggiatorFixture, RandomPatternIsReproducibleFromTheSeed)
{
    settings().arpPattern = 7;
    run(0.0, 32 * kStep - kSubBlockBeats);
    const std::vector<int32_t> first = voices.startedKeys();
    ASSERT_EQ(first.size(), 32u);
    const std::set<int32_t> distinct(first.begin(), first.end());
    EXPECT_GT(distinct.size(), 3u);
    for (int32_t key : distinct)
        EXPECT_TRUE(std::set<int32_t>({60, 64, 67, 72, 76, 79}).count(key)) << key;

    SetUp();
    settings().arpPattern = 7;
    voices = RecordingVoices{};
    seed = 0;
    run(0.0, 32 * kStep - kSubBlockBeats);
    EXPECT_EQ(voices.startedKeys(), first);
}
