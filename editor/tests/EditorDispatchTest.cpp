// The dispatch of control values: tags made the parameters of the current channel, the value
// conventions of the skinned controls, and the commands of the editor's own tags.
#include "editor/tests/EditorTestSupport.h"

#include "editor-framework/controls/vgcButtons.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "engine/ParameterIndex.h"
#include "gui/CTextEdit.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace editortest;
using namespace engine;
using namespace qgui;

namespace {

TEST(TagCategories, EveryRangeDecodesToItsCategoryIndexAndBase)
{
    struct Case {
        int32_t tag;
        TagCategory category;
        int32_t index, base;
    } cases[] = {
        {0, tagMaster, 0, 0},
        {16, tagMaster, 0, 16},
        {17, tagChannelSetting, 0, 17},
        {36, tagChannelSetting, 0, 36},
        {37, tagSequencerSetting, 0, 37},
        {48, tagLane, 0, 48},
        {697, tagLane, 0, 697},
        {698, tagInstrument, 0, 698},
        {1806, tagChannelSetting, 1, 17},
        {28640, tagInstrument, 15, 1805},
        {28641, tagSpecial, 0, 28641},
        {28645, tagSpecial, 0, 28645},
        {28646, tagBrowserList, 0, 28646},
        {28773, tagBrowserList, 127, 28646},
        {28774, tagBrowserList, 0, 28774},
        {28901, tagBrowserList, 127, 28774},
        {28902, tagChannelGroup, 0, 28902},
        {28917, tagChannelGroup, 15, 28902},
        {28918, tagChannelGroup, 0, 28918},
        {28933, tagChannelGroup, 15, 28918},
        {28934, tagSequencerCommand, 7, 28934},
        {28957, tagOscillatorStep, 7, 28957},
        {28965, tagDrumStep, 7, 28965},
        {28966, tagEditor, 0, 28966},
        {29191, tagEditor, 0, 29191},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tag);
        int32_t index = -5, base = -5;
        EXPECT_EQ(Quorix_Editor::decodeTag(c.tag, &index, &base, 7), c.category);
        EXPECT_EQ(index, c.index);
        EXPECT_EQ(base, c.base);
    }
}

struct Dispatch : OpenEditor {
    // Sends a control's report through the dispatch as the frame does; the rewritten pair back.
    std::pair<int32_t, float> report(CControl *control, int32_t tag, float value)
    {
        editor->preValueChanged(control, tag, value);
        return {tag, value};
    }
    void current(int32_t channel)
    {
        editor->selectChannel(channel);
        settle();
        engine->take();
    }
    CControl *anyControl() { return editor->getChannelControl(0, Quorix_Editor::levelFader); }
};

