// The controls' library behaviour: values, buttons, knob and slider modes, meters, labels.
#include "gui/gui.h"
#include "guiTestSupport.h"

#include <gtest/gtest.h>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace control_test {

using namespace qgui;
using namespace qgui::test;

namespace {

struct Listener : IControlListener {
    std::vector<float> values;
    int begins = 0, ends = 0;
    void valueChanged(CControl* c) override { values.push_back(c->getValue()); }
    void controlBeginEdit(CControl*) override { ++begins; }
    void controlEndEdit(CControl*) override { ++ends; }
};

struct Editor : VSTGUIEditorInterface {
    int32_t knobMode = kCircularMode;
    std::vector<std::pair<char, int32_t>> edits;
    int32_t getKnobMode() const override { return knobMode; }
    void beginEdit(int32_t index) override { edits.push_back({'b', index}); }
    void endEdit(int32_t index) override { edits.push_back({'e', index}); }
};

// A strip bitmap of `frames` frames, each w × h logical pixels, frame i grey 10 × i.
CBitmap* strip(TempDir& dir, int w, int h, int frames) {
    std::string file = dir.file("strip" + std::to_string(frames) + ".png");
    writeStrip(file, w, h, frames);
    return new CBitmap(file);
}

uint8_t grey(COffscreenPlatform* off, int x, int y) { return off->getPixel(x, y).red; }

}  // namespace

TEST(Control, SetValueClampsAndTheRawSetterDoesNot) {
    CControl c(CRect(0, 0, 10, 10));
    struct Case { float in, out; } cases[] = {{0.3f, 0.3f}, {-1.f, 0.f}, {2.f, 1.f}, {NAN, 0.f}};
    for (const auto& k : cases) {
        c.setValue(k.in);
        EXPECT_EQ(c.getValue(), k.out) << k.in;
    }
    c.setValueRaw(5.4f);
    EXPECT_EQ(c.getValue(), 5.4f);
    c.bounceValue();
    EXPECT_EQ(c.getValue(), 1.f);
}

TEST(Control, DirtyWhileTheValueDiffersFromTheOneLastDrawn) {
    OffscreenFrame f(20, 20);
    auto* c = new CControl(CRect(0, 0, 10, 10));
    f->addView(c);
    f->idle();
    EXPECT_FALSE(c->isDirty());
    c->setValue(0.7f);
    EXPECT_TRUE(c->isDirty());
    f->idle();
    EXPECT_FALSE(c->isDirty());
    EXPECT_EQ(c->getOldValue(), 0.7f);
}

TEST(Control, EditsNestAndReachTheEditorWithTheTag) {
    Editor editor;
    Listener l;
    OffscreenFrame f(20, 20, &editor);
    auto* c = new CControl(CRect(0, 0, 10, 10), &l, 42);
    f->addView(c);
    c->beginEdit();
    c->beginEdit();
    EXPECT_TRUE(c->isEditing());
    c->endEdit();
    c->endEdit();
    c->endEdit();  // one too many: ignored
    EXPECT_FALSE(c->isEditing());
    EXPECT_EQ(editor.edits, (std::vector<std::pair<char, int32_t>>{{'b', 42}, {'e', 42}}));
    EXPECT_EQ(l.begins, 1);
    EXPECT_EQ(l.ends, 1);
}

