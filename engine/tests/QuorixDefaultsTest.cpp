// The default program an instance starts from, and the General MIDI and GS resets.
#include "engine/tests/EngineTestSupport.h"

#include "engine/DefaultProgram.h"
#include "engine/HostAutomationMap.h"
#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace quorix_defaults_test {

using namespace engine;
using namespace enginetest;

namespace {

constexpr float kUnity = 0.7071068f;

int ch(int channel, int localId) { return parameterIndex(channel, localId); }

struct Defaults : testing::Test {
    std::unique_ptr<TestQuorix> q;
    void SetUp() override
    {
        clearHostAutomationMaps();
        q = std::make_unique<TestQuorix>();
        q->dispatcher(effOpen, 0, 0, nullptr, 0.0f); // applies the program, as a host's open does
    }
    ChannelState &target(int c) { return q->state.target.channels[c]; }
    float stored(int index) { return q->getParameterValue(index); }
    std::string shown(int index)
    {
        char text[64];
        q->parameterDisplayString(index, text);
        return text;
    }
    std::string programName()
    {
        char name[32] = {};
        q->dispatcher(effGetProgramName, 0, 0, name, 0.0f);
        return name;
    }
};

bool sameBlock(const ProgramBlock &a, const ProgramBlock &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every channel of a block holds the default channel's values.
void expectDefaultChannels(const ProgramBlock &block)
{
    for (int c = 0; c < kChannelCount; ++c) {
        SCOPED_TRACE(c);
        const int first = ch(c, kFirstLocalId);
        EXPECT_EQ(std::memcmp(reinterpret_cast<const uint8_t *>(&block) + offsetof(ProgramBlock, values) + 4 * first,
                              reinterpret_cast<const uint8_t *>(&defaultProgram) + offsetof(ProgramBlock, values) +
                                  4 * first,
                              4 * kChannelParameterCount),
                  0);
        EXPECT_STREQ(block.channels[c].name, "");
        EXPECT_EQ(+block.channels[c].sourcePatch, -1);
    }
}

} // namespace

TEST_F(Defaults, AnInstanceStartsFromTheGeneralMidiSetup)
{
    const ProgramBlock &b = *q->getProgramBlock();
    EXPECT_EQ(+b.byteOrder, kByteOrderMark);
    EXPECT_EQ(+b.formatWord, 2);
    EXPECT_EQ(+b.tempo, 120.0f);
    EXPECT_EQ(+b.useHostTempo, 1);
    EXPECT_EQ(+b.reserved, 1);
    EXPECT_EQ(+b.currentChannel, 0);
    for (int c = 0; c < kChannelCount; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(target(c).mode, c == 9 ? 1 : 0);
        EXPECT_EQ(+target(c).on, c == 0 ? 1 : 0);
        EXPECT_EQ(target(c).voiceLimit, 16);
        EXPECT_EQ(target(c).seqLength, 16);
        EXPECT_EQ(target(c).seqRate, 4);
        EXPECT_EQ(+b.channels[c].sourcePatch, -1);
        for (const SequencerLane &l : target(c).lanes) {
            EXPECT_EQ(+l.on, 1);
            EXPECT_EQ(l.base, 128); // the first held key
            EXPECT_EQ(l.steps[63].note, 52);
        }
    }
    EXPECT_EQ(q->state.target.master.voiceLimit, 128);
    EXPECT_EQ(+q->state.target.master.insertEffectsOn, 1);
    EXPECT_EQ(+q->state.target.master.chorus.on, 1);
    EXPECT_EQ(target(0).melody.pitchBendRange, 2);
    EXPECT_EQ(target(0).melody.arpOctave, 1);
    EXPECT_EQ(target(0).melody.filterSlope, 1);

    // What a musician reads for the defaults.
    EXPECT_EQ(shown(master::Volume), "0.00");
    EXPECT_EQ(shown(master::Tune), "440.0");
    EXPECT_EQ(shown(master::VoiceLimit), "128");
    EXPECT_EQ(shown(ch(0, local::Pan)), "C00");
    EXPECT_EQ(shown(ch(0, local::VoiceLimit)), "16 voices");
    EXPECT_EQ(shown(ch(0, local::SeqRate)), "1/16");
    EXPECT_EQ(shown(ch(0, local::SeqLength)), "16");
    EXPECT_EQ(shown(ch(0, local::SeqRootPitch)), "off");
    EXPECT_EQ(shown(ch(0, local::PitchBendRange)), "2");
    EXPECT_EQ(shown(ch(0, local::LfoRate)), "2.50");
    EXPECT_EQ(shown(ch(0, local::ArpRate)), "1/16");
    EXPECT_EQ(shown(ch(0, local::FilterCutoff)), "20000.0");

    // Channel index 9 is a kit of 65 default keys.
    const DrumKitState &kit = target(9).drum;
    EXPECT_EQ(kit.keyRangeLow, 0);
    EXPECT_EQ(kit.keyRangeHigh, 127);
    for (const DrumKeyState &key : kit.drumKeys) {
        EXPECT_EQ(key.volume, kUnity);
        EXPECT_EQ(key.release, 1.0f);
        EXPECT_EQ(key.ampEnvVelocityAmount, 0.95f);
        EXPECT_EQ(key.chorusSend, 0.5f);
        EXPECT_EQ(key.muteGroup, 0);
        EXPECT_EQ(key.insertBus, 0);
    }
    EXPECT_EQ(shown(ch(9, local::DrumVolume + 17 * 64)), "0.00");
}

TEST_F(Defaults, ASecondInstanceStartsFromTheSameSetup)
{
    q->setParameterValue(ch(2, local::Volume), 0.1f);
    TestQuorix second;
    EXPECT_TRUE(sameBlock(*second.getProgramBlock(), defaultProgram));
    EXPECT_FALSE(sameBlock(*q->getProgramBlock(), defaultProgram));
}

TEST(DefaultProgram, ChannelDefaultsFollowTheModeTheTemplateHolds)
{
    auto block = std::make_unique<ProgramBlock>();
    for (int i = 0; i < kParameterCount; ++i)
        block->values[i] = 0.77f;
    block->values[ch(5, local::Mode)] = 0.3f;
    fillDefaultChannel(*block, 4);
    fillDefaultChannel(*block, 5);
    // 0.77 rounds to a kit, which is then stored as a whole 1.0; 0.3 is a melody channel.
    EXPECT_EQ(+block->values[ch(4, local::Mode)], 1.0f);
    EXPECT_EQ(+block->values[ch(4, local::DrumVolume + 17 * 30)], kUnity);
    EXPECT_EQ(+block->values[ch(4, local::KitKeyRangeHigh)], 1.0f);
    EXPECT_EQ(+block->values[ch(5, local::Mode)], 0.3f);
    EXPECT_EQ(+block->values[ch(5, local::ArpGateTime)], 0.75f);
    // "Seq.Part" and a melody channel's unused values are left as they were.
    EXPECT_EQ(+block->values[ch(5, local::LastMelody + 1)], 0.77f);
    EXPECT_EQ(+block->values[ch(5, local::SeqPart)], 0.77f);
    EXPECT_EQ(+block->values[ch(4, local::SeqPart)], 0.77f);
    EXPECT_EQ(+block->values[ch(5, local::On)], 0.0f);
    EXPECT_EQ(+block->values[ch(5, local::SeqLength)], 5.0f / 21.0f);
    EXPECT_EQ(+block->channels[5].sourcePatch, -1);
    fillDefaultChannel(*block, -1); // nothing to do
    fillDefaultChannel(*block, 16);
}

TEST_F(Defaults, LoadingOneDefaultChannelLeavesEverythingElse)
{
    ProgramBlock &b = *q->getProgramBlock();
    q->setParameterValue(master::Volume, 0.2f);
    q->setParameterValue(ch(3, local::Volume), 0.1f);
    q->setParameterValue(ch(3, local::Mode), 1.0f);
    q->setParameterValue(ch(4, local::Volume), 0.3f);
    q->setChannelName(3, "Strings");
    b.channels[3].sourceCategory = 7;
    b.channels[3].sourcePatch = 12;
    b.channels[3].reserved[0] = 0x5A;
    const auto before = std::make_unique<ProgramBlock>(b);

    q->loadDefaultChannel(3, -1);
    EXPECT_EQ(stored(ch(3, local::Volume)), kUnity);
    EXPECT_EQ(stored(ch(3, local::Mode)), 0.0f);
    EXPECT_STREQ(b.channels[3].name, "");
    EXPECT_EQ(+b.channels[3].sourceCategory, 0);
    EXPECT_EQ(+b.channels[3].sourcePatch, -1);
    EXPECT_EQ(+b.channels[3].reserved[0], 0x5A);
    EXPECT_EQ(stored(master::Volume), 0.2f);
    EXPECT_EQ(stored(ch(4, local::Volume)), 0.3f);
    EXPECT_EQ(std::memcmp(&b.channels[4], &before->channels[4], sizeof(ChannelSlot)), 0);
    // Nothing sounds different until the channel is applied.
    EXPECT_EQ(target(3).volume, 0.1f);
    EXPECT_EQ(target(3).mode, 1);
    q->applyChannelParameters(3, true, true);
    EXPECT_EQ(target(3).volume, kUnity);
    EXPECT_EQ(target(3).mode, 0);

    q->setCurrentChannel(9);
    q->setParameterValue(ch(9, local::DrumVolume), 0.0f);
    q->loadDefaultChannel(-1, -1); // the channel being edited: a kit again
    EXPECT_EQ(stored(ch(9, local::DrumVolume)), kUnity);
}

// Both resets bring back the General MIDI setup; the running master values stay.
TEST_F(Defaults, ResetsRestoreTheSetupButKeepTheRunningMasterValues)
{
    for (bool gs : {false, true}) {
        SCOPED_TRACE(gs ? "GS" : "GM");
        q->setParameterValue(master::Volume, 0.3f);
        q->setParameterValue(master::Transpose, 0.75f);
        q->setParameterValue(master::ChorusFirst + 3, 0.1f);
        q->setParameterValue(master::ReverbOn, 0.0f);
        q->setParameterValue(ch(3, local::Mode), 1.0f);
        q->setParameterValue(ch(9, local::Mode), 0.0f);
        q->setParameterValue(ch(5, local::Transpose), 0.0f);
        q->setChannelName(5, "Bass");
        q->state.controllers[2].rhythmPart = 1;
        q->state.controllers[4].pitchBend = 0;
        q->getProgramBlock()->tempo = 90.0f;

        if (gs)
            q->resetToGsDefault();
        else
            q->resetToGmDefault();

        EXPECT_EQ(stored(master::Volume), 0.3f);
        EXPECT_EQ(q->state.target.master.volume, 0.3f);
        EXPECT_EQ(q->state.target.master.transpose, 24);
        EXPECT_EQ(stored(master::ChorusFirst + 3), kUnity);
        EXPECT_EQ(q->state.target.master.chorus.params[3], kUnity);
        EXPECT_EQ(+q->state.target.master.reverb.on, 1);
        expectDefaultChannels(*q->getProgramBlock());
        for (int c = 0; c < kChannelCount; ++c) {
            SCOPED_TRACE(c);
            EXPECT_EQ(target(c).mode, c == 9 ? 1 : 0);
            EXPECT_EQ(+q->state.controllers[c].rhythmPart, c == 9 ? 1 : 0);
            EXPECT_EQ(q->state.controllers[c].pitchBend, 8192);
            EXPECT_EQ(q->state.controllers[c].volumeTarget, 100.0f);
        }
        EXPECT_EQ(target(5).transpose, 0);
        EXPECT_EQ(target(9).drum.drumKeys[64].volume, kUnity);
        EXPECT_EQ(q->getTempo(), 120.0f);
        EXPECT_EQ(programName(), "GM Default");
    }
}

} // namespace quorix_defaults_test
