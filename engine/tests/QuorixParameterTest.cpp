// The instance's parameter road: what is stored, what reaches the running state, what the editor
// and the host are told.
#include "engine/tests/EngineTestSupport.h"
#include "engine/tests/FailingAllocation.h"

#include "engine/HostAutomationMap.h"
#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace quorix_parameter_test {

using namespace engine;
using namespace enginetest;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

int ch(int channel, int localId) { return parameterIndex(channel, localId); }

struct Instance : testing::Test {
    std::unique_ptr<TestQuorix> q;
    void SetUp() override
    {
        clearHostAutomationMaps();
        hostCalls().clear();
        q = std::make_unique<TestQuorix>();
    }
    void TearDown() override { q.reset(); }

    ChannelState &target(int c) { return q->state.target.channels[c]; }
    float stored(int index) { return q->getParameterValue(index); }

    // A state chunk as the host would hand it back: the current block with changes.
    std::vector<uint8_t> chunk()
    {
        void *data = nullptr;
        const int32_t size = q->dispatcher(effGetChunk, 0, 0, &data, 0.0f);
        const auto *bytes = static_cast<const uint8_t *>(data);
        return std::vector<uint8_t>(bytes, bytes + size);
    }
    ProgramBlock &blockOf(std::vector<uint8_t> &bytes) { return *reinterpret_cast<ProgramBlock *>(bytes.data()); }
    int32_t setChunk(std::vector<uint8_t> &bytes)
    {
        return static_cast<int32_t>(q->dispatcher(effSetChunk, 0, static_cast<intptr_t>(bytes.size()), bytes.data(), 0.0f));
    }
};

} // namespace

// Host values, chunks and files may carry anything; what is stored is always 0..1 and so
// nothing decoded from it can index outside its table.
TEST_F(Instance, ValuesFromOutsideAreHeldToTheNormalRange)
{
    assignHostSlot(5, ch(3, local::SeqLength));
    q->setParameter(5, kNaN);
    EXPECT_EQ(stored(ch(3, local::SeqLength)), 0.0f);
    EXPECT_EQ(target(3).seqLength, 1);
    q->setParameter(5, 40.0f);
    EXPECT_EQ(stored(ch(3, local::SeqLength)), 1.0f);
    EXPECT_EQ(target(3).seqLength, 64);

    q->setParameterValue(master::VoiceLimit, -3.0f);
    EXPECT_EQ(q->state.target.master.voiceLimit, 1);

    // A slot that drives no parameter hands the host's value back: as a parameter value.
    assignHostSlot(9, -1);
    ASSERT_LT(parameterOfHostSlot(9), 0);
    for (float given : {kNaN, 40.0f, -std::numeric_limits<float>::infinity()}) {
        q->setParameter(9, given);
        EXPECT_EQ(q->getParameter(9), given > 1.0f ? 1.0f : 0.0f) << given;
    }

    std::vector<uint8_t> bytes = chunk();
    ProgramBlock &b = blockOf(bytes);
    b.values[ch(6, local::OutputBus)] = 9.0f;
    b.values[ch(6, local::ArpPattern)] = std::numeric_limits<float>::infinity();
    b.values[ch(6, local::LfoWave)] = -kNaN;
    b.values[ch(6, local::Mode)] = 0.0f;
    ASSERT_EQ(setChunk(bytes), 1);
    EXPECT_EQ(stored(ch(6, local::OutputBus)), 1.0f);
    EXPECT_EQ(target(6).outputBus, 1);
    EXPECT_EQ(target(6).melody.arpPattern, 7);
    EXPECT_EQ(target(6).melody.lfoWave, 0);
    EXPECT_EQ(stored(ch(6, local::LfoWave)), 0.0f);
}

TEST_F(Instance, ChunkOfAnotherSizeIsNotTaken)
{
    std::vector<uint8_t> bytes = chunk();
    blockOf(bytes).values[0] = 0.25f;
    std::vector<uint8_t> longer(bytes);
    longer.push_back(0);
    EXPECT_EQ(setChunk(longer), 0);
    EXPECT_NE(stored(0), 0.25f);
    std::vector<uint8_t> shorter(bytes.begin(), bytes.end() - 1);
    EXPECT_EQ(setChunk(shorter), 0);
    EXPECT_NE(stored(0), 0.25f);
}

