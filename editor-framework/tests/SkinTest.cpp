// Skins: the image list, the choice of zoom variants, colours, the fallback skin, reloading in place and
// the record shared between instances.
#include "editor-framework/controls/vgcKnobs.h"
#include "editorTestSupport.h"
#include "gui/CBitmap.h"

#include <gtest/gtest.h>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace skin_test {

using namespace qgui;
using namespace edtest;

namespace {

std::vector<std::string> names(const davalArrayString &list)
{
    std::vector<std::string> out;
    for (int32_t i = 0; i < list.getCount(); ++i)
        out.emplace_back(list.at(i)->getNarrow());
    return out;
}

class SkinEditor : public podoVSTEditor
{
public:
    using podoVSTEditor::podoVSTEditor;
    bool onOpen(void *) override { return true; }
};

CBitmap *imageOf(SkinRecord *record, const char *name)
{
    const int32_t i = skinImageNames.findSorted(podoStr(name));
    return i >= 0 && i < int32_t(record->images.size()) ? record->images[size_t(i)] : nullptr;
}

} // namespace

TEST(Skin, TheImageListEndsAtItsFirstEmptyLine)
{
    struct Case {
        const char *text;
        std::vector<std::string> expected;
    };
    const std::string longName(2000, 'n');
    const Case cases[] = {
        {"a\nb\nc\n\nd\ne\n", {"a", "b", "c"}},
        {"a\n \t \nb\n", {"a", "b"}}, // blanks only: skipped, the list goes on
        {"a\r\n  b  \r\n\r\nc\r\n", {"a", "b"}},
        {"", {}},
        {"x", {"x"}},
    };
    TempDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.text)));
        writeText(dir.file("images.lst"), c.text);
        davalArrayString list;
        ASSERT_TRUE(readImageNames(podoStr(dir.file("images.lst").c_str()), list));
        EXPECT_EQ(names(list), c.expected);
    }
    writeText(dir.file("long.lst"), longName + "\nshort\n");
    davalArrayString list;
    ASSERT_TRUE(readImageNames(podoStr(dir.file("long.lst").c_str()), list));
    EXPECT_EQ(names(list), (std::vector<std::string>{longName, "short"}));
    EXPECT_FALSE(readImageNames(podoStr(dir.file("missing.lst").c_str()), list));
}

TEST(Skin, TheProcessReadsItsImageListOnceSorted)
{
    SkinRoot root;
    SkinEditor editor(nullptr);
    editor.setSkinsRoot(root.rootPath());
    const bool first = skinImageNames.getCount() == 0;
    EXPECT_EQ(editor.loadImageList(), first);
    EXPECT_FALSE(editor.loadImageList()) << "never read twice";
    EXPECT_EQ(names(skinImageNames), (std::vector<std::string>{"$logo", "back", "button", "fader", "handle", "knob",
                                                               "meter", "movie", "switch"}));
}

