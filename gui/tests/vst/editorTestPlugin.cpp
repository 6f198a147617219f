// A small VST 2.4 plug-in whose editor is built on the toolkit: a lamp that changes colour when clicked.
// The window tests load it into our host program.
#include "gui/AEffGUIEditor.h"
#include "gui/gui.h"
#include "host/AudioEffect.h"

using namespace qgui;

namespace {

struct Lamp : CControl {
    using CControl::CControl;
    void draw(CDrawContext* context) override {
        context->setFillColor(value > 0.5f ? kBlueCColor : kGreenCColor);
        context->drawRect(size, kDrawFilled);
        setDirty(false);
    }
    CMouseEventResult onMouseDown(CPoint&, const CButtonState& buttons) override {
        if (!(buttons & kLButton)) return kMouseEventNotHandled;
        value = 1.f - value;
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
};

// 200 × 100, shown at 150 %: the host is asked for a 300 × 150 window.
struct Editor : AEffGUIEditor {
    explicit Editor(AudioEffect* e) : AEffGUIEditor(e) {
        rect.right = 200;
        rect.bottom = 100;
    }
    bool open(void* parent) override {
        AEffGUIEditor::open(parent);
        frame = new CFrame(CRect(0, 0, 200, 100), this);
        frame->setBackgroundColor(MakeCColor(0, 0, 60));
        frame->addView(new Lamp(CRect(20, 20, 80, 60)));
        if (!frame->open(parent, PlatformType::kX11)) {
            frame->forget();
            frame = nullptr;
            return false;
        }
        frame->setZoom(1.5);
        return true;
    }
    void close() override {
        if (frame) frame->close();
        frame = nullptr;
        AEffGUIEditor::close();
    }
};

struct Effect : AudioEffectX {
    explicit Effect(audioMasterCallback host) : AudioEffectX(host, 1, 0) {
        setNumOutputs(2);
        setUniqueID(0x51675465);
        setEditor(new Editor(this));
    }
    void processReplacing(float**, float** outputs, int32_t frames) override {
        for (int c = 0; c < 2; ++c)
            for (int32_t i = 0; i < frames; ++i) outputs[c][i] = 0;
    }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0) == 0) return nullptr;
    return (new Effect(host))->getAeffect();
}
