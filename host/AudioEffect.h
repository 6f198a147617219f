// The plug-in side of the VST 2.4 interface: the effect record the host holds, the decoding of the
// host's dispatcher opcodes into virtual operations with neutral defaults, and small wrappers around
// the host callback. The plug-in frame (podoVST) overrides what the instrument needs.
#pragma once

#include "host/AEffEditor.h"
#include "host/vst24abi.h"

#include <cstdint>

class AudioEffect
{
public:
    AudioEffect(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
    // Deletes an editor that is still attached.
    virtual ~AudioEffect();

    // The six callbacks of the effect record: they find the instance through the record's object.
    static intptr_t dispatchEffectClass(AEffect *e, int32_t opcode, int32_t index, intptr_t value, void *ptr,
                                        float opt);
    static void processClass(AEffect *e, float **inputs, float **outputs, int32_t sampleFrames);
    static void setParameterClass(AEffect *e, int32_t index, float value);
    static float getParameterClass(AEffect *e, int32_t index);
    static void processClassReplacing(AEffect *e, float **inputs, float **outputs, int32_t sampleFrames);
    static void processClassDoubleReplacing(AEffect *e, double **inputs, double **outputs, int32_t sampleFrames);

    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void *ptr, float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}

    virtual void setSampleRate(float sampleRate) { this->sampleRate = sampleRate; }
    virtual void setBlockSize(int32_t blockSize) { this->blockSize = blockSize; }

    virtual void processReplacing(float **inputs, float **outputs, int32_t sampleFrames) = 0;
    virtual void processDoubleReplacing(double **, double **, int32_t) {}

    virtual void setParameter(int32_t, float) {}
    virtual float getParameter(int32_t) { return 0.0f; }
    virtual void setParameterAutomated(int32_t index, float value);

    virtual int32_t getProgram() { return curProgram; }
    virtual void setProgram(int32_t program) { curProgram = program; }
    virtual void setProgramName(char *) {}
    virtual void getProgramName(char *name) { clearText(name); }
    virtual void getParameterLabel(int32_t, char *label) { clearText(label); }
    virtual void getParameterDisplay(int32_t, char *text) { clearText(text); }
    virtual void getParameterName(int32_t, char *text) { clearText(text); }

    virtual int32_t getChunk(void **, bool) { return 0; }
    virtual int32_t setChunk(void *, int32_t, bool) { return 0; }

    virtual void setUniqueID(int32_t id) { cEffect.uniqueID = id; }
    virtual void setNumInputs(int32_t inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(int32_t outputs) { cEffect.numOutputs = outputs; }
    virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    virtual void canDoubleReplacing(bool state = true) { setFlag(effFlagsCanDoubleReplacing, state); }
    virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    virtual void setInitialDelay(int32_t delay) { cEffect.initialDelay = delay; }

    virtual AEffEditor *getEditor() { return editor; }
    virtual AEffect *getAeffect() { return &cEffect; }
    virtual float getSampleRate() { return sampleRate; }
    virtual int32_t getBlockSize() { return blockSize; }

    // Host wrappers: without a host callback each does nothing and answers its neutral value.
    virtual int32_t getMasterVersion();
    virtual int32_t getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(int32_t input);
    virtual bool isOutputConnected(int32_t output);

    // Text helpers: each writes at most maxLen characters and a terminator.
    virtual void dB2string(float value, char *text, int32_t maxLen);
    virtual void Hz2string(float samples, char *text, int32_t maxLen);
    virtual void ms2string(float samples, char *text, int32_t maxLen);
    virtual void float2string(float value, char *text, int32_t maxLen);
    virtual void int2string(int32_t value, char *text, int32_t maxLen);

    // The accumulating processing of the old interface; the record's process entry reaches it.
    virtual void process(float **, float **, int32_t) {}
    virtual float getVu() { return 0.0f; }
    virtual void hasVu(bool state = true) { setFlag(effFlagsHasVu, state); }
    virtual void hasClip(bool state = true) { setFlag(effFlagsHasClip, state); }
    virtual void canMono(bool state = true) { setFlag(effFlagsCanMono, state); }
    virtual void setRealtimeQualities(int32_t qualities) { cEffect.realQualities = qualities; }
    virtual void setOfflineQualities(int32_t qualities) { cEffect.offQualities = qualities; }

    // Attaches (or with null detaches) the editor and keeps effFlagsHasEditor in step. Inline, so the
    // editor framework attaches itself without linking the frame.
    void setEditor(AEffEditor *newEditor)
    {
        editor = newEditor;
        setFlag(effFlagsHasEditor, newEditor != nullptr);
    }

protected:
    static void clearText(char *text)
    {
        if (text)
            *text = 0;
    }
    void setFlag(int32_t flag, bool state)
    {
        if (state)
            cEffect.flags |= flag;
        else
            cEffect.flags &= ~flag;
    }

    audioMasterCallback audioMaster;
    AEffEditor *editor = nullptr;
    float sampleRate = 44100.0f;
    int32_t blockSize = 1024;
    int32_t numPrograms;
    int32_t numParams;
    int32_t curProgram = 0;
    AEffect cEffect;
};

class AudioEffectX : public AudioEffect
{
public:
    AudioEffectX(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);

    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void *ptr, float opt) override;
    // Announces MIDI interest to the host before the base's (empty) resume.
    void resume() override;

