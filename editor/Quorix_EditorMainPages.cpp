// The channel list (page 0) and the keyboard (page 1), and the value-entry areas every page uses.
#include "editor/Quorix_Editor.h"

#include "editor/EditorBuild.h"

#include "editor-framework/controls/vgcButtons.h"
#include "editor-framework/controls/vgcDisplays.h"
#include "editor-framework/controls/vgcKnobs.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "engine/EngineLimits.h"

#include <cstdio>

using namespace qgui;
using editorbuild::placed;
using editorbuild::withValueLabel;

namespace {

constexpr CColor transparentWhite{255, 255, 255, 0};

bool isBlackKey(int32_t note)
{
    const int32_t pc = note % 12;
    return pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10;
}

// How far the next black key lies after a key of this pitch class.
int32_t blackKeyAdvance(int32_t note)
{
    switch (note % 12) {
    case 1: return 13;
    case 3: return 20;
    case 6: return 12;
    case 8: return 12;
    case 10: return 20;
    default: return 0;
    }
}

const char *whiteKeyImage(int32_t note)
{
    switch (note % 12) {
    case 0:
    case 5: return "keys-2-CnF";
    case 2: return "keys-3-D";
    case 4:
    case 11: return "keys-4-EnB";
    case 7: return "keys-5-G";
    default: return "keys-6-A";
    }
}

} // namespace

vgcArea *Quorix_Editor::placeArea(vgcArea **table, int32_t count, int32_t slot, int32_t tag, int32_t dx, int32_t dy,
                                  int32_t w, int32_t h)
{
    if (slot < 0 || slot >= count)
        return nullptr;
    if (vgcArea *old = table[slot]) {
        // The registry and a page's range still hold the old area: it is retired here and
        // released with that page, never destroyed under them.
        old->setTag(-1);
        old->setMouseEnabled(false);
        old->setVisible(false);
    }
    auto *area = addArea(int32_t(areaOrigin.x) + dx, int32_t(areaOrigin.y) + dy, w, h, tag, transparentWhite);
    area->setMouseEnabled(tag >= 0);
    table[slot] = area;
    return area;
}

vgcArea *Quorix_Editor::addTaggedArea(int32_t index, int32_t dx, int32_t dy, int32_t w, int32_t h)
{
    return placeArea(gridAreaTable, gridAreaCount, index, index, dx, dy, w, h);
}

vgcArea *Quorix_Editor::addGridArea(int32_t row, int32_t column, int32_t dx, int32_t dy, int32_t w, int32_t h)
{
    return placeArea(gridAreaTable, gridAreaCount, row * 20 + column, column, dx, dy, w, h);
}

vgcArea *Quorix_Editor::addTaggedAreaC(int32_t index, int32_t dx, int32_t dy, int32_t w, int32_t h)
{
    return placeArea(gridAreaTable, gridAreaCount, index - 641, index, dx, dy, w, h);
}

vgcArea *Quorix_Editor::addTaggedAreaD(int32_t index, int32_t dx, int32_t dy, int32_t w, int32_t h)
{
    return placeArea(gridAreaTable, gridAreaCount, index - 595, index, dx, dy, w, h);
}

vgcArea *Quorix_Editor::addTaggedAreaB(int32_t index, int32_t dx, int32_t dy, int32_t w, int32_t h)
{
    return placeArea(channelAreaTable, channelAreaCount, index, index, dx, dy, w, h);
}

vgcArea *Quorix_Editor::addChannelArea(int32_t channel, int32_t parameter, int32_t dx, int32_t dy, int32_t w,
                                       int32_t h)
{
    return placeArea(channelAreaTable, channelAreaCount, channel * 20 + parameter - 8,
                     channel * engine::kChannelParameterCount + parameter, dx, dy, w, h);
}

