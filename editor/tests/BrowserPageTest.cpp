// The browser: selection across categories, loading on select or double click, the program, save and
// colour menus, a combi's channels given back, the category list's scrolling and a channel whose
// category is not loaded. Each test runs on a small category table of its own.
#include "editor/tests/EditorTestSupport.h"

#include "editor/EditorBuild.h"

#include "banks/PatchBanks.h"
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "foundation/podoMenu.h"
#include "foundation/podoWnd.h"
#include "gui/CScrollView.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace editortest;
using namespace engine;

namespace {

struct PatchSpec {
    int16_t channels = 1;
    bool sequenced = false;
};

struct CategorySpec {
    int32_t number;
    const char *name;
    int16_t type;
    std::vector<PatchSpec> patches;
};

std::vector<PatchSpec> singles(int n) { return std::vector<PatchSpec>(size_t(n)); }

// The menus the editor tracked: a copy of each item tree, and the answer the next one gets.
struct Item {
    uint32_t id;
    std::string caption;
    uint32_t state;
    std::vector<Item> submenu;
};
std::vector<std::vector<Item>> menus;
uint32_t menuAnswer = 0;

std::vector<Item> copyMenu(const podoMenu &menu)
{
    std::vector<Item> items;
    for (int32_t i = 0; i < menu.itemCount(); ++i) {
        const podoMenuItem &m = menu.itemAt(i);
        items.push_back({uint32_t(m.id), m.caption.getNarrow(), m.state, m.submenu ? copyMenu(*m.submenu) : std::vector<Item>{}});
    }
    return items;
}

uint32_t chooser(const podoMenu &menu, int32_t, int32_t)
{
    menus.push_back(copyMenu(menu));
    return menuAnswer;
}

std::vector<std::string> boxes;
int32_t boxAnswer = podo::idOk;

int32_t box(podoWnd *, const podoStr &, const podoStr &text, int32_t)
{
    boxes.push_back(text.getNarrow());
    return boxAnswer;
}

bool checked(const Item &item) { return (item.state & podo::itemChecked) != 0; }
bool isSeparator(const Item &item) { return (item.state & podo::itemSeparator) != 0; }

// The items that are not separators, each with whether a separator comes right before it.
struct Shown {
    const Item *item;
    bool afterSeparator;
};
std::vector<Shown> shownItems(const std::vector<Item> &items)
{
    std::vector<Shown> out;
    bool separator = false;
    for (const Item &item : items) {
        if (isSeparator(item)) {
            separator = true;
            continue;
        }
        out.push_back({&item, separator});
        separator = false;
    }
    return out;
}

// An editor on an engine whose category table is the test's; the engine frees it with the library.
struct BrowserPage : OpenEditor {
    podo::MenuChooser previousChooser = nullptr;
    podo::MessageBoxHook previousBox = nullptr;
    char window[16] = {};

    virtual std::vector<CategorySpec> library()
    {
        return {
            {0, "Piano", 1, singles(6)},
            {1, "Organ", 1, {}}, // a file of another version: no entries
            {5, "Bass", 4, singles(2)},
            {120, "User 1", 3, {{4, false}, {1, true}, {1, false}, {2, true}}},
            {123, "User 2", 3, singles(41)},
        };
    }

    void SetUp() override
    {
        engine = std::make_unique<EditorEngine>();
        install(library());
        engine->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
        editor = static_cast<TestEditor *>(engine->editor());
        ASSERT_NE(editor, nullptr);
        ASSERT_EQ(engine->dispatcher(effEditOpen, 0, 0, window, 0.0f), 1);
        screen = editor->getFrame()->getOffscreen();
        ASSERT_NE(screen, nullptr);
        previousChooser = podo::setMenuChooser(chooser);
        previousBox = podo::setMessageBoxHook(box);
        settle();
        setLoadOnSelect(false);
        menus.clear();
        boxes.clear();
        menuAnswer = 0;
        boxAnswer = podo::idOk;
        engine->take();
    }
    void TearDown() override
    {
        podo::setMenuChooser(previousChooser);
        podo::setMessageBoxHook(previousBox);
        OpenEditor::TearDown();
    }