TEST(Skin, AZoomIsDrawnFromTheSmallestVariantAtLeastAsLargeElseTheLargest)
{
    struct Case {
        int32_t zoom;
        std::vector<std::string> present; // variants of "knob"
        int32_t expected;
        std::string chosen;
        bool logged;
    };
    const Case cases[] = {
        {300, {"@2x", ""}, 200, "@2x", false},
        {300, {"@3x", "@2x", ""}, 300, "@3x", false},
        {250, {"@3x", "@2x", ""}, 300, "@3x", false},
        {250, {"@2x"}, 200, "@2x", false},
        {250, {""}, 100, "", false}, // a skin with plain files only keeps working
        {200, {""}, 100, "", false},
        {200, {"@3x", ""}, 300, "@3x", false}, // drawn smaller rather than enlarged
        {175, {"@2x", ""}, 200, "@2x", false},
        {125, {"@3x", "@2x", ""}, 200, "@2x", false},
        {104, {"@2x", ""}, 200, "@2x", false},
        {100, {"@3x", "@2x", ""}, 100, "", false},
        {100, {}, 0, "", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.zoom);
        SkinRoot root;
        for (const std::string &variant : c.present)
            root.image("Default", "knob", 4, 4, kRedCColor, variant);
        SkinEditor editor(nullptr);
        editor.setSkinsRoot(root.rootPath());
        LogCapture log;
        podoStr path;
        EXPECT_EQ(editor.findImageFile(&path, podoStr("Default"), "knob", c.zoom), c.expected);
        EXPECT_EQ(std::string(path.getNarrow()), root.file("Default/knob" + c.chosen + ".png"));
        EXPECT_EQ(log.has("podoVSTEditor: failed to find image file : " + root.file("Default/knob")), c.logged);
    }

    // A "$" name is one file in the root for every skin, and never reported missing.
    SkinRoot root;
    root.image("", "$logo", 4, 4, kRedCColor, "@2x");
    SkinEditor editor(nullptr);
    editor.setSkinsRoot(root.rootPath());
    LogCapture log;
    podoStr path;
    EXPECT_EQ(editor.findImageFile(&path, podoStr("AnySkin"), "$logo", 200), 200);
    EXPECT_EQ(std::string(path.getNarrow()), root.file("$logo@2x.png"));
    EXPECT_EQ(editor.findImageFile(&path, podoStr("AnySkin"), "$missing", 100), 0);
    EXPECT_TRUE(log.lines().empty());
}

TEST(Skin, EveryImageKeepsItsLogicalSizeWhateverVariantIsLoaded)
{
    SkinRoot root;
    root.image("", "$logo", 10, 10, kRedCColor);
    root.image("", "$logo", 20, 20, kRedCColor, "@2x");
    root.image("Default", "knob", 30, 30, kGreenCColor);
    root.image("Default", "knob", 60, 60, kGreenCColor, "@2x");
    root.image("Default", "back", 40, 20, kBlueCColor); // no 2× variant
    root.colors("Default", "font-default = FFFFFFFF\n");
    Instrument fx;
    SkinEditor editor(&fx);
    useRoot(editor, root);
    LogCapture log;
    ASSERT_TRUE(editor.loadSkin(podoStr("Default"), 200));
    SkinRecord *record = editor.getSkin();
    EXPECT_EQ(record, &sharedSkin);
    EXPECT_EQ(record->zoom, 200) << "the first listed image has a 2× variant";
    CBitmap *knob = imageOf(record, "knob");
    ASSERT_NE(knob, nullptr);
    EXPECT_DOUBLE_EQ(knob->getScaleFactor(), 2.0);
    EXPECT_EQ(knob->getSize(), CPoint(30, 30));
    CBitmap *back = imageOf(record, "back");
    ASSERT_NE(back, nullptr);
    EXPECT_DOUBLE_EQ(back->getScaleFactor(), 1.0);
    EXPECT_EQ(back->getSize(), CPoint(40, 20)) << "a plain file stands for the missing variant at its own size";
    EXPECT_TRUE(log.has("podoVSTEditor: failed to find image file : " + root.file("Default/button")));
    EXPECT_EQ(imageOf(record, "button"), nullptr) << "missing everywhere: not loaded";

    ASSERT_TRUE(editor.loadSkin(podoStr("Default"), 150));
    EXPECT_EQ(record->zoom, 200) << "150 % is drawn from the 2× files";
    EXPECT_EQ(imageOf(record, "knob"), knob) << "reloaded in place";

    // A first image without a 2× file decides 100 % for every image.
    SkinRoot plain;
    plain.image("", "$logo", 10, 10, kRedCColor);
    plain.image("Default", "knob", 30, 30, kGreenCColor);
    plain.image("Default", "knob", 60, 60, kGreenCColor, "@2x");
    plain.colors("Default", "");
    editor.setSkinsRoot(plain.rootPath());
    ASSERT_TRUE(editor.loadSkin(podoStr("Default"), 150));
    EXPECT_EQ(record->zoom, 100);
    EXPECT_DOUBLE_EQ(knob->getScaleFactor(), 1.0);
    EXPECT_EQ(knob->getSize(), CPoint(30, 30));
}

