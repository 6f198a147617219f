// What every skinned control shares: the right-button, drop and wheel signals, the value label and the
// shared fonts.
#include "editor-framework/controls/vgcButtons.h"
#include "editor-framework/controls/vgcDisplays.h"
#include "editor-framework/controls/vgcKnobs.h"
#include "editor-framework/controls/vgcOptionMenu.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "editorTestSupport.h"
#include "gui/CFontDesc.h"

#include <gtest/gtest.h>

using namespace qgui;
using namespace edtest;

namespace {

const CRect place(10, 10, 50, 50);

struct Member {
    const char *name;
    std::function<CControl *(IControlListener *)> make;
};

// One control of each class that takes the mouse, built as the factories build them.
std::vector<Member> family()
{
    return {
        {"vgcControl", [](IControlListener *l) { return new vgcControl(place, l, 1, nullptr); }},
        {"vgcArea", [](IControlListener *l) { return new vgcArea(place, l, 1, CColor{0, 0, 0, 0}); }},
        {"vgcKickButton", [](IControlListener *l) { return new vgcKickButton(place, l, 1, nullptr); }},
        {"vgcOnOffButton", [](IControlListener *l) { return new vgcOnOffButton(place, l, 1, nullptr); }},
        {"vgcOnOffSwitch", [](IControlListener *l) { return new vgcOnOffSwitch(place, l, 1, nullptr); }},
        {"vgcPlayKeyboard", [](IControlListener *l) { return new vgcPlayKeyboard(place, l, 1, nullptr); }},
        {"vgcPlayOnOffButton", [](IControlListener *l) { return new vgcPlayOnOffButton(place, l, 1, nullptr); }},
        {"vgcAnimKnob", [](IControlListener *l) { return new vgcAnimKnob(place, l, 1, nullptr, 1); }},
        {"vgcSlider",
         [](IControlListener *l) { return new vgcSlider(place, l, 1, nullptr, nullptr, 0, 39, kHorizontal | kLeft); }},
        {"vgcFader", [](IControlListener *l) { return new vgcFader(place, l, 1, nullptr, nullptr, kVertical | kBottom); }},
        {"vgcMultiFaderComponent", [](IControlListener *l) { return new vgcMultiFaderComponent(place, l, 1, nullptr); }},
        {"vgcOptionMenu", [](IControlListener *l) { return new vgcOptionMenu(place, l, 1, nullptr); }},
        {"vgcDropdownList", [](IControlListener *l) { return new vgcDropdownList(place, l, 1, nullptr); }},
        {"vgcTextLabel", [](IControlListener *l) { return new vgcTextLabel(place, l, 1, nullptr, 1, kNoFrame); }},
        {"vgcLvMeter", [](IControlListener *l) { return new vgcLvMeter(place, l, 1, nullptr, kHorizontal | kLeft); }},
        {"vgcMovieBitmap", [](IControlListener *l) { return new vgcMovieBitmap(place, l, 1, nullptr, 1, 40); }},
    };
}

struct Package : IDataPackage {
    uint32_t getCount() const override { return 1; }
    uint32_t getDataSize(uint32_t) const override { return 4; }
    Type getData(uint32_t, const void *&buffer, Type &type) const override
    {
        buffer = "text";
        type = kText;
        return kText;
    }
};

// Pixels of a rectangle of the frame that are lit (not the black background).
int litPixels(Frame &frame, const CRect &r)
{
    int n = 0;
    for (int y = int(r.top); y < int(r.bottom); ++y)
        for (int x = int(r.left); x < int(r.right); ++x) {
            CColor c = frame.pixel(x, y);
            n += (c.red | c.green | c.blue) != 0;
        }
    return n;
}

} // namespace

TEST(ControlSignal, ARightPressReportsMinusOneMinusTheValueAndBlocksFurtherPresses)
{
    for (const Member &m : family()) {
        SCOPED_TRACE(m.name);
        Frame frame;
        RecordingListener listener;
        CControl *control = frame.add(m.make(&listener));
        control->setValueRaw(0.25f);
        frame.off->mouseDown(CPoint(20, 20), kRButton);
        frame.off->mouseUp(CPoint(20, 20), kRButton);
        ASSERT_EQ(listener.reports.size(), 1u);
        EXPECT_FLOAT_EQ(listener.reports[0].value, -1.25f);
        EXPECT_FLOAT_EQ(control->getValue(), -1.25f) << "kept until the listener restores it";
        frame.off->click(CPoint(20, 20), kLButton);
        frame.off->click(CPoint(20, 20), kRButton);
        EXPECT_EQ(listener.reports.size(), 1u) << "presses are ignored while the signal shows";
    }
}

