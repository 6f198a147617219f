// The channel menu: copy, paste and swap through the clipboard every editor of the process shares.
#include "editor/tests/EditorTestSupport.h"

#include "engine/ParameterIndex.h"
#include "foundation/podoMenu.h"

#include <gtest/gtest.h>

#include <string>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace editor_channel_menu_test {

using namespace editortest;
using namespace engine;

namespace {

struct ShownItem {
    uint32_t id;
    std::string caption;
    bool grayed;
};
std::vector<ShownItem> shown;
uint32_t answer = 0;

uint32_t chooser(const podoMenu &menu, int32_t, int32_t)
{
    shown.clear();
    for (int32_t i = 0; i < menu.itemCount(); ++i) {
        const podoMenuItem &item = menu.itemAt(i);
        shown.push_back({uint32_t(item.id), item.caption.getNarrow(), (item.state & podo::itemGrayed) != 0});
    }
    return answer;
}

struct ChannelMenu : OpenEditor {
    podo::MenuChooser previous = nullptr;
    void SetUp() override
    {
        OpenEditor::SetUp();
        previous = podo::setMenuChooser(chooser);
    }
    void TearDown() override
    {
        podo::setMenuChooser(previous);
        OpenEditor::TearDown();
    }
    bool choose(int32_t channel, uint32_t id)
    {
        answer = id;
        return editor->showChannelMenu(channel);
    }
    // A few values that tell channels apart, the link included.
    void fill(int32_t channel, float v, bool link)
    {
        engine->setChannelName(channel, podoStr(("Chan" + std::to_string(channel)).c_str()));
        engine->setParameterValue(ch(channel, local::Volume), v);
        engine->setParameterValue(ch(channel, local::FilterCutoff), 1.0f - v);
        engine->setParameterValue(ch(channel, local::Link), link ? 1.0f : 0.0f);
    }
};

TEST_F(ChannelMenu, AnEmptyClipboardOffersCopyOnly)
{
    channelClipboard() = ChannelClipboard{};
    EXPECT_FALSE(choose(3, 0));
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].caption, "&Copy Channel");
    EXPECT_FALSE(shown[0].grayed);
    EXPECT_EQ(shown[1].caption, "&Paste Channel");
    EXPECT_TRUE(shown[1].grayed);
    EXPECT_EQ(shown[2].caption, "S&wap Channel");
    EXPECT_TRUE(shown[2].grayed);
    EXPECT_FALSE(channelClipboard().filled);
}

TEST_F(ChannelMenu, PasteAndSwapKeepTheTargetsLink)
{
    fill(2, 0.2f, true);
    fill(5, 0.6f, false);
    EXPECT_FALSE(choose(2, 11)); // copy
    EXPECT_TRUE(channelClipboard().filled);
    EXPECT_EQ(channelClipboard().values[local::Link - 17], 1.0f); // the copy holds the link

    EXPECT_TRUE(choose(5, 12)); // paste
    EXPECT_FLOAT_EQ(engine->getParameterValue(ch(5, local::Volume)), 0.2f);
    EXPECT_FLOAT_EQ(engine->getParameterValue(ch(5, local::FilterCutoff)), 0.8f);
    EXPECT_EQ(engine->getParameterValue(ch(5, local::Link)), 0.0f);
    EXPECT_EQ(std::string(engine->getChannelName(5).getNarrow()), "Chan2");

    fill(5, 0.6f, false);
    EXPECT_TRUE(choose(5, 13)); // swap
    EXPECT_FLOAT_EQ(engine->getParameterValue(ch(5, local::Volume)), 0.2f);
    EXPECT_FLOAT_EQ(channelClipboard().values[local::Volume - 17], 0.6f);
    EXPECT_EQ(std::string(channelClipboard().name), "Chan5");
    EXPECT_TRUE(choose(5, 13)); // and back
    EXPECT_FLOAT_EQ(engine->getParameterValue(ch(5, local::Volume)), 0.6f);
    EXPECT_FLOAT_EQ(engine->getParameterValue(ch(5, local::FilterCutoff)), 0.4f);
    EXPECT_EQ(std::string(engine->getChannelName(5).getNarrow()), "Chan5");
    EXPECT_EQ(engine->getParameterValue(ch(5, local::Link)), 0.0f);
    EXPECT_FLOAT_EQ(channelClipboard().values[local::Volume - 17], 0.2f);
}

TEST_F(ChannelMenu, ACopyInOneInstanceIsPastedInAnother)
{
    fill(1, 0.3f, false);
    choose(1, 11);
    auto other = std::make_unique<EditorEngine>();
    other->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
    char window[8];
    ASSERT_EQ(other->dispatcher(effEditOpen, 0, 0, window, 0.0f), 1);
    answer = 12;
    EXPECT_TRUE(other->editor()->showChannelMenu(7));
    EXPECT_FLOAT_EQ(other->getParameterValue(ch(7, local::Volume)), 0.3f);
    EXPECT_EQ(std::string(other->getChannelName(7).getNarrow()), "Chan1");
}

TEST_F(ChannelMenu, ARightClickOnTheNumberButtonShowsTheChannelsValueAfterAPaste)
{
    fill(4, 0.5f, false);
    engine->setParameterValue(ch(4, local::On), 0.0f);
    choose(4, 11);
    engine->setParameterValue(ch(9, local::On), 1.0f);
    answer = 12;
    qgui::CControl *button = editor->getChannelControl(9, Quorix_Editor::numberButton);
    button->setValue(1.0f);
    int32_t tag = ch(9, local::On);
    float value = -1.0f - 1.0f; // right button on a lit button
    editor->preValueChanged(button, tag, value);
    EXPECT_EQ(value, 0.0f); // the pasted channel is off
    EXPECT_EQ(engine->getParameterValue(ch(9, local::On)), 0.0f);
}

} // namespace

} // namespace editor_channel_menu_test
