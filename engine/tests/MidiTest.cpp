// MIDI channel messages: routing over linked channels, controllers and pedals, RPN and NRPN,
// program change, and what reaches the controller assignments.
#include "engine/tests/PlaySupport.h"

#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace engine;
using namespace enginetest;

namespace {

class Midi : public Player
{
protected:
    float stored(int32_t channel, int32_t localId) { return q->getParameterValue(parameterIndex(channel, localId)); }
    const ControllerState &controller(int32_t channel) { return q->state.controllers[channel]; }
};

TEST_F(Midi, MessagesReachTheRunOfLinkedChannels)
{
    for (int c = 2; c <= 4; ++c)
        melody(c);
    setLocal(3, local::Link, 1.0f);
    midi(0x92, 60, 100); // index 2: sounds on 2 and 3
    midi(0x93, 62, 100); // index 3: the same run
    midi(0x94, 64, 100); // index 4: alone
    EXPECT_EQ(play(2).voiceCount, 2);
    EXPECT_EQ(play(3).voiceCount, 2);
    EXPECT_EQ(play(4).voiceCount, 1);

    midi(0xE3, 0, 96);
    EXPECT_EQ(controller(2).pitchBend, 96 * 128);
    EXPECT_EQ(controller(3).pitchBend, 96 * 128);
    EXPECT_EQ(controller(4).pitchBend, 8192);

    // After CC 127 controllers act on the receiving channel alone; notes still play on the run.
    midi(0xB2, 127, 0);
    midi(0xB2, 7, 50);
    EXPECT_EQ(controller(2).volumeTarget, 50.0f);
    EXPECT_EQ(controller(3).volumeTarget, 100.0f);
    midi(0x92, 65, 100);
    EXPECT_EQ(play(3).voiceCount, 3);
    midi(0xB2, 126, 0);
    midi(0xB2, 7, 60);
    EXPECT_EQ(controller(3).volumeTarget, 60.0f);
}

TEST_F(Midi, DataBytesAreTakenAsSevenBitsAndSystemMessagesAreIgnored)
{
    melody(0);
    // Bytes as a host command passes them: taken as signed, 0xC5 would be -59.
    const uint8_t noteOn[3] = {0x90, 0xC5, 0xFF};
    q->dispatchMidiBytes(noteOn);
    ASSERT_EQ(play(0).voiceCount, 1);
    EXPECT_EQ(play(0).voices[0].key, 0x45);
    EXPECT_EQ(play(0).voices[0].targetLevel, 1.0f);
    midi(0xB0, 0x80 | 7, 0x80 | 20); // controller 7, value 20
    EXPECT_EQ(controller(0).volumeTarget, 20.0f);
    midi(0xB0, 0, 300);
    EXPECT_EQ(controller(0).bankMsb, 300 & 0x7F);
    midi(0xB0, 0x80 | 66, 127); // sostenuto, whatever the high bit
    EXPECT_EQ(controller(0).sostenuto, 127);

    q->assignments.clear();
    const ControllerState before = controller(0);
    for (int status : {0xF0, 0xF2, 0xF8, 0xFF, 0x40}) {
        q->handleMidiMessage(0, status, 60, 100);
        midi(status, 60, 100);
    }
    EXPECT_EQ(play(0).voiceCount, 1);
    EXPECT_TRUE(q->assignments.empty());
    EXPECT_EQ(controller(0).volumeTarget, before.volumeTarget);
    EXPECT_EQ(controller(0).pitchBend, before.pitchBend);
    EXPECT_EQ(controller(0).bankMsb, before.bankMsb);
}

TEST_F(Midi, SourcesAndValuesReachTheAssignmentsButNotBankOrModeMessages)
{
    melody(0);
    struct Case {
        int status, d1, d2;
        int source;
        float value;
    };
    const Case cases[] = {
        {0x90, 60, 127, 128, 1.0f}, {0x90, 60, 0, 129, 0.0f}, {0x80, 60, 64, 129, 64.0f / 127},
        {0xA0, 60, 32, 131, 32.0f / 127}, {0xD0, 96, 0, 131, 96.0f / 127}, {0xE0, 0, 64, 130, 0.5f},
        {0xB0, 74, 127, 74, 1.0f}, {0xB0, 64, 70, 64, 1.0f}, {0xB0, 64, 63, 64, 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.status << " " << c.d1);
        q->assignments.clear();
        midi(c.status, c.d1, c.d2);
        ASSERT_EQ(q->assignments.size(), 1u);
        EXPECT_EQ(q->assignments[0].source, c.source);
        EXPECT_FLOAT_EQ(q->assignments[0].value, c.value);
    }
    q->assignments.clear();
    for (int cc : {0, 32, 120, 121, 123, 126, 127})
        midi(0xB0, cc, 0);
    midi(0xC0, 5, 0);
    // Only the bend that resetting the controllers centres is passed on.
    ASSERT_EQ(q->assignments.size(), 1u);
    EXPECT_EQ(q->assignments[0].source, 130);
    EXPECT_FLOAT_EQ(q->assignments[0].value, 0.5f);
}

TEST_F(Midi, RpnAndNrpnDataEntrySetParameters)
{
    melody(0);
    sharedConfiguration().rpnOn = 1;
    sharedConfiguration().nrpnOn = 1;
    midi(0xB0, 101, 0);
    midi(0xB0, 100, 0);
    midi(0xB0, 6, 12);
    EXPECT_FLOAT_EQ(stored(0, local::PitchBendRange), 0.5f);
    midi(0xB0, 101, 0);
    midi(0xB0, 100, 2);
    midi(0xB0, 6, 28);
    EXPECT_FLOAT_EQ(stored(0, local::Transpose), 12.0f / 96.0f);
    EXPECT_EQ(q->state.target.channels[0].transpose, -36);
    midi(0xB0, 99, 1);
    midi(0xB0, 98, 0x65);
    midi(0xB0, 6, 64);
    EXPECT_FLOAT_EQ(stored(0, local::AmpEnvelope + 2), 64.0f / 127.0f);
    EXPECT_EQ(controller(0).rpn, 0x7F7F);
    // Modulation depth: data entry LSB completes the value.
    midi(0xB0, 101, 0);
    midi(0xB0, 100, 5);
    midi(0xB0, 6, 16);
    midi(0xB0, 38, 0);
    EXPECT_FLOAT_EQ(stored(0, local::OscLfoAmount), std::sqrt(16.0f * 128.0f / 4096.0f));

    // A drum kit's NRPN reaches one key; with the switch off nothing changes.
    setLocal(9, local::Mode, 1.0f);
    setLocal(9, local::On, 1.0f);
    midi(0xB9, 99, 0x1A);
    midi(0xB9, 98, 38);
    midi(0xB9, 6, 100);
    EXPECT_FLOAT_EQ(stored(9, local::DrumVolume + 17 * 14), 100.0f / 127.0f);
    sharedConfiguration().nrpnOn = 0;
    midi(0xB9, 6, 10);
    EXPECT_FLOAT_EQ(stored(9, local::DrumVolume + 17 * 14), 100.0f / 127.0f);
    sharedConfiguration().nrpnOn = 1;
}

// The GS vibrato, filter and envelope NRPNs move their parameter by (data - 64) / 128 from the
// patch's own setting: 64 changes nothing, a repeat does not add up, and a reset starts again
// from what the channel then holds.
TEST_F(Midi, GsNrpnsOffsetThePatchSettingWithoutAddingUp)
{
    struct Case {
        int32_t lsb;
        int32_t localId;
    };
    const Case cases[] = {
        {0x08, local::LfoRate},      {0x09, local::OscLfoAmount},       {0x0A, local::LfoDelayTime},
        {0x20, local::FilterCutoff}, {0x21, local::FilterResonance},    {0x63, local::AmpEnvelope},
        {0x64, local::AmpEnvelope + 1}, {0x66, local::AmpEnvelope + 3},
    };
    sharedConfiguration().nrpnOn = 1;
    auto nrpn = [&](int32_t lsb, int32_t value) {
        midi(0xB0, 99, 1);
        midi(0xB0, 98, lsb);
        midi(0xB0, 6, value);
    };
    for (const bool afterReset : {false, true}) {
        if (afterReset)
            q->resetToGmDefault();
        melody(0);
        for (const Case &c : cases)
            setLocal(0, c.localId, afterReset ? 0.25f : 0.5f);
        const float base = afterReset ? 0.25f : 0.5f;
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << "NRPN 01 " << std::hex << c.lsb << (afterReset ? " after a reset" : ""));
            nrpn(c.lsb, 64);
            EXPECT_FLOAT_EQ(stored(0, c.localId), base);
            nrpn(c.lsb, 80);
            nrpn(c.lsb, 80);
            EXPECT_FLOAT_EQ(stored(0, c.localId), base + 16.0f / 128.0f);
            nrpn(c.lsb, 0);
            EXPECT_FLOAT_EQ(stored(0, c.localId), std::max(base - 0.5f, 0.0f));
            nrpn(c.lsb, 127);
            EXPECT_FLOAT_EQ(stored(0, c.localId), std::min(base + 63.0f / 128.0f, 1.0f));
            nrpn(c.lsb, 64);
            EXPECT_FLOAT_EQ(stored(0, c.localId), base);
        }
    }
}

