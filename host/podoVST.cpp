#include "host/podoVST.h"

#include "editor-framework/podoVSTEditorBase.h"
#include "foundation/podoGlobals.h"
#include "foundation/podoLog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

namespace {

// Live plug-in frames in this process; read and written only under processLock.
int32_t instanceCount = 0;

// Room for the largest event the queue copies (a System Exclusive event is 48 bytes).
union QueuedEvent {
    VstEvent event;
    VstMidiEvent midi;
    VstMidiSysexEvent sysex;
};

// Reads a four-character code from a host value (the first character in the most significant byte).
constexpr intptr_t code(const char (&text)[5]) { return intptr_t(uint32_t(vstFourCC(text))); }

void copyText(char *destination, const char *source, size_t bytes)
{
    if (!destination || bytes == 0)
        return;
    size_t n = std::strlen(source);
    if (n > bytes - 1)
        n = bytes - 1;
    std::memcpy(destination, source, n);
    destination[n] = 0;
}

// What a full queue gives up first: 2 controllers and everything else, 1 note-ons, 0 what
// stops sound (note-offs, controllers 120 and 123), which goes only when nothing else can.
int32_t dropRank(const VstEvent &event)
{
    if (event.type != kVstMidiType)
        return 2;
    const auto &midi = reinterpret_cast<const VstMidiEvent &>(event);
    const int32_t status = uint8_t(midi.midiData[0]) & 0xF0;
    const int32_t d1 = midi.midiData[1] & 0x7F, d2 = midi.midiData[2] & 0x7F;
    if (status == 0x80 || (status == 0x90 && d2 == 0) || (status == 0xB0 && (d1 == 120 || d1 == 123)))
        return 0;
    return status == 0x90 ? 1 : 2;
}

} // namespace

podoSyncCritical &processLock()
{
    static podoSyncCritical lock;
    return lock;
}

podoVST::podoVST(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams, InstanceCounting counting)
    : AudioEffectX(audioMaster, numPrograms, numParams)
{
    makerName = "Kestrane";
    productName = "Quorix";
    versionWord = 0x01040601;
    frameSampleRate = 44100.0f;

    // Preallocated here so that the audio thread never allocates for events.
    eventList = reinterpret_cast<VstEvents *>(
        new char[sizeof(VstEvents) + size_t(eventQueueCapacity) * sizeof(VstEvent *)]);
    eventList->numEvents = 0;
    eventList->reserved = 0;
    eventStore = reinterpret_cast<VstEvent *>(new QueuedEvent[eventQueueCapacity]);
    sysexPool = new char[sysexPoolBytes];

    podoSyncCriticalBlock block(&processLock());
    if (counting == InstanceCounting::byFrame)
        countInstanceIn();
    const char *maker = makerName.getNarrow();
    const char *product = productName.getNarrow();
    hostParameterCache = new float[size_t(numParams > 0 ? numParams : 0) + 1]();
    podo::setModuleInstance(); // the identity part finds the module's folder through it
    if (audioMaster) {
        curProgram = 0;
        setUniqueID(vstFourCC("ZQRV"));
        setNumInputs(0);
        setNumOutputs(4);
        cEffect.flags |= effFlagsCanReplacing | effFlagsProgramChunks;
    } else {
        podo::logMessage(4, true, "%s:%s: ctor failed #%d", maker, product, instanceNumber);
        setConstructionFailed();
    }
}

podoVST::~podoVST()
{
    {
        podoSyncCriticalBlock block(&processLock());
        podoVST::suspend();
        deleteEditor();
        podoVST::close();
        delete[] hostParameterCache;
        hostParameterCache = nullptr;
        if (counted)
            countInstanceOut();
    }
    delete[] sysexPool;
    delete[] reinterpret_cast<QueuedEvent *>(eventStore);
    delete[] reinterpret_cast<char *>(eventList);
}

int32_t podoVST::countInstanceIn()
{
    podoSyncCriticalBlock block(&processLock());
    if (counted)
        return instanceCount;
    counted = true;
    ++instanceCount;
    instanceNumber = instanceCount;
    const char *maker = makerName.getNarrow();
    const char *product = productName.getNarrow();
    podo::logMessage(1, false, "%s:%s: instance #%d", maker, product, instanceNumber);
    if (instanceNumber <= 1) {
        podo::logMessage(1, false, "%s:%s: version %d.%d.%d.%d (%s) %s", maker, product, int(versionWord >> 24),
                         int((versionWord >> 16) & 0xFF), int((versionWord >> 8) & 0xFF), int(versionWord & 0xFF),
                         __DATE__, "x86-64-bit");
        if (audioMaster) {
            char vendor[64] = {0};
            char hostProduct[64] = {0};
            getHostVendorString(vendor);
            getHostProductString(hostProduct);
        }
    }
    return instanceCount;
}