TEST_F(Dispatch, PageTagsBecomeTheCurrentChannelsParameters)
{
    current(5);
    engineSets(ch(5, local::SeqPart), 2.0f / 3.0f);
    const int32_t stepNote = local::FirstLane + local::LaneSpan + 2 * 3; // lane 1, step 3
    const int32_t laneBase = local::FirstLane + local::LaneSpan + 129;   // lane 1's base
    struct Case {
        int32_t tag;
        int32_t resolved, channel, local, step;
    } melody[] = {
        {ch(2, local::Volume), ch(2, local::Volume), 2, local::Volume, 0}, // a mixer row keeps its channel
        {ch(0, local::InsertOn), ch(5, local::InsertOn), 5, local::InsertOn, 0},
        {ch(0, local::SeqRate), ch(5, local::SeqRate), 5, local::SeqRate, 0},
        {ch(0, stepNote), ch(5, stepNote) + 64, 5, local::StepNote, 35},
        {ch(0, laneBase), ch(5, laneBase), 5, local::LaneBase, 0},
        {ch(0, local::FilterCutoff), ch(5, local::FilterCutoff), 5, local::FilterCutoff, 0},
        {editorTag::gmReset, editorTag::gmReset, 0, editorTag::gmReset, 0},
    };
    for (const Case &c : melody) {
        SCOPED_TRACE(c.tag);
        int32_t tag = c.tag, channel = -1, local = -1, kind = -1, slot = -1, lane = -1, step = -1;
        editor->resolveTagParameter(tag, &channel, &local, &kind, &slot, &lane, &step);
        EXPECT_EQ(tag, c.resolved);
        EXPECT_EQ(channel, c.channel);
        EXPECT_EQ(local, c.local);
        EXPECT_EQ(step, c.step);
    }

    engineSets(ch(5, local::Mode), 1.0f); // a drum kit, slot 3 selected
    engine->setSelectedDrumSlot(5, 3);
    int32_t tag = ch(0, local::DrumSemitone), slot = -1, local = -1;
    editor->resolveTagParameter(tag, nullptr, &local, nullptr, &slot, nullptr, nullptr);
    EXPECT_EQ(tag, ch(5, local::DrumSemitone) + 17 * 3);
    EXPECT_EQ(slot, 3);
    EXPECT_EQ(local, local::DrumSemitone);
    tag = ch(0, local::KitKeyRangeLow);
    editor->resolveTagParameter(tag, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(tag, ch(5, local::KitKeyRangeLow));
}

TEST_F(Dispatch, TypedMasterTuneIsReadInHertz)
{
    struct Case {
        const char *text;
        float value;
    } cases[] = {{"430", 0.3012f}, {"450", 0.6945f}, {"440", 0.5f}, {"500", 1.0f}, {"400", 0.0f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        editor->masterTuneField->setText(c.text);
        report(editor->masterTuneField, master::Tune, controlSignal::textEntry);
        const std::vector<EngineCall> calls = engine->take();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].kind, EngineCall::plain); // typed tune is not reported to the host
        EXPECT_NEAR(calls[0].value, c.value, 1e-3f);
    }
    // Nothing positive: the stored tune is sent again.
    engineSets(master::Tune, 0.25f);
    engine->take();
    editor->masterTuneField->setText("0");
    report(editor->masterTuneField, master::Tune, controlSignal::textEntry);
    const std::vector<EngineCall> calls = engine->take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].value, 0.25f);
}

TEST_F(Dispatch, RightClickKeepsTheControlsValueAndChangesNoParameter)
{
    CControl *fader = editor->getChannelControl(4, Quorix_Editor::levelFader);
    const auto [tag, value] = report(fader, ch(4, local::Volume), -1.0f - 0.3f);
    EXPECT_EQ(tag, ch(4, local::Volume));
    EXPECT_FLOAT_EQ(value, 0.3f);
    EXPECT_FLOAT_EQ(fader->getValue(), 0.3f);
    EXPECT_TRUE(engine->take().empty());
}

TEST_F(Dispatch, InsertTypeZeroSwitchesTheSlotOffFirst)
{
    current(2);
    report(anyControl(), ch(0, local::InsertType + 1), 0.0f);
    report(anyControl(), ch(0, local::InsertType), 0.5f);
    const std::vector<EngineCall> calls = engine->take();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].a, ch(2, local::InsertOn + 1));
    EXPECT_EQ(calls[0].value, 0.0f);
    EXPECT_EQ(calls[1].a, ch(2, local::InsertType + 1));
    EXPECT_EQ(calls[1].value, 0.0f);
    EXPECT_EQ(calls[2].a, ch(2, local::InsertOn));
    EXPECT_EQ(calls[2].value, 1.0f);
    EXPECT_EQ(calls[3].a, ch(2, local::InsertType));
    EXPECT_FLOAT_EQ(calls[3].value, 17.0f / 33.0f); // 16.5 rounds away from zero
    for (const EngineCall &call : calls)
        EXPECT_EQ(call.kind, EngineCall::automated);
}