TEST_F(Midi, SostenutoHoldsOnlyTheNotesWhoseKeysWereDownWhenItWentDown)
{
    melody(0, MelodySetup{.release = 0.5f});
    sharedConfiguration().sostenutoOn = 1;
    midi(0x90, 60, 100);
    midi(0x90, 62, 100);
    midi(0x80, 62, 0);
    render(64); // 62 is in its release
    midi(0xB0, 66, 127);
    midi(0x90, 64, 100); // pressed after the pedal
    midi(0x80, 60, 0);
    midi(0x80, 64, 0);
    render(64);
    ChannelPlayState &p = play(0);
    ASSERT_EQ(p.voiceCount, 3);
    EXPECT_NE(p.voices[0].ampEnv.state, kEnvRelease); // 60: held by the pedal
    EXPECT_EQ(p.voices[1].ampEnv.state, kEnvRelease);
    EXPECT_EQ(p.voices[1].sostenutoHeld, 0);
    EXPECT_EQ(p.voices[2].ampEnv.state, kEnvRelease); // 64
    midi(0xB0, 66, 0);
    render(64);
    EXPECT_EQ(p.voices[0].ampEnv.state, kEnvRelease);
}

TEST_F(Midi, TheDamperHoldsReleasedNotesUntilItIsLifted)
{
    melody(0, MelodySetup{.release = 0.5f});
    sharedConfiguration().damperOn = 1;
    midi(0xB0, 64, 127);
    midi(0x90, 60, 100);
    midi(0x80, 60, 0);
    render(256);
    EXPECT_NE(play(0).voices[0].ampEnv.state, kEnvRelease);
    midi(0xB0, 64, 0);
    render(64);
    EXPECT_EQ(play(0).voices[0].ampEnv.state, kEnvRelease);
}

