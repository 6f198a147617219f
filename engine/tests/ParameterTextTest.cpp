// Names, units and display texts of the parameters, and typed text read back into values.
#include "engine/ParameterIndex.h"
#include "engine/ParameterText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace parameter_text_test {

using namespace engine;

namespace {

constexpr int kMelody = 0;
constexpr int kDrum = 1;
constexpr int kOtherMode = 2;
constexpr float kUnity = 0.7071068f;

int ch(int channel, int localId) { return parameterIndex(channel, localId); }
// Drum key k's value of base id b, on channel 9.
int drum(int key, int base) { return ch(9, base + kDrumKeyValues * key); }
// Lane n's step s: its note (base 48) or volume (49); lane values at 176 and 177.
int step(int lane, int s, int base) { return ch(0, local::FirstLane + local::LaneSpan * lane + 2 * s + base - 48); }
int lane(int n, int base) { return ch(0, local::FirstLane + local::LaneSpan * n + base - 48); }

std::string display(int index, float x, int mode = kMelody, bool bpmSync = false)
{
    char text[kParameterTextSize];
    parameterDisplayText(index, x, mode, bpmSync, text);
    return text;
}

std::string name(int index, int mode, int style)
{
    char text[kParameterTextSize];
    parameterNameText(index, mode, style, text);
    return text;
}

std::string unit(int index, int mode, bool bpmSync = false)
{
    char text[kParameterTextSize];
    parameterUnitText(index, mode, bpmSync, text);
    return text;
}

struct Parsed {
    bool taken;
    float value;
};

Parsed parse(int index, const char *text, int mode = kMelody, bool bpmSync = false)
{
    Parsed p{false, -1.0f};
    p.taken = parameterValueFromText(index, text, mode, bpmSync, &p.value);
    return p;
}

} // namespace

