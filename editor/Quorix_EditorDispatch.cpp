// Control to engine: every value change of a control, with its tag made the parameter of the
// current channel, or the command or menu of an editor tag.
#include "editor/Quorix_Editor.h"

#include "editor-framework/controls/vgcTextLabel.h"
#include "engine/ParameterIndex.h"
#include "engine/Quorix.h"
#include "foundation/podoShell.h"
#include "foundation/podoWnd.h"
#include "gui/CFrame.h"
#include "gui/CTextEdit.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

using namespace qgui;
using namespace engine;

namespace {

constexpr const char *errorCaption = "Kestrane Quorix";
constexpr int32_t channelSpan = kChannelParameterCount;

// A text field's text, cut at 23 characters.
std::string fieldText(CControl *control)
{
    auto *field = dynamic_cast<CTextLabel *>(control);
    std::string text = field ? field->getText() : std::string();
    if (text.size() > 23)
        text.resize(23);
    return text;
}

// A non-zero text-entry request of a text field is in progress (a paste or a key query).
bool isTextEntryRequest(CControl *control)
{
    uint32_t size = 0;
    if (!control->getAttributeSize(kTextEntryVetoAttribute, size) || size < 1 || size > 4)
        return false;
    uint8_t bytes[4] = {0, 0, 0, 0};
    uint32_t got = 0;
    control->getAttribute(kTextEntryVetoAttribute, sizeof bytes, bytes, got);
    return (bytes[0] | bytes[1] | bytes[2] | bytes[3]) != 0;
}

float roundHalfAway(float v) { return std::round(v); }

} // namespace

TagCategory Quorix_Editor::resolveTagParameter(int32_t &tag, int32_t *channelOut, int32_t *localOut,
                                               int32_t *kindOut, int32_t *slotOut, int32_t *laneOut,
                                               int32_t *stepOut)
{
    int32_t index = 0, base = 0;
    const TagCategory category = decodeTag(tag, &index, &base);
    int32_t channel = index, local = base, kind = 0, slot = 0, lane = 0, step = 0;
    switch (category) {
    case tagChannelSetting:
        if (local >= local::InsertOn && local <= local::LastChannelSetting) {
            channel = currentChannel;
            tag += currentChannel * channelSpan;
        }
        break;
    case tagSequencerSetting:
        channel = currentChannel;
        tag += currentChannel * channelSpan;
        break;
    case tagLane: {
        channel = currentChannel;
        tag += currentChannel * channelSpan;
        int32_t baseLocal = local;
        kind = engine->decodeSequencerParameter(local, &lane, &step, &baseLocal);
        if (baseLocal == local::StepNote || baseLocal == local::StepVolume) {
            const int32_t part = engine->getSeqPart(channel);
            step += 16 * part;
            tag += 32 * part;
        }
        if (kind != kindNone)
            local = baseLocal;
        break;
    }
    case tagInstrument: {
        channel = currentChannel;
        const int32_t mode = engine->getChannelMode(channel);
        if (mode == 0) {
            tag += channel * channelSpan;
        } else if (mode == 1) {
            tag += channel * channelSpan;
            int32_t key = 0, baseLocal = local;
            kind = engine->decodeDrumParameter(local, &key, &baseLocal);
            if (kind == kindDrumKey) {
                slot = engine->getSelectedDrumSlot(channel);
                tag += 17 * slot;
                local = baseLocal;
            }
        }
        break;
    }
    default:
        break;
    }
    if (channelOut)
        *channelOut = channel;
    if (localOut)
        *localOut = local;
    if (kindOut)
        *kindOut = kind;
    if (slotOut)
        *slotOut = slot;
    if (laneOut)
        *laneOut = lane;
    if (stepOut)
        *stepOut = step;
    return category;
}

