// Buttons, switches and the play controls: what a press, a drag and a release report, and the frames
// of the image they show.
#include "editor-framework/controls/vgcButtons.h"
#include "editorTestSupport.h"
#include "gui/CBitmap.h"

#include <gtest/gtest.h>

using namespace qgui;
using namespace edtest;

namespace {

const CPoint inside(20, 20);
const CPoint outside(200, 200);

// A strip image of `frames` frames 40 × 40, frame i grey 20 × i.
CBitmap *stripBitmap(TempDir &dir, int frames)
{
    writeStrip(dir.file("strip.png"), 40, 40, frames);
    return new CBitmap(dir.file("strip.png"));
}

} // namespace

TEST(Button, AKickButtonReportsItsMaximumOnlyWhenReleasedInside)
{
    for (bool releaseInside : {true, false}) {
        SCOPED_TRACE(releaseInside);
        Frame frame;
        RecordingListener listener;
        frame.add(new vgcKickButton(CRect(10, 10, 50, 50), &listener, 1, nullptr));
        frame.off->mouseDown(inside);
        frame.off->mouseMove(releaseInside ? inside : outside, kLButton);
        frame.off->mouseUp(releaseInside ? inside : outside);
        const std::vector<float> expected = releaseInside ? std::vector<float>{1, 0} : std::vector<float>{0};
        EXPECT_EQ(listener.values(), expected);
    }
}

TEST(Button, AnOnOffButtonTogglesOnReleaseAndNeverByKey)
{
    TempDir dir;
    Frame frame;
    RecordingListener listener;
    CBitmap *look = stripBitmap(dir, 2);
    auto *button = frame.add(new vgcOnOffButton(CRect(10, 10, 50, 50), &listener, 1, look));
    look->forget();
    EXPECT_EQ(frame.pixel(20, 20), grey(0));
    frame.off->click(inside);
    EXPECT_EQ(frame.pixel(20, 20), grey(20)) << "the lower half at the maximum";
    frame.off->mouseDown(inside);
    frame.off->mouseUp(outside);
    frame.off->click(inside);
    EXPECT_EQ(listener.values(), (std::vector<float>{1, 0}));

    frame.frame->setFocusView(button);
    EXPECT_EQ(frame.off->keyDown(VstKeyCode{0, VKEY_SPACE, 0}), -1);
    EXPECT_EQ(frame.off->keyDown(VstKeyCode{0, VKEY_RETURN, 0}), -1);
    EXPECT_FLOAT_EQ(button->getValue(), 0.0f);
}

TEST(Button, ASwitchChangesItsLookWhileHeldAndReportsOnlyAReleaseInside)
{
    struct Step {
        enum Kind { Down, Move, Up } kind;
        CPoint where;
        float valueAfter;
    };
    struct Case {
        const char *name;
        float start;
        std::vector<Step> steps;
        std::vector<float> reports;
    };
    const Case cases[] = {
        {"click off", 0, {{Step::Down, inside, 0.33f}, {Step::Up, inside, 1}}, {1}},
        {"click on", 1, {{Step::Down, inside, 0.66f}, {Step::Up, inside, 0}}, {0}},
        {"out and back",
         1,
         {{Step::Down, inside, 0.66f}, {Step::Move, outside, 1}, {Step::Move, inside, 0.66f}, {Step::Up, inside, 0}},
         {0}},
        {"released outside", 0, {{Step::Down, inside, 0.33f}, {Step::Move, outside, 0}, {Step::Up, outside, 0}}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Frame frame;
        RecordingListener listener;
        auto *toggle = frame.add(new vgcOnOffSwitch(CRect(10, 10, 50, 50), &listener, 1, nullptr));
        toggle->setValue(c.start);
        for (const Step &s : c.steps) {
            if (s.kind == Step::Down)
                frame.off->mouseDown(s.where);
            else if (s.kind == Step::Move)
                frame.off->mouseMove(s.where, kLButton);
            else
                frame.off->mouseUp(s.where);
            EXPECT_FLOAT_EQ(toggle->getValue(), s.valueAfter);
        }
        EXPECT_EQ(listener.values(), c.reports);
        EXPECT_FALSE(toggle->isEditing());
    }

    // A press while the previous one is still tracked changes nothing.
    RecordingListener listener;
    vgcOnOffSwitch toggle(CRect(10, 10, 50, 50), &listener, 1, nullptr);
    CPoint p = inside;
    toggle.onMouseDown(p, kLButton);
    toggle.onMouseDown(p, kLButton);
    EXPECT_FLOAT_EQ(toggle.getValue(), 0.33f);
    toggle.onMouseCancel();
    EXPECT_FLOAT_EQ(toggle.getValue(), 0.0f) << "a press taken away leaves the switch as it was";
    EXPECT_TRUE(listener.reports.empty());
}

TEST(Button, ASwitchShowsItsHighestFlagBitOverItsLook)
{
    struct Case {
        int32_t bitCount;
        std::vector<int32_t> bits;
        float value;
        int32_t frame;
    };
    const Case cases[] = {
        {0, {}, 0.0f, 0},   {0, {}, 0.33f, 1}, {0, {}, 0.66f, 2},  {0, {}, 1.0f, 3},
        {0, {0, 1}, 0.66f, 2}, // no flag frames: the mask is ignored
        {2, {0, 1}, 0.0f, 5},  {2, {0}, 1.0f, 4}, {2, {}, 1.0f, 3},
        {1, {1}, 0.33f, 1},    // a bit beyond the count has no frame
        {2, {33}, 0.0f, 5},    // bit numbers are taken modulo 32
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.bitCount << " bits, value " << c.value);
        vgcOnOffSwitch toggle(CRect(0, 0, 40, 40), nullptr, 1, nullptr);
        toggle.setBitCount(c.bitCount);
        for (int32_t b : c.bits)
            toggle.setBit(b, true);
        toggle.setValueRaw(c.value);
        EXPECT_EQ(toggle.frameIndex(), c.frame);
    }

    TempDir dir;
    Frame frame;
    CBitmap *look = stripBitmap(dir, 6);
    auto *toggle = frame.add(new vgcOnOffSwitch(CRect(10, 10, 50, 50), nullptr, 1, look));
    look->forget();
    toggle->setBitCount(2);
    toggle->setBit(1, true);
    EXPECT_EQ(frame.pixel(20, 20), grey(100)) << "frame 5 of 6";
    toggle->setBit(1, false);
    EXPECT_FALSE(toggle->isBitOn(1));
    EXPECT_EQ(frame.pixel(20, 20), grey(0));
}

