// The factory skin the build draws: every listed image loads at 100 % and from its 2× and 3× variants at
// the same logical size, and its colour file gives the ten colours.
#include "editorTestSupport.h"
#include "foundation/podoFileCFG.h"
#include "gui/CBitmap.h"

#include <gtest/gtest.h>

using namespace qgui;
using namespace edtest;

namespace {

std::string defaultSkinFile(const char *name)
{
    podoStr path(QUORIX_SKINS_DIR);
    path += "Default/";
    path += name;
    return path.getNarrow();
}

} // namespace

TEST(DefaultSkin, EveryListedImageLoadsAtEveryScaleWithOneLogicalSize)
{
    const podoStr root(QUORIX_SKINS_DIR);
    davalArrayString names;
    ASSERT_TRUE(readImageNames(root + "images.lst", names));
    ASSERT_GE(names.getCount(), 8);
    podoVSTEditor editor(nullptr);
    editor.setSkinsRoot(root);
    for (int32_t i = 0; i < names.getCount(); ++i) {
        const char *name = names.at(i)->getNarrow();
        SCOPED_TRACE(name);
        podoStr plain, doubled, tripled;
        ASSERT_EQ(editor.findImageFile(&plain, podoStr("Default"), name, 100), 100);
        ASSERT_EQ(editor.findImageFile(&doubled, podoStr("Default"), name, 200), 200);
        ASSERT_EQ(editor.findImageFile(&tripled, podoStr("Default"), name, 300), 300);
        CBitmap one(plain.getNarrow(), 1.0), two(doubled.getNarrow(), 2.0), three(tripled.getNarrow(), 3.0);
        ASSERT_TRUE(one.isLoaded());
        ASSERT_TRUE(two.isLoaded());
        ASSERT_TRUE(three.isLoaded());
        EXPECT_EQ(one.getSize(), two.getSize());
        EXPECT_EQ(one.getSize(), three.getSize());
    }
    // The whole editor is 745 × 595: the keyboard below, the channel list beside the pages.
    CBitmap keyboard(defaultSkinFile("01-back-keyboard.png"));
    CBitmap channels(defaultSkinFile("02-back-channel.png"));
    CBitmap mixer(defaultSkinFile("03-back-mixer.png"));
    EXPECT_EQ(keyboard.getWidth(), 745);
    EXPECT_EQ(channels.getHeight() + keyboard.getHeight(), 595);
    EXPECT_EQ(channels.getWidth() + mixer.getWidth(), 745);

    podoFileCFG colours(root + "Default/colors.txt");
    ASSERT_TRUE(colours.isOpen());
    colours.load();
    for (const char *key : {"font-default", "font-second", "font-glossy", "font-highlight", "font-disabled",
                            "back-default", "back-second", "back-glossy", "back-highlight", "back-disabled"}) {
        podoStr value;
        EXPECT_TRUE(colours.get(podoStr(key), value)) << key;
        EXPECT_EQ(value.length(), 8) << key;
    }
}
