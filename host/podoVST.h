// The plug-in frame: every host call is serialised on the instance's own lock and forwarded to a hook
// that the engine overrides. The frame also counts the live instances, keeps the host's time
// information, holds the host's events until the next processing call, caches host parameter values,
// answers the identity queries and carries the engine's notifications to the editor.
#pragma once

#include "foundation/podoStr.h"
#include "foundation/podoSyncCritical.h"
#include "host/AudioEffect.h"

#include <atomic>
#include <cstdint>

class podoVSTEditorBase;

// Process-wide: guards the live-instance count, the shared sound library, editor creation and the
// editor's shared skin data. Outermost during construction and destruction.
podoSyncCritical &processLock();

class podoVST : public AudioEffectX
{
public:
    // The host procedure registered through vendorSpecific "host"/"pSPr".
    using HostProcedure = intptr_t (*)(void *user, int64_t a, int64_t b, int64_t c);

    // Capacity of the event queue between the host's event lists and the next processing call;
    // events beyond it in one cycle are dropped (and counted).
    static constexpr int32_t eventQueueCapacity = 4096;
    // Bytes of System Exclusive data the queue keeps per cycle; a message that does not fit is dropped.
    static constexpr int32_t sysexPoolBytes = 65536;
    // The host's buffer for "cV2S" texts holds this much, terminator included.
    static constexpr int32_t hostTextBytes = 64;

    // Who counts a frame among the live instances. A derived class that decides on being the
    // first or the last live instance (the instrument loads and frees the shared library) counts
    // itself, so that the decision and the change of the count share one processLock section;
    // otherwise the frame counts itself in its constructor and out in its destructor.
    enum class InstanceCounting { byFrame, byDerived };

    podoVST(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams,
            InstanceCounting counting = InstanceCounting::byFrame);
    ~podoVST() override;

    // Set when this instance must not be handed to the host (no host callback, engine or editor
    // failure). Each instance has its own flag.
    bool hasConstructionFailed() const { return constructionFailed; }
    void setConstructionFailed() { constructionFailed = true; }

    static int32_t getInstanceCount();

    // Host-facing operations.
    void open() override;
    void close() override;
    void suspend() override;
    void resume() override;
    void setSampleRate(float rate) override;
    void setBlockSize(int32_t size) override;
    void processReplacing(float **inputs, float **outputs, int32_t sampleFrames) override;
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    void setProgram(int32_t program) override;
    void getProgramName(char *name) override;
    void getParameterLabel(int32_t index, char *label) override;
    void getParameterDisplay(int32_t index, char *text) override;
    void getParameterName(int32_t index, char *text) override;
    int32_t getChunk(void **data, bool isPreset) override;
    int32_t setChunk(void *data, int32_t byteSize, bool isPreset) override;
    bool canParameterBeAutomated(int32_t index) override;
    bool beginEdit(int32_t index) override;
    bool endEdit(int32_t index) override;
    bool getProgramNameIndexed(int32_t category, int32_t index, char *text) override;
    bool beginSetProgram() override { return true; }
    bool endSetProgram() override { return true; }
    int32_t beginLoadBank(VstPatchChunkInfo *info) override;
    int32_t beginLoadProgram(VstPatchChunkInfo *info) override;
    int32_t processEvents(VstEvents *events) override;
    bool getEffectName(char *name) override;
    bool getVendorString(char *text) override;
    bool getProductString(char *text) override;
    int32_t getVendorVersion() override;
    intptr_t vendorSpecific(int32_t index, intptr_t value, void *ptr, float opt) override;
    int32_t canDo(char *text) override;

    // The frame's own operations, with neutral defaults the engine overrides.
    virtual bool isEditorOpen();
    virtual void processAccumulating(float **inputs, float **outputs, int32_t sampleFrames);
    virtual void changeProgramName(const char *name);
    virtual bool copyCurrentProgram(int32_t destination);
    virtual int32_t getNumParams();
    virtual bool hostParameterText(int32_t index, float value, podoStr &text);
    virtual bool parseHostParameterText(int32_t index, const podoStr &text, float &value);
    virtual intptr_t callHostProcedure(int64_t a, int64_t b, int64_t c);
    virtual float getRunningTime();

