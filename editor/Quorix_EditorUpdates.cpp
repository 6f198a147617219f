// Engine to editor: the queued notifications applied to the controls of the page shown.
#include "editor/EditorBuild.h"
#include "editor/Quorix_Editor.h"

#include "editor/EditorText.h"

#include "editor-framework/controls/vgcTextLabel.h"
#include "engine/HostAutomationMap.h"
#include "engine/ParameterIndex.h"
#include "engine/ParameterText.h"
#include "engine/Quorix.h"
#include "gui/CFrame.h"

#include <cmath>
#include <cstdio>
#include <cstring>

using namespace qgui;
using namespace engine;

namespace {

// v × k rounded half away from zero.
int32_t scaled(float v, int32_t k) { return int32_t(std::lround(double(v) * k)); }

float switchValue(float v) { return v >= 0.5f ? 1.0f : 0.0f; }

void setValueOf(CControl *control, float v)
{
    if (control)
        control->setValue(v);
}

} // namespace

namespace editortext {

void transpose(char *out, size_t size, float v)
{
    const int32_t n = scaled(v, 96) - 48;
    if (n == 0)
        std::snprintf(out, size, "0");
    else
        std::snprintf(out, size, "%+d", int(n));
}

void note(char *out, size_t size, int32_t n)
{
    std::snprintf(out, size, "%s%d", noteNames[((n % 12) + 12) % 12], int(n / 12 - 2));
}

void voices(char *out, size_t size, float v)
{
    const int32_t n = scaled(v, 64);
    if (n == 0)
        std::snprintf(out, size, "LEG");
    else if (n == 1)
        std::snprintf(out, size, "RET");
    else
        std::snprintf(out, size, "%d", int(n));
}

void tune(char *out, size_t size, float v)
{
    double f = 440.0;
    if (v > 0.5f)
        f = 440.0 * std::pow(2.0, scaled(v - 0.5f, 16382) / 98304.0);
    else if (v < 0.5f)
        f = 440.0 / std::pow(2.0, scaled(0.5f - v, 16382) / 98304.0);
    std::snprintf(out, size, "%.1f", f);
}

} // namespace editortext

TagCategory Quorix_Editor::decodeTag(int32_t tag, int32_t *index, int32_t *base, int32_t currentChannel)
{
    int32_t i = 0, b = tag;
    TagCategory category = tagEditor;
    if (tag >= 0 && tag <= 16) {
        category = tagMaster;
    } else if (tag >= 17 && tag <= kLastParameterIndex) {
        const int32_t local = (tag - 17) % kChannelParameterCount + 17;
        i = (tag - 17) / kChannelParameterCount;
        b = local;
        category = local < 37 ? tagChannelSetting : local < 48 ? tagSequencerSetting : local < 698 ? tagLane : tagInstrument;
    } else if (tag >= 28641 && tag <= 28645) {
        category = tagSpecial;
    } else if (tag >= editorTag::categoryRow && tag < editorTag::entryRow) {
        category = tagBrowserList;
        i = tag - editorTag::categoryRow;
        b = editorTag::categoryRow;
    } else if (tag >= editorTag::entryRow && tag < editorTag::channelName) {
        category = tagBrowserList;
        i = tag - editorTag::entryRow;
        b = editorTag::entryRow;
    } else if (tag >= editorTag::channelName && tag <= 28933) {
        category = tagChannelGroup;
        i = (tag - editorTag::channelName) % 16;
        b = tag < editorTag::channelActivity ? editorTag::channelName : editorTag::channelActivity;
    } else if (tag >= 28934 && tag <= 28949) {
        category = tagSequencerCommand;
        i = currentChannel;
    } else if (tag >= 28950 && tag <= 28957) {
        category = tagOscillatorStep;
        i = currentChannel;
    } else if (tag >= 28958 && tag <= 28965) {
        category = tagDrumStep;
        i = currentChannel;
    }
    if (index)
        *index = i;
    if (base)
        *base = b;
    return category;
}