TEST(ParameterText, DisplayTextsFollowEachParametersFormat)
{
    struct Case {
        int index;
        float x;
        int mode;
        bool bpmSync;
        const char *text;
    };
    const Case cases[] = {
        // Levels: 2 x v^2 as decibels; the unity value never shows a minus sign.
        {master::Volume, kUnity, kMelody, false, "0.00"},
        {master::Volume, 1.0f, kMelody, false, "6.02"},
        {master::Volume, 0.0f, kMelody, false, "-oo"},
        {ch(3, local::Volume), 0.0f, kMelody, false, "-oo"},
        {master::Tune, 0.5f, kMelody, false, "440.0"},
        {master::Tune, 1.0f, kMelody, false, "466.2"},
        {master::Tune, 0.0f, kMelody, false, "415.3"},
        {master::Transpose, 0.0f, kMelody, false, "-48"},
        {master::VoiceLimit, 127.0f / 1023.0f, kMelody, false, "128"},
        {master::InsertEffectsOn, 1.0f, kMelody, false, "ON"},
        {master::PriorityMode, 0.49f, kMelody, false, "off"},
        {master::Page, 1.0f, kMelody, false, ""},
        // Channel settings.
        {ch(0, local::Mode), 0.0f, kMelody, false, "Melody"},
        {ch(0, local::Mode), 1.0f, kMelody, false, "Drum"},
        {ch(0, local::Pan), 0.5f, kMelody, false, "C00"},
        {ch(0, local::Pan), 1.0f, kMelody, false, "R99"},
        {ch(0, local::Pan), 0.0f, kMelody, false, "L99"},
        {ch(0, local::Pan), 0.6f, kMelody, false, "R20"},
        {ch(0, local::VoiceLimit), 0.0f, kMelody, false, "Mono Legato"},
        {ch(0, local::VoiceLimit), 1.0f / 64, kMelody, false, "Mono Retrigger"},
        {ch(0, local::VoiceLimit), 0.25f, kMelody, false, "16 voices"},
        {ch(0, local::Transpose), 0.5f, kMelody, false, "0"},
        {ch(0, local::Transpose), 53.0f / 96, kMelody, false, "+5"},
        {ch(0, local::Transpose), 36.0f / 96, kMelody, false, "-12"},
        {ch(0, local::OutputBus), 0.0f, kMelody, false, "main"},
        {ch(0, local::OutputBus), 1.0f, kMelody, false, "sub"},
        {ch(0, local::ReverbSend), 0.3f, kMelody, false, "30.0"},
        {ch(0, local::InsertOn + 1), 1.0f, kMelody, false, "ON"},
        {ch(0, local::InsertType), 0.0f, kMelody, false, "OFF"},
        {ch(0, local::InsertType + 1), 9.0f / 33, kMelody, false, "OVERDRIVE"},
        // Sequencer settings and lanes.
        {ch(0, local::SeqNoteOrder), 0.5f, kMelody, false, "Note Up"},
        {ch(0, local::SeqRate), 4.0f / 7, kMelody, false, "1/16"},
        {ch(0, local::SeqSync), 1.0f, kMelody, false, "RETRIG"},
        {ch(0, local::SeqSwing), 0.25f, kMelody, false, "50.0"},
        {ch(0, local::SeqLength), 5.0f / 21, kMelody, false, "16"},
        {ch(0, local::SeqPart), 2.0f / 3, kMelody, false, "33~48"},
        {ch(0, local::SeqRootPitch), 60.0f / 128, kMelody, false, "C3"},
        {ch(0, local::SeqRootPitch), 1.0f, kMelody, false, "off"},
        {ch(0, local::SeqVelocityAmount), 1.0f, kMelody, false, "100.0"},
        {step(0, 0, 48), 0.48f, kMelody, false, "00"},
        {step(1, 5, 48), 0.53f, kMelody, false, "+5"},
        {step(2, 63, 48), 0.36f, kMelody, false, "-12"},
        {step(0, 0, 48), 0.97f, kMelody, false, "==="},
        {step(0, 0, 48), 0.98f, kMelody, false, "==|"},
        {step(0, 0, 48), 0.99f, kMelody, false, "|__"},
        {step(0, 0, 48), 1.0f, kMelody, false, "`"},
        {step(4, 63, 49), 0.0f, kMelody, false, "1.0"},
        {step(4, 63, 49), 1.0f, kMelody, false, "100.0"},
        {lane(3, 176), 1.0f, kMelody, false, "ON"},
        {lane(0, 177), 130.0f / 132, kMelody, false, "IN 3"},
        {lane(0, 177), 60.0f / 132, kMelody, false, "C3"},
        // Melody instrument.
        {ch(0, local::KeyRangeLow), 0.0f, kMelody, false, "C-2"},
        {ch(0, local::KeyRangeHigh), 1.0f, kMelody, false, "G8"},
        {ch(0, local::VelocityRangeHigh), 1.0f, kMelody, false, "127"},
        {ch(0, local::GlideTime), 0.5f, kMelody, false, "0.625"},
        {ch(0, local::PitchBendRange), 2.0f / 24, kMelody, false, "2"},
        {ch(0, local::LfoWave), 1.0f, kMelody, false, "RND hold"},
        {ch(0, local::LfoRate), 0.36817f, kMelody, false, "2.50"},
        {ch(0, local::LfoRate), 15.0f / 26, kMelody, true, "1/4"},
        {ch(0, local::LfoRate), 1.0f, kMelody, true, "1/32T"},
        {ch(0, local::LfoLevel), 0.5f, kMelody, false, "50.0"},
        {ch(0, local::LfoDelayTime), 0.5f, kMelody, false, "1.250"},
        {ch(0, local::OscWave), 0.0f, kMelody, false, "<empty>"},
        {ch(0, local::OscSemitone + 1), 0.5f, kMelody, false, "0"},
        {ch(0, local::OscFinetone), 0.0f, kMelody, false, "-100.0"},
        {ch(0, local::FilterEnvAmount), 0.5f, kMelody, false, "0.0"},
        {ch(0, local::FilterSlope), 0.0f, kMelody, false, "-12"},
        {ch(0, local::FilterSlope), 1.0f, kMelody, false, "-24"},
        {ch(0, local::FilterCutoff), 1.0f, kMelody, false, "20000.0"},
        {ch(0, local::FilterCutoff), 0.0f, kMelody, false, "20.0"},
        {ch(0, local::FilterEnvelope + 1), 0.0f, kMelody, false, "0.010"},
        {ch(0, local::AmpEnvelope + 1), 1.0f, kMelody, false, "30.000"},
        {ch(0, local::AmpEnvelope + 3), 1.0f, kMelody, false, "20.000"},
        {ch(0, local::ArpPattern), 1.0f, kMelody, false, "Random"},
        {ch(0, local::ArpRate), 10.0f / 17, kMelody, false, "1/16"},
        {ch(0, local::ArpOctave), 0.0f, kMelody, false, "1"},
        {ch(0, local::ArpOctave), 1.0f, kMelody, false, "6"},
        {ch(0, 744), 1.0f, kMelody, false, ""},
        // Drum keys and the kit.
        {drum(0, local::DrumWave), 0.0f, kDrum, false, "<empty>"},
        {drum(64, local::DrumReverse), 1.0f, kDrum, false, "ON"},
        {drum(5, local::DrumSemitone), 0.5f, kDrum, false, "0"},
        {drum(5, local::DrumFilterCutoff), 1.0f, kDrum, false, "20000.0"},
        {drum(5, local::DrumVolume), kUnity, kDrum, false, "0.00"},
        {drum(5, local::DrumAttack), 1.0f, kDrum, false, "10.000"},
        {drum(5, local::DrumRelease), 0.0f, kDrum, false, "0.010"},
        {drum(5, local::DrumMuteGroup), 0.0f, kDrum, false, "no"},
        {drum(5, local::DrumMuteGroup), 0.5f, kDrum, false, "A"},
        {drum(5, local::DrumMuteGroup), 1.0f, kDrum, false, "B"},
        {drum(5, local::DrumInsertBus), 0.0f, kDrum, false, "off"},
        {drum(5, local::DrumInsertBus), 1.0f, kDrum, false, "To IFX.2"},
        {ch(9, local::KitKeyRangeLow), 0.0f, kDrum, false, "C-2"},
        {ch(9, local::KitMidiSelect), 1.0f, kDrum, false, "ON"},
        // A channel in neither mode shows no instrument values.
        {ch(0, local::FilterCutoff), 1.0f, kOtherMode, false, ""},
        // Editor tags have no display.
        {kParameterCount, 0.5f, kMelody, false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " at " << c.x);
        EXPECT_EQ(display(c.index, c.x, c.mode, c.bpmSync), c.text);
    }
}