    virtual bool canParameterBeAutomated(int32_t) { return true; }
    virtual bool string2parameter(int32_t, char *) { return false; }
    virtual bool getParameterProperties(int32_t, VstParameterProperties *) { return false; }
    virtual bool beginEdit(int32_t index);
    virtual bool endEdit(int32_t index);
    virtual bool getProgramNameIndexed(int32_t, int32_t, char *) { return false; }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual int32_t beginLoadBank(VstPatchChunkInfo *) { return 0; }
    virtual int32_t beginLoadProgram(VstPatchChunkInfo *) { return 0; }

    virtual bool ioChanged();
    virtual double updateSampleRate();
    virtual int32_t updateBlockSize();
    virtual int32_t getInputLatency();
    virtual int32_t getOutputLatency();
    virtual bool getInputProperties(int32_t, VstPinProperties *) { return false; }
    virtual bool getOutputProperties(int32_t, VstPinProperties *) { return false; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement *, VstSpeakerArrangement *) { return false; }
    virtual bool getSpeakerArrangement(VstSpeakerArrangement **input, VstSpeakerArrangement **output);
    virtual bool setBypass(bool) { return false; }
    virtual bool setPanLaw(int32_t, float) { return false; }
    virtual bool setProcessPrecision(int32_t) { return false; }
    virtual int32_t getNumMidiInputChannels() { return 0; }
    virtual int32_t getNumMidiOutputChannels() { return 0; }

    virtual VstTimeInfo *getTimeInfo(int32_t filter);
    virtual int32_t getCurrentProcessLevel();
    virtual int32_t getAutomationState();
    virtual int32_t processEvents(VstEvents *) { return 0; }
    virtual int32_t startProcess() { return 0; }
    virtual int32_t stopProcess() { return 0; }
    virtual bool processVariableIo(VstVariableIo *) { return false; }
    virtual int32_t setTotalSampleToProcess(int32_t value) { return value; }

    virtual bool getHostVendorString(char *text);
    virtual bool getHostProductString(char *text);
    virtual int32_t getHostVendorVersion();
    virtual intptr_t hostVendorSpecific(int32_t lArg1, intptr_t lArg2, void *ptrArg, float floatArg);
    virtual int32_t canHostDo(char *text);
    virtual int32_t getHostLanguage();