void Quorix_Editor::preValueChanged(CControl *control, int32_t &tag, float &value)
{
    int32_t channel = 0, local = 0, kind = 0, slot = 0, lane = 0, step = 0;
    int32_t t = tag;
    const TagCategory category = resolveTagParameter(t, &channel, &local, &kind, &slot, &lane, &step);
    float v = value;
    bool dispatch = true;

    if (v < 0.0f) {
        // Right button: the menus of the control; the control keeps its own value.
        v = -1.0f - v;
        control->setValue(v);
        if (t <= editorTag::nextPatch) {
            CRect r;
            CView *parent = control->getParentView();
            const CPoint origin = parent && parent != frame ? parent->getViewSize().getTopLeft() : CPoint();
            scaleRect(r, control, int32_t(origin.x), int32_t(origin.y));
            showMidiLearnMenu(t, int32_t(r.left), int32_t(r.bottom));
        }
        if (category == tagChannelSetting && local == local::On) {
            if (showChannelMenu(channel))
                v = engine->getParameterValue(parameterIndex(channel, local::On));
        } else if (category == tagBrowserList && local == editorTag::entryRow) {
            selectBrowserEntry(channel, -1, false, false);
            showColorMenu(browserEntry);
        } else if (t == editorTag::background) {
            CPoint at;
            getMousePosition(at);
            CRect r(at.x, at.y, at.x, at.y);
            r.offset(rect.left, rect.top);
            r.scale(zoomFactor);
            at = r.getTopLeft();
            showZoomMenu(&at);
        } else if (category == tagChannelGroup && local == editorTag::channelName) {
            showProgramMenu(channel);
        } else if (t >= editorTag::drumSlot && t < editorTag::drumSlot + drumSlotCount) {
            const int32_t s = t - editorTag::drumSlot;
            selectDrumSlot(s, true, -1.0f);
            showDrumSlotMenu(control, s);
        }
        dispatch = false;
    } else if (v == 3.0f || (v >= controlSignal::doubleClick && v <= 6.0f)) {
        // Area click or double click: text entry of the parameter in the LCD.
        if (anyPageShown({pageMixer, pageMelodyEdit, pageDrumEdit})) {
            const bool ignored = category >= tagSpecial ||
                                 (category == tagChannelSetting && local >= local::InsertParams &&
                                  local <= local::LastChannelSetting);
            if (!ignored) {
                updateControlByTag(t, engine->getParameterValue(t));
                if (frame && lcdValueField)
                    frame->setFocusView(lcdValueField);
            }
        }
        dispatch = category == tagBrowserList && local == editorTag::entryRow;
    } else if (v > 6.0f && v < controlSignal::drop) {
        // The wheel: a step of the parameter, kept within 0..1; the control then shows the result.
        const float stepSize = v - controlSignal::wheel;
        if (t >= 0 && t <= kLastParameterIndex && category != tagEditor) {
            const float next = std::clamp(engine->getParameterValue(t) + stepSize, 0.0f, 1.0f);
            engine->setParameterValueAutomated(t, next);
            v = next + 7.0f;
        } else {
            v = control->getOldValue() + 7.0f;
        }
        dispatch = false;
    } else if (v >= controlSignal::drop && v < controlSignal::textEntry) {
        dispatch = false; // drops are the pages' business
    }

    // A text field asking before a paste or about its length is no value change.
    const bool request = dispatch && isTextEntryRequest(control);
    if (dispatch && !request) {
        switch (category) {
        case tagMaster:
            if (t == master::Tune) {
                if (v == controlSignal::textEntry) {
                    double f = std::strtod(fieldText(masterTuneField).c_str(), nullptr);
                    if (!(f > 0.0)) {
                        engine->setParameterValue(master::Tune, engine->getParameterValue(master::Tune));
                    } else {
                        f = std::clamp(f, 415.3, 466.2);
                        double x = 0.5;
                        if (f < 440.0)
                            x = 0.5 - 0.5 * 12.0 * std::log2(440.0 / f);
                        else if (f > 440.0)
                            x = 0.5 + 0.5 * 12.0 * std::log2(f / 440.0);
                        engine->setParameterValue(master::Tune, float(std::clamp(x, 0.0, 1.0)));
                    }
                }
            } else if (t == master::Transpose) {
                showTransposeMenuB(masterTransposeLabel, t);
            } else if (t == master::VoiceLimit) {
                showCountMenu(masterVoiceLimitLabel, t);
            } else {
                engine->setParameterValueAutomated(t, v);
            }
            break;
        case tagChannelSetting: {
            const bool editShown = anyPageShown({pageMelodyEdit, pageDrumEdit});
            if (local == local::Mode) {
                engine->setParameterValueAutomated(parameterIndex(channel, local::SeqOn), v >= 0.5f ? 1.0f : 0.0f);
            } else if (local == local::VoiceLimit) {
                showVoiceModeMenu(editShown ? control : channelControls[channel][voiceLimitText], t, channel);
            } else if (local == local::Transpose) {
                showTransposeMenuB(editShown ? control : channelControls[channel][transposeText], t);
            } else if (local == local::InsertType || local == local::InsertType + 1) {
                const int32_t onIndex = parameterIndex(channel, local::InsertOn + local - local::InsertType);
                engine->setParameterValueAutomated(onIndex, v == 0.0f ? 0.0f : 1.0f);
                engine->setParameterValueAutomated(t, roundHalfAway(v * 33.0f) / 33.0f);
            } else {
                engine->setParameterValueAutomated(t, v);
            }
            break;
        }
        case tagSequencerSetting:
            if (local == local::SeqLength)
                showStepCountMenu(control, t);
            else if (local == local::SeqRootPitch)
                showSequencerNoteMenu(control, t);
            else
                engine->setParameterValueAutomated(t, v);
            break;
        case tagLane:
            if (kind == kindStep && local == local::StepNote) {
                const int32_t current = engine->getStepNote(channel, lane, step);
                int32_t next;
                if (v == 0.0f)
                    next = showStepMenu(control, t);
                else if (current >= 49 && current <= 52)
                    next = 0;
                else
                    next = v > 0.75f ? current + 1 : current - 1;
                if (next >= -48 && next <= 52) {
                    engine->setParameterValueAutomated(t, float(next + 48) * 0.01f);
                    if (current == 52 && next != 52)
                        engine->setParameterValueAutomated(t + 1, 1.0f);
                    else if (next == 52 && current != 52)
                        engine->setParameterValueAutomated(t + 1, 0.0f);
                }
            } else if (kind == kindStep && local == local::StepVolume) {
                if (engine->getStepNote(channel, lane, step) == 52)
                    engine->setParameterValueAutomated(t - 1, 0.48f);
                engine->setParameterValueAutomated(t, v);
            } else if (kind == kindLane && local == local::LaneBase) {
                showLaneBaseMenu(control, t);
            } else {
                engine->setParameterValueAutomated(t, v);
            }
            break;
        case tagInstrument: {
            const int32_t mode = engine->getChannelMode(channel);
            if (mode == 0 && (local == local::KeyRangeLow || local == local::KeyRangeHigh))
                showNoteMenu(control, t);
            else if (mode == 0 && (local == local::VelocityRangeLow || local == local::VelocityRangeHigh))
                showValueMenu(control, t);
            else if (mode == 0 && (local == local::OscWave || local == local::OscWave + 1))
                showWaveMenu(local - local::OscWave);
            else if (mode == 0 && (local == local::OscSemitone || local == local::OscSemitone + 1))
                showTransposeMenu(control, t);
            else if (mode == 1 && kind == kindDrumKey && local == local::DrumWave)
                showWaveMenu(slot);
            else if (mode == 1 && kind == kindDrumKey && local == local::DrumSemitone)
                showTransposeMenu(control, t);
            else if (mode == 1 && (local == local::KitKeyRangeLow || local == local::KitKeyRangeHigh))
                showNoteMenu(control, t);
            else
                engine->setParameterValueAutomated(t, v);
            break;
        }
        case tagSpecial:
            if (t == editorTag::panic) {
                if (v == 1.0f) {
                    engine->allNotesOff();
                    v = 0.0f;
                }
            } else if (t == editorTag::previousPatch || t == editorTag::nextPatch) {
                if (v == 1.0f)
                    moveBrowserSelection(t == editorTag::previousPatch ? -1 : 1, true);
            } else {
                updateControlByTag(t, v);
            }
            break;
        case tagBrowserList:
            if (local == editorTag::categoryRow) {
                showBrowserCategory(channel, -1);
                selectBrowserEntry(browserEntry, -1, false, false);
            } else {
                selectBrowserEntry(channel, -1, v >= controlSignal::doubleClick, false);
            }
            break;
        case tagChannelGroup:
            if (local == editorTag::channelActivity) {
                engine->allSoundOff(channel, 0.0f);
            } else if (v == controlSignal::textEntry) {
                engine->setChannelName(channel, podoStr(fieldText(control).c_str()));
                selectChannel(channel);
            } else {
                selectChannel(channel);
            }
            break;
        case tagSequencerCommand:
        case tagOscillatorStep:
        case tagDrumStep:
            dispatchStepperCommand(control, t, v);
            break;
        case tagEditor:
            dispatchEditorCommand(control, t, v);
            break;
        }
    }
    if (dispatch) {
        // Answer a text field's request: no paste, no length limit.
        const int32_t zero = 0;
        control->setAttribute(kTextEntryVetoAttribute, sizeof zero, &zero);
    }
    tag = t;
    value = v;
}