TEST(ParameterText, TheInstanceSuppliesEffectAndWaveTexts)
{
    struct Case {
        int index;
        float x;
        int mode;
        DisplaySource source;
        int slot, parameter, number;
    };
    const Case cases[] = {
        {master::ChorusFirst, 0.25f, kMelody, DisplaySource::systemEffect, 0, 0, 0},
        {master::ReverbFirst + 3, 0.25f, kMelody, DisplaySource::systemEffect, 1, 3, 0},
        {ch(4, local::InsertParams), 0.25f, kMelody, DisplaySource::insertEffect, 0, 0, 0},
        {ch(4, local::InsertParams + 5), 0.25f, kMelody, DisplaySource::insertEffect, 1, 2, 0},
        {ch(4, local::OscWave + 1), 2.0f / 16384, kMelody, DisplaySource::wave, 0, 0, 2},
        {drum(7, local::DrumWave), 1.0f, kDrum, DisplaySource::wave, 0, 0, 16384},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.index);
        char text[kParameterTextSize] = "stale";
        const DisplayRequest r = parameterDisplayText(c.index, c.x, c.mode, false, text);
        EXPECT_EQ(r.source, c.source);
        EXPECT_EQ(r.number, c.number);
        if (c.source != DisplaySource::wave) {
            EXPECT_EQ(r.slot, c.slot);
            EXPECT_EQ(r.parameter, c.parameter);
            EXPECT_EQ(r.value, c.x);
        }
        EXPECT_STREQ(text, "");
    }
}

