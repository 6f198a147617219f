// Knobs, sliders and faders: the double-click signal, the fader's handle travel and its lit track.
#include "editor-framework/controls/vgcKnobs.h"
#include "editorTestSupport.h"
#include "gui/CBitmap.h"

#include <gtest/gtest.h>

using namespace qgui;
using namespace edtest;

namespace {

// A track image of two fader-sized halves: unlit red and lit green, stacked or side by side.
CBitmap *trackBitmap(TempDir &dir, int w, int h, bool stacked)
{
    const std::string file = dir.file("track.png");
    writePng(file, stacked ? w : 2 * w, stacked ? 2 * h : h, [&](cairo_t *cr) {
        cairo_set_source_rgb(cr, 1, 0, 0);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0, 1, 0);
        cairo_rectangle(cr, stacked ? 0 : w, stacked ? h : 0, w, h);
        cairo_fill(cr);
    });
    return new CBitmap(file);
}

CBitmap *handleBitmap(TempDir &dir, int w, int h)
{
    writeSolidPng(dir.file("handle.png"), w, h, kBlueCColor);
    return new CBitmap(dir.file("handle.png"));
}

} // namespace

TEST(Knob, ADoubleClickReportsFivePlusTheValueAndLeavesTheValue)
{
    const CRect r(0, 0, 40, 40);
    struct Case {
        const char *name;
        std::function<CControl *(IControlListener *)> make;
    };
    const Case cases[] = {
        {"knob", [&](IControlListener *l) { return new vgcAnimKnob(r, l, 1, nullptr, 1); }},
        {"slider",
         [&](IControlListener *l) { return new vgcSlider(r, l, 1, nullptr, nullptr, 0, 39, kHorizontal | kLeft); }},
        {"fader", [&](IControlListener *l) { return new vgcFader(r, l, 1, nullptr, nullptr, kVertical | kBottom); }},
        {"multi fader", [&](IControlListener *l) { return new vgcMultiFaderComponent(r, l, 1, nullptr); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Frame frame;
        RecordingListener listener;
        CControl *control = frame.add(c.make(&listener));
        control->setValue(0.3f);
        frame.off->mouseDown(CPoint(39, 20), kLButton | kDoubleClick);
        frame.off->mouseUp(CPoint(39, 20));
        ASSERT_EQ(listener.reports.size(), 1u);
        EXPECT_FLOAT_EQ(listener.reports[0].value, 5.3f);
        EXPECT_NEAR(control->getValue(), 0.3f, 1e-6) << "5 taken off again";
    }

    // Without a listener the press is the toolkit's: the knob follows the angle of the pointer.
    Frame frame;
    auto *knob = frame.add(new vgcAnimKnob(r, nullptr, 1, nullptr, 1));
    knob->setMouseEnabled(true);
    knob->setValue(0.3f);
    frame.off->mouseDown(CPoint(39, 20), kLButton | kDoubleClick);
    frame.off->mouseUp(CPoint(39, 20));
    EXPECT_NEAR(knob->getValue(), 225.0f / 270.0f, 1e-3);
}

// The circular mode (the default without the host's knob mode): a click jumps to the pointer's angle, but
// the double click that opens value entry reports the value the knob had before its first click.
TEST(Knob, ADoubleClickInTheCircularModeKeepsTheValueBeforeItsFirstClick)
{
    Frame frame;
    RecordingListener listener;
    auto *knob = frame.add(new vgcAnimKnob(CRect(0, 0, 40, 40), &listener, 1, nullptr, 1));
    knob->setValue(0.3f);
    ASSERT_EQ(knob->getKnobMode(), kCircularMode);
    frame.off->mouseDown(CPoint(39, 20));
    frame.off->mouseUp(CPoint(39, 20));
    EXPECT_NEAR(knob->getValue(), 225.0f / 270.0f, 1e-3) << "a single click jumps";
    listener.reports.clear();
    frame.off->mouseDown(CPoint(39, 20), kLButton | kDoubleClick);
    frame.off->mouseUp(CPoint(39, 20));
    ASSERT_FALSE(listener.reports.empty());
    EXPECT_FLOAT_EQ(listener.reports.back().value, 5.3f) << "the entry opens on the value before the first click";
    EXPECT_NEAR(knob->getValue(), 0.3f, 1e-6);

    // A later single click, then a drag-free double click elsewhere in time: only the press just before
    // the double click is undone.
    knob->setValue(0.5f);
    frame.off->mouseDown(CPoint(1, 20), kLButton | kDoubleClick);
    frame.off->mouseUp(CPoint(1, 20));
    EXPECT_NEAR(knob->getValue(), 0.5f, 1e-6) << "no first click to undo";
}

TEST(Knob, TheKnobShowsTheFrameOfItsValue)
{
    TempDir dir;
    writeStrip(dir.file("knob.png"), 10, 10, 5);
    auto *strip = new CBitmap(dir.file("knob.png"));
    Frame frame;
    auto *knob = frame.add(new vgcAnimKnob(CRect(0, 0, 10, 10), nullptr, 1, strip, 5));
    strip->forget();
    EXPECT_TRUE(knob->getTransparency());
    EXPECT_FLOAT_EQ(knob->getZoomFactor(), 15.0f);
    for (auto [value, shown] : {std::pair{0.0f, 0}, {0.3f, 1}, {0.99f, 3}, {1.0f, 4}}) {
        knob->setValue(value);
        EXPECT_EQ(frame.pixel(5, 5), grey(20 * shown)) << value;
    }
}

TEST(Fader, TheHandleTravelsInsideTheFaderAndTheTrackIsLitUpToIt)
{
    TempDir dir;
    Frame frame;
    CBitmap *track = trackBitmap(dir, 100, 20, true);
    CBitmap *handle = handleBitmap(dir, 10, 8);
    auto *fader = frame.add(new vgcFader(CRect(0, 0, 100, 20), nullptr, 1, track, handle, kHorizontal | kLeft));
    EXPECT_EQ(fader->getMinPos(), 5);
    EXPECT_EQ(fader->getMaxPos(), 94);
    EXPECT_EQ(fader->getRangeHandle(), 89);
    EXPECT_EQ(fader->getOffsetHandle(), CPoint(0, 6)) << "centred across the fader";
    fader->setValue(0.5f);
    EXPECT_EQ(fader->handleRect(), CRect(44, 6, 54, 14));
    EXPECT_EQ(frame.pixel(43, 2), kGreenCColor) << "lit up to the handle";
    EXPECT_EQ(frame.pixel(44, 2), kRedCColor);
    EXPECT_EQ(frame.pixel(80, 2), kRedCColor);
    EXPECT_EQ(frame.pixel(48, 10), kBlueCColor);

    auto *upright = new vgcFader(CRect(150, 0, 170, 100), nullptr, 2, trackBitmap(dir, 20, 100, false),
                                 handleBitmap(dir, 8, 10), kVertical | kBottom);
    upright->getBackground()->forget();
    upright->getHandle()->forget();
    frame.add(upright);
    upright->setValue(1.0f);
    EXPECT_EQ(upright->handleRect(), CRect(6, 0, 14, 10)) << "the maximum at the top";
    EXPECT_EQ(frame.pixel(152, 50), kGreenCColor);
    EXPECT_EQ(frame.pixel(152, 99), kGreenCColor) << "the whole track lit";
    EXPECT_EQ(frame.pixel(160, 5), kBlueCColor);
    upright->setValue(0.0f);
    EXPECT_EQ(frame.pixel(152, 50), kRedCColor);
    EXPECT_EQ(frame.pixel(160, 95), kBlueCColor);

    // A right-button signal shows the track without the handle.
    upright->setValueRaw(-1.0f);
    upright->invalid();
    EXPECT_EQ(frame.pixel(160, 95), kGreenCColor);
    track->forget();
    handle->forget();
}

TEST(Fader, AMultiFaderMovesOnlyWhenGrabbedAtItsHandle)
{
    TempDir dir;
    Frame frame;
    RecordingListener listener;
    CBitmap *handle = handleBitmap(dir, 10, 10);
    auto *fader = frame.add(new vgcMultiFaderComponent(CRect(0, 0, 100, 10), &listener, 1, handle));
    handle->forget();
    EXPECT_EQ(fader->getBackground(), nullptr);
    frame.off->mouseDown(CPoint(50, 5));
    frame.off->mouseMove(CPoint(60, 5), kLButton);
    frame.off->mouseUp(CPoint(60, 5));
    EXPECT_TRUE(listener.reports.empty()) << "beside the handle";
    frame.off->mouseDown(CPoint(5, 5));
    frame.off->mouseMove(CPoint(50, 5), kLButton);
    frame.off->mouseUp(CPoint(50, 5));
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_NEAR(fader->getValue(), 45.0f / 89.0f, 1e-5);
}
