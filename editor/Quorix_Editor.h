#pragma once
// The instrument's editor: one per engine instance, made by the engine when the host opens the
// plug-in and destroyed with it. It has no pages yet; it takes the engine's notifications
// through the queue of its base and answers the few calls the engine makes on it.

#include "editor-framework/podoVSTEditor.h"

#include <cstdint>

class Quorix;

class Quorix_Editor : public podoVSTEditor
{
public:
    explicit Quorix_Editor(Quorix *engine);
    ~Quorix_Editor() override;

    bool onOpen(void *parentWindow) override;
    void onClose() override;
    // Drains the queue, then writes the automation file when a MIDI learn on the audio thread
    // asked for it (the audio thread never writes files).
    void onIdle() override;
    // One queued notification; with no pages nothing shows it yet.
    void paramChanged(int32_t tag, uint64_t payload) override;
    // Host slot hostSlot changed to value: the control of the parameter the slot drives follows.
    void setParameter(int32_t hostSlot, float value) override;

    // Asks the tempo controls and the first channel strip to read the engine again.
    virtual void refreshTempoControls();
    // Shows value on every control carrying tag.
    virtual void updateControlByTag(int32_t tag, float value);

    // Channels of the patch recalled last; 0 after a program change. Written by the engine.
    int32_t recalledChannelCount = 0;

protected:
    Quorix *engine; // not owned
    bool editorOpen = false;
};
