#pragma once
// The instrument's editor: one per engine instance, made by the engine when the host opens the
// plug-in (before any window exists) and destroyed with it. It builds every control of its nine
// pages once, in the constructor; the frame's open, idle and close come later from the host.
//
// Two roads join it to the engine:
//  - control to engine: podoVSTEditor::valueChanged -> preValueChanged, which turns the control's
//    tag into the engine parameter of the current channel (resolveTagParameter) or runs the command
//    or menu of an editor tag, then calls the engine (Quorix_EditorDispatch.cpp);
//  - engine to control: the engine posts (tag, payload) to the queue, each idle drains it into
//    paramChanged -> updateControl, which writes the controls of the page shown
//    (Quorix_EditorUpdates.cpp).
//
// How a page is made (browser, sequencer, melody and drum edit, setup), and how another would be:
//  1. Write its builder (buildBrowserPage, buildSequencerPage, buildEditPages, buildSetupPage; the
//     constructor already calls them in that order) in a file of your own. Record
//     pageControlRange[page].first = getControlCount() before the page's first control and
//     .end = getControlCount() after its last. Make every control through the factories of
//     podoVSTEditor (addKickButton, addAnimKnob, addTextLabel, ... and the area operations
//     addTaggedArea...): they register it. Wrap image-based ones in editorbuild::placed (EditorBuild.h)
//     so the value-entry areas after them are placed from their corner. Keep the ones you need later
//     in fields of this class. createPage puts the range into the page's container; nothing else is
//     needed to show it. A control whose image the skin lacks has no size: add the page's images to
//     the factory skin (editor-framework/skin-tool/makeDefaultSkin.cpp).
//  2. Tags: a control edits an engine parameter by carrying its index; controls of the
//     channel-specific pages carry the index of channel 0 (drum slot 0, sequencer part 0) and the
//     dispatch adds the current channel. Commands use the editor tags of EditorTags.h.
//  3. Clicks: most parameters need nothing (preValueChanged sets them). Commands and menus are
//     virtual functions declared below and defined in their page's file.
//  4. Values: fill updateSequencerPage / updateEditPages (or add a section to updateControl guarded
//     by pageShown[yourPage]); the show function of the page (Quorix_EditorPages.cpp) asks the
//     engine to post the values again, then calls onPageShown(page) for what else the page shows.
//  5. Tests: editor/tests/EditorTestSupport.h opens an editor on an engine headless.

#include "editor-framework/podoVSTEditor.h"
#include "editor/EditorTags.h"
#include "engine/ConfigurationBlock.h"
#include "gui/guiTypes.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class EditorFileCommands;
class Quorix;
class podoMenu;
class vgcEnvAR;
struct WaveLocation;

namespace engine {
enum class AssignmentTable : int32_t;
} // namespace engine

namespace qgui {
class CControl;
class CView;
class CViewContainer;
} // namespace qgui

// One channel's values and name, shared by every editor of the process (user-interface thread only).
struct ChannelClipboard {
    float values[1789] = {}; // local ids 17..1,805
    char name[24] = {};
    bool filled = false;
};
ChannelClipboard &channelClipboard();

// One drum slot's 17 values, shared by every editor of the process (user-interface thread only).
struct DrumSlotClipboard {
    static constexpr int32_t valueCount = 17;
    float values[valueCount] = {};
    bool filled = false;
};
DrumSlotClipboard &drumSlotClipboard();

// Page indexes; page 4 is a scroll view inside page 3's container.
enum EditorPage : int32_t {
    pageChannelList = 0,
    pageKeyboard = 1,
    pageMixer = 2,
    pageBrowser = 3,
    pageBrowserCategories = 4,
    pageSequencer = 5,
    pageMelodyEdit = 6,
    pageDrumEdit = 7,
    pageSetup = 8,
    editorPageCount = 9
};

// What a tag stands for (decodeTag).
enum TagCategory : int32_t {
    tagEditor = 0,            // 28,966 and above
    tagMaster = 1,            // 0..16
    tagChannelSetting = 2,    // locals 17..36
    tagSequencerSetting = 3,  // locals 37..47
    tagLane = 4,              // locals 48..697
    tagInstrument = 6,        // locals 698..1,805
    tagSpecial = 11,          // 28,641..28,645
    tagBrowserList = 12,      // the browser's two lists
    tagChannelGroup = 13,     // channel names and activity indicators
    tagSequencerCommand = 15, // 28,934..28,949
    tagOscillatorStep = 16,   // 28,950..28,957
    tagDrumStep = 17          // 28,958..28,965
};

