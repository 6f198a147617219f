#include "engine/Quorix.h"

#include "editor/Quorix_Editor.h"
#include "effects/CSFXChorus.h"
#include "effects/CSFXReverb.h"
#include "engine/HostAutomationMap.h"
#include "engine/Temperaments.h"
#include "foundation/podoLog.h"
#include "foundation/podoWnd.h"
#include "host/PluginFactory.h"

#include <cstdio>
#include <cstring>
#include <new>

using namespace engine;

namespace {

constexpr const char *kErrorCaption = "Kestrane Quorix";

podoSyncCritical sharedLock;          // built when the module loads
ConfigurationBlock configurationBlock; // guarded by sharedLock

} // namespace

podoSyncCritical &engineSharedLock() { return sharedLock; }

ConfigurationBlock &sharedConfiguration() { return configurationBlock; }

podoVST *createPluginInstance(audioMasterCallback audioMaster) { return new Quorix(audioMaster); }

Quorix::Quorix(audioMasterCallback audioMaster) : KestraneVSTInstrument(audioMaster, kProgramCount, kHostParameterCount)
{
    std::memset(static_cast<void *>(&programBlock), 0, sizeof programBlock);
    clearEngineState(state);
    podoSyncCriticalBlock process(&processLock());
    loadSharedBanks();
    initialize(getInstanceCount());
}

Quorix::~Quorix()
{
    // The editor goes first: it must never outlive what it shows.
    deleteEditor();
    instrumentEditor = nullptr;
    podoSyncCriticalBlock process(&processLock());
    const int32_t live = getInstanceCount();
    podo::logMessage(1, false, "%s:%s: closing... #%d", makerName.getNarrow(), KestraneVST::productName.getNarrow(),
                     live);
    if (live <= 1 && !hasConstructionFailed())
        saveConfiguration();
    if (live <= 1) {
        freePatches();
        freeWavetables();
        freeSamples(true);
    }
    deleteEffects();
}

void Quorix::initialize(int32_t liveInstances)
{
    clearEngineState(state);
    if (liveInstances <= 1) {
        resetConfiguration();
        const int32_t result = loadConfiguration();
        if (result != fileOk && result != fileNotAccessible) {
            podo::showError(dataFileErrorText(result), kConfigurationFileName, kErrorCaption, nullptr);
            resetConfiguration();
        }
        selectTemperament(-1);
        buildDefaultProgram();
        clearHostAutomationMaps();
    }
    loadDefaultProgram(-1);
    MasterState &master = state.target.master;
    master.chorus.effect = new (std::nothrow) CSFXChorus();
    master.reverb.effect = new (std::nothrow) CSFXReverb();
    if (master.chorus.effect)
        master.chorus.effect->clear();
    if (master.reverb.effect)
        master.reverb.effect->clear();
    resetChannel(-1, 0);
}

void Quorix::deleteEffects()
{
    MasterState &master = state.target.master;
    delete master.chorus.effect;
    master.chorus.effect = nullptr;
    delete master.reverb.effect;
    master.reverb.effect = nullptr;
    for (ChannelState &channel : state.target.channels)
        for (InsertEffectSlot &slot : channel.insertEffects) {
            delete slot.effect;
            slot.effect = nullptr;
        }
}

Quorix_Editor *Quorix::createEditor() { return new (std::nothrow) Quorix_Editor(this); }

void Quorix::onOpen()
{
    {
        podoSyncCriticalBlock process(&processLock());
        if (!instrumentEditor)
            instrumentEditor = createEditor();
        if (!instrumentEditor) {
            podo::showError("creator", "editor", kErrorCaption, nullptr);
            setConstructionFailed();
            return;
        }
    }
    setProgram(0);
}

// The state chunk is the program block itself.
int32_t Quorix::onGetChunk(void **data, bool)
{
    podoSyncCriticalBlock lock(&instanceLock);
    markByteOrder(nullptr);
    if (data)
        *data = &programBlock;
    return kProgramBlockSize;
}

