// The file commands as the user meets them: the tuning menu, the sequencer page's load menus, file
// dialogs that start where the last file of their kind was, errors shown with the path, and engine and
// program brought up to date after a load.
#include "editor-framework/podoVSTEditor.h"
#include "editor/EditorFileCommands.h"
#include "editor/PatternFiles.h"
#include "editorFilesTestSupport.h"
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "foundation/podoMenu.h"
#include "foundation/podoShell.h"
#include "foundation/podoWnd.h"
#include "gui/CView.h"

#include <gtest/gtest.h>

#include <deque>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace editor_file_commands_test {

using namespace edfiles;
using namespace qgui;

namespace {

struct MenuSeen {
    std::vector<std::string> captions;
    std::vector<uint32_t> states;
    int32_t x, y;
};
struct DialogSeen {
    bool save;
    std::string title, folder, fileName;
};

// What the user will answer, and what was shown.
struct Script {
    std::deque<uint32_t> menuAnswers;
    std::deque<std::string> dialogAnswers; // "" cancels
    std::vector<MenuSeen> menus;
    std::vector<DialogSeen> dialogs;
    std::vector<std::string> boxes;
};
Script *script = nullptr;

uint32_t chooseFromMenu(const podoMenu &menu, int32_t x, int32_t y)
{
    MenuSeen seen{{}, {}, x, y};
    for (int32_t i = 0; i < menu.itemCount(); ++i) {
        seen.captions.push_back(menu.itemAt(i).caption.getNarrow());
        seen.states.push_back(menu.itemAt(i).state);
    }
    script->menus.push_back(seen);
    if (script->menuAnswers.empty())
        return 0;
    const uint32_t answer = script->menuAnswers.front();
    script->menuAnswers.pop_front();
    return answer;
}

bool answerDialog(const podo::FileDialogRequest &request, podoStr &chosen)
{
    script->dialogs.push_back(
        {request.save, request.title.getNarrow(), request.initialFolder.getNarrow(), request.fileName.getNarrow()});
    if (script->dialogAnswers.empty())
        return false;
    chosen = script->dialogAnswers.front().c_str();
    script->dialogAnswers.pop_front();
    return !chosen.isEmpty();
}

int32_t recordBox(podoWnd *, const podoStr &, const podoStr &text, int32_t)
{
    script->boxes.push_back(text.getNarrow());
    return 1;
}

class OpenEditor : public podoVSTEditor
{
public:
    using podoVSTEditor::podoVSTEditor;
    bool onOpen(void *) override { return true; }
};

struct FileCommands : ::testing::Test {
    Script answers;
    Engine engine;
    Folder folder;
    OpenEditor editor{&engine};
    EditorFileCommands commands{&engine, &editor};
    CView *button = new CView(CRect(10, 20, 40, 35));
    int tuningChanges = 0;

    void SetUp() override
    {
        script = &answers;
        podo::setMenuChooser(chooseFromMenu);
        podo::setFileDialogHook(answerDialog);
        podo::setMessageBoxHook(recordBox);
        ASSERT_TRUE(editor.open(nullptr));
        commands.onTuningChanged = [this] { ++tuningChanges; };
    }
    void TearDown() override
    {
        editor.close();
        button->forget();
        podo::setMenuChooser(nullptr);
        podo::setFileDialogHook(nullptr);
        podo::setMessageBoxHook(nullptr);
        script = nullptr;
    }
    int32_t temperament()
    {
        TuningBlock tuning{};
        engine.getTuningBlock(&tuning);
        return tuning.temperament;
    }
    float value(int32_t channel, int32_t local) { return engine.valueAt(channel * 1789 + local); }
    static int32_t stepNote(int32_t lane, int32_t step) { return 48 + 130 * lane + 2 * step; }
};

} // namespace