// Text typed into a field comes back in the field as the parameter shows it.
TEST(ParameterText, TypedTextReadsBackAsTheSameText)
{
    struct Case {
        int index;
        int mode;
        bool bpmSync;
        const char *typed;
        const char *shown;
    };
    const Case cases[] = {
        {master::Volume, kMelody, false, "-6", "-6.00"},
        {master::Volume, kMelody, false, "0", "0.00"},
        {master::Volume, kMelody, false, "6.0206", "6.02"},
        {ch(1, local::Volume), kMelody, false, "-12.5 dB", "-12.50"},
        {ch(1, local::Pan), kMelody, false, "L20", "L20"},
        {ch(1, local::Pan), kMelody, false, "r99", "R99"},
        {ch(1, local::Pan), kMelody, false, "C", "C00"},
        {ch(1, local::Pan), kMelody, false, "15", "R15"},
        {ch(1, local::VoiceLimit), kMelody, false, "16", "16 voices"},
        {ch(1, local::VoiceLimit), kMelody, false, "3", "3 voices"},
        {ch(1, local::VoiceLimit), kMelody, false, "1", "Mono Retrigger"},
        {ch(1, local::VoiceLimit), kMelody, false, "0", "Mono Legato"},
        {ch(1, local::Transpose), kMelody, false, "-12", "-12"},
        {ch(1, local::Transpose), kMelody, false, "+5", "+5"},
        {ch(1, local::Transpose), kMelody, false, "-11.5", "-12"},
        {ch(1, local::Transpose), kMelody, false, "11.5", "+12"},
        {ch(1, local::ChorusSend), kMelody, false, "30", "30.0"},
        {ch(1, local::Mode), kMelody, false, "1", "Drum"},
        {ch(1, local::GlideTime), kMelody, false, "0.625", "0.625"},
        {ch(1, local::GlideTime), kMelody, false, "9", "5.000"},
        {ch(1, local::LfoRate), kMelody, false, "2.5", "2.50"},
        {ch(1, local::LfoRate), kMelody, true, "1/4", "1/4"},
        {ch(1, local::LfoRate), kMelody, true, " 1/4t ", "1/4T"},
        {ch(1, local::LfoLevel), kMelody, false, "50", "50.0"},
        {ch(1, local::LfoDelayTime), kMelody, false, "1.25", "1.250"},
        {ch(1, local::OscSemitone), kMelody, false, "-12", "-12"},
        {ch(1, local::OscFinetone + 1), kMelody, false, "-37.5", "-37.5"},
        {ch(1, local::FilterCutoff), kMelody, false, "1000", "1000.0"},
        {ch(1, local::FilterCutoff), kMelody, false, "20000", "20000.0"},
        {ch(1, local::FilterCutoff), kMelody, false, "5", "20.0"},
        {ch(1, local::FilterEnvelope + 1), kMelody, false, "0.005", "0.010"},
        {ch(1, local::AmpEnvelope + 1), kMelody, false, "15", "15.000"},
        {ch(1, local::AmpEnvelope + 3), kMelody, false, "20", "20.000"},
        {ch(1, local::ArpRate), kMelody, false, "1/16", "1/16"},
        {ch(1, local::ArpRate), kMelody, false, "1/16t", "1/16T"},
        {ch(1, local::ArpOctave), kMelody, false, "3", "3"},
        {ch(1, local::ArpOctave), kMelody, false, "1", "1"},
        {ch(1, local::ArpOctave), kMelody, false, "6", "6"},
        {drum(3, local::DrumSemitone), kDrum, false, "-12", "-12"},
        {drum(3, local::DrumFinetone), kDrum, false, "25", "25.0"},
        {drum(3, local::DrumFilterCutoff), kDrum, false, "440", "440.0"},
        {drum(3, local::DrumFilterResonance), kDrum, false, "10", "10.0"},
        {drum(3, local::DrumVolume), kDrum, false, "-3", "-3.00"},
        {drum(3, local::DrumPan), kDrum, false, "-50", "-50.0"},
        {drum(3, local::DrumAttack), kDrum, false, "2", "2.000"},
        {drum(3, local::DrumRelease), kDrum, false, "0.5", "0.500"},
        // "-oo" is silence, not the 0 dB a missing number would mean.
        {master::Volume, kMelody, false, "-oo", "-oo"},
        {ch(1, local::Volume), kMelody, false, "-oo", "-oo"},
        {drum(3, local::DrumVolume), kDrum, false, "-oo", "-oo"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " typed \"" << c.typed << "\"");
        const Parsed p = parse(c.index, c.typed, c.mode, c.bpmSync);
        ASSERT_TRUE(p.taken);
        EXPECT_EQ(display(c.index, p.value, c.mode, c.bpmSync), c.shown);
    }
}