int32_t Quorix::onSetChunk(void *data, int32_t byteSize, bool)
{
    if (!data || byteSize != kProgramBlockSize)
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    std::memmove(&programBlock, data, sizeof programBlock);
    if (programBlock.byteOrder != kByteOrderMark)
        swapProgramByteOrder(&programBlock, 1);
    sanitizeProgramBlock(programBlock);
    onSetProgram(0);
    return 1;
}

void Quorix::onSetProgram(int32_t)
{
    podoSyncCriticalBlock lock(&instanceLock);
    if (instrumentEditor)
        instrumentEditor->clearMessages();
    const bool previous = setBulkLoading(true);
    for (int32_t index = 0; index <= kLastParameterIndex; ++index)
        setParameterValue(index, programBlock.values[index]);
    setBulkLoading(previous);
    // While the values went in, each range end met the previous program's other end.
    for (int32_t channel = 0; channel < kChannelCount; ++channel)
        orderChannelRanges(channel);
    if (instrumentEditor) {
        for (int32_t channel = 0; channel < kChannelCount; ++channel)
            instrumentEditor->postFloat(tag::ChannelStrip + channel, 1.0f);
        instrumentEditor->recalledChannelCount = 0;
        instrumentEditor->refreshTempoControls();
        instrumentEditor->postFloat(tag::BulkLoading, -1.0f);
        instrumentEditor->postFloat(tag::MidiLearn, -1.0f);
    }
    // No patch library is loaded yet, so the program names no patch category.
    assignProgramName(programBlock.name, -1, -1);
}

void Quorix::assignProgramName(const podoStr &name, int32_t categoryIndex, int32_t patchIndex)
{
    {
        podoSyncCriticalBlock lock(&instanceLock);
        copyName(programBlock.name, sizeof programBlock.name, name.getNarrow());
    }
    postEditorInt(tag::ProgramName, categoryIndex < 0 || patchIndex < 0 ? 0 : categoryIndex + 1);
}

void Quorix::onSetProgramName(const char *name) { assignProgramName(name ? name : "", -1, -1); }

void Quorix::onGetProgramName(char *name)
{
    if (!name)
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    copyName(name, sizeof programBlock.name, programBlock.name);
}

bool Quorix::onGetProgramNameIndexed(int32_t, int32_t index, char *name)
{
    if (index != 0) {
        if (name)
            name[0] = '\0';
        return false;
    }
    onGetProgramName(name);
    return true;
}

bool Quorix::onCopyProgram(int32_t) { return true; } // one program: it is its own copy

void Quorix::onSetParameter(int32_t slot, float value) { setParameterValue(parameterOfHostSlot(slot), value); }

float Quorix::onGetParameter(int32_t slot)
{
    const int32_t index = parameterOfHostSlot(slot);
    if (index >= 0)
        return getParameterValue(index);
    return slot >= 0 && slot < kHostParameterCount && hostParameterCache ? hostParameterCache[slot] : 0.0f;
}

void Quorix::onSuspend()
{
    podoSyncCriticalBlock lock(&instanceLock);
    for (ControllerState &controller : state.controllers) {
        controller.damper = 0;
        controller.sostenuto = 0;
    }
    resetChannel(-1, 0);
    if (instrumentEditor)
        instrumentEditor->suspendView();
}

void Quorix::onSetSampleRate(float rate)
{
    podoSyncCriticalBlock lock(&instanceLock);
    resetChannel(-1, 0);
    if (CSFX *chorus = state.target.master.chorus.effect)
        chorus->setSampleRate(rate);
    if (CSFX *reverb = state.target.master.reverb.effect)
        reverb->setSampleRate(rate);
}

bool Quorix::getOutputProperties(int32_t index, VstPinProperties *pin)
{
    if (index < 0 || index > 3 || !pin)
        return false;
    std::snprintf(pin->label, sizeof pin->label, "%s %s", KestraneVST::productName.getNarrow(),
                  index < 2 ? "main" : "sub");
    pin->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

void Quorix::onProcessReplacing(float **, float **outputs, int32_t frames)
{
    if (!outputs || frames <= 0)
        return;
    for (int32_t i = 0; i < 4; ++i)
        if (outputs[i])
            std::memset(outputs[i], 0, sizeof(float) * static_cast<size_t>(frames));
}
