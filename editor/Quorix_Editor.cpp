#include "editor/Quorix_Editor.h"

#include "engine/HostAutomationMap.h"
#include "engine/ParameterIndex.h"
#include "engine/Quorix.h"

Quorix_Editor::Quorix_Editor(Quorix *engine) : podoVSTEditor(engine), engine(engine) {}

Quorix_Editor::~Quorix_Editor() = default;

bool Quorix_Editor::onOpen(void *)
{
    if (editorOpen)
        return false;
    editorOpen = true;
    return true;
}

void Quorix_Editor::onClose()
{
    clearMessages();
    editorOpen = false;
    engine->savePendingAutomation();
}

void Quorix_Editor::onIdle()
{
    podoVSTEditor::onIdle();
    engine->savePendingAutomation();
}

void Quorix_Editor::paramChanged(int32_t, uint64_t) {}

void Quorix_Editor::setParameter(int32_t hostSlot, float value)
{
    const int32_t index = engine::parameterOfHostSlot(hostSlot);
    if (index >= 0)
        updateControlByTag(index, value);
}

void Quorix_Editor::updateControlByTag(int32_t, float) {} // no page holds a control yet

void Quorix_Editor::refreshTempoControls()
{
    postMessage(engine::tag::Tempo, 0);
    postMessage(engine::tag::HostTempoSync, 0);
    postMessage(engine::tag::ChannelStrip, 0);
}
