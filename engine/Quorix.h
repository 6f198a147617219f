#pragma once
// The instrument: one object per plug-in instance, made by the module entry. It holds the
// instance's one program (the host's state chunk), the running state decoded from it and the
// pointer to its editor; every change of a parameter, from the editor, the host, MIDI or the
// engine itself, goes through setParameterValue: stored, applied, posted to the editor.
//
// Locks (all re-entrant): instanceLock (the frame's, one per instance) serialises every host
// entry and every engine operation, and the render holds it for its whole block: what takes
// long (a program load, a patch store) is prepared apart and holds it only to put its result in
// place, and a program load leaves even that to the render's next block start; engineSharedLock (process-wide, a reader/writer lock) guards
// what instances share (configuration, tunings' user rows, sound library, assignment tables):
// renders and MIDI take it shared, changes exclusively and briefly; always inside instanceLock;
// processLock (the frame's) guards the instance count and editor creation. The editor's queue
// lock is innermost.

#include "banks/BankFile.h"
#include "banks/KeyZone.h"
#include "banks/UserBanks.h"
#include "engine/ConfigurationBlock.h"
#include "engine/ControllerAssignments.h"
#include "engine/EngineSharedLock.h"
#include "engine/EngineState.h"
#include "engine/ParameterApply.h"
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "foundation/podoStr.h"
#include "foundation/podoSyncCritical.h"
#include "host/KestraneVST.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class Quorix_Editor;
class podoFile;
struct PreparedProgram;

// Process-wide lock of the data all instances share.
EngineSharedLock &engineSharedLock();

// The global configuration, shared by every instance; read and written under engineSharedLock.
ConfigurationBlock &sharedConfiguration();

class Quorix : public KestraneVSTInstrument
{
public:
    static constexpr int32_t kProgramCount = 1;
    static constexpr int32_t kHostParameterCount = 128;

    explicit Quorix(audioMasterCallback audioMaster);
    // The engine's own factory: the instance, or null when it could not be made whole (no host
    // callback, or the engine's start failed). Unlike the module entry it does not ask the host's
    // version.
    static Quorix *create(audioMasterCallback audioMaster);
    ~Quorix() override;

    // Host hooks.
    void onOpen() override;
    int32_t onGetChunk(void **data, bool isPreset) override;
    int32_t onSetChunk(void *data, int32_t byteSize, bool isPreset) override;
    void onSetProgram(int32_t program) override;
    void onSetProgramName(const char *name) override;
    // Writes at most 23 characters and the terminator.
    void onGetProgramName(char *name) override;
    bool onGetProgramNameIndexed(int32_t category, int32_t index, char *name) override;
    bool onCopyProgram(int32_t destination) override;
    void onSetParameter(int32_t slot, float value) override;
    float onGetParameter(int32_t slot) override;
    void onSuspend() override;
    void onSetSampleRate(float rate) override;
    bool getOutputProperties(int32_t index, VstPinProperties *pin) override;
    void onProcessReplacing(float **inputs, float **outputs, int32_t frames) override;
    void onProcessAccumulating(float **inputs, float **outputs, int32_t frames) override;
    void onResume() override;
    void onEditorIdle() override;
    void onEndEdit(int32_t tag) override;
    // The "host" commands; called by the frame after it released its own hold of the lock.
    int64_t onVendorSpecific(int32_t index, int32_t value, void *ptr, float opt) override;

