// The editor bound to the VST 2.4 editor opcodes: the host's open, close, idle and key calls reach the
// notification queue and the hooks of podoVSTEditorBase. The frame in the host's window, zoom and
// skins build on this.
#pragma once

#include "editor-framework/podoVSTEditorBase.h"
#include "host/AEffEditor.h"

class podoVSTEditor : public podoVSTEditorBase, public AEffEditor
{
public:
    // Attaches itself to the effect (the effect's editor; effFlagsHasEditor set).
    explicit podoVSTEditor(AudioEffect *effect);
    // Detaches itself from the effect when it is still the effect's editor.
    ~podoVSTEditor() override;

    // AEffEditor: the window wrapper exists exactly while open.
    bool open(void *parentWindow) override;
    void close() override;
    bool isOpen() override;
    void idle() override;
    bool onKeyDown(VstKeyCode &key) override;
    bool onKeyUp(VstKeyCode &key) override;

    // Called by the engine around suspend and resume.
    virtual void suspendView();
    virtual void resumeView();
};
