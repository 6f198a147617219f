// The value pickers: the menu each one shows, the item it marks for the current value, the value
// a choice stores and whether the host hears of it; nothing changes when the menu is dismissed
// or the editor is closed.
#include "editor/tests/EditorTestSupport.h"

#include "engine/ParameterIndex.h"
#include "foundation/podoMenu.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace value_pickers_test {

using namespace editortest;
using namespace engine;
using namespace qgui;

namespace {

struct Item {
    uint32_t id;
    std::string caption;
    bool newColumn, disabled, checked, isDefault;
};
std::vector<Item> shown;
int chooserCalls = 0;
uint32_t answer = 0;

uint32_t chooser(const podoMenu &menu, int32_t, int32_t)
{
    ++chooserCalls;
    shown.clear();
    for (int32_t i = 0; i < menu.itemCount(); ++i) {
        const podoMenuItem &item = menu.itemAt(i);
        if (item.state & podo::itemSeparator)
            continue;
        shown.push_back({uint32_t(item.id), item.caption.getNarrow(), (item.state & podo::itemNewColumn) != 0,
                         (item.state & (podo::itemDisabled | podo::itemGrayed)) != 0,
                         (item.state & podo::itemChecked) != 0, (item.state & podo::itemDefault) != 0});
    }
    return answer;
}

std::vector<uint32_t> marked()
{
    std::vector<uint32_t> ids;
    for (const Item &item : shown)
        if (item.checked) {
            EXPECT_TRUE(item.isDefault) << item.caption;
            ids.push_back(item.id);
        }
    return ids;
}

const Item *itemWithId(uint32_t id)
{
    for (const Item &item : shown)
        if (item.id == id)
            return &item;
    return nullptr;
}

struct ValuePickers : OpenEditor {
    static constexpr int32_t channel = 2;
    podo::MenuChooser previous = nullptr;

    void SetUp() override
    {
        OpenEditor::SetUp();
        previous = podo::setMenuChooser(chooser);
        shown.clear();
        chooserCalls = 0;
        answer = 0;
        editor->selectChannel(channel);
        engine->take();
    }
    void TearDown() override
    {
        podo::setMenuChooser(previous);
        OpenEditor::TearDown();
    }
    CControl *field() { return editor->lcdValueField; }
};

enum class Picker { value, note, transpose, transposeB, voiceMode, count };

void open(Quorix_Editor *editor, Picker picker, CControl *field, int32_t parameter, int32_t channel)
{
    switch (picker) {
    case Picker::value: editor->showValueMenu(field, parameter); break;
    case Picker::note: editor->showNoteMenu(field, parameter); break;
    case Picker::transpose: editor->showTransposeMenu(field, parameter); break;
    case Picker::transposeB: editor->showTransposeMenuB(field, parameter); break;
    case Picker::voiceMode: editor->showVoiceModeMenu(field, parameter, channel); break;
    case Picker::count: editor->showCountMenu(field, parameter); break;
    }
}

TEST_F(ValuePickers, EachMarksTheCurrentValueAndStoresTheChosenOne)
{
    struct Case {
        const char *name;
        Picker picker;
        int32_t parameter;
        float current;
        size_t items;
        uint32_t markedId; // 0: nothing marked
        uint32_t choice;
        float stored;
        bool automated;
    };
    const Case cases[] = {
        {"velocity 0.5 marks 64", Picker::value, ch(channel, local::VelocityRangeLow), 0.5f, 128, 65, 128, 1.0f, true},
        {"note: C3", Picker::note, ch(channel, local::KeyRangeHigh), 1.0f, 132, 128, 61, 60.0f / 127.0f, true},
        {"transpose: -48", Picker::transpose, ch(channel, local::OscSemitone), 0.5f, 97, 49, 1, 0.0f, true},
        {"transpose: +48", Picker::transpose, ch(channel, local::OscSemitone + 1), 0.0f, 97, 1, 97, 1.0f, true},
        {"transpose B: 0", Picker::transposeB, master::Transpose, 1.0f, 97, 97, 49, 0.5f, true},
        {"voices: retrigger", Picker::voiceMode, ch(channel, local::VoiceLimit), 1.0f, 13, 65, 2, 0.015625f, false},
        {"voices: 64", Picker::voiceMode, ch(channel, local::VoiceLimit), 0.0f, 13, 1, 65, 1.0f, false},
        {"voices: 10 is not offered", Picker::voiceMode, ch(channel, local::VoiceLimit), 10.0f / 64.0f, 13, 0, 9, 0.125f, false},
        {"count: 16", Picker::count, master::VoiceLimit, 1.0f, 11, 1025, 17, 15.0f / 1023.0f, false},
        {"count: 1024", Picker::count, master::VoiceLimit, 15.0f / 1023.0f, 11, 17, 1025, 1.0f, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        engineSets(c.parameter, c.current);
        engine->take();
        answer = c.choice;
        open(editor, c.picker, field(), c.parameter, channel);
        EXPECT_EQ(shown.size(), c.items);
        EXPECT_EQ(marked(), c.markedId ? std::vector<uint32_t>{c.markedId} : std::vector<uint32_t>{});
        const std::vector<EngineCall> calls = engine->take();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].kind, c.automated ? EngineCall::automated : EngineCall::plain);
        EXPECT_EQ(calls[0].a, c.parameter);
        EXPECT_FLOAT_EQ(calls[0].value, c.stored);
    }
}

