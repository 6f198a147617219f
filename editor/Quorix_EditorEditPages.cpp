// The melody (page 6) and drum-kit (page 7) edit pages, each starting with its own channel strip,
// and the drum page's cells: selection, hit LEDs and their brightness.
#include "editor/Quorix_Editor.h"

#include "editor/EditorText.h"

#include "banks/Wavetables.h"
#include "editor-framework/controls/vgcButtons.h"
#include "editor-framework/controls/vgcDisplays.h"
#include "editor-framework/controls/vgcEnvAR.h"
#include "editor-framework/controls/vgcKnobs.h"
#include "editor-framework/controls/vgcOptionMenu.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "editor/EditorBuild.h"
#include "effects/effectFactory.h"
#include "engine/EngineLimits.h"
#include "engine/ParameterIndex.h"
#include "engine/Quorix.h"
#include "engine/dsp/dspTables.h"
#include "gui/CFrame.h"

#include <cmath>
#include <cstdio>
#include <cstring>

using namespace qgui;
using namespace engine;
using editorbuild::placed;
using editorbuild::withValueLabel;

namespace {

constexpr float kLevelDefault = 0.70710683f;

int32_t scaled(float v, int32_t k) { return int32_t(std::lround(double(v) * k)); }

float switchValue(float v) { return v >= 0.5f ? 1.0f : 0.0f; }

void setValueOf(CControl *control, float v)
{
    if (control) {
        control->setValue(v);
        control->invalid();
    }
}

template <class T>
T *labelled(T *control)
{
    return withValueLabel(control, 2, 0, 0);
}

template <class T>
T *insetRight(T *control)
{
    if (control)
        control->setTextInsets(0, 0, 8, 0, true);
    return control;
}

void addEntries(vgcDropdownList *list, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        list->addEntry(name);
}

} // namespace

uint32_t Quorix_Editor::buildChannelStrip(int32_t mode)
{
    const int32_t m = mode == 1 ? 1 : 0;
    const uint32_t first = uint32_t(getControlCount());
    CControl **strip = editStripControls[m];

    vgcFader *level = placed(*this, addHorizontalFader(8, 419, "channel-level", "channel-level-handle", local::Volume, 2));
    withValueLabel(level, 2, -5, 0);
    level->setDefaultValue(kLevelDefault);
    addGridArea(m, local::Volume, 59, 12, 27, 9);
    strip[0] = level;
    vgcTextLabel *levelValue = placed(*this, addTextLabel(8, 428, 34, 9, "back-LCDinput", -1));
    levelValue->setHoriAlign(kRightText);
    strip[1] = levelValue;

    vgcFader *pan = placed(*this, addHorizontalFader(100, 419, "channel-pan", "channel-level-handle", local::Pan, 2));
    withValueLabel(pan, 2, -5, 0);
    addGridArea(m, local::Pan, 31, 12, 19, 9);
    strip[2] = pan;
    strip[3] = placed(*this, addTextLabel(100, 428, 27, 9, "back-LCDinput", -1));
    named(level, "LEVEL", above, 55, 0, -1);
    namedBy(levelValue, level);
    named(pan, "PAN", above, 28, 0, -1);
    namedBy(strip[3], pan);

    strip[4] = insetRight(placed(*this, addTextLabel(157, 419, 31, 9, "back-LCDinput", local::VoiceLimit)));
    addGridArea(m, local::VoiceLimit, 0, 12, 31, 9);
    strip[5] = withValueLabel(insetRight(placed(*this, addTextLabel(197, 419, 31, 9, "back-LCDinput", local::Transpose))), 2, -5, 0);
    addGridArea(m, local::Transpose, 0, 12, 31, 9);
    named(strip[4], "VOICES", above, 38, 0, -1);
    named(strip[5], "TRANSP", above, 38, 0, -1);

    vgcDropdownList *bus = insetRight(placed(*this, addDropdownList(237, 419, 31, 9, "back-LCDinput", local::OutputBus)));
    if (sharedFontSmall)
        bus->setFont(sharedFontSmall);
    addEntries(bus, {"main", "sub"});
    strip[6] = named(bus, "OUT", above, 31, 0, -1);

    for (int32_t k = 0; k < 2; ++k) {
        vgcAnimKnob *send = placed(*this, addAnimKnob(276 + 58 * k, 417, "knob2-small-left", local::ChorusSend + k, 228));
        withValueLabel(send, 2, -10, 0);
        addGridArea(m, local::ChorusSend + k, 22, 14, 32, 9);
        strip[7 + k] = send;
        vgcTextLabel *sendValue = placed(*this, addTextLabel(300 + 58 * k, 419, 27, 9, "back-LCDinput", -1));
        sendValue->setHoriAlign(kRightText);
        strip[9 + k] = named(sendValue, k == 0 ? "CHORUS" : "REVERB", above, 40, 2, -1);
        namedBy(send, sendValue);
    }
    groupTitle(pageMelodyEdit + m, 386, 74, 154, "INSERT EFFECTS");

    for (int32_t s = 0; s < 2; ++s) {
        const int32_t e = 11 + 8 * s;
        strip[e] = withValueLabel(placed(*this, addOnOffButton(386, 88 + 68 * s, s == 0 ? "button-IFX1" : "button-IFX2",
                                                               local::InsertOn + s)),
                                  2, -10, 0);
        vgcDropdownList *type = labelled(insetRight(placed(*this, addDropdownList(433, 89 + 68 * s, 105, 9, "back-LCDinput",
                                                                                  local::InsertType + s))));
        if (sharedFontSmall)
            type->setFont(sharedFontSmall);
        type->setNbItemsPerColumn(17);
        for (const char *name : insertEffectTypeNames)
            type->addEntry(name);
        strip[e + 1] = namedBy(type, strip[e]);
        named(strip[e], "");
        for (int32_t j = 0; j < 3; ++j) {
            strip[e + 2 + j] = labelled(placed(*this, addAnimKnob(404 + 47 * j, 107 + 68 * s, "knob1-big-left",
                                                                  local::InsertParams + 3 * s + j, 228)));
            vgcTextLabel *caption = placed(*this, addTextLabel(400 + 47 * j, 137 + 68 * s, 33, 9, "back-LCDinput", -1));
            caption->setFontAndStyle(sharedFontSmall, 0);
            // The caption shows the name of the effect's parameter.
            strip[e + 5 + j] = named(caption, "");
            namedBy(strip[e + 2 + j], caption);
        }
    }
    return first;
}