TagCategory Quorix_Editor::decodeTag(int32_t tag, int32_t *index, int32_t *base)
{
    return decodeTag(tag, index, base, currentChannel);
}

void Quorix_Editor::paramChanged(int32_t tag, uint64_t payload)
{
    if (!frame)
        return;
    const uint32_t bits = uint32_t(payload);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    int32_t index = 0, base = 0;
    const TagCategory category = decodeTag(tag, &index, &base);
    if (category != tagEditor) {
        updateControl(tag, category, index, base, v);
        return;
    }
    const auto byteAt = [bits](int i) { return int32_t((bits >> (8 * i)) & 0xFF); };
    if (tag == editorTag::skinName) {
        const char *name = reinterpret_cast<const char *>(uintptr_t(payload));
        char copy[32] = {};
        if (name)
            std::strncpy(copy, name, sizeof copy - 1);
        setSkin(podoStr(copy), 0);
    } else if (tag == editorTag::zoom) {
        setSkin(podoStr(), int32_t(bits));
        updateControl(tag, category, index, base, v);
    } else if (tag == editorTag::recalledPatch) {
        onProgramChanged(byteAt(2));
        updateControl(tag, category, index, base, v);
    } else if (tag == editorTag::programName) {
        char name[kVstMaxProgNameLen + 1] = {};
        engine->getProgramName(name);
        setLabelText(programNameField, name);
        if (int32_t(bits) > 0)
            showPatchName(int32_t(bits) - 1);
    } else if (tag >= editorTag::firstKey && tag <= editorTag::lastKey) {
        if (byteAt(2) == 1)
            clearKeyStates(byteAt(0));
        else
            setKeyState(byteAt(0), tag - editorTag::key, float(byteAt(1)), false);
    } else if (tag >= editorTag::drumSlot && tag < editorTag::drumSlot + drumSlotCount) {
        const int32_t slot = tag - editorTag::drumSlot;
        if (byteAt(2) == 1)
            clearNoteDisplays(byteAt(0));
        else if (byteAt(2) == 2)
            selectDrumSlot(slot, false, 0.0f);
        else
            drumSlotHit(byteAt(0), slot, byteAt(1) != 0);
    } else {
        updateControl(tag, category, index, base, v);
    }
}

void Quorix_Editor::updateControlByTag(int32_t tag, float value)
{
    int32_t index = 0, base = 0;
    const TagCategory category = decodeTag(tag, &index, &base);
    updateControl(tag, category, index, base, value);
}

void Quorix_Editor::setParameter(int32_t hostSlot, float value)
{
    const int32_t index = engine::parameterOfHostSlot(hostSlot);
    if (index >= 0)
        updateControlByTag(index, value);
}