TEST_F(FileCommands, TheTuningMenuSelectsTemperamentsAtTheLabelsCorner)
{
    engine.selectTemperament(0);
    answers.menuAnswers = {12, 0};
    commands.showTuningMenu(button);
    EXPECT_EQ(temperament(), 11);
    EXPECT_EQ(tuningChanges, 1);
    ASSERT_EQ(answers.menus.size(), 1u);
    const MenuSeen &menu = answers.menus[0];
    EXPECT_EQ(menu.x, 157 + 10);
    EXPECT_EQ(menu.y, 35);
    ASSERT_EQ(menu.captions.size(), 20u);
    EXPECT_EQ(menu.captions[0], "Equal Temperament");
    EXPECT_EQ(menu.captions[9], "User Tuning Scale &1");
    EXPECT_EQ(menu.captions[18], "&Load Scala scale(.scl) file to User...");
    EXPECT_TRUE(menu.states[0] & podo::itemChecked) << "the current temperament";
    EXPECT_TRUE(menu.states[18] & podo::itemGrayed) << "no load into a built-in temperament";

    commands.showTuningMenu(button); // the user row is checked now, and a load is offered; dismissed
    EXPECT_TRUE(answers.menus[1].states[9 + 3] & podo::itemChecked);
    EXPECT_FALSE(answers.menus[1].states[18] & podo::itemGrayed);
    EXPECT_EQ(temperament(), 11);
    EXPECT_EQ(tuningChanges, 1);

    editor.close();
    commands.showTuningMenu(button); // closed: no menu
    EXPECT_EQ(answers.menus.size(), 2u);
}

TEST_F(FileCommands, ScalaDialogsStartWhereTheLastScaleWas)
{
    engine.selectTemperament(10);
    engine.setTuningOffset(4, -12);
    const std::string saved = folder.file("out/mine.scl");
    answers.menuAnswers = {tuningMenuSaveScala, tuningMenuSaveScala};
    answers.dialogAnswers = {saved, ""};
    commands.showTuningMenu(button);
    commands.showTuningMenu(button);
    ASSERT_EQ(answers.dialogs.size(), 2u);
    EXPECT_TRUE(answers.dialogs[0].save);
    EXPECT_EQ(answers.dialogs[0].fileName, "User Tuning Scale 3.scl");
    EXPECT_EQ(answers.dialogs[0].title, "Export Scala scale");
    EXPECT_EQ(answers.dialogs[1].folder, folder.file("out/")) << "the next save starts beside the saved file";
    EXPECT_NE(readText(saved).find("  388.0\tE"), std::string::npos);

    engine.setTuningOffset(4, 0);
    answers.menuAnswers = {tuningMenuLoadScala, tuningMenuLoadScala};
    answers.dialogAnswers = {saved, folder.file("missing.scl")};
    commands.showTuningMenu(button);
    EXPECT_EQ(engine.getTuningOffset(4), -12);
    EXPECT_EQ(tuningChanges, 1);
    commands.showTuningMenu(button);
    EXPECT_EQ(answers.dialogs[3].fileName, "mine.scl") << "a load proposes the last loaded file";
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0], folder.file("missing.scl") + "\n\nfile can't be accessed.");
    EXPECT_EQ(engine.getTuningOffset(4), -12) << "a file that cannot be opened keeps the offsets";
}

TEST_F(FileCommands, ALaneSavedFromOneLaneLoadsIntoAnother)
{
    const int32_t channel = engine.getCurrentChannel();
    engine.setParameterValue(channel * 1789 + stepNote(2, 5), (7 + 48) * 0.01f);
    engine.setParameterValue(channel * 1789 + stepNote(2, 5) + 1, 0.5f);
    const std::string file = folder.file("a.lan");
    answers.dialogAnswers = {file};
    commands.saveLaneDialog(2);
    EXPECT_EQ(answers.dialogs[0].title, "Export Quorix Lane Pattern");
    EXPECT_EQ(answers.dialogs[0].fileName, "") << "no lane loaded yet: no name to suggest";

    answers.menuAnswers = {1};
    answers.dialogAnswers = {file};
    commands.loadLaneDialog(4, button);
    EXPECT_EQ(answers.menus[0].captions, (std::vector<std::string>{"&Lane Pattern (.lan)", "Standard &MIDI File (.mid)"}));
    EXPECT_EQ(engine.getStepNote(channel, 4, 5), 7) << "applied to the running sequencer";
    EXPECT_FLOAT_EQ(engine.getStepVelocity(channel, 4, 5), 0.5f);
    EXPECT_EQ(engine.getStepNote(channel, 4, 6), engine.getStepNote(channel, 2, 6));

    answers.dialogAnswers = {""};
    commands.saveLaneDialog(0);
    EXPECT_EQ(answers.dialogs.back().fileName, "a.lan") << "a save suggests the last loaded lane's name";
}