    // Patch k of category number n is named "P<n>.<k>", its Volume value (n + k) / 1000 tells it apart.
    void install(const std::vector<CategorySpec> &specs)
    {
        engine->freePatches();
        std::fill(std::begin(patchCategoryIndex), std::end(patchCategoryIndex), banks::kNoIndex);
        patchCategories = new PatchCategory[banks::kMaxPatchCategories]();
        numPatchCategories = int32_t(specs.size());
        firstUserCategory = numPatchCategories;
        for (size_t i = 0; i < specs.size(); ++i) {
            const CategorySpec &s = specs[i];
            PatchCategory &c = patchCategories[i];
            c.number = s.number;
            std::snprintf(c.name, sizeof c.name, "%s", s.name);
            c.type = s.type;
            c.numPatches = int32_t(s.patches.size());
            c.patchCapacity = c.numPatches;
            c.patches = c.numPatches ? new PatchRecord[size_t(c.numPatches)]() : nullptr;
            for (int32_t k = 0; k < c.numPatches; ++k) {
                PatchRecord &p = c.patches[k];
                std::snprintf(p.name, sizeof p.name, "P%d.%d", s.number, k);
                p.numChannels = s.patches[size_t(k)].channels;
                p.colour = 5;
                p.channels = new ChannelProgram[size_t(p.numChannels)]();
                for (int16_t ch = 0; ch < p.numChannels; ++ch) {
                    ChannelProgram &program = p.channels[ch];
                    std::snprintf(program.name, sizeof program.name, "P%d.%d/%d", s.number, k, ch);
                    program.numValues = banks::kSeqOnValue + 1;
                    program.values[local::Volume - kFirstLocalId] = float(s.number + k) / 1000.0f;
                    program.values[banks::kSeqOnValue] = s.patches[size_t(k)].sequenced && ch == 0 ? 1.0f : 0.0f;
                }
            }
            patchCategoryIndex[s.number] = int32_t(i);
            if (s.number >= 120 && firstUserCategory == numPatchCategories)
                firstUserCategory = int32_t(i);
        }
    }

