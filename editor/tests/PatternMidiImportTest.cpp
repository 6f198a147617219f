// Standard MIDI File import into the sequencer: the step grid from the division and the rate, held
// notes as continuation steps, the lanes and their bases, the sequence length, and malformed files.
#include "editor/PatternMidiImport.h"
#include "editorFilesTestSupport.h"
#include "engine/EngineState.h"

#include <gtest/gtest.h>

#include <memory>

using namespace edfiles;

namespace {

constexpr int32_t off = 52, held = 49, heldEnd = 50;

// A file made of chunks; events are (delta, bytes) with the delta as a variable-length number.
struct Smf {
    std::vector<uint8_t> bytes;
    static void put32(std::vector<uint8_t> &b, uint32_t v)
    {
        for (int s = 24; s >= 0; s -= 8)
            b.push_back(uint8_t(v >> s));
    }
    static void varLen(std::vector<uint8_t> &b, uint32_t v)
    {
        uint8_t parts[5];
        int n = 0;
        do {
            parts[n++] = uint8_t(v & 0x7F);
            v >>= 7;
        } while (v);
        while (n-- > 0)
            b.push_back(uint8_t(parts[n] | (n ? 0x80 : 0)));
    }
    Smf &header(uint16_t division, uint32_t length = 6)
    {
        bytes.insert(bytes.end(), {'M', 'T', 'h', 'd'});
        put32(bytes, length);
        const uint8_t body[6] = {0, 1, 0, 1, uint8_t(division >> 8), uint8_t(division)};
        bytes.insert(bytes.end(), body, body + std::min<uint32_t>(length, 6));
        return *this;
    }
    struct Event {
        uint32_t delta;
        std::vector<uint8_t> data;
    };
    Smf &track(const std::vector<Event> &events, int32_t lengthChange = 0)
    {
        std::vector<uint8_t> body;
        for (const Event &e : events) {
            varLen(body, e.delta);
            body.insert(body.end(), e.data.begin(), e.data.end());
        }
        bytes.insert(bytes.end(), {'M', 'T', 'r', 'k'});
        put32(bytes, uint32_t(int64_t(body.size()) + lengthChange));
        bytes.insert(bytes.end(), body.begin(), body.end());
        return *this;
    }
};

Smf::Event on(uint32_t delta, int note, int velocity = 100, int channel = 0)
{
    return {delta, {uint8_t(0x90 | channel), uint8_t(note), uint8_t(velocity)}};
}
Smf::Event offEvent(uint32_t delta, int note, int channel = 0)
{
    return {delta, {uint8_t(0x80 | channel), uint8_t(note), 0}};
}

// A channel whose every step is OFF, as the load command leaves it, at rate 1/16 and 16 steps.
struct Target {
    std::unique_ptr<ChannelState> channel = std::make_unique<ChannelState>();
    Folder folder;
    Target()
    {
        channel->seqRate = 4;
        channel->seqLength = 16;
        for (SequencerLane &lane : channel->lanes) {
            lane.base = 60;
            for (SequencerStep &step : lane.steps)
                step = {off, 0.0f};
        }
    }
    int32_t import(const Smf &file, int32_t lane = 0)
    {
        writeBytes(folder.file("in.mid"), file.bytes);
        return importPatternMidi(podoStr(folder.file("in.mid").c_str()), *channel, lane);
    }
    int32_t note(int lane, int step) const { return channel->lanes[lane].steps[step].note; }
    float velocity(int lane, int step) const { return channel->lanes[lane].steps[step].velocity; }
    std::vector<int32_t> notes(int lane, int from, int to) const
    {
        std::vector<int32_t> n;
        for (int s = from; s <= to; ++s)
            n.push_back(note(lane, s));
        return n;
    }
};

} // namespace

TEST(PatternMidiImport, NotesFallOnTheStepOfTheirTicksAtTheChannelsRate)
{
    struct Case {
        uint16_t division;
        int32_t rate;
        uint32_t tick;
        int32_t step; // -1: beyond the 64 steps, nothing written
    } cases[] = {
        {480, 4, 120, 1},   // 1/16: 120 ticks a step
        {480, 4, 7679, 63},
        {480, 4, 7680, -1},
        {480, 2, 960, 2},   // 1/4: the division itself
        {480, 0, 3840, 2},  // 1/1: four quarters a step
        {96, 7, 9, 3},      // 1/128: 3 ticks a step
    };
    for (const Case &c : cases) {
        Target t;
        t.channel->seqRate = c.rate;
        ASSERT_EQ(t.import(Smf().header(c.division).track({on(c.tick, 60), offEvent(0, 60)})), 0);
        for (int s = 0; s < 64; ++s)
            EXPECT_EQ(t.note(0, s), s == c.step ? 0 : off) << c.division << " rate " << c.rate << " tick " << c.tick;
    }
    Target noHeader; // one tick a step
    ASSERT_EQ(noHeader.import(Smf().track({on(5, 60)})), 0);
    EXPECT_EQ(noHeader.note(0, 5), 0);
}

