// Windows, message boxes, menus and the clipboard over a scripted window system.
#include "foundation/podoClipboard.h"
#include "foundation/podoDesktop.h"
#include "foundation/podoMenu.h"
#include "foundation/podoWnd.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

void *const hostWindow = reinterpret_cast<void *>(uintptr_t(0x400001));

// Records what it is asked and answers from its fields.
struct ScriptedDesktop : podo::DesktopLayer {
    std::vector<std::string> calls;
    uintptr_t nextWindow = 0x600001;
    bool visible = true;
    int32_t monitor[4] = {0, 0, 0, 0};
    int32_t monitorResult = 1;
    int32_t windowWidth = 0, windowHeight = 0;
    int32_t boxAnswer = podo::idOk;
    bool clipboardHasText = false;
    std::string clipboard;

    void record(const std::string &call) { calls.push_back(call); }
    static std::string id(void *w) { return std::to_string(reinterpret_cast<uintptr_t>(w)); }

    void *createWindow(void *parent, int32_t x, int32_t y, int32_t w, int32_t h) override
    {
        record("create " + id(parent) + " " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(w) +
               "x" + std::to_string(h));
        return reinterpret_cast<void *>(nextWindow++);
    }
    void destroyWindow(void *w) override { record("destroy " + id(w)); }
    void showWindow(void *w, bool v) override { record((v ? "show " : "hide ") + id(w)); }
    bool isWindowVisible(void *) override { return visible; }
    void updateWindow(void *) override {}
    void bringToFront(void *w) override { record("front " + id(w)); }
    void setWindowBounds(void *w, int32_t x, int32_t y, int32_t width, int32_t height, bool move, bool size) override
    {
        std::string s = "bounds " + id(w);
        if (move)
            s += " at " + std::to_string(x) + "," + std::to_string(y);
        if (size)
            s += " size " + std::to_string(width) + "x" + std::to_string(height);
        record(s);
    }
    bool getWindowSize(void *, int32_t &w, int32_t &h) override
    {
        w = windowWidth;
        h = windowHeight;
        return true;
    }
    int32_t getMonitorRect(void *, int32_t rect[4]) override
    {
        for (int i = 0; i < 4; ++i)
            rect[i] = monitor[i];
        return monitorResult;
    }
    float dpiScale(void *) override { return 1.5f; }
    bool setWindowText(void *w, const podoStr &text) override
    {
        record("title " + id(w) + " " + text.getNarrow());
        return true;
    }
    int32_t messageBox(void *owner, const podoStr &caption, const podoStr &text, int32_t flags) override
    {
        record("box " + id(owner) + " " + caption.getNarrow() + ": " + text.getNarrow() + " flags " +
               std::to_string(flags));
        return boxAnswer;
    }
    uint32_t trackMenu(const podoMenu &menu, void *owner, int32_t x, int32_t y) override
    {
        record("menu " + id(owner) + " " + std::to_string(menu.itemCount()) + " items at " + std::to_string(x) + "," +
               std::to_string(y) + (menu.getScale() > 0 ? " scale " + std::to_string(menu.getScale()).substr(0, 4) : ""));
        return 0x10000 + 42;
    }
    bool getClipboardText(std::string &text) override
    {
        if (clipboardHasText)
            text = clipboard;
        return clipboardHasText;
    }
};

class Desktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous = podo::setDesktopLayer(&desktop);
        podo::setUserInterfaceThread();
    }
    void TearDown() override { podo::setDesktopLayer(previous); }
    ScriptedDesktop desktop;
    podo::DesktopLayer *previous = nullptr;
};

} // namespace

TEST_F(Desktop, OwnedWindowsAreCreatedAndDestroyedReferencedOnesNever)
{
    podoWnd host(hostWindow);
    {
        podoWnd child;
        EXPECT_TRUE(child.create(&host, 5, 6, 70, 80));
        EXPECT_TRUE(child.isOwned());
        podoWnd hidden;
        EXPECT_TRUE(hidden.create(nullptr, 0, 0, 10, 10));
        podoWnd noParent;
        podoWnd orphan;
        EXPECT_FALSE(orphan.create(&noParent, 0, 0, 10, 10)) << "a parent without a window";
        EXPECT_EQ(orphan.handle(), nullptr);
        child.setBounds(1, 2, 3, 4);
        child.move(9, 8);
        child.resize(30, 40);
        EXPECT_TRUE(child.setText(podoStr("Title")));
    }
    podoWnd referenced(hostWindow);
    referenced.attach(nullptr);
    EXPECT_EQ(desktop.calls, (std::vector<std::string>{
                                 "create 4194305 5,6 70x80",
                                 "create 0 0,0 10x10",
                                 "bounds 6291457 at 1,2 size 3x4",
                                 "bounds 6291457 at 9,8",
                                 "bounds 6291457 size 30x40",
                                 "title 6291457 Title",
                                 "destroy 6291458",
                                 "destroy 6291457",
                             }));
    EXPECT_FALSE(referenced.setText(podoStr("none"))) << "no window";
}

