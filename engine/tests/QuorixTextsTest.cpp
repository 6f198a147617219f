// Texts as an instance gives them to the editor and the host: they follow what each channel
// plays now, the effects it holds and the host slots assigned to parameters.
#include "engine/tests/EngineTestSupport.h"

#include "engine/HostAutomationMap.h"
#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace quorix_texts_test {

using namespace engine;
using namespace enginetest;

namespace {

constexpr intptr_t fourCC(const char (&text)[5]) { return intptr_t(uint32_t(vstFourCC(text))); }

int ch(int channel, int localId) { return parameterIndex(channel, localId); }

struct Texts : testing::Test {
    std::unique_ptr<TestQuorix> q;
    void SetUp() override
    {
        clearHostAutomationMaps();
        q = std::make_unique<TestQuorix>();
        q->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
    }
    void TearDown() override
    {
        q.reset();
        clearHostAutomationMaps();
    }

    std::string name(int index, int style = 0)
    {
        char text[64];
        q->parameterName(index, text, style);
        return text;
    }
    std::string unit(int index)
    {
        char text[64];
        q->parameterUnit(index, text);
        return text;
    }
    std::string shown(int index, float value)
    {
        podoStr text;
        const bool some = q->parameterText(index, value, text);
        EXPECT_EQ(some, text.getNarrow()[0] != '\0');
        return text.getNarrow();
    }

    // What the host reads for a slot through the dispatcher, in a buffer larger than the 64
    // characters it may rely on: nothing is written past them.
    std::string hostText(int32_t opcode, int32_t slot)
    {
        char buffer[128];
        std::memset(buffer, 0x55, sizeof buffer);
        q->dispatcher(opcode, slot, 0, buffer, 0.0f);
        EXPECT_TRUE(std::all_of(buffer + 64, buffer + sizeof buffer, [](char c) { return c == 0x55; }));
        EXPECT_LT(strnlen(buffer, 64), 64u);
        return std::string(buffer, strnlen(buffer, 64));
    }
};

} // namespace

TEST_F(Texts, NamesUnitsAndDisplaysFollowTheChannelsRunningMode)
{
    const int index = ch(2, local::FirstInstrument);
    EXPECT_EQ(name(index), "CH03:Key Range.Low");
    EXPECT_EQ(name(index, 1), "Melody:Key Range.Low");
    EXPECT_EQ(shown(index, 0.5f), "E3");
    q->setParameterValue(ch(2, local::Mode), 1.0f);
    EXPECT_EQ(name(index), "CH03:[C0]Osc.Wave");
    EXPECT_EQ(name(index, 1), "Drum:[C0]Osc.Wave");
    EXPECT_EQ(shown(index, 0.0f), "<empty>");
    EXPECT_EQ(name(ch(2, 1802)), "CH03:[E5]SFX.Reverb");
    EXPECT_EQ(unit(ch(2, local::DrumVolume)), "dB");

    // The LFO rate reads and shows note lengths while the channel's LFO follows the tempo.
    const int rate = ch(0, local::LfoRate);
    EXPECT_EQ(unit(rate), "Hz");
    float value = 0.0f;
    ASSERT_TRUE(q->parseParameterText(rate, "1/4", value)); // 1 Hz
    EXPECT_EQ(shown(rate, value), "1.00");
    q->setParameterValue(ch(0, local::LfoBpmSync), 1.0f);
    EXPECT_EQ(unit(rate), "note");
    ASSERT_TRUE(q->parseParameterText(rate, "1/4", value));
    EXPECT_EQ(shown(rate, value), "1/4");
}

TEST_F(Texts, EffectParametersShowTheirEffectsReadOut)
{
    // The system chorus exists from the start; its rate has its own display.
    const std::string chorusRate = shown(master::ChorusFirst, 0.5f);
    EXPECT_NE(chorusRate, "");
    EXPECT_NE(chorusRate, "0.5");

    // The insert slots follow their type; a slot whose effect could not be made shows nothing.
    q->setParameterValue(ch(1, local::InsertType), 9.0f / 33); // overdrive
    char expected[64] = {};
    q->state.target.channels[1].insertEffects[0].effect->getParameterDisplay(2, 0.25f, expected);
    EXPECT_EQ(shown(ch(1, local::InsertParams + 2), 0.25f), expected);
    EXPECT_EQ(shown(ch(1, local::InsertType), 9.0f / 33), "OVERDRIVE");

    InsertEffectSlot &slot = q->state.target.channels[1].insertEffects[1];
    delete slot.effect;
    slot.effect = nullptr;
    podoStr text;
    EXPECT_FALSE(q->parameterText(ch(1, local::InsertParams + 3), 0.25f, text));
    EXPECT_STREQ(text.getNarrow(), "");
}