TEST(PatternMidiImport, HeldNotesBecomeContinuationSteps)
{
    Target t; // 480 at 1/16: 120 ticks a step
    ASSERT_EQ(t.import(Smf().header(480).track({on(240, 62, 127), offEvent(360, 62)})), 0);
    EXPECT_EQ(t.notes(0, 1, 6), (std::vector<int32_t>{off, 0, held, held, heldEnd, off}));
    EXPECT_FLOAT_EQ(t.velocity(0, 3), 127 * 0.007874016f);
    EXPECT_FLOAT_EQ(t.velocity(0, 5), 127 * 0.007874016f);

    Target sameStep; // a note-off on the note-on's own step changes nothing
    ASSERT_EQ(sameStep.import(Smf().header(480).track({on(240, 62), offEvent(10, 62)})), 0);
    EXPECT_EQ(sameStep.notes(0, 1, 3), (std::vector<int32_t>{off, 0, off}));

    Target tied; // two note-ons without a note-off: the first ties over to the second
    ASSERT_EQ(tied.import(Smf().header(480).track({on(0, 60, 64), on(480, 67, 100)})), 0);
    EXPECT_EQ(tied.notes(0, 0, 5), (std::vector<int32_t>{0, held, held, held, 7, off}));
    EXPECT_FLOAT_EQ(tied.velocity(0, 2), 64 * 0.007874016f);

    Target otherNote; // a note-off of a note that is not sounding ends nothing
    ASSERT_EQ(otherNote.import(Smf().header(480).track({on(0, 60), offEvent(360, 61), {0, {0x90, 61, 0}}})), 0);
    EXPECT_EQ(otherNote.notes(0, 0, 3), (std::vector<int32_t>{0, off, off, off}));
}

