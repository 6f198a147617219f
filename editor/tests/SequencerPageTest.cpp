// The sequencer page on an engine, headless: the page's controls edit the current channel's
// sequencer and shown part; engine changes show in the grid; cursor, selection, playing step and
// the page's menus.
#include "editor/tests/EditorTestSupport.h"

#include "editor-framework/controls/vgcControl.h"
#include "editor-framework/controls/vgcKnobs.h"
#include "editor-framework/podoSkin.h"
#include "editor/EditorTags.h"
#include "engine/ParameterIndex.h"
#include "foundation/podoMenu.h"
#include "foundation/podoShell.h"
#include "foundation/podoWnd.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace sequencer_page_test {

using namespace editortest;
using namespace engine;
using namespace qgui;

namespace {

constexpr int32_t stepNote(int32_t lane, int32_t step) { return 48 + 130 * lane + 2 * step; }
constexpr int32_t stepVelocity(int32_t lane, int32_t step) { return 49 + 130 * lane + 2 * step; }
constexpr int32_t laneOn(int32_t lane) { return 176 + 130 * lane; }
constexpr int32_t laneBase(int32_t lane) { return 177 + 130 * lane; }
float code(int32_t c) { return float(c + 48) * 0.01f; }

struct ShownMenu {
    std::vector<uint32_t> ids, checked, disabled;
    std::vector<std::string> captions;
    int32_t calls = 0;
};
ShownMenu shown;
uint32_t answer = 0;

uint32_t chooser(const podoMenu &menu, int32_t, int32_t)
{
    shown = ShownMenu{{}, {}, {}, {}, shown.calls + 1};
    for (int32_t i = 0; i < menu.itemCount(); ++i) {
        const podoMenuItem &item = menu.itemAt(i);
        if (item.state & podo::itemSeparator)
            continue;
        shown.ids.push_back(uint32_t(item.id));
        shown.captions.push_back(item.caption.getNarrow());
        if (item.state & podo::itemChecked)
            shown.checked.push_back(uint32_t(item.id));
        if (item.state & (podo::itemDisabled | podo::itemGrayed))
            shown.disabled.push_back(uint32_t(item.id));
    }
    return answer;
}

struct SequencerPage : OpenEditor {
    static constexpr int32_t channel = 3;
    podo::MenuChooser previous = nullptr;

    void SetUp() override
    {
        OpenEditor::SetUp();
        previous = podo::setMenuChooser(chooser);
        shown = ShownMenu{};
        answer = 0;
        editor->selectChannel(channel);
        engineSets(master::Page, 0.5f);
        ASSERT_TRUE(editor->isPageShown(pageSequencer));
        engine->take();
    }
    void TearDown() override
    {
        podo::setMenuChooser(previous);
        OpenEditor::TearDown();
    }
    CControl *note(int32_t lane, int32_t column) { return editor->sequencerLanes[lane].notes[column]; }
    CControl *fader(int32_t lane, int32_t column) { return editor->sequencerLanes[lane].velocities[column]; }
    CControl *withTag(int32_t tag)
    {
        const Quorix_Editor::ControlRange range = editor->getPageControlRange(pageSequencer);
        for (uint32_t i = range.first; i < range.end; ++i)
            if (editor->getControlAt(int32_t(i))->getTag() == tag)
                return editor->getControlAt(int32_t(i));
        return nullptr;
    }
    bool shows(CControl *control, const char *image) { return control->getBackground() == editor->findImage(image); }
};

TEST_F(SequencerPage, StepTextsFollowTheLaneBase)
{
    struct Case {
        int32_t code, base;
        bool forMenu;
        const char *text;
    } cases[] = {
        {5, 129, false, "+5"},  {-12, 129, false, "-12"}, {0, 129, false, "0"},   {0, 129, true, "&0"},
        {0, 60, false, "C3"},   {7, 60, false, "G3"},     {28, 100, false, "G#8"}, {30, 100, false, "+30"},
        {-48, 10, false, "-48"}, {-10, 10, false, "C-2"},
    };
    for (const Case &c : cases) {
        char text[16] = {};
        EXPECT_TRUE(Quorix_Editor::formatStepLabel(c.code, c.base, text, sizeof text, c.forMenu));
        EXPECT_STREQ(text, c.text) << c.code << " on " << c.base;
    }
}

TEST_F(SequencerPage, ControlsEditTheCurrentChannelAndShownPart)
{
    click(editor->partButtons[1]);
    EXPECT_EQ(engine->getSeqPart(channel), 1);
    settle();
    EXPECT_EQ(editor->partButtons[1]->getValue(), 1.0f);
    EXPECT_EQ(editor->partButtons[0]->getValue(), 0.0f);
    engine->take();

    // A velocity cell of the grid edits step 16 + column of the shown part.
    click(fader(2, 4));
    std::vector<EngineCall> calls = engine->take();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().kind, EngineCall::automated);
    EXPECT_EQ(calls.back().a, ch(channel, stepVelocity(2, 20)));

