// Starting, stealing, dropping and releasing voices; the held-key stacks, the list of started
// voices behind the instance's voice limit, and channel resets.
#include "engine/tests/PlaySupport.h"

#include "engine/ParameterIndex.h"
#include "engine/dsp/pitchTables.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace engine;
using namespace enginetest;

namespace {

class Voices : public Player
{
protected:
    int32_t note(int32_t channel, int32_t key, int32_t velocity = 100)
    {
        return q->noteOn(channel, channel, key, velocity, 0, 0, 0, -1);
    }
    bool fading(int32_t channel, int32_t index) { return (play(channel).voices[index].flags & 4) != 0; }
    int32_t listed(int32_t channel)
    {
        const HeldNoteList &list = q->state.heldNotes;
        return int32_t(std::count_if(list.notes, list.notes + list.count, [&](const HeldNote &h) { return h.channel == channel; }));
    }
};

TEST_F(Voices, BeyondTheChannelLimitTheOldestVoicesFadeAndAreRemoved)
{
    melody(0, MelodySetup{.voiceLimit = 4});
    for (int key = 60; key < 66; ++key)
        note(0, key);
    ASSERT_EQ(play(0).voiceCount, 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(fading(0, i), i < 2) << i;
    render(64);
    ASSERT_EQ(play(0).voiceCount, 4);
    EXPECT_EQ(play(0).voices[0].key, 62);
    EXPECT_EQ(q->state.heldNotes.count, 4);
}

TEST_F(Voices, TheInstanceLimitFadesTheOldestStartedVoiceOfAnyChannel)
{
    melody(0);
    melody(1);
    set(master::VoiceLimit, 1.0f / 1023.0f); // 2 voices
    note(1, 60);
    note(0, 64);
    EXPECT_FALSE(fading(1, 0));
    note(0, 67);
    EXPECT_TRUE(fading(1, 0));
    EXPECT_FALSE(fading(0, 0));
    EXPECT_FALSE(fading(0, 1));
    render(64);
    EXPECT_EQ(play(1).voiceCount, 0);
    // The next note finds the faded voice's pair gone and fades the next oldest.
    note(1, 72);
    EXPECT_TRUE(fading(0, 0));
    EXPECT_FALSE(fading(0, 1));
}

TEST_F(Voices, A129thVoiceDropsTheOldestAndStealingStillFindsTheOldest)
{
    melody(0, MelodySetup{.voiceLimit = 64});
    std::vector<int32_t> ids;
    for (int i = 0; i < 129; ++i)
        ids.push_back(note(0, i % 128));
    ChannelPlayState &p = play(0);
    ASSERT_EQ(p.voiceCount, 128);
    EXPECT_EQ(p.voices[0].noteId, ids[1]);
    EXPECT_EQ(p.voices[127].noteId, ids[128]);
    EXPECT_EQ(q->findVoice(0, ids[0]), -1);
    EXPECT_EQ(q->state.heldNotes.count, 128);
    EXPECT_EQ(q->state.heldNotes.notes[0].noteId, ids[1]);
    // The voices stay in start order: the fading ones are the oldest.
    // (The notes beyond the limit of 64 put the 64 oldest into release; the oldest was dropped.)
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(fading(0, i), i < 63) << i;
    // Removing one in the middle keeps the order of the rest.
    q->removeVoice(0, 2);
    EXPECT_EQ(p.voiceCount, 127);
    EXPECT_EQ(p.voices[2].noteId, ids[4]);
    EXPECT_EQ(q->findVoice(0, ids[3]), -1);
    EXPECT_EQ(q->state.heldNotes.count, 127);
}

TEST_F(Voices, FindVoiceLooksAtLiveVoicesOnly)
{
    melody(0);
    const int32_t a = note(0, 60);
    note(0, 62);
    q->removeVoice(0, 1);
    // The removed voice's record still lies in the array past the live ones.
    EXPECT_EQ(play(0).voices[1].key, 62);
    EXPECT_EQ(q->findVoice(0, a + 1), -1);
    EXPECT_EQ(q->findVoice(0, a), 0);
}

TEST_F(Voices, MonoLegatoReusesTheVoiceAndReleaseRetriggersTheHeldKey)
{
    melody(0, MelodySetup{.voiceLimit = 0});
    midi(0x90, 60, 100);
    render(64);
    midi(0x90, 64, 30);
    ASSERT_EQ(play(0).voiceCount, 1);
    const VoiceRecord &v = play(0).voices[0];
    EXPECT_EQ(v.key, 64);
    EXPECT_EQ(v.startPending, 0);
    const float level = v.level;
    midi(0x80, 64, 0);
    ASSERT_EQ(play(0).voiceCount, 1);
    EXPECT_EQ(play(0).voices[0].key, 60);
    EXPECT_EQ(play(0).voices[0].level, level);
    EXPECT_EQ(q->state.heldNotes.count, 1);
    EXPECT_EQ(q->state.heldNotes.notes[0].noteId, play(0).voices[0].noteId);
}

TEST_F(Voices, MonoRetriggerStartsFreshVoicesAndARetriggerKeepsTheReplacedLevel)
{
    melody(0, MelodySetup{.voiceLimit = 1});
    midi(0x90, 60, 120);
    render(64);
    midi(0x90, 64, 20);
    ASSERT_EQ(play(0).voiceCount, 2);
    EXPECT_TRUE(fading(0, 0));
    render(64);
    ASSERT_EQ(play(0).voiceCount, 1);
    // A stale record with a loud level waits in the slot the retrigger will take.
    play(0).voices[1].level = 0.99f;
    play(0).voices[1].targetLevel = 0.99f;
    const float replaced = play(0).voices[0].level;
    midi(0x80, 64, 0);
    ASSERT_EQ(play(0).voiceCount, 2);
    const VoiceRecord &fresh = play(0).voices[1];
    EXPECT_EQ(fresh.key, 60);
    EXPECT_EQ(fresh.startPending, 1);
    EXPECT_EQ(fresh.level, replaced);
    EXPECT_EQ(fresh.targetLevel, replaced);
    EXPECT_NEAR(replaced, 20.0f / 127.0f, 1e-6);
}

TEST_F(Voices, VelocitiesBeyond127PlayAtFullLevel)
{
    melody(0);
    q->noteOn(0, 0, 60, 300, 0, 0, 0, -1);
    q->noteOn(0, 0, 62, 128, 0, 0, 0, 5);
    ASSERT_EQ(play(0).voiceCount, 2);
    EXPECT_EQ(play(0).voices[0].targetLevel, 1.0f);
    EXPECT_EQ(play(0).voices[1].targetLevel, 1.0f);
}

TEST_F(Voices, A129thHeldKeyDropsTheOldestHeldKey)
{
    melody(0);
    setLocal(0, local::SeqOn, 1.0f); // keys held for the sequencer start no voices
    for (int i = 0; i < 129; ++i)
        midi(0x90, i % 128, 100);
    EXPECT_EQ(play(0).heldKeyCount, 128);
    EXPECT_EQ(play(0).heldKeys[0], 1);
    EXPECT_EQ(play(0).heldKeys[127], 0);
}

TEST_F(Voices, LinkedChannelsShareOneNoteIdVisitingTheHigherChannelFirst)
{
    melody(2);
    melody(3);
    melody(4);
    setLocal(3, local::Link, 1.0f);
    const int32_t id = q->noteOn(2, 3, 60, 100, 0, 0, 0, -1);
    EXPECT_EQ(play(2).voiceCount, 1);
    EXPECT_EQ(play(3).voiceCount, 1);
    EXPECT_EQ(play(4).voiceCount, 0);
    EXPECT_EQ(play(2).voices[0].noteId, id);
    EXPECT_EQ(play(3).voices[0].noteId, id);
    ASSERT_EQ(q->state.heldNotes.count, 2);
    EXPECT_EQ(q->state.heldNotes.notes[0].channel, 3);
    EXPECT_EQ(q->noteOn(2, 3, 62, 100, 0, 0, 0, -1), id + 1);
}

TEST_F(Voices, KeysAndVelocitiesOutsideTheWindowsStartNothingButUseAnId)
{
    melody(0);
    setLocal(0, local::KeyRangeLow, 60.0f / 127.0f);
    setLocal(0, local::VelocityRangeHigh, 100.0f / 127.0f);
    const int32_t id = note(0, 59);
    note(0, 60, 101);
    EXPECT_EQ(play(0).voiceCount, 0);
    EXPECT_EQ(note(0, 60, 100), id + 2);
    EXPECT_EQ(play(0).voiceCount, 1);
    // The sequencer's and the arpeggiator's notes ignore the windows.
    q->noteOn(0, 0, 20, 127, 0, 1, 0, 3);
    EXPECT_EQ(play(0).voiceCount, 2);
}

TEST_F(Voices, AGlideFromTheHeldKeyStartsAtItsTransposedPitch)
{
    melody(0);
    setLocal(0, local::Transpose, 60.0f / 96.0f); // +12
    setLocal(0, local::GlideAuto, 1.0f);
    midi(0x90, 48, 100);
    midi(0x90, 55, 100);
    ASSERT_EQ(play(0).voiceCount, 2);
    EXPECT_EQ(play(0).voices[1].key, 67);
    EXPECT_EQ(play(0).voices[1].glideKey, 60);
    EXPECT_EQ(play(0).voices[1].pitch, 60.0f * 8192.0f);
}

TEST_F(Voices, TheSequencerTakesKeysWithoutStartingVoices)
{
    melody(0);
    setLocal(0, local::SeqOn, 1.0f);
    for (int key = 60; key < 66; ++key)
        midi(0x90, key, 100);
    EXPECT_EQ(play(0).voiceCount, 0);
    ASSERT_EQ(play(0).seqHeldCount, 5);
    EXPECT_EQ(play(0).seqHeldKeys[0].key, 61);
    EXPECT_EQ(play(0).seqHeldKeys[4].key, 65);
    midi(0x80, 63, 0);
    EXPECT_EQ(play(0).seqHeldCount, 4);
    setLocal(0, local::SeqLatch, 1.0f);
    midi(0x80, 64, 0);
    EXPECT_EQ(play(0).seqHeldCount, 4);
}

// A pattern player that takes a key places itself on the song position: the step it stands
// on, the offset its pattern starts from and whether the next step boundary plays.
TEST_F(Voices, AKeyTakenByAPatternLandsOnTheStepOfTheSongPosition)
{
    struct Case {
        bool arpeggiator;
        bool hostPlaying;
        double position;    // beats; steps of a quarter beat, 16 of the sequencer's, 6 of the arpeggio's
        int sync;           // sequencer sync 0..2, arpeggiator key sync 0..1
        bool othersPlaying; // another channel's player of the same kind already plays
        int lastStep, syncOffset;
        double positionAfter;
    };
    const Case cases[] = {
        // Nothing plays and the host stands still: the song starts again from its beginning.
        {false, false, 3.3, 1, false, -1, 0, 0.0},
        {true, false, 1.05, 1, false, -1, 0, 0.0},
        // The host plays: the key lands inside a step; the pattern starts with the next step.
        {false, true, 3.3, 1, false, 13, 14, 3.3},
        {true, true, 1.05, 1, false, 4, 5, 1.05},
        // Exactly on a boundary (within the clock's tolerance) the step still has to be reached.
        {false, true, 3.25 + 1e-9, 1, false, -1, 14, 3.25 + 1e-9},
        {false, true, 3.3, 0, false, 13, 0, 3.3},
        // Another player runs: the song goes on; only sync 2 (the arpeggiator's key sync) moves
        // the offset of a running pattern.
        {false, false, 3.3, 1, true, 13, 7, 3.3},
        {false, false, 3.3, 2, true, 13, 14, 3.3},
        {true, false, 1.05, 1, true, 4, 5, 1.05},
        {true, false, 1.05, 0, true, 4, 0, 1.05},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.arpeggiator ? "arpeggiator" : "sequencer") << " at " << c.position
                                        << (c.hostPlaying ? " playing" : " stopped") << ", sync " << c.sync
                                        << (c.othersPlaying ? ", others playing" : ""));
        start(44100.0f);
        for (int channel : {0, 1}) {
            melody(channel);
            ChannelState &ch = q->state.target.channels[channel];
            if (c.arpeggiator) {
                setLocal(channel, local::ArpOn, 1.0f);
                ch.melody.arpRate = 10; // a quarter beat
                ch.melody.arpKeySync = uint8_t(c.sync);
                ch.melody.arpLatch = 1;
                ch.melody.arpOctave = 6; // six steps for one held key
                ch.melody.arpPattern = 0;
            } else {
                setLocal(channel, local::SeqOn, 1.0f);
                ch.seqRate = 4; // a quarter beat
                ch.seqTriplet = 0;
                ch.seqLength = 16;
                ch.seqSync = c.sync;
                ch.seqLatch = 1;
            }
        }
        if (c.othersPlaying) {
            ChannelPlayState &other = play(1);
            (c.arpeggiator ? other.arpHeldCount : other.seqHeldCount) = 1;
            (c.arpeggiator ? other.arpLastStep : other.seqLastStep) = 5;
        }
        play(0).seqSyncOffset = play(0).arpSyncOffset = 7;
        q->hostPlaying = c.hostPlaying;
        q->hostPosition = c.position;
        midi(0x90, 60, 100);
        EXPECT_EQ(c.arpeggiator ? play(0).arpLastStep : play(0).seqLastStep, c.lastStep);
        EXPECT_EQ(c.arpeggiator ? play(0).arpSyncOffset : play(0).seqSyncOffset, c.syncOffset);
        EXPECT_DOUBLE_EQ(q->hostPosition, c.positionAfter);
        EXPECT_EQ(play(0).voiceCount, 0);
    }
}

