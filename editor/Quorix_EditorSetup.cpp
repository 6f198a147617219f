// The setup page: velocity curve, the global options, oversampling, controller assignments, the skin,
// zoom and tuning displays, the tuning keyboard, the loaded sample banks and the about lines. Every
// value lives in the global configuration; the dispatch writes the editor's copy and refreshSetupPage
// hands it to the engine and shows it.
#include "editor/Quorix_Editor.h"

#include "banks/SampleBanks.h"
#include "editor-framework/controls/vgcButtons.h"
#include "editor-framework/controls/vgcOptionMenu.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "editor/EditorBuild.h"
#include "editor/EditorFileCommands.h"
#include "engine/Quorix.h"
#include "engine/Temperaments.h"
#include "foundation/podoGlobals.h"
#include "gui/CViewContainer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace qgui;
using editorbuild::placed;

namespace {

constexpr int32_t optionTag(int32_t index) { return editorTag::velocityCurve + 7 + index; }
constexpr int32_t optionIndex(int32_t tag) { return tag - optionTag(0); }

// The switches of the options column, top to bottom: the screen order is not the tag order.
struct OptionPlace {
    int32_t tag, x, y;
    const char *image;
};
constexpr OptionPlace upperOptions[] = {
    {29218, 144, 84, "button-minion"},  {29217, 144, 96, "button-minion"}, {29219, 144, 108, "button-minion"},
    {29221, 144, 120, "button-minion"}, {29222, 144, 132, "button-minion"},
};

struct CentsKey {
    int32_t x;
    bool black;
};
constexpr CentsKey centsKeys[12] = {{337, false}, {348, true},  {367, false}, {386, true},
                                    {397, false}, {427, false}, {435, true},  {457, false},
                                    {472, true},  {487, false}, {509, true},  {517, false}};

constexpr int32_t aboutTop = 195;
constexpr int32_t aboutStep = 13;

// Credits, notice and address; the layout puts a blank line's gap after the fourth and the eighth.
constexpr const char *aboutTexts[Quorix_Editor::aboutLineCount] = {
    "Quorix - multitimbral GM/GS synthesizer",
    "Samples and wavetables on 16 channels",
    "Sequencer, arpeggiator, 24 insert effects",
    "Factory sounds from a GM SoundFont",
    "Design and programming: Kestrane",
    "Skins, images and manual: Kestrane",
    "Thanks to everyone who tested it",
    "and to everyone who reported faults",
    "Copyright Kestrane. All rights reserved.",
    "VST is a trademark of its owner.",
    "kestrane.example",
};

void insets(vgcTextLabel *label) { label->setTextInsets(0, 0, 8, 0, true); }

int32_t aboutLineY(int32_t line) { return aboutTop + aboutStep * (line + line / 4); }

} // namespace

