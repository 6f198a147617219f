// The editor binding of the toolkit: a VST 2.4 editor (AEffEditor) whose window holds a CFrame.
#pragma once

#include "gui/CFrame.h"
#include "host/AEffEditor.h"

namespace qgui {

// Owns nothing but the rectangle: a subclass creates the frame in open (into `frame`, with this editor as
// the frame's VSTGUIEditorInterface) and releases it in close. The host's idle, keys and wheel reach the
// frame; the frame's zoom asks the host to resize its window.
class AEffGUIEditor : public AEffEditor, public VSTGUIEditorInterface {
public:
    explicit AEffGUIEditor(AudioEffect* effect);
    ~AEffGUIEditor() override;

    // AEffEditor
    bool getRect(ERect** rect) override;
    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;
    bool onKeyDown(VstKeyCode& key) override;
    bool onKeyUp(VstKeyCode& key) override;
    bool onWheel(float distance) override;
    bool setKnobMode(int mode) override;

    // The host's parameter change for the editor to show; nothing here.
    virtual void setParameter(int32_t index, float value);

    // VSTGUIEditorInterface
    int32_t getKnobMode() const override { return knobMode; }
    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;
    // Asks the host to resize its window when it answers yes to "sizeWindow"; the change goes ahead either
    // way (a host that cannot resize shows part of the editor).
    bool beforeSizeChange(const CRect& newSize, const CRect& oldSize) override;
    // One idle pass of the frame started by the editor itself (for instance while it waits); the host's
    // idle does not run the frame while it is going.
    void doIdleStuff() override;
    bool isInIdleStuff() const { return inIdleStuff; }

    // Milliseconds of a steady clock at construction, and now.
    int64_t getConstructionTime() const { return constructionTime; }
    static int64_t getTicks();

protected:
    ERect rect{0, 0, 0, 0};
    bool inIdleStuff = false;
    int64_t constructionTime;
    // The host sets one knob mode for every editor of the process.
    static int32_t knobMode;
};

}  // namespace qgui
