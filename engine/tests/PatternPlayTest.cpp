// The step sequencer and the arpeggiator inside an instance: keys in through MIDI, notes out
// through the voices, in time with the engine's own tempo.
#include "engine/tests/PlaySupport.h"

#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace engine;
using namespace enginetest;

namespace {

constexpr uint8_t kKeyHeld = 1;

class PatternPlay : public Player
{
protected:
    void SetUp() override
    {
        Player::SetUp();
        q->programBlock.tempo = 120.0f; // 0.25 beats: 5,512.5 samples at 44.1 kHz
        q->programBlock.useHostTempo = 0;
        melody(0);
    }

    // The arpeggiator on a channel: sixteenth notes, one octave, pattern 0, gate time 0.5.
    void arpeggiator(int32_t pattern = 0, int32_t octaves = 1, int32_t channel = 0)
    {
        setLocal(channel, local::ArpRate, 10.0f / 17.0f);
        setLocal(channel, local::ArpGateTime, 0.5f);
        setLocal(channel, local::ArpPattern, pattern / 7.0f);
        setLocal(channel, local::ArpOctave, (octaves - 1) / 5.0f);
        setLocal(channel, local::ArpOn, 1.0f);
        settle();
    }

    // Channel 0's sequencer, not yet on: steps of 0.25 beats, the first lane alone with a base
    // key (128 + k: the k-th held key) and its codes at full velocity, no root key.
    void sequencer(int base, const std::vector<int> &codes)
    {
        const int lane0 = local::FirstLane;
        setLocal(0, local::SeqRate, 4.0f / 7.0f);
        setLocal(0, local::SeqLength, (codes.size() - 1) / 63.0f);
        setLocal(0, local::SeqRootPitch, 1.0f);
        for (int id : {local::SeqNoteOrder, local::SeqTriplet, local::SeqSwing, local::SeqSync, local::SeqLatch,
                       local::SeqVelocityAmount})
            setLocal(0, id, 0.0f);
        for (int lane = 1; lane < kSequencerLanes; ++lane)
            setLocal(0, lane0 + lane * local::LaneSpan + 128, 0.0f);
        setLocal(0, lane0 + 128, 1.0f);
        setLocal(0, lane0 + 129, base / 132.0f);
        for (size_t s = 0; s < codes.size(); ++s) {
            setLocal(0, lane0 + 2 * int(s), (codes[s] + 48) / 100.0f);
            setLocal(0, lane0 + 2 * int(s) + 1, 1.0f);
        }
    }

    // The index of a channel's voice of a key, or -1.
    int voiceOf(int key, int channel = 0)
    {
        for (int i = 0; i < play(channel).voiceCount; ++i)
            if (play(channel).voices[i].key == key)
                return i;
        return -1;
    }
    bool keyHeld(int key, int channel = 0)
    {
        const int i = voiceOf(key, channel);
        return i >= 0 && (play(channel).voices[i].flags & kKeyHeld);
    }
};

} // namespace

// The gate ends the arpeggiator's own note. A note the editor's keyboard started after it is
// the last voice of the channel and must keep sounding, while the arpeggiated note ends.
TEST_F(PatternPlay, GateReleasesTheArpeggiatorsNoteNotTheLastVoice)
{
    arpeggiator();
    midi(0x90, 60, 100);
    render(256);
    ASSERT_TRUE(keyHeld(60));
    q->noteOn(0, 0, 72, 100, 0, 1, 0, -1); // an audition: not taken by the arpeggiator
    ASSERT_EQ(voiceOf(72), play(0).voiceCount - 1);

    render(2756 + 16 - 256); // just past half the step
    EXPECT_FALSE(keyHeld(60));
    EXPECT_TRUE(keyHeld(72));
}

// A reset while the channel is a drum kit (a chunk load made it one, without a stop) ends the
// arpeggiator's note too: the note ids restart, and once the channel plays melody again the
// arpeggiator's gate must not end a note it did not start.
TEST_F(PatternPlay, AResetOfADrumChannelLeavesItsArpeggiatorWithoutANote)
{
    auto bulkMode = [&](float mode) {
        q->setBulkLoading(true);
        setLocal(9, local::Mode, mode);
        q->setBulkLoading(false);
    };
    melody(9);
    arpeggiator(0, 1, 9);
    midi(0x99, 60, 100);
    render(256);
    ASSERT_GE(play(9).arpNoteId, 0);
    bulkMode(1.0f);
    q->resetChannel(-1, 0);
    bulkMode(0.0f);

    q->noteOn(0, 0, 50, 100, 0, 0, 0, -1);
    const int32_t audition = q->noteOn(9, 9, 72, 100, 0, 1, 0, -1);
    ASSERT_EQ(audition, 1); // the id the arpeggiator's note had
    render(5512);
    EXPECT_TRUE(keyHeld(72, 9));
}

