// The melody and drum edit pages: their layout where other code depends on it, the road of their
// controls to the current channel (and selected drum slot), and engine values shown on them.
#include "editor/tests/EditorTestSupport.h"

#include "editor-framework/controls/vgcEnvAR.h"
#include "editor-framework/controls/vgcOptionMenu.h"
#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

using namespace editortest;
using namespace engine;
using namespace qgui;

namespace {

struct EditPages : OpenEditor {
    void showEdit(int32_t channel, int32_t mode)
    {
        editor->selectChannel(channel);
        engineSets(ch(channel, local::Mode), float(mode));
        engineSets(master::Page, 0.75f);
        ASSERT_TRUE(editor->isPageShown(mode == 1 ? pageDrumEdit : pageMelodyEdit));
        engine->take();
    }
    // What the engine hears when the control reports a value, as the frame passes it on.
    std::vector<EngineCall> report(CControl *control, float value)
    {
        int32_t tag = control->getTag();
        editor->preValueChanged(control, tag, value);
        return engine->take();
    }
    bool inRange(int32_t page, CControl *control) const
    {
        const Quorix_Editor::ControlRange range = editor->getPageControlRange(page);
        for (uint32_t i = range.first; i < range.end; ++i)
            if (editor->getControlAt(int32_t(i)) == control)
                return true;
        return false;
    }
    CControl *melody(int32_t local) { return editor->melodyControls[local - local::FirstInstrument]; }
    CControl *drumKey(int32_t local) { return editor->drumKeyControls[local - local::DrumWave]; }
};

TEST_F(EditPages, DrumCellsStandInThreeColumnsColouredLikeKeys)
{
    struct Case {
        int32_t slot;
        int32_t x, y;
        const char *image;
    } cases[] = {
        {0, 26, 392, "cell-drum-white"},  {1, 26, 378, "cell-drum-black"},  {23, 26, 70, "cell-drum-white"},
        {24, 81, 392, "cell-drum-white"}, {25, 81, 378, "cell-drum-black"}, {46, 81, 84, "cell-drum-black"},
        {48, 136, 392, "cell-drum-white"}, {64, 136, 168, "cell-drum-white"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.slot);
        CControl *cell = editor->drumSelectionLeds[c.slot];
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->getTag(), editorTag::drumSlot + c.slot);
        EXPECT_EQ(cell->getViewSize().left, c.x);
        EXPECT_EQ(cell->getViewSize().top, c.y);
        EXPECT_EQ(cell->getBackground(), editor->findImage(c.image));
        CControl *led = editor->drumHitLeds[c.slot];
        EXPECT_EQ(led->getViewSize().left, c.x + 3);
        EXPECT_EQ(led->getViewSize().top, c.y + 2);
        EXPECT_FALSE(led->getMouseEnabled());
        EXPECT_TRUE(inRange(pageDrumEdit, cell));
    }
}

TEST_F(EditPages, EachPageOwnsAStripOfItsOwnWithTheSameGeometry)
{
    for (int32_t e = 0; e < 27; ++e) {
        SCOPED_TRACE(e);
        CControl *melodyStrip = editor->editStripControls[0][e];
        CControl *drumStrip = editor->editStripControls[1][e];
        ASSERT_NE(melodyStrip, nullptr);
        ASSERT_NE(drumStrip, nullptr);
        EXPECT_NE(melodyStrip, drumStrip);
        EXPECT_EQ(melodyStrip->getTag(), drumStrip->getTag());
        EXPECT_EQ(melodyStrip->getViewSize(), drumStrip->getViewSize());
        EXPECT_TRUE(inRange(pageMelodyEdit, melodyStrip));
        EXPECT_FALSE(inRange(pageDrumEdit, melodyStrip));
        EXPECT_TRUE(inRange(pageDrumEdit, drumStrip));
    }
    for (int32_t s = 0; s < 2; ++s) {
        auto *types = dynamic_cast<COptionMenu *>(editor->editStripControls[1][12 + 8 * s]);
        ASSERT_NE(types, nullptr);
        EXPECT_EQ(types->getNbEntries(), 34);
        EXPECT_EQ(types->getNbItemsPerColumn(), 17);
        EXPECT_EQ(types->getTag(), local::InsertType + s);
    }
}

