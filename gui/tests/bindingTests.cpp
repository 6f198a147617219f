// The editor binding: the frame's zoom asks the host to resize, keys and wheel from the host reach the
// frame, edits reach the host, the knob mode is the host's, and the binding's own idle pass is exclusive.
#include "gui/AEffGUIEditor.h"
#include "gui/gui.h"
#include "host/AudioEffect.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace qgui;

namespace {

// What the host saw; one host for the whole test binary (the callback has no user pointer).
struct HostLog {
    bool canSizeWindow = true;
    std::vector<std::pair<int32_t, int32_t>> sizes;
    std::vector<std::pair<int32_t, int32_t>> edits;  // (opcode, index)
} hostLog;

intptr_t hostCallback(AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float) {
    switch (opcode) {
        case audioMasterVersion: return 2400;
        case audioMasterCanDo: return std::strcmp(static_cast<char*>(ptr), "sizeWindow") == 0 && hostLog.canSizeWindow ? 1 : -1;
        case audioMasterSizeWindow: hostLog.sizes.push_back({index, int32_t(value)}); return 1;
        case audioMasterBeginEdit:
        case audioMasterEndEdit: hostLog.edits.push_back({opcode, index}); return 1;
        default: return 0;
    }
}

struct Effect : AudioEffectX {
    Effect() : AudioEffectX(hostCallback, 1, 4) {}
    void processReplacing(float**, float**, int32_t) override {}
};

// An editor whose frame is offscreen, as in a headless run.
struct Editor : AEffGUIEditor {
    explicit Editor(AudioEffect* e) : AEffGUIEditor(e) {
        rect.right = 200;
        rect.bottom = 100;
    }
    bool open(void* parent) override {
        AEffGUIEditor::open(parent);
        frame = new CFrame(CRect(0, 0, 200, 100), this);
        return frame->open(parent, PlatformType::kOffscreen);
    }
    void close() override {
        if (frame) frame->close();
        frame = nullptr;
        AEffGUIEditor::close();
    }
};

struct Fixture {
    Effect effect;
    Editor editor{&effect};
    Fixture() {
        hostLog = HostLog();
        editor.open(nullptr);
    }
    ~Fixture() { editor.close(); }
};

}  // namespace

TEST(EditorBinding, ZoomResizesTheHostWindowWhenTheHostCan) {
    for (bool can : {true, false}) {
        SCOPED_TRACE(can);
        Fixture f;
        hostLog.canSizeWindow = can;
        ASSERT_TRUE(f.editor.getFrame()->setZoom(1.5));
        ERect* r = nullptr;
        ASSERT_TRUE(f.editor.getRect(&r));
        EXPECT_EQ(r->right - r->left, 300);
        EXPECT_EQ(r->bottom - r->top, 150);
        using Sizes = std::vector<std::pair<int32_t, int32_t>>;
        EXPECT_EQ(hostLog.sizes, (can ? Sizes{{300, 150}} : Sizes{}));
    }
}

TEST(EditorBinding, HostKeysWheelAndKnobModeReachTheFrame) {
    Fixture f;
    CFrame* frame = f.editor.getFrame();
    struct Hook : IKeyboardHook {
        int downs = 0;
        int32_t onKeyDown(const VstKeyCode& k, CFrame*) override {
            ++downs;
            return k.virt == VKEY_UP ? 1 : -1;
        }
        int32_t onKeyUp(const VstKeyCode&, CFrame*) override { return -1; }
    } hook;
    frame->registerKeyboardHook(&hook);
    VstKeyCode up{0, VKEY_UP, 0}, other{'q', 0, 0};
    EXPECT_TRUE(f.editor.onKeyDown(up));
    EXPECT_FALSE(f.editor.onKeyDown(other));
    EXPECT_EQ(hook.downs, 2);
    frame->unregisterKeyboardHook(&hook);

    auto* knob = new CKnob(CRect(0, 0, 200, 100), nullptr, 3);
    knob->setWheelInc(0.1f);
    frame->addView(knob);
    frame->getOffscreen()->mouseMove(CPoint(50, 50));
    EXPECT_TRUE(f.editor.onWheel(2));
    EXPECT_NEAR(knob->getValue(), 0.2f, 1e-6);
    EXPECT_TRUE(f.editor.setKnobMode(kLinearMode));
    EXPECT_EQ(knob->getKnobMode(), kLinearMode);
    f.editor.setKnobMode(kCircularMode);
}

TEST(EditorBinding, ControlEditsReachTheHost) {
    Fixture f;
    auto* knob = new CKnob(CRect(0, 0, 100, 100), nullptr, 2);
    f.editor.getFrame()->addView(knob);
    f.editor.getFrame()->getOffscreen()->click(CPoint(10, 50));
    EXPECT_EQ(hostLog.edits, (std::vector<std::pair<int32_t, int32_t>>{{audioMasterBeginEdit, 2}, {audioMasterEndEdit, 2}}));
}

TEST(EditorBinding, OwnIdlePassKeepsTheHostsIdleOut) {
    Fixture f;
    struct Counter : CView {
        using CView::CView;
        AEffGUIEditor* editor = nullptr;
        int draws = 0;
        bool nested = false;
        void draw(CDrawContext*) override {
            ++draws;
            nested = editor->isInIdleStuff();
            editor->idle();  // the host's idle while the editor's own pass runs: nothing happens
        }
    };
    auto* v = new Counter(CRect(0, 0, 10, 10));
    v->editor = &f.editor;
    f.editor.getFrame()->addView(v);
    f.editor.doIdleStuff();
    EXPECT_EQ(v->draws, 1);
    EXPECT_TRUE(v->nested);
    EXPECT_FALSE(f.editor.isInIdleStuff());
    EXPECT_LE(f.editor.getConstructionTime(), AEffGUIEditor::getTicks());
}