int32_t podoVST::countInstanceOut()
{
    podoSyncCriticalBlock block(&processLock());
    if (!counted)
        return instanceCount;
    counted = false;
    if (--instanceCount < 0) {
        instanceCount = 0;
        podo::logMessage(4, true, "%s:%s: dtor not matched", makerName.getNarrow(), productName.getNarrow());
    }
    return instanceCount;
}

int32_t podoVST::getInstanceCount()
{
    podoSyncCriticalBlock block(&processLock());
    return instanceCount;
}

void podoVST::deleteEditor()
{
    podoSyncCriticalBlock block(&processLock());
    AEffEditor *old = editor;
    setEditor(nullptr);
    delete old;
}

void podoVST::open()
{
    podoSyncCriticalBlock block(&instanceLock);
    onOpen();
}

void podoVST::close()
{
    podoSyncCriticalBlock block(&instanceLock);
    onClose();
}

void podoVST::suspend()
{
    podoSyncCriticalBlock block(&instanceLock);
    if (suspended.load())
        return;
    suspended.store(true);
    clearEventQueue(); // the host's lists are not ours to read after this
    onSuspend();
    reportDroppedEvents();
}

void podoVST::resume()
{
    podoSyncCriticalBlock block(&instanceLock);
    if (!suspended.load())
        return;
    clearEventQueue();
    static char midiEvent[] = "receiveVstMidiEvent";
    if ((cEffect.flags & effFlagsIsSynth) || canDo(midiEvent) == 1)
        wantEvents(1);
    onResume();
    suspended.store(false);
}

void podoVST::setSampleRate(float rate)
{
    if (!std::isfinite(rate) || rate <= 0.0f)
        return; // a rate the renders cannot divide by: keep the previous one
    podoSyncCriticalBlock block(&instanceLock);
    sampleRate = rate;
    frameSampleRate = rate;
    onSetSampleRate(rate);
}

void podoVST::setBlockSize(int32_t size)
{
    podoSyncCriticalBlock block(&instanceLock);
    blockSize = size;
    onSetBlockSize(size);
}

void podoVST::processReplacing(float **inputs, float **outputs, int32_t sampleFrames)
{
    if (suspended.load()) {
        // No lock and no time passes; the host still gets silence rather than stale buffers.
        if (outputs && sampleFrames > 0)
            for (int32_t i = 0; i < cEffect.numOutputs; ++i)
                if (outputs[i])
                    std::memset(outputs[i], 0, sizeof(float) * size_t(sampleFrames));
        return;
    }
    podoSyncCriticalBlock block(&instanceLock);
    updateTimeInfo();
    onProcessReplacing(inputs, outputs, sampleFrames);
    clearEventQueue();
    runningTime += float(sampleFrames) / frameSampleRate;
}

void podoVST::processAccumulating(float **inputs, float **outputs, int32_t sampleFrames)
{
    if (suspended.load())
        return; // accumulating: the host's buffers stay as they are
    podoSyncCriticalBlock block(&instanceLock);
    updateTimeInfo();
    onProcessAccumulating(inputs, outputs, sampleFrames);
    clearEventQueue();
    runningTime += float(sampleFrames) / frameSampleRate;
}

int32_t podoVST::processEvents(VstEvents *events)
{
    podoSyncCriticalBlock block(&instanceLock);
    if (!suspended.load())
        queueEvents(events);
    return onProcessEvents(events);
}

void podoVST::clearEventQueue()
{
    eventList->numEvents = 0;
    sysexUsed = 0;
    pendingEvents = nullptr;
}

