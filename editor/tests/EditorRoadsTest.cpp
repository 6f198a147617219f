// The editor on an engine, headless: opening shows the return page; a click on a control reaches
// the engine parameter of its channel; an engine change reaches the controls on the next idle.
#include "editor/tests/EditorTestSupport.h"

#include "editor-framework/controls/vgcButtons.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "editor-framework/podoSkin.h"
#include "engine/ParameterIndex.h"
#include "gui/COptionMenu.h"
#include "gui/CViewContainer.h"

#include <gtest/gtest.h>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace editor_roads_test {

using namespace editortest;
using namespace engine;
using namespace qgui;

namespace {

using Roads = OpenEditor;

TEST_F(Roads, OpeningShowsTheMainPagesAndTheMixerOnce)
{
    EXPECT_TRUE(editor->isEditorOpen());
    EXPECT_TRUE(editor->isPageShown(pageChannelList));
    EXPECT_TRUE(editor->isPageShown(pageKeyboard));
    EXPECT_TRUE(editor->isPageShown(pageMixer));
    for (int32_t page : {pageBrowser, pageSequencer, pageMelodyEdit, pageDrumEdit, pageSetup})
        EXPECT_FALSE(editor->isPageShown(page)) << page;
    EXPECT_EQ(editor->pageButtons[0]->getValue(), 1.0f);
    // The shared LCD belongs to the mixer's container while the mixer is shown.
    EXPECT_EQ(editor->lcdValueField->getParentView(), editor->getPage(pageMixer));
    // Already open: a second open is refused and changes nothing.
    EXPECT_FALSE(editor->onOpen(nullptr));
    EXPECT_TRUE(editor->isPageShown(pageMixer));
}

TEST_F(Roads, ClicksReachTheEngineParameterOfTheirChannel)
{
    const float before = engine->getParameterValue(ch(3, local::On));
    click(editor->getChannelControl(3, Quorix_Editor::numberButton));
    const float after = engine->getParameterValue(ch(3, local::On));
    EXPECT_NE(after, before);
    const std::vector<EngineCall> calls = engine->take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, EngineCall::automated);
    EXPECT_EQ(calls[0].a, ch(3, local::On));

    // The mode button of a row switches that channel's sequencer.
    click(editor->getChannelControl(6, Quorix_Editor::modeButton));
    EXPECT_EQ(engine->getParameterValue(ch(6, local::SeqOn)), 1.0f);

    // The chorus switch of the channel list's block is master parameter 7.
    const float chorus = engine->getParameterValue(master::ChorusOn);
    click(editor->systemEffectControls[0][0]);
    EXPECT_NE(engine->getParameterValue(master::ChorusOn), chorus);
}

TEST_F(Roads, EngineChangesReachTheControlsOnIdle)
{
    CControl *fader = editor->getChannelControl(5, Quorix_Editor::levelFader);
    engine->setParameterValue(ch(5, local::Volume), 0.25f);
    EXPECT_NE(fader->getValue(), 0.25f); // nothing before the idle
    settle();
    EXPECT_EQ(fader->getValue(), 0.25f);
    char display[64] = {};
    engine->parameterDisplayString(ch(5, local::Volume), display);
    EXPECT_EQ(text(editor->getChannelControl(5, Quorix_Editor::levelText)), display);
    // The LCD echoes the parameter that changed.
    EXPECT_EQ(editor->lcdTag, ch(5, local::Volume));

    struct Case {
        int32_t index;
        float value;
        int32_t channel, entry;
        const char *shown;
    } cases[] = {
        {ch(2, local::VoiceLimit), 0.0f, 2, Quorix_Editor::voiceLimitText, "LEG"},
        {ch(2, local::VoiceLimit), 1.0f / 64, 2, Quorix_Editor::voiceLimitText, "RET"},
        {ch(2, local::VoiceLimit), 16.0f / 64, 2, Quorix_Editor::voiceLimitText, "16"},
        {ch(9, local::Transpose), 0.5f, 9, Quorix_Editor::transposeText, "0"},
        {ch(9, local::Transpose), 60.0f / 96, 9, Quorix_Editor::transposeText, "+12"},
        {ch(9, local::Transpose), 0.0f, 9, Quorix_Editor::transposeText, "-48"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.shown);
        engineSets(c.index, c.value);
        EXPECT_EQ(text(editor->getChannelControl(c.channel, c.entry)), c.shown);
    }
}