TEST_F(Desktop, CenteringOnTheMonitorRoundsTowardZero)
{
    struct Case {
        int32_t monitor[4];
        int32_t width, height;
        const char *move;
    };
    const Case cases[] = {
        {{-1280, 0, 0, 1024}, 301, 201, "bounds 4194305 at -791,411"},
        {{0, 0, 200, 100}, 301, 203, "bounds 4194305 at -50,-51"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.move);
        std::copy(std::begin(c.monitor), std::end(c.monitor), desktop.monitor);
        desktop.windowWidth = c.width;
        desktop.windowHeight = c.height;
        desktop.calls.clear();
        podoWnd window(hostWindow);
        window.centerOnMonitor();
        EXPECT_EQ(desktop.calls, std::vector<std::string>{c.move});
    }
    int32_t width = -1, height = -1, left = -1, top = -1;
    desktop.monitorResult = 0;
    podoWnd window(hostWindow);
    EXPECT_EQ(window.getMonitorRect(&width, &height, &left, &top), 0);
    EXPECT_EQ(std::vector<int32_t>({width, height, left, top}), std::vector<int32_t>({200, 100, 0, 0}));
    desktop.monitorResult = -1;
    EXPECT_EQ(window.getMonitorRect(&width, nullptr, &left, nullptr), 0);
    EXPECT_EQ(width, 0) << "no screen: nothing known";
    EXPECT_FLOAT_EQ(window.dpiScale(), 1.5f);
}

TEST_F(Desktop, MessageBoxesBlockOnlyTheUserInterfaceThread)
{
    podoWnd owner(hostWindow);
    desktop.boxAnswer = podo::idOk;
    EXPECT_TRUE(podo::askError(podoStr("Replace?"), podoStr("/a/b"), podoStr("Kestrane Quorix")));
    desktop.visible = true;
    podo::showError(podoStr("m"), podoStr(""), podoStr("c"), &owner);
    desktop.visible = false;
    podo::showError(podoStr("m"), podoStr(""), podoStr("c"), &owner);
    EXPECT_EQ(desktop.calls, (std::vector<std::string>{
                                 "box 0 Kestrane Quorix: Replace?\n\n/a/b flags " + std::to_string(0x11 | 0x2000 | 0x40000),
                                 "box 4194305 c: m flags " + std::to_string(0x10 | 0x40000),
                                 "box 0 c: m flags " + std::to_string(0x10 | 0x2000 | 0x40000),
                             }));

    // Any other thread (the audio thread above all) never waits: the unanswered answers.
    desktop.calls.clear();
    bool asked = true;
    int32_t shown = 0;
    std::thread other([&] {
        asked = podo::askError(podoStr("m"), podoStr("d"), podoStr("c"));
        shown = podo::showError(podoStr("m"), podoStr("d"), podoStr("c"), nullptr);
    });
    other.join();
    EXPECT_FALSE(asked);
    EXPECT_EQ(shown, podo::idOk);
    EXPECT_TRUE(desktop.calls.empty());

    // No box could be shown (no display): the same answers.
    desktop.boxAnswer = 0;
    EXPECT_FALSE(podo::askError(podoStr("m"), podoStr("d"), podoStr("c")));
    EXPECT_EQ(desktop.calls.size(), 1u);
}

TEST_F(Desktop, MenusAreShownOverTheirOwnersWindow)
{
    podoWnd owner(hostWindow), none;
    podoMenu menu(&owner);
    menu.addItem(0, 1, podoStr("one"));
    EXPECT_EQ(menu.track(3, 4, false), 42u) << "16 bits of the answer";
    podoMenu orphan(&none);
    orphan.addItem(0, 1, podoStr("one"));
    EXPECT_EQ(orphan.track(3, 4, false), 0u) << "no owner window: nothing shown";
    EXPECT_EQ(desktop.calls, (std::vector<std::string>{"front 4194305", "menu 4194305 1 items at 3,4"}));

    // A window drawn at a zoom hands it to its menus, as a zoomed editor's context menus need.
    struct ZoomedWindow : podoWnd {
        using podoWnd::podoWnd;
        float contentScale() const override { return 2.5f; }
    } zoomed(hostWindow);
    podoMenu context(&zoomed);
    context.addItem(0, 1, podoStr("one"));
    desktop.calls.clear();
    context.track(5, 6, false);
    EXPECT_EQ(desktop.calls, (std::vector<std::string>{"front 4194305", "menu 4194305 1 items at 5,6 scale 2.50"}));
}

TEST_F(Desktop, ClipboardTextReachesTheOutputOnlyWhenThere)
{
    podoStr out("untouched");
    EXPECT_FALSE(podo::getClipboardText(&out));
    EXPECT_STREQ(out.getNarrow(), "untouched");
    desktop.clipboardHasText = true;
    desktop.clipboard = "Grüße";
    EXPECT_TRUE(podo::getClipboardText(nullptr)) << "a null output still tells";
    EXPECT_TRUE(podo::getClipboardText(&out));
    EXPECT_EQ(std::u16string(out.getWide()), u"Grüße");
    desktop.clipboard.clear();
    EXPECT_TRUE(podo::getClipboardText(&out));
    EXPECT_STREQ(out.getNarrow(), "");
    podo::setDesktopLayer(nullptr);
    EXPECT_FALSE(podo::getClipboardText(&out)) << "no window system";
}