    for (CControl *button : {editor->tripletButton, editor->sequencerLanes[4].onButton}) {
        click(button);
        calls = engine->take();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].kind, EngineCall::automated);
        EXPECT_EQ(calls[0].a, ch(channel, button->getTag()));
    }
}

TEST_F(SequencerPage, EngineChangesShowInTheGrid)
{
    engineSets(ch(channel, laneBase(1)), 60.0f / 132);
    engineSets(ch(channel, stepNote(1, 2)), code(7));
    engineSets(ch(channel, stepNote(1, 3)), code(52));
    engineSets(ch(channel, stepNote(1, 4)), code(49));
    engineSets(ch(channel, stepVelocity(1, 5)), 0.25f);
    EXPECT_EQ(text(editor->sequencerLanes[1].baseLabel), "C3");
    EXPECT_EQ(text(note(1, 2)), "G3");
    EXPECT_EQ(text(note(1, 3)), "OFF");
    EXPECT_EQ(text(note(1, 4)), "===");
    EXPECT_FLOAT_EQ(fader(1, 5)->getValue(), 0.25f);

    // A step outside the shown part leaves the cell of its column alone.
    engineSets(ch(channel, stepNote(1, 18)), code(-5));
    EXPECT_EQ(text(note(1, 2)), "G3");
    // Another channel's steps do not reach the page.
    engineSets(ch(channel + 1, stepNote(1, 2)), code(0));
    EXPECT_EQ(text(note(1, 2)), "G3");

    // A base of a held key shows offsets; the whole lane is written again.
    engineSets(ch(channel, laneBase(1)), 130.0f / 132);
    EXPECT_EQ(text(editor->sequencerLanes[1].baseLabel), "IN3");
    EXPECT_EQ(text(note(1, 2)), "+7");

    // Showing part 1 writes its steps into the cells.
    engineSets(ch(channel, local::SeqPart), 0.33333334f);
    EXPECT_EQ(text(note(1, 2)), "-5");
    EXPECT_EQ(editor->partButtons[1]->getValue(), 1.0f);

    engineSets(ch(channel, local::SeqLength), 15.0f / 63);
    EXPECT_EQ(text(editor->lengthLabel), "16");
    engineSets(ch(channel, local::SeqRootPitch), 1.0f);
    EXPECT_EQ(text(editor->rootPitchLabel), "OFF");
    engineSets(ch(channel, local::SeqRootPitch), 72.0f / 128);
    EXPECT_EQ(text(editor->rootPitchLabel), "C4");
}