class Quorix_Editor : public podoVSTEditor
{
public:
    static constexpr int32_t channelCount = 16;
    static constexpr int32_t channelControlCount = 17;
    static constexpr int32_t keyCount = 88;       // MIDI notes 21..108
    static constexpr int32_t drumSlotCount = 65;
    static constexpr int32_t gridAreaCount = 120;
    static constexpr int32_t channelAreaCount = 320;
    static constexpr int32_t sampleBankLabelCount = 18; // setup page: later banks are not listed
    static constexpr int32_t aboutLineCount = 11;

    // Entries of a row of channelControls.
    enum ChannelControl : int32_t {
        numberButton = 0,
        activityIndicator,
        linkButton,
        modeButton,
        nameField,
        levelMeter,
        levelFader,
        levelText,
        panFader,
        panText,
        voiceLimitText,
        transposeText,
        outputBusList,
        chorusSendKnob,
        reverbSendKnob,
        chorusSendText,
        reverbSendText
    };

    struct ControlRange {
        uint32_t first = 0;
        uint32_t end = 0;
    };

    explicit Quorix_Editor(Quorix *engine);
    ~Quorix_Editor() override;

    // Frame hooks.
    bool onOpen(void *parentWindow) override;
    void onClose() override;
    // The host's idle (podoVSTEditor::idle calls it while a frame exists).
    void onIdle() override;
    void onTimer(float seconds) override;
    void onSuspend() override;
    void onResume() override;

    // Engine to editor.
    void paramChanged(int32_t tag, uint64_t payload) override;
    // Host slot hostSlot changed to value: the controls of the parameter the slot drives follow.
    void setParameter(int32_t hostSlot, float value) override;
    static TagCategory decodeTag(int32_t tag, int32_t *index, int32_t *base, int32_t currentChannel);
    virtual TagCategory decodeTag(int32_t tag, int32_t *index, int32_t *base);
    virtual void updateControl(int32_t tag, TagCategory category, int32_t index, int32_t base, float v);
    virtual void updateControlByTag(int32_t tag, float value);
    // Asks the tempo controls and the first channel strip to read the engine again.
    virtual void refreshTempoControls();
    virtual void updateTempoLabel();
    virtual void updateSyncButton();
    virtual void showVoiceCount(uint32_t packed);
    virtual void refreshDrumSelection();

    // Keyboard shortcuts (Quorix_EditorKeys.cpp): true when the key was used.
    using podoVSTEditor::onKeyDown;
    using podoVSTEditor::onKeyUp;
    bool onKeyDown(VstKeyCode key, bool shift, bool alternate, bool command, bool control) override;
    bool onKeyUp(VstKeyCode key, bool shift, bool alternate, bool command, bool control) override;

    // Control to engine.
    void preValueChanged(qgui::CControl *control, int32_t &tag, float &value) override;
    // The tag of a page control made the parameter of the current channel (drum slot, part).
    virtual TagCategory resolveTagParameter(int32_t &tag, int32_t *channel, int32_t *local, int32_t *kind,
                                            int32_t *slot, int32_t *lane, int32_t *step);

    // Pages.
    virtual void requestRedraw();
    virtual void getCurrentChannel(int32_t *channel);
    virtual void showReturnPage();
    virtual void showMainPages();
    virtual void showMixerPage();
    virtual void showBrowserPage();
    virtual void showSequencerPage();
    virtual void showEditPage(bool reapply);
    virtual void showSetupPage();
    // -1: every page.
    virtual void hideOtherPages(int32_t page);
    virtual void hidePage(int32_t page);
    virtual void createPage(int32_t page, const char *imageName);
    virtual void removePage(int32_t page);
    virtual void removeAllPages();
    virtual void releasePageControls(int32_t page);
    virtual void releaseAllPageControls();
    virtual void attachSharedControls(qgui::CViewContainer *container);

