#include "engine/Quorix.h"

#include "banks/PatchBanks.h"
#include "editor/Quorix_Editor.h"
#include "effects/CSFXChorus.h"
#include "effects/CSFXReverb.h"
#include "banks/PatchBanks.h"
#include "engine/AutomationFile.h"
#include "engine/FileBackup.h"
#include "engine/HostAutomationMap.h"
#include "engine/Temperaments.h"
#include "engine/dsp/pitchTables.h"
#include "foundation/podoLog.h"
#include "foundation/podoWnd.h"
#include "host/PluginFactory.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

using namespace engine;

namespace {

constexpr const char *kErrorCaption = "Kestrane Quorix";

EngineSharedLock sharedLock;          // built when the module loads
ConfigurationBlock configurationBlock; // guarded by sharedLock

} // namespace

EngineSharedLock &engineSharedLock() { return sharedLock; }

ConfigurationBlock &sharedConfiguration() { return configurationBlock; }

podoVST *createPluginInstance(audioMasterCallback audioMaster) { return new Quorix(audioMaster); }

Quorix *Quorix::create(audioMasterCallback audioMaster)
{
    Quorix *instance = nullptr;
    try {
        instance = new Quorix(audioMaster);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    // A half-made instance goes through its whole destructor chain, counting itself out.
    if (instance->hasConstructionFailed()) {
        delete instance;
        return nullptr;
    }
    return instance;
}

// The instance counts itself in and out in the same processLock section as it decides on being
// the first (library loaded) or the last (shared files saved, library freed): two instances made
// or closed at once on two threads can then never both skip the load or the save.
Quorix::Quorix(audioMasterCallback audioMaster)
    : KestraneVSTInstrument(audioMaster, kProgramCount, kHostParameterCount, InstanceCounting::byDerived)
{
    std::memset(static_cast<void *>(&programBlock), 0, sizeof programBlock);
    clearEngineState(state);
    podoSyncCriticalBlock process(&processLock());
    const int32_t live = countInstanceIn();
    if (live <= 1) {
        // First, so that the empty user patches made while loading hold the default program.
        buildDefaultProgram();
        loadSharedLibrary();
    }
    initialize(live);
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
    const bool last = countInstanceOut() == 0;
    if (last && !hasConstructionFailed()) {
        saveConfiguration();
        saveAutomation();
        writePatchColors();
    } else {
        savePendingAutomation(); // a learn of this instance's last moments
    }
    if (last) {
        freePatches();
        freeWavetables();
        freeSamples(true);
    }
    deleteEffects();
}

void Quorix::initialize(int32_t liveInstances)
{
    if (liveInstances <= 1)
        removeStaleTemporaries(getUserPath());
    if (liveInstances <= 1 && !readPatchColors())
        writePatchColors();
    clearEngineState(state);
    if (liveInstances <= 1) {
        resetConfiguration();
        const int32_t result = loadConfiguration();
        if (result != fileOk && result != fileNotAccessible) {
            podo::showError(dataFileErrorText(result), kConfigurationFileName, kErrorCaption, nullptr);
            resetConfiguration();
            // The next save writes the defaults over it: keep the refused file under its backup name.
            // (A short file of an older layout is read, not refused, and stays as it is.)
            moveToBackup(getUserPath() + kConfigurationFileName);
        }
        selectTemperament(-1);
        buildDefaultProgram();
        clearHostAutomationMaps();
        setDefaultMidiAssignments(1, 0);
        const int32_t automation = loadAutomation();
        if (automation != fileOk) {
            if (automation != fileNotAccessible)
                podo::showError(dataFileErrorText(automation), kAutomationFileName, kErrorCaption, nullptr);
            setDefaultMidiAssignments(1, 0);
        }
    }
    buildPitchTables();
    loadDefaultProgram(-1);
    resetControllers(-1, 0);
    // The system effects start at the frame's rate (44,100 until a host sets one), so they
    // sound before the host's first rate call.
    MasterState &master = state.target.master;
    master.chorus.effect = new (std::nothrow) CSFXChorus();
    master.reverb.effect = new (std::nothrow) CSFXReverb();
    for (CSFX *effect : {static_cast<CSFX *>(master.chorus.effect), static_cast<CSFX *>(master.reverb.effect)}) {
        if (!effect)
            continue;
        effect->setSampleRate(frameSampleRate);
        effect->clear();
    }
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

// Under instanceLock (the frame's open); the one place where processLock is taken inside it.
void Quorix::onOpen()
{
    podoSyncCriticalBlock process(&processLock());
    if (!instrumentEditor)
        instrumentEditor = createEditor();
    if (!instrumentEditor) {
        // The instance plays on without an editor; the flag keeps the shared files from being
        // saved by it.
        podo::showError("creator", "editor", kErrorCaption, nullptr);
        setConstructionFailed();
    }
    setProgram(0);
    int32_t category = 0, patch = 0;
    readInitialPreset(&category, &patch);
    recallPatch(0, patchCategoryIndex[category], patch);
    savePendingAutomation();
}

// The state chunk is the program block. The host reads it after the hook has returned, outside
// the lock, so it gets a copy that nothing changes under it until its next call.
int32_t Quorix::onGetChunk(void **data, bool)
{
    podoSyncCriticalBlock lock(&instanceLock);
    markByteOrder(nullptr);
    std::memcpy(static_cast<void *>(&chunkOut), &programBlock, sizeof chunkOut);
    if (data)
        *data = &chunkOut;
    return kProgramBlockSize;
}

// A chunk is decoded and checked apart; only a block of the right size with one of the two
// byte-order marks replaces the program, with every field brought into range first. The render
// waits only for the short step that puts the decoded program in place.
int32_t Quorix::onSetChunk(void *data, int32_t byteSize, bool)
{
    if (!data || byteSize != kProgramBlockSize)
        return 0;
    std::unique_ptr<ProgramBlock> block(new (std::nothrow) ProgramBlock);
    if (!block)
        return 0;
    std::memcpy(static_cast<void *>(block.get()), data, sizeof *block);
    if (block->byteOrder != kByteOrderMark && block->byteOrder != kOtherByteOrderMark)
        return 0;
    if (block->byteOrder != kByteOrderMark)
        engine::swapProgramByteOrder(block.get(), 1);
    sanitizeProgramBlock(*block);
    return loadProgram(*block) ? 1 : 0;
}

// The program's own values again, through the same road as a chunk.
void Quorix::onSetProgram(int32_t)
{
    std::unique_ptr<ProgramBlock> block(new (std::nothrow) ProgramBlock);
    if (!block)
        return;
    {
        podoSyncCriticalBlock lock(&instanceLock);
        std::memcpy(static_cast<void *>(block.get()), &programBlock, sizeof *block);
    }
    loadProgram(*block);
}

void Quorix::assignProgramName(const podoStr &name, int32_t categoryIndex, int32_t patchIndex)
{
    nameProgram(name.getNarrow(), categoryIndex, patchIndex);
}

// Program changes and resets name the program on the audio thread: no text object is made.
void Quorix::nameProgram(const char *name, int32_t categoryIndex, int32_t patchIndex)
{
    {
        podoSyncCriticalBlock lock(&instanceLock);
        copyName(programBlock.name, sizeof programBlock.name, name);
    }
    postEditorInt(tag::ProgramName, categoryIndex < 0 || patchIndex < 0 ? 0 : categoryIndex + 1);
}

void Quorix::onSetProgramName(const char *name) { nameProgram(name, -1, -1); }

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

void Quorix::onResume()
{
    podoSyncCriticalBlock lock(&instanceLock);
    // Whatever changed while suspended sounds at once, not slewed in from the old values.
    state.runtime.smoothedSettled = 0;
    if (instrumentEditor)
        instrumentEditor->resumeView();
    reloadReleasedSamples(0);
}

void Quorix::onEditorIdle()
{
    KestraneVSTInstrument::onEditorIdle();
    reloadReleasedSamples(1);
}

// Letting go of the on-screen pitch wheel centres the bend of the channel being edited.
void Quorix::onEndEdit(int32_t tag)
{
    if (tag != tag::PitchWheel)
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    handleMidiMessage(getCurrentChannel(), 0xE0, 0, 64);
    postEditorFloat(tag::ModulationWheel, 0.5f);
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

