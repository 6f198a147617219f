// The editor frame: open and close with the window gate, the value-change road to the host procedure,
// keys while a text field is edited, zoom limits, the timer from the audio processed, host window size.
#include "editor-framework/controls/vgcTextLabel.h"
#include "editorTestSupport.h"

#include <gtest/gtest.h>

using namespace qgui;
using namespace edtest;

namespace {

struct HostCall {
    int64_t tag;
    float value;
};
std::vector<HostCall> hostCalls;

intptr_t hostProcedure(void *, int64_t a, int64_t b, int64_t)
{
    hostCalls.push_back({a, bitsToFloat(b)});
    return 0;
}

void registerHostProcedure(Instrument &fx)
{
    fx.dispatcher(effVendorSpecific, vstFourCC("host"), vstFourCC("pSPr"), reinterpret_cast<void *>(&hostProcedure),
                  0.0f);
}

struct Key {
    int32_t virt;
    bool shift, alternate, command, control;
};

class TestEditor : public podoVSTEditor
{
public:
    using podoVSTEditor::onKeyDown;
    using podoVSTEditor::podoVSTEditor;

    bool onOpen(void *) override
    {
        ++opens;
        return accept;
    }
    void onClose() override
    {
        ++closes;
        podoVSTEditor::onClose();
    }
    void onTimer(float seconds) override { timer.push_back(seconds); }
    bool onKeyDown(VstKeyCode key, bool shift, bool alternate, bool command, bool control) override
    {
        keys.push_back({key.virt, shift, alternate, command, control});
        return true;
    }
    void preValueChanged(CControl *control, int32_t &tag, float &value) override
    {
        if (rewrite)
            rewrite(control, tag, value);
    }

    bool accept = true;
    int opens = 0, closes = 0;
    std::vector<float> timer;
    std::vector<Key> keys;
    std::function<void(CControl *, int32_t &, float &)> rewrite;
};

// Counts the times the editor sets its value.
struct CountingControl : CControl {
    using CControl::CControl;
    int sets = 0;
    void setValue(float v) override
    {
        ++sets;
        CControl::setValue(v);
    }
};

} // namespace

TEST(EditorFrame, ARefusedOpenLeavesNothingBehindAndASecondOpenIsRefused)
{
    LogCapture log;
    Instrument fx;
    TestEditor editor(&fx);
    editor.accept = false;
    EXPECT_FALSE(editor.open(nullptr));
    EXPECT_TRUE(log.has("[ERROR] VST:ed:failed to open editor."));
    EXPECT_FALSE(editor.isOpen());
    EXPECT_EQ(editor.getFrame(), nullptr);
    editor.postFloat(3, 1.0f);
    EXPECT_EQ(editor.queuePending(), 0) << "closed again: posts are ignored";

    editor.accept = true;
    ASSERT_TRUE(editor.open(nullptr)) << "a refusal does not block the next open";
    ASSERT_NE(editor.getFrame(), nullptr);
    EXPECT_EQ(editor.getFrame()->getViewSize(), CRect(0, 0, 745, 595));
    EXPECT_FALSE(editor.open(nullptr));
    EXPECT_TRUE(log.has("[ERROR] VST:ed:duplicate frame."));
    EXPECT_TRUE(editor.isOpen()) << "the open frame stays";

    const int closesBefore = editor.closes;
    editor.close();
    editor.close();
    EXPECT_EQ(editor.closes, closesBefore + 2) << "a close while closed still reaches onClose";
    EXPECT_EQ(editor.getFrame(), nullptr);
}