    void setLoadOnSelect(bool on)
    {
        ConfigurationBlock c{};
        engine->getConfiguration(&c);
        c.loadOnSelect = on ? 1 : 0;
        engine->setConfiguration(&c);
        editor->configurationCopy = c;
    }
    void showBrowser() { engineSets(master::Page, 0.25f); }
    void select(int32_t category, int32_t entry)
    {
        editor->showBrowserCategory(category, -1);
        editor->selectBrowserEntry(entry, -1, false, true);
    }
    std::pair<int32_t, int32_t> selection() const { return {editor->browserCategory, editor->browserEntry}; }
    std::pair<int32_t, int32_t> source(int32_t channel)
    {
        int32_t c = -1, e = -1;
        engine->getChannelPatchSource(channel, &c, &e);
        return {c, e};
    }
    std::string patchName(int32_t category, int32_t entry) const
    {
        return std::string(patchCategories[category].patches[entry].name, strnlen(patchCategories[category].patches[entry].name, 24));
    }
    // A row is painted selected when its back colour is its patch's (or category's) colour.
    bool entryPainted(int32_t row) const
    {
        const PatchRecord &p = patchCategories[editor->browserCategory].patches[row];
        return editor->entryRows[row].name->getBackColor() == editor->patchColors[p.colour];
    }
    std::string entryText(int32_t row) const { return text(editor->entryRows[row].name); }
};

using Move = BrowserPage;

TEST_F(Move, TheSelectionCrossesCategoriesAndStopsAtTheLibrarysEnds)
{
    struct Case {
        int32_t category, entry, delta;
        int32_t wantCategory, wantEntry;
        int32_t boxes; // "not supported" messages on the way
    } cases[] = {
        {0, 0, -1, 0, 0, 0},   // before the first entry of the first category: stays
        {0, 3, -5, 0, 0, 0},   // a long step back stops at the category's first entry
        {0, 2, +1, 0, 3, 0},
        {0, 5, +1, 1, -1, 1},  // into the empty category: nothing to select
        {2, 0, -1, 1, -1, 1},  // and from the other side
        {2, 0, +5, 2, 1, 0},   // a long step on stops at the category's last entry
        {2, 1, +1, 3, 0, 0},   // past the last entry: the next category's first
        {3, 0, -32, 2, 1, 0},  // back from the first entry: the previous category's last
        {4, 40, +1, 4, 40, 0}, // the last entry of the last category stays
        {4, 3, +32, 4, 35, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.category << "/" << c.entry << " by " << c.delta);
        select(c.category, c.entry);
        boxes.clear();
        editor->moveBrowserSelection(c.delta, false);
        EXPECT_EQ(selection(), std::make_pair(c.wantCategory, c.wantEntry));
        EXPECT_EQ(int32_t(boxes.size()), c.boxes);
        if (c.wantEntry >= 0) {
            EXPECT_TRUE(entryPainted(c.wantEntry));
        }
    }
    // Out of the empty category again, both ways.
    select(1, -1);
    editor->moveBrowserSelection(+1, false);
    EXPECT_EQ(selection(), std::make_pair(2, 0));
    select(1, -1);
    editor->moveBrowserSelection(-1, false);
    EXPECT_EQ(selection(), std::make_pair(0, 5));
    EXPECT_EQ(source(0), std::make_pair(-1, -1)) << "moves without load leave the channel alone";
}

TEST_F(Move, TheBrowserKeysAndThePatchButtonsMoveTheSelection)
{
    showBrowser();
    select(0, 1);
    VstKeyCode down{0, qgui::VKEY_DOWN, 0};
    EXPECT_TRUE(editor->onKeyDown(down));
    EXPECT_EQ(selection(), std::make_pair(0, 2));
    EXPECT_EQ(source(0), std::make_pair(-1, -1));
    VstKeyCode pageDown{0, qgui::VKEY_PAGEDOWN, 0};
    EXPECT_TRUE(editor->onKeyDown(pageDown));
    EXPECT_EQ(selection().first, 1);

    // The keyboard page's patch buttons load what they step to.
    select(2, 0);
    click(editor->nextPatchButton);
    EXPECT_EQ(selection(), std::make_pair(2, 1));
    EXPECT_EQ(source(0), std::make_pair(2, 1));
}

using Load = BrowserPage;

TEST_F(Load, ASingleClickLoadsOnlyWithLoadOnSelectADoubleClickAlways)
{
    showBrowser();
    select(0, 0);
    click(editor->entryRows[2].name);
    EXPECT_EQ(selection(), std::make_pair(0, 2));
    EXPECT_EQ(source(0), std::make_pair(-1, -1)) << "a click only selects";
    click(editor->entryRows[3].name, qgui::kLButton | qgui::kDoubleClick);
    settle();
    EXPECT_EQ(source(0), std::make_pair(0, 3));
    EXPECT_EQ(engine->getChannelName(0), podoStr("P0.3/0"));
    click(editor->categoryRows[2].name);
    EXPECT_EQ(selection(), std::make_pair(2, 1)) << "the entry index is kept, within the category";
    EXPECT_EQ(source(0), std::make_pair(0, 3));

    // The browser's option button switches loading on select on.
    click(editor->loadOnSelectButton);
    settle();
    ASSERT_EQ(editor->configurationCopy.loadOnSelect, 1);
    struct Case {
        const char *what;
        std::function<void()> act;
        std::pair<int32_t, int32_t> want;
    } cases[] = {
        {"entry click", [&] { click(editor->entryRows[0].name); }, {2, 0}},
        {"category click", [&] { click(editor->categoryRows[3].name); }, {3, 0}},
        {"colour", [&] { select(0, 4); editor->setPatchColor(4, 2, false); }, {0, 4}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.act();
        settle();
        EXPECT_EQ(source(0), c.want);
        EXPECT_EQ(selection(), c.want);
    }
    // Rows past a category's entries are blank and take no clicks.
    select(2, 0);
    EXPECT_EQ(entryText(2), "");
    EXPECT_FALSE(editor->entryRows[2].name->getMouseEnabled());
    click(editor->entryRows[2].name);
    EXPECT_EQ(selection(), std::make_pair(2, 0));
}

TEST_F(Load, AShorterPatchGivesTheChannelsOfTheCombiRecalledBeforeBack)
{
    engine->setChannelName(6, podoStr("Keep"));
    ASSERT_EQ(editor->loadBrowserEntry(2, 3, 0), 0); // a four-channel combi on 2..5
    settle();
    EXPECT_EQ(editor->lastPatchSpan, 4);
    for (int32_t c = 2; c <= 5; ++c)
        EXPECT_EQ(source(c), std::make_pair(3, 0));

    ASSERT_EQ(editor->loadBrowserEntry(2, 0, 1), 0);
    EXPECT_EQ(source(2), std::make_pair(0, 1));
    for (int32_t c = 3; c <= 5; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(source(c), std::make_pair(-1, -1));
        EXPECT_EQ(engine->getChannelName(c), podoStr(""));
        EXPECT_NE(engine->getParameterValue(ch(c, local::Volume)), 0.120f);
    }
    EXPECT_EQ(engine->getChannelName(6), podoStr("Keep"));
    EXPECT_EQ(editor->lastPatchSpan, 1);

    // A change of channel forgets the span: nothing is given back then.
    ASSERT_EQ(editor->loadBrowserEntry(2, 3, 0), 0);
    editor->selectChannel(1);
    ASSERT_EQ(editor->loadBrowserEntry(2, 0, 1), 0);
    EXPECT_EQ(source(3), std::make_pair(3, 0));
    EXPECT_EQ(editor->loadBrowserEntry(2, 1, 0), -1) << "an empty category loads nothing";
}

TEST_F(Load, TheChannelsOfASelectedCombiLookTakenWhileTheBrowserIsShown)
{
    auto looks = [&](int32_t channel) {
        qgui::CBitmap *shown = editor->getChannelControl(channel, Quorix_Editor::modeButton)->getBackground();
        return shown == editor->findImage("channel-melody-normal-combi") ? "combi" : "plain";
    };
    for (int32_t c = 1; c <= 4; ++c)
        engine->setParameterValue(ch(c, local::On), 1.0f);
    showBrowser();
    select(3, 0); // a four-channel combi, channel 0 current
    for (int32_t c = 1; c <= 4; ++c)
        EXPECT_STREQ(looks(c), c <= 3 ? "combi" : "plain") << c;
    EXPECT_EQ(editor->combiSpan(), 4);
    select(3, 2);
    EXPECT_STREQ(looks(1), "plain");
}

TEST_F(Load, TheKeyboardPageNamesTheCategoryOfTheProgram)
{
    editor->postMessage(editorTag::programName, 4); // category index 3 + 1
    settle();
    EXPECT_EQ(text(editor->patchLabel), "User 1");
}

using ProgramMenu = BrowserPage;

TEST_F(ProgramMenu, ListsEveryCategoryMarksTheSourceAndLoadsTheChoice)
{
    editor->showProgramMenu(2);
    ASSERT_EQ(menus.size(), 1u);
    const std::vector<Shown> top = shownItems(menus[0]);
    ASSERT_EQ(top.size(), 6u);
    EXPECT_EQ(top[0].item->caption, "<&empty>");
    EXPECT_TRUE(checked(*top[0].item)) << "a channel without a source";
    struct Row {
        const char *caption;
        bool separatorBefore;
        size_t entries;
    } rows[] = {{"000 Piano", true, 6}, {"001 Organ", false, 0}, {"005 Bass", true, 2},
                {"120 User 1", true, 4}, {"123 User 2", true, 41}};
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(rows[i].caption);
        const Shown &s = top[1 + i];
        EXPECT_EQ(s.item->caption, rows[i].caption);
        EXPECT_EQ(s.afterSeparator, rows[i].separatorBefore);
        EXPECT_EQ(shownItems(s.item->submenu).size(), rows[i].entries);
    }
    const std::vector<Shown> user1 = shownItems(top[4].item->submenu);
    EXPECT_EQ(user1[0].item->caption, "000 4 P120.0");
    EXPECT_EQ(user1[0].item->id, 3u * 128 + 0 + 2);
    const std::vector<Shown> user2 = shownItems(top[5].item->submenu);
    ASSERT_EQ(user2.size(), 41u);
    for (size_t k : {8u, 16u, 24u, 40u})
        EXPECT_TRUE(user2[k].afterSeparator) << k;
    for (size_t k : {1u, 9u, 31u, 33u})
        EXPECT_FALSE(user2[k].afterSeparator) << k;
    EXPECT_TRUE(user2[32].item->state & podo::itemNewColumn);
    EXPECT_FALSE(user2[32].afterSeparator);

    // The choice is recalled into the channel; the browser shows it.
    select(0, 0);
    menuAnswer = 2 * 128 + 1 + 2;
    editor->showProgramMenu(2);
    EXPECT_EQ(source(2), std::make_pair(2, 1));
    EXPECT_EQ(selection(), std::make_pair(2, 1));
    EXPECT_EQ(entryText(0), "P5.0") << "the entry list shows the chosen category";
    EXPECT_EQ(entryText(2), "");

    menuAnswer = 0;
    menus.clear();
    editor->showProgramMenu(2);
    const std::vector<Shown> marked = shownItems(menus[0]);
    EXPECT_FALSE(checked(*marked[0].item));
    EXPECT_TRUE(checked(*marked[3].item));
    EXPECT_TRUE(checked(marked[3].item->submenu[1]));
    EXPECT_FALSE(checked(marked[3].item->submenu[0]));

    // "<empty>" gives the channel its defaults.
    menuAnswer = 1;
    editor->showProgramMenu(2);
    EXPECT_EQ(source(2), std::make_pair(-1, -1));
    EXPECT_EQ(engine->getChannelName(2), podoStr(""));
}

using SaveMenu = BrowserPage;

TEST_F(SaveMenu, IsRefusedForAChannelWithoutASourceAndOffersDirectItemsOnlyForUserBanks)
{
    editor->showSaveMenu();
    EXPECT_TRUE(menus.empty()) << "no source, no menu";

    ASSERT_EQ(editor->loadBrowserEntry(0, 2, 1), 0); // factory
    settle();
    editor->showSaveMenu();
    ASSERT_EQ(menus.size(), 1u);
    ASSERT_EQ(menus[0].size(), 2u);
    EXPECT_EQ(menus[0][0].caption, "Save as Combi...");
    EXPECT_EQ(menus[0][1].caption, "Save as Patch...");
    // Only the user banks, a separator where numbers jump.
    const std::vector<Shown> banks = shownItems(menus[0][1].submenu);
    ASSERT_EQ(banks.size(), 2u);
    EXPECT_EQ(banks[0].item->caption, "120 User 1");
    EXPECT_FALSE(banks[0].afterSeparator) << "nothing to separate it from";
    EXPECT_EQ(banks[1].item->caption, "123 User 2");
    EXPECT_TRUE(banks[1].afterSeparator) << "the numbers jump";
    EXPECT_EQ(banks[0].item->submenu[2].caption, "002 P120.2");
    EXPECT_EQ(banks[0].item->submenu[2].id, (128u + 3) * 128 + 2 + 1);
    EXPECT_EQ(shownItems(menus[0][0].submenu)[0].item->submenu[2].id, 3u * 128 + 2 + 1);
    EXPECT_FALSE(checked(*banks[0].item));

    ASSERT_EQ(editor->loadBrowserEntry(0, 3, 2), 0); // user bank
    settle();
    menus.clear();
    editor->showSaveMenu();
    const std::vector<Item> &user = menus[0];
    ASSERT_EQ(user.size(), 5u);
    EXPECT_EQ(user[0].caption, "Save to &Combi [120 User 1] 002 P120.2");
    EXPECT_EQ(user[1].caption, "Save to &Patch [120 User 1] 002 P120.2/0");
    EXPECT_EQ(user[1].id, 3u * 128 + 2 + 16385);
    const std::vector<Shown> userBanks = shownItems(user[4].submenu);
    EXPECT_TRUE(checked(*userBanks[0].item)) << "the source's bank";
    EXPECT_TRUE(checked(userBanks[0].item->submenu[2]));
    EXPECT_FALSE(checked(*userBanks[1].item));
}

TEST_F(SaveMenu, StoresIntoTheChosenEntryAskingOnlyForAnotherOne)
{
    ASSERT_EQ(editor->loadBrowserEntry(0, 3, 2), 0);
    settle();
    engine->setChannelName(0, podoStr("Mine"));
    const std::filesystem::path bankFile = std::filesystem::path(engine->getUserPath().getNarrow()) / "120 User 1.usr";
    std::filesystem::remove(bankFile);

    // The direct item: no question.
    menuAnswer = 3 * 128 + 2 + 16385;
    editor->showSaveMenu();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(patchName(3, 2), "Mine");
    EXPECT_EQ(patchCategories[3].patches[2].numChannels, 1);
    EXPECT_TRUE(std::filesystem::exists(bankFile));
    EXPECT_EQ(selection(), std::make_pair(3, 2));

    // Another entry asks; Cancel leaves it.
    menuAnswer = (128 + 4) * 128 + 7 + 1;
    boxAnswer = podo::idCancel;
    editor->showSaveMenu();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("Save as Patch to [123 User 2] 007 P123.7"), std::string::npos) << boxes[0];
    EXPECT_EQ(patchName(4, 7), "P123.7");

