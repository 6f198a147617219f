#include "host/AudioEffect.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>

namespace {

AudioEffect *instanceOf(AEffect *e) { return e ? static_cast<AudioEffect *>(e->object) : nullptr; }

// Copies at most maxLen characters and a terminator.
void copyBounded(char *text, const char *source, int32_t maxLen)
{
    if (!text || maxLen < 0)
        return;
    size_t n = std::strlen(source);
    if (n > size_t(maxLen))
        n = size_t(maxLen);
    std::memcpy(text, source, n);
    text[n] = 0;
}

} // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams)
{
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = vstFourCC("NoEf");
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect()
{
    delete editor;
    editor = nullptr;
}

intptr_t AudioEffect::dispatchEffectClass(AEffect *e, int32_t opcode, int32_t index, intptr_t value, void *ptr,
                                          float opt)
{
    AudioEffect *effect = instanceOf(e);
    if (!effect)
        return 0;
    if (opcode == effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void AudioEffect::processClass(AEffect *e, float **inputs, float **outputs, int32_t sampleFrames)
{
    if (AudioEffect *effect = instanceOf(e))
        effect->process(inputs, outputs, sampleFrames);
}

void AudioEffect::setParameterClass(AEffect *e, int32_t index, float value)
{
    if (AudioEffect *effect = instanceOf(e))
        effect->setParameter(index, value);
}

float AudioEffect::getParameterClass(AEffect *e, int32_t index)
{
    AudioEffect *effect = instanceOf(e);
    return effect ? effect->getParameter(index) : 0.0f;
}

void AudioEffect::processClassReplacing(AEffect *e, float **inputs, float **outputs, int32_t sampleFrames)
{
    if (AudioEffect *effect = instanceOf(e))
        effect->processReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::processClassDoubleReplacing(AEffect *e, double **inputs, double **outputs, int32_t sampleFrames)
{
    if (AudioEffect *effect = instanceOf(e))
        effect->processDoubleReplacing(inputs, outputs, sampleFrames);
}

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void *ptr, float opt)
{
    switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: close(); return 0;
    case effSetProgram:
        if (value >= 0 && value < numPrograms)
            setProgram(int32_t(value));
        return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName: setProgramName(static_cast<char *>(ptr)); return 0;
    case effGetProgramName: getProgramName(static_cast<char *>(ptr)); return 0;
    case effGetParamLabel: getParameterLabel(index, static_cast<char *>(ptr)); return 0;
    case effGetParamDisplay: getParameterDisplay(index, static_cast<char *>(ptr)); return 0;
    case effGetParamName: getParameterName(index, static_cast<char *>(ptr)); return 0;
    case effSetSampleRate: setSampleRate(opt); return 0;
    case effSetBlockSize: setBlockSize(int32_t(value)); return 0;
    case effMainsChanged:
        if (value == 0)
            suspend();
        else
            resume();
        return 0;
    case effEditGetRect: return editor && editor->getRect(static_cast<ERect **>(ptr)) ? 1 : 0;
    case effEditOpen: return editor && editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (editor)
            editor->close();
        return 0;
    case effEditIdle:
        if (editor)
            editor->idle();
        return 0;
    case effIdentify: return vstFourCC("NvEf");
    case effGetChunk: return getChunk(static_cast<void **>(ptr), index != 0);
    case effSetChunk: return setChunk(ptr, int32_t(value), index != 0);
    default: return 0;
    }
}

void AudioEffect::setParameterAutomated(int32_t index, float value)
{
    setParameter(index, value);
    if (audioMaster)
        audioMaster(&cEffect, audioMasterAutomate, index, 0, nullptr, value);
}

int32_t AudioEffect::getMasterVersion()
{
    int32_t version = audioMaster ? int32_t(audioMaster(&cEffect, audioMasterVersion, 0, 0, nullptr, 0.0f)) : 0;
    return version == 0 ? 1 : version;
}

int32_t AudioEffect::getCurrentUniqueId()
{
    return audioMaster ? int32_t(audioMaster(&cEffect, audioMasterCurrentId, 0, 0, nullptr, 0.0f)) : 0;
}

void AudioEffect::masterIdle()
{
    if (audioMaster)
        audioMaster(&cEffect, audioMasterIdle, 0, 0, nullptr, 0.0f);
}

bool AudioEffect::isInputConnected(int32_t input)
{
    return !audioMaster || audioMaster(&cEffect, audioMasterPinConnected, input, 0, nullptr, 0.0f) == 0;
}

bool AudioEffect::isOutputConnected(int32_t output)
{
    return !audioMaster || audioMaster(&cEffect, audioMasterPinConnected, output, 1, nullptr, 0.0f) == 0;
}

void AudioEffect::int2string(int32_t value, char *text, int32_t maxLen)
{
    if (value >= 100000000) {
        copyBounded(text, "Huge!", maxLen);
        return;
    }
    char digits[16];
    int n = 0;
    int64_t v = value < 0 ? -int64_t(value) : int64_t(value);
    char out[20];
    int o = 0;
    if (value < 0)
        out[o++] = '-';
    while (v > 0) {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    }
    while (n > 0)
        out[o++] = digits[--n];
    out[o] = 0;
    copyBounded(text, out, maxLen);
}

void AudioEffect::float2string(float value, char *text, int32_t maxLen)
{
    if (!(value <= 99999999.0f && value >= -9999999.0f)) { // NaN lands here too
        copyBounded(text, "Huge!", maxLen);
        return;
    }
    // Sign, integer digits and the point make 8 characters with the fraction; printed from integers so
    // that the process locale never changes the point.
    bool negative = value < 0;
    double magnitude = std::fabs(double(value));
    int intDigits = 1;
    for (double limit = 10.0; magnitude >= limit && intDigits < 8; limit *= 10.0)
        ++intDigits;
    int fraction = 8 - (negative ? 1 : 0) - intDigits - 1;
    if (fraction < 0)
        fraction = 0;
    long long scale = 1;
    for (int i = 0; i < fraction; ++i)
        scale *= 10;
    long long scaled = std::llround(magnitude * double(scale));
    std::string fractionDigits = std::to_string(scaled % scale);
    if (fraction > 0)
        fractionDigits.insert(0, size_t(fraction) - std::min(fractionDigits.size(), size_t(fraction)), '0');
    else
        fractionDigits.clear();
    std::string out = (negative ? "-" : "") + std::to_string(scaled / scale) + "." + fractionDigits;
    copyBounded(text, out.c_str(), maxLen);
}

void AudioEffect::dB2string(float value, char *text, int32_t maxLen)
{
    if (value <= 0.0f)
        copyBounded(text, "-oo", maxLen);
    else
        float2string(float(20.0 * std::log10(double(value))), text, maxLen);
}

void AudioEffect::Hz2string(float samples, char *text, int32_t maxLen)
{
    float2string(samples == 0.0f ? 0.0f : sampleRate / samples, text, maxLen);
}

void AudioEffect::ms2string(float samples, char *text, int32_t maxLen)
{
    float2string(sampleRate > 0.0f ? samples * 1000.0f / sampleRate : 0.0f, text, maxLen);
}

// ---- AudioEffectX ----

AudioEffectX::AudioEffectX(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams)
    : AudioEffect(audioMaster, numPrograms, numParams)
{
}

intptr_t AudioEffectX::callHost(int32_t opcode, int32_t index, intptr_t value, void *ptr, float opt)
{
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void *ptr, float opt)
{
    switch (opcode) {
    case effProcessEvents: return processEvents(static_cast<VstEvents *>(ptr));
    case effCanBeAutomated: return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter: return string2parameter(index, static_cast<char *>(ptr)) ? 1 : 0;
    case effGetProgramNameIndexed:
        return getProgramNameIndexed(int32_t(value), index, static_cast<char *>(ptr)) ? 1 : 0;
    case effGetInputProperties: return getInputProperties(index, static_cast<VstPinProperties *>(ptr)) ? 1 : 0;
    case effGetOutputProperties: return getOutputProperties(index, static_cast<VstPinProperties *>(ptr)) ? 1 : 0;
    case effGetPlugCategory: return getPlugCategory();
    case effOfflineNotify: return offlineNotify(static_cast<VstAudioFile *>(ptr), int32_t(value), index != 0) ? 1 : 0;
    case effOfflinePrepare: return offlinePrepare(static_cast<VstOfflineTask *>(ptr), int32_t(value)) ? 1 : 0;
    case effOfflineRun: return offlineRun(static_cast<VstOfflineTask *>(ptr), int32_t(value)) ? 1 : 0;
    case effProcessVarIo: return processVariableIo(static_cast<VstVariableIo *>(ptr)) ? 1 : 0;
    case effSetSpeakerArrangement:
        return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement *>(value),
                                     static_cast<VstSpeakerArrangement *>(ptr))
                   ? 1
                   : 0;
    case effGetSpeakerArrangement:
        return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement **>(value),
                                     static_cast<VstSpeakerArrangement **>(ptr))
                   ? 1
                   : 0;
    case effSetBypass: return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName: return getEffectName(static_cast<char *>(ptr)) ? 1 : 0;
    case effGetVendorString: return getVendorString(static_cast<char *>(ptr)) ? 1 : 0;
    case effGetProductString: return getProductString(static_cast<char *>(ptr)) ? 1 : 0;
    case effGetVendorVersion: return getVendorVersion();
    case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
    case effCanDo: return ptr ? canDo(static_cast<char *>(ptr)) : 0;
    case effGetTailSize: return getGetTailSize();
    case effGetParameterProperties:
        return getParameterProperties(index, static_cast<VstParameterProperties *>(ptr)) ? 1 : 0;
    case effGetVstVersion: return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp: {
        if (!editor)
            return 0;
        VstKeyCode key{};
        key.character = index;
        key.virt = uint8_t(value);
        key.modifier = uint8_t(opt);
        return (opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key)) ? 1 : 0;
    }
    case effSetEditKnobMode: return editor && editor->setKnobMode(int(value)) ? 1 : 0;
    case effGetMidiProgramName: return getMidiProgramName(index, static_cast<MidiProgramName *>(ptr));
    case effGetCurrentMidiProgram: return getCurrentMidiProgram(index, static_cast<MidiProgramName *>(ptr));
    case effGetMidiProgramCategory: return getMidiProgramCategory(index, static_cast<MidiProgramCategory *>(ptr));
    case effHasMidiProgramsChanged: return hasMidiProgramsChanged(index) ? 1 : 0;
    case effGetMidiKeyName: return getMidiKeyName(index, static_cast<MidiKeyName *>(ptr)) ? 1 : 0;
    case effBeginSetProgram: return beginSetProgram() ? 1 : 0;
    case effEndSetProgram: return endSetProgram() ? 1 : 0;
    case effShellGetNextPlugin: return getNextShellPlugin(static_cast<char *>(ptr));
    case effStartProcess: return startProcess();
    case effStopProcess: return stopProcess();
    case effSetTotalSampleToProcess: return setTotalSampleToProcess(int32_t(value));
    case effSetPanLaw: return setPanLaw(int32_t(value), opt) ? 1 : 0;
    case effBeginLoadBank: return beginLoadBank(static_cast<VstPatchChunkInfo *>(ptr));
    case effBeginLoadProgram: return beginLoadProgram(static_cast<VstPatchChunkInfo *>(ptr));
    case effSetProcessPrecision: return setProcessPrecision(int32_t(value)) ? 1 : 0;
    case effGetNumMidiInputChannels: return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels: return getNumMidiOutputChannels();
    default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

void AudioEffectX::resume()
{
    static char midiEvent[] = "receiveVstMidiEvent";
    if ((cEffect.flags & effFlagsIsSynth) || canDo(midiEvent) == 1)
        wantEvents(1);
}

bool AudioEffectX::beginEdit(int32_t index) { return callHost(audioMasterBeginEdit, index) != 0; }
bool AudioEffectX::endEdit(int32_t index) { return callHost(audioMasterEndEdit, index) != 0; }
bool AudioEffectX::ioChanged() { return callHost(audioMasterIOChanged) != 0; }

double AudioEffectX::updateSampleRate()
{
    intptr_t rate = callHost(audioMasterGetSampleRate);
    if (rate > 0)
        sampleRate = float(rate);
    return sampleRate;
}

int32_t AudioEffectX::updateBlockSize()
{
    intptr_t size = callHost(audioMasterGetBlockSize);
    if (size > 0)
        blockSize = int32_t(size);
    return blockSize;
}

int32_t AudioEffectX::getInputLatency() { return int32_t(callHost(audioMasterGetInputLatency)); }
int32_t AudioEffectX::getOutputLatency() { return int32_t(callHost(audioMasterGetOutputLatency)); }

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement **input, VstSpeakerArrangement **output)
{
    if (input)
        *input = nullptr;
    if (output)
        *output = nullptr;
    return false;
}