TEST(EditorFrame, ControlSignalsAreTakenOffBeforeTheHostProcedure)
{
    struct Case {
        float reported;
        float expected;
        bool setAgain;
    };
    const Case cases[] = {
        {11.0f, 0.0f, true},   // a finished text edit
        {9.25f, 0.25f, true},  // a drop on a control at 0.25
        {5.4f, 0.4f, true},    // a double click at 0.4
        {7.55f, 0.55f, true},  // a wheel notch
        {-1.3f, -1.3f, false}, // the right button on a control at 0.3 passes as it is
        {0.5f, 0.5f, false},   // a plain change is not set again
    };
    Instrument fx;
    registerHostProcedure(fx);
    TestEditor editor(&fx);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.reported);
        hostCalls.clear();
        CountingControl control(CRect(0, 0, 10, 10), &editor, 42);
        control.setValueRaw(c.reported);
        editor.valueChanged(&control);
        ASSERT_EQ(hostCalls.size(), 1u);
        EXPECT_EQ(hostCalls[0].tag, 42);
        EXPECT_NEAR(hostCalls[0].value, c.expected, 1e-6);
        EXPECT_NEAR(control.getValue(), c.expected, 1e-6);
        EXPECT_EQ(control.sets, c.setAgain ? 1 : 0);
    }

    // The concrete editor may rewrite tag and value before anything else sees them.
    hostCalls.clear();
    editor.rewrite = [](CControl *, int32_t &tag, float &value) {
        tag = 7;
        value = 9.5f;
    };
    CountingControl control(CRect(0, 0, 10, 10), &editor, 42);
    control.setValueRaw(0.1f);
    editor.valueChanged(&control);
    ASSERT_EQ(hostCalls.size(), 1u);
    EXPECT_EQ(hostCalls[0].tag, 7);
    EXPECT_FLOAT_EQ(hostCalls[0].value, 0.5f);
    EXPECT_FLOAT_EQ(control.getValue(), 0.5f);
}

TEST(EditorFrame, KeysReachTheEditorWithTheirModifiersExceptWhileATextFieldIsEdited)
{
    Instrument fx;
    TestEditor editor(&fx);
    ASSERT_TRUE(editor.open(nullptr));
    COffscreenPlatform *screen = editor.getFrame()->getOffscreen();
    ASSERT_NE(screen, nullptr);

    const uint8_t modifiers[] = {MODIFIER_SHIFT, MODIFIER_ALTERNATE, MODIFIER_COMMAND, MODIFIER_CONTROL};
    for (uint8_t m : modifiers) {
        VstKeyCode key{0, VKEY_F5, m};
        EXPECT_EQ(screen->keyDown(key), 1) << "through the frame's keyboard hook";
        EXPECT_TRUE(editor.onKeyDown(key)) << "through the host";
    }
    ASSERT_EQ(editor.keys.size(), 8u);
    for (size_t i = 0; i < 4; ++i) {
        const Key &k = editor.keys[2 * i];
        EXPECT_EQ(k.virt, VKEY_F5);
        EXPECT_EQ(k.shift, i == 0);
        EXPECT_EQ(k.alternate, i == 1);
        EXPECT_EQ(k.command, i == 2);
        EXPECT_EQ(k.control, i == 3);
    }

    vgcTextEdit *field = editor.addTextEdit(10, 10, 100, 20, nullptr, 5, 0);
    editor.getFrame()->addView(field);
    screen->click(CPoint(20, 15));
    ASSERT_TRUE(field->isEntryOpen());
    editor.keys.clear();
    VstKeyCode letter{'a', 0, 0};
    VstKeyCode f1{0, VKEY_F1, 0};
    EXPECT_FALSE(editor.onKeyDown(f1));
    screen->keyDown(f1);
    screen->typeText("x");
    EXPECT_TRUE(editor.keys.empty()) << "the field keeps the keys while it is edited";
    screen->keyDown(VstKeyCode{0, VKEY_RETURN, 0});
    EXPECT_FALSE(field->isEntryOpen());
    EXPECT_EQ(field->getText(), "x");
    EXPECT_TRUE(editor.onKeyDown(letter));
    EXPECT_EQ(editor.keys.size(), 1u);
    editor.getFrame()->removeView(field, false);
    field->forget();
}

TEST(EditorFrame, ZoomFollowsTheScreenWithinItsLimits)
{
    sizeRequests().clear();
    Instrument fx;
    TestEditor editor(&fx);
    EXPECT_EQ(editor.getDefaultZoom(), 100) << "no window yet";
    EXPECT_EQ(editor.getMaxZoom(), 300);
    ASSERT_TRUE(editor.open(nullptr));
    COffscreenPlatform *screen = editor.getFrame()->getOffscreen();

    struct DpiCase {
        double dpi;
        int32_t percent;
    };
    for (DpiCase c : {DpiCase{96, 100}, {120, 125}, {144, 150}, {192, 200}}) {
        screen->setScreenDPI(c.dpi);
        EXPECT_EQ(editor.getDefaultZoom(), c.percent) << c.dpi;
    }
    screen->setScreenDPI(120);
    EXPECT_EQ(editor.setZoom(0, 0, 0), 743) << "595 × 1.25, whole pixels";
    EXPECT_DOUBLE_EQ(editor.getFrame()->getZoom(), 1.25);
    ERect *r = nullptr;
    ASSERT_TRUE(editor.getRect(&r));
    EXPECT_EQ(r->right - r->left, 931);

    screen->setMonitorRect(CRect(0, 0, 1920, 1080));
    EXPECT_EQ(editor.setZoom(500, 0, 0), 1082) << "limited to 182 %";
    EXPECT_DOUBLE_EQ(editor.getZoomFactor(), 1.82);
    EXPECT_EQ(editor.getZoomPercent(), 100) << "setZoom leaves the zoom setting alone";
    ASSERT_FALSE(sizeRequests().empty());
    EXPECT_EQ(sizeRequests().back(), std::make_pair(1356, 1083)) << "the host is asked to fit the zoomed frame";

    CView view(CRect(10, 20, 50, 60));
    editor.setZoom(150, 0, 0);
    CRect placed;
    editor.scaleRect(placed, &view, 3, 4);
    EXPECT_EQ(placed, CRect(19.5, 36, 79.5, 96));

    screen->setMonitorRect(CRect(0, 0, 640, 480));
    EXPECT_EQ(editor.getMaxZoom(), 100) << "never below 100 %";
}