// The system effects' own read-outs belong to the effects; what is typed sets these values.
TEST(ParameterText, SystemEffectTextsSetTheirValues)
{
    struct Case {
        int index;
        const char *typed;
        float value;
    };
    const Case cases[] = {
        {master::ChorusFirst, "20", 1.0f},
        {master::ChorusFirst, "0.1", 0.0f},
        {master::ChorusFirst, "10.05", 0.7937005f}, // cube root of 1/2
        {master::ChorusFirst + 1, "50", 0.5f},
        {master::ChorusFirst + 3, "0", 1.0f},
        {master::ChorusFirst + 3, "-6", 0.7079458f},
        {master::ChorusFirst + 3, "-oo", 0.0f},
        {master::ReverbFirst, "37.5", 0.5f},
        {master::ReverbFirst + 1, "2.55", 0.5f},
        {master::ReverbFirst + 2, "25", 0.25f},
        {master::ReverbFirst + 3, "-oo", 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " typed \"" << c.typed << "\"");
        const Parsed p = parse(c.index, c.typed);
        ASSERT_TRUE(p.taken);
        EXPECT_NEAR(p.value, c.value, 1e-6);
    }
}

TEST(ParameterText, ParametersWithoutTextOrAnUnknownNameAnswerTheNumberRead)
{
    struct Case {
        int index;
        int mode;
        bool bpmSync;
        const char *typed;
        float number;
    };
    const Case cases[] = {
        {master::Tune, kMelody, false, "440", 440.0f},
        {master::Transpose, kMelody, false, "-3", -3.0f},
        {master::ReverbOn, kMelody, false, "1", 1.0f},
        {ch(2, local::SeqLength), kMelody, false, "16", 16.0f},
        {step(0, 3, 48), kMelody, false, "5", 5.0f},
        {lane(1, 177), kMelody, false, "C3", 0.0f},
        {ch(2, local::KeyRangeLow), kMelody, false, "12", 12.0f},
        {ch(2, local::OscWave), kMelody, false, "7", 7.0f},
        {ch(2, local::ArpPattern), kMelody, false, "Up", 0.0f},
        {ch(2, local::ArpRate), kMelody, false, "2/1", 2.0f},
        {ch(2, local::LfoRate), kMelody, true, "3 Hz", 3.0f},
        {drum(0, local::DrumMuteGroup), kDrum, false, "1", 1.0f},
        {ch(9, local::KitKeyRangeHigh), kDrum, false, "88", 88.0f},
        {ch(2, 744), kMelody, false, "0.5", 0.5f},
        {kParameterCount, kMelody, false, "0.5", 0.5f},
        {-1, kMelody, false, "0.5", 0.5f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " typed \"" << c.typed << "\"");
        const Parsed p = parse(c.index, c.typed, c.mode, c.bpmSync);
        EXPECT_FALSE(p.taken);
        EXPECT_EQ(p.value, c.number);
    }
}