void Quorix_Editor::dispatchStepperCommand(CControl *control, int32_t t, float v)
{
    const int32_t channel = currentChannel;
    const int32_t slot = engine->getSelectedDrumSlot(channel);
    if (t >= editorTag::sequencerPart && t < editorTag::sequencerPart + 4) {
        engine->setParameterValue(parameterIndex(channel, local::SeqPart), float(t - editorTag::sequencerPart) / 3.0f);
        return;
    }
    if (t >= editorTag::muteGroup && t < editorTag::muteGroup + 2) {
        const int32_t n = t - (editorTag::muteGroup - 1);
        engine->setParameterValueAutomated(parameterIndex(channel, local::DrumMuteGroup + 17 * slot),
                                           v == 1.0f ? float(n) * 0.5f : 0.0f);
        return;
    }
    if (t >= editorTag::toInsertEffect && t < editorTag::toInsertEffect + 2) {
        const int32_t n = t - (editorTag::toInsertEffect - 1);
        engine->setParameterValueAutomated(parameterIndex(channel, local::DrumInsertBus + 17 * slot),
                                           v == 1.0f ? float(n) * 0.5f : 0.0f);
        return;
    }
    if (v != 1.0f)
        return;
    if (t == editorTag::loadPattern)
        loadPatternDialog(control);
    else if (t == editorTag::savePattern)
        savePatternDialog();
    else if (t >= editorTag::loadLane && t < editorTag::loadLane + 5)
        loadLaneDialog(t - editorTag::loadLane, control);
    else if (t >= editorTag::saveLane && t < editorTag::saveLane + 5)
        saveLaneDialog(t - editorTag::saveLane);
    else if (t >= editorTag::waveDown && t < editorTag::waveDown + 2)
        stepWave(t - editorTag::waveDown, -1);
    else if (t >= editorTag::waveUp && t < editorTag::waveUp + 2)
        stepWave(t - editorTag::waveUp, 1);
    else if (t >= editorTag::pitchDown && t < editorTag::pitchDown + 2)
        stepPitch(t - editorTag::pitchDown, -1);
    else if (t >= editorTag::pitchUp && t < editorTag::pitchUp + 2)
        stepPitch(t - editorTag::pitchUp, 1);
    else if (t == editorTag::drumWaveDown || t == editorTag::drumWaveUp)
        stepWave(slot, t == editorTag::drumWaveDown ? -1 : 1);
    else if (t == editorTag::drumPitchDown || t == editorTag::drumPitchUp)
        stepPitch(slot, t == editorTag::drumPitchDown ? -1 : 1);
}