TEST(ControlSignal, ADropReportsNinePlusTheValueWithItsDataAndWithoutAListenerIsRefused)
{
    Package package;
    for (const Member &m : family()) {
        SCOPED_TRACE(m.name);
        Frame frame;
        RecordingListener listener;
        CControl *control = frame.add(m.make(&listener));
        auto *group = dynamic_cast<vgcGroup *>(control);
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->asControl(), control);
        control->setValueRaw(0.5f);
        IDataPackage *seen = nullptr;
        listener.onReport = [&](CControl *) { seen = group->getDropData(); };
        EXPECT_TRUE(frame.off->drop(&package, CPoint(20, 20)));
        ASSERT_EQ(listener.reports.size(), 1u);
        EXPECT_FLOAT_EQ(listener.reports[0].value, 9.5f);
        EXPECT_EQ(seen, &package);
        EXPECT_FLOAT_EQ(control->getValue(), 0.5f);

        CControl *alone = m.make(nullptr);
        EXPECT_FALSE(alone->getMouseEnabled()) << "no listener: no mouse";
        EXPECT_FALSE(alone->onDrop(&package, CPoint(20, 20)));
        alone->forget();
    }
}

TEST(ControlSignal, AWheelNotchOnAreasAndLabelsReportsSevenAndAHalfPlusTheStep)
{
    struct Case {
        float distance;
        CButtonState buttons;
        float expected;
    };
    const Case cases[] = {{1, 0, 7.55f}, {1, kShift, 7.505f}, {-1, 0, 7.45f}, {2, 0, 7.6f}};
    for (auto make : {family()[1].make, family()[13].make}) {
        for (const Case &c : cases) {
            Frame frame;
            RecordingListener listener;
            CControl *control = frame.add(make(&listener));
            control->setValueRaw(0.2f);
            frame.off->wheel(CPoint(20, 20), c.distance, c.buttons);
            ASSERT_EQ(listener.reports.size(), 1u);
            EXPECT_NEAR(listener.reports[0].value, c.expected, 1e-6);
            EXPECT_NEAR(control->getValue(), c.expected, 1e-6) << "kept: the listener restores the value";
            frame.off->wheel(CPoint(20, 20), c.distance, c.buttons);
            control->setValueRaw(-0.5f);
            frame.off->wheel(CPoint(20, 20), c.distance, c.buttons);
            EXPECT_EQ(listener.reports.size(), 2u) << "a negative value takes no wheel";
        }
    }

    // The knob keeps the toolkit's wheel: an ordinary change of 0.05 a notch.
    Frame frame;
    RecordingListener listener;
    CControl *knob = frame.add(family()[7].make(&listener));
    knob->setValue(0.5f);
    frame.off->wheel(CPoint(20, 20), 1, 0);
    frame.off->wheel(CPoint(20, 20), 1, kShift);
    ASSERT_EQ(listener.reports.size(), 2u);
    EXPECT_NEAR(listener.reports[0].value, 0.55f, 1e-6);
    EXPECT_NEAR(listener.reports[1].value, 0.555f, 1e-6);
}

TEST(ControlSignal, TheValueLabelEndsAtTheBottomCentredOnTheRightEdge)
{
    struct Case {
        int32_t count, width, lineHeight;
        CRect expected;
        int32_t parts;
    };
    const Case cases[] = {
        {2, 40, 12, CRect(120, 66, 160, 78), 2},
        {2, -40, 12, CRect(120, 66, 160, 78), 2},
        {3, 40, 20, CRect(120, 50, 160, 70), 3}, // would start above the top edge
        {5, 40, 12, CRect(120, 50, 160, 62), 3},
        {1, 100, 12, CRect(100, 78, 200, 90), 1}, // would start left of the left edge
        {0, 40, 12, CRect(120, 90, 160, 102), 0},
    };
    RecordingListener listener;
    vgcAnimKnob knob(CRect(100, 50, 140, 90), &listener, 77, nullptr, 1);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.count);
        knob.showValueLabel(c.count, c.width, c.lineHeight);
        vgcTextLabel *label = knob.getValueLabel();
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->getViewSize(), c.expected);
        EXPECT_EQ(label->getPartCount(), c.parts);
        EXPECT_EQ(label->getTag(), 77);
        EXPECT_FALSE(label->getMouseEnabled());
        EXPECT_TRUE(label->getTransparency());
        EXPECT_EQ(label->getStyle(), kShadowText);
        EXPECT_EQ(label->getShadowColor(), kBlackCColor);
        EXPECT_EQ(label->getStyleNumber(), c.lineHeight);
    }
    knob.showValueLabel(3, 40, 12);
    const CColor expected[3] = {{255, 255, 0, 255}, {0, 255, 255, 255}, {255, 0, 255, 255}};
    for (int32_t i = 0; i < 3; ++i)
        EXPECT_EQ(knob.getValueLabel()->getPartColor(i), expected[i]);
}