TEST_F(Instance, ChunkRoundTripKeepsTheBlockByteForByte)
{
    // Master values and every channel's settings, lanes included; the instrument areas stay
    // as they are (waves and windows there are checked on their own).
    for (int i = 0; i < kMasterParameterCount; ++i)
        q->programBlock.values[i] = static_cast<float>(i % 11) / 10.0f;
    for (int c = 0; c < kChannelCount; ++c)
        for (int id = local::On; id <= local::LastLane; ++id)
            q->programBlock.values[ch(c, id)] = static_cast<float>((c + id) % 101) / 100.0f;
    q->programBlock.tempo = 97.5f;
    std::vector<uint8_t> bytes = chunk();
    EXPECT_EQ(bytes.size(), 115236u);
    EXPECT_EQ(bytes[0], 76);
    ASSERT_EQ(setChunk(bytes), 1);
    EXPECT_EQ(std::memcmp(&q->programBlock, bytes.data(), bytes.size()), 0);
    EXPECT_EQ(target(15).seqLength, 1 + static_cast<int>(std::round(((15 + 42) % 101) / 100.0 * 63)));
}

namespace {

// The road every chunk took before it was applied apart: value by value under bulk loading,
// then the crossed ranges put in order.
struct OneByOneQuorix : TestQuorix {
    void load(const ProgramBlock &block)
    {
        const bool previous = setBulkLoading(true);
        for (int index = 0; index <= kLastParameterIndex; ++index)
            setParameterValue(index, block.values[index]);
        setBulkLoading(previous);
        for (int c = 0; c < kChannelCount; ++c)
            orderChannelRanges(c);
    }
};

// The settings of a channel with its effect objects left out (each instance owns its own).
ChannelState withoutEffects(const ChannelState &channel)
{
    ChannelState copy = channel;
    for (InsertEffectSlot &slot : copy.insertEffects)
        slot.effect = nullptr;
    return copy;
}

} // namespace

// A chunk is applied apart from the running state and put in place at once; what it leaves,
// stored, decoded and sounding, is what its values leave set one by one, for any values and with
// notes sounding on every channel when it comes.
TEST_F(Instance, AChunkLeavesWhatItsValuesLeaveOneByOne)
{
    auto reference = std::make_unique<OneByOneQuorix>();
    uint32_t seed = 12345;
    auto random = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / static_cast<float>(1u << 24);
    };
    for (int round = 0; round < 3; ++round) {
        std::vector<uint8_t> bytes = chunk();
        ProgramBlock &b = blockOf(bytes);
        for (int i = 0; i <= kLastParameterIndex; ++i)
            b.values[i] = random();
        // Some channels keep their mode and links, so their notes meet waves, effects and cut links.
        for (int c = 0; c < kChannelCount; ++c) {
            b.values[ch(c, local::On)] = 1.0f;
            if (c % 3 == 0)
                b.values[ch(c, local::Mode)] = static_cast<float>(target(c).mode);
            if (c % 4 == 1)
                b.values[ch(c, local::Link)] = 0.0f;
        }
        for (TestQuorix *instance : {static_cast<TestQuorix *>(q.get()), static_cast<TestQuorix *>(reference.get())})
            for (int c = 0; c < kChannelCount; ++c)
                instance->noteOn(c, c, 60 + c, 100, 0, 0, 0, -1);
        reference->load(b);
        ASSERT_EQ(setChunk(bytes), 1);

        SCOPED_TRACE(round);
        EXPECT_EQ(std::memcmp(&q->programBlock, &reference->programBlock, sizeof(ProgramBlock)), 0);
        MasterState master = q->state.target.master, expected = reference->state.target.master;
        master.chorus.effect = expected.chorus.effect = nullptr;
        master.reverb.effect = expected.reverb.effect = nullptr;
        EXPECT_EQ(std::memcmp(&master, &expected, sizeof master), 0);
        for (int c = 0; c < kChannelCount; ++c) {
            const ChannelState got = withoutEffects(target(c));
            const ChannelState want = withoutEffects(reference->state.target.channels[c]);
            EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << "channel " << c;
            for (int s = 0; s < kInsertSlotsPerChannel; ++s)
                EXPECT_EQ(target(c).insertEffects[s].effect != nullptr,
                          reference->state.target.channels[c].insertEffects[s].effect != nullptr);
            const ChannelPlayState &play = q->state.play[c], &wanted = reference->state.play[c];
            EXPECT_EQ(play.voiceCount, wanted.voiceCount) << "channel " << c;
            EXPECT_EQ(play.heldKeyCount, wanted.heldKeyCount) << "channel " << c;
            EXPECT_EQ(play.seqOrderValid, wanted.seqOrderValid) << "channel " << c;
            EXPECT_EQ(play.arpOrderValid, wanted.arpOrderValid) << "channel " << c;
        }
        EXPECT_EQ(q->state.heldNotes.count, reference->state.heldNotes.count);
    }
}

