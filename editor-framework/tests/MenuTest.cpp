// Option menus: the normalised value, the choice through the popup, the right button, the title's place.
#include "editor-framework/controls/vgcOptionMenu.h"
#include "editorTestSupport.h"
#include "gui/popupMenu.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qgui;
using namespace edtest;

namespace {

// Answers every popup with a scripted path and counts the popups.
struct ScriptedPopup {
    std::vector<int32_t> answer;
    int shown = 0;
    ScriptedPopup()
    {
        setPopupChooser([this](const PopupMenuList &, const PopupRequest &) {
            ++shown;
            return PopupResult{answer};
        });
    }
    ~ScriptedPopup() { setPopupChooser(nullptr); }
};

vgcOptionMenu *menuOf(int entries, IControlListener *listener = nullptr, CRect r = CRect(10, 10, 90, 30))
{
    auto *menu = new vgcOptionMenu(r, listener, 4, nullptr);
    for (int i = 0; i < entries; ++i)
        menu->addEntry("entry " + std::to_string(i));
    return menu;
}

int leftmostLit(Frame &frame, int y0, int y1)
{
    for (int x = 0; x < 400; ++x)
        for (int y = y0; y < y1; ++y) {
            CColor c = frame.pixel(x, y);
            if (c.red > 128)
                return x;
        }
    return -1;
}

int rightmostLit(Frame &frame, int y0, int y1)
{
    for (int x = 399; x >= 0; --x)
        for (int y = y0; y < y1; ++y)
            if (frame.pixel(x, y).red > 128)
                return x;
    return -1;
}

} // namespace

TEST(OptionMenu, AValueSelectsTheNearestEntryOrNothing)
{
    struct Case {
        float value;
        int32_t entry;
        float stored;
    };
    const Case cases[] = {
        {0.5f, 2, 0.5f}, {0.37f, 1, 0.37f}, {1.0f, 4, 1.0f}, {0.0f, 0, 0.0f}, {-0.1f, 0, 0.0f},
        {1.2f, 3, 0.75f},          // entry 5 does not exist: unchanged
        {std::nanf(""), 3, 0.75f}, // unchanged
    };
    vgcOptionMenu *menu = menuOf(5);
    menu->setValue(0.75f);
    EXPECT_FLOAT_EQ(menu->getMax(), 1.0f) << "normalised whatever the number of entries";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        menu->setValue(0.75f);
        menu->setValue(c.value);
        EXPECT_EQ(menu->getCurrentIndex(), c.entry);
        EXPECT_FLOAT_EQ(menu->getValue(), c.stored);
    }
    menu->forget();
}

TEST(OptionMenu, AChoiceReportsTheEntrysValueThroughTheTopMenu)
{
    ScriptedPopup popup;
    Frame frame;
    RecordingListener listener;
    vgcOptionMenu *menu = frame.add(menuOf(5, &listener));
    bool ran = false;
    menu->addEntry(new CCommandMenuItem("run", [&](CCommandMenuItem *) { ran = true; }));
    // Six entries now: entry 3 is 3 / 5.
    popup.answer = {3};
    frame.off->click(CPoint(20, 20));
    EXPECT_EQ(popup.shown, 1);
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_FLOAT_EQ(listener.reports[0].value, 0.6f);
    EXPECT_EQ(menu->getCurrentIndex(), 3);
    EXPECT_EQ(menu->getLastResult(), 3);
    EXPECT_FALSE(menu->isPopupOpen());

    popup.answer = {5};
    frame.off->click(CPoint(20, 20));
    EXPECT_TRUE(ran);
    EXPECT_FLOAT_EQ(listener.reports.back().value, 1.0f);

    popup.answer = {};
    frame.off->click(CPoint(20, 20));
    EXPECT_EQ(listener.reports.size(), 2u) << "dismissed: nothing reported";
    EXPECT_EQ(menu->getLastResult(), -1);

    // A right press reports its signal and opens nothing.
    frame.off->click(CPoint(20, 20), kRButton);
    EXPECT_EQ(popup.shown, 3);
    EXPECT_FLOAT_EQ(listener.reports.back().value, -2.0f);
}

TEST(OptionMenu, TheOnlyEntryOfAMenuIsTheValueZero)
{
    ScriptedPopup popup;
    popup.answer = {0};
    Frame frame;
    RecordingListener listener;
    vgcOptionMenu *menu = frame.add(menuOf(1, &listener));
    menu->setValue(0.0f);
    frame.off->click(CPoint(20, 20));
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_FLOAT_EQ(listener.reports[0].value, 0.0f) << "not a division by zero";
    EXPECT_EQ(menu->getCurrentIndex(), 0);
}

TEST(OptionMenu, TheTitleMovesWithItsOffsetAndIsClippedByTheInsets)
{
    Frame frame;
    vgcOptionMenu *menu = frame.add(menuOf(2, nullptr, CRect(10, 10, 190, 40)));
    menu->setFontColor(kRedCColor);
    menu->setBackColor(kBlackCColor);
    menu->setHoriAlign(kLeftText);
    menu->setValue(0.0f);
    const int plain = leftmostLit(frame, 10, 40);
    ASSERT_GT(plain, 0) << "the current entry's title is drawn";
    menu->setTextOffset(4, 0);
    EXPECT_EQ(leftmostLit(frame, 10, 40), plain + 4);

    menu->setTextInsets(0, 0, 150, 0, false);
    EXPECT_LT(rightmostLit(frame, 10, 40), 40) << "nothing beyond right - right inset";

    vgcOptionMenu *empty = frame.add(menuOf(0, nullptr, CRect(10, 50, 190, 80)));
    empty->setFontColor(kRedCColor);
    EXPECT_EQ(leftmostLit(frame, 50, 80), -1) << "no entries, no text";
}
