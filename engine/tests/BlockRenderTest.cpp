// A host block: events at their offsets, the bank and program look-ahead, the output pairs,
// master gain, meters, the song position and clean output.
#include "engine/tests/PlaySupport.h"

#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

using namespace engine;
using namespace enginetest;

namespace {

// A list of MIDI events as a host hands it over.
class EventList
{
public:
    void add(int32_t delta, uint8_t status, uint8_t d1, uint8_t d2)
    {
        auto e = std::make_unique<VstMidiEvent>();
        *e = VstMidiEvent{};
        e->type = kVstMidiType;
        e->byteSize = sizeof(VstMidiEvent);
        e->deltaFrames = delta;
        e->midiData[0] = char(status);
        e->midiData[1] = char(d1);
        e->midiData[2] = char(d2);
        events.push_back(std::move(e));
    }
    VstEvents *list()
    {
        storage.assign(sizeof(VstEvents) + events.size() * sizeof(VstEvent *), 0);
        auto *l = reinterpret_cast<VstEvents *>(storage.data());
        l->numEvents = int32_t(events.size());
        for (size_t i = 0; i < events.size(); ++i)
            l->events[i] = reinterpret_cast<VstEvent *>(events[i].get());
        return l;
    }
    std::vector<std::unique_ptr<VstMidiEvent>> events;
    std::vector<char> storage;
};

class BlockRender : public Player
{
protected:
    // Renders one block straight through the render with the given events pending.
    Audio block(int32_t frames, EventList *events = nullptr)
    {
        Audio a;
        a.left.assign(size_t(frames), 0.0f);
        a.right.assign(size_t(frames), 0.0f);
        a.subLeft.assign(size_t(frames), 0.0f);
        a.subRight.assign(size_t(frames), 0.0f);
        float *outputs[4] = {a.left.data(), a.right.data(), a.subLeft.data(), a.subRight.data()};
        q->pendingEvents = events ? events->list() : nullptr;
        q->renderBlock(outputs, frames, true);
        q->pendingEvents = nullptr;
        return a;
    }
};

TEST_F(BlockRender, BankSelectAndProgramChangeAtOneInstantComeFirstAndOnce)
{
    melody(0);
    sharedConfiguration().programChangeOn = 1;
    EventList events;
    events.add(10, 0xB0, 7, 90);   // a controller listed first
    events.add(10, 0xB1, 0, 127);  // another channel's bank select stays in place
    events.add(10, 0xB0, 0, 127);
    events.add(10, 0xB0, 32, 5);
    events.add(10, 0xC0, 3, 0);
    events.add(10, 0xB0, 32, 6);   // after the program change: in its place
    events.add(20, 0xC0, 4, 0);
    q->messages.clear();
    block(64, &events);
    struct Want {
        int channel, type, d1;
    };
    const Want order[] = {{0, 0xB0, 0}, {0, 0xB0, 32}, {0, 0xC0, 3}, {0, 0xB0, 7}, {1, 0xB0, 0}, {0, 0xB0, 32}, {0, 0xC0, 4}};
    ASSERT_EQ(q->messages.size(), std::size(order));
    for (size_t i = 0; i < std::size(order); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(q->messages[i].channel, order[i].channel);
        EXPECT_EQ(q->messages[i].type, order[i].type);
        EXPECT_EQ(q->messages[i].data1, order[i].d1);
    }
    ASSERT_EQ(q->programs.size(), 2u);
    EXPECT_EQ(q->programs[0].bankNumber, 5);
    EXPECT_EQ(q->programs[1].bankNumber, 6);
    // The host's list is left as it came.
    for (const auto &e : events.events)
        EXPECT_EQ(e->type, kVstMidiType);
}

TEST_F(BlockRender, EventsTakeEffectAtTheirOffsets)
{
    melody(0);
    EventList events;
    events.add(100, 0x90, 69, 127);
    events.add(50, 0xB0, 7, 0);  // out of order: dispatched at once, no segment before it
    events.add(300, 0x90, 72, 127); // beyond the block: after the whole block
    const Audio a = block(256, &events);
    EXPECT_LT(peak(a.left, 0, 100), 1e-9f);
    EXPECT_GT(peak(a.left, 100, 116), 0.01f);
    EXPECT_EQ(q->state.controllers[0].volumeTarget, 0.0f);
    ASSERT_EQ(play(0).voiceCount, 2);
    EXPECT_EQ(play(0).voices[1].key, 72);
}

TEST_F(BlockRender, SystemMessagesAmongTheEventsAreIgnored)
{
    melody(0);
    EventList events;
    events.add(0, 0xF8, 0, 0);
    events.add(0, 0xFF, 0x90, 60);
    events.add(0, 0x45, 100, 0);
    q->messages.clear();
    block(64, &events);
    EXPECT_TRUE(q->messages.empty());
    EXPECT_EQ(play(0).voiceCount, 0);
}

TEST_F(BlockRender, SubBusChannelsAndTheFold)
{
    melody(0);
    melody(1, MelodySetup{.outputBus = 1});
    set(master::ReverbOn, 1.0f);
    setLocal(1, local::ReverbSend, 1.0f);
    midi(0x91, 69, 127);
    Audio a = block(512);
    EXPECT_LT(peak(a.left, 0, 512), 1e-9f); // the sub channel's send is not taken
    EXPECT_NEAR(peak(a.subLeft, 256, 512), 0.25f, 1e-3f);

    q->vendorSpecific(vstFourCC("host"), vstFourCC("bMtO"), nullptr, 0.0f);
    a.subLeft.assign(a.size(), 7.0f);
    float *outputs[4] = {a.left.data(), a.right.data(), a.subLeft.data(), a.subRight.data()};
    q->renderBlock(outputs, 512, true);
    EXPECT_NEAR(peak(a.left, 256, 512), 0.25f, 1e-3f);
    EXPECT_EQ(peak(a.subLeft, 0, 512), 0.0f);
    q->vendorSpecific(vstFourCC("host"), vstFourCC("bMtO"), nullptr, 1.0f);
    EXPECT_EQ(q->state.runtime.foldSubOutputs, 0);
}

TEST_F(BlockRender, AccumulatingAddsToWhatTheOutputsHold)
{
    melody(0);
    midi(0x90, 69, 127);
    std::vector<float> left(256, 1.0f), right(256, 1.0f), subLeft(256, 1.0f), subRight(256, 1.0f);
    float *outputs[4] = {left.data(), right.data(), subLeft.data(), subRight.data()};
    q->processAccumulating(nullptr, outputs, 256);
    EXPECT_GT(peak(left, 0, 256), 1.2f);
    EXPECT_EQ(subLeft[100], 1.0f);
}

TEST_F(BlockRender, TheMasterVolumeRampsNoFasterThanItsSlew)
{
    melody(0);
    midi(0x90, 69, 127);
    block(4096);
    set(master::Volume, 0.0f);
    const Audio a = block(44100);
    // 0.7071 of volume at 0.0003 a sample takes 2,357 samples.
    EXPECT_GT(peak(a.left, 2000, 2100), 0.0005f);
    EXPECT_LT(peak(a.left, 2400, 44100), 1e-9f);
    EXPECT_NEAR(peak(a.left, 0, 100), 0.25f, 0.02f);
}

TEST_F(BlockRender, AMeterAboveFullScaleMarksItsPairAtTheNextBlock)
{
    RecordingEditor *editor = q->openEditor();
    melody(0);
    set(master::Volume, 1.0f); // master gain 2, channel gain 2, all on the left: peaks of 2.0
    setLocal(0, local::Volume, 1.0f);
    setLocal(0, local::Pan, 0.0f);
    settle();
    midi(0x90, 69, 127);
    block(512);
    EXPECT_EQ(q->state.runtime.outputClipped[0], 0);
    block(512);
    EXPECT_EQ(q->state.runtime.outputClipped[0], 1);
    editor->take();
    block(64);
    float clipped = -1.0f, beat = -1.0f;
    for (const Message &m : editor->take()) {
        if (m.tag == 29176)
            clipped = m.value();
        if (m.tag == tag::BeatIndicator)
            beat = m.value();
    }
    EXPECT_EQ(clipped, 1.0f);
    EXPECT_EQ(beat, 0.0f); // neither the host nor a pattern is playing
}

// What the editor gets at the end of every block: the channels' meters, the LFO displays of
// the melody channels and the beat indicator on the song position (bar, beat, off-beat).
TEST_F(BlockRender, TheBlockEndPostsMetersLfoDisplaysAndTheBeat)
{
    RecordingEditor *editor = q->openEditor();
    melody(0);
    setLocal(3, local::On, 1.0f);
    setLocal(3, local::Mode, 1.0f); // a drum kit: no LFO display
    settle();
    midi(0x90, 69, 127);
    block(512);
    editor->take();
    block(64);
    std::map<int32_t, float> last;
    for (const Message &m : editor->take())
        last[m.tag] = m.value();
    EXPECT_GT(last.at(28969), 0.1f) << "the sounding channel's meter";
    EXPECT_EQ(last.at(28970), 0.0f);
    EXPECT_EQ(last.count(28985), 1u);
    EXPECT_EQ(last.count(28986), 1u);
    EXPECT_EQ(last.count(28985 + 6), 0u) << "a drum kit has no LFO";

    struct Case {
        bool hostPlaying, patternsRunning;
        double position; // beats, in 3/4
        float beat;
    };
    const Case cases[] = {
        {true, false, 0.0, 1.0f},  {true, false, 3.0, 1.0f},  {true, false, 1.0, 0.67f},
        {true, false, 2.0, 0.67f}, {true, false, 0.5, 0.0f},  {true, false, 2.75, 0.0f},
        {false, false, 3.0, 0.0f}, {false, true, 3.0, 1.0f},  {false, true, 4.0, 0.67f},
    };
    q->setUseHostTempo(true);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.position << (c.hostPlaying ? " playing" : "")
                                        << (c.patternsRunning ? " patterns" : ""));
        q->hostPlaying = c.hostPlaying;
        q->state.runtime.patternsRunning = c.patternsRunning;
        q->hostPosition = c.position;
        q->hostTimeSignature[0] = 3;
        editor->take();
        block(1);
        float beat = -1.0f;
        for (const Message &m : editor->take())
            if (m.tag == tag::BeatIndicator)
                beat = m.value();
        EXPECT_EQ(beat, c.beat);
    }
}