// An envelope display over its faders; it is drawn only and takes no clicks.
vgcEnvAR *Quorix_Editor::addEnvelopeDisplay(const char *background, const CRect &rect, CControl *first,
                                             CControl *second, bool release)
{
    auto *display = new vgcEnvAR(rect, findImage(background), dynamic_cast<CSlider *>(first),
                                 dynamic_cast<CSlider *>(second));
    display->setTag(-1);
    display->setMouseEnabled(false);
    display->setCurve(envelopeCurveTable, 256);
    if (release) {
        display->setLevel(1, 0.0f);
        display->setTailLine(false);
    }
    registerControl(display);
    return display;
}

void Quorix_Editor::buildEditPages()
{
    CControl **c = melodyControls;
    auto at = [&](int32_t local) -> CControl *& { return c[local - local::FirstInstrument]; };
    auto knob = [&](int32_t x, int32_t y, const char *image, int32_t local) {
        vgcAnimKnob *k = labelled(placed(*this, addAnimKnob(x, y, image, local, 228)));
        at(local) = k;
        return k;
    };
    auto area = [&](int32_t local, int32_t dx, int32_t dy, int32_t w, int32_t h) { addTaggedAreaC(local, dx, dy, w, h); };

    // Page 6: melody.
    pageControlRange[pageMelodyEdit].first = buildChannelStrip(0);

    const int32_t windowX[4] = {468, 508, 328, 368};
    for (int32_t k = 0; k < 4; ++k)
        at(local::KeyRangeLow + k) = insetRight(placed(*this, addTextLabel(windowX[k], 52, 30, 11, "back-LCDinput",
                                                                           local::KeyRangeLow + k)));
    vgcDropdownList *bend = insetRight(placed(*this, addDropdownList(235, 52, 22, 11, "back-LCDinput", local::PitchBendRange)));
    bend->setNbItemsPerColumn(12);
    for (int32_t n = 0; n <= 24; ++n) {
        char text[12];
        std::snprintf(text, sizeof text, "%d", int(n));
        bend->addEntry(text);
    }
    at(local::PitchBendRange) = named(bend, "BEND", above, 30);
    named(at(local::KeyRangeLow), "KEY RANGE", above, 70, 20, 0);
    namedBy(at(local::KeyRangeHigh), at(local::KeyRangeLow));
    named(at(local::VelocityRangeLow), "VEL RANGE", above, 70, 20, 0);
    namedBy(at(local::VelocityRangeHigh), at(local::VelocityRangeLow));

    knob(35, 371, "knob1-big-left", local::GlideTime)->setDefaultValue(0.0f);
    area(local::GlideTime, 32, 16, 32, 10);
    at(local::GlideAuto) = named(labelled(placed(*this, addOnOffButton(69, 369, "button-auto", local::GlideAuto))), "");
    named(at(local::GlideTime), "GLIDE", leftOf, 32);
    vgcDropdownList *lfoWave = labelled(placed(*this, addDropdownList(58, 88, 62, 11, "back-LCDinput", local::LfoWave)));
    lfoWave->setTextInsets(0, 0, 7, 0, true);
    if (sharedFontNormal)
        lfoWave->setFont(sharedFontNormal);
    addEntries(lfoWave, {"SIN hi-lo", "SIN lo-hi", "TRI hi-lo", "TRI lo-hi", "SAW up", "SAW down", "SQR hi-lo",
                         "SQR lo-hi", "RND glide", "RND hold"});
    at(local::LfoWave) = lfoWave;
    lfoIndicators[0] = placed(*this, addLevelMeter(24, 104, "back-LFOshow-1", -1));
    lfoIndicators[1] = placed(*this, addLevelMeter(24, 110, "back-LFOshow-2", -1));
    groupTitle(pageMelodyEdit, 24, 74, 96, "LFO");
    named(lfoWave, "WAVE", leftOf, 32);
    // The wave's output and the output after level, delay and attack: one name between the two bars.
    named(lfoIndicators[0], "OUT", rightOf, 30, 0, 3);
    namedBy(lfoIndicators[1], lfoIndicators[0]);
    at(local::LfoKeySync) = labelled(placed(*this, addOnOffButton(24, 202, "button-keysync", local::LfoKeySync)));
    at(local::LfoBpmSync) = labelled(placed(*this, addOnOffButton(78, 202, "button-BPMsync", local::LfoBpmSync)));
    knob(37, 160, "knob1-big-left", local::LfoRate)->setDefaultValue(0.36817f);
    area(local::LfoRate, -4, 27, 33, 9);
    knob(37, 122, "knob1-big-left", local::LfoLevel);
    area(local::LfoLevel, -4, 27, 33, 9);
    knob(84, 122, "knob1-big-left", local::LfoDelayTime)->setDefaultValue(0.0f);
    area(local::LfoDelayTime, -4, 27, 33, 9);
    knob(84, 160, "knob1-big-left", local::LfoAttackTime)->setDefaultValue(0.0f);
    area(local::LfoAttackTime, -4, 27, 33, 9);
    named(at(local::LfoKeySync), "");
    named(at(local::LfoBpmSync), "");
    named(at(local::LfoLevel), "LEVEL", below, 44);
    named(at(local::LfoDelayTime), "DELAY", below, 44);
    named(at(local::LfoRate), "RATE", below, 44);
    named(at(local::LfoAttackTime), "ATTACK", below, 44);

    for (int32_t k = 0; k < 2; ++k) {
        const int32_t y = 89 + 48 * k;
        vgcTextLabel *wave = placed(*this, addTextLabel(182, y - 1, 88, 11, "back-LCDinput", local::OscWave + k));
        wave->setFontAndStyle(sharedFontSmall, 0);
        wave->setHoriAlign(kLeftText);
        at(local::OscWave + k) = wave;
        groupTitle(pageMelodyEdit, 174, y - 14, 110, k == 0 ? "OSCILLATOR 1" : "OSCILLATOR 2");
        named(wave, "");
        namedBy(placed(*this, addKickButton(174, y, "back-arrow-left", editorTag::waveDown + k)), wave);
        namedBy(placed(*this, addKickButton(270, y, "back-arrow-right", editorTag::waveUp + k)), wave);
        at(local::OscSemitone + k) = withValueLabel(placed(*this, addTextLabel(217, y + 17, 24, 11, "back-LCDinput",
                                                                               local::OscSemitone + k)),
                                                    2, -5, 10);
        area(local::OscSemitone + k, -42, 0, 31, 12);
        named(at(local::OscSemitone + k), "SEMI", leftOf, 30, -10, 0);
        namedBy(placed(*this, addKickButton(209, y + 18, "back-arrow-left", editorTag::pitchDown + k)), at(local::OscSemitone + k));
        namedBy(placed(*this, addKickButton(241, y + 18, "back-arrow-right", editorTag::pitchUp + k)), at(local::OscSemitone + k));
        at(local::OscFinetone + k) = withValueLabel(placed(*this, addAnimKnob(290, y + 1, "knob1-big-center",
                                                                              local::OscFinetone + k, 228)),
                                                    2, -5, 10);
        area(local::OscFinetone + k, -32, 16, 31, 12);
        named(at(local::OscFinetone + k), "FINE", below, 36);
    }

    knob(335, 90, "knob1-big-center", local::OscMix);
    area(local::OscMix, -4, 27, 33, 9);
    knob(335, 138, "knob1-big-left", local::OscLfoAmount)->setDefaultValue(0.125f);
    area(local::OscLfoAmount, -4, -10, 33, 9);
    named(at(local::OscMix), "MIX", below, 30);
    named(at(local::OscLfoAmount), "LFO AMT", below, 44);
    vgcDropdownList *slope = insetRight(placed(*this, addDropdownList(157, 232, 30, 9, "back-LCDinput", local::FilterSlope)));
    withValueLabel(slope, 2, -50, 0);
    addEntries(slope, {" -12 ", " -24 "});
    at(local::FilterSlope) = named(slope, "SLOPE dB", leftOf, 46);
    knob(153, 192, "knob1-big-left", local::FilterCutoff)->setDefaultValue(1.0f);
    area(local::FilterCutoff, -4, 27, 33, 9);
    knob(197, 192, "knob1-big-left", local::FilterResonance)->setDefaultValue(0.0f);
    area(local::FilterResonance, -4, 27, 33, 9);
    knob(241, 192, "knob1-big-left", local::FilterMix)->setDefaultValue(0.0f);
    area(local::FilterMix, -4, 27, 33, 9);
    knob(285, 192, "knob1-big-center", local::FilterEnvAmount);
    area(local::FilterEnvAmount, -4, 27, 33, 9);
    knob(329, 192, "knob1-big-center", local::FilterKeyTracking);
    area(local::FilterKeyTracking, -4, 27, 33, 9);
    knob(329, 232, "knob1-big-left", local::FilterLfoAmount)->setDefaultValue(0.0f);
    area(local::FilterLfoAmount, -4, 27, 33, 9);
    groupTitle(pageMelodyEdit, 153, 178, 202, "FILTER");
    named(at(local::FilterCutoff), "CUTOFF", below, 44);
    named(at(local::FilterResonance), "RESO", below, 44);
    named(at(local::FilterMix), "MIX", below, 44);
    named(at(local::FilterEnvAmount), "ENV AMT", below, 44);
    named(at(local::FilterKeyTracking), "KEY TRK", below, 44);
    named(at(local::FilterLfoAmount), "LFO AMT", below, 44);

    // The two envelopes: A, D and R faders, a sustain fader, a display over attack and decay and one
    // over the release.
    struct EnvelopeRows {
        int32_t local, y, sustainY;
        CPoint labelOffset[4];
        bool relativeSustain;
        int32_t displayBase;
    };
    const EnvelopeRows envelopes[2] = {
        {local::FilterEnvelope, 292, 245, {{0, 0}, {0, 0}, {0, 0}, {0, 0}}, false, 0},
        {local::AmpEnvelope, 386, 339, {{-20, 5}, {-30, 5}, {0, 20}, {0, 5}}, true, 2},
    };
    for (int32_t e = 0; e < 2; ++e) {
        const EnvelopeRows &row = envelopes[e];
        auto offset = [&](int32_t i) { return row.labelOffset[i]; };
        vgcMultiFaderComponent *attack = placed(*this, addMultiFader(156, row.y, 32, 11, "env-1-a", row.local));
        withValueLabel(attack, 2, int32_t(offset(0).x), int32_t(offset(0).y))->setDefaultValue(0.0f);
        vgcMultiFaderComponent *decay = placed(*this, addMultiFader(188, row.y, 64, 11, "env-2-d", row.local + 1));
        withValueLabel(decay, 2, int32_t(offset(1).x), int32_t(offset(1).y))->setDefaultValue(1.0f);
        vgcFader *sustain = placed(*this, addVerticalFader(254, row.sustainY, "env-back-s", "env-3-s", row.local + 2, 2));
        withValueLabel(sustain, 2, int32_t(offset(2).x), int32_t(offset(2).y));
        if (row.relativeSustain)
            sustain->setMode(CSlider::kRelativeTouchMode);
        sustain->setDefaultValue(1.0f);
        vgcMultiFaderComponent *release = placed(*this, addMultiFader(265, row.y, 41, 11, "env-4-r", row.local + 3));
        withValueLabel(release, 2, int32_t(offset(3).x), int32_t(offset(3).y))->setDefaultValue(0.0f);
        at(row.local) = attack;
        at(row.local + 1) = decay;
        at(row.local + 2) = sustain;
        at(row.local + 3) = release;

        const int32_t top = row.sustainY, bottom = row.sustainY + 59;
        melodyEnvelopeDisplays[row.displayBase] =
            addEnvelopeDisplay("env-back-melody", CRect(156, top, 254, bottom), attack, decay, false);
        melodyEnvelopeDisplays[row.displayBase + 1] =
            addEnvelopeDisplay("env-back-melody", CRect(265, top, 307, bottom), nullptr, release, true);
        if (e == 1)
            groupTitle(pageMelodyEdit, 156, 316, 151, "AMP ENVELOPE");
        // The stages are named at their faders' columns: the filter envelope's under it, the amplifier's
        // over it (the channel strip's names are under it).
        vgcEnvAR *attackDecay = melodyEnvelopeDisplays[row.displayBase];
        vgcEnvAR *releaseDisplay = melodyEnvelopeDisplays[row.displayBase + 1];
        const LegendSide side = e == 0 ? below : above;
        named(attackDecay, "A", side, 32, -33, 0);
        named(attackDecay, "D", side, 64, 15, 0);
        named(sustain, "S", side, 8);
        named(releaseDisplay, "R", side, 42);
        namedBy(attack, attackDecay);
        namedBy(decay, attackDecay);
        namedBy(release, releaseDisplay);
        if (e == 0) {
            named(knob(329, 272, "knob1-big-left", local::FilterEnvVelocityAmount), "ENV VEL", below, 44);
            area(local::FilterEnvVelocityAmount, -4, 27, 33, 9);
        }
    }

    knob(329, 366, "knob1-big-left", local::AmpEnvVelocityAmount)->setDefaultValue(0.9f);
    area(local::AmpEnvVelocityAmount, -4, 27, 33, 9);
    named(at(local::AmpEnvVelocityAmount), "VEL AMT", below, 44);
    at(local::ArpOn) = labelled(placed(*this, addOnOffButton(24, 238, "button-arpON", local::ArpOn)));
    at(local::ArpKeySync) = labelled(placed(*this, addOnOffButton(24, 256, "button-keysync", local::ArpKeySync)));
    knob(87, 246, "knob1-big-left", local::ArpGateTime);
    area(local::ArpGateTime, -4, 27, 33, 9);
    at(local::ArpLatch) = labelled(placed(*this, addOnOffButton(24, 274, "button-latch", local::ArpLatch)));
    vgcDropdownList *pattern = labelled(placed(*this, addDropdownList(58, 292, 62, 11, "back-LCDinput", local::ArpPattern)));
    pattern->setTextInsets(0, -1, 8, 0, true);
    if (sharedFontSmall)
        pattern->setFont(sharedFontSmall);
    addEntries(pattern, {"Up", "Down", "Up-Down", "Up-Down 2", "Down-Up", "Down-Up 2", "As Played", "Random"});
    area(local::ArpPattern, -33, 0, 31, 12);
    at(local::ArpPattern) = pattern;
    vgcDropdownList *rate = labelled(insetRight(placed(*this, addDropdownList(58, 310, 62, 11, "back-LCDinput", local::ArpRate))));
    rate->setNbItemsPerColumn(6);
    addEntries(rate, {"1/1D", "1/2D", "1/4D", "1/8D", "1/16D", "1/32D", "1/1", "1/2", "1/4", "1/8", "1/16", "1/32",
                      "1/1T", "1/2T", "1/4T", "1/8T", "1/16T", "1/32T"});
    area(local::ArpRate, -33, 0, 31, 12);
    at(local::ArpRate) = rate;
    vgcDropdownList *octave = labelled(insetRight(placed(*this, addDropdownList(58, 328, 62, 11, "back-LCDinput", local::ArpOctave))));
    addEntries(octave, {"1", "2", "3", "4", "5", "6"});
    area(local::ArpOctave, -33, 0, 31, 12);
    at(local::ArpOctave) = octave;
    groupTitle(pageMelodyEdit, 24, 224, 84, "ARPEGGIATOR");
    for (int32_t l : {local::ArpOn, local::ArpKeySync, local::ArpLatch})
        named(at(l), "");
    named(at(local::ArpGateTime), "GATE", below, 40);
    named(pattern, "PATTERN", leftOf, 44);
    named(rate, "RATE", leftOf, 44);
    named(octave, "OCTAVE", leftOf, 44);

    pageControlRange[pageMelodyEdit].end = uint32_t(getControlCount());

    // Page 7: drum kit.
    pageControlRange[pageDrumEdit].first = buildChannelStrip(1);

    for (int32_t i = 0; i < drumSlotCount; ++i) {
        const int32_t column = i / 24, row = i % 24, x = 26 + 55 * column;
        const int32_t pitchClass = i % 12;
        const bool black = pitchClass == 1 || pitchClass == 3 || pitchClass == 6 || pitchClass == 8 || pitchClass == 10;
        vgcPlayOnOffButton *cell =
            placed(*this, addPlayOnOffButton(x, 392 - 14 * row, black ? "cell-drum-black" : "cell-drum-white",
                                             editorTag::drumSlot + i));
        cell->setTransparency(true);
        drumSelectionLeds[i] = cell;
        vgcOnOffSwitch *led = placed(*this, addOnOffSwitch(x + 3, 394 - 14 * row, "cell-drum-LED", -1));
        led->setMouseEnabled(false);
        drumHitLeds[i] = led;
        namedBy(led, cell);
        if (i == 23)
            named(cell, "KIT KEYS", above, 52);
    }
    // The first column is named by its top cell, every other cell by the cell left of it in its row.
    for (int32_t i = 0; i < drumSlotCount; ++i)
        if (i != 23)
            namedBy(drumSelectionLeds[i], drumSelectionLeds[i < 24 ? 23 : i - 24]);

    CControl **d = drumKeyControls;
    auto key = [&](int32_t local) -> CControl *& { return d[local - local::DrumWave]; };
    auto areaD = [&](int32_t local, int32_t dx, int32_t dy, int32_t w, int32_t h) { addTaggedAreaD(local, dx, dy, w, h); };
    auto drumKnob = [&](int32_t x, int32_t y, const char *image, int32_t local) {
        vgcAnimKnob *k = labelled(placed(*this, addAnimKnob(x, y, image, local, 228)));
        key(local) = k;
        return k;
    };

    drumKitControls[2] = labelled(placed(*this, addOnOffButton(137, 150, "button-MIDIsel", local::KitMidiSelect)));
    drumKitControls[0] = insetRight(placed(*this, addTextLabel(468, 52, 30, 11, "back-LCDinput", local::KitKeyRangeLow)));
    drumKitControls[1] = insetRight(placed(*this, addTextLabel(508, 52, 30, 11, "back-LCDinput", local::KitKeyRangeHigh)));
    vgcTextLabel *wave = placed(*this, addTextLabel(260, 156, 88, 11, "back-LCDinput", local::DrumWave));
    wave->setFontAndStyle(sharedFontSmall, 0);
    wave->setHoriAlign(kLeftText);
    key(local::DrumWave) = named(wave, "");
    groupTitle(pageDrumEdit, 252, 142, 104, "WAVE");
    namedBy(placed(*this, addKickButton(252, 157, "back-arrow-left", editorTag::drumWaveDown)), wave);
    namedBy(placed(*this, addKickButton(348, 157, "back-arrow-right", editorTag::drumWaveUp)), wave);
    named(drumKitControls[2], "");
    named(drumKitControls[0], "KEY RANGE", above, 70, 20, 0);
    namedBy(drumKitControls[1], drumKitControls[0]);
    key(local::DrumReverse) = labelled(placed(*this, addOnOffButton(217, 192, "button-reverse", local::DrumReverse)));
    key(local::DrumSemitone) =
        withValueLabel(placed(*this, addTextLabel(260, 174, 24, 11, "back-LCDinput", local::DrumSemitone)), 2, -5, 10);
    areaD(local::DrumSemitone, -42, 0, 31, 12);
    named(key(local::DrumReverse), "");
    named(key(local::DrumSemitone), "SEMI", leftOf, 40, -10, 0);
    namedBy(placed(*this, addKickButton(252, 175, "back-arrow-left", editorTag::drumPitchDown)), key(local::DrumSemitone));
    namedBy(placed(*this, addKickButton(284, 175, "back-arrow-right", editorTag::drumPitchUp)), key(local::DrumSemitone));
    key(local::DrumFinetone) =
        withValueLabel(placed(*this, addAnimKnob(330, 176, "knob1-big-center", local::DrumFinetone, 228)), 2, -5, 10);
    areaD(local::DrumFinetone, -30, -2, 31, 12);
    named(key(local::DrumFinetone), "FINE", below, 30);
    drumKnob(227, 231, "knob1-big-left", local::DrumFilterCutoff)->setDefaultValue(1.0f);
    areaD(local::DrumFilterCutoff, -4, 27, 33, 9);
    drumKnob(274, 231, "knob1-big-left", local::DrumFilterResonance)->setDefaultValue(0.0f);
    areaD(local::DrumFilterResonance, -4, 27, 33, 9);
    drumKnob(321, 231, "knob1-big-left", local::DrumFilterVelocityAmount)->setDefaultValue(0.0f);
    areaD(local::DrumFilterVelocityAmount, -4, 27, 33, 9);
    drumKnob(227, 295, "knob1-big-left", local::DrumVolume)->setDefaultValue(kLevelDefault);
    areaD(local::DrumVolume, -4, 27, 33, 9);
    drumKnob(274, 295, "knob1-big-left", local::DrumPan);
    areaD(local::DrumPan, -4, 27, 33, 9);
    vgcMultiFaderComponent *attack = placed(*this, addMultiFader(222, 382, 44, 11, "env-1-a", local::DrumAttack));
    withValueLabel(attack, 2, -35, 13)->setDefaultValue(0.0f);
    key(local::DrumAttack) = attack;
    vgcMultiFaderComponent *release = placed(*this, addMultiFader(266, 382, 85, 7, "env-4-r", local::DrumRelease));
    withValueLabel(release, 2, -10, 13)->setDefaultValue(0.0f);
    key(local::DrumRelease) = release;
    drumEnvelopeDisplay = addEnvelopeDisplay("env-back-drum", CRect(222, 349, 352, 394), attack, release, true);
    namedBy(drumEnvelopeDisplay, attack);
    // Named under the envelope display the two faders sit in.
    named(attack, "ATTACK", below, 40, -2, int32_t(395 - attack->getViewSize().bottom - 1));
    named(release, "RELEASE", below, 50, 20, int32_t(395 - release->getViewSize().bottom - 1));
    key(local::DrumHold) =
        withValueLabel(placed(*this, addOnOffButton(221, 334, "button-hold", local::DrumHold)), 2, -65, 0);
    drumKnob(321, 295, "knob1-big-left", local::DrumAmpEnvVelocityAmount)->setDefaultValue(0.95f);
    areaD(local::DrumAmpEnvVelocityAmount, -4, 27, 33, 9);
    named(key(local::DrumHold), "");
    groupTitle(pageDrumEdit, 222, 217, 134, "FILTER");
    named(key(local::DrumFilterCutoff), "CUTOFF", below, 44);
    named(key(local::DrumFilterResonance), "RESO", below, 44);
    named(key(local::DrumFilterVelocityAmount), "VEL AMT", below, 44);
    groupTitle(pageDrumEdit, 222, 281, 134, "AMP");
    named(key(local::DrumVolume), "VOLUME", below, 44);
    named(key(local::DrumPan), "PAN", below, 44);
    named(key(local::DrumAmpEnvVelocityAmount), "VEL AMT", below, 44);
    muteGroupButtons[0] = placed(*this, addOnOffButton(150, 102, "button-groupA", editorTag::muteGroup));
    muteGroupButtons[1] = placed(*this, addOnOffButton(150, 120, "button-groupB", editorTag::muteGroup + 1));
    toIfxButtons[0] = placed(*this, addOnOffButton(321, 102, "button-toIFX1", editorTag::toInsertEffect));
    toIfxButtons[1] = placed(*this, addOnOffButton(321, 120, "button-toIFX2", editorTag::toInsertEffect + 1));
    vgcAnimKnob *chorus = drumKnob(211, 104, "knob1-big-left", local::DrumChorusSend);
    areaD(local::DrumChorusSend, 26, -1, 32, 10);
    drumKnob(279, 104, "knob1-big-left", local::DrumReverbSend);
    areaD(local::DrumReverbSend, -32, 17, 32, 10);
    chorus->setDefaultValue(0.0f);
    for (CControl *button : {muteGroupButtons[0], muteGroupButtons[1], toIfxButtons[0], toIfxButtons[1]})
        named(button, "");
    named(chorus, "CHORUS", below, 44);
    named(key(local::DrumReverbSend), "REVERB", below, 44);

    pageControlRange[pageDrumEdit].end = uint32_t(getControlCount());
}

