// The window-independent part of an editor: the notification queue through which the engine and the
// plug-in frame tell the editor about changes from any thread, and the hooks a concrete editor
// overrides. The control registry joins this class with the editor's controls.
#pragma once

#include "foundation/podoSyncCritical.h"
#include "host/vst24abi.h"

#include <atomic>
#include <cstdint>

class AudioEffect;
class podoWnd;

// One notification: a tag and a 64-bit payload (a float's bits in the low half, an integer, four
// packed bytes with the first lowest, or a pointer); the tag says which.
struct EditorMessage {
    int32_t tag;
    uint64_t payload;
};

class podoVSTEditorBase
{
public:
    // The ring holds four entries per engine parameter at first and doubles when full while below
    // growthLimit entries, so its largest size is 1,833,024; a post to a full ring at that size is lost.
    static constexpr int32_t initialCapacity = 4 * 28641;
    static constexpr int32_t growthLimit = 0x100000;

    explicit podoVSTEditorBase(AudioEffect *effect);
    podoVSTEditorBase(const podoVSTEditorBase &) = delete;
    podoVSTEditorBase &operator=(const podoVSTEditorBase &) = delete;
    virtual ~podoVSTEditorBase();

    virtual void *getUserData() { return userData; }
    virtual void setUserData(void *data) { userData = data; }
    // Empties the queue (under the editor's lock).
    virtual void clearMessages();
    virtual void postFloat(int32_t tag, float value);
    // Appends one entry, from any thread; ignored for a negative tag or while the editor has no window.
    virtual void postMessage(int32_t tag, uint64_t payload);
    virtual void updateRect() {}
    virtual bool onOpen(void *) { return false; }
    virtual void onClose() { clearMessages(); }
    // Applies every queued entry, oldest first, on the user-interface thread.
    virtual void idle();
    virtual void onTimer(float) {}
    virtual void onSuspend() {}
    virtual void onResume() {}
    virtual bool onKeyDown(VstKeyCode, bool, bool, bool, bool) { return false; }
    virtual bool onKeyUp(VstKeyCode, bool, bool, bool, bool) { return false; }
    virtual float getParameter(int32_t) { return 0.0f; }
    virtual void setParameter(int32_t, float) {}
    virtual void beginEdit();
    virtual void endEdit();
    // Applies one queued entry: setParameter with the low 32 bits read as a float.
    virtual void paramChanged(int32_t tag, uint64_t payload);

    int32_t getEditCount() const { return editCount; }
    // Queue state, for the editor's own checks.
    int32_t queueCapacity();
    int32_t queuePending();

protected:
    // Set by the frame when its window opens and cleared when it closes (user-interface thread);
    // producers read it without the lock.
    void setWindow(podoWnd *newWindow) { window.store(newWindow); }
    podoWnd *getWindow() const { return window.load(); }

    podoSyncCritical editorLock; // guards the queue fields below; the innermost lock of the system
    void *userData = nullptr;
    AudioEffect *effect;
    std::atomic<podoWnd *> window{nullptr};
    float lastIdleTime = 0.0f;
    int32_t editCount = 0;
    EditorMessage *messages = nullptr;
    int32_t capacity = 0;
    int32_t pending = 0;
    int32_t writeIndex = 0; // one past the entry written last
    int32_t hostWidth = 0;
    int32_t hostHeight = 0;
    int32_t width = 745;
    int32_t height = 595;
};
