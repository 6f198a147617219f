// The XY pad: points placed by value and by dragging, captions kept inside the pad, legends.
#include "editor-framework/controls/vgcTextLabel.h"
#include "editor-framework/controls/vgcXYPad.h"
#include "editorTestSupport.h"

#include <gtest/gtest.h>

using namespace qgui;
using namespace edtest;

TEST(XYPad, PointsArePlacedByValueAndReadBackAsValues)
{
    vgcXYPad pad(CRect(10, 10, 111, 61), nullptr, 1, nullptr);
    pad.setPointCount(2, 0);
    EXPECT_EQ(pad.getPoint(0)->x, -1) << "not placed yet";
    EXPECT_EQ(pad.getPoint(2), nullptr);
    EXPECT_TRUE(pad.setPointValue(0, 0.5f, 0.5f));
    EXPECT_EQ(pad.getPoint(0)->x, 50);
    EXPECT_EQ(pad.getPoint(0)->y, 25);
    float x = -1, y = -1;
    pad.getPointValue(0, &x, &y);
    EXPECT_FLOAT_EQ(x, 0.5f);
    EXPECT_FLOAT_EQ(y, 0.5f);
    EXPECT_FALSE(pad.setPointValue(0, 0.5f, 0.5f)) << "the same place again";
    EXPECT_EQ(pad.getPoint(0)->caption->getViewSize(), CRect(54, 29, 66, 41)) << "centred on the point";

    struct Case {
        int32_t x, y;
        CRect caption;
    };
    const Case pushed[] = {
        {3, 3, CRect(10, 10, 22, 22)},    // pushed right and down to the pad's corner
        {100, 50, CRect(99, 49, 111, 61)}, // pushed back from the right and bottom edges
        {0, 30, CRect(10, 34, 22, 46)},
    };
    for (const Case &c : pushed) {
        EXPECT_TRUE(pad.setPointPosition(1, c.x, c.y));
        EXPECT_EQ(pad.getPoint(1)->caption->getViewSize(), c.caption) << c.x << ", " << c.y;
        EXPECT_EQ(pad.getPoint(1)->caption->getMouseableArea(), c.caption);
    }
}

TEST(XYPad, DraggingAPointReportsItsIndexWithinThePad)
{
    Frame frame;
    RecordingListener listener;
    auto *pad = frame.add(new vgcXYPad(CRect(0, 0, 101, 51), &listener, 1, nullptr));
    pad->setPointCount(4, 0);
    for (int32_t i = 0; i < 4; ++i)
        pad->setPointPosition(i, 10 + 20 * i, 20);
    frame.off->mouseDown(CPoint(50, 20)); // point 2's caption
    EXPECT_EQ(pad->getSelectedPoint(), 2);
    frame.off->mouseMove(CPoint(60, 30), kLButton);
    frame.off->mouseMove(CPoint(500, -40), kLButton);
    frame.off->mouseUp(CPoint(500, -40));
    EXPECT_EQ(listener.values(), (std::vector<float>{0.5f, 0.5f}));
    EXPECT_EQ(pad->getPoint(2)->x, 100) << "held at width - 1";
    EXPECT_EQ(pad->getPoint(2)->y, 0);
    EXPECT_FALSE(pad->isEditing());

    // Presses beside every caption are ignored, the right button too.
    listener.reports.clear();
    frame.off->click(CPoint(5, 45));
    frame.off->click(CPoint(5, 45), kRButton);
    EXPECT_TRUE(listener.reports.empty());
    frame.off->click(CPoint(10, 20), kRButton);
    EXPECT_EQ(listener.values(), std::vector<float>{-1.5f});
    EXPECT_EQ(pad->getSelectedPoint(), 0);
}

TEST(XYPad, TheFirstPointIsDrawnOnTopAndUnplacedPointsNotAtAll)
{
    Frame frame;
    auto *pad = frame.add(new vgcXYPad(CRect(0, 0, 100, 50), nullptr, 1, nullptr));
    pad->setFillColor(grey(40));
    pad->setPointCount(3, 0);
    pad->setPointColors(0, kWhiteCColor, kRedCColor);
    pad->setPointColors(1, kWhiteCColor, kGreenCColor);
    pad->setPointColors(2, kWhiteCColor, kBlueCColor);
    pad->setPointPosition(0, 50, 25);
    pad->setPointPosition(1, 52, 25);
    EXPECT_EQ(frame.pixel(45, 20), kRedCColor);
    EXPECT_EQ(frame.pixel(57, 20), kGreenCColor);
    EXPECT_EQ(frame.pixel(50, 20), kRedCColor);
    EXPECT_EQ(frame.pixel(20, 20), grey(40));
    EXPECT_EQ(frame.pixel(0, 0), grey(40));
    EXPECT_EQ(frame.pixel(5, 5), grey(40)) << "point 2 is not placed: its caption at the corner is not drawn";
    pad->setPointColors(0, kWhiteCColor, CColor{255, 0, 0, 0});
    EXPECT_TRUE(pad->getPoint(0)->caption->getTransparency());
}

TEST(XYPad, LegendsHoldLabelsWithCommonColours)
{
    vgcXYPad pad(CRect(0, 0, 100, 50), nullptr, 1, nullptr);
    pad.setLegendCount(2);
    pad.setLegendLabelCount(0, 3);
    vgcXYPad::tLegend *legend = pad.getLegend(0);
    ASSERT_NE(legend, nullptr);
    ASSERT_EQ(legend->labels.size(), 3u);
    EXPECT_EQ(legend->textColor, kWhiteCColor);
    EXPECT_EQ(legend->backColor, (CColor{255, 255, 255, 0}));
    vgcTextLabel *kept = legend->labels[0];
    pad.setLegendLabelCount(0, 3);
    EXPECT_EQ(pad.getLegend(0)->labels[0], kept) << "the same count keeps the labels";
    pad.setLegendColors(0, kRedCColor, kBlueCColor);
    for (vgcTextLabel *label : pad.getLegend(0)->labels) {
        EXPECT_EQ(label->getPartColor(0), kRedCColor);
        EXPECT_EQ(label->getBackColor(), kBlueCColor);
        EXPECT_FALSE(label->getTransparency());
    }
    EXPECT_EQ(pad.getLegend(1)->labels.size(), 0u);
    pad.setLegendCount(1);
    EXPECT_EQ(pad.getLegend(1), nullptr);
    EXPECT_TRUE(pad.getLegend(0)->labels.empty());
}
