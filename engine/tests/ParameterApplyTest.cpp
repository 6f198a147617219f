#include "engine/ParameterApply.h"
#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace parameter_apply_test {

using namespace engine;

namespace {

int ch(int channel, int localId) { return parameterIndex(channel, localId); }

struct ApplyFixture : testing::Test {
    std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
    void SetUp() override { clearEngineState(*state); }
    ChannelState& target(int c) { return state->target.channels[c]; }
    void sound(int c) { state->play[c].voiceCount = 1; state->heldNotes.count = 1; }
    ApplyOutcome apply(int index, float x) { return applyParameterValue(*state, index, x); }
};

} // namespace

// Which single changes stop or reset sound, and what the bulk flag leaves out.
TEST_F(ApplyFixture, SideEffectsOfSingleChangesAndUnderBulkLoading) {
    struct Case {
        const char* what;
        int channelMode;      // running mode of channel 2 before the change
        bool soundingVoices;  // channel 2 has a voice (and the instance a held note)
        bool heldKeysOnly;    // channel 2 has a held key but no voice
        bool bulk;
        int index;
        float x;
        SideEffect effect;
    } cases[] = {
        {"mode unchanged", 0, true, false, false, ch(2, local::Mode), 0.0f, SideEffect::None},
        {"mode changed", 0, true, false, false, ch(2, local::Mode), 1.0f, SideEffect::ResetChannel},
        {"mode changed in bulk", 0, true, false, true, ch(2, local::Mode), 1.0f, SideEffect::DropVoices},
        {"switched off", 0, false, false, false, ch(2, local::On), 0.0f, SideEffect::None}, // was off
        {"voice limit, sounding", 0, true, false, false, ch(2, local::VoiceLimit), 0.5f, SideEffect::StopChannel},
        {"voice limit, keys only", 0, false, true, false, ch(2, local::VoiceLimit), 0.5f, SideEffect::None},
        {"voice limit in bulk", 0, true, false, true, ch(2, local::VoiceLimit), 0.5f, SideEffect::None},
        {"transpose, sounding", 0, true, false, false, ch(2, local::Transpose), 0.6f, SideEffect::StopChannel},
        {"seq on, keys held", 0, false, true, false, ch(2, local::SeqOn), 1.0f, SideEffect::StopChannel},
        {"seq on, silent", 0, false, false, false, ch(2, local::SeqOn), 1.0f, SideEffect::None},
        {"seq latch on never stops", 0, true, false, false, ch(2, local::SeqLatch), 1.0f, SideEffect::None},
        {"seq latch off stops", 0, true, false, false, ch(2, local::SeqLatch), 0.0f, SideEffect::StopChannel},
        {"seq latch off in bulk", 0, true, false, true, ch(2, local::SeqLatch), 0.0f, SideEffect::None},
        {"arp on stops", 0, true, false, false, ch(2, local::ArpOn), 1.0f, SideEffect::StopChannel},
        {"arp latch off stops", 0, true, false, false, ch(2, local::ArpLatch), 0.0f, SideEffect::StopChannel},
        {"arp on in a kit is key 2's filter", 1, true, false, false, ch(2, local::ArpOn), 1.0f, SideEffect::None},
        {"master transpose, notes held", 0, true, false, false, master::Transpose, 0.6f, SideEffect::StopAll},
        {"master transpose, silent", 0, false, false, false, master::Transpose, 0.6f, SideEffect::None},
        {"master voice limit in bulk", 0, true, false, true, master::VoiceLimit, 0.6f, SideEffect::None},
        {"key range", 0, false, false, false, ch(2, local::KeyRangeLow), 0.5f, SideEffect::OrderMelodyRanges},
        {"key range in bulk", 0, false, false, true, ch(2, local::VelocityRangeHigh), 0.5f, SideEffect::None},
        {"kit key range", 1, false, false, false, ch(2, local::KitKeyRangeHigh), 0.5f, SideEffect::OrderDrumRange},
        {"kit key range in bulk", 1, false, false, true, ch(2, local::KitKeyRangeLow), 0.5f, SideEffect::None},
        {"unused melody local", 0, true, false, false, ch(2, 1000), 1.0f, SideEffect::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clearEngineState(*state);
        target(2).mode = c.channelMode;
        if (c.soundingVoices) sound(2);
        if (c.heldKeysOnly) state->play[2].heldKeyCount = 1;
        state->bulkLoading = c.bulk;
        const ApplyOutcome o = apply(c.index, c.x);
        EXPECT_EQ(o.effect, c.effect);
        if (c.effect != SideEffect::None && c.effect != SideEffect::StopAll) {
            EXPECT_EQ(o.channel, 2);
        }
    }
}

TEST_F(ApplyFixture, ModeChangeUnderBulkStillChangesTheLayout) {
    sound(4);
    state->bulkLoading = 1;
    EXPECT_EQ(apply(ch(4, local::Mode), 1.0f).effect, SideEffect::DropVoices);
    EXPECT_EQ(target(4).mode, 1);
    // The same local now addresses the drum layout.
    EXPECT_EQ(apply(ch(4, 700), 0.0f).effect, SideEffect::None);
    EXPECT_EQ(target(4).drum.drumKeys[0].semitone, -48);
    EXPECT_EQ(target(4).melody.velocityRangeLow, 0);
}

TEST_F(ApplyFixture, ChannelOffResetsOnlyOutsideBulk) {
    target(3).on = 1;
    EXPECT_EQ(apply(ch(3, local::On), 0.0f).effect, SideEffect::ResetChannel);
    EXPECT_EQ(target(3).on, 0);
    target(3).on = 1;
    state->bulkLoading = 1;
    EXPECT_EQ(apply(ch(3, local::On), 0.0f).effect, SideEffect::None);
    EXPECT_EQ(target(3).on, 0);
    EXPECT_EQ(apply(ch(3, local::On), 1.0f).effect, SideEffect::None);
    EXPECT_EQ(target(3).on, 1);
}

TEST_F(ApplyFixture, UnlinkingStopsTheFormerSpanOnlyWhenSounding) {
    // Channels 4..7 linked: 5, 6 and 7 each tie to the one below.
    for (int c = 5; c <= 7; ++c)
        target(c).link = 1;
    ApplyOutcome o = apply(ch(6, local::Link), 0.0f);
    EXPECT_EQ(o.effect, SideEffect::None);
    EXPECT_EQ(target(6).link, 0);

    target(6).link = 1;
    state->play[6].heldKeyCount = 2;
    state->bulkLoading = 1; // also while bulk loading
    o = apply(ch(6, local::Link), 0.0f);
    EXPECT_EQ(o.effect, SideEffect::StopSpan);
    EXPECT_EQ(o.first, 4);
    EXPECT_EQ(o.last, 7);
    EXPECT_EQ(target(6).link, 0);

    EXPECT_EQ(apply(ch(6, local::Link), 1.0f).effect, SideEffect::None);
    EXPECT_EQ(target(6).link, 1);
}

// An effect is cleared when its switch turns on; re-sending "on" must not cut its tail.
TEST_F(ApplyFixture, EffectsAreClearedWhenTheirSwitchTurnsOn) {
    struct Case {
        int index;
        SideEffect clear;
        int slot;
    } cases[] = {
        {ch(5, local::InsertOn), SideEffect::ClearInsert, 0},
        {ch(5, local::InsertOn + 1), SideEffect::ClearInsert, 1},
        {master::InsertEffectsOn, SideEffect::ClearAllInserts, 0},
        {master::ChorusOn, SideEffect::ClearSystemEffect, 0},
        {master::ReverbOn, SideEffect::ClearSystemEffect, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        for (bool bulk : {false, true}) {
            clearEngineState(*state);
            state->bulkLoading = bulk;
            const ApplyOutcome first = apply(c.index, 1.0f);
            EXPECT_EQ(first.effect, c.clear);
            EXPECT_EQ(first.slot, c.slot);
            EXPECT_EQ(apply(c.index, 1.0f).effect, SideEffect::None);
            EXPECT_EQ(apply(c.index, 0.7f).effect, SideEffect::None);
            EXPECT_EQ(apply(c.index, 0.0f).effect, SideEffect::None);
            EXPECT_EQ(apply(c.index, 1.0f).effect, c.clear);
        }
    }
    EXPECT_EQ(state->target.master.reverb.on, 1); // the last case's switch is on again
}

TEST_F(ApplyFixture, TypesAndWavesAreHandedToTheInstance) {
    ApplyOutcome o = apply(ch(7, local::InsertType + 1), 18.0f / 33.0f);
    EXPECT_EQ(o.effect, SideEffect::SetInsertType);
    EXPECT_EQ(o.channel, 7);
    EXPECT_EQ(o.slot, 1);
    EXPECT_EQ(o.number, 18); // the separator number; the factory builds the next type

    o = apply(ch(7, local::OscWave + 1), 1.0f);
    EXPECT_EQ(o.effect, SideEffect::AssignWave);
    EXPECT_EQ(o.slot, 1);
    EXPECT_EQ(o.number, 16384);

    target(7).mode = 1;
    o = apply(ch(7, local::DrumWave + 17 * 64), 1.0f / 16384.0f);
    EXPECT_EQ(o.effect, SideEffect::AssignWave);
    EXPECT_EQ(o.slot, 64);
    EXPECT_EQ(o.number, 1);
}

TEST_F(ApplyFixture, DecodedValuesReachTheTargetImage) {
    apply(master::VoiceLimit, 127.0f / 1023.0f);
    apply(master::Volume, 0.7071068f);
    apply(master::ChorusFirst + 3, 0.25f);
    apply(master::ReverbFirst + 1, 0.75f);
    apply(ch(1, local::InsertParams + 4), 0.125f);   // slot 1, parameter 1
    apply(ch(1, local::SeqLength), 5.0f / 21.0f);
    apply(ch(1, 48 + 130 * 2 + 2 * 63), 1.0f);      // lane 2, step 63 note: OFF
    apply(ch(1, 49 + 130 * 2 + 2 * 63), 0.5f);      // its volume
    apply(ch(1, 177 + 130 * 4), 32.0f / 33.0f);     // lane 4 base
    apply(ch(1, local::FilterEnvelope + 2), 0.3f);  // filter sustain
    state->play[1].lfoDisplay = 0.8f;
    state->play[1].arpOrderValid = 1;
    apply(ch(1, local::LfoWave), 1.0f);
    apply(ch(1, local::ArpOctave), 1.0f);

    const MasterState& m = state->target.master;
    EXPECT_EQ(m.voiceLimit, 128);
    EXPECT_FLOAT_EQ(m.volume, 0.7071068f);
    EXPECT_FLOAT_EQ(m.chorus.params[3], 0.25f);
    EXPECT_FLOAT_EQ(m.reverb.params[1], 0.75f);
    const ChannelState& c = target(1);
    EXPECT_FLOAT_EQ(c.insertEffects[1].params[1], 0.125f);
    EXPECT_EQ(c.seqLength, 16);
    EXPECT_EQ(c.lanes[2].steps[63].note, 52);
    EXPECT_FLOAT_EQ(c.lanes[2].steps[63].velocity, 0.5f);
    EXPECT_EQ(c.lanes[4].base, 128);
    EXPECT_FLOAT_EQ(c.melody.filterEnvelope.sustain, 0.3f);
    EXPECT_EQ(c.melody.lfoWave, 9);
    EXPECT_EQ(state->play[1].lfoDisplay, 0.0f);
    EXPECT_EQ(c.melody.arpOctave, 6);
    EXPECT_EQ(state->play[1].arpOrderValid, 0);
}

TEST_F(ApplyFixture, EditorTagsAndNegativeIndexesChangeNothing) {
    sound(0);
    std::vector<uint8_t> before(sizeof(EngineState));
    std::memcpy(before.data(), state.get(), before.size());
    for (int index : {-1, kParameterCount, 28700, 29191})
        EXPECT_EQ(apply(index, 1.0f).effect, SideEffect::None);
    EXPECT_EQ(std::memcmp(before.data(), state.get(), before.size()), 0);
}

// A whole lane applied at once leaves what its values leave one by one, values from outside
// included; and only that lane changes.
TEST_F(ApplyFixture, ALaneAppliedAtOnceMatchesItsValuesOneByOne) {
    auto oneByOne = std::make_unique<EngineState>();
    clearEngineState(*oneByOne);
    uint32_t seed = 7;
    const float outside[] = {-0.5f, 1.5f, std::numeric_limits<float>::quiet_NaN(), 0.5f, 0.005f, 0.995f};
    for (int c : {0, 9, 15})
        for (int lane = 0; lane < kSequencerLanes; ++lane) {
            float values[kLaneValueCount];
            for (int v = 0; v < kLaneValueCount; ++v) {
                seed = seed * 1664525u + 1013904223u;
                values[v] = v % 7 == 3 ? outside[(seed >> 8) % 6] : float(seed >> 8) / float(1u << 24);
            }
            const int first = ch(c, local::FirstLane + lane * local::LaneSpan);
            for (int v = 0; v < kLaneValueCount; ++v)
                EXPECT_EQ(applyParameterValue(*oneByOne, first + v, values[v]).effect, SideEffect::None);
            applyLaneValues(*state, c, lane, values);
            for (float x : values)
                EXPECT_TRUE(x >= 0.0f && x <= 1.0f) << x;
        }
    EXPECT_EQ(std::memcmp(&state->target, &oneByOne->target, sizeof state->target), 0);
}

// A drum key applied at once leaves what its values leave one by one, and hands back the wave
// number the one-by-one road asks to assign.
TEST_F(ApplyFixture, ADrumKeyAppliedAtOnceMatchesItsValuesOneByOne) {
    auto oneByOne = std::make_unique<EngineState>();
    clearEngineState(*oneByOne);
    for (EngineState* s : {state.get(), oneByOne.get()})
        applyParameterValue(*s, ch(9, local::Mode), 1.0f);
    uint32_t seed = 11;
    const float outside[] = {-0.5f, 1.5f, std::numeric_limits<float>::quiet_NaN(), 0.5f, 0.25f, 0.75f};
    for (int key = 0; key < kDrumKeys; ++key) {
        float values[kDrumKeyValues];
        for (int v = 0; v < kDrumKeyValues; ++v) {
            seed = seed * 1664525u + 1013904223u;
            values[v] = v % 5 == 2 ? outside[(seed >> 8) % 6] : float(seed >> 8) / float(1u << 24);
        }
        const int first = ch(9, local::FirstInstrument + key * kDrumKeyValues);
        const ApplyOutcome wave = applyParameterValue(*oneByOne, first, values[0]);
        ASSERT_EQ(wave.effect, SideEffect::AssignWave);
        for (int v = 1; v < kDrumKeyValues; ++v)
            EXPECT_EQ(applyParameterValue(*oneByOne, first + v, values[v]).effect, SideEffect::None);
        EXPECT_EQ(applyDrumKeyValues(*state, 9, key, values), wave.number) << key;
        EXPECT_EQ(wave.slot, key);
    }
    EXPECT_EQ(std::memcmp(&state->target, &oneByOne->target, sizeof state->target), 0);
}

} // namespace parameter_apply_test