TEST(PatternMidiImport, NotesAreOffsetsFromEachTracksFirstNoteInTheirLane)
{
    Target one; // a given lane keeps its base
    ASSERT_EQ(one.import(Smf().header(480).track({on(0, 40), on(0, 45), on(120, 100), on(120, 10)}), 2), 0);
    EXPECT_EQ(one.channel->lanes[2].base, 60);
    EXPECT_EQ(one.notes(2, 0, 2), (std::vector<int32_t>{0, 48, -30})) << "second note on a step dropped, +60 held to +48";

    Target all; // all lanes: a note's lane is its MIDI channel modulo 5, the base its track's first note
    ASSERT_EQ(all.import(Smf()
                             .header(480)
                             .track({on(0, 50, 100, 0), on(120, 52, 100, 5), on(0, 70, 100, 3)})
                             .track({on(240, 55, 100, 3)}),
                         -1),
              0);
    EXPECT_EQ(all.channel->lanes[0].base, 50);
    EXPECT_EQ(all.notes(0, 0, 1), (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(all.channel->lanes[3].base, 55) << "the second track sets the lane's base again";
    EXPECT_EQ(all.notes(3, 1, 2), (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(all.channel->lanes[1].base, 60) << "lanes no note reached keep theirs";
}

TEST(PatternMidiImport, TheSequenceGrowsToItsLastEvent)
{
    struct Case {
        uint32_t lastTick;
        int32_t length, expected;
    } cases[] = {{20 * 120, 16, 21}, {16 * 120, 16, 16}, {70 * 120, 16, 16}, {63 * 120, 8, 64}};
    for (const Case &c : cases) {
        Target t;
        t.channel->seqLength = c.length;
        ASSERT_EQ(t.import(Smf().header(480).track({on(0, 60), offEvent(c.lastTick, 60)})), 0);
        EXPECT_EQ(t.channel->seqLength, c.expected) << c.lastTick / 120;
    }
}

TEST(PatternMidiImport, OtherEventsAndRunningStatusAreReadPast)
{
    Target t;
    const Smf file = Smf()
                         .header(480)
                         .track({
                             {0, {0xFF, 0x03, 4, 'l', 'e', 'a', 'd'}}, // track name
                             {0, {0xF0, 3, 0x7E, 0x7F, 0xF7}},        // system exclusive
                             {0, {0xB0, 7, 100}},                     // controller
                             {0, {0xC0, 5}},                          // program change
                             {0, {0xE0, 0, 64}},                      // pitch bend
                             on(120, 60),
                             {120, {62, 90}},                         // running status: a note-on
                             {120, {62, 0}},                          // and its note-off
                         });
    ASSERT_EQ(t.import(Smf(file).track({{0, {'X', 'Y'}}}).track({})), 0); // a chunk of another kind is skipped
    EXPECT_EQ(t.notes(0, 0, 4), (std::vector<int32_t>{off, 0, 2, heldEnd, off}));
}

// Nothing in a file may take the import past its bytes or its 64 steps; what was read stays.
TEST(PatternMidiImport, MalformedFilesEndQuietlyKeepingWhatWasRead)
{
    Target cutShort; // the last event runs past its chunk
    Smf shortTrack = Smf().header(480).track({on(0, 60), on(120, 64)}, -1);
    shortTrack.bytes.push_back(0);
    ASSERT_EQ(cutShort.import(shortTrack), 0);
    EXPECT_EQ(cutShort.notes(0, 0, 1), (std::vector<int32_t>{0, off}));

    Target beyondFile; // a chunk length past the end of the file
    ASSERT_EQ(beyondFile.import(Smf().header(480).track({on(0, 60), on(120, 64)}, 1000)), 0);
    EXPECT_EQ(beyondFile.notes(0, 0, 1), (std::vector<int32_t>{0, 4}));

    Target hugeDelta; // a delta that never ends stops beyond 28 bits; its note lies past the steps
    Smf endless = Smf().header(480).track({{0, {0x90, 60, 100}}});
    endless.bytes.insert(endless.bytes.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x90, 61, 100});
    ASSERT_EQ(hugeDelta.import(endless), 0);
    EXPECT_EQ(hugeDelta.note(0, 0), 0);
    for (int s = 1; s < 64; ++s)
        EXPECT_EQ(hugeDelta.note(0, s), off) << s;

    Target noDivision; // a division of 0 keeps one tick a step instead of dividing by it
    ASSERT_EQ(noDivision.import(Smf().header(0).track({on(3, 60)})), 0);
    EXPECT_EQ(noDivision.note(0, 3), 0);

    Target shortHeader;
    ASSERT_EQ(shortHeader.import(Smf().header(480, 4).track({on(3, 60)})), 0);
    EXPECT_EQ(shortHeader.note(0, 3), 0);

    Target highBits; // data bytes with the high bit never make a note above 127
    Smf stray = Smf().header(480).track({{0, {0x90, 60, 100}}});
    stray.bytes.insert(stray.bytes.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0x93, 0xC8, 100});
    ASSERT_EQ(highBits.import(stray, -1), 0);
    EXPECT_EQ(highBits.channel->lanes[3].base, 0xC8 & 0x7F);

    Target missing;
    EXPECT_EQ(importPatternMidi(podoStr(missing.folder.file("none.mid").c_str()), *missing.channel, 0), 3);
    EXPECT_EQ(importPatternMidi(podoStr(missing.folder.file("none.mid").c_str()), *missing.channel, 5), 1);
}

TEST(PatternMidiImport, TheEngineImportsIntoItsRunningSequencer)
{
    Engine engine;
    Folder folder;
    writeBytes(folder.file("a.mid"), Smf().header(480).track({on(0, 48, 127), offEvent(240, 48)}).bytes);
    ChannelState &channel = engine.state.target.channels[3];
    channel.seqRate = 4;
    for (SequencerStep &step : channel.lanes[1].steps)
        step = {off, 0.0f};
    ASSERT_EQ(engine.importPatternMidiFile(podoStr(folder.file("a.mid").c_str()), 3, 1), 0);
    EXPECT_EQ(engine.getStepNote(3, 1, 0), 0);
    EXPECT_EQ(engine.getStepNote(3, 1, 1), held);
    EXPECT_EQ(engine.getStepNote(3, 1, 2), heldEnd);
    EXPECT_FLOAT_EQ(engine.getStepVelocity(3, 1, 0), 1.0f);
    EXPECT_EQ(engine.importPatternMidiFile(podoStr(folder.file("a.mid").c_str()), 16, 1), 1);
}