TEST_F(Roads, MasterValuesShowAsTheirTexts)
{
    struct Case {
        int32_t index;
        float value;
        const char *shown;
    } cases[] = {
        {master::Tune, 1.0f, "466.2"}, {master::Tune, 0.0f, "415.3"}, {master::Tune, 0.5f, "440.0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.shown);
        engineSets(c.index, c.value);
        EXPECT_EQ(text(editor->masterTuneField), c.shown);
    }
}

TEST_F(Roads, NothingChangesWhileTheEditorIsClosed)
{
    engine->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_FALSE(editor->isEditorOpen());
    for (int32_t page = 0; page < editorPageCount; ++page)
        EXPECT_FALSE(editor->isPageShown(page));
    CControl *fader = editor->getChannelControl(1, Quorix_Editor::levelFader);
    const float shown = fader->getValue();
    engine->setParameterValue(ch(1, local::Volume), shown > 0.5f ? 0.1f : 0.9f);
    editor->idle();
    EXPECT_EQ(fader->getValue(), shown);
}

TEST_F(Roads, MasterParameterSixChoosesTheView)
{
    struct Case {
        float value;
        int32_t page;
    } cases[] = {
        {0.25f, pageBrowser}, {0.6f, pageSequencer}, {0.625f, pageMelodyEdit}, {1.0f, pageSetup}, {0.0f, pageMixer},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        engineSets(master::Page, c.value);
        for (int32_t page = pageMixer; page < editorPageCount; ++page)
            EXPECT_EQ(editor->isPageShown(page), page == c.page) << page;
    }
}

TEST_F(Roads, PageButtonsSwitchTheViewWithoutReportingToTheHost)
{
    click(editor->pageButtons[2]);
    const std::vector<EngineCall> calls = engine->take();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].kind, EngineCall::plain);
    EXPECT_EQ(calls[0].a, master::Page);
    EXPECT_EQ(calls[0].value, 0.5f);
    settle();
    EXPECT_TRUE(editor->isPageShown(pageSequencer));
    EXPECT_FALSE(editor->isPageShown(pageMixer));
    EXPECT_EQ(editor->pageButtons[2]->getValue(), 1.0f);
    EXPECT_EQ(editor->pageButtons[0]->getValue(), 0.0f);
    // The LCD went with the mixer.
    EXPECT_EQ(editor->lcdValueField->getParentView(), nullptr);
}

TEST_F(Roads, TheEditViewFollowsTheChannelMode)
{
    engineSets(master::Page, 0.75f);
    EXPECT_TRUE(editor->isPageShown(pageMelodyEdit));
    engineSets(ch(0, local::Mode), 1.0f); // the current channel becomes a drum kit
    engineSets(master::Page, 0.75f);
    EXPECT_TRUE(editor->isPageShown(pageDrumEdit));
    EXPECT_FALSE(editor->isPageShown(pageMelodyEdit));
    EXPECT_EQ(editor->lcdValueField->getParentView(), editor->getPage(pageDrumEdit));
}

