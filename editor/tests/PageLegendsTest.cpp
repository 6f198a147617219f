// The names on the factory skin's pages: every control of every page is named, each name sits on its
// page clear of the controls and of the other names, and the editor, drawn headless at 100 % and 300 %,
// shows text in every name's place (pixels of the place, not a file's hash).
#include "editor/tests/EditorTestSupport.h"

#include "engine/ParameterIndex.h"
#include "gui/CViewContainer.h"

#include <filesystem>
#include <sstream>

using namespace qgui;

namespace {

struct PageOrigin {
    int32_t page;
    CPoint origin;
    CPoint size;
};

constexpr PageOrigin pageOrigins[] = {
    {pageChannelList, {0, 0}, {157, 446}},  {pageKeyboard, {0, 446}, {745, 149}},
    {pageMixer, {157, 0}, {588, 446}},      {pageBrowser, {157, 0}, {588, 446}},
    {pageSequencer, {157, 0}, {588, 446}},  {pageMelodyEdit, {157, 0}, {588, 446}},
    {pageDrumEdit, {157, 0}, {588, 446}},   {pageSetup, {157, 0}, {588, 446}},
};

const PageOrigin *originOf(int32_t page)
{
    for (const PageOrigin &o : pageOrigins)
        if (o.page == page)
            return &o;
    return nullptr;
}

// A control a musician sees and uses: value-entry areas are invisible.
bool isVisibleControl(CView *view)
{
    auto *control = dynamic_cast<CControl *>(view);
    return control && !dynamic_cast<vgcArea *>(view) && view->isVisible();
}

std::string describe(CView *view)
{
    std::ostringstream out;
    const CRect r = view->getViewSize();
    auto *control = dynamic_cast<CControl *>(view);
    out << "tag " << (control ? control->getTag() : -1) << " at (" << r.left << ", " << r.top << ") " << r.getWidth()
        << " x " << r.getHeight();
    return out.str();
}

bool overlaps(const CRect &a, const CRect &b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

intptr_t quietHost(AEffect *, int32_t opcode, int32_t, intptr_t, void *, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

// An engine whose editor is built on the factory skin the build draws.
class FactorySkinEngine : public Quorix
{
public:
    explicit FactorySkinEngine(const char *appFolder) : Quorix(quietHost) { paths.appFolder = appFolder; }
    Quorix_Editor *editor() { return instrumentEditor; }
};

class FactorySkinEditor : public testing::Test
{
protected:
    void SetUp() override
    {
        app = std::filesystem::path(getenv("HOME")) / "factory-app";
        std::error_code error;
        std::filesystem::create_directories(app, error);
        std::filesystem::create_directory_symlink(QUORIX_SKINS_DIR, app / "skins", error);
        folder = app.string() + "/";
        engine = std::make_unique<FactorySkinEngine>(folder.c_str());
        engine->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
        editor = engine->editor();
        ASSERT_NE(editor, nullptr);
    }
    void open()
    {
        ASSERT_EQ(engine->dispatcher(effEditOpen, 0, 0, window, 0.0f), 1);
        screen = editor->getFrame()->getOffscreen();
        ASSERT_NE(screen, nullptr);
        screen->setMonitorRect(CRect(0, 0, 2400, 1900)); // room for 300 %
        settle();
    }
    void settle()
    {
        for (int round = 0; round < 6; ++round)
            editor->idle();
    }
    // mixer 0, browser 1, sequencer 2, melody 3, drum 4, setup 5, as the host asks for them.
    void show(int32_t page)
    {
        engine->dispatcher(effVendorSpecific, int32_t(fourCC("host")), fourCC("Page"), nullptr, float(page));
        settle();
    }
    void zoom(int32_t percent)
    {
        engine->dispatcher(effVendorSpecific, int32_t(fourCC("host")), fourCC("Zoom"), nullptr, float(percent));
        settle();
    }
    static intptr_t fourCC(const char (&t)[5])
    {
        return intptr_t((uint32_t(uint8_t(t[0])) << 24) | (uint32_t(uint8_t(t[1])) << 16) |
                        (uint32_t(uint8_t(t[2])) << 8) | uint32_t(uint8_t(t[3])));
    }

    std::filesystem::path app;
    std::string folder;
    std::unique_ptr<FactorySkinEngine> engine;
    Quorix_Editor *editor = nullptr;
    COffscreenPlatform *screen = nullptr;
    char window[16] = {};
};

TEST_F(FactorySkinEditor, EveryControlOfEveryPageIsNamed)
{
    for (const PageOrigin &o : pageOrigins) {
        CViewContainer *page = editor->getPage(o.page);
        ASSERT_NE(page, nullptr) << o.page;
        int32_t controls = 0;
        for (CView *view : page->getChildren()) {
            if (!isVisibleControl(view))
                continue;
            ++controls;
            EXPECT_TRUE(editor->isNamed(view)) << "page " << o.page << ": " << describe(view) << " has no name";
        }
        EXPECT_GT(controls, 0) << o.page;
    }
}

TEST_F(FactorySkinEditor, NamesSitOnTheirPageClearOfControlsAndOfEachOther)
{
    const std::vector<Quorix_Editor::Legend> legends = editor->legends();
    ASSERT_GT(legends.size(), 150u);
    for (const Quorix_Editor::Legend &legend : legends) {
        SCOPED_TRACE(testing::Message() << legend.text << " at (" << legend.box.left << ", " << legend.box.top << ") "
                                        << legend.box.getWidth() << " x " << legend.box.getHeight());
        const PageOrigin *o = originOf(legend.page);
        ASSERT_NE(o, nullptr) << legend.page;
        EXPECT_GE(legend.box.getHeight(), 10) << "names are at least 9 pixels high";
        EXPECT_TRUE(legend.box.left >= 0 && legend.box.top >= 0 && legend.box.right <= o->size.x &&
                    legend.box.bottom <= o->size.y)
            << "page " << legend.page << ": outside the page";
        for (CView *view : editor->getPage(legend.page)->getChildren()) {
            if (isVisibleControl(view)) {
                EXPECT_FALSE(overlaps(legend.box, view->getViewSize()))
                    << "page " << legend.page << ": over " << describe(view);
            }
        }
        for (const Quorix_Editor::Legend &other : legends) {
            if (&other != &legend && other.page == legend.page) {
                EXPECT_FALSE(overlaps(legend.box, other.box))
                    << "page " << legend.page << ": over \"" << other.text << "\"";
            }
        }
    }
}

// The host's edit-page commands show a channel that already has the page's mode (channel 10 is the
// drum channel, so its kit fills the drum page) and change no channel's mode; only when no channel has
// the mode does the current one take it.
TEST_F(FactorySkinEditor, TheHostsEditPagesSelectAChannelOfTheirModeInsteadOfChangingOne)
{
    open();
    auto modes = [&] {
        std::vector<int32_t> m;
        for (int32_t c = 0; c < 16; ++c)
            m.push_back(engine->getChannelMode(c));
        return m;
    };
    const std::vector<int32_t> before = modes();
    ASSERT_EQ(before[0], 0);
    ASSERT_EQ(before[9], 1);
    struct Case {
        int32_t hostPage, page, channel;
    };
    for (const Case &c : {Case{4, pageDrumEdit, 9}, Case{3, pageMelodyEdit, 0}, Case{4, pageDrumEdit, 9}}) {
        SCOPED_TRACE(c.hostPage);
        show(c.hostPage);
        EXPECT_TRUE(editor->isPageShown(c.page));
        EXPECT_EQ(editor->currentChannelNow(), c.channel);
        EXPECT_EQ(engine->getCurrentChannel(), c.channel);
        EXPECT_EQ(modes(), before);
        if (c.page == pageDrumEdit) {
            // The cell of the slot the page edits is lit.
            const int32_t slot = engine->getSelectedDrumSlot(9);
            int32_t lit = -1;
            for (CView *view : editor->getPage(pageDrumEdit)->getChildren())
                if (auto *cell = dynamic_cast<CControl *>(view);
                    cell && cell->getTag() >= 29017 && cell->getTag() < 29017 + 65 && cell->getValue() == 1.0f)
                    lit = cell->getTag() - 29017;
            EXPECT_EQ(lit, slot);
        }
    }
    show(3);
    engine->setParameterValue(9 * engine::kChannelParameterCount + engine::local::Mode, 0.0f);
    settle();
    show(4);
    EXPECT_TRUE(editor->isPageShown(pageDrumEdit));
    EXPECT_EQ(editor->currentChannelNow(), 0);
    EXPECT_EQ(engine->getChannelMode(0), 1) << "no drum channel: the current one becomes one";
}

// At 100 % and 300 %, every page shown by the host's command: each name's place holds light text on the
// dark page (a blank place, or a control drawn over the name, fails).
TEST_F(FactorySkinEditor, EveryPageShowsItsNamesAtOneAndThreeTimes)
{
    open();
    const std::vector<Quorix_Editor::Legend> legends = editor->legends();
    for (int32_t percent : {100, 300}) {
        zoom(percent);
        ASSERT_EQ(screen->getWidth(), 745 * percent / 100);
        for (int32_t hostPage = 0; hostPage <= 5; ++hostPage) {
            show(hostPage);
            static const int32_t editorPages[6] = {pageMixer, pageBrowser, pageSequencer, pageMelodyEdit, pageDrumEdit,
                                                   pageSetup};
            const int32_t shown = editorPages[hostPage];
            ASSERT_TRUE(editor->isPageShown(shown)) << hostPage;
            for (const Quorix_Editor::Legend &legend : legends) {
                if (legend.page != shown && legend.page != pageChannelList && legend.page != pageKeyboard)
                    continue;
                SCOPED_TRACE(testing::Message() << percent << "% page " << legend.page << " \"" << legend.text << "\"");
                const CPoint origin = originOf(legend.page)->origin;
                const int32_t k = percent / 100;
                int32_t light = 0;
                for (int32_t y = int32_t(origin.y + legend.box.top) * k; y < int32_t(origin.y + legend.box.bottom) * k; ++y)
                    for (int32_t x = int32_t(origin.x + legend.box.left) * k; x < int32_t(origin.x + legend.box.right) * k;
                         ++x) {
                        const CColor c = screen->getPixel(x, y);
                        if (c.red + c.green + c.blue > 3 * 120)
                            ++light;
                    }
                // The narrowest name ("A", "S", a step number) lights a few pixels per scale step squared.
                EXPECT_GE(light, 6 * k * k);
            }
        }
    }
}

} // namespace

namespace {

// Without its skins folder, or with a skin that lacks the page backgrounds, the window says what is
// missing and where it was looked for, in light text on a dark ground.
TEST(MissingSkin, TheWindowSaysWhatIsMissingAndWhere)
{
    struct Case {
        const char *name;
        bool withList;
        std::string expected;
    };
    const Case cases[] = {
        {"no skins folder", false, "images.lst"},
        {"a skin without its pages", true, "Missing: 01-back-keyboard.png"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path app = std::filesystem::path(getenv("HOME")) / (std::string("bare-") + (c.withList ? "1" : "0"));
        std::filesystem::create_directories(app / "skins" / "Default");
        if (c.withList) {
            FILE *f = std::fopen((app / "skins" / "images.lst").c_str(), "wb");
            std::fputs("01-back-keyboard\n02-back-channel\n", f);
            std::fclose(f);
        }
        const std::string folder = app.string() + "/";
        FactorySkinEngine engine(folder.c_str());
        engine.dispatcher(effOpen, 0, 0, nullptr, 0.0f);
        Quorix_Editor *editor = engine.editor();
        ASSERT_NE(editor, nullptr);
        char window[16] = {};
        ASSERT_EQ(engine.dispatcher(effEditOpen, 0, 0, window, 0.0f), 1);
        for (int round = 0; round < 3; ++round)
            editor->idle();
        const std::string text = editor->missingSkinText();
        EXPECT_NE(text.find(c.expected), std::string::npos) << text;
        EXPECT_NE(text.find(folder + "skins/"), std::string::npos) << "where it was looked for: " << text;
        COffscreenPlatform *screen = editor->getFrame()->getOffscreen();
        ASSERT_NE(screen, nullptr);
        int32_t light = 0, dark = 0;
        for (int32_t y = 40; y < 100; ++y)
            for (int32_t x = 24; x < 400; ++x) {
                const CColor p = screen->getPixel(x, y);
                (p.red + p.green + p.blue > 3 * 150 ? light : dark) += 1;
            }
        EXPECT_GT(light, 200) << "the message is drawn";
        EXPECT_GT(dark, light) << "on a dark ground";
        engine.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    }
}

} // namespace