TEST(Skin, ColoursComeFromTheSkinsColourFile)
{
    SkinRoot root;
    root.image("", "$logo", 4, 4, kRedCColor);
    root.colors("Default", "font-default = FF0000FF\n");
    root.colors("Other", "; comment line\nback-default = 0x11223344 ; panel\nfont-second =\nfont-glossy=  80ff00ff\n");
    root.image("Other", "knob", 4, 4, kRedCColor);
    Instrument fx;
    SkinEditor editor(&fx);
    useRoot(editor, root);
    ASSERT_TRUE(editor.loadSkin(podoStr("Default"), 100));
    std::vector<CColor> expected(skinColorCount, kWhiteCColor);
    expected[skinFontDefault] = CColor{0xFF, 0x00, 0x00, 0xFF};
    EXPECT_EQ(editor.getSkin()->colours, expected);

    ASSERT_TRUE(editor.loadSkin(podoStr("Other"), 100));
    expected.assign(skinColorCount, kWhiteCColor);
    expected[skinBackDefault] = CColor{0x11, 0x22, 0x33, 0x44};
    expected[skinFontGlossy] = CColor{0x80, 0xFF, 0x00, 0xFF};
    EXPECT_EQ(editor.getSkin()->colours, expected) << "an empty value keeps white";

    // No colour file: the images load, the colours stay, the load reports failure.
    std::filesystem::remove(root.file("Other/colors.txt"));
    EXPECT_FALSE(editor.loadSkin(podoStr("Other"), 100));
    EXPECT_EQ(editor.getSkin()->colours, expected);
    EXPECT_NE(imageOf(editor.getSkin(), "knob"), nullptr);
}

TEST(Skin, AMissingSkinFallsBackToDefault)
{
    SkinRoot root;
    root.image("", "$logo", 4, 4, kRedCColor);
    root.image("Default", "knob", 4, 4, kGreenCColor);
    root.colors("Default", "");
    Instrument fx;
    SkinEditor editor(&fx);
    useRoot(editor, root);
    LogCapture log;
    EXPECT_TRUE(editor.loadSkin(podoStr("Gone"), 100));
    EXPECT_TRUE(log.has("(warning) podoVSTEditor: skin folder not found: " + root.file("Gone")));
    EXPECT_EQ(std::string(editor.getSkin()->name.getNarrow()), "Default");
    EXPECT_NE(imageOf(editor.getSkin(), "knob"), nullptr);
}

TEST(Skin, ImagesAreFoundByNameAndReleasedOnce)
{
    SkinRoot root;
    root.image("", "$logo", 4, 4, kRedCColor);
    root.image("Default", "knob", 32, 64, kGreenCColor);
    root.colors("Default", "");
    Instrument fx;
    SkinEditor editor(&fx);
    useRoot(editor, root);
    EXPECT_EQ(editor.findImage("knob"), nullptr) << "nothing loaded yet";
    ASSERT_TRUE(editor.loadSkin(podoStr("Default"), 100));
    LogCapture log;
    CBitmap *knob = editor.findImage("knob");
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(editor.getCurrentImage(), knob);
    EXPECT_EQ(editor.getCurrentImageRect(), CRect(0, 0, 32, 64));
    EXPECT_EQ(editor.findImage("nope"), nullptr);
    EXPECT_EQ(editor.getCurrentImageRect(), CRect());
    EXPECT_TRUE(log.has("(warning) podoVSTEditor::findImage(nope) - not found"));
    EXPECT_EQ(editor.findImage(nullptr), nullptr);

    // A view that still shows a released image keeps a valid bitmap that draws nothing.
    Frame frame;
    auto *view = frame.add(new CView(CRect(0, 0, 32, 64)));
    view->setBackground(knob);
    EXPECT_EQ(frame.pixel(5, 5), kGreenCColor);
    EXPECT_TRUE(editor.releaseImage("knob"));
    EXPECT_FALSE(editor.releaseImage("knob"));
    EXPECT_FALSE(editor.releaseImage("nope"));
    view->invalid();
    EXPECT_EQ(frame.pixel(5, 5), kBlackCColor);
}