TEST(PlayControl, AKeyReportsTheDepthOfThePressAndZeroOnRelease)
{
    struct Case {
        CPoint press;
        CPoint release;
        float strength;
    };
    const Case cases[] = {
        {{5, 0}, {5, 0}, 0.01f},     // the top row of a key 100 tall
        {{5, 99}, {5, 99}, 1.0f},    // the bottom row
        {{5, 49}, {300, 300}, 0.5f}, // dragged out before the release
    };
    for (const Case &c : cases) {
        Frame frame;
        RecordingListener listener;
        auto *key = frame.add(new vgcPlayKeyboard(CRect(0, 0, 20, 100), &listener, 60, nullptr));
        EXPECT_FLOAT_EQ(key->getValue(), 0.0f);
        frame.off->mouseDown(c.press);
        frame.off->mouseMove(c.release, kLButton);
        frame.off->mouseUp(c.release);
        ASSERT_EQ(listener.reports.size(), 2u);
        EXPECT_NEAR(listener.reports[0].value, c.strength, 1e-6);
        EXPECT_FLOAT_EQ(listener.reports[1].value, 0.0f);
        EXPECT_FALSE(key->isEditing());
    }
    Frame frame;
    RecordingListener listener;
    frame.add(new vgcPlayKeyboard(CRect(0, 0, 20, 100), &listener, 60, nullptr));
    frame.off->click(CPoint(5, 5), kRButton);
    EXPECT_EQ(listener.values(), std::vector<float>{-1.0f});
}

TEST(PlayControl, APlayButtonReportsTheWidthOfThePressAndShowsOnAfterwards)
{
    for (auto [x, strength] : {std::pair{25.0, 0.52f}, {49.0, 1.0f}, {0.0, 0.02f}}) {
        Frame frame;
        RecordingListener listener;
        auto *button = frame.add(new vgcPlayOnOffButton(CRect(0, 0, 50, 20), &listener, 3, nullptr));
        frame.off->click(CPoint(x, 10));
        ASSERT_EQ(listener.reports.size(), 2u);
        EXPECT_NEAR(listener.reports[0].value, strength, 1e-6);
        EXPECT_FLOAT_EQ(listener.reports[1].value, 0.0f);
        EXPECT_FLOAT_EQ(button->getValue(), 1.0f);
    }

    // A press that the window system takes away ends like a release: the note stops.
    Frame frame;
    RecordingListener listener;
    frame.add(new vgcPlayOnOffButton(CRect(0, 0, 50, 20), &listener, 3, nullptr));
    frame.off->mouseDown(CPoint(25, 10));
    frame.off->mouseCancel();
    EXPECT_EQ(listener.reports.size(), 2u);
    EXPECT_FLOAT_EQ(listener.reports.back().value, 0.0f);
}
