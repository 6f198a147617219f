#include "gui/AEffGUIEditor.h"

#include "host/AudioEffect.h"

#include <chrono>

namespace qgui {

int32_t AEffGUIEditor::knobMode = kCircularMode;

AEffGUIEditor::AEffGUIEditor(AudioEffect* e) : AEffEditor(e), constructionTime(getTicks()) {}

AEffGUIEditor::~AEffGUIEditor() = default;

int64_t AEffGUIEditor::getTicks() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool AEffGUIEditor::getRect(ERect** r) {
    if (!r) return false;
    *r = &rect;
    return true;
}

bool AEffGUIEditor::open(void* parentWindow) {
    systemWindow = parentWindow;
    return true;
}

void AEffGUIEditor::close() { systemWindow = nullptr; }

void AEffGUIEditor::idle() {
    if (inIdleStuff || !frame) return;
    frame->idle();
}

void AEffGUIEditor::doIdleStuff() {
    if (inIdleStuff) return;
    inIdleStuff = true;
    if (frame) frame->idle();
    inIdleStuff = false;
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& key) { return frame && frame->onKeyDown(key) == 1; }

bool AEffGUIEditor::onKeyUp(VstKeyCode& key) { return frame && frame->onKeyUp(key) == 1; }

bool AEffGUIEditor::onWheel(float distance) {
    if (!frame) return false;
    CPoint where;
    frame->getCurrentMouseLocation(where);
    return frame->onWheel(where, distance, 0);
}

bool AEffGUIEditor::setKnobMode(int mode) {
    knobMode = mode;
    return true;
}

void AEffGUIEditor::setParameter(int32_t, float) {}

// Our plug-ins are AudioEffectX objects; the calls go through the vtable.
void AEffGUIEditor::beginEdit(int32_t index) {
    if (effect) static_cast<AudioEffectX*>(effect)->beginEdit(index);
}

void AEffGUIEditor::endEdit(int32_t index) {
    if (effect) static_cast<AudioEffectX*>(effect)->endEdit(index);
}

bool AEffGUIEditor::beforeSizeChange(const CRect& newSize, const CRect&) {
    rect.right = static_cast<int16_t>(rect.left + newSize.getWidth());
    rect.bottom = static_cast<int16_t>(rect.top + newSize.getHeight());
    if (effect) {
        auto* fx = static_cast<AudioEffectX*>(effect);
        char sizeWindow[] = "sizeWindow";
        if (fx->canHostDo(sizeWindow) == 1)
            fx->sizeWindow(static_cast<int32_t>(newSize.getWidth()), static_cast<int32_t>(newSize.getHeight()));
    }
    return true;
}

}  // namespace qgui