TEST_F(SequencerPage, CursorMovesAndExtendsTheSelection)
{
    int32_t *c = editor->sequencerCursor;
    // The first move starts from step 0 of lane 0.
    editor->moveStepCursor(3, false);
    EXPECT_EQ(std::vector<int32_t>(c, c + 6), (std::vector<int32_t>{3, 0, 3, 3, 0, 0}));

    editor->moveStepCursor(1, true);
    EXPECT_EQ(std::vector<int32_t>(c, c + 6), (std::vector<int32_t>{4, 0, 3, 4, 0, 0}));
    editor->moveStepCursor(-1, false);
    EXPECT_EQ(std::vector<int32_t>(c, c + 6), (std::vector<int32_t>{3, 0, 3, 3, 0, 0}));
    editor->moveStepCursor(-1, true);
    EXPECT_EQ(std::vector<int32_t>(c, c + 6), (std::vector<int32_t>{2, 0, 2, 3, 0, 0}));
    editor->moveLaneCursor(2, true);
    EXPECT_EQ(std::vector<int32_t>(c, c + 6), (std::vector<int32_t>{2, 2, 2, 3, 0, 2}));
    // Held to the grid.
    editor->moveLaneCursor(9, false);
    EXPECT_EQ(std::vector<int32_t>(c, c + 6), (std::vector<int32_t>{2, 4, 2, 2, 4, 4}));
    editor->moveStepCursor(-20, true);
    EXPECT_EQ(std::vector<int32_t>(c, c + 6), (std::vector<int32_t>{0, 4, 0, 2, 4, 4}));

    // Selected cells and the cursor's text colour.
    EXPECT_TRUE(shows(note(4, 1), "back-seq03"));
    EXPECT_FALSE(shows(note(3, 1), "back-seq03"));
    EXPECT_FALSE(shows(note(4, 3), "back-seq03"));
    auto colour = [&](int32_t lane, int32_t column) {
        return static_cast<CParamDisplay *>(note(lane, column))->getFontColor();
    };
    EXPECT_EQ(colour(4, 0), vgcSkinColor(skinFontHighlight));
    EXPECT_EQ(colour(4, 1), vgcSkinColor(skinFontDefault));
    // The cell the cursor left takes its lane's colour again.
    editor->moveStepCursor(1, false);
    EXPECT_EQ(colour(4, 0), vgcSkinColor(skinFontDefault));
    EXPECT_EQ(colour(4, 1), vgcSkinColor(skinFontHighlight));
}

TEST_F(SequencerPage, LaneColoursFollowTheLaneSwitch)
{
    // What is drawn: the cell's text in the lane's colour, and not in the other.
    const CColor off = vgcSkinColor(skinFontDisabled), on = vgcSkinColor(skinFontDefault);
    engineSets(ch(channel, stepNote(2, 7)), code(12)); // a note name: enough ink to see its colour
    engineSets(ch(channel, laneOn(2)), 0.0f);
    EXPECT_LE(nearestTo(note(2, 7), off), 24);
    EXPECT_GT(nearestTo(note(2, 7), on), 60);
    engineSets(ch(channel, laneOn(2)), 1.0f);
    EXPECT_LE(nearestTo(note(2, 7), on), 24);
    EXPECT_GT(nearestTo(note(2, 7), off), nearestTo(note(2, 7), on));
    EXPECT_EQ(editor->sequencerLanes[2].onButton->getValue(), 1.0f);
}

TEST_F(SequencerPage, TheCursorCellIsDrawnHighlighted)
{
    const CColor highlight = vgcSkinColor(skinFontHighlight);
    engineSets(ch(channel, stepNote(0, 0)), code(12));
    engineSets(ch(channel, stepNote(0, 1)), code(12));
    editor->moveStepCursor(-20, false);
    editor->moveLaneCursor(-9, false);
    EXPECT_LE(nearestTo(note(0, 0), highlight), 24);
    EXPECT_GT(nearestTo(note(0, 1), highlight), 60);
    editor->moveStepCursor(1, false);
    EXPECT_GT(nearestTo(note(0, 0), highlight), 60);
    EXPECT_LE(nearestTo(note(0, 1), highlight), 24);
}