    boxAnswer = podo::idOk;
    editor->selectChannel(0);
    editor->showSaveMenu();
    EXPECT_EQ(patchName(4, 7), "Mine");
    EXPECT_EQ(source(0), std::make_pair(4, 7));
    EXPECT_EQ(selection(), std::make_pair(4, 7));

    // A dismissed menu changes nothing, the browser's selection included.
    select(2, 1);
    menuAnswer = 0;
    editor->showSaveMenu();
    EXPECT_EQ(selection(), std::make_pair(2, 1));
    EXPECT_TRUE(entryPainted(1));
}

using ColorMenu = BrowserPage;

TEST_F(ColorMenu, ListsOliveFirstTicksTheColourAndSetsIt)
{
    showBrowser();
    select(0, 2);
    patchCategories[0].patches[2].colour = 3;
    editor->showColorMenu(2);
    ASSERT_EQ(menus.size(), 1u);
    const std::vector<Item> &items = menus[0];
    const char *const want[] = {"Olive \t&9", "Cyan  \t&8", "Purple\t&7", "Orange\t&6", "Red   \t&5",
                                "Green \t&4", "Blue  \t&3", "Black \t&2", "Gray  \t&1"};
    ASSERT_GE(items.size(), 12u);
    for (uint32_t i = 0; i < 9; ++i) {
        EXPECT_EQ(items[i].caption, want[i]);
        EXPECT_EQ(items[i].id, 9 - i);
        EXPECT_EQ(checked(items[i]), items[i].id == 4) << want[i];
    }
    EXPECT_EQ(items[10].caption, "Reset colors");
    EXPECT_EQ(items[10].id, 10u);
    EXPECT_EQ(items[12].caption, "Set as initial preset");

    const std::filesystem::path colourFile = std::filesystem::path(engine->getUserPath().getNarrow()) / "Quorix.plc";
    std::filesystem::remove(colourFile);
    menuAnswer = 7; // purple, by a right click on the row
    select(0, 0);
    click(editor->entryRows[2].name, qgui::kRButton);
    EXPECT_EQ(selection(), std::make_pair(0, 2));
    EXPECT_EQ(patchCategories[0].patches[2].colour, 6);
    EXPECT_TRUE(entryPainted(2));
    EXPECT_EQ(editor->entryRows[2].name->getBackColor(), editor->patchColors[6]);
    EXPECT_TRUE(std::filesystem::exists(colourFile));

    menuAnswer = 11;
    editor->showColorMenu(2);
    podoStr preset;
    ASSERT_TRUE(engine->readRegistryString(1, podoStr("Initial Preset"), &preset));
    EXPECT_EQ(std::string(preset.getNarrow()), "000002");
}