    // Page builders.
    virtual void buildMainPages();
    virtual void buildMixerPage();
    virtual void buildBrowserPage();
    virtual void buildSequencerPage();
    virtual void buildEditPages();
    // One edit page's channel strip (mode 0 melody, 1 drum); the registry count before it.
    virtual uint32_t buildChannelStrip(int32_t mode);
    virtual void buildSetupPage();

    // Value-entry areas: transparent areas carrying a parameter's tag over a printed value; placed
    // relative to the control made last by an image factory.
    virtual vgcArea *addTaggedArea(int32_t index, int32_t dx, int32_t dy, int32_t w, int32_t h);
    virtual vgcArea *addGridArea(int32_t row, int32_t column, int32_t dx, int32_t dy, int32_t w, int32_t h);
    virtual vgcArea *addTaggedAreaC(int32_t index, int32_t dx, int32_t dy, int32_t w, int32_t h);
    virtual vgcArea *addTaggedAreaD(int32_t index, int32_t dx, int32_t dy, int32_t w, int32_t h);
    virtual vgcArea *addTaggedAreaB(int32_t index, int32_t dx, int32_t dy, int32_t w, int32_t h);
    virtual vgcArea *addChannelArea(int32_t channel, int32_t parameter, int32_t dx, int32_t dy, int32_t w,
                                    int32_t h);

    // Channel rows. The menu is true when the channel's values were replaced (paste or swap).
    virtual bool showChannelMenu(int32_t channel);
    virtual void copyChannel(int32_t channel);
    virtual void pasteChannel(int32_t channel);
    virtual void swapChannel(int32_t channel);
    virtual void selectChannel(int32_t channel);
    virtual void updateChannelButtons(int32_t channel);

    // Live displays: keys, wheels, LCD.
    virtual void setKeyState(int32_t channel, int32_t note, float velocity, bool play);
    virtual float keyVelocity(int32_t keyIndex, qgui::CControl *control, float value);
    virtual void clearKeyStates(int32_t channel);
    virtual void refreshKey(int32_t keyIndex);
    virtual void refreshKeys();
    virtual void setWheelValue(int32_t channel, int32_t wheel, float value);
    virtual void refreshWheels();
    virtual void showParameterInLcd(int32_t tag, bool force);
    virtual void clearLcd();
    virtual void refreshAll();
    // An oscillator's (melody) or drum slot's pitch by delta semitones, held to -48..+48.
    virtual void stepPitch(int32_t index, int32_t delta);
    // The manual beside the plug-in ("Quorix.pdf"); nothing when it is missing.
    virtual void openManual();