    // Program and parameter index.
    virtual ParameterKind classifyParameter(int32_t index, int32_t *first, int32_t *second);
    virtual ParameterKind decodeSequencerParameter(int32_t localId, int32_t *lane, int32_t *step, int32_t *base);
    virtual ParameterKind decodeDrumParameter(int32_t localId, int32_t *key, int32_t *base);
    // A copy taken under the lock: a chunk load can never change it under the caller.
    virtual podoStr getChannelName(int32_t channel);
    virtual void setChannelName(int32_t channel, const podoStr &text);
    // With an output, gives this machine's mark; without, stamps it into the program.
    virtual void markByteOrder(uint8_t *mark);
    // Converts count blocks (the current program when blocks is null) to this machine's order.
    virtual void swapProgramByteOrder(ProgramBlock *blocks, int32_t count);
    // ranges: key low, key high, velocity low, velocity high as the running state holds them.
    virtual void orderMelodyRanges(int32_t channel, const int32_t *ranges);
    virtual void orderDrumKeyRange(int32_t channel, const int32_t *range);
    virtual ProgramBlock *getProgramBlock();
    virtual void assignProgramName(const podoStr &name, int32_t categoryIndex, int32_t patchIndex);
    virtual int32_t getCurrentChannel();
    virtual void setCurrentChannel(int32_t channel);
    virtual float getTempo();
    virtual bool getUseHostTempo();

    // Locked accessors of single fields of the program and the running state, for the editor
    // and the other engine parts. Indexes outside their range read as 0 and write nothing.
    virtual void setTempo(float tempo);
    virtual void setUseHostTempo(bool on);
    virtual int32_t getReturnPage();
    virtual void setReturnPage(int32_t page);
    virtual int32_t getSelectedDrumSlot(int32_t channel);
    virtual void setSelectedDrumSlot(int32_t channel, int32_t key);
    virtual uint8_t getPriorityMode();
    virtual uint8_t getInsertEffectsEnabled();
    virtual uint8_t getChannelOn(int32_t channel);
    virtual int32_t getChannelMode(int32_t channel);
    virtual int32_t getChannelOutputBus(int32_t channel);
    virtual int32_t getChannelTranspose(int32_t channel);
    virtual int32_t getChannelVoiceCount(int32_t channel);
    virtual int32_t getInsertEffectType(int32_t channel, int32_t slot);
    virtual int32_t getDrumKeyMuteGroup(int32_t channel, int32_t key);
    virtual uint8_t getDrumMidiSelect(int32_t channel);
    virtual void getOscillatorWave(int32_t channel, int32_t oscillator, WaveLocation *location);
    virtual void getDrumKeyWave(int32_t channel, int32_t key, WaveLocation *location);
    virtual void resetOutputClips();
    virtual uint8_t getSeqOn(int32_t channel);
    virtual int32_t getSeqPart(int32_t channel);
    virtual uint8_t getSeqTriplet(int32_t channel);
    virtual int32_t getSeqLength(int32_t channel);
    virtual uint8_t getLaneOn(int32_t channel, int32_t lane);
    virtual int32_t getLaneBase(int32_t channel, int32_t lane);
    virtual int32_t getStepNote(int32_t channel, int32_t lane, int32_t step);
    virtual float getStepVelocity(int32_t channel, int32_t lane, int32_t step);
    virtual uint8_t getVoicesActive();
    virtual uint8_t getFoldSubOutputs();
    // The patch category index and patch index a channel's sound came from; false (both -1) when
    // it names no loaded patch.
    virtual bool getChannelPatchSource(int32_t channel, int32_t *categoryIndex, int32_t *patchIndex);
    // decodeParameter for the engine parameter a host slot drives.
    virtual void decodeHostParameter(int32_t slot, float value, float *asFloat, int32_t *asInteger, bool *asBoolean);