TEST_F(ColorMenu, ResetGivesTheCategoryItsDerivedColoursAfterAsking)
{
    showBrowser();
    ASSERT_EQ(editor->loadBrowserEntry(0, 3, 1), 0); // the refresh goes back to the channel's patch
    settle();
    for (int32_t k = 0; k < 4; ++k)
        patchCategories[3].patches[k].colour = 8;
    menuAnswer = 10;
    boxAnswer = podo::idCancel;
    editor->showColorMenu(1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("Reset Colors in This Category Only"), std::string::npos);
    EXPECT_EQ(patchCategories[3].patches[0].colour, 8);

    boxAnswer = podo::idOk;
    editor->showColorMenu(1);
    // combi, single sequenced, single, combi sequenced
    const int16_t want[] = {2, 3, 1, 4};
    for (int32_t k = 0; k < 4; ++k)
        EXPECT_EQ(patchCategories[3].patches[k].colour, want[k]) << k;
    EXPECT_EQ(patchCategories[0].patches[0].colour, 5) << "other categories keep theirs";
    EXPECT_EQ(editor->entryRows[2].name->getPartColor(0), editor->patchColors[1]);
}

using CategoryList = BrowserPage;

TEST_F(CategoryList, TheSelectedCategoryIsPaintedInItsTypesColour)
{
    select(2, 0);
    const auto &row = editor->categoryRows[2];
    EXPECT_EQ(row.name->getBackColor(), editor->patchColors[4]);
    // The number keeps its colour where it can be read on the row, else a readable shade of it.
    EXPECT_GE(editorbuild::contrastRatio(row.number->getPartColor(0), row.number->getBackColor()), 4.5);
    select(0, 0);
    EXPECT_GE(editorbuild::contrastRatio(row.name->getPartColor(0), row.name->getBackColor()), 4.5);
    EXPECT_GT(row.name->getPartColor(0).red, 0xC0) << "a readable shade of the type's red";
    EXPECT_NE(row.name->getBackColor(), editor->patchColors[4]);
    EXPECT_GE(editorbuild::contrastRatio(row.number->getPartColor(0), row.number->getBackColor()), 4.5);
    EXPECT_EQ(editor->categoryRows[0].name->getBackColor(), editor->patchColors[1]);
    // The empty category is reported and shows no entries.
    boxes.clear();
    select(1, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("Patch bank version is not supported."), std::string::npos);
    EXPECT_EQ(entryText(0), "");
    EXPECT_FALSE(editor->entryRows[0].name->getMouseEnabled());
}