void Quorix_Editor::dispatchEditorCommand(CControl *control, int32_t t, float &v)
{
    const bool press = v == 1.0f;
    const bool text = v == controlSignal::textEntry;
    if (t >= editorTag::drumSlot && t < editorTag::drumSlot + drumSlotCount) {
        selectDrumSlot(t - editorTag::drumSlot, true, v);
    } else if (t == editorTag::pitchWheel) {
        const int32_t n = int32_t(v * 16383.0f + 0.5f);
        engine->handleMidiMessage(currentChannel, 0xE0, n & 0x7F, (n >> 7) & 0x7F);
    } else if (t == editorTag::modulationWheel) {
        engine->handleMidiMessage(currentChannel, 0xB0, 1, int32_t(v * 127.0f + 0.5f) & 0x7F);
    } else if (t >= editorTag::firstKey && t <= editorTag::lastKey) {
        const int32_t k = t - editorTag::firstKey;
        if (heldKey >= 0)
            setKeyState(currentChannel, heldKey + 21, 0.0f, true);
        heldKey = v > 0.0f ? k : -1;
        setKeyState(currentChannel, k + 21, keyVelocity(k, control, v), true);
    } else if (t >= editorTag::outputMeter && t < editorTag::clipIndicator + 2) {
        engine->resetOutputClips();
        for (CControl *c : clipIndicators)
            if (c)
                c->setValue(0.0f);
    } else if (t == editorTag::programName) {
        if (text)
            engine->changeProgramName(fieldText(control).c_str());
    } else if (t >= editorTag::pageButton && t < editorTag::pageButton + 5) {
        v = 1.0f;
        engine->setParameterValue(master::Page, float(t - editorTag::pageButton) * 0.25f);
    } else if (t == editorTag::saveMenu) {
        if (press)
            showSaveMenu();
    } else if (t == editorTag::tempo) {
        if (text) {
            engine->setTempo(float(std::strtod(fieldText(control).c_str(), nullptr)));
            updateTempoLabel();
        }
    } else if (t == editorTag::hostTempoSync) {
        engine->setUseHostTempo(v >= 0.5f);
        updateSyncButton();
    } else if (t == editorTag::voiceCount) {
        voicePeak = 0;
        setLabelText(voiceCountLabels[2], "0");
        engine->updateVoiceCount(1);
    } else if (t == editorTag::gmReset) {
        if (press && podo::askError("Are you sure?", "Reset all channels to GM default setting?", errorCaption))
            engine->resetToGmDefault();
    } else if (t == editorTag::lcdValue) {
        if (text && lcdTag >= 0 && lcdTag <= kLastParameterIndex) {
            std::string value = fieldText(control);
            for (char &c : value)
                c = char(std::toupper(static_cast<unsigned char>(c)));
            engine->setParameterFromText(lcdTag, podoStr(value.c_str()));
        }
    } else if (t == editorTag::resetConfiguration) {
        if (press && podo::askError("Are you sure?", "Load Default Configurations", errorCaption)) {
            engine->resetConfiguration();
            engine->getConfiguration(&configurationCopy);
            refreshSetupPage();
        }
    } else if ((t >= editorTag::velocityCurve && t <= editorTag::lastSetupOption) || t == editorTag::oversampling) {
        setSetupOption(t, v);
        refreshSetupPage();
    } else if (t == editorTag::resetMidiAssignments) {
        if (press)
            resetMidiAssignments(false);
    } else if (t == editorTag::clearMidiAssignments) {
        if (press)
            clearMidiAssignments();
    } else if (t == editorTag::reportMidiAssignments) {
        if (press)
            reportMidiAssignments();
    } else if (t == editorTag::skinMenu) {
        // The three displays are labels, whose click reports 0: any report opens their menu.
        showSkinMenu();
    } else if (t == editorTag::zoomMenu) {
        showZoomMenu();
    } else if (t == editorTag::tuningMenu) {
        showTuningMenu(control);
    } else if (t >= editorTag::tuningCents && t < editorTag::tuningCents + 12) {
        if (text) {
            const std::string digits = fieldText(control);
            char *end = nullptr;
            const long n = std::strtol(digits.c_str(), &end, 10);
            if (end != digits.c_str() && n >= -99 && n <= 99)
                engine->setTuningOffset(t - editorTag::tuningCents, int32_t(n));
            // Also after a refused entry, so the field shows the offset in force, not the typed text.
            engine->getConfiguration(&configurationCopy);
            refreshSetupPage();
        }
    } else if (t == editorTag::manual) {
        if (press)
            openManual();
    } else if (t == editorTag::userFolder) {
        if (press)
            podo::shellOpen(engine->getUserPath());
    }
}