void Quorix_Editor::updateControl(int32_t tag, TagCategory category, int32_t index, int32_t base, float v)
{
    if (!editorOpen || !frame)
        return;
    char text[64];

    switch (category) {
    case tagMaster:
        if (base == master::Volume) {
            setValueOf(masterVolumeFader, v);
        } else if (base == master::InsertEffectsOn) {
            showInsertEffectsEnabled(v >= 0.5f);
        } else if (base == master::PriorityMode) {
            setValueOf(priorityModeSwitch, v);
            updateChannelButtons(-1);
        } else if (base == master::Page) {
            const int32_t view = int32_t(std::lround(4.0 * v));
            switch (view) {
            case 0: showMixerPage(); break;
            case 1: showBrowserPage(); break;
            case 2: showSequencerPage(); break;
            case 3: showEditPage(true); break;
            case 4: showSetupPage(); break;
            default: break;
            }
            updateChannelButtons(-1);
            frame->invalid();
        } else if (base == master::ChorusOn || base == master::ReverbOn) {
            setValueOf(systemEffectControls[base - master::ChorusOn][0], switchValue(v));
        } else if (base >= master::ChorusFirst && base <= 16) {
            const int32_t k = base - master::ChorusFirst;
            setValueOf(systemEffectControls[k / 4][1 + k % 4], v);
        }
        break;
    case tagChannelSetting:
        if (base == local::Mode) {
            updateChannelButtons(index);
        } else if (base == local::On) {
            setValueOf(channelControls[index][numberButton], switchValue(v));
            updateChannelButtons(index);
        } else if (base == local::Link && index >= 1) {
            setValueOf(channelControls[index][linkButton], switchValue(v));
        }
        break;
    case tagSequencerSetting:
        if (base == local::SeqOn)
            setValueOf(channelControls[index][modeButton], switchValue(v));
        break;
    case tagSpecial:
        if (tag == editorTag::panic)
            setValueOf(panicSwitch, v);
        break;
    case tagChannelGroup:
        if (base == editorTag::channelName) {
            if (v >= 0.0f) {
                setChannelLabel(index);
            } else {
                // The engine made this channel current (the host's page command).
                selectChannel(index);
                refreshDrumSelection();
            }
        } else {
            channelLedTimers[index] = 0.099f;
            setValueOf(channelControls[index][activityIndicator], 1.0f);
        }
        break;
    case tagEditor:
        updateEditorTag(tag, v);
        break;
    default:
        break;
    }

    if (pageShown[pageMixer]) {
        if (category == tagMaster) {
            if (base == master::Tune) {
                editortext::tune(text, sizeof text, v);
                setLabelText(masterTuneField, text);
            } else if (base == master::Transpose) {
                editortext::transpose(text, sizeof text, v);
                setLabelText(masterTransposeLabel, text);
            } else if (base == master::VoiceLimit) {
                std::snprintf(text, sizeof text, "%d", int(scaled(v, 1023) + 1));
                setLabelText(masterVoiceLimitLabel, text);
            } else if (base == master::InsertEffectsOn) {
                setValueOf(insertEffectsButton, switchValue(v));
            }
        } else if (category == tagChannelSetting) {
            CControl **row = channelControls[index];
            switch (base) {
            case local::Volume:
                setValueOf(row[levelFader], v);
                setDisplayText(row[levelText], tag);
                break;
            case local::Pan:
                setValueOf(row[panFader], v);
                setDisplayText(row[panText], tag);
                break;
            case local::VoiceLimit:
                editortext::voices(text, sizeof text, v);
                setLabelText(row[voiceLimitText], text);
                break;
            case local::Transpose:
                editortext::transpose(text, sizeof text, v);
                setLabelText(row[transposeText], text);
                break;
            case local::OutputBus:
                setValueOf(row[outputBusList], v);
                updateChannelButtons(index);
                break;
            case local::ChorusSend:
            case local::ReverbSend:
                setValueOf(row[chorusSendKnob + base - local::ChorusSend], v);
                setDisplayText(row[chorusSendText + base - local::ChorusSend], tag);
                break;
            default:
                break;
            }
        }
    }
    if (pageShown[pageSequencer] && index == currentChannel && category >= tagChannelSetting &&
        category <= tagInstrument)
        updateSequencerPage(tag, category, base, v);
    if ((pageShown[pageMelodyEdit] || pageShown[pageDrumEdit]) && index == currentChannel &&
        category >= tagChannelSetting && category <= tagInstrument)
        updateEditPages(tag, category, base, v);
    if (!engineBulkLoading && anyPageShown({pageMixer, pageMelodyEdit, pageDrumEdit}))
        showParameterInLcd(tag, true);
}