void Quorix_Editor::buildMainPages()
{
    pageControlRange[pageChannelList].first = uint32_t(getControlCount());

    for (int32_t c = 0; c < channelCount; ++c) {
        const int32_t y = 26 + 26 * c;
        const int32_t base = c * engine::kChannelParameterCount;
        char image[40];
        std::snprintf(image, sizeof image, "button-channelNumber%02d", int(c + 1));
        CControl **row = channelControls[c];
        row[numberButton] = placed(*this, addOnOffButton(31, y, image, base + 18));
        // The activity light sits high in its row, clear of the next row's link box.
        row[activityIndicator] = placed(*this, addKickButton(47, y + 2, "channel-indicator", editorTag::channelActivity + c));
        if (c >= 1)
            row[linkButton] = placed(*this, addOnOffButton(46, y - 11, "channel-link", base + 19));
        row[modeButton] = placed(*this, addOnOffButton(57, y + 3, "channel-melody-normal", base + 17));
        // Column headings over the first row name every row's controls; the number and mode buttons
        // carry their own captions.
        if (c == 0) {
            named(row[numberButton], "CH", above, 14, 0, -1);
            named(row[activityIndicator], "MIDI", above, 22, 0, -13);
            named(row[modeButton], "TYPE", above, 24, 0, -4);
        } else {
            namedBy(row[numberButton], channelControls[0][numberButton]);
            namedBy(row[activityIndicator], channelControls[0][activityIndicator]);
            namedBy(row[modeButton], channelControls[0][modeButton]);
            if (c == 1)
                named(row[linkButton], "LINK", leftOf, 26, -16, 0);
            else
                namedBy(row[linkButton], channelControls[1][linkButton]);
        }
        vgcTextEdit *name = placed(*this, addTextEdit(69, y + 3, 83, 13, "channel-name", editorTag::channelName + c, 1));
        name->setTextInsets(0, 1, 0, 0, true);
        if (sharedFontMedium)
            name->setFont(sharedFontMedium);
        name->setHoriAlign(kLeftText);
        name->setStyle(kNoFrame | kDoubleClickStyle);
        row[nameField] = name;
        row[levelMeter] = placed(*this, addLevelMeter(57, y + 19, "channel-meter", editorTag::channelMeter + c));
        if (c == 0)
            named(name, "NAME", above, 60, 11, -4);
        else
            namedBy(name, channelControls[0][nameField]);
        namedBy(row[levelMeter], name);
    }

    lcdNameLabel = placed(*this, addTextLabel(399, 260, 154, 11, "back-indicator", -1));
    lcdNameLabel->setHoriAlign(kLeftText);
    lcdValueField = placed(*this, addTextEdit(398, 272, 142, 11, "back-LCDinput", editorTag::lcdValue, 1));
    lcdValueField->setHoriAlign(kRightText);
    lcdValueField->setMouseEnabled(false);
    named(lcdNameLabel, "PARAMETER", above, 154);
    namedBy(lcdValueField, lcdNameLabel);

    for (int32_t s = 0; s < 2; ++s) {
        const int32_t yb = 329 + 65 * s;
        const int32_t p = 9 + 4 * s;
        CControl **block = systemEffectControls[s];
        block[0] = withValueLabel(
            placed(*this, addOnOffButton(398, yb - 19, s == 0 ? "button-send-chorus" : "button-send-reverb", 7 + s)), 2,
            -40, 0);
        for (int32_t k = 0; k < 3; ++k) {
            block[1 + k] = withValueLabel(placed(*this, addAnimKnob(416 + 47 * k, yb, "knob1-big-left", p + k, 228)), 2, 0, 0);
            addTaggedArea(p + k, -7, 29, 39, 9);
        }
        block[4] = withValueLabel(
            placed(*this, addHorizontalFader(444, yb - 18, "send-level", "send-level-handle", p + 3, 2)), 2, 0, 0);
        addTaggedArea(p + 3, 83, 0, 25, 9);
        // The switch carries the effect's name; its knobs and level are named below and beside them.
        named(block[0], "", above);
        static const char *const knobNames[2][3] = {{"RATE", "WIDTH", "SPREAD"}, {"PRE-DLY", "TIME", "TONE"}};
        for (int32_t k = 0; k < 3; ++k)
            named(block[1 + k], knobNames[s][k], below, 44);
        named(block[4], "LEVEL", rightOf, 32);
    }
    const float chorusDefaults[4] = {0.0f, 1.0f, 1.0f, 0.70710683f};
    const float reverbDefaults[4] = {0.0f, 0.25f, 0.5f, 0.5f};
    for (int32_t k = 0; k < 4; ++k) {
        systemEffectControls[0][1 + k]->setDefaultValue(chorusDefaults[k]);
        systemEffectControls[1][1 + k]->setDefaultValue(reverbDefaults[k]);
    }

    pageControlRange[pageChannelList].end = uint32_t(getControlCount());
    pageControlRange[pageKeyboard].first = uint32_t(getControlCount());

    priorityModeSwitch = withValueLabel(placed(*this, addOnOffSwitch(20, 45, "keyboard-button", 5)), 2, -35, 0);
    named(priorityModeSwitch, "PRIORITY", below, 48);
    outputMeters[0] = placed(*this, addLevelMeter(58, 48, "keyboard-levelmeter-red", editorTag::outputMeter));
    outputMeters[1] = placed(*this, addLevelMeter(58, 50, "keyboard-levelmeter-red", editorTag::outputMeter + 1));
    clipIndicators[0] = placed(*this, addKickButton(147, 47, "keyboard-levelmeter-peak", editorTag::clipIndicator));
    outputMeters[2] = placed(*this, addLevelMeter(58, 52, "keyboard-levelmeter-green", editorTag::outputMeter + 2));
    outputMeters[3] = placed(*this, addLevelMeter(58, 54, "keyboard-levelmeter-green", editorTag::outputMeter + 3));
    clipIndicators[1] = placed(*this, addKickButton(147, 51, "keyboard-levelmeter-peak", editorTag::clipIndicator + 1));
    for (CControl *meter : outputMeters)
        meter->setMouseEnabled(true);
    named(outputMeters[3], "OUTPUT", below, 76, 0, 2);
    for (int32_t m = 0; m < 3; ++m)
        namedBy(outputMeters[m], outputMeters[3]);
    named(clipIndicators[1], "CLIP", below, 20, 0, 2);
    namedBy(clipIndicators[0], clipIndicators[1]);
    masterVolumeFader =
        withValueLabel(placed(*this, addHorizontalFader(164, 46, "keyboard-faderback", "keyboard-fader", 0, 1)), 2, 0, 0);
    masterVolumeFader->setDefaultValue(0.70710683f);
    addTaggedAreaB(0, 20, 13, 45, 9);
    named(masterVolumeFader, "MASTER VOLUME", above, 80);
    panicSwitch = withValueLabel(placed(*this, addOnOffSwitch(265, 45, "keyboard-button", editorTag::panic)), 1, -10, 0);
    named(panicSwitch, "PANIC", below, 30);
    patchLabel = placed(*this, addTextLabel(326, 43, 89, 11, "keyboard-LCDback1", editorTag::patchLabel));
    patchLabel->setHoriAlign(kLeftText);
    programNameField = placed(*this, addTextEdit(326, 54, 89, 12, "keyboard-LCDback2", editorTag::programName, 1));
    if (sharedFontMedium)
        programNameField->setFont(sharedFontMedium);
    programNameField->setHoriAlign(kLeftText);
    previousPatchButton =
        withValueLabel(placed(*this, addKickButton(305, 43, "keyboard-auditionL", editorTag::previousPatch)), 1, -10, 0);
    nextPatchButton =
        withValueLabel(placed(*this, addKickButton(423, 43, "keyboard-auditionR", editorTag::nextPatch)), 1, -5, 0);
    named(patchLabel, "PATCH", above, 89);
    namedBy(programNameField, patchLabel);
    namedBy(previousPatchButton, patchLabel);
    namedBy(nextPatchButton, patchLabel);
    static const char *const pageNames[5] = {"MIXER", "BANK", "SEQ", "EDIT", "SETUP"};
    for (int32_t i = 0; i < 5; ++i) {
        pageButtons[i] = placed(*this, addOnOffSwitch(447 + 30 * i, 45, "keyboard-button", editorTag::pageButton + i));
        named(pageButtons[i], pageNames[i], below, 30);
    }
    saveButton = placed(*this, addKickButton(612, 45, "keyboard-button-save", editorTag::saveMenu));
    named(saveButton, "", above);
    pitchWheel = placed(*this, addVerticalFader(106, 94, "keyboard-wheel", "keyboard-wheel-handle", editorTag::pitchWheel, 2));
    modulationWheel =
        placed(*this, addVerticalFader(123, 94, "keyboard-wheel", "keyboard-wheel-handle", editorTag::modulationWheel, 2));
    modulationWheel->setDefaultValue(0.0f);
    named(pitchWheel, "BEND", above, 26, -5, 0);
    named(modulationWheel, "MOD", above, 22, 3, 0);

    whiteKeyControls[0] = placed(*this, addPlayKeyboard(149, 78, "keys-1-leftA", editorTag::key + 21));
    int32_t x = 160;
    for (int32_t note = 22; note <= 107; ++note) {
        if (isBlackKey(note))
            continue;
        whiteKeyControls[note - 21] = placed(*this, addPlayKeyboard(x, 78, whiteKeyImage(note), editorTag::key + note));
        x += 11;
    }
    whiteKeyControls[87] = placed(*this, addPlayKeyboard(x, 78, "keys-7-rightC", editorTag::key + 108));
    int32_t offset = 0;
    for (int32_t note = 22; note <= 107; ++note) {
        if (isBlackKey(note))
            blackKeyControls[note - 21] = placed(*this, addPlayKeyboard(158 + offset, 78, "keys-8-black", editorTag::key + note));
        offset += blackKeyAdvance(note);
    }

    // The keys name themselves.
    for (CControl *key : whiteKeyControls)
        named(key, "", above);
    for (CControl *key : blackKeyControls)
        named(key, "", above);

    pageControlRange[pageKeyboard].end = uint32_t(getControlCount());
}