TEST_F(Roads, PlayKeyboardPlaysTheCurrentChannelOnce)
{
    CControl *key = editor->whiteKeyControls[60 - 21];
    const CRect r = windowRect(key);
    const CPoint middle((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    screen->mouseDown(middle);
    screen->mouseUp(middle);
    std::vector<EngineCall> calls = engine->take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, EngineCall::noteOn);
    EXPECT_EQ(calls[0].c, 60);
    EXPECT_GE(calls[0].value, 7.0f);
    EXPECT_LE(calls[0].value, 127.0f);
    EXPECT_EQ(calls[1].kind, EngineCall::noteOff);
    EXPECT_EQ(calls[1].c, 60);

    // A key the engine reports for another channel changes nothing shown and plays nothing.
    editor->setKeyState(4, 62, 100.0f, false);
    EXPECT_TRUE(engine->take().empty());
    EXPECT_EQ(editor->whiteKeyControls[62 - 21]->getValue(), 0.0f);
    // For the current channel it lights the key, once.
    editor->setKeyState(0, 62, 100.0f, false);
    EXPECT_EQ(editor->whiteKeyControls[62 - 21]->getValue(), 1.0f);
}

TEST_F(Roads, ActivityLedGoesOutAfterItsTime)
{
    editor->postFloat(editorTag::channelActivity + 2, 0.0f);
    editor->onIdle();
    CControl *led = editor->getChannelControl(2, Quorix_Editor::activityIndicator);
    EXPECT_EQ(led->getValue(), 1.0f);
    editor->onTimer(0.0f); // no time passed
    editor->onTimer(0.033f);
    editor->onTimer(0.033f);
    EXPECT_EQ(led->getValue(), 1.0f);
    editor->onTimer(0.033f);
    EXPECT_EQ(led->getValue(), 0.0f);
    EXPECT_EQ(editor->channelLedTimers[2], 0.0f);
    // An unknown step counts as 0.033 s.
    editor->postFloat(editorTag::channelActivity + 2, 0.0f);
    editor->onIdle();
    for (int i = 0; i < 3; ++i)
        editor->onTimer(-1.0f);
    EXPECT_EQ(led->getValue(), 0.0f);
}

TEST_F(Roads, VoiceCountShowsBothCountsAndThePeak)
{
    editor->showVoiceCount((3u << 16) | 16u);
    EXPECT_EQ(text(editor->voiceCountLabels[0]), "3");
    EXPECT_EQ(text(editor->voiceCountLabels[1]), "16");
    EXPECT_EQ(text(editor->voiceCountLabels[2]), "16");
    editor->showVoiceCount(5u);
    EXPECT_EQ(text(editor->voiceCountLabels[0]), "");
    EXPECT_EQ(text(editor->voiceCountLabels[1]), "5");
    EXPECT_EQ(text(editor->voiceCountLabels[2]), "16");
}

} // namespace

namespace {

TEST_F(Roads, HoverShowsTheParameterUnderTheMouseInTheLcd)
{
    ConfigurationBlock configuration;
    engine->getConfiguration(&configuration);
    configuration.hoverDisplay = 1;
    engine->setConfiguration(&configuration);
    const CRect r = windowRect(editor->getChannelControl(7, Quorix_Editor::panFader));
    screen->mouseMove(CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    editor->idle();
    EXPECT_EQ(editor->lcdTag, ch(7, local::Pan));
    char name[64] = {};
    engine->parameterName(ch(7, local::Pan), name, 0);
    EXPECT_EQ(text(editor->lcdNameLabel), name);
    configuration.hoverDisplay = 0;
    engine->setConfiguration(&configuration);
}

TEST_F(Roads, GlissandoOnThePlayKeyboardPlaysTheNewKeyBeforeReleasingTheOld)
{
    const CRect a = windowRect(editor->whiteKeyControls[60 - 21]);
    const CRect b = windowRect(editor->whiteKeyControls[62 - 21]);
    const double y = a.top + 10;
    screen->mouseDown(CPoint((a.left + a.right) / 2, y));
    screen->mouseMove(CPoint((b.left + b.right) / 2, y), kLButton);
    editor->idle();
    const std::vector<EngineCall> calls = engine->take();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, EngineCall::noteOn);
    EXPECT_EQ(calls[0].c, 60);
    EXPECT_EQ(calls[1].kind, EngineCall::noteOn);
    EXPECT_EQ(calls[1].c, 62);
    EXPECT_EQ(calls[2].kind, EngineCall::noteOff);
    EXPECT_EQ(calls[2].c, 60);
    screen->mouseUp(CPoint((b.left + b.right) / 2, y));
}

TEST(EditorLifetime, TheLastInstancesEditorReleasesTheSharedFonts)
{
    auto first = std::make_unique<EditorEngine>();
    auto second = std::make_unique<EditorEngine>();
    first->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
    second->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
    ASSERT_NE(sharedFontMedium, nullptr);
    second.reset();
    EXPECT_NE(sharedFontMedium, nullptr);
    first.reset();
    EXPECT_EQ(sharedFontMedium, nullptr);
}

} // namespace