void Quorix_Editor::updateEditorTag(int32_t tag, float v)
{
    if (tag >= editorTag::channelMeter && tag < editorTag::channelMeter + channelCount) {
        setValueOf(channelControls[tag - editorTag::channelMeter][levelMeter], v);
    } else if (tag >= editorTag::lfoLevel && tag < editorTag::lfoLevel + 2 * channelCount) {
        if ((tag - editorTag::lfoLevel) / 2 == currentChannel)
            showLfoLevel((tag - editorTag::lfoLevel) % 2, v);
    } else if (tag >= editorTag::drumSlot && tag < editorTag::drumSlot + drumSlotCount) {
        const int32_t slot = tag - editorTag::drumSlot;
        if (v < 0.0f)
            selectDrumSlot(slot, false, 0.0f);
        else if (v == 0.0f)
            clearNoteDisplays(-1);
        else
            refreshDrumLeds(slot);
    } else if (tag == editorTag::pitchWheel) {
        setValueOf(pitchWheel, v);
    } else if (tag == editorTag::modulationWheel) {
        setValueOf(modulationWheel, v);
    } else if (tag >= editorTag::outputMeter && tag < editorTag::outputMeter + 4) {
        setValueOf(outputMeters[tag - editorTag::outputMeter], v);
    } else if (tag >= editorTag::clipIndicator && tag < editorTag::clipIndicator + 2) {
        setValueOf(clipIndicators[tag - editorTag::clipIndicator], v);
    } else if (tag == editorTag::temperament) {
        if (v < 0.0f) {
            engine->getConfiguration(&configurationCopy);
            refreshSetupPage();
        }
    } else if (tag == editorTag::tempo) {
        updateTempoLabel();
    } else if (tag == editorTag::hostTempoSync) {
        updateSyncButton();
    } else if (tag == editorTag::voiceCount) {
        uint32_t packed;
        std::memcpy(&packed, &v, sizeof packed);
        showVoiceCount(packed);
    } else if (tag == editorTag::lcdValue) {
        if (v < 0.0f)
            clearLcd();
        else
            engineBulkLoading = v > 0.5f;
    } else if (tag >= editorTag::sequencerPosition && tag < editorTag::sequencerPosition + channelCount) {
        setSequencerPosition(tag - editorTag::sequencerPosition, int32_t(std::lround(v * 63.0f)));
    } else if (tag == editorTag::midiLearn) {
        refreshAssignmentOverlay(true);
    }
}

void Quorix_Editor::showVoiceCount(uint32_t packed)
{
    const int32_t high = int32_t(packed >> 16), low = int32_t(packed & 0xFFFF);
    char text[16];
    std::snprintf(text, sizeof text, "%d", int(high));
    setLabelText(voiceCountLabels[0], high == 0 ? "" : text);
    std::snprintf(text, sizeof text, "%d", int(low));
    setLabelText(voiceCountLabels[1], text);
    if (low > voicePeak) {
        voicePeak = low;
        setLabelText(voiceCountLabels[2], text);
    }
}

void Quorix_Editor::updateTempoLabel()
{
    const float tempo = engine->getTempo();
    if (tempo >= 1.0f) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", double(tempo));
        setLabelText(tempoField, text);
    }
}

void Quorix_Editor::updateSyncButton()
{
    if (!syncButton)
        return;
    const bool follow = engine->getUseHostTempo();
    syncButton->setValue(follow ? 1.0f : 0.0f);
    if (tempoField)
        editorbuild::setTextColour(tempoField, vgcSkinColor(follow ? skinFontDisabled : skinFontDefault));
}

void Quorix_Editor::refreshDrumSelection()
{
    selectChannel(currentChannel);
    clearDrumSlotSelection();
    selectDrumSlot(engine->getSelectedDrumSlot(currentChannel), false, 0.0f);
}

void Quorix_Editor::refreshTempoControls()
{
    postMessage(editorTag::tempo, 0);
    postMessage(editorTag::hostTempoSync, 0);
    postMessage(editorTag::channelName, 0);
}

void Quorix_Editor::setChannelLabel(int32_t channel)
{
    if (channel < 0 || channel >= channelCount)
        return;
    setLabelText(channelControls[channel][nameField], engine->getChannelName(channel).getNarrow());
}

void Quorix_Editor::setLabelText(CControl *control, const char *text)
{
    if (auto *label = dynamic_cast<vgcTextLabel *>(control)) {
        label->setPartText(text, 0);
        label->invalid();
    } else if (auto *plain = dynamic_cast<CTextLabel *>(control)) {
        plain->setText(text ? text : "");
        plain->invalid();
    }
}

void Quorix_Editor::setDisplayText(CControl *control, int32_t parameter)
{
    if (!control)
        return;
    char text[kParameterTextSize] = {};
    engine->parameterDisplayString(parameter, text);
    setLabelText(control, text);
}