// A main-bus channel's reverb send feeds the system reverb, whose tail sounds on after the
// voice has ended; without the send nothing follows the voice.
TEST_F(BlockRender, TheReverbSendOfAMainBusChannelLeavesATail)
{
    auto tail = [&](float send) {
        start(44100.0f);
        melody(0);
        setLocal(0, local::ReverbSend, send);
        set(master::ReverbOn, 1.0f);
        for (int i = 0; i < 4; ++i)
            set(master::ReverbFirst + i, 0.5f);
        settle();
        midi(0x90, 69, 127);
        block(4410);
        midi(0x80, 69, 0);
        block(441); // the voice stops at once
        EXPECT_EQ(play(0).voiceCount, 0);
        const Audio a = block(22050);
        EXPECT_TRUE(cleanSignal(a.left));
        return peak(a.left, 0, a.size());
    };
    EXPECT_LT(tail(0.0f), 1e-9f);
    EXPECT_GT(tail(1.0f), 1e-3f);
}

// Once nothing sounds and the system effects' tails have died, a block is silence: replaced
// outputs hold zeros, accumulated ones keep what they held, and the first event wakes the
// render at its own offset.
TEST_F(BlockRender, ARestingRenderGivesSilenceAndWakesAtAnEvent)
{
    struct Case {
        const char *name;
        bool replace;
        bool fold;
        float expectedMain, expectedSub;
    };
    const Case cases[] = {
        {"replacing", true, false, 0.0f, 0.0f},
        {"replacing, sub folded into main", true, true, 0.0f, 0.0f},
        {"accumulating", false, false, 7.0f, 7.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        start(44100.0f);
        melody(0);
        set(master::ChorusOn, 1.0f);
        set(master::ReverbOn, 1.0f);
        setLocal(0, local::ReverbSend, 1.0f);
        setLocal(0, local::ChorusSend, 1.0f);
        q->state.runtime.foldSubOutputs = c.fold ? 1 : 0;
        settle();
        midi(0x90, 69, 127);
        block(4410);
        midi(0x80, 69, 0);
        block(88200); // the tails die away and the effects rest

        Audio a;
        a.left.assign(512, 7.0f);
        a.right.assign(512, 7.0f);
        a.subLeft.assign(512, 7.0f);
        a.subRight.assign(512, 7.0f);
        float *outputs[4] = {a.left.data(), a.right.data(), a.subLeft.data(), a.subRight.data()};
        q->renderBlock(outputs, 512, c.replace);
        for (const std::vector<float> *side : {&a.left, &a.right})
            for (float sample : *side)
                ASSERT_EQ(sample, c.expectedMain);
        for (const std::vector<float> *side : {&a.subLeft, &a.subRight})
            for (float sample : *side)
                ASSERT_EQ(sample, c.expectedSub);

        EventList events;
        events.add(100, 0x90, 69, 127);
        const Audio woken = block(256, &events);
        EXPECT_EQ(peak(woken.left, 0, 100), 0.0f);
        EXPECT_GT(peak(woken.left, 100, 116), 0.01f);
        EXPECT_TRUE(cleanSignal(woken.left));
    }
}

TEST_F(BlockRender, ANegativeSongPositionRecovers)
{
    q->setUseHostTempo(false); // the engine's own position and tempo
    q->setTempo(120.0f);
    q->state.runtime.ownSongPosition = -2.5;
    block(64);
    const double position = q->state.runtime.ownSongPosition;
    EXPECT_GE(position, 0.0);
    EXPECT_LT(position, 1.0);
    // The position moves on with the tempo (120: 2 beats a second).
    q->state.runtime.ownSongPosition = 1.0;
    block(22050);
    EXPECT_NEAR(q->state.runtime.ownSongPosition, 2.0, 1e-9);
}

TEST_F(BlockRender, BusyRendersStayFiniteAndFreeOfDenormals)
{
    for (int c = 0; c < 4; ++c)
        melody(c, MelodySetup{.wave1 = waveSine, .wave2 = waveNoiseBurst, .release = 0.3f, .resonance = 1.0f,
                              .fourPole = c % 2 == 1, .oscMix = 0.3f});
    set(master::ChorusOn, 1.0f);
    set(master::ReverbOn, 1.0f);
    set(master::InsertEffectsOn, 1.0f);
    for (int c = 0; c < 4; ++c) {
        setLocal(c, local::ChorusSend, 0.8f);
        setLocal(c, local::ReverbSend, 0.8f);
        setLocal(c, local::InsertType, (10 + c) / 33.0f);
        setLocal(c, local::InsertOn, 1.0f);
        setLocal(c, local::LfoLevel, 1.0f);
        setLocal(c, local::LfoWave, c / 9.0f);
        setLocal(c, local::OscLfoAmount, 0.3f);
        setLocal(c, local::FilterLfoAmount, 0.5f);
    }
    for (int key = 20; key < 120; key += 7)
        midi(0x90 | (key % 4), key, 30 + key);
    Audio a = render(44100, 333);
    for (int key = 20; key < 120; key += 7)
        midi(0x80 | (key % 4), key, 0);
    Audio tail = render(88200, 512);
    for (const auto *s : {&a.left, &a.right, &a.subLeft, &a.subRight, &tail.left, &tail.right})
        EXPECT_TRUE(cleanSignal(*s));
    EXPECT_GT(peak(a.left, 0, 44100), 0.01f);
}

} // namespace

