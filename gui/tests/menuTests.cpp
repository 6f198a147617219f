// Option menus and the popup's chooser: value mapping, choices in submenus, commands, scripted answers.
#include "gui/gui.h"
#include "guiTestSupport.h"

#include <gtest/gtest.h>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace menu_test {

using namespace qgui;
using namespace qgui::test;

namespace {

struct Listener : IControlListener {
    std::vector<float> values;
    void valueChanged(CControl* c) override { values.push_back(c->getValue()); }
};

// Records each popup and answers with the next scripted path.
struct ScriptedChooser {
    std::vector<PopupResult> answers;
    std::vector<PopupMenuList> shown;
    std::vector<PopupRequest> requests;
    ScriptedChooser() {
        setPopupChooser([this](const PopupMenuList& m, const PopupRequest& r) {
            shown.push_back(m);
            requests.push_back(r);
            if (answers.empty()) return PopupResult{};
            PopupResult a = answers.front();
            answers.erase(answers.begin());
            return a;
        });
    }
    ~ScriptedChooser() { setPopupChooser(nullptr); }
};

struct MenuFixture {
    Listener l;
    OffscreenFrame f{200, 100};
    COptionMenu* menu = new COptionMenu(CRect(10, 10, 60, 22), &l, 5, nullptr, nullptr, kCheckStyle);
    COptionMenu* sub = new COptionMenu();
    int commands = 0;
    MenuFixture() {
        menu->addEntry("zero");
        menu->addSeparator();
        menu->addEntry("two");
        menu->addEntry(sub, "more");
        menu->addEntry(new CCommandMenuItem("run", [this](CCommandMenuItem*) { ++commands; }));
        menu->addEntry("off", -1, CMenuItem::kDisabled);
        sub->addEntry("a");
        sub->addEntry("b");
        sub->forget();
        f->addView(menu);
    }
};

}  // namespace

TEST(OptionMenu, ValueIsTheIndexAndSeparatorsCount) {
    MenuFixture m;
    EXPECT_EQ(m.menu->getNbEntries(), 6);
    EXPECT_EQ(m.menu->getMax(), 5);
    m.menu->setValue(2.7f);
    EXPECT_EQ(m.menu->getCurrentIndex(), 2);
    EXPECT_EQ(m.menu->getCurrentIndex(false), 1);  // not counting the separator
    EXPECT_EQ(m.menu->getCurrent()->getTitle(), "two");
    m.menu->setValue(6);  // beyond the entries: unchanged
    m.menu->setValue(-1);
    EXPECT_EQ(m.menu->getCurrentIndex(), 2);
    EXPECT_TRUE(m.menu->setCurrent(3, false));  // the fourth non-separator entry
    EXPECT_EQ(m.menu->getCurrentIndex(), 4);
    EXPECT_TRUE(m.menu->getEntry(1)->isSeparator());
}

TEST(OptionMenu, ChoicesReportThroughTheTopMenu) {
    struct Case {
        const char* name;
        PopupResult answer;
        std::vector<float> reported;
        int lastResult;
        bool inSub;
        int commands;
    } cases[] = {
        {"entry two", {{2}}, {2}, 2, false, 0},
        {"entry in the submenu", {{3, 1}}, {2}, 1, true, 0},  // top value unchanged (2 from before)
        {"command entry", {{4}}, {4}, 4, false, 1},
        {"dismissed", {}, {}, -1, false, 0},
        {"separator answered", {{1}}, {}, -1, false, 0},
        {"disabled entry answered", {{5}}, {}, -1, false, 0},
        {"submenu item itself answered", {{3}}, {}, -1, false, 0},
        {"out of range", {{3, 7}}, {}, -1, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedChooser chooser;
        chooser.answers.push_back(c.answer);
        MenuFixture m;
        m.menu->setValue(2);
        m.f.off->click(CPoint(20, 15));
        EXPECT_EQ(m.l.values, c.reported);
        EXPECT_EQ(m.menu->getLastResult(), c.lastResult);
        int idx = -2;
        COptionMenu* last = m.menu->getLastItemMenu(idx);
        if (c.lastResult >= 0) {
            EXPECT_EQ(last, c.inSub ? m.menu->getEntry(3)->getSubmenu() : m.menu);
            EXPECT_EQ(idx, c.lastResult);
        } else {
            EXPECT_EQ(last, nullptr);
        }
        if (c.inSub) {
            EXPECT_EQ(m.menu->getEntry(3)->getSubmenu()->getCurrentIndex(), 1);
        }
        EXPECT_EQ(m.commands, c.commands);
        EXPECT_FALSE(m.menu->isEditing());
    }
}

TEST(OptionMenu, PopupShowsEntriesChecksAndColumnsBelowTheMenu) {
    ScriptedChooser chooser;
    MenuFixture m;
    ASSERT_TRUE(m.f->setZoom(2));
    m.menu->setNbItemsPerColumn(3);
    m.menu->setValue(2);
    m.menu->checkEntry(0, true);
    m.f.off->click(CPoint(40, 30));
    ASSERT_EQ(chooser.shown.size(), 1u);
    const PopupMenuList& p = chooser.shown[0];
    ASSERT_EQ(p.items.size(), 6u);
    EXPECT_EQ(p.itemsPerColumn, 3);
    EXPECT_TRUE(p.items[0].checked);    // its own check
    EXPECT_TRUE(p.items[2].checked);    // the current entry under kCheckStyle
    EXPECT_FALSE(p.items[4].checked);
    EXPECT_TRUE(p.items[1].separator);
    EXPECT_FALSE(p.items[5].enabled);
    ASSERT_TRUE(p.items[3].submenu);
    EXPECT_EQ(p.items[3].submenu->items[1].title, "b");
    EXPECT_EQ(chooser.requests[0].position, CPoint(20, 44));  // bottom-left corner, zoomed
    EXPECT_EQ(chooser.requests[0].scale, 2);
}

TEST(OptionMenu, MultipleCheckStyleTogglesTheChosenEntry) {
    ScriptedChooser chooser;
    Listener l;
    OffscreenFrame f(100, 40);
    auto* menu = new COptionMenu(CRect(0, 0, 50, 12), &l, 1, nullptr, nullptr, kMultipleCheckStyle);
    menu->addEntry("a");
    menu->addEntry("b");
    f->addView(menu);
    chooser.answers = {{{1}}, {{1}}};
    f.off->click(CPoint(5, 5));
    EXPECT_TRUE(menu->isCheckEntry(1));
    f.off->click(CPoint(5, 5));
    EXPECT_FALSE(menu->isCheckEntry(1));
}

TEST(Popup, WithoutChooserAndWithoutWindowTheMenuIsDismissed) {
    PopupMenuList list;
    PopupItem item;
    item.title = "a";
    list.items.push_back(item);
    PopupRequest request;
    EXPECT_FALSE(popupMenu(list, request).chosen());
}

} // namespace menu_test
