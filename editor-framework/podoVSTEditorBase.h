// The window-independent part of an editor: the registry of its controls, found by tag; the notification
// queue through which the engine and the plug-in frame tell the editor about changes from any thread; and
// the hooks a concrete editor overrides.
#pragma once

#include "editor-framework/podoVGControl.h"
#include "foundation/davalArray.h"
#include "foundation/podoSyncCritical.h"
#include "host/vst24abi.h"

#include <atomic>
#include <cstdint>

class AudioEffect;
class podoWnd;

namespace qgui {
class CControl;
}

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
    // Value of one control carrying the tag (any of them when several do), 0 when none does.
    virtual float getParameter(int32_t tag);
    // Sets the value of every control carrying the tag.
    virtual void setParameter(int32_t tag, float value);
    // Called first by every value change of a control; may rewrite tag and value.
    virtual void preValueChanged(qgui::CControl *, int32_t &, float &) {}
    virtual void beginEdit();
    virtual void endEdit();
    // Applies one queued entry: setParameter with the low 32 bits read as a float.
    virtual void paramChanged(int32_t tag, uint64_t payload);

    // The registry. Controls are appended in creation order (a tag may appear several times); lookups by
    // tag see the sorted copy made by the last rebuildControlIndex, and run on the user-interface thread.
    virtual void registerControl(qgui::CControl *control);
    virtual void rebuildControlIndex();
    // Index in the sorted copy of an entry with the tag (any entry of a run of equal tags), -1 when none.
    virtual int32_t findControlIndex(int32_t tag);
    // The index operations act only when the entry at index (sorted copy) carries the tag.
    virtual float getControlValueAt(int32_t index, int32_t tag);
    virtual bool setControlValueAt(int32_t index, int32_t tag, float value);
    virtual void setVisibleByTag(int32_t tag, bool visible);
    virtual bool setControlVisibleAt(int32_t index, int32_t tag, bool visible);
    // Resizes the host's window to the editor's rectangle; the frame class does it.
    virtual bool sizeHostWindow() { return false; }

    // Registered controls in creation order.
    int32_t getControlCount() const { return controls.getCount(); }
    qgui::CControl *getControlAt(int32_t index) const;

    int32_t getEditCount() const { return editCount; }
    // Queue state, for the editor's own checks.
    int32_t queueCapacity();
    int32_t queuePending();

    // The open frame's platform window (owner of the editor's menus and message boxes); null while closed.
    podoWnd *getWindow() const { return window.load(); }

protected:
    // Set by the frame when its window opens and cleared when it closes (user-interface thread);
    // producers read it without the lock.
    void setWindow(podoWnd *newWindow) { window.store(newWindow); }

    podoSyncCritical editorLock; // guards the queue fields below; the innermost lock of the system
    void *userData = nullptr;
    AudioEffect *effect;
    std::atomic<podoWnd *> window{nullptr};
    float lastIdleTime = 0.0f;
    davalSortableArray<podoVGControl> controls;      // creation order
    davalSortableArray<podoVGControl> controlsByTag; // copy of controls, ascending by tag
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