void Quorix_Editor::setWaveLabel(CControl *label, const WaveLocation &location)
{
    const char *name = "";
    char text[banks::kNameSize + 1] = {};
    if (location.index > 0 && location.category >= 0 && location.category < banks::kBankNumberCount &&
        wavetableCategories) {
        const int32_t c = wavetableCategoryIndex[location.category];
        if (c >= 0 && c < numWavetableCategories && location.index - 1 < wavetableCategories[c].count &&
            wavetableCategories[c].wavetables) {
            std::memcpy(text, wavetableCategories[c].wavetables[location.index - 1].name, banks::kNameSize);
            name = text;
        }
    }
    setLabelText(label, name);
}

void Quorix_Editor::updateEditPages(int32_t tag, TagCategory category, int32_t base, float v)
{
    const int32_t mode = engine->getChannelMode(currentChannel) == 1 ? 1 : 0;
    CControl **strip = editStripControls[mode];
    char text[64];

    if (category == tagChannelSetting) {
        switch (base) {
        case local::Mode:
            if (mode != shownEditMode) {
                hidePage(mode == 1 ? pageMelodyEdit : pageDrumEdit);
                showEditPage(false);
            }
            break;
        case local::Volume:
        case local::Pan:
            setValueOf(strip[2 * (base - local::Volume)], v);
            setDisplayText(strip[2 * (base - local::Volume) + 1], tag);
            break;
        case local::VoiceLimit:
            editortext::voices(text, sizeof text, v);
            setLabelText(strip[4], text);
            break;
        case local::Transpose:
            editortext::transpose(text, sizeof text, v);
            setLabelText(strip[5], text);
            break;
        case local::OutputBus:
            setValueOf(strip[6], v);
            break;
        case local::ChorusSend:
        case local::ReverbSend:
            setValueOf(strip[7 + base - local::ChorusSend], v);
            setDisplayText(strip[9 + base - local::ChorusSend], tag);
            break;
        case local::InsertOn:
        case local::InsertOn + 1:
            setValueOf(strip[11 + 8 * (base - local::InsertOn)], switchValue(v));
            break;
        case local::InsertType:
        case local::InsertType + 1: {
            const int32_t s = base - local::InsertType;
            int32_t type = engine->getInsertEffectType(currentChannel, s);
            if (type < 0 || type >= kInsertEffectTypeCount)
                type = 0;
            setValueOf(strip[12 + 8 * s], float(type) / 33.0f);
            for (int32_t j = 0; j < 3; ++j)
                setLabelText(strip[16 + 8 * s + j], insertEffectParameterNames[type][j]);
            break;
        }
        default:
            if (base >= local::InsertParams && base < local::InsertParams + 6) {
                const int32_t s = (base - local::InsertParams) / 3, j = (base - local::InsertParams) % 3;
                setValueOf(strip[13 + 8 * s + j], v);
            }
            break;
        }
        return;
    }
    if (category == tagSequencerSetting) {
        if (base == local::SeqOn) {
            const CColor colour = vgcSkinColor(v >= 0.5f ? skinFontDisabled : skinFontDefault);
            for (int32_t local : {local::ArpPattern, local::ArpRate, local::ArpOctave})
                if (auto *list = dynamic_cast<CParamDisplay *>(melodyControls[local - local::FirstInstrument]))
                    editorbuild::setTextColour(list, colour);
        }
        return;
    }
    if (category != tagInstrument)
        return;

    if (mode == 0) {
        if (base > local::LastMelody)
            return;
        CControl *control = melodyControls[base - local::FirstInstrument];
        switch (base) {
        case local::KeyRangeLow:
        case local::KeyRangeHigh:
            editortext::note(text, sizeof text, scaled(v, 127));
            setLabelText(control, text);
            return;
        case local::VelocityRangeLow:
        case local::VelocityRangeHigh:
            std::snprintf(text, sizeof text, "%d", int(scaled(v, 127)));
            setLabelText(control, text);
            return;
        case local::GlideAuto:
        case local::LfoKeySync:
        case local::LfoBpmSync:
        case local::ArpOn:
        case local::ArpKeySync:
        case local::ArpLatch:
            setValueOf(control, switchValue(v));
            return;
        case local::OscWave:
        case local::OscWave + 1: {
            WaveLocation location{};
            engine->getOscillatorWave(currentChannel, base - local::OscWave, &location);
            setWaveLabel(control, location);
            return;
        }
        case local::OscSemitone:
        case local::OscSemitone + 1:
            editortext::transpose(text, sizeof text, v);
            setLabelText(control, text);
            return;
        default:
            break;
        }
        setValueOf(control, v);
        for (int32_t e = 0; e < 2; ++e) {
            const int32_t first = e == 0 ? local::FilterEnvelope : local::AmpEnvelope;
            vgcEnvAR *attackDecay = melodyEnvelopeDisplays[2 * e], *release = melodyEnvelopeDisplays[2 * e + 1];
            if (!attackDecay || !release || base < first || base > first + 3)
                continue;
            if (base == first || base == first + 1) {
                attackDecay->setTimePoint(base - first, v);
            } else if (base == first + 2) {
                attackDecay->setLevel(1, v);
                release->setLevel(0, v);
            } else {
                release->setTimePoint(1, v);
            }
            attackDecay->invalid();
            release->invalid();
        }
        return;
    }

    if (base >= local::KitKeyRangeLow) {
        CControl *control = drumKitControls[base - local::KitKeyRangeLow];
        if (base == local::KitMidiSelect) {
            setValueOf(control, v);
        } else {
            editortext::note(text, sizeof text, scaled(v, 127));
            setLabelText(control, text);
        }
        return;
    }
    const int32_t slot = (base - local::FirstInstrument) / 17;
    if (slot != engine->getSelectedDrumSlot(currentChannel))
        return;
    const int32_t keyLocal = local::DrumWave + (base - local::FirstInstrument) % 17;
    CControl *control = drumKeyControls[keyLocal - local::DrumWave];
    switch (keyLocal) {
    case local::DrumWave: {
        WaveLocation location{};
        engine->getDrumKeyWave(currentChannel, slot, &location);
        setWaveLabel(control, location);
        break;
    }
    case local::DrumSemitone:
        editortext::transpose(text, sizeof text, v);
        setLabelText(control, text);
        break;
    case local::DrumAttack:
    case local::DrumRelease:
        setValueOf(control, v);
        if (drumEnvelopeDisplay) {
            drumEnvelopeDisplay->setTimePoint(keyLocal - local::DrumAttack, v);
            drumEnvelopeDisplay->invalid();
        }
        break;
    case local::DrumHold:
    case local::DrumReverse:
        setValueOf(control, switchValue(v));
        break;
    case local::DrumMuteGroup:
    case local::DrumInsertBus: {
        CControl **pair = keyLocal == local::DrumMuteGroup ? muteGroupButtons : toIfxButtons;
        const int32_t n = scaled(v, 2);
        for (int32_t k = 0; k < 2; ++k)
            setValueOf(pair[k], n == k + 1 ? 1.0f : 0.0f);
        if (keyLocal == local::DrumMuteGroup)
            refreshDrumLeds(-1);
        break;
    }
    default:
        setValueOf(control, v);
        break;
    }
}

