// The envelope display: where it places its faders and the points of the curve it draws.
#include "editor-framework/controls/vgcEnvAR.h"
#include "editor-framework/controls/vgcKnobs.h"
#include "editor-framework/podoSkin.h"
#include "editorTestSupport.h"
#include "gui/CBitmap.h"

#include <gtest/gtest.h>

using namespace qgui;
using namespace edtest;

namespace {

// A display 100 × 50 at (10, 20) over a black background, with faders 32 wide and handles 8 × 8.
struct Envelope {
    TempDir dir;
    CBitmap *background;
    CBitmap *handle;
    vgcMultiFaderComponent *first = nullptr;
    vgcMultiFaderComponent *second;
    vgcEnvAR *display;
    explicit Envelope(bool withFirst)
    {
        writeSolidPng(dir.file("back.png"), 100, 50, kBlackCColor);
        writeSolidPng(dir.file("handle.png"), 8, 8, kBlueCColor);
        background = new CBitmap(dir.file("back.png"));
        handle = new CBitmap(dir.file("handle.png"));
        if (withFirst)
            first = new vgcMultiFaderComponent(CRect(0, 0, 32, 8), nullptr, 1, handle);
        second = new vgcMultiFaderComponent(CRect(0, 0, 32, 8), nullptr, 2, handle);
        display = new vgcEnvAR(CRect(10, 20, 110, 70), background, first, second);
    }
    ~Envelope()
    {
        for (CView *v : std::initializer_list<CView *>{display, first, second})
            if (v)
                v->forget();
        background->forget();
        handle->forget();
    }
};

} // namespace

TEST(Envelope, TheFadersArePlacedAtTheirTimesAndLevels)
{
    Envelope e(true);
    EXPECT_EQ(e.display->getTag(), -1);
    EXPECT_FALSE(e.display->getMouseEnabled());
    EXPECT_EQ(e.first->getViewSize(), CRect(10, 20, 42, 28)) << "both start at time 0 and level 1";
    EXPECT_EQ(e.second->getViewSize(), CRect(19, 20, 51, 28));

    e.display->setTimePoint(0, 1.0f);
    EXPECT_FLOAT_EQ(e.first->getValue(), 1.0f);
    EXPECT_EQ(e.display->getSegment(1).x, 33) << "8 + 1 + 24";
    EXPECT_EQ(e.second->getViewSize(), CRect(43, 20, 75, 28));
    EXPECT_EQ(e.second->getMouseableArea(), e.second->getViewSize());
    EXPECT_EQ(e.second->getOffset(), CPoint(43, 20));

    e.display->setLevel(1, 0.0f);
    EXPECT_EQ(e.second->getViewSize(), CRect(43, 62, 75, 70)) << "level 0 at the bottom";
    e.display->setLevel(0, 0.5f);
    EXPECT_EQ(e.first->getViewSize().top, 20 + 21);
}

TEST(Envelope, TheSecondSegmentFollowsTheCurveTableBackwards)
{
    const float table[6] = {0, 0, 0.1f, 0.5f, 0.9f, 1};
    Envelope e(true);
    e.display->setCurve(table, 4);
    e.display->setLevel(1, 0.0f);
    e.second->setValue(4.5f / 24.0f); // ends 5 pixels after the first segment
    const std::vector<CPoint> expected = {{8, 4},   {8, 4},   {9, 8},  {10, 25},
                                          {11, 42}, {12, 46}, {13, 46}};
    EXPECT_EQ(e.display->curvePoints(), expected);

    // Where the second segment has no length, the path goes straight to its end.
    e.first->setValue(1.0f);
    e.second->setValue(23.5f / 24.0f);
    EXPECT_EQ(e.display->curvePoints(), (std::vector<CPoint>{{32, 4}, {32, 46}}));
}

TEST(Envelope, WithoutAFirstFaderTheSecondSegmentStartsAtTheLeftEdge)
{
    Envelope e(false);
    EXPECT_EQ(e.display->getSegment(1).x, 1);
    EXPECT_EQ(e.display->curvePoints().front(), CPoint(0, 4));
    e.display->setLevel(0, 0.5f);
    EXPECT_EQ(e.display->curvePoints().front(), CPoint(0, 25));
    e.display->setTimePoint(0, 1.0f);
    EXPECT_EQ(e.display->getSegment(1).x, 1) << "no first fader to follow";
}

TEST(Envelope, TheTailLineCarriesTheEndLevelToTheRightEdge)
{
    std::vector<CColor> colours(skinColorCount, kWhiteCColor);
    colours[skinFontHighlight] = kRedCColor;
    vgcSetSkinColors(colours);
    Envelope e(true);
    e.display->setLevel(1, 0.0f); // the line runs along y 46
    Frame frame(200, 100);
    frame.add(e.display);
    e.display->remember();
    auto red = [&] { return std::max(frame.pixel(100, 20 + 45).red, frame.pixel(100, 20 + 46).red); };
    EXPECT_GT(red(), 64);
    e.display->setTailLine(false);
    e.display->invalid();
    EXPECT_EQ(red(), 0);
    EXPECT_EQ(frame.pixel(12, 20 + 4), kBlueCColor) << "the display draws its faders' handles";
}