    // The process-wide sound library (banks/): loaded by the first live instance, freed by the last.
    // Reloads it when this is the only live instance: samples, wavetables, factory patches, user banks.
    virtual void loadSharedBanks();
    virtual bool loadSampleBanks();
    virtual bool loadWavetables();
    virtual bool loadPatches();
    // User banks (the user folder's ".usr" files after the factory categories; at least four).
    virtual bool loadUserBanks();
    // -1: adds empty banks up to four; an index: empties that user bank.
    virtual bool initUserBank(int32_t index);
    // -1: every user bank.
    virtual bool saveUserBanks(int32_t index);
    // Patch colours ("Quorix.plc") and the initial preset (the registry's "Initial Preset").
    virtual bool readPatchColors();
    virtual bool writePatchColors();
    virtual bool setInitialPreset(int32_t categoryIndex, int32_t patchIndex);
    virtual void freePatches();
    virtual void freeWavetables();
    virtual void freeSamples(bool freeTables);
    virtual bool reloadSample(const KeyZone &zone);
    virtual bool reloadWavetableSamples(const WaveLocation &location);
    // Reads back what the host's "free" released, off the audio thread: every bank at a resume
    // (bankLimit 0), a bank per call from the editor's idle, which never waits for another
    // thread's reload. Notes started meanwhile stay silent.
    void reloadReleasedSamples(int32_t bankLimit);
    virtual const KeyZone *findZone(const WaveLocation &location, int32_t key);
    // Stores the channel being edited (or, as a combination, the run of channels in use) as a
    // patch; the first channel stored, or -1 when nothing could be stored.
    virtual int32_t storePatch(int32_t categoryIndex, int32_t patchIndex, bool combination);
    // Copies a patch onto consecutive channels from firstChannel and brings engine and editor up
    // to date. Always 0; a category or patch that does not exist changes nothing.
    virtual int32_t recallPatch(int32_t firstChannel, int32_t categoryIndex, int32_t patchIndex);

    // Parameter values.
    virtual void setParameterValue(int32_t index, float value);
    virtual void setParameterValueAutomated(int32_t index, float value);
    virtual float getParameterValue(int32_t index);
    virtual void decodeParameter(int32_t index, float value, float *asFloat, int32_t *asInteger, bool *asBoolean);
    virtual bool setBulkLoading(bool flag);
    virtual void storeEngineState(int32_t program, bool withSystemEffects);
    virtual void applyProgram(bool force);
    virtual void applyMasterParameters(bool force);
    virtual void applySystemEffectParameters(bool force);
    virtual void applyChannelParameters(int32_t channel, bool force, bool allDrumKeys);
    virtual void applyChannelSettings(int32_t channel, bool force);
    virtual void applySequencerParameters(int32_t channel, bool force);
    virtual void applyInstrumentParameters(int32_t channel, bool force, bool allDrumKeys);
    virtual void applyDrumSlots(int32_t key, bool force);

    // Default programs and resets.
    virtual bool buildDefaultProgram();
    // A negative channel is the current one.
    virtual void buildDefaultChannel(int32_t channel);
    virtual void loadDefaultProgram(int32_t program);
    virtual void loadDefaultChannel(int32_t channel, int32_t program);
    virtual void resetToGmDefault();
    virtual void resetToGsDefault();

    // System Exclusive input, read no further than the event's length.
    virtual void handleSysEx(const VstMidiSysexEvent *event);

    // Parameter names, units and texts (at most 63 characters and the terminator).
    virtual void parameterName(int32_t index, char *text, int32_t style);
    virtual void parameterUnit(int32_t index, char *text);
    bool parameterText(int32_t index, float value, podoStr &text) override;
    virtual void parameterDisplayString(int32_t index, char *text);
    bool parseParameterText(int32_t index, const podoStr &text, float &value) override;
    virtual void setParameterFromText(int32_t index, const podoStr &text);

    // Host parameter slots: the frame's slot hooks mapped onto engine parameters.
    bool hostParameterText(int32_t slot, float value, podoStr &text) override;
    bool parseHostParameterText(int32_t slot, const podoStr &text, float &value) override;
    void onGetParameterName(int32_t slot, char *text) override;
    void onGetParameterLabel(int32_t slot, char *text) override;
    void onGetParameterDisplay(int32_t slot, char *text) override;