VstTimeInfo *AudioEffectX::getTimeInfo(int32_t filter)
{
    return reinterpret_cast<VstTimeInfo *>(callHost(audioMasterGetTime, 0, filter));
}

int32_t AudioEffectX::getCurrentProcessLevel() { return int32_t(callHost(audioMasterGetCurrentProcessLevel)); }
int32_t AudioEffectX::getAutomationState() { return int32_t(callHost(audioMasterGetAutomationState)); }
bool AudioEffectX::getHostVendorString(char *text) { return callHost(audioMasterGetVendorString, 0, 0, text) != 0; }
bool AudioEffectX::getHostProductString(char *text) { return callHost(audioMasterGetProductString, 0, 0, text) != 0; }
int32_t AudioEffectX::getHostVendorVersion() { return int32_t(callHost(audioMasterGetVendorVersion)); }

intptr_t AudioEffectX::hostVendorSpecific(int32_t lArg1, intptr_t lArg2, void *ptrArg, float floatArg)
{
    return callHost(audioMasterVendorSpecific, lArg1, lArg2, ptrArg, floatArg);
}

// Only 1 is a yes: hosts answer -1 for no and 0 for do not know.
int32_t AudioEffectX::canHostDo(char *text) { return callHost(audioMasterCanDo, 0, 0, text) == 1 ? 1 : 0; }
int32_t AudioEffectX::getHostLanguage() { return int32_t(callHost(audioMasterGetLanguage)); }
void *AudioEffectX::getDirectory() { return reinterpret_cast<void *>(callHost(audioMasterGetDirectory)); }
int32_t AudioEffectX::getPlugCategory() { return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown; }
bool AudioEffectX::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }
bool AudioEffectX::sizeWindow(int32_t width, int32_t height) { return callHost(audioMasterSizeWindow, width, height) != 0; }

