// The control factories: rectangles from the skin's image sizes, registration, the editor as listener.
#include "editor-framework/controls/vgcButtons.h"
#include "editor-framework/controls/vgcDisplays.h"
#include "editor-framework/controls/vgcKnobs.h"
#include "editor-framework/controls/vgcOptionMenu.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "editorTestSupport.h"
#include "gui/CViewContainer.h"

#include <gtest/gtest.h>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace factory_test {

using namespace qgui;
using namespace edtest;

namespace {

class FactoryEditor : public podoVSTEditor
{
public:
    using podoVSTEditor::podoVSTEditor;
    bool onOpen(void *) override { return true; }
};

// One skin with images of known sizes for every factory.
struct Fixture {
    SkinRoot root;
    Instrument fx;
    FactoryEditor editor{&fx};
    Fixture()
    {
        root.image("", "$logo", 4, 4, kRedCColor);
        root.image("Default", "button", 40, 60, kRedCColor);
        root.image("Default", "knob", 32, 3200, kRedCColor);
        root.image("Default", "fader", 60, 200, kRedCColor);
        root.image("Default", "handle", 10, 6, kRedCColor);
        root.image("Default", "meter", 100, 30, kRedCColor);
        root.image("Default", "switch", 30, 80, kRedCColor);
        root.image("Default", "back", 95, 95, kRedCColor);
        root.colors("Default", "");
        useRoot(editor, root);
        editor.loadSkin(podoStr("Default"), 100);
    }
    ~Fixture()
    {
        for (int32_t i = 0; i < editor.getControlCount(); ++i)
            editor.getControlAt(i)->forget();
    }
};

} // namespace

TEST(Factory, ControlsTakeTheirSizeFromTheirImages)
{
    Fixture f;
    FactoryEditor &e = f.editor;
    struct Case {
        const char *what;
        CControl *control;
        CRect expected;
    };
    const Case cases[] = {
        {"kick button", e.addKickButton(10, 20, "button", 1), CRect(10, 20, 50, 50)},
        {"on/off button", e.addOnOffButton(0, 0, "button", 2), CRect(0, 0, 40, 30)},
        {"switch", e.addOnOffSwitch(5, 5, "switch", 3), CRect(5, 5, 35, 25)},
        {"play key", e.addPlayKeyboard(1, 2, "button", 4), CRect(1, 2, 41, 32)},
        {"play button", e.addPlayOnOffButton(1, 2, "button", 5), CRect(1, 2, 41, 32)},
        {"knob", e.addAnimKnob(0, 0, "knob", 6, 100), CRect(0, 0, 32, 32)},
        {"movie", e.addMovieBitmap(0, 0, "back", 7, 2), CRect(0, 0, 95, 47.5)},
        {"meter", e.addLevelMeter(0, 0, "meter", 8), CRect(0, 0, 100, 15)},
        {"vertical meter", e.addLevelMeter2(0, 0, "meter", 9), CRect(0, 0, 50, 30)},
        {"horizontal fader", e.addHorizontalFader(0, 0, "fader", "handle", 10, 2), CRect(0, 0, 60, 100)},
        {"vertical fader", e.addVerticalFader(0, 0, "fader", "handle", 11, 3), CRect(0, 0, 20, 200)},
        {"multi fader", e.addMultiFader(3, 4, 50, 8, "handle", 12), CRect(3, 4, 53, 12)},
        {"label", e.addTextLabel(1, 1, 30, 12, "back", 13), CRect(1, 1, 31, 13)},
        {"text edit", e.addTextEdit(1, 1, 30, 12, "back", 14, 1), CRect(1, 1, 31, 13)},
        {"dropdown", e.addDropdownList(1, 1, 30, 12, nullptr, 15), CRect(1, 1, 31, 13)},
        {"area", e.addArea(2, 3, 4, 5, 16, CColor{1, 2, 3, 0}), CRect(2, 3, 6, 8)},
        {"missing image", e.addKickButton(7, 8, "nope", 17), CRect(7, 8, 7, 8)},
        {"no frames", e.addAnimKnob(0, 0, "knob", 18, 0), CRect(0, 0, 32, 3200)},
    };
    ASSERT_EQ(e.getControlCount(), int32_t(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.control->getViewSize(), c.expected);
        EXPECT_EQ(e.getControlAt(int32_t(i)), c.control) << "registered in creation order";
        EXPECT_EQ(c.control->getListener(), static_cast<IControlListener *>(&e));
        EXPECT_EQ(c.control->getTag(), int32_t(i) + 1);
        EXPECT_TRUE(c.control->getMouseEnabled());
    }
    EXPECT_EQ(static_cast<vgcFader *>(cases[10].control)->getStyle(), kVertical | kBottom);
    EXPECT_EQ(static_cast<vgcFader *>(cases[9].control)->getStyle(), kHorizontal | kLeft);
    EXPECT_EQ(static_cast<vgcFader *>(cases[9].control)->getHandle(), e.findImage("handle"));
    EXPECT_TRUE(static_cast<vgcTextEdit *>(cases[13].control)->isReturnOnly());
    e.rebuildControlIndex();
    EXPECT_EQ(e.findControlIndex(17), 16);
}

TEST(Factory, ContainersAreNeitherRegisteredNorPlaced)
{
    Fixture f;
    CViewContainer *page = f.editor.addContainer(157, 0, "back");
    EXPECT_EQ(page->getViewSize(), CRect(157, 0, 252, 95));
    EXPECT_EQ(page->getBackground(), f.editor.findImage("back"));
    EXPECT_EQ(page->getParentView(), nullptr);
    CViewContainer *group = f.editor.addImageContainer(1, 2, 30, 40, "nope");
    EXPECT_EQ(group->getViewSize(), CRect(1, 2, 31, 42));
    EXPECT_EQ(group->getBackground(), nullptr);
    CViewContainer *held = f.editor.addBitmapContainer(0, 0, 5, 5, f.editor.findImage("button"));
    EXPECT_EQ(held->getBackground(), f.editor.findImage("button"));
    EXPECT_EQ(f.editor.getControlCount(), 0);
    for (CViewContainer *c : {page, group, held})
        c->forget();
}

TEST(Factory, AMovieBitmapShowsTheFrameItsValueSelects)
{
    SkinRoot root;
    root.image("", "$logo", 4, 4, kRedCColor);
    writeStrip(root.file("Default/movie.png"), 10, 10, 5);
    root.colors("Default", "");
    Instrument fx;
    FactoryEditor editor(&fx);
    useRoot(editor, root);
    ASSERT_TRUE(editor.loadSkin(podoStr("Default"), 100));
    ASSERT_TRUE(editor.open(nullptr));
    vgcMovieBitmap *movie = editor.addMovieBitmap(0, 0, "movie", 1, 5);
    editor.getFrame()->addView(movie);
    COffscreenPlatform *screen = editor.getFrame()->getOffscreen();
    for (auto [value, frame] : {std::pair{0.0f, 0}, {0.6f, 2}, {1.0f, 4}}) {
        movie->setValue(value);
        EXPECT_EQ(screen->getPixel(5, 5), grey(20 * frame)) << value;
    }
    editor.getFrame()->removeView(movie, false);
    movie->forget();
}

} // namespace factory_test