TEST_F(Voices, ResettingOneChannelLeavesTheOthersAndTheirAccounting)
{
    melody(0);
    melody(1);
    set(master::VoiceLimit, 3.0f / 1023.0f); // 4 voices
    set(master::ChorusOn, 1.0f);
    note(0, 60);
    note(0, 62);
    note(1, 64);
    const int16_t counter = q->state.noteCounter;
    CSFX *chorus = q->state.target.master.chorus.effect;
    render(64);
    ASSERT_FALSE(chorus->cleared);
    q->resetChannel(0, 0);
    EXPECT_EQ(play(0).voiceCount, 0);
    EXPECT_EQ(play(1).voiceCount, 1);
    EXPECT_FALSE(chorus->cleared);
    EXPECT_EQ(q->state.noteCounter, counter);
    EXPECT_EQ(q->state.heldNotes.count, 1);
    // Three more notes fit under the limit of 4: nothing left behind by the reset counts.
    note(1, 65);
    note(1, 66);
    note(1, 67);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(fading(1, i)) << i;
    // A reset of every channel also silences the system effects and starts the ids again.
    q->resetChannel(-1, 0);
    EXPECT_TRUE(chorus->cleared);
    EXPECT_EQ(note(1, 60), 0);
}

TEST_F(Voices, AllSoundOffFadesEveryVoiceAndTheRenderRemovesThem)
{
    melody(0);
    melody(5);
    note(0, 60);
    note(5, 60);
    q->allNotesOff();
    EXPECT_TRUE(fading(0, 0));
    EXPECT_TRUE(fading(5, 0));
    EXPECT_EQ(q->state.runtime.channelMeters[3], 1.0f);
    const Audio a = render(256);
    EXPECT_EQ(play(0).voiceCount, 0);
    EXPECT_EQ(play(5).voiceCount, 0);
    EXPECT_EQ(q->state.heldNotes.count, 0);
    EXPECT_LT(peak(a.left, 16, 256), 1e-9f);
}