    // The skin's colours into the text controls of every page (Quorix_EditorSkin.cpp).
    virtual void applySkinColors();
    // The browser page (Quorix_EditorBrowser.cpp). A channel of -1 is the current channel; an entry
    // of -1 the channel's source patch; a category of -1 the channel's source category.
    virtual void onProgramChanged(int32_t channel);
    // The keyboard page's label beside the program name shows a patch category's name.
    virtual void showPatchName(int32_t category);
    // The program name field's text, cut to size - 1 characters and terminated.
    virtual void getPatchLabelText(char *buffer, size_t size);
    virtual void setChannelLabel(int32_t channel);
    virtual void showBrowserCategory(int32_t category, int32_t channel);
    virtual void selectBrowserEntry(int32_t entry, int32_t channel, bool load, bool noLoad);
    virtual void showProgramMenu(int32_t channel);
    virtual void showSaveMenu();
    virtual void moveBrowserSelection(int32_t delta, bool load);
    virtual void showColorMenu(int32_t entry);
    // The engine's recall result; -1 when there is no such patch or channel.
    virtual int32_t loadBrowserEntry(int32_t channel, int32_t category, int32_t entry);
    virtual void setPatchColor(int32_t entry, int32_t colour, bool write);
    virtual void toggleAssignmentOverlay();                                    // MIDI learn
    virtual void drumSlotHit(int32_t channel, int32_t slot, bool on);
    virtual void selectDrumSlot(int32_t slot, bool audition, float velocity);
    virtual void clearDrumSlotSelection();
    virtual void refreshDrumLeds(int32_t slot);
    virtual void clearNoteDisplays(int32_t channel);
    virtual void showDrumSlotMenu(qgui::CControl *control, int32_t slot);
    // A slot of the current channel through the process's drum-slot clipboard.
    virtual void copyDrumSlot(int32_t slot);
    virtual void pasteDrumSlot(int32_t slot);
    virtual void swapDrumSlot(int32_t slot);
    // Drum-slot files: 0, or 3 when the file cannot be opened (or written completely).
    virtual int32_t writeDrumSlotFile(int32_t slot, const podoStr &path);
    virtual int32_t readDrumSlotFile(int32_t slot, const podoStr &path);
    virtual void stepWave(int32_t slot, int32_t direction);
    virtual void showWaveMenu(int32_t slot);
    // Value pickers (Quorix_EditorPickers.cpp): a menu of the parameter's values under the field.
    virtual void showCountMenu(qgui::CControl *control, int32_t parameter);
    virtual void showVoiceModeMenu(qgui::CControl *control, int32_t parameter, int32_t channel);
    virtual void showTransposeMenuB(qgui::CControl *control, int32_t parameter);
    virtual void showTransposeMenu(qgui::CControl *control, int32_t parameter);
    virtual void showNoteMenu(qgui::CControl *control, int32_t parameter);
    virtual void showValueMenu(qgui::CControl *control, int32_t parameter);
    // The sequencer page (Quorix_EditorSequencer.cpp). Steps are of the whole lane (0..63); the
    // cursor and selection are columns of the shown part. -1 for a lane or step: all of them.
    virtual void setSequencerPosition(int32_t channel, int32_t step);
    virtual void refreshSequencerSteps(int32_t lane, int32_t step, bool texts, bool velocities);
    virtual void refreshLaneButtons(int32_t lane);
    virtual void refreshSequencerSelection(int32_t lane, int32_t step);
    // The step code chosen for a note cell (parameter: the engine index), -49 when none.
    virtual int32_t showStepMenu(qgui::CControl *control, int32_t parameter);
    virtual void showStepCountMenu(qgui::CControl *control, int32_t parameter);
    virtual void showSequencerNoteMenu(qgui::CControl *control, int32_t parameter);
    virtual void showLaneBaseMenu(qgui::CControl *control, int32_t parameter);
    static bool formatStepLabel(int32_t code, int32_t base, char *text, size_t size, bool forMenu);
    virtual void moveStepCursor(int32_t delta, bool extend);
    virtual void moveLaneCursor(int32_t delta, bool extend);
    virtual void copySteps();
    virtual void pasteSteps(bool insert);
    virtual void clearSteps(bool shift);
    virtual void expandSteps(bool shift);
    virtual void compressSteps(bool shift);
    // Through the editor's file commands.
    virtual void loadPatternDialog(qgui::CControl *button);
    virtual void savePatternDialog();
    virtual void loadLaneDialog(int32_t lane, qgui::CControl *button);
    virtual void saveLaneDialog(int32_t lane);
    // Stores configurationCopy in the engine and shows it on the setup page.
    virtual void refreshSetupPage();
    virtual void showTuningMenu(qgui::CControl *label);
    // The skin and zoom menus: at a point of the window (zoomed pixels), or under their setup-page
    // display when none is given. A choice goes to the engine, whose notification applies it.
    virtual void showSkinMenu(const qgui::CPoint *at = nullptr);
    virtual void showZoomMenu(const qgui::CPoint *at = nullptr);
    // Skins: percent 11 stores the zoom in use as the default instead of zooming.
    void setSkin(const podoStr &skinName, int32_t percent) override;
    void updateControlBitmaps(int32_t percent) override;
    // The skin colours, then the nine patch colours of the same file.
    bool loadColors(const podoStr &path) override;
    virtual void showMidiLearnMenu(int32_t tag, int32_t x, int32_t y);         // MIDI learn
    // The sections of updateControl for the sequencer and the edit pages, called while that page is
    // shown and the value is the current channel's (category 2 to 6).
    virtual void updateSequencerPage(int32_t tag, TagCategory category, int32_t base, float v);
    virtual void updateEditPages(int32_t tag, TagCategory category, int32_t base, float v);
    virtual void showLfoLevel(int32_t index, float v);
    // The end of showing a view (its option buttons, the arpeggiator's looks, ...).
    virtual void onPageShown(int32_t) {}                                       // each page
    // "Master.IFX.On/off" changed: the edit strips grey their insert-effect captions while off.
    virtual void showInsertEffectsEnabled(bool on);
    virtual void refreshAssignmentOverlay(bool withMidi);                      // MIDI learn
    virtual void resetMidiAssignments(bool otherSet);                          // MIDI learn
    virtual void clearMidiAssignments();                                       // MIDI learn
    virtual void reportMidiAssignments();                                      // MIDI learn
    // MIDI learn (Quorix_EditorMidiLearn.cpp): one value label shows the controller (part 0) and the
    // host slot (part 1) of its control's parameter on the current channel.
    virtual void updateAssignmentLabel(bool withMidi, vgcTextLabel *label);
    // The assignment entry of a resolved tag; false when it has none. With assignableOnly, only the
    // parameters the assignment menu is offered for.
    bool assignmentOf(int32_t resolvedTag, bool assignableOnly, engine::AssignmentTable *table, int32_t *entry);