// Thirty categories: the list scrolls.
struct LongList : BrowserPage {
    std::vector<CategorySpec> library() override
    {
        std::vector<CategorySpec> list;
        for (int32_t n = 0; n < 30; ++n)
            list.push_back({n * 2, "Cat", 1, singles(1)});
        return list;
    }
    // The first and last rows wholly in view.
    std::pair<int32_t, int32_t> rowsInView()
    {
        auto *scroll = dynamic_cast<qgui::CScrollView *>(editor->getPage(pageBrowserCategories));
        const double top = scroll->getScrollOffset().y;
        const double bottom = top + scroll->getVisibleArea().getHeight();
        int32_t first = -1, last = -1;
        for (int32_t k = 0; k < 30; ++k) {
            const qgui::CRect r = editor->categoryRows[k].name->getViewSize();
            if (r.top >= top && r.bottom <= bottom) {
                if (first < 0)
                    first = k;
                last = k;
            }
        }
        return {first, last};
    }
};

TEST_F(LongList, TheSelectedCategoryIsScrolledIntoView)
{
    showBrowser();
    EXPECT_EQ(rowsInView().first, 0);
    select(29, 0);
    EXPECT_EQ(rowsInView().second, 29) << "the last category is the bottom row in view";
    select(20, 0);
    EXPECT_EQ(rowsInView().second, 29) << "a row in view moves nothing";
    select(0, 0);
    EXPECT_EQ(rowsInView().first, 0);
}

