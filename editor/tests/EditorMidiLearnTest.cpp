// The assignment menu of a control (MIDI source, learn, range, host slot), the overlay in the
// controls' value labels and the setup page's clear and reset commands, on a headless editor.
#include "editor/tests/EditorTestSupport.h"

#include "editor/AssignmentMenus.h"

#include "engine/AutomationFile.h"
#include "engine/ControllerAssignments.h"
#include "engine/HostAutomationMap.h"
#include "engine/ParameterIndex.h"
#include "foundation/podoMenu.h"
#include "foundation/podoShell.h"
#include "foundation/podoWnd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace editor_midi_learn_test {

using namespace editortest;
using namespace engine;
using namespace qgui;

namespace {

struct ShownItem {
    uint32_t id;
    std::string caption;
    uint32_t state;
    std::vector<ShownItem> submenu;
};

std::vector<ShownItem> capture(const podoMenu &menu)
{
    std::vector<ShownItem> items;
    for (int32_t i = 0; i < menu.itemCount(); ++i) {
        const podoMenuItem &item = menu.itemAt(i);
        items.push_back({uint32_t(item.id), item.caption.getNarrow(), item.state,
                         item.submenu ? capture(*item.submenu) : std::vector<ShownItem>{}});
    }
    return items;
}

bool menuShown = false;
std::vector<ShownItem> shown;
uint32_t answer = 0;

uint32_t chooser(const podoMenu &menu, int32_t, int32_t)
{
    menuShown = true;
    shown = capture(menu);
    return answer;
}

std::vector<std::string> boxes;
int32_t boxAnswer = podo::idCancel;

int32_t answerBox(podoWnd *, const podoStr &, const podoStr &text, int32_t)
{
    boxes.push_back(text.getNarrow());
    return boxAnswer;
}

const ShownItem *findCaption(const std::vector<ShownItem> &items, const std::string &caption)
{
    for (const ShownItem &item : items)
        if (item.caption == caption)
            return &item;
    return nullptr;
}

const ShownItem *findId(const std::vector<ShownItem> &items, uint32_t id)
{
    for (const ShownItem &item : items)
        if (item.id == id && item.submenu.empty())
            return &item;
    return nullptr;
}

ControllerAssignment entryOf(int32_t index, int32_t mode)
{
    AssignmentTable table{};
    int32_t entry = 0;
    EXPECT_TRUE(assignmentEntryOf(index, mode, &table, &entry));
    return assignmentEntries(table, nullptr)[entry];
}

// Everything a menu choice may change, to compare before and after.
struct Tables {
    std::vector<uint8_t> bytes;
    std::vector<int32_t> hostMap;
    static Tables take()
    {
        Tables t;
        auto add = [&](const void *p, size_t n) {
            const auto *b = static_cast<const uint8_t *>(p);
            t.bytes.insert(t.bytes.end(), b, b + n);
        };
        add(masterAssignments, sizeof masterAssignments);
        add(channelAssignments, sizeof channelAssignments);
        add(sequencerAssignments, sizeof sequencerAssignments);
        add(instrumentAssignments, sizeof instrumentAssignments);
        add(specialAssignments, sizeof specialAssignments);
        add(assignmentCounts, sizeof assignmentCounts);
        for (auto &slot : hostAutomationMap)
            t.hostMap.push_back(slot.load());
        return t;
    }
    bool operator==(const Tables &) const = default;
};

struct MidiLearn : OpenEditor {
    podo::MenuChooser previousChooser = nullptr;
    podo::MessageBoxHook previousBox = nullptr;
    std::string automationFile;