    // The control made last by an image factory: the value-entry areas are placed from its corner.
    void notePlaced(qgui::CView *view);
    // The channel count of the patch selected in the browser (the combi looks of the rows).
    virtual int32_t combiSpan();
    // The edit pages' channel strip and its value-entry areas follow the channel being edited.
    virtual void retagChannelStrip(int32_t channel, int32_t mode);

    // The names the factory skin prints on the page backgrounds, in a page's pixels at 100 %. The
    // builders name a control where they place it, so a legend follows its control when it moves.
    struct Legend {
        int32_t page;
        qgui::CRect box;
        std::string text;
        int32_t align; // -1 left, 0 centred, 1 right
        bool heading;  // a group's name rather than a control's
    };
    std::vector<Legend> legends() const;
    // Named by a legend of its own, of its row or column, or a value display of a named control.
    bool isNamed(const qgui::CView *control) const;
    // What the window says instead of its pages when the skin cannot be drawn; empty when it can.
    std::string missingSkinText() const;

    // Reading the state (also for tests).
    bool isEditorOpen() const { return editorOpen; }
    bool isPageShown(int32_t page) const { return page >= 0 && page < editorPageCount && pageShown[page]; }
    qgui::CViewContainer *getPage(int32_t page) const
    {
        return page >= 0 && page < editorPageCount ? pages[page] : nullptr;
    }
    ControlRange getPageControlRange(int32_t page) const { return pageControlRange[page]; }
    qgui::CControl *getChannelControl(int32_t channel, int32_t entry) const
    {
        return channelControls[channel][entry];
    }
    int32_t currentChannelNow() const { return currentChannel; }
    const ConfigurationBlock &getConfigurationCopy() const { return configurationCopy; }

    // Channels of the patch the engine recalled last; 0 after a program change. Written by the engine.
    int32_t lastPatchSpan = 0;
    int32_t &recalledChannelCount = lastPatchSpan;

protected:
    void dispatchStepperCommand(qgui::CControl *control, int32_t tag, float v);
    void dispatchEditorCommand(qgui::CControl *control, int32_t tag, float &v);
    void setSetupOption(int32_t tag, float v);
    void updateEditorTag(int32_t tag, float v);
    // The controls the page of a tag shows it in, for text boxes without a tag of their own.
    void setLabelText(qgui::CControl *control, const char *text);
    void setDisplayText(qgui::CControl *control, int32_t parameter);
    void showPage(int32_t page);
    bool anyPageShown(std::initializer_list<int32_t> list) const;
    vgcArea *placeArea(vgcArea **table, int32_t count, int32_t slot, int32_t tag, int32_t dx, int32_t dy, int32_t w,
                       int32_t h);
    // The page that is also attached with pages 2, 6 and 7 keeps the shared controls out.
    bool isSharedControl(qgui::CControl *control) const;