    // Voices and channels (what the parameter model needs of them).
    virtual void allSoundOff(int32_t channel, float meterLevel);
    virtual void resetChannel(int32_t channel, uint8_t keepInsertEffects);
    virtual void updateVoiceCount(uint8_t resync);
    virtual void updatePatternsRunning();
    virtual bool removeHeldNote(int32_t channel, int32_t noteId);
    virtual void getLinkedChannelSpan(int32_t channel, int32_t *first, int32_t *last);
    virtual bool assignWave(int32_t channel, int32_t slot, int32_t waveNumber);
    virtual void waveLocation(int32_t waveNumber, WaveLocation *location);
    virtual int32_t allNotesOff();
    // Takes the voice out at once, keeping the order of the others.
    virtual void removeVoice(int32_t channel, int32_t index);

    // Notes. noteOn starts a note on the switched-on channels first..last (visited from last
    // down) and returns its note id; velocity -1 retriggers a mono voice keeping its level;
    // curve -1 is the configuration's velocity curve.
    virtual int32_t noteOn(int32_t first, int32_t last, int32_t key, int32_t velocity, uint8_t fromArpeggiator,
                           uint8_t fromSequencer, int32_t shift, int32_t curve);
    virtual void noteOff(int32_t first, int32_t last, int32_t key, uint8_t audition);
    virtual bool stealVoice(int32_t channel);
    virtual void dropOldestVoice(int32_t channel);
    // The live voice of the channel that a note id started, or -1.
    virtual int32_t findVoice(int32_t channel, int32_t noteId);
    virtual void releaseKey(int32_t channel, int32_t noteId);
    virtual void pushHeldKey(int32_t channel, int32_t key);
    virtual int32_t removeHeldKey(int32_t channel, int32_t key);
    virtual void showKey(int32_t channel, int32_t key, uint8_t on);
    virtual void showDrumKey(int32_t channel, int32_t drumKey, uint8_t on);

    // MIDI channel messages. Data bytes are taken as 7-bit values; system messages are ignored.
    virtual void handleMidiMessage(int32_t channel, int32_t type, int32_t data1, int32_t data2);
    virtual void dispatchMidiBytes(const uint8_t *bytes);
    // Channel or -1 for all; keepOthers keeps the rhythm part, bank, modulation and channel-only.
    virtual void resetControllers(int32_t channel, uint8_t keepOthers);

    // Render. The channel renders add n (1..16) samples into their output pair and, when given,
    // into the chorus and reverb send pairs.
    virtual void renderBlock(float **outputs, int32_t frames, bool replace);
    virtual void renderMelodyChannel(int32_t channel, float *left, float *right, int32_t n, float *chorusLeft,
                                     float *chorusRight, float *reverbLeft, float *reverbRight);
    virtual void renderDrumChannel(int32_t channel, float *left, float *right, int32_t n, float *chorusLeft,
                                   float *chorusRight, float *reverbLeft, float *reverbRight);
    virtual void sequencerTick(int32_t channel, int32_t n);
    virtual void arpeggiatorStep(int32_t channel, int32_t n);
    // A program change: the patch of the bank number's category, when it exists, into the channel.
    virtual void recallProgram(int32_t channel, int32_t bankNumber, int32_t program);

    // Global configuration.
    virtual void resetConfiguration();
    virtual int32_t loadConfiguration();
    virtual int32_t saveConfiguration();
    virtual void getConfiguration(ConfigurationBlock *out);
    virtual void setConfiguration(const ConfigurationBlock *in);
    virtual void changeSkin(const podoStr &skinName, int32_t zoom);
    // Closes the file and moves it to its backup name; false when it could not be moved.
    virtual bool backupFile(podoFile &file);