TEST_F(FileCommands, AMidiFileFillsTheLaneAndTheProgram)
{
    const int32_t channel = engine.getCurrentChannel();
    engine.setParameterValue(channel * 1789 + engine::local::SeqRate, 4.0f / 7.0f); // 1/16
    engine.setParameterValue(channel * 1789 + engine::local::SeqLength, 15.0f / 63.0f);
    const int32_t rate = engine.state.target.channels[channel].seqRate;
    ASSERT_EQ(rate, 4);
    // Division 480: 120 ticks a step. Note 64 on step 0, held to step 20.
    const std::vector<uint8_t> midi{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
                                    'M', 'T', 'r', 'k', 0, 0, 0, 9, 0x00, 0x90, 64, 127, 0x92, 0x60, 0x80, 64, 0};
    writeBytes(folder.file("song.mid"), midi);
    answers.menuAnswers = {2};
    answers.dialogAnswers = {folder.file("song.mid")};
    commands.loadLaneDialog(1, button);
    EXPECT_EQ(answers.dialogs[0].title, "Import Standard MIDI File");
    EXPECT_FLOAT_EQ(value(channel, stepNote(1, 0)), 0.48f);
    EXPECT_FLOAT_EQ(value(channel, stepNote(1, 0) + 1), 1.0f);
    EXPECT_FLOAT_EQ(value(channel, stepNote(1, 1)), (49 + 48) * 0.01f);
    EXPECT_FLOAT_EQ(value(channel, stepNote(1, 20)), (50 + 48) * 0.01f);
    EXPECT_FLOAT_EQ(value(channel, stepNote(1, 21)), 1.0f) << "cleared before the import";
    EXPECT_EQ(engine.getSeqLength(channel), 21);
    EXPECT_FLOAT_EQ(value(channel, engine::local::SeqLength), 20.0f / 63.0f);
}

TEST_F(FileCommands, AFailedLoadShowsThePathAndLosesNothing)
{
    const int32_t channel = engine.getCurrentChannel();
    for (int32_t lane = 0; lane < 5; ++lane)
        engine.setParameterValue(channel * 1789 + stepNote(lane, 3), 0.5f);
    answers.menuAnswers = {0, 1};
    answers.dialogAnswers = {"", folder.file("none.ptn")};
    commands.loadPatternDialog(button); // dismissed menu
    commands.loadPatternDialog(button); // cancelled dialog
    EXPECT_FLOAT_EQ(value(channel, stepNote(3, 3)), 0.5f);
    EXPECT_TRUE(answers.boxes.empty());

    // Each road clears the lanes before it reads.
    const int32_t runningNote = engine.getStepNote(channel, 2, 3);
    struct Road {
        bool pattern;
        uint32_t item;
        std::string file;
    };
    const Road roads[] = {{true, 1, "none.ptn"}, {true, 2, "none.mid"}, {false, 1, "none.lan"}, {false, 2, "none.mid"}};
    for (const Road &road : roads) {
        SCOPED_TRACE(road.file + (road.pattern ? " as pattern" : " as lane"));
        answers.boxes.clear();
        answers.menuAnswers = {road.item};
        answers.dialogAnswers = {folder.file(road.file)};
        if (road.pattern)
            commands.loadPatternDialog(button);
        else
            commands.loadLaneDialog(2, button);
        ASSERT_EQ(answers.boxes.size(), 1u);
        EXPECT_EQ(answers.boxes[0].rfind(folder.file(road.file) + "\n\n", 0), 0u) << answers.boxes[0];
        for (int32_t lane = 0; lane < 5; ++lane)
            EXPECT_FLOAT_EQ(value(channel, stepNote(lane, 3)), 0.5f) << "lane " << lane;
        EXPECT_EQ(engine.getStepNote(channel, 2, 3), runningNote) << "the running sequencer keeps it too";
    }
}

} // namespace editor_file_commands_test