    enum LegendSide : char { above = 't', below = 'b', leftOf = 'l', rightOf = 'r' };
    struct LegendAnchor {
        const qgui::CView *control;
        std::string text; // empty: named by `by` (a row or column heading, or the control it shows)
        LegendSide side;
        int32_t width; // 0: the control's own
        const qgui::CView *by;
        int32_t dx, dy;
    };
    struct GroupTitle {
        int32_t page;
        qgui::CRect box;
        std::string text;
        int32_t align;
    };
    std::vector<LegendAnchor> legendAnchors;
    // False (and the notice shown over the window) when the skin lacks what every page needs.
    bool checkSkinDrawable();
    std::vector<std::string> missingSkinLines;
    qgui::CView *missingSkinNotice = nullptr; // owned by the frame while open
    std::vector<GroupTitle> groupTitles;
    template <class T>
    T *named(T *control, std::string text, LegendSide side = above, int32_t width = 0, int32_t dx = 0, int32_t dy = 0)
    {
        if (control)
            legendAnchors.push_back({control, std::move(text), side, width, nullptr, dx, dy});
        return control;
    }
    template <class T>
    T *namedBy(T *control, const qgui::CView *by)
    {
        if (control && by)
            legendAnchors.push_back({control, {}, above, 0, by, 0, 0});
        return control;
    }
    // A group's heading (or a name not tied to one control), 10 high from (x, y).
    void groupTitle(int32_t page, int32_t x, int32_t y, int32_t w, const char *text, int32_t align = -1);

    Quorix *engine; // not owned
    ConfigurationBlock configurationCopy{};
    qgui::CColor patchColors[11];
    vgcArea *backgroundArea = nullptr;
    qgui::CViewContainer *pages[editorPageCount] = {};
    qgui::CControl *channelControls[channelCount][channelControlCount] = {};
    qgui::CControl *pageButtons[5] = {};
    vgcTextLabel *lcdNameLabel = nullptr;
    vgcTextEdit *lcdValueField = nullptr;
    qgui::CControl *systemEffectControls[2][5] = {};
    vgcArea *gridAreaTable[gridAreaCount] = {};
    vgcArea *channelAreaTable[channelAreaCount] = {};
    qgui::CPoint areaOrigin;
    // The keyboard page.
    qgui::CControl *priorityModeSwitch = nullptr;
    qgui::CControl *panicSwitch = nullptr;
    qgui::CControl *outputMeters[4] = {};
    qgui::CControl *clipIndicators[2] = {};
    qgui::CControl *masterVolumeFader = nullptr;
    vgcTextLabel *patchLabel = nullptr;
    vgcTextEdit *programNameField = nullptr;
    qgui::CControl *previousPatchButton = nullptr;
    qgui::CControl *nextPatchButton = nullptr;
    qgui::CControl *saveButton = nullptr;
    qgui::CControl *pitchWheel = nullptr;
    qgui::CControl *modulationWheel = nullptr;
    qgui::CControl *whiteKeyControls[keyCount] = {};
    qgui::CControl *blackKeyControls[keyCount] = {};
    // The mixer's master block.
    vgcTextLabel *masterVoiceLimitLabel = nullptr;
    vgcTextLabel *voiceCountLabels[3] = {};
    vgcTextEdit *tempoField = nullptr;
    qgui::CControl *syncButton = nullptr;
    vgcTextLabel *masterTransposeLabel = nullptr;
    vgcTextEdit *masterTuneField = nullptr;
    qgui::CControl *insertEffectsButton = nullptr;
    qgui::CControl *gmResetButton = nullptr;

    // The edit pages: a strip per page (mode), the melody controls by local id - 698, the selected
    // drum key's by base - 698 and the kit's 1803..1805.
    vgcEnvAR *addEnvelopeDisplay(const char *background, const qgui::CRect &rect, qgui::CControl *first,
                                 qgui::CControl *second, bool release);
    void setWaveLabel(qgui::CControl *label, const WaveLocation &location);
    bool waveSlot(int32_t slot, int32_t *parameter, WaveLocation *location, bool *drum);
    // Parameter i (0..16) of a drum slot of the current channel.
    int32_t drumSlotParameter(int32_t slot, int32_t i) const;
    qgui::CControl *editStripControls[2][27] = {};
    qgui::CControl *melodyControls[46] = {};
    qgui::CControl *drumKeyControls[17] = {};
    qgui::CControl *drumKitControls[3] = {};
    qgui::CControl *lfoIndicators[2] = {};
    vgcEnvAR *melodyEnvelopeDisplays[4] = {};
    vgcEnvAR *drumEnvelopeDisplay = nullptr;
    qgui::CControl *drumSelectionLeds[drumSlotCount] = {};
    qgui::CControl *drumHitLeds[drumSlotCount] = {};
    qgui::CControl *muteGroupButtons[2] = {};
    qgui::CControl *toIfxButtons[2] = {};

