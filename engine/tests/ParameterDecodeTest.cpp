#include "engine/ParameterDecode.h"
#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace parameter_decode_test {

using namespace engine;

namespace {
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
int ch(int channel, int localId) { return parameterIndex(channel, localId); }
} // namespace

TEST(ParameterDecode, IntegerFormsOfTheScaledRanges) {
    struct Case {
        int32_t index;
        int32_t mode;
        float x;
        int32_t integer;
    } cases[] = {
        {master::Transpose, 0, 0.0f, -48},
        {master::Transpose, 0, 0.5f, 0},
        {master::Transpose, 0, 1.0f, 48},
        {master::VoiceLimit, 0, 0.0f, 1},
        {master::VoiceLimit, 0, 127.0f / 1023.0f, 128},
        {master::VoiceLimit, 0, 1.0f, 1024},
        {master::Page, 0, 0.75f, 3},
        {ch(0, local::Mode), 0, 0.49f, 0},
        {ch(0, local::Mode), 0, 0.5f, 1},            // r() rounds halves away from zero
        {ch(2, local::VoiceLimit), 0, 0.25f, 16},
        {ch(2, local::InsertType), 0, 18.0f / 33.0f, 18},
        {ch(2, local::InsertType + 1), 0, 1.0f, 33},
        {ch(2, local::SeqRate), 0, 4.0f / 7.0f, 4},
        {ch(2, local::SeqLength), 0, 0.0f, 1},
        {ch(2, local::SeqLength), 0, 5.0f / 21.0f, 16},
        {ch(2, local::SeqLength), 0, 1.0f, 64},
        {ch(2, local::SeqRootPitch), 0, 1.0f, 128},
        {ch(2, 177), 0, 32.0f / 33.0f, 128},       // lane 0 "Base": held key 1
        {ch(2, 48), 0, 1.0f, 52},                  // step "Note": OFF
        {ch(2, 49), 0, 0.5f, 0},                   // step "Volume": plain, half to even
        {ch(2, local::PitchBendRange), 0, 1.0f / 12.0f, 2},
        {ch(2, local::OscWave), 0, 1.0f, 16384},
        {ch(2, local::OscSemitone + 1), 0, 0.0f, -48},
        {ch(2, local::OscFinetone), 0, 0.5f, 2},
        {ch(2, local::OscFinetone), 0, 0.49f, 1},
        {ch(2, local::FilterSlope), 0, 0.0f, 1},
        {ch(2, local::ArpRate), 0, 10.0f / 17.0f, 10},
        {ch(2, local::ArpOctave), 0, 0.0f, 1},
        {ch(2, local::ArpOctave), 0, 1.0f, 6},
        // The same local ids mean other things in a drum kit.
        {ch(9, 700), 1, 0.0f, -48},                // key 0 "Osc.Semitone"
        {ch(9, 700), 0, 1.0f, 127},                // melody "Velocity Range.Low"
        {ch(9, 698 + 17 * 64), 1, 1.0f, 16384},    // key 64 "Osc.Wave"
        {ch(9, 711 + 17 * 3), 1, 1.0f, 2},         // key 3 "Mute Group"
        {ch(9, local::KitKeyRangeHigh), 1, 1.0f, 127},
        {ch(9, local::KitMidiSelect), 1, 0.5f, 0},
        {ch(9, local::FilterSlope), 1, 1.0f, 1},   // 720 is key 1's "Osc.Finetone" in a kit
        // Unlisted parameters: nearest integer, ties to even.
        {master::Volume, 0, 0.5f, 0},
        {master::Volume, 0, 0.51f, 1},
        {ch(5, local::On), 0, 1.0f, 1},
        {28700, 0, 0.5f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " mode " << c.mode << " x " << c.x);
        EXPECT_EQ(decodeParameter(c.index, c.x, c.mode).integer, c.integer);
    }
}

TEST(ParameterDecode, BooleanIsHalfOrMoreEvenWhereTheIntegerRoundsDown) {
    const DecodedValue d = decodeParameter(master::InsertEffectsOn, 0.5f, 0);
    EXPECT_TRUE(d.boolean);
    EXPECT_EQ(d.integer, 0);
    EXPECT_FLOAT_EQ(d.value, 0.5f);
    EXPECT_FALSE(decodeParameter(master::InsertEffectsOn, 0.4999f, 0).boolean);
}

// Values from outside may be anything; no decoded integer may leave its table's range.
TEST(ParameterDecode, IntegersStayInRangeForAnyInput) {
    struct Range {
        int32_t index;
        int32_t mode;
        int32_t low, high;
    } ranges[] = {
        {master::Transpose, 0, -48, 48},
        {master::VoiceLimit, 0, 1, 1024},
        {master::Page, 0, 0, 4},
        {ch(4, local::Mode), 0, 0, 1},
        {ch(4, local::OutputBus), 0, 0, 1},
        {ch(4, local::VoiceLimit), 0, 0, 64},
        {ch(4, local::InsertType), 0, 0, 33},
        {ch(4, local::SeqRate), 0, 0, 7},
        {ch(4, local::SeqLength), 0, 1, 64},
        {ch(4, local::SeqPart), 0, 0, 3},
        {ch(4, local::SeqSync), 0, 0, 2},
        {ch(4, 177 + 130 * 4), 0, 0, 132},
        {ch(4, 48 + 130 * 2), 0, -48, 52},
        {ch(4, local::LfoWave), 0, 0, 9},
        {ch(4, local::OscWave), 0, 0, 16384},
        {ch(4, local::ArpPattern), 0, 0, 7},
        {ch(4, local::ArpRate), 0, 0, 17},
        {ch(4, local::ArpOctave), 0, 1, 6},
        {ch(4, 712 + 17 * 10), 1, 0, 2},           // drum key 10 "To IFX"
        {ch(4, local::KitKeyRangeLow), 1, 0, 127},
        {ch(4, local::On), 0, 0, 1},
    };
    const float inputs[] = {kNaN, -kNaN, kInf, -kInf, -1.0f, -1e-30f, 0.0f, 1.0f, 1.0000001f, 2.0f, 1e30f};
    for (const Range& r : ranges) {
        for (float x : inputs) {
            SCOPED_TRACE(testing::Message() << "index " << r.index << " x " << x);
            const DecodedValue d = decodeParameter(r.index, x, r.mode);
            EXPECT_GE(d.integer, r.low);
            EXPECT_LE(d.integer, r.high);
            EXPECT_GE(d.value, 0.0f);
            EXPECT_LE(d.value, 1.0f);
        }
    }
    EXPECT_EQ(decodeParameter(master::VoiceLimit, kNaN, 0).integer, 1);
    EXPECT_EQ(decodeParameter(master::VoiceLimit, 7.0f, 0).integer, 1024);
}

} // namespace parameter_decode_test