TEST(ControlSignal, OnlyTheClassesThatShowAValueLabelDrawIt)
{
    struct Case {
        const char *name;
        std::function<CControl *()> make;
        bool shows;
    };
    const CRect r(10, 10, 110, 60);
    const Case cases[] = {
        {"knob", [&] { return new vgcAnimKnob(r, nullptr, 1, nullptr, 1); }, true},
        {"kick button", [&] { return new vgcKickButton(r, nullptr, 1, nullptr); }, true},
        {"plain control", [&] { return new vgcControl(r, nullptr, 1, nullptr); }, false},
        {"on/off button", [&] { return new vgcOnOffButton(r, nullptr, 1, nullptr); }, false},
        {"area", [&] { return new vgcArea(r, nullptr, 1, CColor{0, 0, 0, 0}); }, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Frame frame;
        CControl *control = frame.add(c.make());
        auto *group = dynamic_cast<vgcGroup *>(control);
        group->showValueLabel(1, 100, 20);
        group->getValueLabel()->setPartText("MMMMMM", 0);
        control->invalid();
        EXPECT_EQ(litPixels(frame, CRect(60, 40, 110, 60)) > 0, c.shows);
    }

    // The on/off button shows its caption instead.
    Frame frame;
    auto *button = frame.add(new vgcOnOffButton(r, nullptr, 1, nullptr));
    button->setCaption("MMMMMM", CColor{255, 0, 0, 0});
    EXPECT_EQ(button->getCaption(), nullptr) << "a transparent colour builds no caption";
    button->setCaption("MMMMMM", kRedCColor);
    ASSERT_NE(button->getCaption(), nullptr);
    EXPECT_EQ(button->getCaption()->getViewSize(), CRect(10, 11, 110, 61));
    EXPECT_GT(litPixels(frame, r), 0);
    button->setCaption(nullptr, kRedCColor);
    EXPECT_EQ(button->getCaption(), nullptr);
}

TEST(ControlSignal, SharedFontsAreMadeWhenMissingAndFreedByTheLastInstance)
{
    CFontDesc **fonts[] = {&sharedFontLarge, &sharedFontMedium, &sharedFontNormal, &sharedFontSmall, &sharedFontTiny};
    const double sizes[] = {12, 11.5, 11, 9.5, 6};
    {
        Instrument one;
        releaseSharedFonts();
        {
            Instrument two;
            createSharedFonts(); // made also while a second instance lives
            for (size_t i = 0; i < 5; ++i) {
                ASSERT_NE(*fonts[i], nullptr);
                EXPECT_EQ((*fonts[i])->getName(), "Malgun Gothic");
                EXPECT_DOUBLE_EQ((*fonts[i])->getSize(), sizes[i]);
            }
            CFontDesc *normal = sharedFontNormal;
            createSharedFonts();
            EXPECT_EQ(sharedFontNormal, normal) << "existing fonts stay";
            releaseSharedFonts();
            EXPECT_EQ(sharedFontNormal, normal) << "another instance still uses them";
        }
        // A label keeps its own reference when the fonts go.
        vgcTextLabel label(CRect(0, 0, 10, 10), nullptr, -1, nullptr, 1, kNoFrame);
        EXPECT_EQ(label.getFont(), sharedFontNormal);
        releaseSharedFonts();
        for (CFontDesc **f : fonts)
            EXPECT_EQ(*f, nullptr);
        EXPECT_EQ(label.getFont()->getName(), "Malgun Gothic");
    }
    createSharedFonts();
}