// A channel with nothing to render is skipped, but its LFO runs on as if it had rendered, and
// a value set while it rests still moves toward its target.
TEST_F(BlockRender, ASkippedChannelKeepsItsLfoAndItsSlews)
{
    melody(0);
    setLocal(0, local::LfoRate, 0.0f); // 2.56 phase steps a second
    setLocal(0, local::LfoKeySync, 0.0f);
    setLocal(0, local::LfoBpmSync, 0.0f);
    setLocal(0, local::LfoDelayTime, 0.0f);
    setLocal(0, local::LfoAttackTime, 0.0f);
    setLocal(1, local::On, 1.0f);
    setLocal(1, local::Mode, 1.0f);
    settle();
    render(256);
    const float phase = float(play(0).lfoPhase) + play(0).lfoPhaseFraction;
    render(441000); // ten seconds
    midi(0x90, 69, 100);
    const float moved = float(play(0).lfoPhase) + play(0).lfoPhaseFraction - phase;
    EXPECT_NEAR(moved, 25.6f, 0.05f);
    EXPECT_GT(peak(render(512).left, 256, 512), 0.1f) << "the channel wakes for its note";

    // A drum key's volume set while its kit rests slews toward it.
    DrumKeyState &key = q->state.smoothed.channels[1].drum.drumKeys[10];
    const float before = key.volume;
    setLocal(1, local::DrumVolume + 17 * 10, before > 0.5f ? 0.1f : 0.9f);
    render(64);
    EXPECT_NE(key.volume, before);

    // Once the keys have settled, a key's value set while the kit plays still slews toward it.
    // Key 11 (MIDI key 35) holds a looped wave.
    setLocal(1, local::DrumWave + 17 * 11, float(waveSine) / 16384.0f);
    setLocal(1, local::DrumHold + 17 * 11, 1.0f);
    setLocal(1, local::DrumVolume + 17 * 11, 0.5f);
    setLocal(1, local::VoiceLimit, 1.0f);
    setLocal(1, local::KitKeyRangeLow, 0.0f);
    setLocal(1, local::KitKeyRangeHigh, 1.0f);
    render(441000);
    midi(0x91, 35, 100);
    render(256);
    ASSERT_GT(play(1).voiceCount, 0);
    const float playing = key.volume;
    setLocal(1, local::DrumVolume + 17 * 10, playing > 0.5f ? 0.1f : 0.9f);
    render(64);
    EXPECT_GT(play(1).voiceCount, 0);
    EXPECT_NE(key.volume, playing);
}