void Quorix_Editor::buildSetupPage()
{
    pageControlRange[pageSetup].first = uint32_t(getControlCount());

    named(placed(*this, addKickButton(258, 400, "button-ManualOpen", editorTag::manual)), "");
    named(placed(*this, addKickButton(258, 419, "button-defaults", editorTag::resetConfiguration)), "SETTINGS", leftOf, 48);
    groupTitle(pageSetup, 21, 50, 163, "VELOCITY CURVE");
    for (int32_t i = 0; i < 7; ++i) {
        char image[24];
        std::snprintf(image, sizeof image, "setup-vc%d", int(i + 1));
        velocityCurveButtons[i] = named(placed(*this, addOnOffButton(31 + 13 * i, 65, image, editorTag::velocityCurve + i)), "");
    }
    // The RAM switch is never shown (refreshSetupPage): it takes no name.
    static const char *const upperNames[] = {"DRUMS USE TUNE", "DRUMS USE TRANSPOSE", "KEEP TEMPO ON RECALL",
                                             "SUB OUT INTO MAIN", ""};
    for (const OptionPlace &o : upperOptions) {
        CControl *option = placed(*this, addOnOffButton(o.x, o.y, o.image, o.tag));
        setupOptionButtons[optionIndex(o.tag)] = named(option, upperNames[&o - upperOptions], leftOf, 121);
    }

    vgcDropdownList *oversampling =
        placed(*this, addDropdownList(129, 148, 40, 9, "back-LCDinput", editorTag::oversampling));
    for (const char *entry : {"none", "2x", "4x", "8x", "16x"})
        oversampling->addEntry(entry);
    if (sharedFontSmall)
        oversampling->setFont(sharedFontSmall);
    oversampling->setTextInsets(0, 0, 8, 0, true);
    oversamplingList = named(oversampling, "MAX OVERSAMPLING", leftOf, 106);

    groupTitle(pageSetup, 21, 180, 163, "EDITOR");
    setupOptionButtons[optionIndex(29225)] =
        named(placed(*this, addOnOffButton(144, 194, "button-minion", 29225)), "KEY SHORTCUTS", leftOf, 121);
    static const char *const pairTitles[2] = {"PARAMETER DISPLAY", "MIDI ASSIGNMENT OVERLAY"};
    static const char *const pairNames[2][2] = {{"ON CLICK", "ON HOVER"}, {"OFF", "ON"}};
    for (int32_t row = 0; row < 2; ++row) {
        groupTitle(pageSetup, 21, 207 + 28 * row, 163, pairTitles[row]);
        for (int32_t k = 0; k < 2; ++k) {
            const int32_t tag = 29226 + 2 * row + k;
            setupOptionButtons[optionIndex(tag)] = named(
                placed(*this, addOnOffButton(31 + 66 * k, 221 + 28 * row, "button-minicheck", tag)), pairNames[row][k],
                rightOf, 50);
        }
    }
    groupTitle(pageSetup, 21, 282, 163, "MIDI RECEIVE");
    // The second switch's byte is read by nothing: it is never shown, takes no name and no row (it is
    // kept after the last one).
    static const char *const receiveNames[10] = {"PROGRAM CHANGE", "", "VOLUME CC 7", "PAN CC 10",
                                                 "EXPRESSION CC 11", "DAMPER CC 64", "SOSTENUTO CC 66", "NRPN",
                                                 "RPN", "OMNI ON/OFF"};
    for (int32_t n = 0; n < 10; ++n) {
        const int32_t row = n == 0 ? 0 : n == 1 ? 9 : n - 1;
        setupOptionButtons[optionIndex(29230 + n)] =
            named(placed(*this, addOnOffButton(144, 296 + 12 * row, "button-minion", 29230 + n)), receiveNames[n], leftOf, 121);
    }

    named(placed(*this, addKickButton(21, 419, "button-factory", editorTag::resetMidiAssignments)), "");
    named(placed(*this, addKickButton(74, 419, "button-clear", editorTag::clearMidiAssignments)), "MIDI ASSIGNMENTS",
          below, 156);
    named(placed(*this, addKickButton(127, 419, "button-report", editorTag::reportMidiAssignments)), "");

    skinLabel = placed(*this, addTextLabel(203, 66, 97, 11, "back-LCDinput", editorTag::skinMenu));
    insets(skinLabel);
    zoomLabel = placed(*this, addTextLabel(203, 85, 97, 11, "back-LCDinput", editorTag::zoomMenu));
    insets(zoomLabel);
    named(skinLabel, "SKIN", rightOf, 36);
    named(zoomLabel, "ZOOM", rightOf, 36);
    tuningLabel = placed(*this, addTextLabel(366, 54, 174, 11, "back-LCDinput", editorTag::tuningMenu));
    insets(tuningLabel);
    tuningLabel->setFontAndStyle(sharedFontSmall, 0);
    named(tuningLabel, "TUNING", leftOf, 50);

    for (int32_t p = 0; p < 12; ++p) {
        const CentsKey &key = centsKeys[p];
        vgcTextEdit *field = addTextEdit(key.x, key.black ? 95 : 113, 20, 11,
                                         key.black ? "back-setup-tuning-b" : "back-setup-tuning-w",
                                         editorTag::tuningCents + p, 1);
        field->setHoriAlign(kCenterText);
        tuningCentsFields[p] = field;
    }
    // Laid out as a keyboard: each row is named at its end (clear of the zoom's name), a field by the
    // next one of its row.
    for (int32_t p = 0; p < 12; ++p) {
        int32_t next = p + 1;
        while (next < 12 && centsKeys[next].black != centsKeys[p].black)
            ++next;
        if (next < 12)
            namedBy(tuningCentsFields[p], tuningCentsFields[next]);
        else
            named(tuningCentsFields[p], centsKeys[p].black ? "BLACK" : "WHITE", rightOf, 40);
    }
    groupTitle(pageSetup, 366, 80, 174, "CENTS PER NOTE");
    groupTitle(pageSetup, 203, 122, 90, "SAMPLE BANKS");

    // The banks loaded when the page is built; the list does not follow later reloads.
    const int32_t banks = std::clamp<int32_t>(sampleBanks ? numSampleBanks : 0, 0, sampleBankLabelCount);
    for (int32_t m = 0; m < banks; ++m) {
        vgcTextLabel *label = addTextLabel(203, 136 + 19 * m, 97, 14, nullptr, -1);
        char name[sizeof sampleBanks[m].name + 1] = {};
        std::memcpy(name, sampleBanks[m].name, sizeof sampleBanks[m].name);
        label->setPartText(name, 0);
        label->setFontAndStyle(sharedFontMedium, 0);
        label->setHoriAlign(kLeftText);
        label->setTransparency(true);
        sampleBankLabels[m] = named(label, "");
    }

    for (int32_t line = 0; line < aboutLineCount; ++line) {
        vgcTextLabel *label = addTextLabel(328, aboutLineY(line), 220, 14, nullptr, -1);
        label->setPartText(aboutTexts[line], 0);
        label->setTransparency(true);
        aboutLines[line] = named(label, "");
    }

    versionLabel = addTextLabel(328, 377, 220, 13, nullptr, editorTag::version);
    char version[96];
    std::snprintf(version, sizeof version, "Version %s (%s) x86-%u-bit", podo::versionToText(engine->getVersionWord()),
                  __DATE__, unsigned(sizeof(void *) * 8));
    versionLabel->setPartText(version, 0);
    versionLabel->setTransparency(true);
    named(versionLabel, "");

    pageControlRange[pageSetup].end = uint32_t(getControlCount());
}