TEST_F(Dispatch, StepNotesStepAndTheOffStepGetsAVelocity)
{
    current(1);
    engineSets(ch(1, local::StepNote), 1.0f); // lane 0, step 0: code 52, off
    engine->take();
    report(anyControl(), local::StepNote, 0.9f);
    std::vector<EngineCall> calls = engine->take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].a, ch(1, local::StepNote));
    EXPECT_FLOAT_EQ(calls[0].value, 0.48f); // code 0
    EXPECT_EQ(calls[1].a, ch(1, local::StepVolume));
    EXPECT_EQ(calls[1].value, 1.0f);

    report(anyControl(), local::StepNote, 0.1f); // one below
    calls = engine->take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FLOAT_EQ(calls[0].value, 0.47f);
}

TEST_F(Dispatch, SequencerPartButtonsAreNotReportedToTheHost)
{
    current(3);
    report(anyControl(), editorTag::sequencerPart + 2, 1.0f);
    const std::vector<EngineCall> calls = engine->take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, EngineCall::plain);
    EXPECT_EQ(calls[0].a, ch(3, local::SeqPart));
    EXPECT_FLOAT_EQ(calls[0].value, 2.0f / 3.0f);
}

TEST_F(Dispatch, DoubleClickStartsTextEntryOfMixerValuesOnly)
{
    engineSets(ch(1, local::Volume), 0.2f);
    engine->take();
    CControl *fader = editor->getChannelControl(1, Quorix_Editor::levelFader);
    fader->setValue(0.9f);
    report(fader, ch(1, local::Volume), controlSignal::doubleClick + 0.9f);
    EXPECT_FLOAT_EQ(fader->getValue(), 0.2f);
    EXPECT_EQ(editor->getFrame()->getFocusView(), editor->lcdValueField);
    EXPECT_TRUE(engine->take().empty());

    editor->getFrame()->setFocusView(nullptr);
    report(anyControl(), ch(0, local::InsertParams), controlSignal::doubleClick);
    EXPECT_EQ(editor->getFrame()->getFocusView(), nullptr);
    EXPECT_TRUE(engine->take().empty());
}

TEST_F(Dispatch, TheWheelStepsTheParameterWithinItsRange)
{
    engineSets(ch(1, local::Pan), 0.98f);
    engine->take();
    CControl *pan = editor->getChannelControl(1, Quorix_Editor::panFader);
    const auto [tag, value] = report(pan, ch(1, local::Pan), controlSignal::wheel + 0.05f);
    EXPECT_EQ(engine->getParameterValue(ch(1, local::Pan)), 1.0f);
    EXPECT_FLOAT_EQ(value, 8.0f); // the frame takes 7 off and shows 1
}

TEST_F(Dispatch, ChannelNameFieldsSelectTheirChannelAndRefusePastes)
{
    auto *name = dynamic_cast<vgcTextEdit *>(editor->getChannelControl(6, Quorix_Editor::nameField));
    ASSERT_NE(name, nullptr);
    const int32_t paste = kTextEntryAskPaste;
    name->setAttribute(kTextEntryVetoAttribute, sizeof paste, &paste);
    report(name, editorTag::channelName + 6, 0.0f);
    EXPECT_EQ(editor->currentChannelNow(), 0);
    int32_t answer = -1;
    uint32_t size = 0;
    name->getAttribute(kTextEntryVetoAttribute, sizeof answer, &answer, size);
    EXPECT_EQ(answer, 0);
    // A length question of a field that edits a parameter changes no parameter.
    const int32_t length = kTextEntryAskLength;
    name->setAttribute(kTextEntryVetoAttribute, sizeof length, &length);
    report(name, ch(6, local::Volume), 0.4f);
    EXPECT_TRUE(engine->take().empty());

    name->setText("Strings and more than twenty-three letters");
    report(name, editorTag::channelName + 6, controlSignal::textEntry);
    EXPECT_EQ(editor->currentChannelNow(), 6);
    EXPECT_EQ(engine->getCurrentChannel(), 6);
    EXPECT_EQ(std::string(engine->getChannelName(6).getNarrow()), "Strings and more than t");
}

TEST_F(Dispatch, PanicStopsAllNotesAndTheSwitchReturns)
{
    const auto [tag, value] = report(anyControl(), editorTag::panic, 1.0f);
    EXPECT_EQ(value, 0.0f);
    const std::vector<EngineCall> calls = engine->take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, EngineCall::allNotesOff);
}

