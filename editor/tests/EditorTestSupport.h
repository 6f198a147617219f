// The instrument editor opened headless on an engine: a temporary home, a small skin with every
// image the pages name (so controls have their size and can be clicked), an engine that records
// what the editor asks of it, and clicks at a control's place in the window.
#pragma once

#include "editor-framework/controls/vgcTextLabel.h"
#include "editor/Quorix_Editor.h"
#include "engine/Quorix.h"
#include "gui/CFrame.h"
#include "gui/platform/COffscreenPlatform.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace editortest {

// The folder the test skin lives in (with its trailing separator): "<folder>skins/...".
const std::string &applicationFolder();

// What the engine was asked, in order.
struct EngineCall {
    enum Kind { automated, plain, noteOn, noteOff, midi, allNotesOff } kind;
    int32_t a, b, c;
    float value;
};

class EditorEngine : public Quorix
{
public:
    EditorEngine();
    Quorix_Editor *createEditor() override;
    void setParameterValueAutomated(int32_t index, float value) override;
    void setParameterValue(int32_t index, float value) override;
    int32_t noteOn(int32_t first, int32_t last, int32_t key, int32_t velocity, uint8_t fromArpeggiator,
                   uint8_t fromSequencer, int32_t shift, int32_t curve) override;
    void noteOff(int32_t first, int32_t last, int32_t key, uint8_t audition) override;
    void handleMidiMessage(int32_t channel, int32_t type, int32_t data1, int32_t data2) override;
    int32_t allNotesOff() override;

    Quorix_Editor *editor() { return instrumentEditor; }
    // Calls recorded since the last take, then forgotten.
    std::vector<EngineCall> take();
    bool recording = true;
    std::vector<EngineCall> calls;
};

// An editor with its protected parts open to the tests.
class TestEditor : public Quorix_Editor
{
public:
    using Quorix_Editor::Quorix_Editor;
    using Quorix_Editor::channelAreaTable;
    using Quorix_Editor::channelLedTimers;
    using Quorix_Editor::gridAreaTable;
    using Quorix_Editor::lcdNameLabel;
    using Quorix_Editor::lcdTag;
    using Quorix_Editor::lcdValueField;
    using Quorix_Editor::masterTuneField;
    using Quorix_Editor::pageButtons;
    using Quorix_Editor::voiceCountLabels;
    using Quorix_Editor::whiteKeyControls;
    using Quorix_Editor::blackKeyControls;
    using Quorix_Editor::systemEffectControls;
    using Quorix_Editor::notePlaced;
    using Quorix_Editor::configurationCopy;
    using Quorix_Editor::followButton;
    using Quorix_Editor::lengthLabel;
    using Quorix_Editor::partButtons;
    using Quorix_Editor::rootPitchLabel;
    using Quorix_Editor::sequencerCursor;
    using Quorix_Editor::sequencerLanes;
    using Quorix_Editor::sequencerPositions;
    using Quorix_Editor::tripletButton;
    using Quorix_Editor::drumHitLeds;
    using Quorix_Editor::drumKeyControls;
    using Quorix_Editor::drumKitControls;
    using Quorix_Editor::drumLedTimers;
    using Quorix_Editor::drumSelectionLeds;
    using Quorix_Editor::editStripControls;
    using Quorix_Editor::melodyControls;
    using Quorix_Editor::melodyEnvelopeDisplays;
    using Quorix_Editor::muteGroupButtons;
    using Quorix_Editor::toIfxButtons;
    // MIDI learn.
    using Quorix_Editor::masterVoiceLimitLabel;
    using Quorix_Editor::masterVolumeFader;
    using Quorix_Editor::panicSwitch;
    using Quorix_Editor::priorityModeSwitch;
    using Quorix_Editor::swingKnob;
    // The setup page, zoom and skins.
    using Quorix_Editor::aboutLines;
    using Quorix_Editor::oversamplingList;
    using Quorix_Editor::patchColors;
    using Quorix_Editor::patchLabel;
    using Quorix_Editor::sampleBankLabels;
    using Quorix_Editor::setupOptionButtons;
    using Quorix_Editor::skinLabel;
    using Quorix_Editor::tempoField;
    using Quorix_Editor::tuningCentsFields;
    using Quorix_Editor::tuningLabel;
    using Quorix_Editor::velocityCurveButtons;
    using Quorix_Editor::versionLabel;
    using Quorix_Editor::zoomLabel;
    // The browser.
    using Quorix_Editor::browserCategory;
    using Quorix_Editor::browserEntry;
    using Quorix_Editor::categoryRows;
    using Quorix_Editor::entryRows;
    using Quorix_Editor::loadOnSelectButton;
    using Quorix_Editor::nextPatchButton;
    using Quorix_Editor::saveButton;
    void setCurrentChannelForTest(int32_t channel) { currentChannel = channel; }
};

// An engine with its editor open in an offscreen window and the first idle done (the return
// page shown, the program posted and applied).
struct OpenEditor : testing::Test {
    std::unique_ptr<EditorEngine> engine;
    TestEditor *editor = nullptr;
    qgui::COffscreenPlatform *screen = nullptr;

    void SetUp() override;
    void TearDown() override;
    // Idles until the queue is empty (at most a few rounds).
    void settle();
    // The control's rectangle in window coordinates.
    qgui::CRect windowRect(qgui::CControl *control) const;
    void click(qgui::CControl *control, qgui::CButtonState buttons = qgui::kLButton);
    // Stores a value as the host would and lets the editor hear of it.
    void engineSets(int32_t index, float value);
    std::string text(qgui::CControl *control) const;
    // Drawn pixels of a window rectangle (unzoomed coordinates) within `tolerance` of the colour on
    // every channel.
    int32_t pixelsNear(const qgui::CRect &window, const qgui::CColor &colour, int32_t tolerance = 24) const;
    int32_t pixelsNear(qgui::CControl *control, const qgui::CColor &colour, int32_t tolerance = 24) const
    {
        return pixelsNear(windowRect(control), colour, tolerance);
    }
    // The smallest distance (largest channel difference) of a drawn pixel of the control's rectangle
    // from the colour: small where text is drawn in it.
    int32_t nearestTo(qgui::CControl *control, const qgui::CColor &colour) const;
};

// The index of a channel's parameter.
constexpr int32_t ch(int32_t channel, int32_t local) { return channel * 1789 + local; }

} // namespace editortest