    // Controller assignments (process-wide tables, engine/ControllerAssignments.h). Every change
    // takes instanceLock, then engineSharedLock; arguments outside the tables change nothing.
    virtual int16_t addMasterAssignment(int16_t source, int32_t index, float min, float max, uint8_t reversed);
    virtual int16_t addChannelAssignment(int16_t source, int32_t localId, float min, float max, uint8_t reversed);
    virtual int16_t addSequencerAssignment(int16_t source, int32_t localId, float min, float max, uint8_t reversed);
    virtual int16_t addInstrumentAssignment(int32_t mode, int16_t source, int32_t localId, float min, float max,
                                            uint8_t reversed);
    virtual int16_t addSpecialAssignment(int16_t source, int32_t tag, float min, float max, uint8_t reversed);
    virtual void setDefaultMidiAssignments(uint8_t withDefaults, uint8_t withExtras);
    // The editor's menus read and change entries through these, then call saveAutomation.
    virtual bool getAssignment(engine::AssignmentTable table, int32_t entry, ControllerAssignment *out);
    virtual bool setAssignment(engine::AssignmentTable table, int32_t entry, const ControllerAssignment &value);
    // MIDI learn, then every assignment of the source, for one message's value (0..1) on the
    // channels first..last. Runs on the audio thread: a learn only marks the file for saving.
    virtual void applyControllerAssignments(int32_t source, float value, int32_t first, int32_t last);

    // Automation file (assignments and host map) and controller report. Codes: 0 done,
    // 3 not opened or created, 4 wrong magic, 5 unsupported version, 6 damaged.
    virtual int32_t readAutomationFile(const podoStr &path);
    virtual int32_t writeAutomationFile(const podoStr &path);
    virtual int32_t loadAutomation();
    virtual int32_t saveAutomation();
    // Writes the automation file when a learn asked for it; call off the audio thread only.
    virtual void savePendingAutomation();
    virtual bool isAutomationSavePending();
    virtual int32_t writeMidiAssignReport();

    // Tunings.
    virtual void selectTemperament(int32_t temperament);
    // Refused (false) for a pitch class outside 0..11; cents are held to -99..+99.
    virtual bool setTuningOffset(int32_t pitchClass, int32_t cents);
    // 0 for a pitch class outside 0..11.
    virtual int32_t getTuningOffset(int32_t pitchClass);
    virtual TuningBlock *getTuningBlock(TuningBlock *out);
    virtual void setProgramTemperament(ProgramBlock *block, int32_t size);