void podoVST::queueEvents(VstEvents *events)
{
    if (!events)
        return;
    auto *store = reinterpret_cast<QueuedEvent *>(eventStore);
    // The host's list holds numEvents pointers, more than the two its declaration shows.
    VstEvent *const *given = events->events;
    for (int32_t i = 0; i < events->numEvents; ++i) {
        VstEvent *source = given[i];
        if (!source)
            continue;
        VstEvent **list = eventList->events;
        int32_t count = eventList->numEvents;
        QueuedEvent *slot = count < eventQueueCapacity ? &store[count] : nullptr;
        if (!slot) {
            // Full: the latest queued event that matters less makes room, or this one goes.
            droppedEvents.fetch_add(1, std::memory_order_relaxed);
            const int32_t rank = dropRank(*source);
            int32_t victim = -1;
            for (int32_t least = 2; least > rank && victim < 0; --least)
                for (int32_t i = count - 1; i >= 0 && victim < 0; --i)
                    if (dropRank(*list[i]) == least)
                        victim = i;
            if (victim < 0)
                continue;
            slot = reinterpret_cast<QueuedEvent *>(list[victim]);
            std::memmove(list + victim, list + victim + 1, sizeof(VstEvent *) * size_t(count - victim - 1));
            eventList->numEvents = --count;
        }
        QueuedEvent &copy = *slot;
        if (source->type == kVstSysExType) {
            auto *sysex = reinterpret_cast<VstMidiSysexEvent *>(source);
            int32_t bytes = sysex->dumpBytes;
            if (bytes < 0 || (bytes > 0 && !sysex->sysexDump) || bytes > sysexPoolBytes - sysexUsed) {
                if (bytes > sysexPoolBytes - sysexUsed)
                    droppedSysex.fetch_add(1, std::memory_order_relaxed);
                else
                    droppedEvents.fetch_add(1, std::memory_order_relaxed);
                continue;
            }
            copy.sysex = *sysex;
            copy.sysex.sysexDump = sysexPool + sysexUsed;
            if (bytes > 0)
                std::memcpy(sysexPool + sysexUsed, sysex->sysexDump, size_t(bytes));
            sysexUsed += bytes;
        } else {
            copy.event = *source; // MIDI events and the other 32-byte kinds
        }
        // Keep the whole cycle in time order; equal offsets keep the order they came in.
        int32_t at = count;
        while (at > 0 && list[at - 1]->deltaFrames > copy.event.deltaFrames) {
            list[at] = list[at - 1];
            --at;
        }
        list[at] = &copy.event;
        eventList->numEvents = count + 1;
    }
    pendingEvents = eventList->numEvents > 0 ? eventList : nullptr;
}

void podoVST::reportDroppedEvents()
{
    // No lock: the file write must not hold up the audio thread.
    const int32_t dropped = droppedEvents.load(std::memory_order_relaxed);
    int32_t reported = droppedReported.load(std::memory_order_relaxed);
    if (dropped != reported && droppedReported.compare_exchange_strong(reported, dropped))
        podo::logMessage(3, true, "Quorix: %d MIDI events dropped: more than %d in one processing cycle #%d",
                         dropped - reported, eventQueueCapacity, instanceNumber);
    const int32_t sysex = droppedSysex.load(std::memory_order_relaxed);
    int32_t sysexReported = droppedSysexReported.load(std::memory_order_relaxed);
    if (sysex != sysexReported && droppedSysexReported.compare_exchange_strong(sysexReported, sysex))
        podo::logMessage(3, true,
                         "Quorix: %d System Exclusive messages dropped: more than %d bytes in one processing cycle #%d",
                         sysex - sysexReported, sysexPoolBytes, instanceNumber);
}

void podoVST::setParameter(int32_t index, float value)
{
    podoSyncCriticalBlock block(&instanceLock);
    if (!parameterInRange(index))
        return;
    // The host reads the value back as a parameter value: NaN as 0, the rest held to 0..1.
    value = std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);
    onSetParameter(index, value);
    hostParameterCache[index] = value;
}

float podoVST::getParameter(int32_t index)
{
    podoSyncCriticalBlock block(&instanceLock);
    return parameterInRange(index) ? onGetParameter(index) : 0.0f;
}

// The hook takes the lock itself, only for as long as it must hold up the render.
void podoVST::setProgram(int32_t program)
{
    if (program >= 0 && program < numPrograms)
        onSetProgram(program);
}

void podoVST::getProgramName(char *name)
{
    podoSyncCriticalBlock block(&instanceLock);
    onGetProgramName(name);
}

bool podoVST::getProgramNameIndexed(int32_t category, int32_t index, char *text)
{
    podoSyncCriticalBlock block(&instanceLock);
    return onGetProgramNameIndexed(category, index, text);
}

void podoVST::getParameterLabel(int32_t index, char *label)
{
    if (parameterInRange(index))
        onGetParameterLabel(index, label);
    else
        clearText(label);
}

void podoVST::getParameterDisplay(int32_t index, char *text)
{
    if (parameterInRange(index))
        onGetParameterDisplay(index, text);
    else
        clearText(text);
}

void podoVST::getParameterName(int32_t index, char *text)
{
    if (parameterInRange(index))
        onGetParameterName(index, text);
    else
        clearText(text);
}