TEST(Skin, SkinFoldersAreListedInNaturalOrder)
{
    SkinRoot root;
    for (const char *skin : {"Skin10", "Default", "Skin2"})
        root.colors(skin, "");
    writeText(root.file("readme.txt"), "not a skin");
    SkinEditor editor(nullptr);
    editor.setSkinsRoot(root.rootPath());
    EXPECT_EQ(names(editor.listSkins()), (std::vector<std::string>{"Default", "Skin2", "Skin10"}));
}

TEST(Skin, AnotherSkinIsLoadedIntoTheSameBitmapsAndTheControlsShowIt)
{
    SkinRoot root;
    root.image("", "$logo", 4, 4, kRedCColor);
    root.image("Default", "knob", 20, 40, grey(40));
    root.image("Blue", "knob", 20, 40, kBlueCColor);
    root.colors("Default", "");
    root.colors("Blue", "font-highlight = 0000FFFF\n");
    Instrument fx;
    SkinEditor editor(&fx);
    useRoot(editor, root);
    ASSERT_TRUE(editor.loadSkin(podoStr("Default"), 100));
    ASSERT_TRUE(editor.open(nullptr));
    vgcAnimKnob *knob = editor.addAnimKnob(0, 0, "knob", 3, 2);
    editor.getFrame()->addView(knob);
    COffscreenPlatform *screen = editor.getFrame()->getOffscreen();
    EXPECT_EQ(screen->getPixel(5, 5), grey(40));

    editor.setSkin(podoStr("Blue"), 0);
    EXPECT_EQ(knob->getBackground(), imageOf(editor.getSkin(), "knob")) << "the same bitmap object";
    EXPECT_EQ(screen->getPixel(5, 5), kBlueCColor);
    EXPECT_EQ(editor.getSkin()->colours[skinFontHighlight], kBlueCColor);
    editor.getFrame()->removeView(knob, false);
    knob->forget();
}

TEST(Skin, InstancesShareOneRecordUntilOneChangesZoom)
{
    SkinRoot root;
    root.image("", "$logo", 4, 4, kRedCColor);
    root.image("", "$logo", 8, 8, kRedCColor, "@2x");
    root.image("Default", "knob", 20, 40, grey(40));
    root.image("Default", "knob", 40, 80, grey(80), "@2x");
    root.colors("Default", "");

    Instrument first;
    SkinEditor a(&first);
    useRoot(a, root);
    ASSERT_TRUE(a.loadSkin(podoStr("Default"), 100));
    vgcAnimKnob *knobA = a.addAnimKnob(0, 0, "knob", 1, 2);
    {
        Instrument second;
        SkinEditor b(&second);
        useRoot(b, root);
        ASSERT_TRUE(b.loadSkin(podoStr("Default"), 100));
        EXPECT_EQ(a.getSkin(), &sharedSkin);
        EXPECT_EQ(b.getSkin(), &sharedSkin) << "same skin and zoom: one record";
        vgcAnimKnob *knobB = b.addAnimKnob(0, 0, "knob", 1, 2);
        CBitmap *shared = imageOf(&sharedSkin, "knob");
        EXPECT_EQ(knobB->getBackground(), shared);

        ASSERT_TRUE(b.open(nullptr));
        b.setSkin(podoStr(""), 200);
        ASSERT_NE(b.getSkin(), &sharedSkin) << "another zoom while another instance lives: a record of its own";
        EXPECT_EQ(b.getSkin()->zoom, 200);
        EXPECT_EQ(knobB->getBackground(), imageOf(b.getSkin(), "knob")) << "its controls follow";
        EXPECT_DOUBLE_EQ(knobB->getBackground()->getScaleFactor(), 2.0);
        EXPECT_EQ(knobA->getBackground(), shared) << "the other instance keeps its images";
        EXPECT_EQ(sharedSkin.zoom, 100);
        EXPECT_DOUBLE_EQ(shared->getScaleFactor(), 1.0);
        b.close();
        knobB->forget();
    }
    EXPECT_NE(imageOf(&sharedSkin, "knob"), nullptr) << "the editor of a second instance frees only its own record";
    knobA->forget();
}

} // namespace skin_test