// A text whose value is not a finite number is refused, so nothing stores infinity or NaN;
// values outside 0..1 are held to it.
TEST(ParameterText, NonFiniteResultsAreRefusedAndOthersHeldToTheRange)
{
    struct Case {
        int index;
        int mode;
        const char *typed;
        bool taken;
        float value;
    };
    const Case cases[] = {
        {master::Volume, kMelody, "inf", false, 0.0f},
        {master::Volume, kMelody, "nan", false, 0.0f},
        {master::Volume, kMelody, "7000", false, 7000.0f}, // 10^350 is beyond a double
        {master::Volume, kMelody, "-inf", true, 0.0f},    // no gain at all: silence
        {master::Volume, kMelody, "20", true, 1.0f},
        {master::ReverbFirst, kMelody, "-5", false, -5.0f}, // no square root of a negative time
        {ch(0, local::Mode), kMelody, "1e999", false, 0.0f},
        {ch(0, local::Mode), kMelody, "NaN", false, 0.0f},
        {ch(0, local::Mode), kMelody, "5", true, 1.0f},
        {ch(0, local::Transpose), kMelody, "-Infinity", false, 0.0f},
        {ch(0, local::GlideTime), kMelody, "1e999", true, 1.0f}, // the time is held to 5 s first
        {ch(0, local::FilterCutoff), kMelody, "nan", false, 0.0f},
        {ch(0, local::FilterEnvelope + 3), kMelody, "nan", false, 0.0f},
        {ch(0, local::OscMix), kMelody, "-300", true, 0.0f},
        {ch(0, local::FilterCutoff), kOtherMode, "inf", false, 0.0f},
        {ch(0, local::FilterCutoff), kOtherMode, "0.25", true, 0.25f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " typed \"" << c.typed << "\"");
        const Parsed p = parse(c.index, c.typed, c.mode);
        EXPECT_EQ(p.taken, c.taken);
        EXPECT_EQ(p.value, c.value);
    }
}

