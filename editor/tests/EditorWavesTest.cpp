// Wave selection: stepping through a small library in table order and the wave menu.
#include "editor/tests/EditorTestSupport.h"

#include "banks/Wavetables.h"
#include "engine/ParameterIndex.h"
#include "foundation/podoMenu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace editor_waves_test {

using namespace editortest;
using namespace engine;

namespace {

// Categories in table order: number, kind (0 melody), wavetable count.
struct CategorySpec {
    int32_t number, kind, count;
};

struct Waves : OpenEditor {
    std::vector<WavetableCategory> categories;
    std::vector<std::vector<WavetableRecord>> records;
    int32_t savedCount = 0;
    WavetableCategory *savedTable = nullptr;

    void SetUp() override
    {
        OpenEditor::SetUp();
        savedCount = numWavetableCategories;
        savedTable = wavetableCategories;
        library({{1, 0, 3}, {2, 1, 2}, {3, 0, 0}, {5, 0, 2}, {6, 1, 1}});
    }
    void TearDown() override
    {
        for (const WavetableCategory &c : categories)
            wavetableCategoryIndex[c.number] = 0;
        numWavetableCategories = savedCount;
        wavetableCategories = savedTable;
        OpenEditor::TearDown();
    }
    void library(std::initializer_list<CategorySpec> specs)
    {
        records.clear();
        categories.clear();
        for (const CategorySpec &s : specs) {
            std::vector<WavetableRecord> tables(size_t(s.count));
            for (int32_t j = 0; j < s.count; ++j) {
                tables[size_t(j)] = WavetableRecord{};
                std::snprintf(tables[size_t(j)].name, sizeof tables[size_t(j)].name, "W%d.%d", s.number, j);
            }
            records.push_back(std::move(tables));
        }
        int32_t h = 0;
        for (const CategorySpec &s : specs) {
            WavetableCategory c{};
            c.number = s.number;
            std::snprintf(c.name, sizeof c.name, "Cat %d", s.number);
            c.kind = s.kind;
            c.count = s.count;
            c.wavetables = records[size_t(h)].data();
            categories.push_back(c);
            wavetableCategoryIndex[s.number] = h++;
        }
        numWavetableCategories = int32_t(categories.size());
        wavetableCategories = categories.data();
    }
    // The wave of oscillator 0 (melody) or drum key 0 (kit) of channel 0 as (number, index + 1).
    std::pair<int, int> wave(bool drum)
    {
        WaveLocation l{};
        if (drum)
            engine->getDrumKeyWave(0, 0, &l);
        else
            engine->getOscillatorWave(0, 0, &l);
        return {l.category, l.index};
    }
    void setWave(bool drum, int number, int index)
    {
        const int32_t local = drum ? local::DrumWave : local::OscWave;
        engineSets(ch(0, local), index == 0 ? 0.0f : float(number * 128 + index) / 16384.0f);
    }
    void mode(bool drum) { engineSets(ch(0, local::Mode), drum ? 1.0f : 0.0f); }
};

TEST_F(Waves, SteppingRunsThroughTheEligibleCategoriesAndStopsAtBothEnds)
{
    struct Case {
        bool drum;
        int number, index, direction;
        int wantNumber, wantIndex;
    } cases[] = {
        {false, 1, 3, 1, 2, 1},  // past the last of a category: the next one's first
        {false, 2, 2, 1, 5, 1},  // the empty category 3 is skipped
        {false, 5, 1, -1, 2, 2}, // back from the first: the previous one's last
        {false, 1, 1, -1, 1, 1}, // the library's first stays
        {false, 6, 1, 1, 6, 1},  // the library's last stays
        {false, 0, 0, 1, 1, 1},  // from no wave: the first wavetable
        {true, 2, 2, 1, 6, 1},   // a kit steps over melody categories
        {true, 6, 1, -1, 2, 2},
        {true, 2, 1, -1, 2, 1},
        {true, 6, 1, 1, 6, 1},
        {true, 0, 0, 1, 2, 1},   // from no wave: the first drum category
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.drum << " " << c.number << "." << c.index << " " << c.direction);
        mode(c.drum);
        setWave(c.drum, c.number, c.index);
        ASSERT_EQ(wave(c.drum), std::make_pair(c.index == 0 ? 0 : c.number, c.index));
        editor->stepWave(0, c.direction);
        settle();
        EXPECT_EQ(wave(c.drum), std::make_pair(c.wantNumber, c.wantIndex));
    }
    // The label shows the chosen wavetable's name.
    mode(false);
    engineSets(master::Page, 0.75f);
    setWave(false, 5, 2);
    EXPECT_EQ(text(editor->melodyControls[local::OscWave - local::FirstInstrument]), "W5.1");
}

TEST_F(Waves, AKitWithoutDrumCategoriesKeepsItsWave)
{
    library({{1, 0, 3}});
    mode(true);
    const float before = engine->getParameterValue(ch(0, local::DrumWave));
    editor->stepWave(0, 1);
    editor->stepWave(0, -1);
    EXPECT_EQ(engine->getParameterValue(ch(0, local::DrumWave)), before);
}

// What the menu showed, and the id to answer.
struct Shown {
    std::vector<std::string> captions;
    std::vector<uint32_t> states;
    std::vector<std::string> checkedInside;
    uint32_t answer = 0;
} shown;

uint32_t chooser(const podoMenu &menu, int32_t, int32_t)
{
    shown.captions.clear();
    shown.states.clear();
    shown.checkedInside.clear();
    for (int32_t i = 0; i < menu.itemCount(); ++i) {
        const podoMenuItem &item = menu.itemAt(i);
        shown.captions.push_back(item.caption.getNarrow());
        shown.states.push_back(item.state);
        if (item.submenu)
            for (int32_t j = 0; j < item.submenu->itemCount(); ++j)
                if (item.submenu->itemAt(j).state & podo::itemChecked)
                    shown.checkedInside.push_back(item.submenu->itemAt(j).caption.getNarrow());
    }
    return shown.answer;
}

TEST_F(Waves, TheMenuListsTheEligibleCategoriesTicksTheCurrentWaveAndStoresTheChoice)
{
    const podo::MenuChooser previous = podo::setMenuChooser(chooser);
    engineSets(master::Page, 0.75f);

    mode(true);
    setWave(true, 0, 0);
    shown.answer = uint32_t(6 * 128 + 0 + 2);
    editor->showWaveMenu(0);
    // Numbers 2 and 6 are not neighbours: a separator between them.
    EXPECT_EQ(shown.captions, (std::vector<std::string>{"Cat 2", "", "Cat 6", "", "<&empty>"}));
    EXPECT_TRUE(shown.states[1] & podo::itemSeparator);
    EXPECT_TRUE(shown.states[4] & podo::itemChecked);
    EXPECT_EQ(wave(true), std::make_pair(6, 1));

    mode(false);
    setWave(false, 5, 2);
    shown.answer = 1;
    editor->showWaveMenu(0);
    // Every category with wavetables, drum ones included; the empty category 3 is left out.
    EXPECT_EQ(shown.captions, (std::vector<std::string>{"Cat 1", "Cat 2", "", "Cat 5", "Cat 6", "", "<&empty>"}));
    EXPECT_TRUE(shown.states[3] & podo::itemChecked);
    EXPECT_FALSE(shown.states[6] & podo::itemChecked);
    EXPECT_EQ(shown.checkedInside, (std::vector<std::string>{"W5.1"}));
    EXPECT_EQ(engine->getParameterValue(ch(0, local::OscWave)), 0.0f);
    podo::setMenuChooser(previous);
}

} // namespace

} // namespace editor_waves_test