    virtual void isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); }
    virtual void noTail(bool state = true) { setFlag(effFlagsNoSoundInStop, state); }
    virtual int32_t getGetTailSize() { return 0; }
    virtual void *getDirectory();
    virtual bool getEffectName(char *) { return false; }
    virtual bool getVendorString(char *) { return false; }
    virtual bool getProductString(char *) { return false; }
    virtual int32_t getVendorVersion() { return 0; }
    virtual intptr_t vendorSpecific(int32_t, intptr_t, void *, float) { return 0; }
    virtual int32_t canDo(char *) { return 0; }
    virtual int32_t getVstVersion() { return 2400; }
    virtual int32_t getPlugCategory();

    virtual int32_t getMidiProgramName(int32_t, MidiProgramName *) { return 0; }
    virtual int32_t getCurrentMidiProgram(int32_t, MidiProgramName *) { return -1; }
    virtual int32_t getMidiProgramCategory(int32_t, MidiProgramCategory *) { return 0; }
    virtual bool hasMidiProgramsChanged(int32_t) { return false; }
    virtual bool getMidiKeyName(int32_t, MidiKeyName *) { return false; }

    virtual bool updateDisplay();
    virtual bool sizeWindow(int32_t width, int32_t height);
    virtual bool openFileSelector(VstFileSelect *ptr);
    virtual bool closeFileSelector(VstFileSelect *ptr);
    virtual int32_t getNextShellPlugin(char *) { return 0; }

    virtual bool allocateArrangement(VstSpeakerArrangement **arrangement, int32_t nbChannels);
    virtual bool deallocateArrangement(VstSpeakerArrangement **arrangement);
    virtual bool copySpeaker(VstSpeakerProperties *to, VstSpeakerProperties *from);
    virtual bool matchArrangement(VstSpeakerArrangement **to, VstSpeakerArrangement *from);

    virtual bool offlineRead(VstOfflineTask *offline, int32_t option, bool readSource = true);
    virtual bool offlineWrite(VstOfflineTask *offline, int32_t option);
    virtual bool offlineStart(VstAudioFile *ptr, int32_t numAudioFiles, int32_t numNewAudioFiles);
    virtual int32_t offlineGetCurrentPass();
    virtual int32_t offlineGetCurrentMetaPass();
    virtual bool offlineNotify(VstAudioFile *, int32_t, bool) { return false; }
    virtual bool offlinePrepare(VstOfflineTask *, int32_t) { return false; }
    virtual bool offlineRun(VstOfflineTask *, int32_t) { return false; }
    virtual int32_t offlineGetNumPasses() { return 0; }
    virtual int32_t offlineGetNumMetaPasses() { return 0; }

    virtual int32_t wantEvents(int32_t filter = 1);
    virtual int32_t tempoAt(int32_t pos);
    virtual int32_t getNumAutomatableParameters();
    virtual int32_t getParameterQuantization();
    virtual int32_t getNumCategories() { return 1; }
    virtual bool copyProgram(int32_t) { return false; }
    virtual bool needIdle();
    virtual AEffect *getPreviousPlug(int32_t input);
    virtual AEffect *getNextPlug(int32_t output);
    virtual void inputConnected(int32_t, bool) {}
    virtual void outputConnected(int32_t, bool) {}
    virtual int32_t willProcessReplacing();
    virtual void wantAsyncOperation(bool state = true) { setFlag(effFlagsExtIsAsync, state); }
    virtual void hasExternalBuffer(bool state = true) { setFlag(effFlagsExtHasBuffer, state); }
    virtual int32_t reportCurrentPosition() { return 0; }
    virtual float *reportDestinationBuffer() { return nullptr; }
    virtual void setOutputSamplerate(float samplerate);
    virtual VstSpeakerArrangement *getInputSpeakerArrangement();
    virtual VstSpeakerArrangement *getOutputSpeakerArrangement();
    virtual void *openWindow(void *window);
    virtual bool closeWindow(void *window);
    virtual void setBlockSizeAndSampleRate(int32_t blockSize, float sampleRate)
    {
        this->blockSize = blockSize;
        this->sampleRate = sampleRate;
    }
    virtual bool getErrorText(char *) { return false; }
    virtual void *getIcon() { return nullptr; }
    virtual bool setViewPosition(int32_t, int32_t) { return false; }
    virtual int32_t fxIdle() { return 0; }
    virtual bool keysRequired() { return false; }
    virtual bool getChunkFile(void *nativePath);

protected:
    // The host callback with this record, or 0 without a host.
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void *ptr = nullptr,
                      float opt = 0.0f);
};