    // Step sequencer pattern edits on the current channel's shown 16-step page: lanes 0..4 and
    // page-relative steps, held to the page; each changed step is written as a parameter value.
    virtual void copySteps(int32_t laneFrom, int32_t laneTo, int32_t stepFrom, int32_t stepTo);
    virtual void pasteSteps(bool insert, int32_t lane, int32_t step, int32_t laneFrom, int32_t laneTo,
                            int32_t stepFrom, int32_t stepTo);
    virtual void clearSteps(bool shift, int32_t laneFrom, int32_t laneTo, int32_t stepFrom, int32_t stepTo);
    // A Standard MIDI File into a channel's running sequencer (lane 0..4, or -1 for all five by MIDI
    // channel), under instanceLock: 0 read, 1 no such channel or lane, 2 no memory, 3 not opened.
    virtual int32_t importPatternMidiFile(const podoStr &path, int32_t channel, int32_t lane);
    // Both return the number of steps of the selection.
    virtual int32_t expandSteps(bool insert, int32_t laneFrom, int32_t laneTo, int32_t stepFrom, int32_t stepTo);
    virtual int32_t compressSteps(bool shift, int32_t laneFrom, int32_t laneTo, int32_t stepFrom, int32_t stepTo);
    // The channel's sequencer (which 0) or arpeggiator (1) was switched without a stop, as under
    // bulk loading. Off: the notes it started are released and its keys and steps forgotten.
    // On: the player's held notes are released, since their note-offs now go to the pattern.
    virtual void switchPattern(int32_t channel, int32_t which, bool on);

protected:
    // Makes the editor object; null when it cannot be made.
    virtual Quorix_Editor *createEditor();
    // assignProgramName and setChannelName for texts of a block or a patch, without a text object
    // (they run on the audio thread from program changes and resets).
    void nameProgram(const char *name, int32_t categoryIndex, int32_t patchIndex);
    void nameChannel(int32_t channel, const char *name);
    // A whole program into the running state: decoded and applied apart from a copy of the target
    // image (prepareProgram; null without memory), then put in place in one short step and posted
    // to the editor (publishProgram). loadProgram does both.
    std::unique_ptr<PreparedProgram> prepareProgram(const ProgramBlock &block);
    void publishProgram(PreparedProgram &prepared);
    bool loadProgram(const ProgramBlock &block);
    // Work of another thread that meets the running state: run by the render at its next block
    // start, so that the audio thread never waits for it, while the caller waits; run by the
    // caller under instanceLock when no render runs elsewhere or the caller holds the lock.
    struct BlockStartJob {
        void (*run)(Quorix &q, void *context);
        void *context;
        std::atomic<bool> done{false};
    };
    void runAtBlockStart(BlockStartJob &job);
    template <typename Work>
    void runWorkAtBlockStart(Work &work)
    {
        BlockStartJob job{[](Quorix &, void *context) { (*static_cast<Work *>(context))(); }, &work};
        runAtBlockStart(job);
    }
    bool renderRunsElsewhere();
    // At a block start: notes the render's thread and time, and runs a handed-over job.
    void takeBlockStartJob();
    // The publication's short step; the caller holds instanceLock.
    void installProgram(PreparedProgram &prepared);
    int32_t recallPatchHere(int32_t firstChannel, int32_t categoryIndex, int32_t patchIndex);
    // Runs the one operation a parameter value asked for.
    void performSideEffect(const engine::ApplyOutcome &outcome, int32_t index);
    // Sets parameters first..last to their stored values (force) or posts them (no force),
    // under bulk loading, then restores the flag.
    void pushStoredValues(int32_t first, int32_t last, bool force);
    void pushStoredValue(int32_t index, bool force);
    // pushStoredValue with force for every stored index first..last, under one hold of the lock.
    void applyStoredValues(int32_t first, int32_t last);
    void initialize(int32_t liveInstances);
    void orderChannelRanges(int32_t channel);
    // Drops the channel's voices at once with their held-note pairs; nothing else is reset.
    void dropVoices(int32_t channel);
    void clearInsertEffect(InsertEffectSlot &slot);
    void deleteEffects();
    int16_t addAssignment(engine::AssignmentTable table, int32_t entry, int16_t source, float min, float max,
                          uint8_t reversed);
    // A parameter's name as the controller report lists it.
    virtual std::string reportName(int32_t index);
    // Where this instance's loaders look and report.
    banks::BankLoadSetup bankLoadSetup();
    // Voice allocation within the channel's limit; the index of the new voice.
    int32_t allocateVoice(int32_t channel, bool forMelody);
    void startDrumVoice(int32_t channel, int32_t key, int32_t velocity, bool internal, uint8_t fromSequencer,
                        int32_t shift, int32_t curve, int32_t noteId);
    void startMelodyVoice(int32_t channel, int32_t key, int32_t velocity, uint8_t fromArpeggiator,
                          uint8_t fromSequencer, int32_t curve, int32_t noteId, bool &arpRunning);
    void captureBySequencer(int32_t channel, int32_t key, int32_t velocity, bool &running);
    bool patternsPlaying(bool arpeggiators);
    void finishVoiceStart(int32_t channel, int32_t noteId);
    void dropHeldNotesOf(int32_t channel);
    void resyncHeldNotes();
    void controlChange(int32_t channel, int32_t first, int32_t last, int32_t controller, int32_t value);
    void dataEntry(int32_t first, int32_t last, int32_t lsb);
    // Controller 120 or 123 from a MIDI channel reaches its routed span and every channel its
    // notes sound on.
    void stopNotesOf(int32_t midiChannel, int32_t first, int32_t last, int32_t controller);
    // The GS NRPNs for vibrato, filter and envelope are offsets from what the channel's patch
    // set: forgetting the base at a recall or reset makes the next such NRPN take it afresh.
    void forgetRecalledValues(int32_t channel);
    float relativeNrpnValue(int32_t channel, int32_t slot, int32_t msb);
    // The sound controllers 71..78 are relative too (64 keeps the patch's setting) where one
    // drives its own parameter over the full range, as the factory set has it: the slot of that
    // parameter, or -1.
    static int32_t soundControllerSlot(int32_t source, int32_t localId, const ControllerAssignment &entry);
    // Renders from offset: one sub-block of at most kMaxSubBlock frames, or all the frames when
    // nothing sounds. Returns the frames rendered.
    int32_t renderSubBlock(float **outputs, int32_t offset, int32_t frames, bool replace, bool fold);
    // A channel with nothing to render: no voice, no pattern, no insert effect and every value
    // it slews at its target. Such a channel is skipped until an event may have changed that.
    bool melodyChannelIdle(int32_t channel) const;
    bool drumChannelIdle(int32_t channel);
    void slewKeys(int32_t channel, int32_t n);
    void markIdleChannels();
    // Moves a skipped melody channel's LFO by the samples it missed.
    void catchUpLfo(int32_t channel);
    void dispatchEvent(const VstEvent *event);
    void postBlockEnd();
    banks::UserBankSetup userBankSetup(const banks::EmptyPatchTemplate *emptyPatch);
    // What an empty user patch holds.
    virtual void fillEmptyPatch(banks::EmptyPatchTemplate &out);
    // Loads the whole shared library; the caller holds processLock and is the only live instance.
    void loadSharedLibrary();
    // The category number and patch index the registry names (50/0 by default).
    void readInitialPreset(int32_t *category, int32_t *patch);

