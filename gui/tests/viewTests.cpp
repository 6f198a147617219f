// Views, containers and the frame: hit testing, capture, clipping, zoom, dirty repaint, focus and keys.
#include "guiTestSupport.h"

#include <gtest/gtest.h>

using namespace qgui;
using namespace qgui::test;

namespace {

// A frame with an opaque full-size area at the bottom and a transparent page above it holding a button.
struct PageFixture {
    OffscreenFrame f{100, 100};
    RecordingView* area = new RecordingView(CRect(0, 0, 100, 100));
    CViewContainer* page = new CViewContainer(CRect(20, 20, 100, 100));
    RecordingView* button = new RecordingView(CRect(10, 10, 30, 30));  // frame 30..50
    PageFixture() {
        f->addView(area);
        page->setTransparency(true);
        page->addView(button);
        f->addView(page);
    }
};

}  // namespace

TEST(ViewHitTest, PressGoesThroughTransparentPagesToTheViewsBelow) {
    struct Case {
        const char* name;
        CPoint where;
        bool pageTransparent;
        bool buttonHandles;
        int areaDowns, buttonDowns;
    } cases[] = {
        {"on the button", {35, 35}, true, true, 0, 1},
        {"beside the button, page transparent", {80, 80}, true, true, 1, 0},
        {"beside the button, page opaque", {80, 80}, false, true, 0, 0},
        {"outside the page", {5, 5}, true, true, 1, 0},
        {"transparent button that does not handle", {35, 35}, true, false, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PageFixture p;
        p.page->setTransparency(c.pageTransparent);
        if (!c.buttonHandles) {
            p.button->downResult = kMouseEventNotHandled;
            p.button->setTransparency(true);
        }
        p.f.off->click(c.where);
        EXPECT_EQ(p.area->count("down"), c.areaDowns);
        EXPECT_EQ(p.button->count("down"), c.buttonDowns);
    }
}

TEST(ViewHitTest, HiddenAndMouseDisabledViewsAreSkippedAndOpacityCountsPerContainer) {
    PageFixture p;
    p.button->setVisible(false);
    p.f.off->click(CPoint(35, 35));
    EXPECT_TRUE(p.button->events.empty());
    EXPECT_EQ(p.area->events.size(), 2u);

    PageFixture q;
    q.button->setMouseEnabled(false);
    q.f.off->click(CPoint(35, 35));
    EXPECT_TRUE(q.button->events.empty());
    EXPECT_EQ(q.area->events.size(), 2u);

    PageFixture r;
    // An opaque view that ignores the press ends the search in its page; the transparent page itself then
    // lets the press through to the area below.
    r.button->downResult = kMouseEventNotHandled;
    r.f.off->click(CPoint(35, 35));
    EXPECT_EQ(r.button->count("down"), 1);
    EXPECT_EQ(r.area->count("down"), 1);
}

TEST(ViewMouse, TheViewThatTookThePressGetsMovesAndReleaseInItsParentsCoordinates) {
    PageFixture p;
    p.f.off->mouseDown(CPoint(35, 35));
    p.f.off->mouseMove(CPoint(90, 5), kLButton);
    p.f.off->mouseUp(CPoint(95, 95));
    p.f.off->mouseMove(CPoint(35, 35));  // no press: nobody tracks it
    ASSERT_EQ(p.button->names(), (std::vector<std::string>{"down", "moved", "up"}));
    EXPECT_EQ(p.button->events[0].where, CPoint(15, 15));
    EXPECT_EQ(p.button->events[1].where, CPoint(70, -15));
    EXPECT_EQ(p.button->events[2].where, CPoint(75, 75));
    EXPECT_TRUE(p.area->events.empty());

    PageFixture q;
    q.button->downResult = kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    q.f.off->mouseDown(CPoint(35, 35));
    q.f.off->mouseMove(CPoint(40, 40), kLButton);
    q.f.off->mouseUp(CPoint(40, 40));
    EXPECT_EQ(q.button->names(), (std::vector<std::string>{"down"}));
}

TEST(ViewMouse, CancelEndsTheTrackedPressAsAReleaseFarOutside) {
    PageFixture p;
    p.f.off->mouseDown(CPoint(35, 35));
    p.f.off->mouseCancel();
    p.f.off->mouseUp(CPoint(35, 35));  // the real release arrives later: nobody tracks it any more
    ASSERT_EQ(p.button->names(), (std::vector<std::string>{"down", "up"}));
    EXPECT_FALSE(p.button->getViewSize().pointInside(p.button->events[1].where));
    EXPECT_EQ(p.button->events[1].buttons, 0);
    EXPECT_FALSE(p.f->isMouseTracking());
}

TEST(ViewMouse, ZoomScalesMouseCoordinatesAndWheelGoesToTheViewUnderThePointer) {
    PageFixture p;
    ASSERT_TRUE(p.f->setZoom(2.0));
    EXPECT_EQ(p.f.off->getWidth(), 200);
    p.f.off->click(CPoint(70, 70));     // unzoomed (35, 35)
    p.f.off->click(CPoint(101, 99));    // unzoomed (50.5, 49.5): right of the button
    p.f.off->wheel(CPoint(62, 62), 1);  // unzoomed (31, 31)
    ASSERT_EQ(p.button->names(), (std::vector<std::string>{"down", "up", "wheel"}));
    EXPECT_EQ(p.button->events[0].where, CPoint(15, 15));
    EXPECT_EQ(p.button->events[2].where, CPoint(11, 11));
    EXPECT_EQ(p.area->names(), (std::vector<std::string>{"down", "up"}));
    CPoint where;
    EXPECT_EQ(p.f->getCurrentMouseLocation(where), CPoint(31, 31));
}

TEST(ViewDrawing, EachChildIsClippedToItsOwnRectangle) {
    OffscreenFrame f(60, 20);
    auto* page = new CViewContainer(CRect(10, 0, 60, 20));
    page->setBackgroundColor(kWhiteCColor);
    auto* v = new RecordingView(CRect(10, 5, 20, 15));  // frame 20..30
    v->fill = kRedCColor;
    v->overdraw = true;
    page->addView(v);
    f->addView(page);
    f->idle();
    EXPECT_EQ(f.off->getPixel(20, 5), kRedCColor);
    EXPECT_EQ(f.off->getPixel(29, 14), kRedCColor);
    EXPECT_EQ(f.off->getPixel(30, 10), kWhiteCColor);
    EXPECT_EQ(f.off->getPixel(19, 10), kWhiteCColor);
    EXPECT_EQ(f.off->getPixel(25, 4), kWhiteCColor);
    EXPECT_EQ(f.off->getPixel(5, 10), kBlackCColor);  // the frame's own background
}

TEST(ViewDrawing, IdleRepaintsOnlyWhatIsDirty) {
    OffscreenFrame f(40, 20);
    auto* a = new RecordingView(CRect(0, 0, 20, 20));
    auto* b = new RecordingView(CRect(20, 0, 40, 20));
    a->fill = kRedCColor;
    b->fill = kBlueCColor;
    f->addView(a);
    f->addView(b);
    f->idle();
    int presents = f.off->getPresentCount();
    f->idle();
    EXPECT_EQ(f.off->getPresentCount(), presents);  // nothing dirty, nothing drawn
    b->fill = kGreenCColor;
    a->fill = kGreenCColor;
    b->setDirty();
    f->idle();
    EXPECT_EQ(f.off->getPresentCount(), presents + 1);
    EXPECT_FALSE(b->isDirty());
    EXPECT_EQ(f.off->getPixel(30, 10), kGreenCColor);
    EXPECT_EQ(f.off->getPixel(10, 10), kRedCColor);  // not dirty: not redrawn
    b->setVisible(false);
    f->idle();
    EXPECT_EQ(f.off->getPixel(30, 10), kBlackCColor);
}

TEST(ViewTree, AViewInSeveralContainersBelongsToTheAttachedOne) {
    OffscreenFrame f(100, 100);
    auto* shared = new RecordingView(CRect(0, 0, 10, 10));
    auto* pageA = new CViewContainer(CRect(0, 0, 50, 50));
    auto* pageB = new CViewContainer(CRect(50, 50, 100, 100));
    pageA->addView(shared);
    pageB->addView(shared);  // both hold it; neither took a reference of its own
    f->addView(pageA);
    EXPECT_EQ(shared->getParentView(), pageA);
    EXPECT_EQ(shared->getFrame(), f.frame);
    f->removeView(pageA, false);
    EXPECT_FALSE(shared->isAttached());
    f->addView(pageB);
    EXPECT_EQ(shared->getParentView(), pageB);
    f.off->click(CPoint(55, 55));
    EXPECT_EQ(shared->events.size(), 2u);
    f->removeView(pageB, false);
    pageA->removeAll(false);
    pageB->removeAll(false);
    pageA->forget();
    pageB->forget();
    EXPECT_EQ(shared->getNbReference(), 1);
    shared->forget();
}

TEST(ViewTree, DeepestViewAtAPointMouseEnabledOrNot) {
    PageFixture p;
    p.button->setMouseEnabled(false);
    EXPECT_EQ(p.f->getViewAt(CPoint(35, 35), true), p.button);
    EXPECT_EQ(p.f->getViewAt(CPoint(35, 35), true, true), p.page);
    EXPECT_EQ(p.f->getViewAt(CPoint(35, 35), false), p.page);
    EXPECT_EQ(p.f->getViewAt(CPoint(80, 80), true), p.page);
    EXPECT_EQ(p.f->getViewAt(CPoint(5, 5), true), p.area);
}

TEST(ViewTree, CloseReleasesEveryViewTheFrameHolds) {
    auto* kept = new RecordingView(CRect(0, 0, 10, 10));
    kept->remember();
    {
        OffscreenFrame f(20, 20);
        f->addView(kept);
    }
    EXPECT_EQ(kept->getNbReference(), 1);
    EXPECT_FALSE(kept->isAttached());
    kept->forget();
}

TEST(ViewAttributes, StoredAsBytesByNumber) {
    CView v(CRect(0, 0, 1, 1));
    int32_t value = 76, out = 0;
    uint32_t size = 0;
    EXPECT_FALSE(v.getAttributeSize(3, size));
    ASSERT_TRUE(v.setAttribute(3, sizeof value, &value));
    ASSERT_TRUE(v.getAttributeSize(3, size));
    EXPECT_EQ(size, 4u);
    EXPECT_FALSE(v.getAttribute(3, 2, &out, size));  // buffer too small
    ASSERT_TRUE(v.getAttribute(3, sizeof out, &out, size));
    EXPECT_EQ(out, 76);
    EXPECT_TRUE(v.removeAttribute(3));
    EXPECT_FALSE(v.removeAttribute(3));
}

namespace {

struct Hook : IKeyboardHook {
    int32_t answer = -1;
    std::vector<int32_t> seen;
    int32_t onKeyDown(const VstKeyCode& c, CFrame*) override {
        seen.push_back(c.character);
        return answer;
    }
    int32_t onKeyUp(const VstKeyCode&, CFrame*) override { return -1; }
};

struct FocusView : RecordingView {
    using RecordingView::RecordingView;
    std::vector<int32_t> keys;
    int focusChanges = 0;
    int32_t onKeyDown(VstKeyCode& c) override {
        keys.push_back(c.character);
        return 1;
    }
    void takeFocus() override { ++focusChanges; }
    void looseFocus() override { --focusChanges; }
    bool wantsFocus() const override { return true; }
};

}  // namespace

TEST(ViewKeys, HooksGetTheKeyBeforeTheFocusViewAndTabMovesTheFocus) {
    OffscreenFrame f(40, 20);
    auto* a = new FocusView(CRect(0, 0, 20, 20));
    auto* b = new FocusView(CRect(20, 0, 40, 20));
    f->addView(a);
    f->addView(b);
    Hook hook;
    f->registerKeyboardHook(&hook);
    f->setFocusView(a);
    EXPECT_EQ(a->focusChanges, 1);
    EXPECT_EQ(f.off->keyDown({'x', 0, 0}), 1);
    hook.answer = 1;
    EXPECT_EQ(f.off->keyDown({'y', 0, 0}), 1);
    EXPECT_EQ(hook.seen, (std::vector<int32_t>{'x', 'y'}));
    EXPECT_EQ(a->keys, (std::vector<int32_t>{'x'}));

    hook.answer = -1;
    f->unregisterKeyboardHook(&hook);
    EXPECT_EQ(f->getKeyboardHookCount(), 0u);
    a->keys.clear();
    // A focus view that does not take Tab lets the frame move the focus on.
    struct PassTab : FocusView {
        using FocusView::FocusView;
        int32_t onKeyDown(VstKeyCode& c) override { return c.virt == VKEY_TAB ? -1 : 1; }
    };
    auto* c = new PassTab(CRect(0, 0, 5, 5));
    f->addView(c);
    f->setFocusView(c);
    EXPECT_EQ(f.off->keyDown({0, VKEY_TAB, 0}), 1);
    EXPECT_EQ(f->getFocusView(), a);
    // A press outside the focus view ends the focus.
    f.off->click(CPoint(30, 10));
    EXPECT_EQ(f->getFocusView(), nullptr);
    EXPECT_EQ(a->focusChanges, 0);
    // Removing the focus view clears the focus.
    f->setFocusView(b);
    f->removeView(b);
    EXPECT_EQ(f->getFocusView(), nullptr);
}

TEST(ViewFrame, ZoomAsksTheEditorAndAResizeCanBeRefused) {
    struct Editor : VSTGUIEditorInterface {
        bool allow = true;
        CRect asked;
        bool beforeSizeChange(const CRect& n, const CRect&) override {
            asked = n;
            return allow;
        }
    } editor;
    OffscreenFrame f(745, 595, &editor);
    EXPECT_TRUE(f->setZoom(1.5));
    EXPECT_EQ(editor.asked, CRect(0, 0, 1118, 893));
    EXPECT_EQ(f.off->getWidth(), 1118);
    EXPECT_TRUE(f->setZoom(3.25));  // any factor, above the menu's steps too
    EXPECT_EQ(f.off->getHeight(), 1934);
    editor.allow = false;
    EXPECT_FALSE(f->setZoom(1.0));
    EXPECT_EQ(f->getZoom(), 3.25);
    EXPECT_FALSE(f->setZoom(0));
    EXPECT_EQ(f->getViewSize(), CRect(0, 0, 745, 595));
}