void podoVST::onGetParameterDisplay(int32_t index, char *text)
{
    podoStr display;
    if (hostParameterText(index, getParameter(index), display))
        copyText(text, display.getNarrow(), hostTextBytes);
    else
        clearText(text);
}

int32_t podoVST::getChunk(void **data, bool isPreset)
{
    podoSyncCriticalBlock block(&instanceLock);
    return onGetChunk(data, isPreset);
}

// The hook takes the lock itself, only for as long as it must hold up the render.
int32_t podoVST::setChunk(void *data, int32_t byteSize, bool isPreset)
{
    return onSetChunk(data, byteSize, isPreset);
}

bool podoVST::canParameterBeAutomated(int32_t index) { return parameterInRange(index); }

bool podoVST::beginEdit(int32_t index)
{
    onBeginEdit(index);
    return AudioEffectX::beginEdit(index);
}

bool podoVST::endEdit(int32_t index)
{
    onEndEdit(index);
    return AudioEffectX::endEdit(index);
}

int32_t podoVST::beginLoadBank(VstPatchChunkInfo *info)
{
    return info && info->pluginUniqueID == cEffect.uniqueID ? 1 : -1;
}

int32_t podoVST::beginLoadProgram(VstPatchChunkInfo *info)
{
    return info && info->pluginUniqueID == cEffect.uniqueID ? 1 : -1;
}

bool podoVST::getEffectName(char *name)
{
    copyText(name, productName.getNarrow(), kVstMaxEffectNameLen);
    return true;
}

bool podoVST::getVendorString(char *text)
{
    copyText(text, makerName.getNarrow(), kVstMaxVendorStrLen);
    return true;
}

bool podoVST::getProductString(char *text)
{
    copyText(text, productName.getNarrow(), kVstMaxProductStrLen);
    return true;
}

int32_t podoVST::getVendorVersion()
{
    return int32_t((versionWord >> 24) & 0xFF) * 1000 + int32_t((versionWord >> 16) & 0xFF) * 100 +
           int32_t((versionWord >> 8) & 0xFF) * 10 + int32_t(versionWord & 0xFF);
}

int32_t podoVST::canDo(char *text)
{
    if (text && (std::strcmp(text, "receiveVstEvents") == 0 || std::strcmp(text, "receiveVstTimeInfo") == 0))
        return 1;
    return -1;
}

intptr_t podoVST::vendorSpecific(int32_t index, intptr_t value, void *ptr, float opt)
{
    intptr_t answer = 0;
    if (index == vstFourCC("stCA") && value == code("Whee")) {
        if (editor && editor->onWheel(opt))
            answer = 1;
    } else if (index == vstFourCC("host") && (value == code("cS2V") || value == code("cV2S") ||
                                                value == code("pHst") || value == code("pSPr"))) {
        // Only these hold the lock here: the others take what they need in the hook, so that a
        // program change sent this way does not hold up the render.
        podoSyncCriticalBlock block(&instanceLock);
        // The host parameter index travels in opt; anything but a whole slot number is refused.
        bool slotValid = std::isfinite(opt) && opt >= 0.0f && opt < float(numParams);
        int32_t slot = slotValid ? int32_t(opt) : -1;
        if (value == code("cS2V")) {
            if (slotValid && ptr) {
                float result = 0.0f;
                // The host's text is read no further than its conventional buffer.
                podoStr hostText;
                hostText.setNarrow(static_cast<const char *>(ptr), int(strnlen(static_cast<const char *>(ptr), 255)));
                if (parseHostParameterText(slot, hostText, result)) {
                    std::memcpy(ptr, &result, sizeof result);
                    answer = 1;
                }
            }
        } else if (value == code("cV2S")) {
            if (slotValid && ptr) {
                float in;
                std::memcpy(&in, ptr, sizeof in);
                podoStr text;
                if (hostParameterText(slot, in, text)) {
                    copyText(static_cast<char *>(ptr), text.getNarrow(), hostTextBytes);
                    answer = 1;
                }
            }
        } else if (value == code("pHst")) {
            if (ptr)
                hostUserPointer = ptr;
            answer = reinterpret_cast<intptr_t>(hostUserPointer);
        } else if (value == code("pSPr")) {
            hostProcedure = reinterpret_cast<HostProcedure>(ptr);
        }
    }
    int64_t hook = onVendorSpecific(index, int32_t(value), ptr, opt);
    return hook != 0 ? intptr_t(hook) : answer;
}