class DrumVoices : public Voices
{
protected:
    void kit(int32_t c)
    {
        setLocal(c, local::Mode, 1.0f);
        setLocal(c, local::On, 1.0f);
        setLocal(c, local::VoiceLimit, 16.0f / 64.0f);
        setLocal(c, local::Transpose, 0.5f);
        setLocal(c, local::KitKeyRangeLow, 0.0f);
        setLocal(c, local::KitKeyRangeHigh, 1.0f);
        for (int k = 0; k < kDrumKeys; ++k) {
            setLocal(c, local::DrumWave + 17 * k, float(waveSine) / 16384.0f);
            setLocal(c, local::DrumSemitone + 17 * k, 0.5f);
            setLocal(c, local::DrumFinetone + 17 * k, 0.5f);
        }
    }
};

TEST_F(DrumVoices, DrumKeysTakeTheirSampleStepTuningAndMuteGroup)
{
    kit(9);
    setLocal(9, local::DrumSemitone + 17 * 18, 36.0f / 96.0f); // key 42: -12 semitones
    setLocal(9, local::DrumMuteGroup + 17 * 22, 0.5f);         // key 46, open hi-hat: group 1
    setLocal(9, local::DrumMuteGroup + 17 * 18, 0.5f);         // key 42, closed hi-hat: group 1
    midi(0x99, 46, 100);
    midi(0x99, 38, 100);
    ASSERT_EQ(play(9).voiceCount, 2);
    const float step = play(9).voices[1].layerGains[0];
    EXPECT_FLOAT_EQ(step, float(kSineRate) / 44100.0f);
    EXPECT_EQ(play(9).voices[0].glideKey, 22);
    midi(0x99, 42, 100);
    ASSERT_EQ(play(9).voiceCount, 3);
    EXPECT_TRUE(fading(9, 0));
    EXPECT_FALSE(fading(9, 1));
    EXPECT_FLOAT_EQ(play(9).voices[2].layerGains[0], step / 2.0f);
    // Keys outside 24..88 start nothing.
    midi(0x99, 90, 100);
    EXPECT_EQ(play(9).voiceCount, 3);
}

} // namespace
