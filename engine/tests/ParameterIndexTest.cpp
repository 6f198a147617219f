#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace engine;

TEST(ParameterIndex, ClassifiesIndexesAndEditorTags) {
    struct Case {
        int32_t index;
        ParameterKind kind;
        int32_t first;
        int32_t second;
    } cases[] = {
        {-5, kindMaster, 0, -5},
        {0, kindMaster, 0, 0},
        {16, kindMaster, 0, 16},
        {17, kindChannelSetting, 0, 17},          // channel 0 "Chan.Mode"
        {36, kindChannelSetting, 0, 36},
        {37, kindSequencerSetting, 0, 37},
        {48, kindLane, 0, 48},
        {697, kindLane, 0, 697},
        {698, kindInstrument, 0, 698},
        {1805, kindInstrument, 0, 1805},
        {1806, kindChannelSetting, 1, 17},        // channel 1 "Chan.Mode"
        {28640, kindInstrument, 15, 1805},        // last parameter
        {28641, kindEditorSpecial, 0, 28641},
        {28645, kindEditorSpecial, 0, 28645},
        {28646, kindEditorList, 0, 28646},
        {28773, kindEditorList, 127, 28646},
        {28774, kindEditorList, 0, 28774},
        {28901, kindEditorList, 127, 28774},
        {28902, kindChannelStrip, 0, 28902},
        {28917, kindChannelStrip, 15, 28902},
        {28918, kindChannelStrip, 0, 28918},
        {28933, kindChannelStrip, 15, 28918},
        {28934, kindEditorGroupA, 7, 28934},      // kinds 15..17 carry the current channel (7)
        {28949, kindEditorGroupA, 7, 28949},
        {28950, kindEditorGroupB, 7, 28950},
        {28958, kindEditorGroupC, 7, 28958},
        {28965, kindEditorGroupC, 7, 28965},
        {28966, kindNone, 0, 28966},
        {29191, kindNone, 0, 29191},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        const Classified r = classifyParameter(c.index, 7);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(r.first, c.first);
        EXPECT_EQ(r.second, c.second);
    }
}

// Every channel parameter comes apart into a channel and local id that rebuild the index,
// and every lane or drum id splits into fields that rebuild the local id.
TEST(ParameterIndex, SplitsRebuildEveryIndex) {
    for (int32_t index = kMasterParameterCount; index <= kLastParameterIndex; ++index) {
        const Classified c = classifyParameter(index, 0);
        ASSERT_GE(c.first, 0);
        ASSERT_LT(c.first, kChannelCount);
        ASSERT_GE(c.second, kFirstLocalId);
        ASSERT_LE(c.second, kLastLocalId);
        ASSERT_EQ(parameterIndex(c.first, c.second), index);
    }
    for (int32_t id = local::FirstLane; id <= local::LastLane; ++id) {
        const SequencerId s = decodeSequencerParameter(id);
        ASSERT_GE(s.lane, 0);
        ASSERT_LT(s.lane, kSequencerLanes);
        ASSERT_GE(s.step, 0);
        ASSERT_LT(s.step, kSequencerSteps);
        if (s.kind == kindStep)
            ASSERT_EQ(local::FirstLane + local::LaneSpan * s.lane + 2 * s.step + (s.base - local::StepNote), id);
        else
            ASSERT_EQ(s.base + local::LaneSpan * s.lane, id);
    }
    for (int32_t id = local::FirstInstrument; id <= local::LastDrumKeyValue; ++id) {
        const DrumId d = decodeDrumParameter(id);
        ASSERT_EQ(d.kind, kindDrumKey);
        ASSERT_GE(d.key, 0);
        ASSERT_LT(d.key, kDrumKeys);
        ASSERT_EQ(d.base + kDrumKeyValues * d.key, id);
    }
}

TEST(ParameterIndex, DecodesLaneStepAndDrumIds) {
    struct SeqCase {
        int32_t id;
        ParameterKind kind;
        int32_t lane, step, base;
    } seqCases[] = {
        {48, kindStep, 0, 0, 48},
        {175, kindStep, 0, 63, 49},   // last step's volume
        {176, kindLane, 0, 0, 176},   // "On"
        {177, kindLane, 0, 0, 177},   // "Base"
        {178, kindStep, 1, 0, 48},
        {306, kindLane, 1, 0, 176},
        {697, kindLane, 4, 0, 177},
        {47, kindNone, 0, 0, 47},
        {698, kindNone, 0, 0, 698},
    };
    for (const SeqCase& c : seqCases) {
        SCOPED_TRACE(c.id);
        const SequencerId s = decodeSequencerParameter(c.id);
        EXPECT_EQ(s.kind, c.kind);
        EXPECT_EQ(s.lane, c.lane);
        EXPECT_EQ(s.step, c.step);
        EXPECT_EQ(s.base, c.base);
    }
    struct DrumCase {
        int32_t id;
        ParameterKind kind;
        int32_t key, base;
    } drumCases[] = {
        {698, kindDrumKey, 0, 698},
        {714, kindDrumKey, 0, 714},
        {715, kindDrumKey, 1, 698},
        {1802, kindDrumKey, 64, 714}, // last key's "SFX.Reverb"
        {1803, kindInstrument, 0, 1803},
        {1805, kindInstrument, 0, 1805},
        {697, kindNone, 0, 697},
        {1806, kindNone, 0, 1806},
    };
    for (const DrumCase& c : drumCases) {
        SCOPED_TRACE(c.id);
        const DrumId d = decodeDrumParameter(c.id);
        EXPECT_EQ(d.kind, c.kind);
        EXPECT_EQ(d.key, c.key);
        EXPECT_EQ(d.base, c.base);
    }
}

TEST(ParameterIndex, BaseNamesFollowTheChannelMode) {
    struct Case {
        int32_t index;
        int32_t mode;
        const char* name;
    } cases[] = {
        {0, 0, "Master.Volume"},
        {6, 0, ""},
        {16, 0, "SFX.Reverb.Level"},
        {parameterIndex(3, 17), 0, "Chan.Mode"},
        {parameterIndex(3, 47), 0, "Seq.Vel.Amount"},
        {parameterIndex(3, 175), 0, "Volume"},
        {parameterIndex(3, 306), 0, "On"},
        {parameterIndex(3, 698), 0, "Key Range.Low"},
        {parameterIndex(3, 743), 0, "Arp.Octave"},
        {parameterIndex(3, 744), 0, ""},
        {parameterIndex(3, 698), 1, "Osc.Wave"},
        {parameterIndex(3, 1802), 1, "SFX.Reverb"},
        {parameterIndex(15, 1805), 1, "MIDI Select"},
        {parameterIndex(3, 1803), 0, ""},
        {28641, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_STREQ(parameterBaseName(c.index, c.mode), c.name);
    }
}
