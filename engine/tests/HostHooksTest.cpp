// The host's side of an instance: the state chunk, program names, the vendor-specific commands,
// suspend, sample rate, pins and the end of an edit.
#include "engine/tests/PlaySupport.h"

#include "engine/DefaultProgram.h"
#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace engine;
using namespace enginetest;

namespace {

class HostHooks : public Player
{
protected:
    void SetUp() override
    {
        Player::SetUp();
        q->setTempo(100.0f); // a program as a host saves it has a tempo
    }
    std::vector<uint8_t> chunk()
    {
        void *data = nullptr;
        const auto size = q->dispatcher(effGetChunk, 0, 0, &data, 0.0f);
        const auto *bytes = static_cast<const uint8_t *>(data);
        return std::vector<uint8_t>(bytes, bytes + size);
    }
    intptr_t setChunk(std::vector<uint8_t> &bytes)
    {
        return q->dispatcher(effSetChunk, 0, intptr_t(bytes.size()), bytes.data(), 0.0f);
    }
    ProgramBlock &blockOf(std::vector<uint8_t> &bytes) { return *reinterpret_cast<ProgramBlock *>(bytes.data()); }
    intptr_t command(const char (&what)[5], float opt, void *ptr = nullptr)
    {
        return q->dispatcher(effVendorSpecific, vstFourCC("host"), vstFourCC(what), ptr, opt);
    }
};

// The engine's factory hands out a whole instance or nothing, and a refused one is counted out again.
TEST(QuorixCreate, GivesAWholeInstanceOrNull)
{
    const int32_t before = podoVST::getInstanceCount();
    EXPECT_EQ(Quorix::create(nullptr), nullptr) << "no host callback";
    EXPECT_EQ(podoVST::getInstanceCount(), before);
    Quorix *made = Quorix::create(recordingHost);
    ASSERT_NE(made, nullptr);
    EXPECT_FALSE(made->hasConstructionFailed());
    EXPECT_EQ(podoVST::getInstanceCount(), before + 1);
    EXPECT_NE(made->getAeffect()->flags & effFlagsIsSynth, 0);
    delete made;
    EXPECT_EQ(podoVST::getInstanceCount(), before);
}

TEST_F(HostHooks, TheChunkIsACopyThatLaterChangesLeaveAlone)
{
    set(master::Tune, 0.25f);
    void *data = nullptr;
    ASSERT_EQ(q->dispatcher(effGetChunk, 0, 0, &data, 0.0f), kProgramBlockSize);
    ASSERT_NE(data, static_cast<void *>(&q->programBlock));
    auto *handed = static_cast<ProgramBlock *>(data);
    EXPECT_EQ(+handed->byteOrder, 76);
    EXPECT_EQ(+handed->values[master::Tune], 0.25f);
    set(master::Tune, 0.75f);
    EXPECT_EQ(+handed->values[master::Tune], 0.25f);
}

TEST_F(HostHooks, AChunkGivenBackRestoresEveryValue)
{
    melody(3);
    set(master::Tune, 0.3f);
    setLocal(3, local::FilterCutoff, 0.4f);
    std::vector<uint8_t> saved = chunk();
    set(master::Tune, 0.9f);
    setLocal(3, local::FilterCutoff, 0.9f);
    ASSERT_EQ(setChunk(saved), 1);
    EXPECT_EQ(chunk(), saved);
    EXPECT_EQ(q->state.target.master.tune, 0.3f);
    EXPECT_EQ(q->state.target.channels[3].melody.filterCutoff, 0.4f);
}

TEST_F(HostHooks, AChunkInTheOtherByteOrderIsConvertedAndAnUnknownMarkRefused)
{
    set(master::Tune, 0.3f);
    std::vector<uint8_t> saved = chunk();
    std::vector<uint8_t> swapped = saved;
    // Write it as the other machine would: every multi-byte field reversed, mark 66.
    swapProgramByteOrder(&blockOf(swapped), 1); // a block with our mark is left alone...
    swapped[0] = 66;
    swapProgramByteOrder(&blockOf(swapped), 1); // ...one with another mark is reversed
    swapped[0] = 66;
    ASSERT_NE(swapped, saved);
    set(master::Tune, 0.8f);
    ASSERT_EQ(setChunk(swapped), 1);
    EXPECT_EQ(chunk(), saved);

    std::vector<uint8_t> odd = saved;
    odd[0] = 0;
    set(master::Tune, 0.8f);
    EXPECT_EQ(setChunk(odd), 0);
    EXPECT_EQ(q->state.target.master.tune, 0.8f);
    std::vector<uint8_t> shorter(saved.begin(), saved.end() - 1);
    EXPECT_EQ(setChunk(shorter), 0);
}

TEST_F(HostHooks, EveryFieldOfAChunkIsBroughtIntoRange)
{
    std::vector<uint8_t> bytes = chunk();
    ProgramBlock &b = blockOf(bytes);
    b.values[master::Volume] = std::numeric_limits<float>::quiet_NaN();
    b.values[master::Tune] = 7.0f;
    b.currentChannel = 40;
    b.selectedDrumSlot[2] = 65;
    b.returnPage = -3;
    b.tuning.temperament = 99;
    b.tuning.offsets[4] = -400;
    b.tempo = std::numeric_limits<float>::infinity();
    std::memset(b.name, 'x', sizeof b.name);
    std::memset(b.channels[5].name, 'y', sizeof b.channels[5].name);
    b.channels[6].sourceCategory = 5000;
    b.channels[6].sourcePatch = 7;
    b.channels[7].sourceCategory = 12;
    b.channels[7].sourcePatch = 3;
    ASSERT_EQ(setChunk(bytes), 1);
    const ProgramBlock &p = q->programBlock;
    EXPECT_EQ(+p.values[master::Volume], 0.0f);
    EXPECT_EQ(+p.values[master::Tune], 1.0f);
    EXPECT_EQ(+p.currentChannel, 0);
    EXPECT_EQ(+p.selectedDrumSlot[2], 0);
    EXPECT_EQ(+p.returnPage, 0);
    EXPECT_EQ(+p.tuning.temperament, 0);
    EXPECT_EQ(+p.tuning.offsets[4], -99);
    EXPECT_EQ(+p.tempo, 120.0f);
    EXPECT_EQ(std::strlen(p.name), 23u);
    EXPECT_EQ(std::strlen(p.channels[5].name), 23u);
    EXPECT_EQ(+p.channels[6].sourceCategory, -1);
    EXPECT_EQ(+p.channels[6].sourcePatch, -1);
    EXPECT_EQ(+p.channels[7].sourceCategory, 12);
    EXPECT_EQ(+p.channels[7].sourcePatch, 3);
}

TEST_F(HostHooks, TheOneProgramIsNamedAndOtherIndexesAreNot)
{
    q->changeProgramName("A name longer than twenty-three");
    char name[64];
    std::memset(name, 'z', sizeof name);
    q->getProgramName(name);
    EXPECT_STREQ(name, "A name longer than twen");
    EXPECT_EQ(q->dispatcher(effGetProgramNameIndexed, 0, 0, name, 0.0f), 1);
    EXPECT_STREQ(name, "A name longer than twen");
    EXPECT_EQ(q->dispatcher(effGetProgramNameIndexed, 1, 0, name, 0.0f), 0);
    EXPECT_STREQ(name, "");
}

TEST_F(HostHooks, PolyphonyIsHeldToOneTo1024Voices)
{
    struct Case {
        float opt;
        float stored;
    };
    const Case cases[] = {{2048.0f, 1.0f}, {64.0f, 63.0f / 1023.0f}, {1.0f, 0.0f}, {0.0f, 0.0f}, {-5.0f, 0.0f},
                          {std::numeric_limits<float>::quiet_NaN(), 0.0f}, {1024.9f, 1.0f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.opt);
        set(master::VoiceLimit, 0.5f);
        EXPECT_EQ(command("poly", c.opt), 0);
        EXPECT_FLOAT_EQ(q->getParameterValue(master::VoiceLimit), c.stored);
        EXPECT_GE(q->state.target.master.voiceLimit, 1);
    }
}

TEST_F(HostHooks, TheHostCommandsReachTheirTargets)
{
    melody(0);
    command("Dtct", 0.7f);
    EXPECT_EQ(q->state.runtime.flushEffectTails, 1);
    command("Dtct", 0.2f);
    EXPECT_EQ(q->state.runtime.flushEffectTails, 0);

    sharedConfiguration().ramOption = 0;
    command("RAMs", 0.0f);
    EXPECT_EQ(sharedConfiguration().ramOption, 1);

    command("SetV", 0.25f);
    EXPECT_EQ(q->getParameterValue(master::Volume), 0.25f);
    EXPECT_EQ(q->state.target.master.volume, 0.25f);

    command("bMtO", 0.0f);
    EXPECT_EQ(q->state.runtime.foldSubOutputs, 1);
    command("bMtO", 0.5f);
    EXPECT_EQ(q->state.runtime.foldSubOutputs, 0);

    uint8_t noteOn[3] = {0x90, 60, 100};
    command("load", 0.0f, noteOn);
    ASSERT_EQ(play(0).voiceCount, 1);
    command("load", 0.0f, nullptr);
    EXPECT_EQ(play(0).voiceCount, 1);

    command("anof", 0.0f);
    EXPECT_NE(play(0).voices[0].flags & 4, 0);

    // Unknown subcommands and indexes change nothing and answer 0.
    const ProgramBlock before = q->programBlock;
    EXPECT_EQ(command("what", 1.0f), 0);
    EXPECT_EQ(q->dispatcher(effVendorSpecific, vstFourCC("tsoh"), vstFourCC("SetV"), nullptr, 0.9f), 0);
    EXPECT_EQ(std::memcmp(&before, &q->programBlock, sizeof before), 0);
}

TEST_F(HostHooks, TheGmAndGsResetsLoadTheDefaultProgramAndTheGsResetKeepsTheVolume)
{
    const int32_t cutoff = parameterIndex(2, local::FilterCutoff);
    const float defaultCutoff = defaultProgram.values[cutoff];
    const float defaultVolume = defaultProgram.values[master::Volume];
    ASSERT_NE(defaultVolume, 0.3f);
    set(master::Volume, 0.3f);
    set(cutoff, defaultCutoff > 0.5f ? 0.1f : 0.9f);
    EXPECT_EQ(command("GSrs", 0.0f), 0);
    EXPECT_EQ(q->getParameterValue(master::Volume), 0.3f);
    EXPECT_EQ(q->getParameterValue(cutoff), defaultCutoff);
    set(cutoff, defaultCutoff > 0.5f ? 0.1f : 0.9f);
    EXPECT_EQ(command("GMrs", 0.0f), 0);
    EXPECT_EQ(q->getParameterValue(cutoff), defaultCutoff);
}

TEST_F(HostHooks, TheSystemEffectsStartAtTheFramesRateAndFollowTheHost)
{
    EXPECT_EQ(q->state.target.master.chorus.effect->sampleRate, 44100.0f);
    EXPECT_EQ(q->state.target.master.reverb.effect->sampleRate, 44100.0f);
    q->setSampleRate(96000.0f);
    EXPECT_EQ(q->state.target.master.chorus.effect->sampleRate, 96000.0f);
    EXPECT_EQ(q->state.target.master.reverb.effect->sampleRate, 96000.0f);
}

TEST_F(HostHooks, SuspendLiftsThePedalsAndSilencesEveryChannel)
{
    melody(0);
    midi(0xB0, 64, 127);
    midi(0xB0, 66, 127);
    midi(0x90, 60, 100);
    q->dispatcher(effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(q->state.controllers[0].damper, 0);
    EXPECT_EQ(q->state.controllers[0].sostenuto, 0);
    EXPECT_EQ(play(0).voiceCount, 0);
    EXPECT_EQ(q->state.heldNotes.count, 0);
}

TEST_F(HostHooks, OutputPinsAreNamedMainAndSub)
{
    const char *want[4] = {"Quorix main", "Quorix main", "Quorix sub", "Quorix sub"};
    for (int i = 0; i < 4; ++i) {
        VstPinProperties pin{};
        ASSERT_EQ(q->dispatcher(effGetOutputProperties, i, 0, &pin, 0.0f), 1);
        EXPECT_STREQ(pin.label, want[i]);
        EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
    }
    VstPinProperties pin{};
    EXPECT_EQ(q->dispatcher(effGetOutputProperties, 4, 0, &pin, 0.0f), 0);
}

TEST_F(HostHooks, LettingGoOfThePitchWheelCentresTheEditedChannel)
{
    RecordingEditor *editor = q->openEditor();
    melody(2);
    q->setCurrentChannel(2);
    midi(0xE2, 0, 0);
    editor->take();
    q->endEdit(tag::PitchWheel);
    EXPECT_EQ(q->state.controllers[2].pitchBend, 8192);
    float modulation = -1.0f;
    for (const Message &m : editor->take())
        if (m.tag == tag::ModulationWheel)
            modulation = m.value();
    EXPECT_EQ(modulation, 0.5f);
    midi(0xE2, 0, 0);
    q->endEdit(tag::ModulationWheel);
    EXPECT_EQ(q->state.controllers[2].pitchBend, 0);
}

} // namespace