TEST_F(EditPages, MelodyControlsEditTheCurrentChannel)
{
    showEdit(5, 0);
    struct Case {
        int32_t local;
        float value;
    } cases[] = {{local::FilterCutoff, 0.25f}, {local::AmpEnvelope + 2, 0.5f}, {local::ArpGateTime, 0.75f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.local);
        const auto calls = report(melody(c.local), c.value);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].kind, EngineCall::automated);
        EXPECT_EQ(calls[0].a, ch(5, c.local));
        EXPECT_FLOAT_EQ(engine->getParameterValue(ch(5, c.local)), c.value);
    }
    // The strip edits the channel's own settings.
    const auto calls = report(editor->editStripControls[0][7], 0.5f);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].a, ch(5, local::ChorusSend));
}

TEST_F(EditPages, DrumKeyControlsEditTheSelectedSlotAndKitControlsTheKit)
{
    showEdit(3, 1);
    report(editor->drumSelectionLeds[10], 1.0f);
    EXPECT_EQ(engine->getSelectedDrumSlot(3), 10);
    EXPECT_EQ(editor->drumSelectionLeds[10]->getValue(), 1.0f);

    auto calls = report(drumKey(local::DrumFilterCutoff), 0.4f);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].a, ch(3, local::DrumFilterCutoff + 17 * 10));
    calls = report(editor->drumKitControls[2], 1.0f);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].a, ch(3, local::KitMidiSelect));

    // Choosing another slot moves the selection light and shows that slot's values.
    engine->setParameterValue(ch(3, local::DrumFilterCutoff + 17 * 20), 0.125f);
    report(editor->drumSelectionLeds[20], 1.0f);
    settle();
    EXPECT_EQ(editor->drumSelectionLeds[10]->getValue(), 0.0f);
    EXPECT_EQ(editor->drumSelectionLeds[20]->getValue(), 1.0f);
    EXPECT_FLOAT_EQ(drumKey(local::DrumFilterCutoff)->getValue(), 0.125f);
}

TEST_F(EditPages, EngineValuesShowOnTheMelodyPageOfTheCurrentChannelOnly)
{
    showEdit(2, 0);
    engineSets(ch(2, local::FilterResonance), 0.3f);
    EXPECT_FLOAT_EQ(melody(local::FilterResonance)->getValue(), 0.3f);
    engineSets(ch(4, local::FilterResonance), 0.9f);
    EXPECT_FLOAT_EQ(melody(local::FilterResonance)->getValue(), 0.3f);

    engineSets(ch(2, local::KeyRangeLow), 60.0f / 127.0f);
    EXPECT_EQ(text(melody(local::KeyRangeLow)), "C3");
    engineSets(ch(2, local::VelocityRangeHigh), 100.0f / 127.0f);
    EXPECT_EQ(text(melody(local::VelocityRangeHigh)), "100");
    engineSets(ch(2, local::OscSemitone + 1), 55.0f / 96.0f);
    EXPECT_EQ(text(melody(local::OscSemitone + 1)), "+7");

    // The sustain level moves the end of the decay and the start of the release.
    engineSets(ch(2, local::FilterEnvelope + 2), 0.5f);
    vgcEnvAR *attackDecay = editor->melodyEnvelopeDisplays[0];
    vgcEnvAR *release = editor->melodyEnvelopeDisplays[1];
    const int32_t height = int32_t(attackDecay->getViewSize().getHeight());
    EXPECT_NEAR(attackDecay->curvePoints().back().y, height / 2.0, 2.0);
    EXPECT_NEAR(release->curvePoints().front().y, height / 2.0, 2.0);

    engineSets(ch(2, local::Transpose), 60.0f / 96.0f);
    EXPECT_EQ(text(editor->editStripControls[0][5]), "+12");
}