TEST_F(Instance, DecodingHasNoSideEffect)
{
    q->setParameterValue(master::VoiceLimit, 127.0f / 1023.0f);
    int32_t voices = 0;
    q->decodeParameter(master::VoiceLimit, 1.0f, nullptr, &voices, nullptr);
    EXPECT_EQ(voices, 1024);
    EXPECT_EQ(q->state.target.master.voiceLimit, 128);
    EXPECT_EQ(stored(master::VoiceLimit), 127.0f / 1023.0f);

    // The drum reading of a local follows the channel's running mode.
    q->setParameterValue(ch(9, local::Mode), 1.0f);
    q->decodeParameter(ch(9, 700), 0.0f, nullptr, &voices, nullptr);
    EXPECT_EQ(voices, -48);
}

TEST_F(Instance, RangesAreOrderedFromTheirReadValues)
{
    // From the full window, setting low 100 and then high 20 through the parameters leaves
    // the window 20..100.
    q->setParameterValue(ch(2, local::KeyRangeHigh), 1.0f);
    q->setParameterValue(ch(2, local::KeyRangeLow), 100.0f / 127.0f);
    q->setParameterValue(ch(2, local::KeyRangeHigh), 20.0f / 127.0f);
    EXPECT_EQ(stored(ch(2, local::KeyRangeLow)), 20.0f / 127.0f);
    EXPECT_EQ(stored(ch(2, local::KeyRangeHigh)), 100.0f / 127.0f);
    EXPECT_EQ(target(2).melody.keyRangeLow, 20);
    EXPECT_EQ(target(2).melody.keyRangeHigh, 100);

    // A caller handing over the running ranges themselves gets both ends swapped, not one end
    // copied over the other.
    MelodyState &m = target(4).melody;
    m.keyRangeLow = 90;
    m.keyRangeHigh = 30;
    m.velocityRangeLow = 64;
    m.velocityRangeHigh = 64;
    q->orderMelodyRanges(4, &m.keyRangeLow);
    EXPECT_EQ(m.keyRangeLow, 30);
    EXPECT_EQ(m.keyRangeHigh, 90);
    EXPECT_EQ(m.velocityRangeLow, 64);
    EXPECT_EQ(stored(ch(4, local::VelocityRangeLow)), 0.0f); // equal ends are left alone

    q->setParameterValue(ch(5, local::Mode), 1.0f);
    DrumKitState &kit = target(5).drum;
    kit.keyRangeLow = 70;
    kit.keyRangeHigh = 10;
    q->orderDrumKeyRange(5, &kit.keyRangeLow);
    EXPECT_EQ(kit.keyRangeLow, 10);
    EXPECT_EQ(kit.keyRangeHigh, 70);
}

// Loading a kit whose range lies above the running one keeps the loaded range.
TEST_F(Instance, ProgramLoadKeepsItsKitRange)
{
    std::vector<uint8_t> bytes = chunk();
    ProgramBlock &b = blockOf(bytes);
    b.values[ch(9, local::Mode)] = 1.0f;
    b.values[ch(9, local::KitKeyRangeLow)] = 24.0f / 127.0f;
    b.values[ch(9, local::KitKeyRangeHigh)] = 88.0f / 127.0f;
    b.values[ch(1, local::KeyRangeLow)] = 100.0f / 127.0f; // an inverted window is put in order
    b.values[ch(1, local::KeyRangeHigh)] = 10.0f / 127.0f;
    ASSERT_EQ(setChunk(bytes), 1);
    EXPECT_EQ(target(9).drum.keyRangeLow, 24);
    EXPECT_EQ(target(9).drum.keyRangeHigh, 88);
    EXPECT_EQ(stored(ch(9, local::KitKeyRangeHigh)), 88.0f / 127.0f);
    EXPECT_EQ(target(1).melody.keyRangeLow, 10);
    EXPECT_EQ(target(1).melody.keyRangeHigh, 100);
}