void Quorix_Editor::showLfoLevel(int32_t index, float v)
{
    if (index >= 0 && index < 2 && pageShown[pageMelodyEdit])
        setValueOf(lfoIndicators[index], v);
}

void Quorix_Editor::drumSlotHit(int32_t channel, int32_t slot, bool on)
{
    if (channel < 0 || channel >= channelCount || slot < 0 || slot >= drumSlotCount)
        return;
    {
        podoSyncCriticalBlock block(&editorLock);
        if (on) {
            drumLedTimers[channel][slot] = 0.099f;
            ++drumHitCounts[channel][slot];
        } else {
            --drumHitCounts[channel][slot];
        }
    }
    if (channel != currentChannel)
        return;
    if (on && engine->getDrumMidiSelect(channel))
        selectDrumSlot(slot, false, 0.0f);
    refreshDrumLeds(slot);
}

void Quorix_Editor::selectDrumSlot(int32_t slot, bool audition, float v)
{
    if (slot < 0 || slot >= drumSlotCount)
        return;
    const int32_t channel = currentChannel;
    if (frame && editorOpen) {
        const int32_t previous = engine->getSelectedDrumSlot(channel);
        if (previous >= 0 && previous < drumSlotCount)
            setValueOf(drumSelectionLeds[previous], 0.0f);
        setValueOf(drumSelectionLeds[slot], 1.0f);
    }
    engine->setSelectedDrumSlot(channel, slot);
    if (pageShown[pageDrumEdit]) {
        lcdEnabled = false;
        engine->applyDrumSlots(slot, false);
        clearLcd();
        lcdEnabled = true;
        refreshDrumLeds(-1);
        refreshAssignmentOverlay(true);
    }
    if (!audition || v < 0.0f)
        return;
    const int32_t key = slot + 24 - engine->getChannelTranspose(channel);
    if (v > 0.0f)
        engine->noteOn(channel, channel, key, int32_t(v * 112.0f + 0.5f) + 15, 0, 0, 0, -1);
    else
        engine->noteOff(channel, channel, key, 1);
}