using Unloaded = BrowserPage;

TEST_F(Unloaded, AChannelWhoseCategoryIsNotLoadedSelectsNothing)
{
    showBrowser();
    struct Case {
        int16_t number, patch;
        int32_t wantCategory, wantEntry;
    } cases[] = {
        {7, 0, -1, -1},     // no such category
        {999, 3, -1, -1},
        {5000, 1, -1, -1},  // beyond every category number
        {-3, 4, 0, 4},      // a negative number counts as 0
        {5, 9, 2, 1},       // an index past the entries: the last one
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.number);
        select(3, 1);
        ProgramBlock *block = engine->getProgramBlock();
        block->channels[0].sourceCategory = c.number;
        block->channels[0].sourcePatch = c.patch;
        editor->onProgramChanged(0);
        EXPECT_EQ(selection(), std::make_pair(c.wantCategory, c.wantEntry));
        if (c.wantCategory < 0) {
            EXPECT_NE(editor->categoryRows[3].name->getBackColor(), editor->patchColors[3]);
            EXPECT_EQ(entryText(0), "");
            EXPECT_FALSE(editor->entryRows[0].name->getMouseEnabled());
            // Nothing to move, colour, save or load.
            menus.clear();
            editor->moveBrowserSelection(1, true);
            EXPECT_EQ(selection().first, -1);
            editor->showColorMenu(0);
            editor->setPatchColor(0, 2, true);
            editor->showSaveMenu();
            EXPECT_TRUE(menus.empty());
            EXPECT_EQ(editor->loadBrowserEntry(0, editor->browserCategory, editor->browserEntry), -1);
            EXPECT_EQ(editor->combiSpan(), 0);
        }
    }
}

} // namespace