TEST(EditorFrame, TheTimerAdvancesWithTheAudioProcessed)
{
    Instrument fx;
    TestEditor editor(&fx);
    ASSERT_TRUE(editor.open(nullptr));
    editor.idle();
    editor.idle();
    fx.runningTime = 1.5f;
    editor.idle();
    fx.runningTime = 2.0f;
    editor.idle();
    EXPECT_EQ(editor.timer, (std::vector<float>{0.0f, 0.0f, 1.5f, 0.5f}));

    TestEditor alone(nullptr);
    alone.idle(); // closed: no timer, the clock still moves
    ASSERT_TRUE(alone.open(nullptr));
    alone.idle();
    alone.idle();
    ASSERT_EQ(alone.timer.size(), 2u);
    EXPECT_NEAR(alone.timer[0], 0.033f, 1e-6);
    EXPECT_NEAR(alone.timer[1], 0.033f, 1e-6);
}

// An editor that puts its own work into the host's idle (as the instrument's does) still drains the
// queue and runs the timer when the host's dispatcher calls idle.
TEST(EditorFrame, AnEditorOverridingIdleKeepsTheDrainAndTheTimer)
{
    struct OwnIdle : TestEditor {
        using TestEditor::TestEditor;
        int own = 0;
        void idle() override
        {
            podoVSTEditor::idle();
            ++own;
        }
    };
    Instrument fx;
    OwnIdle editor(&fx);
    auto *control = new CControl(CRect(0, 0, 10, 10), nullptr, 7);
    editor.registerControl(control);
    editor.rebuildControlIndex();
    ASSERT_TRUE(editor.open(nullptr));
    editor.postFloat(7, 0.75f);
    fx.runningTime = 0.5f;
    fx.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(editor.own, 1);
    EXPECT_EQ(editor.queuePending(), 0);
    EXPECT_FLOAT_EQ(control->getValue(), 0.75f);
    EXPECT_EQ(editor.timer, (std::vector<float>{0.5f}));
    editor.close();
    control->forget();
}

TEST(EditorFrame, SuspendEndsATextEntryAndTheHostWindowIsSizedOnlyOnChange)
{
    sizeRequests().clear();
    Instrument fx;
    TestEditor editor(&fx);
    EXPECT_FALSE(editor.sizeHostWindow()) << "no window";
    ASSERT_TRUE(editor.open(nullptr));
    EXPECT_TRUE(editor.sizeHostWindow());
    EXPECT_FALSE(editor.sizeHostWindow()) << "the same size again";
    ASSERT_EQ(sizeRequests().size(), 1u);
    EXPECT_EQ(sizeRequests()[0], std::make_pair(745, 595));

    vgcTextEdit *field = editor.addTextEdit(10, 10, 100, 20, nullptr, 5, 0);
    editor.getFrame()->addView(field);
    editor.getFrame()->getOffscreen()->click(CPoint(20, 15));
    ASSERT_TRUE(field->isEntryOpen());
    editor.suspendView();
    EXPECT_FALSE(field->isEntryOpen());
    EXPECT_EQ(editor.getFrame()->getFocusView(), nullptr);
    VstKeyCode key{0, VKEY_F2, 0};
    EXPECT_TRUE(editor.onKeyDown(key)) << "the text-entry flag was cleared with the entry";
    editor.getFrame()->removeView(field, false);
    field->forget();
}