    ProgramBlock programBlock;
    EngineState state;
    Quorix_Editor *instrumentEditor = nullptr; // null while no editor exists

    // What getChunk handed out: the host reads it after the lock is gone.
    ProgramBlock chunkOut;
    // Per channel: the values the relative NRPNs offset from, taken at the first one after a
    // recall or reset (a channel's bit in recalledValid says they are held).
    static constexpr int32_t kRelativeNrpns = 8;
    float recalledValues[engine::kChannelCount][kRelativeNrpns] = {};
    uint32_t recalledValid = 0;
    // Per channel: the chorus and reverb sends its last General MIDI patch or kit recall gave it
    // (a channel's bit in recalledSendsValid says they are held; without it the default setup's
    // count). A send still at that value follows the next such recall; one a controller or the
    // editor moved stays. A full controller reset forgets them.
    float recalledSends[engine::kChannelCount][2] = {};
    uint32_t recalledSendsValid = 0;
    // Per MIDI channel and key: the span its note sounds on (first * 16 + last + 1, 0 none), and
    // per MIDI channel the channels its notes sounded on since its last CC 120 or 123, so that a
    // note's own note-off and panic reach it wherever Priority Mode sent it.
    uint16_t noteSpans[engine::kChannelCount][128] = {};
    uint16_t notedChannels[engine::kChannelCount] = {};
    // Events of the current block already dispatched by the bank and program look-ahead.
    uint8_t eventDispatched[eventQueueCapacity];
    // Per channel: skipped by the render, as markIdleChannels found it.
    uint8_t channelIdle[engine::kChannelCount] = {};
    bool idleStale = true;
    // Per drum channel: every key's slewed values at their targets, as last compared.
    uint8_t drumKeysSettled[engine::kChannelCount] = {};
    bool drumKeysStale = true;
    uint32_t idleBlockCount = 0;

    // The job the render runs at its next block start (it sets the job's done flag); one
    // hand-over at a time, never locked by the render.
    std::atomic<BlockStartJob *> jobForRender{nullptr};
    std::mutex jobHandOver;
    // When (steady clock, ns) and on which thread the last block started.
    std::atomic<int64_t> renderStartTime{0};
    std::atomic<int64_t> renderInterval{0}; // between the last two block starts
    std::atomic<std::thread::id> renderThread{};
};