void Quorix_Editor::setSetupOption(int32_t t, float v)
{
    ConfigurationBlock &c = configurationCopy;
    auto *bytes = reinterpret_cast<uint8_t *>(&c);
    const uint8_t on = v >= 0.5f ? 1 : 0;
    if (t >= editorTag::velocityCurve && t < editorTag::velocityCurve + 7) {
        c.velocityCurve = t - editorTag::velocityCurve;
        return;
    }
    switch (t) {
    case 29217: case 29218: case 29219: case 29220: case 29221:
        bytes[4 + t - 29217] = on;
        break;
    case 29222:
        bytes[9] = 1;
        break;
    case 29223:
        c.loadOnSelect = on;
        break;
    case 29224:
        c.seqFollowPlayback = on;
        break;
    case 29225:
        c.keyboardShortcutsOn = on;
        break;
    case 29226: case 29227:
        c.hoverDisplay = t - 29226;
        break;
    case 29228: case 29229:
        c.assignmentOverlay = t - 29228;
        refreshAssignmentOverlay(true);
        break;
    case 29230: case 29231:
        bytes[20 + t - 29230] = on;
        break;
    case 29232: case 29233:
        bytes[417 + t - 29232] = on;
        break;
    case 29234:
        bytes[22] = on;
        break;
    case 29235:
        bytes[24] = on;
        break;
    case 29236:
        bytes[23] = on;
        break;
    case 29237: case 29238: case 29239:
        bytes[25 + t - 29237] = on;
        break;
    case editorTag::oversampling:
        c.maxOversampling = uint8_t(1u << int32_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 4.0f)));
        break;
    default:
        break;
    }
}
