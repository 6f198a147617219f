// Level meters, movie bitmaps and areas: what they draw for a value, and the clicks they report.
#include "editor-framework/controls/vgcDisplays.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "editorTestSupport.h"
#include "gui/CBitmap.h"
#include "gui/CSlider.h"
#include "gui/CViewContainer.h"

#include <gtest/gtest.h>

using namespace qgui;
using namespace edtest;

namespace {

// A meter image: unlit red and lit green halves, stacked (horizontal meter) or side by side (vertical).
CBitmap *meterBitmap(TempDir &dir, bool horizontal)
{
    const int w = horizontal ? 100 : 20, h = horizontal ? 20 : 100;
    writePng(dir.file("meter.png"), w, h, [&](cairo_t *cr) {
        cairo_set_source_rgb(cr, 1, 0, 0);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0, 1, 0);
        cairo_rectangle(cr, horizontal ? 0 : w / 2, horizontal ? h / 2 : 0, w, h);
        cairo_fill(cr);
    });
    return new CBitmap(dir.file("meter.png"));
}

} // namespace

TEST(LevelMeter, TheLitPartFollowsTheValueInTheMetersDirection)
{
    struct Case {
        const char *name;
        bool horizontal;
        int32_t style;
        float value;
        double split;
        std::vector<std::pair<int, bool>> probes; // position along the meter, lit
    };
    const Case cases[] = {
        {"bottom up, half", false, kVertical | kBottom, 0.5f, 49, {{48, false}, {49, true}, {99, true}}},
        {"bottom up, empty", false, kVertical | kBottom, 0.0f, 100, {{0, false}, {99, false}}},
        {"bottom up, full", false, kVertical | kBottom, 1.0f, 0, {{0, true}, {99, true}}},
        {"top down, half", false, kVertical | kTop, 0.5f, 49, {{10, true}, {48, true}, {60, false}}},
        {"left to right, half", true, kHorizontal | kLeft, 0.5f, 49, {{10, true}, {60, false}}},
        {"left to right, full", true, kHorizontal | kLeft, 1.0f, 100, {{0, true}, {99, true}}},
        {"right to left, quarter", true, kHorizontal, 0.25f, 74, {{10, false}, {73, false}, {80, true}}},
        {"beyond the range", true, kHorizontal | kLeft, 1.5f, 100, {{99, true}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Frame frame;
        CBitmap *image = meterBitmap(dir, c.horizontal);
        const CRect r = c.horizontal ? CRect(0, 0, 100, 10) : CRect(0, 0, 10, 100);
        auto *meter = frame.add(new vgcLvMeter(r, nullptr, 1, image, c.style));
        image->forget();
        EXPECT_EQ(meter->getNbLed(), 100) << "a step per pixel";
        meter->setValue(c.value);
        meter->setValueRaw(c.value);
        EXPECT_EQ(meter->splitPosition(), c.split);
        for (auto [at, lit] : c.probes) {
            const CColor pixel = c.horizontal ? frame.pixel(at, 5) : frame.pixel(5, at);
            EXPECT_EQ(pixel, lit ? kGreenCColor : kRedCColor) << "at " << at;
        }
    }
}

TEST(MovieBitmap, ANegativeValueHidesTheFrameButNotTheValueLabel)
{
    TempDir dir;
    writeStrip(dir.file("movie.png"), 40, 40, 5);
    auto *strip = new CBitmap(dir.file("movie.png"));
    Frame frame;
    RecordingListener listener;
    auto *movie = frame.add(new vgcMovieBitmap(CRect(0, 0, 40, 40), &listener, 2, strip, 5, 40));
    strip->forget();
    movie->setValue(0.6f);
    EXPECT_EQ(frame.pixel(5, 5), grey(40)) << "frame 2 of 5";
    movie->showValueLabel(1, 40, 20);
    movie->getValueLabel()->setPartText("MMMMMM", 0);
    movie->setValueRaw(-1.0f);
    movie->invalid();
    EXPECT_EQ(frame.pixel(5, 5), kBlackCColor) << "the frame behind shows";
    int lit = 0;
    for (int x = 20; x < 40; ++x)
        for (int y = 20; y < 40; ++y)
            lit += frame.pixel(x, y).red > 128;
    EXPECT_GT(lit, 0) << "the value label is still drawn";

    movie->setValue(0.25f);
    frame.off->click(CPoint(5, 5));
    EXPECT_EQ(listener.values(), std::vector<float>{0.25f}) << "a click reports the unchanged value";
}

TEST(Area, AnAreaFillsItsColourOrNothingAndReportsItsClicks)
{
    Frame frame;
    RecordingListener listener;
    auto *clear = frame.add(new vgcArea(CRect(0, 0, 20, 20), &listener, 5, CColor{255, 255, 255, 0}));
    auto *panel = frame.add(new vgcArea(CRect(30, 0, 50, 20), &listener, 6, kBlueCColor));
    EXPECT_TRUE(clear->getTransparency());
    EXPECT_FALSE(panel->getTransparency());
    EXPECT_EQ(frame.pixel(10, 10), kBlackCColor);
    EXPECT_EQ(frame.pixel(40, 10), kBlueCColor);
    frame.off->click(CPoint(10, 10));
    frame.off->click(CPoint(10, 10), kRButton);
    frame.off->click(CPoint(10, 10));
    EXPECT_EQ(listener.values(), (std::vector<float>{3, -4})) << "the right-button signal blocks the next click";
    EXPECT_EQ(listener.reports[0].tag, 5);
}

// A value label reaching beyond its control (an assignment over a short fader) is drawn in full, over
// the neighbour drawn after the control, and a change of it repaints all of it.
TEST(ValueLabel, ALabelBeyondItsControlIsDrawnInFullOverItsNeighbours)
{
    Frame frame;
    auto *container = frame.add(new CViewContainer(CRect(0, 0, 200, 100)));
    container->setBackgroundColor(kBlackCColor);
    auto *fader = new vgcTextLabel(CRect(50, 40, 60, 45), nullptr, 2, nullptr, 1, 0);
    container->addView(fader);
    auto *neighbour = new vgcArea(CRect(60, 20, 120, 70), nullptr, 3, kBlueCColor);
    container->addView(neighbour);
    fader->showValueLabel(2, 40, 9);
    fader->getValueLabel()->setPartText("MMM", 0);
    fader->getValueLabel()->setPartText("MMM", 1);
    fader->invalid();
    auto lit = [&](int x0, int x1, int y0, int y1, int channel) {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            for (int y = y0; y < y1; ++y) {
                const CColor p = frame.pixel(x, y);
                const int c[3] = {p.red, p.green, p.blue};
                n += c[channel] > 200 && c[(channel + 2) % 3] < 80;
            }
        return n;
    };
    // Part 0 (yellow) beside the control, over the neighbour; part 1 (cyan) below it.
    EXPECT_GT(lit(60, 90, 39, 50, 0), 3) << "part 0 over the neighbour";
    EXPECT_GT(lit(50, 90, 49, 59, 1), 3) << "part 1 below the control";
    // A change repaints the whole label, also where it lies beyond the control.
    fader->getValueLabel()->clearParts();
    fader->invalid();
    EXPECT_EQ(lit(50, 90, 39, 59, 0), 0);
    EXPECT_EQ(lit(50, 90, 39, 59, 1), 0);
    EXPECT_EQ(frame.pixel(70, 44), kBlueCColor);
}