TEST_F(Instance, ChannelNamesAreCopiesCutTo23Characters)
{
    q->setChannelName(3, "A channel name that is much too long");
    const podoStr before = q->getChannelName(3);
    EXPECT_STREQ(before.getNarrow(), "A channel name that is ");

    std::vector<uint8_t> bytes = chunk();
    std::memcpy(blockOf(bytes).channels[3].name, "Replaced", 9);
    ASSERT_EQ(setChunk(bytes), 1);
    EXPECT_STREQ(before.getNarrow(), "A channel name that is ");
    EXPECT_STREQ(q->getChannelName(3).getNarrow(), "Replaced");

    // A name never ends inside a character.
    q->setChannelName(0, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
    EXPECT_EQ(std::strlen(q->getChannelName(0).getNarrow()), 22u);
    EXPECT_TRUE(q->getChannelName(16).isEmpty());
}

// A mode change inside a program load resets nothing, but no voice started under one layout
// survives into the other.
TEST_F(Instance, ModeChangeWhileLoadingDropsTheChannelsVoices)
{
    target(3).on = 1;
    target(4).on = 1;
    ChannelPlayState &play = q->state.play[3];
    play.voiceCount = 2;
    play.extraLayerCount = 3;
    HeldNoteList &notes = q->state.heldNotes;
    notes.count = 3;
    notes.notes[0] = {3, 7};
    notes.notes[1] = {4, 8};
    notes.notes[2] = {3, 9};
    play.voices[0].noteId = 7;
    play.voices[1].noteId = 9;
    q->state.play[4].voiceCount = 1;
    q->state.play[4].voices[0].noteId = 8;
    q->state.noteCounter = 42;

    std::vector<uint8_t> bytes = chunk();
    ProgramBlock &b = blockOf(bytes);
    b.values[ch(3, local::Mode)] = 1.0f;
    b.values[ch(3, local::On)] = 1.0f;
    b.values[ch(4, local::On)] = 1.0f;
    ASSERT_EQ(setChunk(bytes), 1);
    EXPECT_EQ(target(3).mode, 1);
    EXPECT_EQ(play.voiceCount, 0);
    EXPECT_EQ(play.extraLayerCount, 0);
    ASSERT_EQ(notes.count, 1);
    EXPECT_EQ(notes.notes[0].channel, 4);
    EXPECT_EQ(q->state.play[4].voiceCount, 1);
    EXPECT_EQ(q->state.noteCounter, 42);

    // Outside a load the same change resets the channel, and that channel only: the other
    // channel's voice keeps its pair and the note ids go on.
    q->setParameterValue(ch(3, local::Mode), 0.0f);
    EXPECT_EQ(play.voiceCount, 0);
    ASSERT_EQ(notes.count, 1);
    EXPECT_EQ(notes.notes[0].channel, 4);
    EXPECT_EQ(q->state.noteCounter, 42);
}

TEST_F(Instance, InsertEffectIsClearedWhenItsSwitchTurnsOn)
{
    q->setParameterValue(ch(2, local::InsertType), 26.0f / 33.0f);
    q->setParameterValue(ch(2, local::InsertOn), 1.0f);
    CIFX *effect = target(2).insertEffects[0].effect;
    ASSERT_NE(effect, nullptr);
    EXPECT_TRUE(effect->cleared);
    // One sub-block as the render drives it: a tail is playing.
    float left[4] = {}, right[4] = {};
    const float params[3] = {0.5f, 0.5f, 0.5f};
    effect->setSampleRate(44100.0f);
    effect->setTempo(120.0);
    effect->setSongPosition(0.0);
    effect->setParameters(params);
    effect->process(left, right, 4);
    ASSERT_FALSE(effect->cleared);
    q->setParameterValue(ch(2, local::InsertOn), 1.0f);
    EXPECT_FALSE(effect->cleared);
    q->setParameterValue(ch(2, local::InsertOn), 0.0f);
    q->setParameterValue(ch(2, local::InsertOn), 1.0f);
    EXPECT_TRUE(effect->cleared);

    // Setting a type always builds a fresh effect; on a switched-on slot it starts cleared.
    q->setParameterValue(ch(2, local::InsertType), 26.0f / 33.0f);
    EXPECT_NE(target(2).insertEffects[0].effect, nullptr);
    EXPECT_TRUE(target(2).insertEffects[0].effect->cleared);
    EXPECT_EQ(target(2).insertEffects[0].type, 26);
}

TEST_F(Instance, FailedEffectCreationLeavesAnEmptySlotAndKeepsTheRequestedType)
{
    const float requested = 31.0f / 33.0f;
    // The effect object is the first thing the type change allocates.
    qtest::failAllocationOfSize = qtest::kAnyAllocationSize;
    q->setParameterValue(ch(7, local::InsertType + 1), requested);
    ASSERT_EQ(qtest::failAllocationOfSize, 0u);
    const InsertEffectSlot &slot = target(7).insertEffects[1];
    EXPECT_EQ(slot.effect, nullptr);
    EXPECT_EQ(slot.type, 0);
    EXPECT_EQ(stored(ch(7, local::InsertType + 1)), requested);

    // Switching the empty slot on or clearing every insert effect passes it by.
    q->setParameterValue(ch(7, local::InsertOn + 1), 1.0f);
    q->setParameterValue(master::InsertEffectsOn, 0.0f);
    q->setParameterValue(master::InsertEffectsOn, 1.0f);
    q->resetChannel(7, 0);

    // A saved song tries again.
    std::vector<uint8_t> bytes = chunk();
    ASSERT_EQ(setChunk(bytes), 1);
    ASSERT_NE(target(7).insertEffects[1].effect, nullptr);
    EXPECT_EQ(target(7).insertEffects[1].type, 31);
}

TEST_F(Instance, AWaveThatNamesNothingIsStoredAsNoWave)
{
    q->setParameterValue(ch(0, local::OscWave), 0.5f);
    EXPECT_EQ(stored(ch(0, local::OscWave)), 0.0f);
    EXPECT_EQ(target(0).melody.oscillators[0].wave.index, 0);
}

// Automation: a parameter mapped to a host slot is reported to the host; others are not.
TEST_F(Instance, MappedParametersAreReportedToTheHost)
{
    assignHostSlot(5, ch(1, local::Volume));
    hostCalls().clear();
    q->setParameterValueAutomated(ch(1, local::Volume), 0.25f);
    EXPECT_FLOAT_EQ(target(1).volume, 0.25f);
    EXPECT_FLOAT_EQ(q->getParameter(5), 0.25f);
    std::vector<HostCall> automations;
    for (const HostCall &call : hostCalls())
        if (call.opcode == audioMasterAutomate)
            automations.push_back(call);
    ASSERT_EQ(automations.size(), 1u);
    EXPECT_EQ(automations[0].index, 5);
    EXPECT_FLOAT_EQ(automations[0].opt, 0.25f);

    hostCalls().clear();
    q->setParameterValueAutomated(ch(1, local::Pan), 0.75f);   // not mapped
    q->setParameterValueAutomated(ch(1, local::Volume), kNaN); // the host never records a NaN
    q->setParameter(5, 0.5f);                                  // the host's own playback
    int reported = 0;
    for (const HostCall &call : hostCalls())
        if (call.opcode == audioMasterAutomate) {
            ++reported;
            EXPECT_EQ(call.index, 5);
            EXPECT_EQ(call.opt, 0.0f);
        }
    EXPECT_EQ(reported, 1);
    EXPECT_FLOAT_EQ(target(1).pan, 0.75f);
    EXPECT_FLOAT_EQ(target(1).volume, 0.5f);

    // An unassigned slot answers the host's last value and changes no parameter.
    q->setParameter(7, 0.3f);
    EXPECT_FLOAT_EQ(q->getParameter(7), 0.3f);
}

TEST_F(Instance, StoreEngineStateWritesTheRunningMasterValuesBack)
{
    q->setParameterValue(master::Transpose, 0.75f);
    q->setParameterValue(master::ChorusFirst + 2, 0.4f);
    q->programBlock.values[master::Transpose] = 0.0f;
    q->programBlock.values[master::ChorusFirst + 2] = 0.0f;
    q->storeEngineState(-1, false);
    EXPECT_FLOAT_EQ(stored(master::Transpose), 0.75f);
    EXPECT_EQ(stored(master::ChorusFirst + 2), 0.0f);
    q->storeEngineState(-1, true);
    EXPECT_FLOAT_EQ(stored(master::ChorusFirst + 2), 0.4f);
}

} // namespace quorix_parameter_test