// With the host giving no time information, or with the stored tempo followed, the
// arpeggiator runs on the engine's own song position from the key press: each step starts in
// the sub-block that reaches it.
TEST_F(PatternPlay, ArpeggiatorRunsFreeOnTheTempoItFollows)
{
    struct Case {
        bool useHostTempo;
        float storedTempo;
        double expectedTempo;
    };
    for (const Case &c : {Case{false, 90.0f, 90.0}, Case{true, 90.0f, 120.0}}) {
        SCOPED_TRACE(c.useHostTempo);
        start(44100.0f);
        melody(0);
        q->programBlock.tempo = c.storedTempo;
        q->programBlock.useHostTempo = c.useHostTempo;
        arpeggiator();
        render(1000); // the engine's position is well past 0 when the keys come
        midi(0x90, 60, 100);
        midi(0x90, 64, 100);

        std::vector<int> onsets, keys;
        int32_t note = play(0).arpNoteId;
        constexpr int kFrames = 44000;
        for (int at = 0; at < kFrames; at += 16) {
            render(16, 16);
            if (play(0).arpNoteId >= 0 && play(0).arpNoteId != note) {
                note = play(0).arpNoteId;
                onsets.push_back(at);
                const int i = q->findVoice(0, note);
                keys.push_back(i >= 0 ? play(0).voices[i].key : -1);
            }
        }
        const double stepSamples = 0.25 * 60.0 / c.expectedTempo * 44100.0;
        ASSERT_EQ(onsets.size(), size_t(std::floor(kFrames / stepSamples)) + 1);
        for (size_t k = 0; k < onsets.size(); ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(keys[k], k % 2 ? 64 : 60);
            // The sub-block that starts at the onset reaches the step's start.
            EXPECT_LE(onsets[k], k * stepSamples);
            EXPECT_GT(onsets[k] + 16, k * stepSamples - 1e-6);
        }
    }
}

// With the host stopped, a running arpeggio makes the beat indicator follow the engine's own
// position from the key press (4/4 when the host gives no time signature): the bar's first beat,
// the other beats, and nothing between them; once the keys are up it goes dark.
TEST_F(PatternPlay, BeatIndicatorFollowsARunningPatternWhileTheHostIsStopped)
{
    RecordingEditor *editor = q->openEditor();
    arpeggiator();
    midi(0x90, 60, 100);
    editor->take();
    auto lastBeat = [&] {
        float beat = -1.0f;
        for (const Message &m : editor->take())
            if (m.tag == tag::BeatIndicator)
                beat = m.value();
        return beat;
    };
    constexpr int kBlock = 437; // no block ends on a half beat
    for (int b = 1; b <= 250; ++b) {
        render(kBlock, kBlock);
        const int halfBeats = int(b * kBlock / 11025);
        const float expected = halfBeats % 8 == 0 ? 1.0f : halfBeats % 2 == 0 ? 0.67f : 0.0f;
        ASSERT_EQ(lastBeat(), expected) << b;
    }
    midi(0x80, 60, 0);
    for (int b = 0; b < 60; ++b) { // over two half beats
        render(kBlock, kBlock);
        ASSERT_EQ(lastBeat(), 0.0f) << b;
    }
}

// 128 held keys over six octaves in an up-and-down pattern: note-on counts every step, and the
// arpeggio plays through all 1,536 of them (the last step is the lowest note on the way down).
TEST_F(PatternPlay, TheLongestArpeggioPlaysEveryStep)
{
    arpeggiator(3, 6);
    for (int key = 0; key < 128; ++key)
        midi(0x90, key, 100);
    EXPECT_EQ(play(0).arpLength, 1536);
    render(64);
    EXPECT_EQ(+play(0).arpOrderValid, 1);
    const HeldKey &last = play(0).arpNotes[play(0).arpOrder[1535]];
    EXPECT_EQ(last.key, 0);
    EXPECT_EQ(play(0).arpNotes[play(0).arpOrder[767]].key, 127 + 60);
}

// A sequencer lane plays one note per step in time, and the editor hears of each step once.
TEST_F(PatternPlay, SequencerPlaysEachStepOnceAndShowsIt)
{
    RecordingEditor *editor = q->openEditor();
    sequencer(60, {0, 2, 4, 5});
    setLocal(0, local::SeqOn, 1.0f);
    midi(0x90, 60, 100);
    editor->take();

    std::vector<int> keys;
    for (int block = 0; block < 4; ++block) {
        render(block == 0 ? 5512 - 16 : 5512);
        keys.push_back(play(0).voices[play(0).voiceCount - 1].key);
    }
    EXPECT_EQ(keys, (std::vector<int>{60, 62, 64, 65}));
    EXPECT_EQ(+q->state.runtime.patternsRunning, 1);

    std::vector<float> shown;
    for (const Message &m : editor->take())
        if (m.tag == tag::SequencerPosition)
            shown.push_back(m.value());
    ASSERT_EQ(shown.size(), 4u);
    for (int t = 0; t < 4; ++t)
        EXPECT_FLOAT_EQ(shown[t], t * 0.015873f);
}

// A new note order applies to the keys already held: the lane on the first held key follows
// it at the next step, without waiting for another key press.
TEST_F(PatternPlay, NoteOrderChangedWhileKeysAreHeldReordersThem)
{
    sequencer(128, {0});
    setLocal(0, local::SeqOn, 1.0f);
    midi(0x90, 64, 100);
    midi(0x90, 60, 100);
    render(5512 - 16);
    EXPECT_EQ(play(0).voices[play(0).voiceCount - 1].key, 64);
    setLocal(0, local::SeqNoteOrder, 0.5f); // ascending
    render(5512);
    EXPECT_EQ(play(0).voices[play(0).voiceCount - 1].key, 60);
}