    void SetUp() override
    {
        OpenEditor::SetUp();
        previousChooser = podo::setMenuChooser(chooser);
        previousBox = podo::setMessageBoxHook(answerBox);
        boxes.clear();
        engine->setDefaultMidiAssignments(0, 0);
        clearHostAutomationMaps();
        automationFile = std::string(engine->getUserPath().getNarrow()) + kAutomationFileName;
        overlay(1);
    }
    void TearDown() override
    {
        // The tables and the configuration outlive this engine: leave them as a new process has them.
        overlay(0);
        engine->setDefaultMidiAssignments(1, 0);
        clearHostAutomationMaps();
        engine->saveAutomation();
        podo::setMenuChooser(previousChooser);
        podo::setMessageBoxHook(previousBox);
        OpenEditor::TearDown();
    }
    void overlay(int32_t on)
    {
        ConfigurationBlock c = editor->getConfigurationCopy();
        c.assignmentOverlay = on;
        engine->setConfiguration(&c);
        editor->configurationCopy = c;
        editor->refreshAssignmentOverlay(true);
    }
    // Opens the menu of a resolved tag and answers it.
    bool choose(int32_t tag, uint32_t id)
    {
        menuShown = false;
        shown.clear();
        answer = id;
        editor->showMidiLearnMenu(tag, 0, 0);
        return menuShown;
    }
    // A right click on the control, as the frame reports it.
    bool rightClick(CControl *control, uint32_t id)
    {
        menuShown = false;
        shown.clear();
        answer = id;
        int32_t tag = control->getTag();
        float v = -1.0f - control->getValue();
        editor->preValueChanged(control, tag, v);
        return menuShown;
    }
    void showEdit(int32_t channel, int32_t mode)
    {
        editor->selectChannel(channel);
        engineSets(ch(channel, local::Mode), float(mode));
        engineSets(master::Page, 0.75f);
        ASSERT_TRUE(editor->isPageShown(mode == 1 ? pageDrumEdit : pageMelodyEdit));
    }
    // The overlay's two lines of a control: controller, host slot.
    std::pair<std::string, std::string> overlayOf(CControl *control)
    {
        auto *group = dynamic_cast<vgcGroup *>(control);
        vgcTextLabel *label = group ? group->getValueLabel() : nullptr;
        if (!label)
            return {"<no label>", ""};
        return {label->getPartText(0), label->getPartText(1)};
    }
    bool automationSaved()
    {
        const bool saved = std::filesystem::exists(automationFile);
        std::filesystem::remove(automationFile);
        return saved;
    }
};

TEST_F(MidiLearn, TheMenuOpensOnlyForAssignableParameters)
{
    engine->setParameterValue(ch(2, local::Mode), 0.0f);
    engine->setParameterValue(ch(9, local::Mode), 1.0f);
    const int32_t slot5 = 17 * 5;
    struct Case {
        const char *what;
        int32_t tag;
        bool menu, automation;
    } cases[] = {
        {"Master.Volume", master::Volume, true, true},
        {"Master.Voice Limit", master::VoiceLimit, false, false},
        {"Chan.Volume", ch(4, local::Volume), true, true},
        {"Chan.Mode", ch(4, local::Mode), false, false},
        {"Chan.Output Bus", ch(4, local::OutputBus), false, false},
        {"IFX.2.Param.3", ch(4, local::LastChannelSetting), true, true},
        {"Seq.Swing", ch(4, local::SeqSwing), true, true},
        {"Seq.Rate", ch(4, local::SeqRate), false, false},
        {"lane 3 on", ch(4, local::LaneOn + 2 * local::LaneSpan), true, true},
        {"lane 2 base", ch(4, local::LaneBase + local::LaneSpan), false, false},
        {"a step's note", ch(4, local::FirstLane + 6), false, false},
        {"melody Filter.Cutoff", ch(2, local::FilterCutoff), true, true},
        {"melody Osc.2.Wave", ch(2, local::OscWave + 1), false, false},
        {"melody Pitch Bend Range", ch(2, local::PitchBendRange), false, false},
        {"drum key Filter.Cutoff", ch(9, local::DrumFilterCutoff + slot5), true, true},
        {"drum key Osc.Wave", ch(9, local::DrumWave + slot5), false, false},
        {"drum key Mute Group", ch(9, local::DrumMuteGroup + slot5), false, false},
        {"drum kit Key Range.Low", ch(9, local::KitKeyRangeLow), false, false},
        {"drum kit MIDI select", ch(9, local::KitMidiSelect), true, true},
        {"panic", editorTag::panic, true, false},
        {"next patch", editorTag::nextPatch, true, false},
        {"beyond the special tags", editorTag::nextPatch + 1, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(choose(c.tag, 0), c.menu);
        EXPECT_EQ(findCaption(shown, "Automation") != nullptr, c.automation);
    }
}

TEST_F(MidiLearn, ARightClickAssignsTheSelectedDrumKeysParameter)
{
    ASSERT_NO_FATAL_FAILURE(showEdit(9, 1));
    editor->selectDrumSlot(5, false, 0.0f);
    CControl *cutoff = editor->drumKeyControls[local::DrumFilterCutoff - local::DrumWave];
    EXPECT_TRUE(rightClick(cutoff, assignmentmenu::sourceBase + 74));
    EXPECT_EQ(int(entryOf(ch(9, local::DrumFilterCutoff + 17 * 5), 1).source), 74);
    EXPECT_EQ(int(entryOf(ch(9, local::DrumFilterCutoff), 1).source), 0);
    EXPECT_EQ(assignmentCounts[int(AssignmentTable::drum)].sourceCounts[74], 1);
    EXPECT_TRUE(automationSaved());

    EXPECT_FALSE(rightClick(editor->drumKeyControls[0], assignmentmenu::sourceBase + 74)); // Osc.Wave
    EXPECT_EQ(int(entryOf(ch(9, local::DrumWave + 17 * 5), 1).source), 0);
}

TEST_F(MidiLearn, AnAssignedSourceShowsInTheMenuAndTheOverlay)
{
    ASSERT_TRUE(editor->isPageShown(pageMixer));
    struct Case {
        const char *what;
        CControl *control;
        int32_t tag, source;
        const char *learn, *overlay;
    } cases[] = {
        {"Volume on Chan.Volume", editor->getChannelControl(0, Quorix_Editor::levelFader), ch(0, local::Volume), 7,
         "&Learn (007:Volume)", "007"},
        {"Pitchbend on Master.Volume", editor->masterVolumeFader, master::Volume, 130, "&Learn (Pitchbend)", "PTB"},
        {"Aftertouch on panic", editor->panicSwitch, editorTag::panic, 131, "&Learn (Aftertouch)", "AFT"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(overlayOf(c.control).first, "---");
        ASSERT_TRUE(choose(c.tag, assignmentmenu::sourceBase + uint32_t(c.source)));
        const ControllerAssignment a = entryOf(c.tag, 0);
        EXPECT_EQ(int(a.source), c.source);
        EXPECT_EQ(float(a.min), 0.0f);
        EXPECT_EQ(float(a.max), 1.0f);
        EXPECT_EQ(a.reversed, 0);
        EXPECT_EQ(overlayOf(c.control).first, c.overlay);
        EXPECT_TRUE(automationSaved());

        ASSERT_TRUE(choose(c.tag, 0));
        ASSERT_GE(shown.size(), 4u);
        EXPECT_EQ(shown[0].caption, "MIDI");
        EXPECT_NE(shown[0].state & podo::itemChecked, 0u);
        const ShownItem *assign = findCaption(shown, "&Assign");
        ASSERT_NE(assign, nullptr);
        const ShownItem *item = findId(assign->submenu, assignmentmenu::sourceBase + uint32_t(c.source));
        ASSERT_NE(item, nullptr);
        EXPECT_NE(item->state & podo::itemChecked, 0u);
        EXPECT_NE(findCaption(shown, c.learn), nullptr);
        for (const char *caption : {"&Forget", "Set &Min (0.000000)", "Set Ma&x (1.000000)", "&Reverse"})
            EXPECT_NE(findCaption(shown, caption), nullptr) << caption;
    }
}

TEST_F(MidiLearn, TheSourceListGraysTheReservedControllers)
{
    ASSERT_TRUE(choose(master::Volume, 0));
    EXPECT_EQ(shown[0].state & podo::itemChecked, 0u); // nothing assigned yet
    EXPECT_NE(findCaption(shown, "&Learn"), nullptr);
    const ShownItem *assign = findCaption(shown, "&Assign");
    ASSERT_NE(assign, nullptr);
    std::vector<int32_t> grayed;
    int32_t sources = 0;
    for (const ShownItem &item : assign->submenu) {
        if (item.state & podo::itemSeparator)
            continue;
        ++sources;
        if (item.state & podo::itemGrayed)
            grayed.push_back(int32_t(item.id - assignmentmenu::sourceBase));
    }
    EXPECT_EQ(sources, 132);
    EXPECT_EQ(grayed, (std::vector<int32_t>{0, 32, 98, 99, 100, 101, 120, 121, 122, 123, 124, 125, 126, 127}));
    EXPECT_EQ(findId(assign->submenu, assignmentmenu::sourceBase + 7)->caption, "007 Volume");
    EXPECT_EQ(findId(assign->submenu, assignmentmenu::sourceBase + 128)->caption, "On Velocity");
    EXPECT_NE(findId(assign->submenu, assignmentmenu::sourceBase + 32)->state & podo::itemNewColumn, 0u);
}

TEST_F(MidiLearn, LearnTakesTheNextControllerAndTheOverlayFollows)
{
    const int32_t tag = ch(0, local::Volume);
    CControl *fader = editor->getChannelControl(0, Quorix_Editor::levelFader);
    auto &counts = assignmentCounts[int(AssignmentTable::channel)];

    // Learn, then cancel: the bit and the count go back.
    ASSERT_TRUE(choose(tag, 11));
    EXPECT_EQ(entryOf(tag, 0).state, kAssignmentLearning);
    EXPECT_EQ(counts.learningCount, 1);
    ASSERT_TRUE(choose(tag, 11));
    EXPECT_NE(findCaption(shown, "&Cancel"), nullptr);
    EXPECT_EQ(entryOf(tag, 0).state, 0);
    EXPECT_EQ(counts.learningCount, 0);

    ASSERT_TRUE(choose(tag, 11));
    engine->handleMidiMessage(0, 0xB0, 20, 100);
    settle();
    const ControllerAssignment a = entryOf(tag, 0);
    EXPECT_EQ(a.state, 0);
    EXPECT_EQ(int(a.source), 20);
    EXPECT_EQ(counts.learningCount, 0);
    EXPECT_EQ(overlayOf(fader).first, "020");
    EXPECT_TRUE(automationSaved());

    // Choosing a source while waiting ends the learn.
    ASSERT_TRUE(choose(tag, 11));
    ASSERT_TRUE(choose(tag, assignmentmenu::sourceBase + 21));
    EXPECT_EQ(entryOf(tag, 0).state, 0);
    EXPECT_EQ(int(entryOf(tag, 0).source), 21);
    EXPECT_EQ(counts.learningCount, 0);
    EXPECT_EQ(counts.sourceCounts[20], 0);
    EXPECT_EQ(counts.sourceCounts[21], 1);
}

TEST_F(MidiLearn, RangeComesFromTheParametersValueAndReverseToggles)
{
    engine->setParameterValue(ch(2, local::Mode), 0.0f);
    const int32_t tag = ch(2, local::FilterCutoff);
    ASSERT_TRUE(choose(tag, assignmentmenu::sourceBase + 74));

    engine->setParameterValue(tag, 0.3f);
    ASSERT_TRUE(choose(tag, 14)); // max
    EXPECT_FLOAT_EQ(float(entryOf(tag, 0).min), 0.0f);
    EXPECT_FLOAT_EQ(float(entryOf(tag, 0).max), 0.3f);
    engine->setParameterValue(tag, 0.8f);
    ASSERT_TRUE(choose(tag, 13)); // min above max: the two change places
    EXPECT_FLOAT_EQ(float(entryOf(tag, 0).min), 0.3f);
    EXPECT_FLOAT_EQ(float(entryOf(tag, 0).max), 0.8f);

    ASSERT_TRUE(choose(tag, 15));
    EXPECT_EQ(entryOf(tag, 0).reversed, 1);
    ASSERT_TRUE(choose(tag, 0));
    EXPECT_NE(findCaption(shown, "Set &Min (0.300000)"), nullptr);
    EXPECT_NE(findCaption(shown, "&Reverse")->state & podo::itemChecked, 0u);
    ASSERT_TRUE(choose(tag, 15));
    EXPECT_EQ(entryOf(tag, 0).reversed, 0);

    ASSERT_TRUE(choose(tag, 12)); // forget
    EXPECT_EQ(int(entryOf(tag, 0).source), 0);
    EXPECT_EQ(assignmentCounts[int(AssignmentTable::melody)].sourceCounts[74], 0);
}

TEST_F(MidiLearn, EachHostSlotDrivesOneParameter)
{
    const int32_t volume = ch(0, local::Volume);
    CControl *fader = editor->getChannelControl(0, Quorix_Editor::levelFader);
    ASSERT_TRUE(choose(volume, assignmentmenu::slotBase + 5));
    EXPECT_EQ(hostAutomationMap[5].load(), volume + 1);
    EXPECT_EQ(hostSlotOfParameter[volume].load(), 6);
    EXPECT_EQ(overlayOf(fader).second, "005");
    EXPECT_TRUE(automationSaved());

    ASSERT_TRUE(choose(volume, 0));
    const ShownItem *automation = findCaption(shown, "Automation");
    ASSERT_NE(automation, nullptr);
    EXPECT_NE(automation->state & podo::itemChecked, 0u);
    const ShownItem *assign = findCaption(shown, "A&ssign");
    ASSERT_NE(assign, nullptr);
    const ShownItem *slot = findId(assign->submenu, assignmentmenu::slotBase + 5);
    ASSERT_NE(slot, nullptr);
    EXPECT_NE(slot->state & podo::itemChecked, 0u);
    EXPECT_EQ(slot->caption.rfind("005:", 0), 0u) << slot->caption;
    EXPECT_EQ(findId(assign->submenu, assignmentmenu::slotBase + 6)->caption, "006:<not assigned>");
    EXPECT_NE(findCaption(shown, "F&orget (005)"), nullptr);

    // The slot moves to another parameter: the first one no longer answers to it.
    ASSERT_TRUE(choose(master::Volume, assignmentmenu::slotBase + 5));
    EXPECT_EQ(hostAutomationMap[5].load(), 1);
    EXPECT_EQ(hostSlotOfParameter[volume].load(), 0);
    EXPECT_EQ(overlayOf(fader).second, "---");
    // The parameter moves to another slot: the old slot is freed.
    ASSERT_TRUE(choose(master::Volume, assignmentmenu::slotBase + 7));
    EXPECT_EQ(hostAutomationMap[5].load(), 0);
    EXPECT_EQ(hostAutomationMap[7].load(), 1);
    EXPECT_EQ(overlayOf(editor->masterVolumeFader).second, "007");

    ASSERT_TRUE(choose(master::Volume, 22));
    EXPECT_EQ(hostAutomationMap[7].load(), 0);
    EXPECT_EQ(hostSlotOfParameter[master::Volume].load(), 0);
    EXPECT_EQ(overlayOf(editor->masterVolumeFader).second, "---");
}

TEST_F(MidiLearn, ADismissedOrForeignChoiceChangesNothing)
{
    engine->addChannelAssignment(7, local::Volume, 0.2f, 0.9f, 1);
    assignHostSlot(3, master::Volume);
    automationSaved();
    const Tables before = Tables::take();
    struct Case {
        int32_t tag;
        uint32_t id;
    } cases[] = {
        {ch(0, local::Volume), 0},      {master::Volume, 0},
        {ch(0, local::Volume), 2000},   {ch(0, local::Volume), 2121}, // grayed sources
        {ch(0, local::Volume), 2132},   {ch(0, local::Volume), 3128}, // past the lists
        {ch(0, local::Volume), 22},     {master::Volume, 12},         // no slot, no source to forget
        {master::Volume, 13},           {editorTag::panic, 3005},     // an editor tag has no host slot
        {ch(0, local::Volume), 16},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.tag << " " << c.id);
        EXPECT_TRUE(choose(c.tag, c.id));
        EXPECT_TRUE(Tables::take() == before);
        EXPECT_FALSE(automationSaved());
    }
}

TEST_F(MidiLearn, TheOverlayFollowsTheChannelAndTheDrumSlot)
{
    ASSERT_NO_FATAL_FAILURE(showEdit(9, 1));
    engine->addInstrumentAssignment(1, 74, local::DrumFilterCutoff + 17 * 5, 0.0f, 1.0f, 0);
    assignHostSlot(3, ch(9, local::DrumFilterCutoff + 17 * 5));
    CControl *cutoff = editor->drumKeyControls[local::DrumFilterCutoff - local::DrumWave];
    editor->selectDrumSlot(5, false, 0.0f);
    EXPECT_EQ(overlayOf(cutoff), std::make_pair(std::string("074"), std::string("003")));
    editor->selectDrumSlot(6, false, 0.0f);
    EXPECT_EQ(overlayOf(cutoff), std::make_pair(std::string("---"), std::string("---")));

    // The strip's level carries its channel's own parameter, and so does its label.
    ASSERT_NO_FATAL_FAILURE(showEdit(2, 0));
    engine->setParameterValue(ch(3, local::Mode), 0.0f);
    assignHostSlot(9, ch(2, local::FilterCutoff));
    assignHostSlot(11, ch(3, local::Volume));
    CControl *melodyCutoff = editor->melodyControls[local::FilterCutoff - local::FirstInstrument];
    CControl *level = editor->editStripControls[0][0];
    editor->refreshAssignmentOverlay(true);
    EXPECT_EQ(overlayOf(melodyCutoff).second, "009");
    EXPECT_EQ(overlayOf(level).second, "---");
    editor->selectChannel(3);
    settle();
    EXPECT_EQ(overlayOf(melodyCutoff).second, "---");
    EXPECT_EQ(overlayOf(level).second, "011");
}

TEST_F(MidiLearn, SwitchingTheOverlayOffEmptiesTheLabels)
{
    ASSERT_TRUE(choose(master::Volume, assignmentmenu::sourceBase + 7));
    ASSERT_TRUE(choose(master::Volume, assignmentmenu::slotBase + 2));
    EXPECT_EQ(overlayOf(editor->masterVolumeFader), std::make_pair(std::string("007"), std::string("002")));

    editor->toggleAssignmentOverlay();
    ConfigurationBlock stored{};
    engine->getConfiguration(&stored);
    EXPECT_EQ(stored.assignmentOverlay, 0);
    for (CControl *control : {editor->masterVolumeFader, editor->priorityModeSwitch,
                              editor->getChannelControl(0, Quorix_Editor::panFader), editor->systemEffectControls[1][2]})
        EXPECT_EQ(overlayOf(control), std::make_pair(std::string(), std::string()));

    editor->toggleAssignmentOverlay();
    engine->getConfiguration(&stored);
    EXPECT_EQ(stored.assignmentOverlay, 1);
    EXPECT_EQ(overlayOf(editor->masterVolumeFader), std::make_pair(std::string("007"), std::string("002")));
    EXPECT_EQ(overlayOf(editor->systemEffectControls[1][2]).first, "---");
}

TEST_F(MidiLearn, ClearAndResetAskFirst)
{
    const int32_t cutoff = local::FilterCutoff - local::FirstInstrument;
    struct Case {
        const char *detail;
        bool clear, otherSet;
        int16_t cutoffSource, chorusOnSource; // after OK
    } cases[] = {
        {"Clear All MIDI Assignments", true, false, 0, 0},
        {"Reset MIDI Assignments to Factory Default Setting", false, false, 74, 0},
        {"Reset MIDI Assignments to Korvand Default Setting", false, true, 74, 59},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.detail);
        engine->setDefaultMidiAssignments(0, 0);
        engine->addMasterAssignment(33, master::ChorusOn, 0.0f, 1.0f, 0);
        for (int32_t answerWith : {podo::idCancel, podo::idOk}) {
            automationSaved();
            boxes.clear();
            boxAnswer = answerWith;
            if (c.clear)
                editor->clearMidiAssignments();
            else
                editor->resetMidiAssignments(c.otherSet);
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_NE(boxes[0].find("Are you sure?"), std::string::npos);
            EXPECT_NE(boxes[0].find(c.detail), std::string::npos);
            if (answerWith == podo::idCancel) {
                EXPECT_EQ(int(masterAssignments[master::ChorusOn].source), 33);
                EXPECT_FALSE(automationSaved());
            } else {
                EXPECT_EQ(int(masterAssignments[master::ChorusOn].source), c.chorusOnSource);
                EXPECT_EQ(int(instrumentAssignments[0][cutoff].source), c.cutoffSource);
                EXPECT_TRUE(automationSaved());
            }
        }
    }
}

TEST_F(MidiLearn, AReportThatCannotBeWrittenSaysWhy)
{
    // A folder in the report's place: the file cannot be created.
    const std::string report = std::string(engine->getUserPath().getNarrow()) + "Quorix-MIDI.txt";
    std::filesystem::create_directories(report);
    editor->reportMidiAssignments();
    std::filesystem::remove(report);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("MIDI Assign Report"), std::string::npos);
    EXPECT_NE(boxes[0].find("file can't be accessed."), std::string::npos);
}

} // namespace

} // namespace editor_midi_learn_test
