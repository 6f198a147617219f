#include "editor-framework/podoVSTEditor.h"

#include "foundation/podoWnd.h"
#include "host/AudioEffect.h"

podoVSTEditor::podoVSTEditor(AudioEffect *effect) : podoVSTEditorBase(effect), AEffEditor(effect)
{
    if (effect)
        effect->setEditor(this);
}

podoVSTEditor::~podoVSTEditor()
{
    if (getWindow())
        podoVSTEditor::close();
    AudioEffect *owner = podoVSTEditorBase::effect;
    if (owner && owner->getEditor() == static_cast<AEffEditor *>(this))
        owner->setEditor(nullptr);
}

bool podoVSTEditor::open(void *parentWindow)
{
    if (getWindow())
        return true;
    systemWindow = parentWindow;
    auto *wrapper = new podoWnd(parentWindow);
    setWindow(wrapper);
    if (onOpen(parentWindow))
        return true;
    setWindow(nullptr);
    delete wrapper;
    systemWindow = nullptr;
    return false;
}

void podoVSTEditor::close()
{
    podoWnd *wrapper = getWindow();
    if (!wrapper)
        return;
    onClose();
    setWindow(nullptr);
    delete wrapper;
    systemWindow = nullptr;
}

bool podoVSTEditor::isOpen() { return getWindow() != nullptr; }

void podoVSTEditor::idle() { podoVSTEditorBase::idle(); }

namespace {

// Modifier bits of a key code: shift 1, alternate 2, command 4, control 8.
bool bit(const VstKeyCode &key, int mask) { return (key.modifier & mask) != 0; }

} // namespace

bool podoVSTEditor::onKeyDown(VstKeyCode &key)
{
    return podoVSTEditorBase::onKeyDown(key, bit(key, 1), bit(key, 2), bit(key, 4), bit(key, 8));
}

bool podoVSTEditor::onKeyUp(VstKeyCode &key)
{
    return podoVSTEditorBase::onKeyUp(key, bit(key, 1), bit(key, 2), bit(key, 4), bit(key, 8));
}

void podoVSTEditor::suspendView() { onSuspend(); }
void podoVSTEditor::resumeView() { onResume(); }
