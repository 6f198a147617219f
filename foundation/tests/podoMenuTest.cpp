#include "foundation/podoMenu.h"

#include "foundation/podoWnd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace podo;

// One row of a menu as shown: caption, command id (submenus: "sub"), state bits.
struct Row {
    std::string caption;
    uint32_t id;
    uint32_t state;
    bool operator==(const Row &) const = default;
};

std::vector<Row> rows(const podoMenu &menu)
{
    std::vector<Row> out;
    for (int32_t i = 0; i < menu.itemCount(); ++i) {
        const podoMenuItem &item = menu.itemAt(i);
        out.push_back({item.caption.getNarrow(), item.submenu ? 0xFFFFFFFFu : uint32_t(item.id), item.state});
    }
    return out;
}

void PrintTo(const Row &r, std::ostream *os) { *os << "{\"" << r.caption << "\", " << r.id << ", 0x" << std::hex << r.state << "}"; }

// Counts its own destruction.
struct CountedMenu : podoMenu {
    explicit CountedMenu(int &deleted) : podoMenu(nullptr), deleted(deleted) {}
    ~CountedMenu() override { ++deleted; }
    int &deleted;
};

} // namespace

TEST(Menu, AppendedFlagsBecomeTheItemsShown)
{
    struct Step {
        podoMenuFlags flags;
        uint32_t id;
        const char *caption; // null: none
    };
    struct Case {
        const char *name;
        std::vector<Step> steps;
        std::vector<Row> shown;
    };
    const Case cases[] = {
        {"a separator on an empty menu adds nothing", {{0x10, 0, nullptr}, {0, 1, "One"}, {0x10, 0, nullptr}},
         {{"One", 1, 0}, {"", 0, itemSeparator}}},
        {"a new column drops its separator", {{0, 1, "One"}, {0x90, 2, "Two"}}, {{"One", 1, 0}, {"Two", 2, itemNewColumn}}},
        {"0x10 with an item: a separator before it, and the item", {{0, 1, "Bank 1"}, {0x10, 9, "Bank 9"}},
         {{"Bank 1", 1, 0}, {"", 0, itemSeparator}, {"Bank 9", 9, 0}}},
        {"0x10 and 0x80 on the first item are dropped, the item stays", {{0x10, 1, "Bank 1"}, {0x80, 2, "Bank 2"}},
         {{"Bank 1", 1, 0}, {"Bank 2", 2, itemNewColumn}}},
        {"disabled, grayed", {{0x01, 1, "Off"}, {0x02, 2, "Dim"}}, {{"Off", 1, itemDisabled}, {"Dim", 2, itemGrayed}}},
        {"checked and default items are checked and bold; the last one stays the default",
         {{0x04, 1, "A"}, {0x08, 2, "B"}, {0, 3, "C"}},
         {{"A", 1, itemChecked}, {"B", 2, itemChecked | itemDefault}, {"C", 3, 0}}},
        {"a bold label after a separator is the label's own", {{0, 1, "A"}, {0x10, 0, nullptr}, {0x08, 0, "Title"}},
         {{"A", 1, 0}, {"", 0, itemSeparator}, {"Title", 0, itemChecked | itemDefault}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        podoMenu menu(nullptr);
        for (const auto &s : c.steps) {
            podoStr caption(s.caption ? s.caption : "");
            EXPECT_TRUE(menu.appendItem(s.flags, s.id, s.caption ? &caption : nullptr));
        }
        EXPECT_EQ(rows(menu), c.shown);
    }
}

TEST(Menu, SubmenuItemsTakeOnlyTheirCheckMark)
{
    podoMenu menu(nullptr);
    auto *checked = new podoMenu(nullptr);
    auto *bold = new podoMenu(nullptr);
    menu.addItem(0, 1, podoStr("One"));
    EXPECT_TRUE(menu.appendSubmenu(0x04, checked, podoStr("Checked")));
    EXPECT_TRUE(menu.appendSubmenu(0x08, bold, podoStr("Default")));
    EXPECT_EQ(rows(menu), (std::vector<Row>{{"One", 1, 0},
                                            {"Checked", 0xFFFFFFFFu, itemPopup | itemChecked},
                                            {"Default", 0xFFFFFFFFu, itemPopup}}));
    EXPECT_EQ(menu.itemAt(1).id, reinterpret_cast<uintptr_t>(checked->handle()));
    EXPECT_EQ(menu.itemAt(1).submenu, checked);
}

TEST(Menu, PositionsAndIds)
{
    podoMenu menu(nullptr);
    menu.addItem(0, 1201, podoStr("a"));
    menu.appendSeparator();
    menu.addItem(0, 1203, podoStr("c"));
    menu.appendSubmenu(0, new podoMenu(nullptr), podoStr("more"));
    struct Case {
        int32_t position;
        uint32_t id;
    };
    for (const Case c : {Case{1, 1201}, Case{2, 0}, Case{3, 1203}, Case{4, 0xFFFFFFFFu}, Case{0, 0}, Case{5, 0}, Case{-1, 0}}) {
        SCOPED_TRACE(c.position);
        EXPECT_EQ(menu.idAt(c.position), c.id);
    }
    EXPECT_EQ(menu.positionOf(1203), 3);
    EXPECT_EQ(menu.positionOf(1201), 1);
    EXPECT_EQ(menu.positionOf(0), 2) << "the separator";
    EXPECT_EQ(menu.positionOf(4711), 0);
}

TEST(Menu, ByCommandOperationsReachIntoSubmenus)
{
    podoMenu menu(nullptr);
    auto *sub = new podoMenu(nullptr);
    auto *deeper = new podoMenu(nullptr);
    deeper->addItem(0, 30, podoStr("deep"));
    sub->addItem(0, 20, podoStr("twenty"));
    sub->addItem(0x08, 21, podoStr("twenty-one"));
    sub->appendSubmenu(0, deeper, podoStr("deeper"));
    menu.addItem(0x08, 10, podoStr("ten"));
    menu.appendSubmenu(0, sub, podoStr("sub"));
    menu.addItem(0, 20, podoStr("twenty again"));

    // check answers the previous state; an item that is not there was never checked.
    EXPECT_FALSE(menu.check(30, true));
    EXPECT_TRUE(menu.check(30, false));
    EXPECT_FALSE(menu.check(30, false));
    EXPECT_FALSE(menu.check(4711, true));
    EXPECT_FALSE(menu.checkSubmenu(nullptr, true));

    // The first 20 is the submenu's (depth first); the top menu's default stays.
    EXPECT_TRUE(menu.select(20));
    EXPECT_EQ(sub->itemAt(0).state, itemChecked | itemDefault);
    EXPECT_EQ(sub->itemAt(1).state, itemChecked) << "one default per menu";
    EXPECT_EQ(menu.itemAt(0).state, itemChecked | itemDefault);
    EXPECT_EQ(menu.itemAt(2).state, 0u);

    EXPECT_TRUE(menu.disable(30));
    EXPECT_EQ(deeper->itemAt(0).state, itemGrayed | itemDisabled);
    EXPECT_TRUE(menu.enable(30, true));
    EXPECT_EQ(deeper->itemAt(0).state, 0u);
    EXPECT_FALSE(menu.enable(4711, true));
    EXPECT_FALSE(menu.setDefault(4711));

    // A submenu item is addressed by its submenu, also from the top.
    EXPECT_TRUE(menu.disableSubmenu(deeper));
    EXPECT_TRUE(menu.selectSubmenu(deeper));
    EXPECT_EQ(sub->itemAt(2).state, itemPopup | itemGrayed | itemDisabled | itemChecked | itemDefault);
    EXPECT_TRUE(menu.checkSubmenu(deeper, false));
    EXPECT_TRUE(menu.setDefaultSubmenu(sub));
    EXPECT_EQ(menu.itemAt(1).state, itemPopup | itemDefault);
    EXPECT_EQ(menu.itemAt(0).state, itemChecked);
}

TEST(Menu, SubmenusAreDeletedOnceWithTheirMenu)
{
    int deleted = 0;
    {
        CountedMenu top(deleted);
        auto *middle = new CountedMenu(deleted);
        auto *bottom = new CountedMenu(deleted);
        EXPECT_TRUE(middle->appendSubmenu(0, bottom, podoStr("bottom")));
        EXPECT_TRUE(top.appendSubmenu(0, middle, podoStr("middle")));
        // Handing one over twice, or a menu to itself or to one inside it, would delete it twice.
        EXPECT_FALSE(top.appendSubmenu(0, middle, podoStr("again")));
        EXPECT_FALSE(bottom->appendSubmenu(0, &top, podoStr("loop")));
        EXPECT_FALSE(top.appendSubmenu(0, &top, podoStr("self")));
        EXPECT_FALSE(top.appendSubmenu(0, nullptr, podoStr("none")));
        EXPECT_EQ(top.itemCount(), 1);
        EXPECT_EQ(deleted, 0);
    }
    EXPECT_EQ(deleted, 3);
}

namespace {

struct Seen {
    std::vector<Row> top, sub;
    int32_t x, y;
};
Seen seen;
uint32_t answer = 0;

uint32_t chooser(const podoMenu &menu, int32_t x, int32_t y)
{
    seen = {rows(menu), rows(*menu.itemAt(1).submenu), x, y};
    return answer;
}

} // namespace

TEST(Menu, TrackAsksTheChooserOrIsDismissed)
{
    podoWnd owner;
    podoMenu menu(&owner);
    menu.addItem(0, 1203, podoStr("&Learn\tCtrl+L"));
    auto *sub = new podoMenu(&owner);
    sub->addItem(0x04, 7, podoStr("seven"));
    menu.appendSubmenu(0, sub, podoStr("More"));

    EXPECT_EQ(menu.track(10, 20, false), 0u) << "no chooser and no window system: dismissed";

    MenuChooser previous = setMenuChooser(chooser);
    answer = 1203;
    EXPECT_EQ(menu.track(10, 20, false), 1203u);
    EXPECT_EQ(seen.top[0], (Row{"&Learn\tCtrl+L", 1203, 0}));
    EXPECT_EQ(seen.sub, (std::vector<Row>{{"seven", 7, itemChecked | itemDefault}}));
    EXPECT_EQ(seen.x, 10);
    EXPECT_EQ(seen.y, 20);
    answer = 0x12345;
    EXPECT_EQ(menu.track(0, 0, false), 0x2345u) << "16 bits";
    setMenuChooser(previous);
}