bool AudioEffectX::openFileSelector(VstFileSelect *ptr)
{
    return ptr && callHost(audioMasterOpenFileSelector, 0, 0, ptr) != 0;
}

bool AudioEffectX::closeFileSelector(VstFileSelect *ptr)
{
    return ptr && callHost(audioMasterCloseFileSelector, 0, 0, ptr) != 0;
}

namespace {

size_t arrangementBytes(int32_t channels)
{
    size_t extra = channels > 8 ? size_t(channels - 8) : 0;
    return sizeof(VstSpeakerArrangement) + extra * sizeof(VstSpeakerProperties);
}

} // namespace

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement **arrangement, int32_t nbChannels)
{
    if (!arrangement || nbChannels < 0)
        return false;
    std::free(*arrangement);
    *arrangement = static_cast<VstSpeakerArrangement *>(std::calloc(1, arrangementBytes(nbChannels)));
    if (!*arrangement)
        return false;
    (*arrangement)->numChannels = nbChannels;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement **arrangement)
{
    if (!arrangement)
        return false;
    std::free(*arrangement);
    *arrangement = nullptr;
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties *to, VstSpeakerProperties *from)
{
    if (!to || !from)
        return false;
    size_t n = strnlen(from->name, 63);
    std::memset(to->name, 0, sizeof to->name);
    std::memcpy(to->name, from->name, n);
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memcpy(to->future, from->future, sizeof to->future);
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement **to, VstSpeakerArrangement *from)
{
    if (!to || !from || !allocateArrangement(to, from->numChannels))
        return false;
    (*to)->type = from->type;
    for (int32_t i = 0; i < from->numChannels; ++i)
        copySpeaker(&(*to)->speakers[i], &from->speakers[i]);
    return true;
}