// Voices with a held filter run four or eight to a vector: together they sound as the sum of
// each alone.
TEST_F(BlockRender, FilteredVoicesSoundTogetherAsEachAlone)
{
    MelodySetup setup;
    setup.cutoff = 0.6f;
    setup.resonance = 0.4f;
    // Some oversampled, some not; a run of more than four at one factor.
    const int keys[] = {45, 47, 48, 50, 52, 53, 55, 57, 60, 64, 69, 72, 76};
    for (bool fourPole : {false, true}) {
        SCOPED_TRACE(fourPole ? "4-pole" : "2-pole");
        setup.fourPole = fourPole;
        auto sound = [&](std::initializer_list<int> notes) {
            start(44100.0f);
            melody(0, setup);
            settle();
            for (int k : notes)
                midi(0x90, k, 100);
            return render(2048).left;
        };
        const std::vector<float> together = sound({45, 47, 48, 50, 52, 53, 55, 57, 60, 64, 69, 72, 76});
        std::vector<float> sum(together.size(), 0.0f);
        for (int k : keys) {
            const std::vector<float> alone = sound({k});
            for (size_t i = 0; i < sum.size(); ++i)
                sum[i] += alone[i];
        }
        float worst = 0.0f;
        for (size_t i = 0; i < sum.size(); ++i)
            worst = std::max(worst, std::fabs(together[i] - sum[i]));
        EXPECT_GT(peak(together, 0, together.size()), 0.1f);
        EXPECT_LT(worst, 1e-4f);
    }
}
