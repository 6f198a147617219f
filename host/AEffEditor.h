// The VST 2.4 editor base: the host's editor opcodes reach an editor object through these operations.
// Header-only, so that the editor framework can derive from it without linking the plug-in frame.
#pragma once

#include "host/vst24abi.h"

class AudioEffect;

class AEffEditor
{
public:
    explicit AEffEditor(AudioEffect *effect = nullptr) : effect(effect) {}
    virtual ~AEffEditor() = default;

    virtual AudioEffect *getEffect() { return effect; }
    // The editor's rectangle for the host; none by default.
    virtual bool getRect(ERect **rect)
    {
        if (rect)
            *rect = nullptr;
        return false;
    }
    // Stores the host's window; an editor that really opens overrides this.
    virtual bool open(void *ptr)
    {
        systemWindow = ptr;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode &) { return false; }
    virtual bool onKeyUp(VstKeyCode &) { return false; }
    virtual bool onWheel(float) { return false; }
    virtual bool setKnobMode(int) { return false; }

protected:
    AudioEffect *effect;
    void *systemWindow = nullptr;  // the host's parent window while open
};