TEST_F(SequencerPage, BeatGroupsAreThreeStepsWithTriplets)
{
    editor->configurationCopy.seqFollowPlayback = 0;
    editor->setSequencerPosition(channel, 40); // the playing marker on another part
    for (bool triplet : {false, true}) {
        engineSets(ch(channel, local::SeqTriplet), triplet ? 1.0f : 0.0f);
        const int32_t group = triplet ? 3 : 4;
        for (int32_t k = 0; k < 16; ++k) {
            const bool odd = (k / group) % 2 == 1;
            EXPECT_TRUE(shows(note(0, k), odd ? "back-seq02" : "back-seq01")) << triplet << " " << k;
            EXPECT_TRUE(shows(fader(0, k), odd ? "cell-seq2" : "cell-seq1")) << triplet << " " << k;
        }
    }
}

TEST_F(SequencerPage, PlayingStepIsMarkedAndFollowed)
{
    const int32_t tick = editorTag::sequencerPosition + channel;
    // The engine's tick reaches the page on idle.
    editor->postFloat(tick, 5.0f / 63);
    settle();
    EXPECT_TRUE(shows(note(0, 5), "back-seq04"));
    editor->setSequencerPosition(channel, 6);
    EXPECT_FALSE(shows(note(0, 5), "back-seq04"));
    EXPECT_TRUE(shows(note(3, 6), "back-seq04"));
    // Without following, a step of another part is only remembered.
    if (editor->getConfigurationCopy().seqFollowPlayback)
        click(editor->followButton);
    ASSERT_FALSE(editor->getConfigurationCopy().seqFollowPlayback);
    editor->setSequencerPosition(channel, 17);
    EXPECT_EQ(engine->getSeqPart(channel), 0);
    EXPECT_FALSE(shows(note(0, 1), "back-seq04"));

    click(editor->followButton);
    EXPECT_TRUE(editor->getConfigurationCopy().seqFollowPlayback);
    engine->take();
    ASSERT_FALSE(engine->setBulkLoading(false));
    editor->setSequencerPosition(channel, 18);
    EXPECT_EQ(engine->getSeqPart(channel), 1);
    EXPECT_FALSE(engine->setBulkLoading(false)); // left as it was
    const std::vector<EngineCall> calls = engine->take();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].kind, EngineCall::plain);
    EXPECT_EQ(calls[0].a, ch(channel, local::SeqPart));
    settle();
    EXPECT_TRUE(shows(note(0, 2), "back-seq04"));
    EXPECT_EQ(editor->partButtons[1]->getValue(), 1.0f);

    // Another channel's step is kept for when it is shown, nothing more.
    editor->setSequencerPosition(channel + 1, 40);
    EXPECT_EQ(editor->sequencerPositions[channel + 1], 40);
    EXPECT_EQ(engine->getSeqPart(channel), 1);
}

TEST_F(SequencerPage, ExpandAndCompressResizeTheSelection)
{
    for (int32_t s = 0; s < 16; ++s)
        engine->setParameterValue(ch(channel, stepNote(0, s)), code(s));
    settle();
    // Nothing without a cursor.
    editor->expandSteps(false);
    EXPECT_EQ(text(note(0, 9)), "+9");

    editor->moveStepCursor(2, false);
    editor->moveStepCursor(3, true);
    ASSERT_EQ(editor->sequencerCursor[2], 2);
    ASSERT_EQ(editor->sequencerCursor[3], 5);
    editor->expandSteps(false);
    EXPECT_EQ(editor->sequencerCursor[2], 2);
    EXPECT_EQ(editor->sequencerCursor[3], 9);
    EXPECT_TRUE(shows(note(0, 9), "back-seq03"));
    settle();
    EXPECT_NE(text(note(0, 9)), "+9"); // the cells show what the engine wrote

    editor->compressSteps(false);
    EXPECT_EQ(editor->sequencerCursor[3], 5);
    EXPECT_FALSE(shows(note(0, 9), "back-seq03"));

    // Copy, clear, paste: the cells follow the engine's step values.
    editor->moveStepCursor(-5, false);
    engine->setParameterValue(ch(channel, stepNote(0, 0)), code(7));
    editor->copySteps();
    editor->clearSteps(false);
    settle();
    const std::string cleared = text(note(0, 0));
    EXPECT_NE(cleared, "+7");
    editor->moveStepCursor(15, false);
    editor->pasteSteps(false);
    settle();
    EXPECT_EQ(text(note(0, 15)), "+7");
}