TEST_F(Texts, TypedTextIsStoredOrTheStoredValueIsSentAgain)
{
    RecordingEditor *editor = q->openEditor();
    ASSERT_NE(editor, nullptr);
    const int pan = ch(4, local::Pan);
    const int length = ch(4, local::SeqLength);
    struct Case {
        int index;
        const char *typed;
        float stored; // afterwards, and what the editor is sent
    };
    const Case cases[] = {
        {pan, "L20", 0.5f - 20.0f / 198.0f},
        {pan, "R500", 1.0f},      // held to the range
        {pan, "nan", 1.0f},       // refused: the stored value again
        {length, "32", 5.0f / 21.0f}, // a parameter that takes no text
        {master::Volume, "-oo", 0.0f},
        {ch(4, local::Transpose), "-12", 36.0f / 96.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        editor->take();
        q->setParameterFromText(c.index, c.typed);
        EXPECT_FLOAT_EQ(q->getParameterValue(c.index), c.stored);
        const std::vector<Message> m = editor->take();
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0].tag, c.index);
        EXPECT_FLOAT_EQ(m[0].value(), c.stored);
    }
    EXPECT_EQ(q->state.target.channels[4].transpose, -12);

    // Editor tags have no stored value to send again.
    editor->take();
    q->setParameterFromText(kParameterCount + 5, "1");
    q->setParameterFromText(-1, "1");
    EXPECT_TRUE(editor->take().empty());
}

TEST_F(Texts, HostSlotsShowTheirParametersOrThatNoneIsAssigned)
{
    assignHostSlot(0, master::Volume);
    assignHostSlot(5, ch(0, local::Volume));
    assignHostSlot(42, ch(9, local::DrumVolume + kDrumKeyValues * 10));
    assignHostSlot(127, ch(15, local::FirstLane));

    EXPECT_EQ(hostText(effGetParamName, 0), "000:Master.Volume");
    EXPECT_EQ(hostText(effGetParamName, 5), "005:CH01:Chan.Volume");
    EXPECT_EQ(hostText(effGetParamName, 42), "042:CH10:[A#0]Amp.Volume");
    EXPECT_EQ(hostText(effGetParamName, 127), "127:CH16:[LN01/ST01]Note");
    EXPECT_EQ(hostText(effGetParamName, 7), "007:<not assigned>");
    EXPECT_EQ(hostText(effGetParamDisplay, 0), "0.00");
    EXPECT_EQ(hostText(effGetParamLabel, 0), "dB");
    EXPECT_EQ(hostText(effGetParamDisplay, 127), "`");
    EXPECT_EQ(hostText(effGetParamLabel, 127), "");
    EXPECT_EQ(hostText(effGetParamDisplay, 7), "");
    EXPECT_EQ(hostText(effGetParamLabel, 7), "");

    // A drum key's slot on a channel that now plays a melody has an empty parameter name.
    q->setParameterValue(ch(9, local::Mode), 0.0f);
    EXPECT_EQ(hostText(effGetParamName, 42), "042:");
    EXPECT_EQ(hostText(effGetParamDisplay, 42), "");

    // Values: an assigned slot is its parameter; an unassigned one keeps what the host set.
    q->setParameter(0, 0.25f);
    EXPECT_EQ(q->getParameterValue(master::Volume), 0.25f);
    EXPECT_EQ(q->state.target.master.volume, 0.25f);
    EXPECT_EQ(q->getParameter(0), 0.25f);
    q->setParameterValue(master::Volume, 0.5f);
    EXPECT_EQ(q->getParameter(0), 0.5f);
    q->setParameter(7, 0.75f);
    EXPECT_EQ(q->getParameter(7), 0.75f);
    EXPECT_EQ(q->getParameterValue(master::Volume), 0.5f);

    // Forgetting a slot makes it unassigned again.
    assignHostSlot(0, -1);
    EXPECT_EQ(hostText(effGetParamName, 0), "000:<not assigned>");
}

// The host's text conversions ("cV2S", "cS2V") go through the slot's parameter.
TEST_F(Texts, HostTextConversionsMapTheSlot)
{
    assignHostSlot(3, ch(1, local::Pan));
    auto valueToText = [&](int slot, float value, std::string &text) {
        char buffer[64] = {};
        std::memcpy(buffer, &value, sizeof value);
        const intptr_t answer = q->dispatcher(effVendorSpecific, vstFourCC("host"), fourCC("cV2S"), buffer, float(slot));
        text = buffer;
        return answer;
    };
    auto textToValue = [&](int slot, const char *typed, float &value) {
        char buffer[64] = {};
        std::strncpy(buffer, typed, sizeof buffer - 1);
        const intptr_t answer = q->dispatcher(effVendorSpecific, vstFourCC("host"), fourCC("cS2V"), buffer, float(slot));
        std::memcpy(&value, buffer, sizeof value);
        return answer;
    };
    std::string text;
    EXPECT_EQ(valueToText(3, 1.0f, text), 1);
    EXPECT_EQ(text, "R99");
    float value = 0.0f;
    EXPECT_EQ(textToValue(3, "L99", value), 1);
    EXPECT_EQ(value, 0.0f);
    EXPECT_EQ(textToValue(3, "nan", value), 0);
    EXPECT_EQ(valueToText(4, 1.0f, text), 0);
    EXPECT_EQ(textToValue(4, "1", value), 0);

    float asFloat = -1.0f;
    int32_t asInteger = -1;
    bool asBoolean = false;
    q->decodeHostParameter(3, 0.75f, &asFloat, &asInteger, &asBoolean);
    EXPECT_EQ(asFloat, 0.75f);
    EXPECT_EQ(asInteger, 1);
    EXPECT_TRUE(asBoolean);
}

} // namespace quorix_texts_test