    virtual void onOpen() {}
    virtual void onClose() {}
    virtual int64_t onVendorSpecific(int32_t, int32_t, void *, float) { return 0; }
    virtual void onSuspend() {}
    virtual void onResume() {}
    virtual int32_t onProcessEvents(VstEvents *) { return 1; }
    virtual void onProcessAccumulating(float **, float **, int32_t) {}
    virtual void onProcessReplacing(float **, float **, int32_t) {}
    virtual int32_t onGetChunk(void **, bool) { return 0; }
    // These two are called without instanceLock: they take it for as long as they must.
    virtual int32_t onSetChunk(void *, int32_t, bool) { return 0; }
    virtual void onSetProgram(int32_t) {}
    virtual void onSetProgramName(const char *) {}
    virtual void onGetProgramName(char *name) { clearText(name); }
    virtual bool onGetProgramNameIndexed(int32_t, int32_t, char *text)
    {
        clearText(text);
        return false;
    }
    virtual bool onCopyProgram(int32_t) { return false; }
    virtual void onSetParameter(int32_t, float) {}
    virtual float onGetParameter(int32_t) { return 0.0f; }
    virtual void onGetParameterDisplay(int32_t index, char *text);
    virtual void onGetParameterLabel(int32_t, char *text) { clearText(text); }
    virtual void onGetParameterName(int32_t, char *text) { clearText(text); }
    virtual void onSetSampleRate(float) {}
    virtual void onSetBlockSize(int32_t) {}
    virtual void onBeginEdit(int32_t) {}
    virtual void onEndEdit(int32_t) {}
    virtual bool parameterText(int32_t index, float value, podoStr &text);
    virtual bool parseParameterText(int32_t index, const podoStr &text, float &value);

    // The engine's only way to notify the editor: a tag and a 32-bit value reach the editor's queue
    // when an editor exists, from any thread; no lock of the frame's, no allocation.
    virtual void postEditorBytes(int32_t tag, uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);
    virtual void postEditorInt(int32_t tag, int32_t value);
    virtual void postEditorFloat(int32_t tag, float value);
    virtual void postEditorValue(int32_t tag, uint32_t value);

    virtual double getHostTempo();
    virtual double getHostPpqPosition();
    virtual bool isHostPlaying();
    virtual void getHostTimeSignature(int32_t &numerator, int32_t &denominator);
    virtual void updateTimeInfo();

    // Events dropped because a cycle brought more than the queue holds. A full queue drops
    // controllers and other events first, then note-ons, never note-offs nor controllers 120
    // and 123 while it holds anything else.
    int32_t getDroppedEventCount() const { return droppedEvents.load(std::memory_order_relaxed); }
    // System Exclusive messages dropped because their bytes did not fit the cycle's pool.
    int32_t getDroppedSysexCount() const { return droppedSysex.load(std::memory_order_relaxed); }
    // Logs the events and System Exclusive messages dropped since the last report; off the audio
    // thread (the editor's idle, suspend), since the audio thread only counts.
    void reportDroppedEvents();
    // The instance's share of the editor's idle, on the user-interface thread: the reports above;
    // the engine adds its own work.
    virtual void onEditorIdle() { reportDroppedEvents(); }

protected:
    // Counts this frame in (once) and answers the live count after it; the caller holds
    // processLock for as long as its decision on that count must hold.
    int32_t countInstanceIn();
    // Counts it out (once) and answers the live count after it, under the caller's processLock.
    int32_t countInstanceOut();

    // Deletes the editor object through its virtual destructor and detaches it, under processLock.
    // The engine's destructor calls this first, so the editor never outlives what it shows.
    void deleteEditor();

    int32_t instanceNumber = 0;
    void *hostUserPointer = nullptr;
    HostProcedure hostProcedure = nullptr;
    podoStr makerName;
    podoStr productName;
    uint32_t versionWord = 0x01040601;
    podoSyncCritical instanceLock;
    // Written by the host's user-interface thread (suspend, resume), read by the audio thread.
    std::atomic<bool> suspended{true};
    // The events of the current cycle, in time order: every list the host gave since the last
    // processing call. Null when there are none. Valid only inside onProcessReplacing.
    VstEvents *pendingEvents = nullptr;
    float frameSampleRate = 44100.0f;
    double hostTempo = 0.0;
    double hostPosition = 0.0;
    bool hostPlaying = false;
    float runningTime = 0.0f;
    int32_t hostTimeSignature[2] = {0, 0};
    float *hostParameterCache = nullptr;

private:
    void queueEvents(VstEvents *events);
    void clearEventQueue();
    bool parameterInRange(int32_t index) const { return index >= 0 && index < numParams; }

    bool constructionFailed = false;
    bool counted = false; // among the live instances; under processLock
    // Preallocated at construction: the list handed to the engine, the event copies and the
    // System Exclusive bytes they point at. Touched only under instanceLock.
    VstEvents *eventList = nullptr;
    VstEvent *eventStore = nullptr;
    char *sysexPool = nullptr;
    int32_t sysexUsed = 0;
    std::atomic<int32_t> droppedEvents{0};
    std::atomic<int32_t> droppedReported{0};
    std::atomic<int32_t> droppedSysex{0};
    std::atomic<int32_t> droppedSysexReported{0};
};

// The frame for instruments: a synthesizer that takes MIDI events.
class podoVSTInstrument : public podoVST
{
public:
    podoVSTInstrument(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams,
                      InstanceCounting counting = InstanceCounting::byFrame);
    int32_t canDo(char *text) override;
    int32_t getPlugCategory() override { return kPlugCategSynth; }
};