TEST_F(SequencerPage, StepMenuListsTicksAndReturnsACode)
{
    engineSets(ch(channel, laneBase(2)), 60.0f / 132);
    engineSets(ch(channel, stepNote(2, 1)), code(-3));
    const int32_t parameter = ch(channel, stepNote(2, 1));
    answer = 52 + 49;
    EXPECT_EQ(editor->showStepMenu(note(2, 1), parameter), 52);
    ASSERT_EQ(shown.ids.size(), 101u);
    EXPECT_EQ(shown.ids.front(), uint32_t(-37 + 49));
    EXPECT_EQ(shown.captions.front(), "B-1"); // note 60 - 37
    EXPECT_EQ(shown.checked, (std::vector<uint32_t>{uint32_t(-3 + 49)}));
    answer = 0;
    EXPECT_EQ(editor->showStepMenu(note(2, 1), parameter), -49);

    // A click on a note cell goes through the menu; OFF takes the velocity along.
    engine->setParameterValue(ch(channel, stepVelocity(2, 1)), 0.7f);
    answer = 52 + 49;
    int32_t tag = stepNote(2, 1);
    float value = 0.0f;
    editor->preValueChanged(note(2, 1), tag, value);
    EXPECT_FLOAT_EQ(engine->getParameterValue(parameter), code(52));
    EXPECT_EQ(engine->getParameterValue(ch(channel, stepVelocity(2, 1))), 0.0f);

    // Closed, the editor shows no menu.
    const int32_t before = shown.calls;
    editor->onClose();
    EXPECT_EQ(editor->showStepMenu(note(2, 1), parameter), -49);
    EXPECT_EQ(shown.calls, before);
}

TEST_F(SequencerPage, ValueMenusSetTheirParameter)
{
    struct Case {
        const char *what;
        int32_t local;
        float current;
        uint32_t ticked, choose;
        float stored;
    } cases[] = {
        {"length", local::SeqLength, 15.0f / 63, 16, 33, 32.0f / 63},
        {"root", local::SeqRootPitch, 60.0f / 128, 61, 129, 1.0f},
        {"base", laneBase(3), 130.0f / 132, 131, 61, 60.0f / 132},
        {"base to a held key", laneBase(3), 0.0f, 1, 129, 128.0f / 132},
    };
    for (const Case &c : cases) {
        const int32_t parameter = ch(channel, c.local);
        engine->setParameterValue(parameter, c.current);
        answer = c.choose;
        if (c.local == local::SeqLength)
            editor->showStepCountMenu(editor->lengthLabel, parameter);
        else if (c.local == local::SeqRootPitch)
            editor->showSequencerNoteMenu(editor->rootPitchLabel, parameter);
        else
            editor->showLaneBaseMenu(editor->sequencerLanes[3].baseLabel, parameter);
        EXPECT_EQ(shown.checked, (std::vector<uint32_t>{c.ticked})) << c.what;
        EXPECT_FLOAT_EQ(engine->getParameterValue(parameter), c.stored) << c.what;
    }
    // The blanks above G8 can be neither chosen nor stored.
    EXPECT_EQ(shown.disabled, (std::vector<uint32_t>{388, 387, 386, 385}));
    const int32_t parameter = ch(channel, laneBase(3));
    const float before = engine->getParameterValue(parameter);
    answer = 386;
    editor->showLaneBaseMenu(editor->sequencerLanes[3].baseLabel, parameter);
    EXPECT_EQ(engine->getParameterValue(parameter), before);
    answer = 0;
    editor->showStepCountMenu(editor->lengthLabel, ch(channel, local::SeqLength));
    EXPECT_FLOAT_EQ(engine->getParameterValue(ch(channel, local::SeqLength)), 32.0f / 63);
}