namespace {

TEST_F(Roads, MixerRowsAsBuilt)
{
    for (int32_t c = 0; c < Quorix_Editor::channelCount; ++c) {
        SCOPED_TRACE(c);
        auto *level = dynamic_cast<vgcGroup *>(editor->getChannelControl(c, Quorix_Editor::levelFader));
        ASSERT_NE(level, nullptr);
        // Assignments belong to parameters: only the first row shows them.
        EXPECT_EQ(level->getValueLabel() != nullptr, c == 0);
        EXPECT_FLOAT_EQ(level->asControl()->getDefaultValue(), 0.70710683f);
        auto *bus = dynamic_cast<COptionMenu *>(editor->getChannelControl(c, Quorix_Editor::outputBusList));
        ASSERT_NE(bus, nullptr);
        ASSERT_EQ(bus->getNbEntries(), 2);
        EXPECT_EQ(bus->getEntry(0)->getTitle(), "main");
        EXPECT_EQ(bus->getEntry(1)->getTitle(), "sub");
        EXPECT_EQ(editor->getChannelControl(c, Quorix_Editor::levelText)->getTag(), -1);
        EXPECT_EQ(editor->getChannelControl(c, Quorix_Editor::voiceLimitText)->getTag(), ch(c, local::VoiceLimit));
        // The row's value-entry areas lie 12 pixels below the top of their texts.
        const int32_t slot = c * 20 + local::Transpose - 8;
        ASSERT_NE(editor->channelAreaTable[slot], nullptr);
        EXPECT_EQ(editor->channelAreaTable[slot]->getTag(), ch(c, local::Transpose));
        EXPECT_EQ(editor->channelAreaTable[slot]->getViewSize().top,
                  editor->getChannelControl(c, Quorix_Editor::transposeText)->getViewSize().top + 12);
        EXPECT_EQ(editor->getChannelControl(c, Quorix_Editor::linkButton) != nullptr, c > 0);
    }
}

} // namespace

namespace {

// The mixer's texts of a switched-off channel and of the current channel are drawn in their colours.
TEST_F(Roads, OffAndCurrentChannelsAreDrawnInTheirColours)
{
    const CColor normal = vgcSkinColor(skinFontDefault), off = vgcSkinColor(skinFontDisabled),
                 current = vgcSkinColor(skinFontHighlight);
    editor->selectChannel(2);
    engineSets(ch(5, local::On), 0.0f);
    engineSets(ch(6, local::On), 1.0f);
    editor->updateChannelButtons(-1);
    struct Case {
        int32_t channel;
        CColor drawn;
        std::vector<CColor> absent; // the dim colour is left out: the edges of bright text blend into it
    } cases[] = {{5, off, {normal, current}}, {6, normal, {current}}, {2, current, {normal}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.channel);
        CControl *level = editor->getChannelControl(c.channel, Quorix_Editor::levelText);
        ASSERT_NE(level, nullptr);
        EXPECT_LE(nearestTo(level, c.drawn), 24);
        for (const CColor &other : c.absent)
            EXPECT_GT(nearestTo(level, other), 60);
    }
}

// A double click on a knob opens its value in the display with the whole text selected: typing 20 and
// Return replaces it, and the knob's parameter becomes 20 %.
TEST_F(Roads, TypingIntoAKnobsOpenedValueReplacesIt)
{
    engineSets(ch(1, local::ChorusSend), 0.0f);
    CControl *knob = editor->getChannelControl(1, Quorix_Editor::chorusSendKnob);
    const CRect r = windowRect(knob);
    screen->doubleClick(CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    ASSERT_EQ(editor->getFrame()->getFocusView(), editor->lcdValueField);
    char shown[64] = {};
    engine->parameterDisplayString(ch(1, local::ChorusSend), shown);
    EXPECT_STREQ(shown, "0.0") << "the double click's first click left the value alone";
    EXPECT_EQ(text(editor->lcdValueField), "0.0 %");
    screen->typeText("20");
    VstKeyCode enter{};
    enter.virt = VKEY_RETURN;
    screen->keyDown(enter);
    settle();
    EXPECT_EQ(editor->getFrame()->getFocusView(), nullptr);
    EXPECT_NEAR(engine->getParameterValue(ch(1, local::ChorusSend)), 0.2f, 1e-4f);
    engine->parameterDisplayString(ch(1, local::ChorusSend), shown);
    EXPECT_STREQ(shown, "20.0");
}

} // namespace

} // namespace editor_roads_test