TEST_F(Midi, PriorityModeSendsEveryMessageToTheChannelBeingEdited)
{
    melody(0);
    melody(5);
    q->setCurrentChannel(5);
    set(master::PriorityMode, 1.0f);
    midi(0x99, 60, 100);
    EXPECT_EQ(play(5).voiceCount, 1);
    EXPECT_EQ(play(9).voiceCount, 0);
}

TEST_F(Midi, ProgramChangesNameTheBankFromTheBankSelectAndTheRhythmPart)
{
    melody(0);
    sharedConfiguration().programChangeOn = 1;
    midi(0xC9, 17, 0); // rhythm part: drum category, the program's group of eight
    midi(0xC0, 17, 0);
    midi(0xB0, 0, 127);
    midi(0xB0, 32, 40);
    midi(0xC0, 3, 0); // bank MSB 127: the category is the LSB
    ASSERT_EQ(q->programs.size(), 3u);
    EXPECT_EQ(q->programs[0].channel, 9);
    EXPECT_EQ(q->programs[0].bankNumber, 1);
    EXPECT_EQ(q->programs[0].program, 2);
    EXPECT_EQ(q->programs[1].bankNumber, 0);
    EXPECT_EQ(q->programs[1].program, 17);
    EXPECT_EQ(q->programs[2].bankNumber, 40);
    EXPECT_EQ(q->programs[2].program, 3);
    sharedConfiguration().programChangeOn = 0;
    midi(0xC0, 4, 0);
    EXPECT_EQ(q->programs.size(), 3u);
    sharedConfiguration().programChangeOn = 1;
}

TEST_F(Midi, RhythmPartProgramsSelectTheirKitsSlot)
{
    // Each group of eight programs shares a slot; program 25 has the ninth slot to itself.
    const struct {
        int program, slot;
    } cases[] = {{0, 0}, {7, 0}, {8, 1}, {24, 3}, {25, 8}, {26, 3}, {31, 3}, {56, 7}, {127, 15}};
    melody(0);
    sharedConfiguration().programChangeOn = 1;
    for (const auto &c : cases) {
        q->programs.clear();
        midi(0xC9, static_cast<uint8_t>(c.program), 0);
        ASSERT_EQ(q->programs.size(), 1u) << c.program;
        EXPECT_EQ(q->programs[0].bankNumber, 1) << c.program;
        EXPECT_EQ(q->programs[0].program, c.slot) << c.program;
    }
}