std::string dialogAnswer;

bool answerDialog(const podo::FileDialogRequest &, podoStr &chosen)
{
    chosen = dialogAnswer.c_str();
    return !dialogAnswer.empty();
}

TEST_F(SequencerPage, LaneButtonsSaveAndLoadThroughTheFileCommands)
{
    const podo::FileDialogHook before = podo::setFileDialogHook(answerDialog);
    dialogAnswer = std::string(std::getenv("HOME")) + "/lane1.lan";
    engine->setParameterValue(ch(channel, laneBase(1)), 60.0f / 132);
    engine->setParameterValue(ch(channel, stepNote(1, 6)), code(12));
    settle();
    click(withTag(editorTag::saveLane + 1));
    EXPECT_TRUE(std::filesystem::exists(dialogAnswer));

    // Into lane 2, shown at once.
    answer = 1; // the lane file, not a MIDI file
    click(withTag(editorTag::loadLane + 2));
    settle();
    EXPECT_EQ(text(editor->sequencerLanes[2].baseLabel), "C3");
    EXPECT_EQ(text(note(2, 6)), "C4");
    podo::setFileDialogHook(before);
    dialogAnswer.clear();
}

} // namespace

namespace {

int32_t boxAnswer = 1;
std::vector<std::string> boxes;

int32_t answerBox(podoWnd *, const podoStr &, const podoStr &text, int32_t)
{
    boxes.push_back(text.getNarrow());
    return boxAnswer;
}

// Keys as the host hands them over, modifiers included.
struct Shortcuts : SequencerPage {
    podo::MessageBoxHook previousBox = nullptr;
    void SetUp() override
    {
        SequencerPage::SetUp();
        previousBox = podo::setMessageBoxHook(answerBox);
        boxes.clear();
        options(1);
    }
    // The editor takes its copy of the configuration from the engine again at times: set both.
    void options(uint8_t shortcuts)
    {
        ConfigurationBlock c = editor->getConfigurationCopy();
        c.keyboardShortcutsOn = shortcuts;
        c.seqFollowPlayback = 0;
        engine->setConfiguration(&c);
        editor->configurationCopy = c;
    }
    void TearDown() override
    {
        podo::setMessageBoxHook(previousBox);
        SequencerPage::TearDown();
    }
    bool key(int32_t character, uint8_t virt = 0, uint8_t modifier = 0)
    {
        VstKeyCode code{character, virt, modifier};
        return editor->onKeyDown(code);
    }
    void setStep(int32_t lane, int32_t step, int32_t c, float velocity)
    {
        engine->setParameterValue(ch(channel, stepNote(lane, step)), code(c));
        engine->setParameterValue(ch(channel, stepVelocity(lane, step)), velocity);
    }
    int32_t noteOf(int32_t lane, int32_t step) { return engine->getStepNote(channel, lane, step); }
    float velocityOf(int32_t lane, int32_t step) { return engine->getParameterValue(ch(channel, stepVelocity(lane, step))); }
};

TEST_F(Shortcuts, StepKeysWriteEverySelectedStep)
{
    // Without a cursor the code keys are not used and the transposition keys do nothing.
    setStep(0, 0, 3, 0.5f);
    EXPECT_FALSE(key('5'));
    EXPECT_TRUE(key(0, VKEY_PAGEUP));
    EXPECT_EQ(noteOf(0, 0), 3);

    struct Case {
        const char *what;
        int32_t before;
        float velocity;
        int32_t character;
        uint8_t virt, modifier;
        int32_t after;
        float velocityAfter;
    } cases[] = {
        {"digit on OFF", 52, 0.0f, '7', 0, 0, 7, 1.0f},
        {"digit elsewhere", 12, 0.3f, '7', 0, 0, 7, 0.3f},
        {"Alt digit", 0, 0.3f, '4', 0, MODIFIER_ALTERNATE, -4, 0.3f},
        {"tie", 52, 0.0f, '=', 0, 0, 49, 0.0f},
        {"hold", 5, 0.3f, '\\', 0, 0, 50, 0.3f},
        {"release", 5, 0.3f, '-', 0, 0, 51, 0.3f},
        {"OFF", 5, 0.3f, 'o', 0, 0, 52, 0.3f},
        {"Delete empties", 5, 0.3f, 0, VKEY_DELETE, 0, 52, 0.0f},
        {"up", 5, 0.3f, 0, VKEY_PAGEUP, 0, 6, 0.3f},
        {"top stays", 48, 0.3f, 0, VKEY_PAGEUP, 0, 48, 0.3f},
        {"octave past the top", 40, 0.3f, 0, VKEY_PAGEUP, MODIFIER_ALTERNATE, 52, 0.3f},
        {"octave past the bottom", -40, 0.3f, 0, VKEY_PAGEDOWN, MODIFIER_ALTERNATE, -48, 0.3f},
    };
    editor->moveStepCursor(1, false);
    editor->moveStepCursor(1, true);
    editor->moveLaneCursor(1, true); // lanes 0..1, steps 1..2
    for (const Case &c : cases) {
        for (int32_t lane : {0, 1})
            for (int32_t s : {1, 2, 3})
                setStep(lane, s, c.before, c.velocity);
        EXPECT_TRUE(key(c.character, c.virt, c.modifier)) << c.what;
        for (int32_t lane : {0, 1}) {
            for (int32_t s : {1, 2}) {
                EXPECT_EQ(noteOf(lane, s), c.after) << c.what;
                EXPECT_FLOAT_EQ(velocityOf(lane, s), c.velocityAfter) << c.what;
            }
            EXPECT_EQ(noteOf(lane, 3), c.before) << c.what << ": outside the selection";
        }
        EXPECT_LE(engine->getParameterValue(ch(channel, stepNote(0, 1))), 1.0f) << c.what;
    }
    // Part 2 shown: the keys write its steps.
    engine->setParameterValue(ch(channel, local::SeqPart), 2.0f / 3);
    setStep(0, 33, 0, 0.3f);
    EXPECT_TRUE(key('2'));
    EXPECT_EQ(noteOf(0, 33), 2);
}

TEST_F(Shortcuts, TabStepsThroughThePartsOfTheLength)
{
    engine->setParameterValue(ch(channel, local::SeqLength), 15.0f / 63);
    EXPECT_TRUE(key(0, VKEY_TAB));
    EXPECT_EQ(engine->getSeqPart(channel), 0);

    engine->setParameterValue(ch(channel, local::SeqLength), 39.0f / 63); // 40 steps, 3 parts
    const int32_t forward[] = {1, 2, 0};
    for (int32_t part : forward) {
        key(0, VKEY_TAB);
        EXPECT_EQ(engine->getSeqPart(channel), part);
    }
    key(0, VKEY_TAB, MODIFIER_SHIFT);
    EXPECT_EQ(engine->getSeqPart(channel), 2);
}

TEST_F(Shortcuts, OptionAndPageRules)
{
    // Off: nothing but the browser's own keys.
    options(0);
    EXPECT_FALSE(key('m'));
    EXPECT_TRUE(editor->isPageShown(pageSequencer));
    engineSets(master::Page, 0.25f);
    ASSERT_TRUE(editor->isPageShown(pageBrowser));
    EXPECT_TRUE(key(0, VKEY_DOWN));
    EXPECT_TRUE(key(0, VKEY_PAGEUP));
    EXPECT_FALSE(key(0, VKEY_ESCAPE));

    options(1);
    EXPECT_TRUE(key('s'));
    settle();
    EXPECT_TRUE(editor->isPageShown(pageSequencer));
    EXPECT_TRUE(key('m'));
    settle();
    ASSERT_TRUE(editor->isPageShown(pageMixer));

    // The mixer's volume keys: channels that are on, held to 0..1; keypad digits are no shortcut.
    engine->setParameterValue(ch(0, local::On), 1.0f);
    engine->setParameterValue(ch(0, local::Volume), 0.999f);
    engine->setParameterValue(ch(1, local::On), 0.0f);
    engine->setParameterValue(ch(1, local::Volume), 0.5f);
    EXPECT_FALSE(key(0, VKEY_NUMPAD0));
    EXPECT_FLOAT_EQ(engine->getParameterValue(ch(0, local::Volume)), 0.999f);
    EXPECT_TRUE(key('0'));
    EXPECT_TRUE(key('0'));
    EXPECT_EQ(engine->getParameterValue(ch(0, local::Volume)), 1.0f);
    EXPECT_EQ(engine->getParameterValue(ch(1, local::Volume)), 0.5f);
    EXPECT_TRUE(key('9'));
    EXPECT_FLOAT_EQ(engine->getParameterValue(ch(0, local::Volume)), 0.995f);

    // Channel stepping stays within the sixteen.
    editor->selectChannel(0);
    EXPECT_TRUE(key(0, VKEY_UP, MODIFIER_CONTROL));
    EXPECT_EQ(editor->currentChannelNow(), 0);
    EXPECT_TRUE(key(0, VKEY_DOWN, MODIFIER_CONTROL | MODIFIER_SHIFT));
    EXPECT_EQ(editor->currentChannelNow(), 1);
    editor->selectChannel(15);
    EXPECT_TRUE(key(0, VKEY_DOWN, MODIFIER_CONTROL));
    EXPECT_EQ(editor->currentChannelNow(), 15);
}

TEST_F(Shortcuts, ResetEmptiesTheChannelsLanesWhenConfirmed)
{
    setStep(3, 40, 5, 0.7f);
    engine->setParameterValue(ch(channel, laneOn(3)), 0.0f);
    boxAnswer = 2; // cancelled
    EXPECT_TRUE(key('r'));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(noteOf(3, 40), 5);

    boxAnswer = 1;
    EXPECT_TRUE(key('r'));
    EXPECT_EQ(noteOf(3, 40), 52);
    EXPECT_EQ(velocityOf(3, 40), 0.0f);
    EXPECT_EQ(engine->getLaneOn(channel, 3), 1);
    EXPECT_EQ(engine->getLaneBase(channel, 3), 128);
    settle();
    EXPECT_EQ(text(editor->sequencerLanes[3].baseLabel), "IN1");
}

TEST_F(Shortcuts, CtrlKeysRunTheRangeEdits)
{
    for (int32_t s = 0; s < 16; ++s)
        setStep(0, s, s, 0.5f);
    editor->moveStepCursor(0, false); // step 0 of lane 0
    EXPECT_TRUE(key('c', 0, MODIFIER_CONTROL));
    editor->moveStepCursor(5, false);
    EXPECT_TRUE(key('p', 0, MODIFIER_CONTROL));
    EXPECT_EQ(noteOf(0, 5), 0);
    EXPECT_TRUE(key('e', 0, MODIFIER_CONTROL));
    EXPECT_NE(noteOf(0, 5), 0);
    EXPECT_EQ(noteOf(0, 6), 6);
    // Ctrl with a key of no range edit is taken as the key alone.
    EXPECT_TRUE(key(0, VKEY_RIGHT, MODIFIER_CONTROL));
    EXPECT_EQ(editor->sequencerCursor[0], 6);
}

} // namespace

} // namespace sequencer_page_test
