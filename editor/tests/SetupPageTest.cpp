// The setup page: clicks at the switches' places write the configuration, radio pairs and velocity
// curves stay exclusive, the tuning fields follow the temperament; the zoom and skin menus, storing the
// default zoom, the skin's patch colours and the skin colours on the controls.
#include "editor/tests/EditorTestSupport.h"

#include "banks/SampleBanks.h"
#include "editor-framework/controls/vgcKnobs.h"
#include "editor-framework/controls/vgcOptionMenu.h"
#include "engine/ProgramBlock.h"
#include "foundation/podoMenu.h"
#include "gui/CDrawContext.h"
#include "gui/CFontDesc.h"
#include "gui/CFrame.h"
#include "gui/CSlider.h"
#include "gui/CViewContainer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace setup_page_test {

using namespace editortest;
using namespace qgui;

namespace {

struct Item {
    uint32_t id;
    std::string caption;
    bool disabled, checked, isDefault;
    bool greyed; // drawn grey, so the musician sees it cannot be chosen
};
std::vector<Item> shown;
CPoint shownAt;
int menusShown = 0;
uint32_t answer = 0;

uint32_t chooser(const podoMenu &menu, int32_t x, int32_t y)
{
    ++menusShown;
    shownAt = CPoint(x, y);
    shown.clear();
    for (int32_t i = 0; i < menu.itemCount(); ++i) {
        const podoMenuItem &item = menu.itemAt(i);
        if (!(item.state & podo::itemSeparator))
            shown.push_back({uint32_t(item.id), item.caption.getNarrow(),
                             (item.state & (podo::itemDisabled | podo::itemGrayed)) != 0,
                             (item.state & podo::itemChecked) != 0, (item.state & podo::itemDefault) != 0,
                             (item.state & podo::itemGrayed) != 0});
    }
    return answer;
}

const Item *itemWithId(uint32_t id)
{
    for (const Item &item : shown)
        if (item.id == id)
            return &item;
    return nullptr;
}

std::vector<uint32_t> checkedIds()
{
    std::vector<uint32_t> ids;
    for (const Item &item : shown)
        if (item.checked)
            ids.push_back(item.id);
    return ids;
}

void writeFile(const std::string &path, const std::string &text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

constexpr int32_t hostCode(const char (&text)[5])
{
    return int32_t(uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 | uint32_t(uint8_t(text[2])) << 8 |
                   uint32_t(uint8_t(text[3])));
}

bool sameColour(const CColor &a, const CColor &b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha;
}

struct SetupPage : OpenEditor {
    podo::MenuChooser previous = nullptr;
    ConfigurationBlock saved{};

    void SetUp() override
    {
        OpenEditor::SetUp();
        engine->getConfiguration(&saved);
        previous = podo::setMenuChooser(chooser);
        shown.clear();
        menusShown = 0;
        answer = 0;
        editor->showSetupPage();
        settle();
    }
    // The configuration is the process's: the next test opens with the one this test found.
    void TearDown() override
    {
        engine->setConfiguration(&saved);
        podo::setMenuChooser(previous);
        OpenEditor::TearDown();
    }
    const ConfigurationBlock &copy() const { return editor->configurationCopy; }
    uint8_t byteAt(int32_t offset) const { return reinterpret_cast<const uint8_t *>(&copy())[offset]; }
    ConfigurationBlock engineConfiguration()
    {
        ConfigurationBlock c{};
        engine->getConfiguration(&c);
        return c;
    }
    // A click at a point of the setup page (unzoomed page coordinates).
    void clickPage(int32_t x, int32_t y) { screen->click(CPoint(157 + x, y)); }
    CControl *option(int32_t tag) const { return editor->setupOptionButtons[tag - 29217]; }
    // The page's values come from the engine's configuration.
    void configure(void (*change)(ConfigurationBlock &))
    {
        ConfigurationBlock c = engineConfiguration();
        change(c);
        engine->setConfiguration(&c);
        editor->configurationCopy = c;
        editor->refreshSetupPage();
    }
};

TEST_F(SetupPage, EachSwitchWritesTheByteShownBesideIt)
{
    // Screen order, top to bottom: the first column is not in tag order (byte 5 sits above byte 4).
    struct Case {
        int32_t y;
        int32_t byte;
    // The receive switches follow each other without an empty row.
    } cases[] = {{84, 5},   {96, 4},   {108, 6},  {120, 8},  {194, 11}, {296, 20}, {308, 417},
                 {320, 418}, {332, 22}, {344, 24}, {356, 23}, {368, 25}, {380, 26}, {392, 27}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.byte);
        configure([](ConfigurationBlock &b) {
            auto *bytes = reinterpret_cast<uint8_t *>(&b);
            for (int32_t offset : {4, 5, 6, 8, 11, 20, 21, 22, 23, 24, 25, 26, 27, 417, 418})
                bytes[offset] = 0;
        });
        clickPage(150, c.y + 2);
        EXPECT_EQ(byteAt(c.byte), 1);
        const ConfigurationBlock stored = engineConfiguration();
        EXPECT_EQ(reinterpret_cast<const uint8_t *>(&stored)[c.byte], 1) << "the engine has it at once";
        int on = 0;
        for (int32_t offset : {4, 5, 6, 8, 11, 20, 21, 22, 23, 24, 25, 26, 27, 417, 418})
            on += byteAt(offset);
        EXPECT_EQ(on, 1) << "one click, one option";
        clickPage(150, c.y + 2);
        EXPECT_EQ(byteAt(c.byte), 0);
    }
    // Byte 21 is read by nothing: its place, after the last row, takes no click.
    clickPage(150, 404 + 2);
    EXPECT_EQ(byteAt(21), 0);
}

TEST_F(SetupPage, RadioPairsAndVelocityCurvesKeepOneOn)
{
    struct Case {
        const char *name;
        int32_t tag;
        int32_t offset; // the int32 the pair writes
        int32_t value;
    } cases[] = {{"hover display on", 29227, 12, 1},   {"hover display off", 29226, 12, 0},
                 {"overlay on", 29229, 16, 1},         {"overlay off", 29228, 16, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int32_t first = c.tag & ~1; // 29226 or 29228
        // Twice: a click on the switch already on leaves it on.
        for (int round = 0; round < 2; ++round) {
            click(option(c.tag));
            int32_t stored;
            std::memcpy(&stored, reinterpret_cast<const uint8_t *>(&copy()) + c.offset, sizeof stored);
            EXPECT_EQ(stored, c.value);
            EXPECT_EQ(option(first)->getValue(), c.value == 0 ? 1.0f : 0.0f);
            EXPECT_EQ(option(first + 1)->getValue(), c.value == 1 ? 1.0f : 0.0f);
        }
    }

    for (int32_t curve : {3, 3, 0, 6}) {
        SCOPED_TRACE(curve);
        click(editor->velocityCurveButtons[curve]);
        EXPECT_EQ(+copy().velocityCurve, curve);
        for (int32_t i = 0; i < 7; ++i)
            EXPECT_EQ(editor->velocityCurveButtons[i]->getValue(), i == curve ? 1.0f : 0.0f) << i;
    }
}

TEST_F(SetupPage, OversamplingStoresPowersOfTwo)
{
    auto *list = dynamic_cast<vgcOptionMenu *>(editor->oversamplingList);
    ASSERT_NE(list, nullptr);
    const uint8_t factors[] = {1, 2, 4, 8, 16};
    for (int32_t entry = 0; entry < 5; ++entry) {
        SCOPED_TRACE(entry);
        list->setValue(vgcOptionMenu::entryValue(entry, 5));
        editor->valueChanged(list);
        EXPECT_EQ(copy().maxOversampling, factors[entry]);
        EXPECT_EQ(engineConfiguration().maxOversampling, factors[entry]);
    }
    // And shown from the stored factor.
    configure([](ConfigurationBlock &b) { b.maxOversampling = 4; });
    EXPECT_FLOAT_EQ(list->getValue(), 0.5f);
    configure([](ConfigurationBlock &b) { b.maxOversampling = 16; });
    EXPECT_FLOAT_EQ(list->getValue(), 1.0f);
}

TEST_F(SetupPage, TheFoldSwitchIsHiddenOnlyWhileTheHostFolds)
{
    CControl *fold = option(29221);
    ASSERT_NE(fold->getBackground(), nullptr);
    engine->onVendorSpecific(hostCode("host"), hostCode("bMtO"), nullptr, 0.0f);
    ASSERT_NE(engine->getFoldSubOutputs(), 0);
    editor->refreshSetupPage();
    EXPECT_EQ(fold->getBackground(), nullptr);
    EXPECT_EQ(fold->getValue(), 1.0f);
    engine->onVendorSpecific(hostCode("host"), hostCode("bMtO"), nullptr, 1.0f);
    editor->refreshSetupPage();
    EXPECT_NE(fold->getBackground(), nullptr) << "the switch comes back when the host stops folding";
    // The switches of bytes nothing reads are neither drawn, clicked nor named.
    for (int32_t unread : {29222, 29231}) {
        SCOPED_TRACE(unread);
        EXPECT_EQ(option(unread)->getBackground(), nullptr);
        EXPECT_FALSE(option(unread)->getMouseEnabled());
        const CRect r = option(unread)->getViewSize();
        const CCoord middle = (r.top + r.bottom) / 2;
        for (const Quorix_Editor::Legend &legend : editor->legends()) {
            const bool inItsRow = legend.page == pageSetup && !legend.heading &&
                                  legend.box.top <= middle && legend.box.bottom >= middle &&
                                  legend.box.right <= r.left && legend.box.right > r.left - 20;
            EXPECT_FALSE(inItsRow) << legend.text;
        }
    }
}

TEST_F(SetupPage, CentsFieldsFollowTheTemperament)
{
    engine->selectTemperament(3);
    settle();
    EXPECT_EQ(text(editor->tuningLabel), "Meantone Scale");
    TuningBlock tuning{};
    engine->getTuningBlock(&tuning);
    for (int32_t p = 0; p < 12; ++p) {
        SCOPED_TRACE(p);
        char expected[8];
        std::snprintf(expected, sizeof expected, tuning.offsets[p] ? "%+02d" : "00", int(tuning.offsets[p]));
        EXPECT_EQ(text(editor->tuningCentsFields[p]), expected);
        EXPECT_FALSE(editor->tuningCentsFields[p]->getMouseEnabled()) << "a built-in temperament is fixed";
    }

    // The label's click opens the tuning menu; a user temperament chosen there is shown at once.
    answer = 10;
    click(editor->tuningLabel);
    EXPECT_EQ(menusShown, 1);
    EXPECT_EQ(text(editor->tuningLabel), "User Tuning Scale 2");
    vgcTextEdit *e = editor->tuningCentsFields[4];
    EXPECT_TRUE(e->getMouseEnabled());
    struct Case {
        const char *typed;
        int32_t cents;
        const char *shown;
    } cases[] = {{"-12", -12, "-12"}, {"7", 7, "+7"}, {"0", 0, "00"}, {"120", 0, "00"}, {"x", 0, "00"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        e->setText(c.typed);
        int32_t tag = e->getTag();
        float value = controlSignal::textEntry;
        editor->preValueChanged(e, tag, value);
        EXPECT_EQ(engine->getTuningOffset(4), c.cents);
        EXPECT_EQ(+copy().userTemperaments[1][4], c.cents);
        EXPECT_EQ(text(e), c.shown);
    }
}

TEST_F(SetupPage, AboutLinesVersionAndTheLayoutOfTheMenuDisplays)
{
    // 13 pixels apart, with a gap of one more line after the fourth and the eighth.
    for (int32_t line = 1; line < Quorix_Editor::aboutLineCount; ++line) {
        SCOPED_TRACE(line);
        const double gap = editor->aboutLines[line]->getViewSize().top - editor->aboutLines[line - 1]->getViewSize().top;
        EXPECT_EQ(gap, line == 4 || line == 8 ? 26.0 : 13.0);
        EXPECT_FALSE(text(editor->aboutLines[line]).empty());
    }
    // Every line is shown whole, without an ellipsis, at 100, 200 and 300 % (glyphs are placed on whole
    // pixels of the zoomed drawing, so the widths differ).
    std::vector<vgcTextLabel *> lines(editor->aboutLines, editor->aboutLines + Quorix_Editor::aboutLineCount);
    lines.push_back(editor->versionLabel);
    for (vgcTextLabel *label : lines)
        for (double zoom : {1.0, 2.0, 3.0}) {
            SCOPED_TRACE(text(label) + " at " + std::to_string(zoom));
            const CCoord drawn = CDrawContext::measureString(label->getFont(), text(label), label->getFont()->getSize() * zoom);
            EXPECT_LE(drawn / zoom, label->getViewSize().getWidth() - 2);
        }
    EXPECT_EQ(editor->aboutLines[0]->getViewSize().top, 195.0);
    EXPECT_EQ(text(editor->versionLabel), std::string("Version 1.4.6.1 (") + __DATE__ + ") x86-64-bit");
    EXPECT_EQ(editor->versionLabel->getTag(), 29264);
    EXPECT_EQ(text(editor->skinLabel), "Default");
    EXPECT_EQ(text(editor->zoomLabel), "System : 100%");
}

// Sample banks are the process's; the list is made when the editor is built.
TEST(SetupPageBanks, TheListShowsAtMostEighteenBanks)
{
    for (int32_t count : {0, 3, 20}) {
        SCOPED_TRACE(count);
        auto engine = std::make_unique<EditorEngine>();
        const int32_t savedCount = numSampleBanks;
        SampleBank *const savedBanks = sampleBanks;
        std::vector<SampleBank> banks(size_t(count) + 1);
        for (int32_t m = 0; m < count; ++m)
            std::snprintf(banks[size_t(m)].name, sizeof banks[size_t(m)].name, "Bank %02d", int(m));
        numSampleBanks = count;
        sampleBanks = banks.data();
        engine->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
        numSampleBanks = savedCount;
        sampleBanks = savedBanks;
        auto *editor = static_cast<TestEditor *>(engine->editor());
        ASSERT_NE(editor, nullptr);
        for (int32_t m = 0; m < Quorix_Editor::sampleBankLabelCount; ++m) {
            vgcTextLabel *label = editor->sampleBankLabels[m];
            if (m >= count) {
                EXPECT_EQ(label, nullptr) << m;
                continue;
            }
            ASSERT_NE(label, nullptr) << m;
            char name[16];
            std::snprintf(name, sizeof name, "Bank %02d", int(m));
            EXPECT_EQ(label->getText(), name);
            EXPECT_EQ(label->getViewSize().top, 136.0 + 19.0 * m);
        }
    }
}

TEST_F(SetupPage, ZoomMenuMarksDefaultsAndDisablesWhatTheScreenCannotHold)
{
    struct Case {
        const char *name;
        double dpi;
        CRect monitor;
        int32_t stored; // the configuration's editor scale
        const char *systemCaption;
        uint32_t firstDisabled; // 0: none
        std::vector<uint32_t> checked;
        const char *storeCaption;
        bool storeDisabled;
    } cases[] = {
        {"small screen", 96, CRect(0, 0, 1366, 768), 1, "System : 100% (default)", 150, {1, 100},
         "Set System scale as default", true},
        {"large screen", 96, CRect(0, 0, 3840, 2160), 1, "System : 100% (default)", 0, {1, 100},
         "Set System scale as default", true},
        {"150 stored", 120, CRect(0, 0, 1920, 1080), 150, "System : 125%", 200, {1, 125},
         "Set System scale as default", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        screen->setScreenDPI(c.dpi);
        screen->setMonitorRect(c.monitor);
        configure([](ConfigurationBlock &b) { b.editorScale = 1; });
        editor->configurationCopy.editorScale = c.stored;
        editor->showZoomMenu();
        ASSERT_EQ(shown.size(), 11u);
        EXPECT_EQ(shown[0].caption, c.systemCaption);
        for (size_t i = 1; i <= 9; ++i) {
            const uint32_t step = uint32_t(75 + 25 * i);
            SCOPED_TRACE(step);
            EXPECT_EQ(shown[i].id, step);
            EXPECT_EQ(shown[i].caption, std::to_string(step) + "%" + (int32_t(step) == c.stored ? " (default)" : ""));
            EXPECT_EQ(shown[i].disabled, c.firstDisabled != 0 && step >= c.firstDisabled);
            EXPECT_EQ(shown[i].greyed, shown[i].disabled) << "a step the screen cannot hold is drawn grey";
        }
        EXPECT_EQ(checkedIds(), c.checked);
        EXPECT_EQ(shown[10].id, 11u);
        EXPECT_EQ(shown[10].caption, c.storeCaption);
        EXPECT_EQ(shown[10].disabled, c.storeDisabled);
    }
    // A click on the zoom display opens the menu under it, in window pixels.
    menusShown = 0;
    click(editor->zoomLabel);
    EXPECT_EQ(menusShown, 1);
    const CRect r = windowRect(editor->zoomLabel);
    EXPECT_EQ(shownAt.x, r.left);
    EXPECT_EQ(shownAt.y, r.bottom);
    // A right click on the window's background opens it where the mouse is.
    screen->click(CPoint(3, 590), kRButton);
    EXPECT_EQ(menusShown, 2);
    EXPECT_EQ(shownAt.x, 3.0);
    EXPECT_EQ(shownAt.y, 590.0);
}

TEST_F(SetupPage, ChoosingAStepZoomsAndSettingTheDefaultOnlyStoresIt)
{
    answer = 150;
    editor->showZoomMenu();
    settle();
    EXPECT_DOUBLE_EQ(editor->getZoomFactor(), 1.5);
    EXPECT_EQ(text(editor->zoomLabel), "150%");
    EXPECT_EQ(+engineConfiguration().editorScale, +saved.editorScale) << "a zoom is not a default";
    ERect *before = nullptr;
    editor->getRect(&before);
    const ERect size = *before;

    answer = 0;
    editor->showZoomMenu();
    ASSERT_NE(itemWithId(11), nullptr);
    EXPECT_EQ(itemWithId(11)->caption, "Set 150% as default");
    EXPECT_FALSE(itemWithId(11)->disabled);
    EXPECT_EQ(checkedIds(), std::vector<uint32_t>{150});

    answer = 11;
    editor->showZoomMenu();
    settle();
    EXPECT_EQ(+engineConfiguration().editorScale, 150);
    EXPECT_DOUBLE_EQ(editor->getZoomFactor(), 1.5);
    ERect *after = nullptr;
    editor->getRect(&after);
    EXPECT_EQ(after->right, size.right);
    EXPECT_EQ(after->bottom, size.bottom);

    answer = 0;
    editor->showZoomMenu();
    EXPECT_EQ(itemWithId(150)->caption, "150% (default)");
    EXPECT_TRUE(itemWithId(11)->disabled) << "already the default";

    // The system item follows the screen's scale.
    screen->setScreenDPI(120);
    answer = 1;
    editor->showZoomMenu();
    settle();
    EXPECT_DOUBLE_EQ(editor->getZoomFactor(), 1.25);
    EXPECT_EQ(text(editor->zoomLabel), "System : 125%");

    // Dismissed, or closed: nothing happens.
    answer = 0;
    editor->showZoomMenu();
    settle();
    EXPECT_DOUBLE_EQ(editor->getZoomFactor(), 1.25);
    const int before2 = menusShown;
    engine->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    editor->showZoomMenu();
    editor->showSkinMenu();
    EXPECT_EQ(menusShown, before2);
}

// Other skins beside the test's "Default", removed again at the end.
struct SkinChoice : SetupPage {
    std::vector<std::string> folders;
    void addSkin(const std::string &name, const std::string &colours)
    {
        const std::string folder = applicationFolder() + "skins/" + name;
        writeFile(folder + "/colors.txt", colours);
        folders.push_back(folder);
    }
    void TearDown() override
    {
        engine->changeSkin(podoStr("Default"), 0);
        settle();
        for (const std::string &folder : folders)
            std::filesystem::remove_all(folder);
        SetupPage::TearDown();
    }
};

TEST_F(SkinChoice, TheMenuTicksTheSkinInUseAndAChoiceLoadsItsColours)
{
    addSkin("default", "red = 0000FFFF\n");
    addSkin("Green", "font-default = 112233FF\nfont-glossy = 445566FF\nfont-disabled = 778899FF\n"
                     "back-default = 0A0B0CFF\nback-glossy = 1A1B1CFF\nback-disabled = 2A2B2CFF\n"
                     "red = 00FF00FF\nblue =\n");
    CColor before[11];
    std::copy(std::begin(editor->patchColors), std::end(editor->patchColors), before);

    click(editor->skinLabel);
    ASSERT_EQ(menusShown, 1);
    std::vector<std::string> captions;
    for (const Item &item : shown)
        captions.push_back(item.caption);
    EXPECT_EQ(captions, (std::vector<std::string>{"Default", "Green", "default"}));
    EXPECT_EQ(checkedIds(), std::vector<uint32_t>{1}) << "only the exact name";
    EXPECT_TRUE(shown[0].isDefault);
    const CRect r = windowRect(editor->skinLabel);
    EXPECT_EQ(shownAt.x, r.left);
    EXPECT_EQ(shownAt.y, r.bottom);

    engine->setUseHostTempo(true);
    settle();
    answer = 2;
    editor->showSkinMenu();
    settle();
    EXPECT_EQ(text(editor->skinLabel), "Green");
    EXPECT_STREQ(engineConfiguration().skinName, "Green");
    for (int32_t i = 0; i < 11; ++i) {
        SCOPED_TRACE(i);
        const CColor expected = i == 4 ? CColor{0x00, 0xFF, 0x00, 0xFF} : before[i];
        EXPECT_TRUE(sameColour(editor->patchColors[i], expected)) << "only red is in the file (blue is empty)";
    }

    // The skin colours reach the text controls of every page.
    const CColor fontDefault{0x11, 0x22, 0x33, 0xFF}, backDefault{0x0A, 0x0B, 0x0C, 0xFF};
    auto *zoom = editor->zoomLabel;
    EXPECT_TRUE(sameColour(zoom->getPartColor(0), fontDefault));
    EXPECT_TRUE(sameColour(zoom->getBackColor(), backDefault));
    auto *lane = editor->sequencerLanes[2].baseLabel;
    EXPECT_TRUE(sameColour(lane->getBackColor(), backDefault));
    EXPECT_TRUE(sameColour(editor->patchLabel->getPartColor(0), CColor{0x44, 0x55, 0x66, 0xFF}));
    EXPECT_TRUE(sameColour(editor->patchLabel->getBackColor(), CColor{0x1A, 0x1B, 0x1C, 0xFF}));
    for (vgcTextLabel *voices : editor->voiceCountLabels) {
        EXPECT_TRUE(sameColour(voices->getPartColor(0), CColor{0x77, 0x88, 0x99, 0xFF}));
        EXPECT_TRUE(sameColour(voices->getBackColor(), CColor{0x2A, 0x2B, 0x2C, 0xFF}));
    }
    // A state shown in colour survives: the tempo follows the host.
    EXPECT_TRUE(sameColour(editor->tempoField->getFontColor(), CColor{0x77, 0x88, 0x99, 0xFF}));
    EXPECT_TRUE(sameColour(editor->tempoField->getBackColor(), backDefault));

    answer = 0;
    editor->showSkinMenu();
    EXPECT_EQ(checkedIds(), std::vector<uint32_t>{2});
    engine->setUseHostTempo(false);
}

} // namespace

namespace {

char secondWindow[16];

// A second instance that zooms to a scale with its own image files gets a skin record of its own; its
// page backgrounds and slider handles must then come from that record, not the shared one.
TEST_F(SetupPage, AnInstanceWithItsOwnImagesGivesThemToPagesAndHandles)
{
    const std::string folder = applicationFolder() + "skins/Default/";
    std::vector<std::string> variants;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".png" || name.find('@') != std::string::npos)
            continue;
        variants.push_back(folder + entry.path().stem().string() + "@2x.png");
        std::filesystem::copy_file(entry.path(), variants.back());
    }

    {
        auto other = std::make_unique<EditorEngine>();
        other->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
        auto *second = static_cast<TestEditor *>(other->editor());
        ASSERT_EQ(other->dispatcher(effEditOpen, 0, 0, secondWindow, 0.0f), 1);
        for (int round = 0; round < 4; ++round)
            second->idle();
        second->getFrame()->getOffscreen()->setMonitorRect(CRect(0, 0, 3840, 2160));
        answer = 200;
        second->showZoomMenu();
        for (int round = 0; round < 4; ++round)
            second->idle();
        ASSERT_NE(second->getSkin(), &sharedSkin);
        EXPECT_DOUBLE_EQ(second->getZoomFactor(), 2.0);

        for (int32_t page : {pageChannelList, pageKeyboard, pageMixer, pageSetup}) {
            SCOPED_TRACE(page);
            EXPECT_GE(second->imageIndex(second->getPage(page)->getBackground(), nullptr), 0);
            EXPECT_GE(editor->imageIndex(editor->getPage(page)->getBackground(), &sharedSkin), 0)
                << "the first instance keeps the shared images";
        }
        for (CControl *control : {second->getChannelControl(5, Quorix_Editor::levelFader),
                                  static_cast<CControl *>(second->sequencerLanes[1].velocities[3])}) {
            auto *slider = dynamic_cast<CSlider *>(control);
            ASSERT_NE(slider, nullptr);
            EXPECT_GE(second->imageIndex(slider->getHandle(), nullptr), 0);
        }
        other.reset();
    }
    for (const std::string &file : variants)
        std::filesystem::remove(file);
}

} // namespace

} // namespace setup_page_test