TEST(ParameterText, OnlyTheLeadingDecimalNumberIsRead)
{
    struct Case {
        const char *text;
        double number;
        bool found;
    };
    const Case cases[] = {
        {"  12.5abc", 12.5, true}, {".5", 0.5, true},    {"-.25", -0.25, true}, {"1e2", 100.0, true},
        {"1e", 1.0, true},         {"2E-1x", 0.2, true}, {"0x10", 0.0, true},   {"1,5", 1.0, true},
        {"+7", 7.0, true},         {"-oo", 0.0, false},  {"dB", 0.0, false},    {"", 0.0, false},
        {".", 0.0, false},         {"-", 0.0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        bool found = !c.found;
        EXPECT_EQ(leadingNumber(c.text, &found), c.number);
        EXPECT_EQ(found, c.found);
    }
    EXPECT_TRUE(std::isinf(leadingNumber("-INF")));
    EXPECT_LT(leadingNumber("-INF"), 0.0);
    EXPECT_TRUE(std::isnan(leadingNumber(" nan(1)")));
}

TEST(ParameterText, NamesCarryTheirChannelLaneStepAndKey)
{
    struct Case {
        int index;
        int mode;
        int style;
        const char *name;
    };
    const Case cases[] = {
        {master::Volume, kMelody, 0, "Master.Volume"},
        {master::ReverbFirst + 3, kDrum, 1, "SFX.Reverb.Level"},
        {master::Page, kMelody, 0, ""},
        {ch(0, local::Volume), kMelody, 0, "CH01:Chan.Volume"},
        {ch(15, local::SeqVelocityAmount), kMelody, 0, "CH16:Seq.Vel.Amount"},
        {ch(15, local::SeqVelocityAmount), kMelody, 1, "Seq.Vel.Amount"},
        {step(0, 0, 48), kMelody, 0, "CH01:[LN01/ST01]Note"},
        {step(4, 63, 49), kMelody, 1, "[LN05/ST64]Volume"},
        {lane(2, 176), kMelody, 0, "CH01:[LN03]On"},
        {lane(4, 177), kDrum, 1, "[LN05]Base"},
        {ch(2, local::FilterCutoff), kMelody, 0, "CH03:Filter.Cutoff"},
        {ch(2, local::FilterCutoff), kMelody, 1, "Melody:Filter.Cutoff"},
        {ch(2, 744), kMelody, 0, ""},
        {drum(0, local::DrumWave), kDrum, 0, "CH10:[C0]Osc.Wave"},
        {drum(0, local::DrumVolume), kDrum, 1, "Drum:[C0]Amp.Volume"},
        {ch(9, 1802), kDrum, 0, "CH10:[E5]SFX.Reverb"},
        {ch(9, 1802), kDrum, 1, "Drum:[E5]SFX.Reverb"},
        {drum(13, local::DrumMuteGroup), kDrum, 0, "CH10:[C#1]Mute Group"},
        {ch(9, local::KitMidiSelect), kDrum, 0, "CH10:MIDI Select"},
        {ch(9, local::KitKeyRangeLow), kDrum, 1, "Drum:Key Range.Low"},
        // The same index on a channel playing another kind of sound.
        {ch(9, 1802), kMelody, 0, ""},
        {ch(9, 1802), kOtherMode, 0, ""},
        {kParameterCount, kMelody, 0, ""},
        {-5, kMelody, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " mode " << c.mode << " style " << c.style);
        EXPECT_EQ(name(c.index, c.mode, c.style), c.name);
    }
}

TEST(ParameterText, UnitsFollowTheParameterAndTheLfoSync)
{
    struct Case {
        int index;
        int mode;
        bool bpmSync;
        const char *unit;
    };
    const Case cases[] = {
        {master::Volume, kMelody, false, "dB"},
        {master::Tune, kMelody, false, "Hz"},
        {master::Transpose, kMelody, false, "semitones"},
        {master::VoiceLimit, kMelody, false, "voices"},
        {master::ChorusFirst, kMelody, false, ""},
        {ch(0, local::Mode), kMelody, false, "mode"},
        {ch(0, local::ReverbSend), kMelody, false, "%"},
        {ch(0, local::SeqRate), kMelody, false, "note"},
        {ch(0, local::SeqLength), kMelody, false, "steps"},
        {ch(0, local::SeqPart), kMelody, false, "step"},
        {step(0, 0, 49), kMelody, false, "%"},
        {step(0, 0, 48), kMelody, false, ""},
        {ch(0, local::GlideTime), kMelody, false, "sec"},
        {ch(0, local::LfoRate), kMelody, false, "Hz"},
        {ch(0, local::LfoRate), kMelody, true, "note"},
        {ch(0, local::OscFinetone + 1), kMelody, false, "cents"},
        {ch(0, local::FilterSlope), kMelody, false, "dB/octave"},
        {ch(0, local::ArpOctave), kMelody, false, "octaves"},
        {drum(1, local::DrumFinetone), kDrum, false, "cents"},
        {drum(1, local::DrumVolume), kDrum, false, "dB"},
        {drum(1, local::DrumMuteGroup), kDrum, false, "group"},
        {drum(1, local::DrumPan), kDrum, false, ""},
        {ch(9, 1802), kMelody, false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(unit(c.index, c.mode, c.bpmSync), c.unit);
    }
}

// Hosts may run with a locale that writes and reads a decimal comma; our texts must not follow it.
class CommaLocale : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!setlocale(LC_NUMERIC, "de_DE.UTF-8") && !makeLocale())
            GTEST_SKIP() << "no locale with a decimal comma can be made here";
        if (localeconv()->decimal_point[0] != ',')
            GTEST_SKIP() << "the locale does not use a decimal comma";
    }

    void TearDown() override
    {
        setlocale(LC_NUMERIC, "C");
        if (!folder.empty()) {
            unsetenv("LOCPATH");
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    }

private:
    bool makeLocale()
    {
        char pattern[] = "/tmp/quorix-locale-XXXXXX";
        if (!mkdtemp(pattern))
            return false;
        folder = pattern;
        {
            std::ofstream source(folder / "comma.src");
            source << "LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"<U002E>\"\ngrouping 3;3\n"
                      "END LC_NUMERIC\n";
        }
        const std::string command = "localedef -c -i '" + (folder / "comma.src").string() + "' -f UTF-8 '" +
                                    (folder / "xx_XX.UTF-8").string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) == -1)
            return false;
        setenv("LOCPATH", folder.c_str(), 1);
        return setlocale(LC_NUMERIC, "xx_XX.UTF-8") != nullptr;
    }

    std::filesystem::path folder;
};

TEST_F(CommaLocale, TextsAndTypedNumbersUseAPoint)
{
    EXPECT_EQ(display(ch(0, local::GlideTime), 0.5f), "0.625");
    EXPECT_EQ(display(master::Volume, 1.0f), "6.02");
    const Parsed p = parse(ch(0, local::ChorusSend), "12.5");
    ASSERT_TRUE(p.taken);
    EXPECT_FLOAT_EQ(p.value, 0.125f);
    EXPECT_EQ(leadingNumber("1,5"), 1.0);
}

} // namespace parameter_text_test
