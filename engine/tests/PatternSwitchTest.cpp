// Switching the step sequencer or the arpeggiator where nothing is stopped (a program or chunk
// being loaded): no note may be left without someone to end it.
#include "engine/ParameterApply.h"
#include "engine/ParameterIndex.h"
#include "engine/tests/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace pattern_switch_test {

using namespace engine;
using namespace enginetest;

TEST(PatternSwitch, OutcomeOfTheSwitches)
{
    struct Case {
        const char *what;
        int localId;
        bool wasOn, sounding, bulk;
        float x;
        SideEffect effect;
        int number;
    } cases[] = {
        {"sequencer off in bulk", local::SeqOn, true, true, true, 0.0f, SideEffect::SwitchPattern, 0},
        {"sequencer off, silent", local::SeqOn, true, false, false, 0.0f, SideEffect::SwitchPattern, 0},
        {"sequencer off, sounding: the channel stops", local::SeqOn, true, true, false, 0.0f, SideEffect::StopChannel, 0},
        {"sequencer on in bulk while notes sound", local::SeqOn, false, true, true, 1.0f, SideEffect::SwitchPattern, 1},
        {"sequencer on in bulk, silent", local::SeqOn, false, false, true, 1.0f, SideEffect::None, 0},
        {"sequencer written again in bulk", local::SeqOn, true, true, true, 1.0f, SideEffect::None, 0},
        {"arpeggiator off in bulk", local::ArpOn, true, true, true, 0.0f, SideEffect::SwitchPattern, 0},
        {"arpeggiator on in bulk while notes sound", local::ArpOn, false, true, true, 1.0f, SideEffect::SwitchPattern, 1},
    };
    auto state = std::make_unique<EngineState>();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        clearEngineState(*state);
        state->target.channels[3].seqOn = c.wasOn;
        state->target.channels[3].melody.arpOn = c.wasOn;
        state->play[3].voiceCount = c.sounding ? 1 : 0;
        state->bulkLoading = c.bulk;
        const ApplyOutcome o = applyParameterValue(*state, parameterIndex(3, c.localId), c.x);
        EXPECT_EQ(o.effect, c.effect);
        if (o.effect == SideEffect::SwitchPattern) {
            EXPECT_EQ(o.channel, 3);
            EXPECT_EQ(o.slot, c.localId == local::SeqOn ? 0 : 1);
            EXPECT_EQ(o.number, c.number);
        }
    }
}

namespace {

constexpr uint8_t kKeyHeld = 1;

struct SwitchInstance : testing::Test {
    std::unique_ptr<TestQuorix> q;
    void SetUp() override
    {
        q = std::make_unique<TestQuorix>();
        q->setParameterValue(parameterIndex(0, local::Mode), 0.0f);
        q->setParameterValue(parameterIndex(0, local::On), 1.0f);
    }
    ChannelPlayState &play() { return q->state.play[0]; }
    ChannelState &channel() { return q->state.target.channels[0]; }
    // A sounding voice with its key held, started by note id.
    void voice(int32_t noteId)
    {
        VoiceRecord &v = play().voices[play().voiceCount++];
        v = VoiceRecord{};
        v.noteId = static_cast<int16_t>(noteId);
        v.flags = kKeyHeld;
    }
    bool held(int index) { return (play().voices[index].flags & kKeyHeld) != 0; }
    void bulk(int localId, float x)
    {
        q->setBulkLoading(true);
        q->setParameterValue(parameterIndex(0, localId), x);
        q->setBulkLoading(false);
    }
};

} // namespace

// The arpeggiator switched off by a program load releases its own note and forgets its chord;
// a note it did not start keeps sounding.
TEST_F(SwitchInstance, ArpeggiatorOffInBulkReleasesItsNote)
{
    q->setParameterValue(parameterIndex(0, local::ArpOn), 1.0f);
    q->setParameterValue(parameterIndex(0, local::ArpLatch), 1.0f);
    voice(7);                // the arpeggiator's note
    voice(8);                // an audition from the editor's keyboard
    play().arpNoteId = 7;
    play().arpHeldCount = 2; // a latched chord
    play().arpLength = 2;
    q->state.runtime.patternsRunning = 1;

    bulk(local::ArpOn, 0.0f);
    EXPECT_FALSE(held(0));
    EXPECT_TRUE(held(1));
    EXPECT_EQ(play().arpNoteId, -1);
    EXPECT_EQ(play().arpHeldCount, 0);
    EXPECT_EQ(play().arpLength, 0);
    EXPECT_EQ(+q->state.runtime.patternsRunning, 0);
}

TEST_F(SwitchInstance, SequencerOffInBulkReleasesItsLanesNotes)
{
    q->setParameterValue(parameterIndex(0, local::SeqOn), 1.0f);
    voice(5);
    voice(6);
    voice(9); // not the sequencer's
    channel().lanes[0].noteId = 5;
    channel().lanes[3].noteId = 6;
    channel().lanes[3].tied = 1;
    play().seqHeldCount = 1;

    bulk(local::SeqOn, 0.0f);
    EXPECT_FALSE(held(0));
    EXPECT_FALSE(held(1));
    EXPECT_TRUE(held(2));
    for (const SequencerLane &lane : channel().lanes) {
        EXPECT_EQ(lane.noteId, -1);
        EXPECT_EQ(lane.lastKey, -1);
        EXPECT_EQ(+lane.tied, 0);
    }
    EXPECT_EQ(play().seqHeldCount, 0);
}

// Switched on by a program load while keys are down: those keys' note-offs will go to the
// pattern, so their notes are released now rather than left hanging.
TEST_F(SwitchInstance, PatternOnInBulkReleasesThePlayersNotes)
{
    for (int localId : {local::SeqOn, local::ArpOn}) {
        SCOPED_TRACE(localId);
        SetUp();
        voice(3);
        play().heldKeyCount = 1;
        bulk(localId, 1.0f);
        EXPECT_FALSE(held(0));
    }
    // With the sequencer on, the arpeggiator never gets the keys: its switch changes nothing.
    SetUp();
    q->setParameterValue(parameterIndex(0, local::SeqOn), 1.0f);
    voice(4);
    bulk(local::ArpOn, 1.0f);
    EXPECT_TRUE(held(0));
}

} // namespace pattern_switch_test