TEST_F(ValuePickers, NoteMenuGoesDownwardsAnOctaveAColumnWithBlanksAboveTheTopNote)
{
    open(editor, Picker::note, field(), ch(channel, local::KeyRangeLow), channel);
    ASSERT_EQ(shown.size(), 132u);
    struct Expect {
        size_t position;
        uint32_t id;
        const char *caption;
        bool newColumn, disabled;
    };
    const Expect expected[] = {
        {0, 12, "B-2", true, false},    {11, 1, "C-2", false, false},   {12, 24, "B-1", true, false},
        {71, 61, "C3", false, false},   {120, 388, " ", true, true},    {123, 385, " ", false, true},
        {124, 128, "G8", false, false}, {131, 121, "C8", false, false},
    };
    for (const Expect &e : expected) {
        SCOPED_TRACE(e.caption);
        const Item &item = shown[e.position];
        EXPECT_EQ(item.id, e.id);
        EXPECT_EQ(item.caption, e.caption);
        EXPECT_EQ(item.newColumn || e.position == 0, e.newColumn); // the first item begins a column anyway
        EXPECT_EQ(item.disabled, e.disabled);
    }
}

TEST_F(ValuePickers, TransposeMenuHasZeroAloneInTheMiddleColumn)
{
    open(editor, Picker::transpose, field(), ch(channel, local::OscSemitone), channel);
    std::vector<std::vector<std::string>> columns;
    for (const Item &item : shown) {
        if (item.newColumn || columns.empty())
            columns.emplace_back();
        columns.back().push_back(item.caption);
    }
    ASSERT_EQ(columns.size(), 9u);
    EXPECT_EQ(columns[0].front(), "-37");
    EXPECT_EQ(columns[0].back(), "-48");
    EXPECT_EQ(columns[3].front(), "-1");
    EXPECT_EQ(columns[4], std::vector<std::string>{"0"});
    EXPECT_EQ(columns[5].front(), "+1");
    EXPECT_EQ(columns[8].back(), "+48");
    EXPECT_EQ(itemWithId(49)->caption, "0");
}

TEST_F(ValuePickers, VoiceModeMenuOfADrumKitOffersOneVoiceAndNoLegato)
{
    engineSets(ch(channel, local::Mode), 1.0f);
    engine->take();
    answer = 2;
    open(editor, Picker::voiceMode, field(), ch(channel, local::VoiceLimit), channel);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0].caption, "1");
    EXPECT_EQ(shown[0].id, 2u);
    EXPECT_EQ(itemWithId(1), nullptr);
    const std::vector<EngineCall> calls = engine->take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FLOAT_EQ(calls[0].value, 0.015625f);
}

TEST_F(ValuePickers, DismissedMenusAndAClosedEditorChangeNothing)
{
    const Picker pickers[] = {Picker::value, Picker::note, Picker::transpose, Picker::transposeB, Picker::voiceMode, Picker::count};
    answer = 0;
    for (Picker picker : pickers)
        open(editor, picker, field(), ch(channel, local::VelocityRangeLow), channel);
    EXPECT_EQ(chooserCalls, 6);
    // A blank above the top note is never taken, even when the menu answers it.
    answer = 386;
    open(editor, Picker::note, field(), ch(channel, local::KeyRangeLow), channel);
    EXPECT_TRUE(engine->take().empty());

    editor->close();
    chooserCalls = 0;
    answer = 5;
    for (Picker picker : pickers)
        open(editor, picker, field(), ch(channel, local::VelocityRangeLow), channel);
    EXPECT_EQ(chooserCalls, 0);
    EXPECT_TRUE(engine->take().empty());
}

TEST_F(ValuePickers, ClickingAWindowFieldOfTheMelodyPageOpensItsPicker)
{
    engineSets(ch(channel, local::Mode), 0.0f);
    engineSets(master::Page, 0.75f);
    ASSERT_TRUE(editor->isPageShown(pageMelodyEdit));
    engine->take();
    answer = 101;
    int32_t tag = ch(0, local::VelocityRangeLow);
    float value = 0.3f;
    editor->preValueChanged(field(), tag, value);
    ASSERT_EQ(chooserCalls, 1);
    EXPECT_EQ(shown.size(), 128u);
    const std::vector<EngineCall> calls = engine->take();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().a, ch(channel, local::VelocityRangeLow));
    EXPECT_FLOAT_EQ(calls.back().value, 100.0f / 127.0f);
}

} // namespace

} // namespace value_pickers_test