void Quorix_Editor::refreshSetupPage()
{
    engine->setConfiguration(&configurationCopy);
    const ConfigurationBlock &c = configurationCopy;
    const auto *bytes = reinterpret_cast<const uint8_t *>(&c);
    const auto onOff = [](bool on) { return on ? 1.0f : 0.0f; };

    // The host may ask the engine to fold the sub outputs into the main pair; the switch is then shown
    // on and without its image. The RAM option is the engine's alone and is never shown.
    bool fold = bytes[8] != 0;
    if (CControl *foldSwitch = setupOptionButtons[optionIndex(29221)]) {
        const bool hostFolds = engine->getFoldSubOutputs() != 0;
        // Given back when the host stops folding, so the option can be switched again.
        setControlImage(foldSwitch, hostFolds ? nullptr : "button-minion");
        fold = fold || hostFolds;
    }
    // Switches of bytes nothing reads (the RAM option, and the second receive byte) are neither shown nor
    // clicked.
    for (int32_t unread : {29222, 29231})
        if (CControl *hidden = setupOptionButtons[optionIndex(unread)]) {
            setControlImage(hidden, nullptr);
            hidden->setMouseEnabled(false);
        }

    for (int32_t i = 0; i < 7; ++i)
        podoVSTEditorBase::setParameter(editorTag::velocityCurve + i, onOff(c.velocityCurve == i));
    const struct {
        int32_t tag;
        float value;
    } values[] = {
        {29217, onOff(bytes[4])},  {29218, onOff(bytes[5])},  {29219, onOff(bytes[6])},
        {29221, onOff(fold)},      {29222, onOff(bytes[9])},  {29223, onOff(c.loadOnSelect)},
        {29225, onOff(c.keyboardShortcutsOn)},
        {29226, onOff(c.hoverDisplay == 0)},       {29227, onOff(c.hoverDisplay == 1)},
        {29228, onOff(c.assignmentOverlay == 0)},  {29229, onOff(c.assignmentOverlay == 1)},
        {29230, onOff(bytes[20])}, {29231, onOff(bytes[21])}, {29232, onOff(bytes[417])},
        {29233, onOff(bytes[418])}, {29234, onOff(bytes[22])}, {29235, onOff(bytes[24])},
        {29236, onOff(bytes[23])}, {29237, onOff(bytes[25])}, {29238, onOff(bytes[26])},
        {29239, onOff(bytes[27])},
    };
    for (const auto &v : values)
        podoVSTEditorBase::setParameter(v.tag, v.value);
    int32_t octaves = 0;
    while (octaves < 4 && (1 << octaves) < c.maxOversampling)
        ++octaves;
    podoVSTEditorBase::setParameter(editorTag::oversampling, float(octaves) * 0.25f);

    TuningBlock tuning{};
    engine->getTuningBlock(&tuning);
    const int32_t t = std::clamp<int32_t>(tuning.temperament, 0, engine::kTemperamentCount - 1);
    setLabelText(tuningLabel, engine::temperamentNames[t]);
    for (int32_t p = 0; p < 12; ++p) {
        vgcTextEdit *field = tuningCentsFields[p];
        if (!field)
            continue;
        const int32_t cents = engine::limitTuningCents(tuning.offsets[p]);
        char text[8];
        if (cents == 0)
            std::snprintf(text, sizeof text, "00");
        else
            std::snprintf(text, sizeof text, "%+02d", int(cents));
        field->setText(text);
        // Only a user temperament is edited here; the built-in ones are fixed.
        field->setMouseEnabled(t >= engine::kBuiltInTemperaments);
        field->invalid();
    }

    if (pages[pageSetup])
        pages[pageSetup]->invalid();
}

void Quorix_Editor::showTuningMenu(CControl *label)
{
    if (!fileCommands)
        fileCommands = std::make_shared<EditorFileCommands>(engine, this);
    // A new temperament or a read Scala file changed the engine's configuration: show it.
    fileCommands->onTuningChanged = [this] {
        engine->getConfiguration(&configurationCopy);
        refreshSetupPage();
    };
    fileCommands->showTuningMenu(label ? label : tuningLabel);
}