namespace {

// Every patch colour, the default dark "black" included, reads on the skin's dark rows, selected (the
// row in the colour, the text in the row's colour) or not; a colour that reads already is kept.
TEST(BrowserColours, EveryPatchColourIsReadableOnTheRows)
{
    const qgui::CColor rows[2] = {{0x1B, 0x21, 0x30, 0xFF}, {0x25, 0x2D, 0x40, 0xFF}};
    const qgui::CColor colours[] = {{0x77, 0x88, 0xAA, 0xFF}, {0x0A, 0x16, 0x47, 0xFF}, {0x00, 0x33, 0xEE, 0xFF},
                              {0x05, 0x77, 0x05, 0xFF}, {0xEE, 0x11, 0x00, 0xFF}, {0xCC, 0x60, 0x10, 0xFF},
                              {0x61, 0x11, 0xCB, 0xFF}, {0x11, 0x77, 0xBB, 0xFF}, {0x70, 0x70, 0x10, 0xFF}};
    EXPECT_LT(editorbuild::contrastRatio(colours[1], rows[0]), 1.2) << "the fault: black on the dark row";
    for (const qgui::CColor &row : rows)
        for (const qgui::CColor &colour : colours) {
            EXPECT_GE(editorbuild::contrastRatio(editorbuild::readableColour(colour, row), row), 4.5);
            EXPECT_GE(editorbuild::contrastRatio(editorbuild::readableColour(row, colour), colour), 4.5);
        }
    EXPECT_EQ(editorbuild::readableColour(qgui::kWhiteCColor, rows[0]), qgui::kWhiteCColor);
}

} // namespace