void Quorix_Editor::clearDrumSlotSelection()
{
    for (CControl *cell : drumSelectionLeds)
        setValueOf(cell, 0.0f);
}

void Quorix_Editor::refreshDrumLeds(int32_t slot)
{
    if (slot >= drumSlotCount)
        return;
    const int32_t channel = currentChannel;
    const int32_t selectedGroup = engine->getDrumKeyMuteGroup(channel, engine->getSelectedDrumSlot(channel));
    const int32_t first = slot < 0 ? 0 : slot, last = slot < 0 ? drumSlotCount - 1 : slot;
    for (int32_t s = first; s <= last; ++s) {
        float timer;
        int32_t hits;
        {
            podoSyncCriticalBlock block(&editorLock);
            timer = drumLedTimers[channel][s];
            hits = drumHitCounts[channel][s];
        }
        float brightness = 0.0f;
        if (timer > 0.0f)
            brightness = 1.0f;
        else if (hits > 0)
            brightness = 0.67f;
        else if (selectedGroup != 0 && engine->getDrumKeyMuteGroup(channel, s) == selectedGroup)
            brightness = 0.33f;
        setValueOf(drumHitLeds[s], brightness);
    }
}

void Quorix_Editor::clearNoteDisplays(int32_t channel)
{
    {
        podoSyncCriticalBlock block(&editorLock);
        for (int32_t c = 0; c < channelCount; ++c) {
            if (channel >= 0 && c != channel)
                continue;
            for (int32_t s = 0; s < drumSlotCount; ++s) {
                drumHitCounts[c][s] = 0;
                drumLedTimers[c][s] = 0.0f;
            }
        }
    }
    for (CControl *led : drumHitLeds)
        setValueOf(led, 0.0f);
}

void Quorix_Editor::showInsertEffectsEnabled(bool on)
{
    const int32_t mode = engine->getChannelMode(currentChannel) == 1 ? 1 : 0;
    const CColor colour = vgcSkinColor(on ? skinFontDefault : skinFontDisabled);
    for (int32_t s = 0; s < 2; ++s) {
        if (auto *list = dynamic_cast<CParamDisplay *>(editStripControls[mode][12 + 8 * s]))
            editorbuild::setTextColour(list, colour);
        for (int32_t j = 0; j < 3; ++j)
            if (auto *caption = dynamic_cast<vgcTextLabel *>(editStripControls[mode][16 + 8 * s + j]))
                caption->setPartColor(colour, 0);
    }
}