TEST(KickButton, ReportsMaximumThenMinimumOnlyWhenReleasedInside) {
    TempDir dir;
    struct Case {
        const char* name;
        std::function<void(COffscreenPlatform*)> gesture;
        std::vector<float> reported;
    } cases[] = {
        {"click", [](COffscreenPlatform* o) { o->click(CPoint(5, 5)); }, {1, 0}},
        {"released outside",
         [](COffscreenPlatform* o) {
             o->mouseDown(CPoint(5, 5));
             o->mouseMove(CPoint(50, 5), kLButton);
             o->mouseUp(CPoint(50, 5));
         },
         {0}},
        {"out and back in",
         [](COffscreenPlatform* o) {
             o->mouseDown(CPoint(5, 5));
             o->mouseMove(CPoint(50, 5), kLButton);
             o->mouseMove(CPoint(6, 6), kLButton);
             o->mouseUp(CPoint(6, 6));
         },
         {1, 0}},
        {"grab lost",
         [](COffscreenPlatform* o) {
             o->mouseDown(CPoint(5, 5));
             o->mouseCancel();
         },
         {0}},
        {"right button", [](COffscreenPlatform* o) { o->click(CPoint(5, 5), kRButton); }, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Listener l;
        OffscreenFrame f(60, 20);
        CBitmap* bitmap = strip(dir, 10, 10, 2);
        auto* button = new CKickButton(CRect(0, 0, 10, 10), &l, 1, bitmap);
        bitmap->forget();
        f->addView(button);
        c.gesture(f.off);
        EXPECT_EQ(l.values, c.reported);
        EXPECT_FALSE(button->isEditing());
    }
}

TEST(KickButton, ShowsTheSecondFrameWhileHeld) {
    TempDir dir;
    OffscreenFrame f(20, 20);
    CBitmap* bitmap = strip(dir, 10, 10, 2);
    auto* button = new CKickButton(CRect(0, 0, 10, 10), nullptr, 1, bitmap);
    bitmap->forget();
    f->addView(button);
    EXPECT_EQ(grey(f.off, 5, 5), 0);
    f.off->mouseDown(CPoint(5, 5));
    EXPECT_EQ(grey(f.off, 5, 5), 10);
    f.off->mouseUp(CPoint(5, 5));
    EXPECT_EQ(grey(f.off, 5, 5), 0);
}

TEST(OnOffButton, ToggleOnReleaseInsideAndWithSpace) {
    Listener l;
    OffscreenFrame f(60, 20);
    auto* button = new COnOffButton(CRect(0, 0, 10, 10), &l, 1);
    f->addView(button);
    f.off->click(CPoint(5, 5));
    f.off->mouseDown(CPoint(5, 5));
    f.off->mouseUp(CPoint(40, 5));  // released outside: no toggle
    f->setFocusView(button);
    f.off->keyDown({0, VKEY_SPACE, 0});
    EXPECT_EQ(l.values, (std::vector<float>{1, 0}));
    EXPECT_EQ(l.begins, 3);
    EXPECT_EQ(l.ends, 3);
}

TEST(Knob, DragFollowsTheHostsKnobMode) {
    // A 100 × 100 knob at (0, 0): centre (50, 50). The arc starts at 135° and spans 270°.
    struct Case {
        const char* name;
        int32_t mode;
        float start;
        std::vector<std::pair<CPoint, CButtonState>> path;  // press, moves...
        float expected;
    } cases[] = {
        {"linear up 100 px", kLinearMode, 0.2f, {{{50, 50}, kLButton}, {{50, -50}, kLButton}}, 0.7f},
        {"linear right 40 px", kLinearMode, 0.2f, {{{50, 50}, kLButton}, {{90, 50}, kLButton}}, 0.4f},
        {"linear with Shift is 15 times finer", kLinearMode, 0.2f,
         {{{50, 50}, kLButton | kShift}, {{50, -100}, kLButton | kShift}}, 0.25f},
        {"linear, Shift pressed halfway", kLinearMode, 0.f,
         {{{50, 50}, kLButton}, {{50, 30}, kLButton}, {{50, 30}, kLButton | kShift}, {{50, -120}, kLButton | kShift}},
         0.15f},
        {"circular: the angle decides", kCircularMode, 0.f, {{{50, 50 - 40}, kLButton}}, 0.5f},
        {"circular: three o'clock", kCircularMode, 0.f, {{{90, 50}, kLButton}}, 0.833333f},
        {"circular: the gap snaps to the nearer end", kCircularMode, 0.5f, {{{45, 95}, kLButton}}, 0.f},
        {"relative circular: a quarter turn", kRelativCircularMode, 0.1f,
         {{{50, 10}, kLButton}, {{90, 50}, kLButton}}, 0.1f + 90.f / 270.f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Editor editor;
        editor.knobMode = c.mode;
        Listener l;
        OffscreenFrame f(100, 100, &editor);
        auto* knob = new CAnimKnob(CRect(0, 0, 100, 100), &l, 7, nullptr);
        knob->setZoomFactor(15);
        knob->setValue(c.start);
        f->addView(knob);
        f.off->mouseDown(c.path[0].first, c.path[0].second);
        for (size_t i = 1; i < c.path.size(); ++i) f.off->mouseMove(c.path[i].first, c.path[i].second);
        f.off->mouseUp(c.path.back().first, c.path.back().second);
        EXPECT_NEAR(knob->getValue(), c.expected, 1e-4);
        EXPECT_FALSE(knob->isEditing());
    }
}

TEST(Knob, WheelStepsByTheIncrementAndControlClickResets) {
    Listener l;
    OffscreenFrame f(40, 40);
    auto* knob = new CAnimKnob(CRect(0, 0, 40, 40), &l, 7, nullptr);
    knob->setWheelInc(0.05f);
    knob->setDefaultValue(0.5f);
    f->addView(knob);
    f.off->wheel(CPoint(10, 10), 2);
    f.off->wheel(CPoint(10, 10), -1, kShift);
    EXPECT_NEAR(knob->getValue(), 0.095f, 1e-6);
    f.off->click(CPoint(10, 10), kLButton | kControl);
    EXPECT_EQ(knob->getValue(), 0.5f);
    EXPECT_EQ(l.values.size(), 3u);
}

TEST(AnimKnob, FrameForValueIsTheIntegerPartOfValueTimesFramesMinusOne) {
    TempDir dir;
    struct Case { float value; bool inverse; int frame; } cases[] = {
        {0.f, false, 0}, {0.24f, false, 0}, {0.26f, false, 1}, {0.74f, false, 2}, {1.f, false, 4}, {1.f, true, 0}, {0.26f, true, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << (c.inverse ? " inverted" : ""));
        OffscreenFrame f(20, 20);
        CBitmap* bitmap = strip(dir, 10, 10, 5);
        auto* knob = new CAnimKnob(CRect(0, 0, 10, 10), nullptr, 1, bitmap);
        bitmap->forget();
        EXPECT_EQ(knob->getNumSubPixmaps(), 5);
        knob->setInverseBitmap(c.inverse);
        knob->setValue(c.value);
        f->addView(knob);
        EXPECT_EQ(knob->getFrameIndex(), c.frame);
        EXPECT_EQ(grey(f.off, 5, 5), 10 * c.frame);
    }
}

TEST(Slider, HandleGeometryFollowsValueStyleAndOffset) {
    // 100 wide, handle 10 wide, positions 5 and 94: travel 89.
    TempDir dir;
    writePng(dir.file("h.png"), 10, 6, [](cairo_t* cr) { cairo_set_source_rgb(cr, 1, 1, 1); cairo_paint(cr); });
    auto* handle = new CBitmap(dir.file("h.png"));
    CSlider s(CRect(10, 20, 110, 40), nullptr, 1, 5, 94, handle, nullptr, CPoint(), kLeft | kHorizontal);
    s.setOffsetHandle(CPoint(0, 7));
    EXPECT_EQ(s.getRangeHandle(), 89);
    s.setValue(0.5f);
    EXPECT_EQ(s.getHandleRect(), CRect(54, 27, 64, 33));  // 10 + 44
    s.setStyle(kRight | kHorizontal);
    EXPECT_EQ(s.getHandleRect().left, 10 + 44);
    s.setValue(1.f);
    EXPECT_EQ(s.getHandleRect().left, 10);
    // Vertical, maximum at the top (kBottom).
    CSlider v(CRect(0, 0, 20, 100), nullptr, 1, 0, 90, nullptr, nullptr, CPoint(), kBottom | kVertical);
    v.setHandle(handle);
    v.setValue(1.f);
    EXPECT_EQ(v.getHandleRect().top, 0);
    v.setValue(0.f);
    EXPECT_EQ(v.getHandleRect(), CRect(0, 90, 10, 96));
    handle->forget();
}

TEST(Slider, ModesDecideWhatAPressAndADragDo) {
    // Horizontal slider 100 wide at (0, 0), handle 10 × 10, travel 90; starts at 0.5 (handle 45..55).
    struct Case {
        const char* name;
        CSlider::Mode mode;
        std::vector<std::pair<CPoint, CButtonState>> path;
        float expected;
    } cases[] = {
        {"free click: the handle's centre jumps to the pointer", CSlider::kFreeClickMode, {{{95, 5}, kLButton}}, 1.f},
        {"free click, then drag", CSlider::kFreeClickMode, {{{23, 5}, kLButton}, {{32, 5}, kLButton}}, 0.3f},
        {"touch: a press beside the handle does nothing", CSlider::kTouchMode,
         {{{10, 5}, kLButton}, {{90, 5}, kLButton}}, 0.5f},
        {"touch: the grabbed handle follows the pointer", CSlider::kTouchMode,
         {{{47, 5}, kLButton}, {{65, 5}, kLButton}}, 0.7f},
        {"relative: moves by the pointer's movement", CSlider::kRelativeTouchMode,
         {{{50, 5}, kLButton}, {{59, 5}, kLButton}}, 0.6f},
        {"relative: a press beside the handle is ignored", CSlider::kRelativeTouchMode,
         {{{80, 5}, kLButton}, {{90, 5}, kLButton}}, 0.5f},
        {"Shift drags ten times finer", CSlider::kFreeClickMode,
         {{{50, 5}, kLButton | kShift}, {{50, 5}, kLButton | kShift}, {{140, 5}, kLButton | kShift}}, 0.6f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Listener l;
        OffscreenFrame f(150, 20);
        auto* s = new CSlider(CRect(0, 0, 100, 10), &l, 1, 0, 90, nullptr, nullptr);
        auto* handle = new CBitmap(10, 10);
        s->setHandle(handle);
        handle->forget();
        s->setMode(c.mode);
        s->setValue(0.5f);
        f->addView(s);
        f.off->mouseDown(c.path[0].first, c.path[0].second);
        for (size_t i = 1; i < c.path.size(); ++i) f.off->mouseMove(c.path[i].first, c.path[i].second);
        f.off->mouseUp(c.path.back().first, c.path.back().second);
        EXPECT_NEAR(s->getValue(), c.expected, 1e-5);
        if (c.expected != 0.5f) {
            EXPECT_FALSE(l.values.empty());
        }
    }
}

TEST(VuMeter, LightsThePartTheValueCovers) {
    TempDir dir;
    writePng(dir.file("on.png"), 10, 100, [](cairo_t* cr) { cairo_set_source_rgb(cr, 1, 1, 1); cairo_paint(cr); });
    auto* on = new CBitmap(dir.file("on.png"));
    OffscreenFrame f(10, 100);
    auto* meter = new CVuMeter(CRect(0, 0, 10, 100), on, nullptr, 100, kVertical);
    on->forget();
    f->addView(meter);
    meter->setValue(0.25f);
    EXPECT_EQ(grey(f.off, 5, 74), 0);
    EXPECT_EQ(grey(f.off, 5, 75), 255);
    meter->setDecreaseStepValue(0.1f);
    meter->setValue(0.f);  // falls by at most 0.1
    EXPECT_NEAR(meter->getValue(), 0.15f, 1e-6);
}

TEST(MovieBitmap, ShowsTheRoundedFrame) {
    TempDir dir;
    OffscreenFrame f(10, 10);
    CBitmap* bitmap = strip(dir, 10, 10, 5);
    auto* movie = new CMovieBitmap(CRect(0, 0, 10, 10), nullptr, 1, bitmap);
    bitmap->forget();
    f->addView(movie);
    struct Case { float v; int frame; } cases[] = {{0.f, 0}, {0.6f, 2}, {0.63f, 3}, {1.f, 4}};
    for (const auto& c : cases) {
        movie->setValue(c.v);
        EXPECT_EQ(grey(f.off, 5, 5), 10 * c.frame) << c.v;
    }
}

TEST(TextLabel, TruncatesTheTextThatDoesNotFit) {
    auto* font = new CFontDesc("DejaVu Sans", 10);
    CTextLabel label(CRect(0, 0, 40, 12), "A rather long label text");
    label.setFont(font);
    font->forget();
    EXPECT_TRUE(label.getTruncatedText().empty());
    label.setTextTruncateMode(CTextLabel::kTruncateTail);
    const std::string& t = label.getTruncatedText();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t.substr(t.size() - 2), "..");
    EXPECT_EQ(t.substr(0, 2), "A ");
    EXPECT_LE(CDrawContext::measureString(label.getFont(), t), 40);
    label.setTextTruncateMode(CTextLabel::kTruncateHead);
    EXPECT_EQ(label.getTruncatedText().substr(0, 2), "..");
    label.setText("Short");
    EXPECT_TRUE(label.getTruncatedText().empty());
}

TEST(ScrollView, ScrollbarValueMovesTheContentForDrawingAndClicks) {
    OffscreenFrame f(100, 100);
    auto* scroll = new CScrollView(CRect(0, 0, 100, 100), CRect(0, 0, 97, 300), CScrollView::kVerticalScrollbar, 3);
    auto* row = new RecordingView(CRect(0, 250, 97, 270));
    row->fill = kRedCColor;
    scroll->addView(row);
    f->addView(scroll);
    EXPECT_EQ(scroll->getVerticalScrollbar()->getViewSize(), CRect(97, 0, 100, 100));
    EXPECT_NE(f.off->getPixel(10, 55), kRedCColor);
    scroll->getVerticalScrollbar()->setValue(1.f);
    scroll->valueChanged(scroll->getVerticalScrollbar());
    EXPECT_EQ(scroll->getScrollOffset(), CPoint(0, 200));
    EXPECT_EQ(f.off->getPixel(10, 55), kRedCColor);
    f.off->click(CPoint(10, 55));
    ASSERT_EQ(row->count("down"), 1);
    EXPECT_EQ(row->events[0].where, CPoint(10, 255));
    scroll->getVerticalScrollbar()->setWheelInc(0.5f);
    f.off->wheel(CPoint(98, 50), 1);  // on the scrollbar
    EXPECT_EQ(scroll->getScrollOffset(), CPoint(0, 100));
    scroll->makeRectVisible(CRect(0, 0, 10, 10));
    EXPECT_EQ(scroll->getScrollOffset(), CPoint(0, 0));
}

} // namespace control_test