    uint32_t trackPicker(podoMenu &menu, qgui::CControl *control, uint32_t markedId);
    // For a menu whose ids are the parameter's steps 0..steps plus 1: marks the current step, tracks
    // the menu and sets the chosen step (through the host's automation when automated).
    void pickStep(podoMenu &menu, qgui::CControl *control, int32_t parameter, int32_t steps, bool automated);
    // Tracks a menu at a window point, or else under a setup-page display; the chosen id or 0.
    uint32_t trackAt(podoMenu &menu, const qgui::CPoint *at, qgui::CControl *display);

    ControlRange pageControlRange[editorPageCount];
    bool editorOpen = false; // the editor's own pages are up; the binding's isOpen() answers for the window
    bool pageShown[editorPageCount] = {};
    int32_t shownEditMode = 0;
    bool redrawPending = false;     // under editorLock
    bool engineBulkLoading = false;
    bool lcdEnabled = true;
    bool lcdFocusResetPending = false;
    int32_t currentChannel = 0;     // written on the user-interface thread, read under editorLock
    int32_t browserCategory = -1;
    int32_t browserEntry = -1;
    int32_t lcdTag = -1;
    int32_t heldKey = -1;
    int32_t voicePeak = 0;
    int32_t sequencerPositions[channelCount] = {};
    int32_t sequencerCursor[6] = {-1, -1, -1, -1, -1, -1};
    // The sequencer page.
    struct SequencerLane {
        qgui::CControl *onButton = nullptr;
        vgcTextLabel *baseLabel = nullptr;
        vgcTextLabel *notes[16] = {};
        vgcFader *velocities[16] = {};
    };
    SequencerLane sequencerLanes[5];
    qgui::CControl *sequencerOnButton = nullptr;
    qgui::CControl *noteOrderList = nullptr;
    qgui::CControl *rateList = nullptr;
    qgui::CControl *tripletButton = nullptr;
    qgui::CControl *swingKnob = nullptr;
    vgcTextLabel *lengthLabel = nullptr;
    qgui::CControl *partButtons[4] = {};
    qgui::CControl *syncList = nullptr;
    qgui::CControl *latchButton = nullptr;
    vgcTextLabel *rootPitchLabel = nullptr;
    qgui::CControl *velocityAmountKnob = nullptr;
    qgui::CControl *followButton = nullptr;
    std::shared_ptr<EditorFileCommands> fileCommands; // made when first asked for
    // The setup page (Quorix_EditorSetup.cpp). Option buttons are indexed by tag - 29217.
    qgui::CControl *velocityCurveButtons[7] = {};
    qgui::CControl *setupOptionButtons[editorTag::lastSetupOption - editorTag::velocityCurve - 6] = {};
    qgui::CControl *oversamplingList = nullptr;
    vgcTextLabel *skinLabel = nullptr;
    vgcTextLabel *zoomLabel = nullptr;
    vgcTextLabel *tuningLabel = nullptr;
    vgcTextEdit *tuningCentsFields[12] = {};
    vgcTextLabel *sampleBankLabels[sampleBankLabelCount] = {};
    vgcTextLabel *aboutLines[aboutLineCount] = {};
    vgcTextLabel *versionLabel = nullptr;
    // The browser page: the entry list's rows and the category list's (one per category loaded when
    // the page was built), each a number and a name label.
    struct BrowserRow {
        vgcTextLabel *number = nullptr;
        vgcTextLabel *name = nullptr;
    };
    static constexpr int32_t browserRowCount = 128;
    BrowserRow entryRows[browserRowCount];
    BrowserRow categoryRows[browserRowCount];
    int32_t categoryRowCount = 0;
    qgui::CControl *loadOnSelectButton = nullptr;
    void paintEntryRow(int32_t row, bool selected);
    void paintCategoryRow(int32_t row, bool selected);
    void paintRow(const BrowserRow &row, qgui::CColor colour, qgui::CColor back, bool selected);
    void scrollToBrowserCategory();
    float channelLedTimers[channelCount] = {};
    float wheelValues[channelCount][2];
    uint8_t keyStates[channelCount][keyCount] = {};
    int32_t drumHitCounts[channelCount][drumSlotCount] = {};
    float drumLedTimers[channelCount][drumSlotCount] = {};
};