bool podoVST::isEditorOpen()
{
    if (suspended.load())
        return false;
    return editor && editor->isOpen();
}

void podoVST::changeProgramName(const char *name)
{
    podoSyncCriticalBlock block(&instanceLock);
    onSetProgramName(name ? name : "");
}

bool podoVST::copyCurrentProgram(int32_t destination)
{
    if (destination < 0 || destination >= numPrograms)
        return false;
    podoSyncCriticalBlock block(&instanceLock);
    return onCopyProgram(destination);
}

int32_t podoVST::getNumParams() { return numParams; }

bool podoVST::hostParameterText(int32_t index, float value, podoStr &text) { return parameterText(index, value, text); }

bool podoVST::parseHostParameterText(int32_t index, const podoStr &text, float &value)
{
    return parseParameterText(index, text, value);
}

intptr_t podoVST::callHostProcedure(int64_t a, int64_t b, int64_t c)
{
    return hostProcedure ? hostProcedure(hostUserPointer, a, b, c) : 0;
}

float podoVST::getRunningTime()
{
    podoSyncCriticalBlock block(&instanceLock);
    return runningTime;
}

bool podoVST::parameterText(int32_t, float value, podoStr &text)
{
    text.format("%f", double(value));
    return true;
}

bool podoVST::parseParameterText(int32_t, const podoStr &text, float &value)
{
    double parsed = text.toDouble();
    // A number beyond the float range counts as none, like one that is not finite.
    value = std::fabs(parsed) <= double(std::numeric_limits<float>::max()) ? float(parsed) : 0.0f;
    return true;
}

void podoVST::postEditorBytes(int32_t tag, uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3)
{
    postEditorValue(tag, uint32_t(b0) | (uint32_t(b1) << 8) | (uint32_t(b2) << 16) | (uint32_t(b3) << 24));
}

void podoVST::postEditorInt(int32_t tag, int32_t value) { postEditorValue(tag, uint32_t(value)); }

void podoVST::postEditorFloat(int32_t tag, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    postEditorValue(tag, bits);
}

void podoVST::postEditorValue(int32_t tag, uint32_t value)
{
    if (auto *queue = dynamic_cast<podoVSTEditorBase *>(editor))
        queue->postMessage(tag, uint64_t(value));
}

double podoVST::getHostTempo()
{
    podoSyncCriticalBlock block(&instanceLock);
    return hostTempo;
}

double podoVST::getHostPpqPosition()
{
    podoSyncCriticalBlock block(&instanceLock);
    return hostPosition;
}

bool podoVST::isHostPlaying()
{
    podoSyncCriticalBlock block(&instanceLock);
    return hostPlaying;
}

void podoVST::getHostTimeSignature(int32_t &numerator, int32_t &denominator)
{
    podoSyncCriticalBlock block(&instanceLock);
    numerator = hostTimeSignature[0];
    denominator = hostTimeSignature[1];
}

void podoVST::updateTimeInfo()
{
    VstTimeInfo *info = getTimeInfo(kVstTempoValid | kVstPpqPosValid | kVstTransportPlaying | kVstTimeSigValid);
    if (!info) {
        hostPlaying = false;
        hostTempo = 120.0;
        hostTimeSignature[0] = 4;
        hostTimeSignature[1] = 4;
        return;
    }
    int32_t flags = info->flags;
    // A tempo the renders cannot use is taken as absent.
    bool tempoUsable = (flags & kVstTempoValid) && std::isfinite(info->tempo) && info->tempo > 0.0;
    hostTempo = tempoUsable ? info->tempo : 120.0;
    if ((flags & kVstPpqPosValid) && (flags & kVstTransportPlaying))
        hostPosition = info->ppqPos >= 0.0 ? info->ppqPos : 0.0;
    hostPlaying = (flags & kVstTransportPlaying) != 0;
    if (flags & kVstTimeSigValid) {
        hostTimeSignature[0] = info->timeSigNumerator;
        hostTimeSignature[1] = info->timeSigDenominator;
    } else {
        hostTimeSignature[0] = 4;
        hostTimeSignature[1] = 4;
    }
}

// ---- podoVSTInstrument ----

podoVSTInstrument::podoVSTInstrument(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams,
                                     InstanceCounting counting)
    : podoVST(audioMaster, numPrograms, numParams, counting)
{
    isSynth(true);
}

int32_t podoVSTInstrument::canDo(char *text)
{
    if (text && std::strcmp(text, "receiveVstMidiEvent") == 0)
        return 1;
    return podoVST::canDo(text);
}