bool AudioEffectX::offlineRead(VstOfflineTask *offline, int32_t option, bool readSource)
{
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool AudioEffectX::offlineWrite(VstOfflineTask *offline, int32_t option)
{
    return callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}

bool AudioEffectX::offlineStart(VstAudioFile *ptr, int32_t numAudioFiles, int32_t numNewAudioFiles)
{
    return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, ptr) != 0;
}

int32_t AudioEffectX::offlineGetCurrentPass() { return int32_t(callHost(audioMasterOfflineGetCurrentPass)); }
int32_t AudioEffectX::offlineGetCurrentMetaPass() { return int32_t(callHost(audioMasterOfflineGetCurrentMetaPass)); }
int32_t AudioEffectX::wantEvents(int32_t filter) { return int32_t(callHost(audioMasterWantMidi, 0, filter)); }
int32_t AudioEffectX::tempoAt(int32_t pos) { return int32_t(callHost(audioMasterTempoAt, 0, pos)); }
int32_t AudioEffectX::getNumAutomatableParameters() { return int32_t(callHost(audioMasterGetNumAutomatableParameters)); }
int32_t AudioEffectX::getParameterQuantization() { return int32_t(callHost(audioMasterGetParameterQuantization)); }
bool AudioEffectX::needIdle() { return callHost(audioMasterNeedIdle) != 0; }
AEffect *AudioEffectX::getPreviousPlug(int32_t input) { return reinterpret_cast<AEffect *>(callHost(audioMasterGetPreviousPlug, 0, input)); }
AEffect *AudioEffectX::getNextPlug(int32_t output) { return reinterpret_cast<AEffect *>(callHost(audioMasterGetNextPlug, 0, output)); }
int32_t AudioEffectX::willProcessReplacing() { return int32_t(callHost(audioMasterWillReplaceOrAccumulate)); }
void AudioEffectX::setOutputSamplerate(float samplerate) { callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, samplerate); }

VstSpeakerArrangement *AudioEffectX::getInputSpeakerArrangement()
{
    return reinterpret_cast<VstSpeakerArrangement *>(callHost(audioMasterGetInputSpeakerArrangement));
}

VstSpeakerArrangement *AudioEffectX::getOutputSpeakerArrangement()
{
    return reinterpret_cast<VstSpeakerArrangement *>(callHost(audioMasterGetOutputSpeakerArrangement));
}

void *AudioEffectX::openWindow(void *window) { return reinterpret_cast<void *>(callHost(audioMasterOpenWindow, 0, 0, window)); }
bool AudioEffectX::closeWindow(void *window) { return callHost(audioMasterCloseWindow, 0, 0, window) != 0; }

bool AudioEffectX::getChunkFile(void *nativePath)
{
    return nativePath && callHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0;
}