TEST_F(Dispatch, WheelsSendPitchBendAndModulationToTheCurrentChannel)
{
    current(9);
    report(anyControl(), editorTag::pitchWheel, 1.0f);
    report(anyControl(), editorTag::modulationWheel, 0.5f);
    const std::vector<EngineCall> calls = engine->take();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, EngineCall::midi);
    EXPECT_EQ(calls[0].a, 9);
    EXPECT_EQ(calls[0].b, 0xE0);
    EXPECT_EQ(calls[0].c, 0x7F | (0x7F << 8));
    const EngineCall &modulation = calls.back();
    EXPECT_EQ(modulation.b, 0xB0);
    EXPECT_EQ(modulation.c, 1 | (64 << 8));
}

TEST_F(Dispatch, AValueEntryAreaSlotHoldsOneArea)
{
    editor->notePlaced(editor->getChannelControl(0, Quorix_Editor::levelFader));
    vgcArea *first = editor->addTaggedAreaC(702, 0, 0, 10, 10);
    vgcArea *second = editor->addTaggedArea(61, 0, 0, 10, 10); // the same slot
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(editor->gridAreaTable[61], second);
    EXPECT_EQ(first->getTag(), -1);
    EXPECT_FALSE(first->getMouseEnabled());
    EXPECT_EQ(second->getTag(), 61);
    EXPECT_TRUE(second->getMouseEnabled());
    vgcArea *untagged = editor->addGridArea(5, -1, 0, 0, 10, 10);
    ASSERT_NE(untagged, nullptr);
    EXPECT_FALSE(untagged->getMouseEnabled());
    EXPECT_EQ(editor->addTaggedArea(120, 0, 0, 1, 1), nullptr); // outside the table
    // Made after the pages were built: no page releases them.
    editor->gridAreaTable[61] = nullptr;
    editor->gridAreaTable[99] = nullptr;
    for (vgcArea *area : {first, second, untagged})
        area->forget();
}

TEST_F(Dispatch, TheKeyboardIsLaidOutByPitchClass)
{
    struct Case {
        int32_t note;
        bool black;
        double x;
    } cases[] = {{21, false, 149}, {22, true, 158}, {23, false, 160}, {25, true, 178}, {37, true, 255},
                 {106, true, 697}, {107, false, 699}, {108, false, 710}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.note);
        CControl *key = c.black ? editor->blackKeyControls[c.note - 21] : editor->whiteKeyControls[c.note - 21];
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->getViewSize().left, c.x);
        EXPECT_EQ(key->getTag(), editorTag::key + c.note);
        EXPECT_EQ(c.black ? editor->whiteKeyControls[c.note - 21] : editor->blackKeyControls[c.note - 21], nullptr);
    }
}

} // namespace

namespace {

TEST_F(Dispatch, PitchSteppersMoveBySemitonesWithinFourOctaves)
{
    current(2);
    struct Case {
        float from;
        int32_t delta;
        float to;
    } cases[] = {{0.5f, 1, 49.0f / 96}, {1.0f, 1, 1.0f}, {0.0f, -1, 0.0f}, {0.5f, -1, 47.0f / 96}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.from);
        engineSets(ch(2, local::OscSemitone + 1), c.from);
        report(anyControl(), c.delta > 0 ? editorTag::pitchUp + 1 : editorTag::pitchDown + 1, 1.0f);
        EXPECT_NEAR(engine->getParameterValue(ch(2, local::OscSemitone + 1)), c.to, 1e-6f);
    }
    // A drum kit steps its selected slot.
    engineSets(ch(2, local::Mode), 1.0f);
    engine->setSelectedDrumSlot(2, 4);
    engineSets(ch(2, local::DrumSemitone + 17 * 4), 0.5f);
    report(anyControl(), editorTag::drumPitchUp, 1.0f);
    EXPECT_NEAR(engine->getParameterValue(ch(2, local::DrumSemitone + 17 * 4)), 49.0f / 96, 1e-6f);
}

} // namespace