TEST_F(EditPages, DrumPageShowsTheSelectedSlotAndItsButtonPairs)
{
    showEdit(1, 1);
    report(editor->drumSelectionLeds[7], -1.0f);
    settle();

    engineSets(ch(1, local::DrumVolume + 17 * 7), 0.2f);
    EXPECT_FLOAT_EQ(drumKey(local::DrumVolume)->getValue(), 0.2f);
    engineSets(ch(1, local::DrumVolume + 17 * 8), 0.9f); // not the selected slot
    EXPECT_FLOAT_EQ(drumKey(local::DrumVolume)->getValue(), 0.2f);

    struct Case {
        float value;
        float first, second;
    } pairs[] = {{0.0f, 0, 0}, {0.5f, 1, 0}, {1.0f, 0, 1}};
    for (const Case &c : pairs) {
        SCOPED_TRACE(c.value);
        engineSets(ch(1, local::DrumMuteGroup + 17 * 7), c.value);
        EXPECT_EQ(editor->muteGroupButtons[0]->getValue(), c.first);
        EXPECT_EQ(editor->muteGroupButtons[1]->getValue(), c.second);
        engineSets(ch(1, local::DrumInsertBus + 17 * 7), c.value);
        EXPECT_EQ(editor->toIfxButtons[0]->getValue(), c.first);
        EXPECT_EQ(editor->toIfxButtons[1]->getValue(), c.second);
    }
    engineSets(ch(1, local::KitKeyRangeHigh), 72.0f / 127.0f);
    EXPECT_EQ(text(editor->drumKitControls[1]), "C4");
}

TEST_F(EditPages, HitLedsFadeFromHitToHeldAndShowTheSelectedMuteGroup)
{
    showEdit(0, 1);
    report(editor->drumSelectionLeds[4], -1.0f);
    engine->setParameterValue(ch(0, local::DrumMuteGroup + 17 * 4), 0.5f);
    engine->setParameterValue(ch(0, local::DrumMuteGroup + 17 * 9), 0.5f);
    engine->setParameterValue(ch(0, local::DrumMuteGroup + 17 * 11), 1.0f);
    settle();

    editor->drumSlotHit(0, 2, true);
    EXPECT_FLOAT_EQ(editor->drumHitLeds[2]->getValue(), 1.0f);
    editor->onTimer(0.2f);
    EXPECT_FLOAT_EQ(editor->drumHitLeds[2]->getValue(), 0.67f);
    editor->drumSlotHit(0, 2, false);
    EXPECT_FLOAT_EQ(editor->drumHitLeds[2]->getValue(), 0.0f);

    editor->refreshDrumLeds(-1);
    EXPECT_FLOAT_EQ(editor->drumHitLeds[9]->getValue(), 0.33f);  // the selected slot's group
    EXPECT_FLOAT_EQ(editor->drumHitLeds[11]->getValue(), 0.0f);  // another group
    // A hit on another channel only counts there.
    editor->drumSlotHit(6, 2, true);
    EXPECT_FLOAT_EQ(editor->drumHitLeds[2]->getValue(), 0.0f);
}

TEST_F(EditPages, CellsAuditionTheirKeyThroughTheChannelsTranspose)
{
    showEdit(0, 1);
    engineSets(ch(0, local::Transpose), 50.0f / 96.0f); // +2 semitones
    engine->take();
    auto calls = report(editor->drumSelectionLeds[12], 1.0f);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().kind, EngineCall::noteOn);
    EXPECT_EQ(calls.back().c, 12 + 24 - 2);
    EXPECT_EQ(calls.back().value, 127.0f);
    calls = report(editor->drumSelectionLeds[12], 0.0f);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().kind, EngineCall::noteOff);
}

} // namespace