TEST_F(Midi, ResetControllersKeepsTheBankAndRhythmPartOnlyWhenAskedTo)
{
    melody(9);
    midi(0xB9, 0, 5);
    midi(0xB9, 7, 20);
    midi(0xB9, 101, 0);
    midi(0xE9, 0, 0);
    midi(0xB9, 121, 0);
    EXPECT_EQ(controller(9).bankMsb, 5);
    EXPECT_EQ(controller(9).rhythmPart, 1);
    EXPECT_EQ(controller(9).volumeTarget, 100.0f);
    EXPECT_EQ(controller(9).pitchBend, 8192);
    EXPECT_EQ(controller(9).rpn, 0x7F7F);
    q->resetControllers(9, 0);
    EXPECT_EQ(controller(9).bankMsb, 0);
    EXPECT_EQ(controller(9).rhythmPart, 1);
    EXPECT_EQ(controller(3).rhythmPart, 0);
}

TEST_F(Midi, ChannelModeMessagesStopAndResetTheirChannelsOnly)
{
    melody(0);
    melody(1);
    midi(0x90, 60, 100);
    midi(0x91, 60, 100);
    midi(0xB0, 123, 0); // all sound off: a fast fade
    EXPECT_EQ(play(0).voiceCount, 1);
    EXPECT_NE(play(0).voices[0].flags & 4, 0);
    EXPECT_EQ(play(1).voices[0].flags & 4, 0);
    midi(0xB1, 120, 0); // all sound off by reset: gone at once
    EXPECT_EQ(play(1).voiceCount, 0);
    EXPECT_EQ(play(0).voiceCount, 1);
}

// A note stops by its own note-off and by controller 120 or 123 of the MIDI channel it came on,
// whatever Priority Mode made of the routing after it started (controller 124 turns the mode on,
// 125 off, from any channel).
TEST_F(Midi, NotesStopWhereverPriorityModeRoutedThem)
{
    struct Case {
        const char *name;
        bool startedUnderPriority; // the note-on went to the edited channel, the stop comes after 125
        int32_t stop;              // 0 the note's own note-off, else the controller sent on all channels
    };
    const Case cases[] = {
        {"note-off after 124", false, 0}, {"120 after 124", false, 120}, {"123 after 124", false, 123},
        {"note-off after 125", true, 0},  {"120 after 125", true, 120},  {"123 after 125", true, 123},
    };
    sharedConfiguration().omniOn = 1;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        start(44100.0f);
        melody(0);
        melody(3);
        q->setCurrentChannel(0);
        if (c.startedUnderPriority)
            midi(0xB7, 124, 0);
        midi(0x93, 69, 100);
        const int32_t sounding = c.startedUnderPriority ? 0 : 3;
        ASSERT_EQ(play(sounding).voiceCount, 1);
        midi(0xB7, c.startedUnderPriority ? 125 : 124, 0x7F);
        ASSERT_EQ(q->state.target.master.priorityMode != 0, !c.startedUnderPriority);
        if (c.stop == 0)
            midi(0x83, 69, 0);
        else
            for (int32_t ch = 0; ch < 16; ++ch)
                midi(0xB0 | ch, c.stop, 0);
        const Audio out = render(44100);
        EXPECT_LT(peak(out.left, 22050, 44100), 1e-4f);
    }
    // The routing itself stays: under Priority Mode a new note on channel 10 sounds on the edited
    // channel.
    midi(0xB7, 124, 0);
    midi(0x99, 60, 100);
    EXPECT_EQ(play(0).voiceCount, 1);
    EXPECT_EQ(play(9).voiceCount, 0);
}

TEST_F(Midi, ThePitchWheelAndModulationOfTheEditedChannelReachTheEditor)
{
    RecordingEditor *editor = q->openEditor();
    ASSERT_NE(editor, nullptr);
    melody(0);
    melody(1);
    q->setCurrentChannel(1);
    editor->take();
    midi(0xE0, 0, 0);
    midi(0xE1, 0, 96);
    midi(0xB1, 1, 127);
    std::vector<Message> seen = editor->take();
    std::vector<float> wheel, modulation;
    for (const Message &m : seen) {
        if (m.tag == tag::PitchWheel)
            wheel.push_back(m.value());
        if (m.tag == tag::ModulationWheel)
            modulation.push_back(m.value());
    }
    ASSERT_EQ(wheel.size(), 1u);
    EXPECT_FLOAT_EQ(wheel[0], 96.0f * 128.0f / 16384.0f);
    ASSERT_EQ(modulation.size(), 1u);
    EXPECT_FLOAT_EQ(modulation[0], 1.0f);
    EXPECT_EQ(controller(1).modulation, 1);
}

} // namespace
