// The displays that follow playing rather than one parameter (keys, wheels, the LCD), the channel
// rows' looks and the choice of the channel being edited.
#include "editor/EditorBuild.h"
#include "editor/Quorix_Editor.h"

#include "editor-framework/controls/vgcTextLabel.h"
#include "engine/ParameterIndex.h"
#include "engine/ParameterText.h"
#include "engine/Quorix.h"
#include "foundation/podoShell.h"
#include "gui/CFrame.h"
#include "gui/CParamDisplay.h"

#include <cmath>
#include <cstdio>
#include <string>

using namespace qgui;
using namespace engine;

void Quorix_Editor::setKeyState(int32_t channel, int32_t note, float velocity, bool play)
{
    if (note < 21 || note > 108 || channel < 0 || channel >= channelCount)
        return;
    const bool pressed = velocity > 0.0f;
    {
        podoSyncCriticalBlock block(&editorLock);
        uint8_t &state = keyStates[channel][note - 21];
        if ((state != 0) == pressed)
            return;
        state = pressed ? 1 : 0;
    }
    if (channel != currentChannel)
        return;
    if (play) {
        int32_t first = channel, last = channel;
        engine->getLinkedChannelSpan(channel, &first, &last);
        if (pressed)
            engine->noteOn(first, last, note, int32_t(velocity * 120.0f + 0.5f) + 7, 0, 0, 0, -1);
        else
            engine->noteOff(first, last, note, 0);
    }
    refreshKey(note - 21);
}

float Quorix_Editor::keyVelocity(int32_t, CControl *, float value) { return value > 1.0f ? 1.0f : value; }

void Quorix_Editor::clearKeyStates(int32_t channel)
{
    bool current = false;
    {
        podoSyncCriticalBlock block(&editorLock);
        for (int32_t c = 0; c < channelCount; ++c) {
            if (channel != -1 && c != channel)
                continue;
            for (uint8_t &key : keyStates[c])
                key = 0;
            current = current || c == currentChannel;
        }
    }
    if (current)
        refreshKeys();
}

void Quorix_Editor::refreshKey(int32_t keyIndex)
{
    if (keyIndex < 0 || keyIndex >= keyCount)
        return;
    bool held;
    {
        podoSyncCriticalBlock block(&editorLock);
        held = keyStates[currentChannel][keyIndex] != 0;
    }
    for (CControl *key : {whiteKeyControls[keyIndex], blackKeyControls[keyIndex]})
        if (key)
            key->setValue(held ? 1.0f : 0.0f);
}

void Quorix_Editor::refreshKeys()
{
    for (int32_t i = 0; i < keyCount; ++i)
        refreshKey(i);
}

void Quorix_Editor::setWheelValue(int32_t channel, int32_t wheel, float value)
{
    if (channel < 0 || channel >= channelCount || wheel < 0 || wheel > 1)
        return;
    {
        podoSyncCriticalBlock block(&editorLock);
        wheelValues[channel][wheel] = value;
    }
    if (channel == currentChannel)
        postFloat(wheel == 0 ? editorTag::pitchWheel : editorTag::modulationWheel, value);
}

void Quorix_Editor::refreshWheels()
{
    float pitch, modulation;
    {
        podoSyncCriticalBlock block(&editorLock);
        pitch = wheelValues[currentChannel][0];
        modulation = wheelValues[currentChannel][1];
    }
    if (pitchWheel)
        pitchWheel->setValue(pitch);
    if (modulationWheel)
        modulationWheel->setValue(modulation);
}

void Quorix_Editor::showParameterInLcd(int32_t tag, bool force)
{
    if (!lcdEnabled || tag < 0 || tag > kLastParameterIndex)
        return;
    if (!force)
        resolveTagParameter(tag, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (tag == lcdTag && !force)
        return;
    lcdTag = tag;
    char name[kParameterTextSize] = {}, value[kParameterTextSize] = {}, unit[kParameterTextSize] = {};
    engine->parameterName(tag, name, kNameStyleChannel);
    engine->parameterDisplayString(tag, value);
    engine->parameterUnit(tag, unit);
    setLabelText(lcdNameLabel, name);
    if (unit[0]) {
        const std::string both = std::string(value) + " " + unit;
        setLabelText(lcdValueField, both.c_str());
    } else {
        setLabelText(lcdValueField, value);
    }
}

void Quorix_Editor::clearLcd()
{
    lcdFocusResetPending = true;
    lcdTag = -1;
    setLabelText(lcdNameLabel, "");
    setLabelText(lcdValueField, "");
}

void Quorix_Editor::refreshAll()
{
    if (!frame)
        return;
    updateChannelButtons(-1);
    refreshWheels();
    clearKeyStates(-1);
    voicePeak = 0;
    setLabelText(voiceCountLabels[2], "0");
    engine->updateVoiceCount(1);
    clearLcd();
    clearNoteDisplays(-1);
    for (int32_t c = 0; c < channelCount; ++c)
        setSequencerPosition(c, 0);
    refreshSetupPage();
    frame->invalid();
}

void Quorix_Editor::selectChannel(int32_t channel)
{
    if (channel < 0 || channel >= channelCount)
        return;
    if (channel != currentChannel) {
        if (engine->getPriorityMode()) {
            int32_t first = currentChannel, last = currentChannel;
            engine->getLinkedChannelSpan(currentChannel, &first, &last);
            for (int32_t c = first; c <= last; ++c)
                if (engine->getChannelVoiceCount(c) != 0)
                    engine->allSoundOff(c, 0.0f);
        }
        lastPatchSpan = 0;
    }
    retagChannelStrip(channel, engine->getChannelMode(channel));
    {
        podoSyncCriticalBlock block(&editorLock);
        currentChannel = channel;
    }
    engine->setCurrentChannel(channel);
    if (!frame || !editorOpen)
        return;
    lcdEnabled = false;
    if (pageShown[pageBrowser]) {
        onProgramChanged(-1);
    } else if (anyPageShown({pageSequencer, pageMelodyEdit, pageDrumEdit})) {
        engine->applyChannelParameters(channel, false, false);
        if (shownEditMode == 1 && pageShown[pageDrumEdit]) {
            clearDrumSlotSelection();
            selectDrumSlot(engine->getSelectedDrumSlot(channel), false, 0.0f);
        }
    }
    refreshAssignmentOverlay(false);
    refreshWheels();
    refreshKeys();
    updateChannelButtons(-1);
    clearLcd();
    lcdEnabled = true;
}

// The value-entry areas of the edit pages' channel strip follow the channel; the strip's own
// controls are the edit pages' (retagChannelStrip may be extended there).
void Quorix_Editor::retagChannelStrip(int32_t channel, int32_t mode)
{
    if (mode < 0 || mode > 1)
        return;
    for (int32_t column = 17; column <= 36; ++column)
        if (vgcArea *area = gridAreaTable[mode * 20 + column])
            area->setTag(channel * kChannelParameterCount + column);
    // The strips' level, pan, voice, transpose, bus and send controls carry their channel's own
    // parameters (the dispatch shifts only the insert-effect ones); both strips, as a mode change
    // shows the other page without a channel change.
    for (auto &strip : editStripControls)
        for (CControl *control : strip)
            if (control && control->getTag() >= 17) {
                const int32_t local = (control->getTag() - 17) % kChannelParameterCount + 17;
                if (local >= local::Volume && local < local::InsertOn)
                    control->setTag(channel * kChannelParameterCount + local);
            }
}

void Quorix_Editor::updateChannelButtons(int32_t channel)
{
    if (!frame || !editorOpen)
        return;
    const int32_t first = channel < 0 ? 0 : channel;
    const int32_t last = channel < 0 ? channelCount - 1 : channel;
    for (int32_t k = first; k <= last && k < channelCount; ++k) {
        const bool on = engine->getChannelOn(k) != 0;
        CColor colour = vgcSkinColor(on ? skinFontDefault : skinFontDisabled);
        std::string image = engine->getChannelMode(k) == 1 ? "channel-drum" : "channel-melody";
        std::string nameImage = "channel-name";
        auto *name = dynamic_cast<CParamDisplay *>(channelControls[k][nameField]);
        if (k == currentChannel) {
            if (name)
                editorbuild::setTextColour(name, vgcSkinColor(engine->getPriorityMode() ? skinFontSecond : skinFontHighlight));
            colour = vgcSkinColor(skinFontHighlight);
            image += "-selected";
            nameImage += "-selected";
        } else {
            if (name)
                editorbuild::setTextColour(name, colour);
            image += on ? "-normal" : "-off";
            const int32_t span = pageShown[pageBrowser] ? combiSpan() : 0;
            if (span > 0 && k > currentChannel && k < currentChannel + span) {
                image += "-combi";
                nameImage += "-selected-combi";
            }
        }
        if (channelControls[k][modeButton])
            setControlImage(channelControls[k][modeButton], image.c_str());
        if (channelControls[k][nameField])
            setControlImage(channelControls[k][nameField], nameImage.c_str());
        for (int32_t entry : {levelText, panText, voiceLimitText, transposeText, outputBusList})
            if (auto *box = dynamic_cast<CParamDisplay *>(channelControls[k][entry]))
                editorbuild::setTextColour(box, colour);
        const CColor sendColour = engine->getChannelOutputBus(k) == 1 ? vgcSkinColor(skinFontDisabled) : colour;
        for (int32_t entry : {chorusSendText, reverbSendText})
            if (auto *box = dynamic_cast<CParamDisplay *>(channelControls[k][entry]))
                editorbuild::setTextColour(box, sendColour);
    }
}

void Quorix_Editor::stepPitch(int32_t index, int32_t delta)
{
    const bool drum = engine->getChannelMode(currentChannel) == 1;
    if (drum ? (index < 0 || index >= drumSlotCount) : (index < 0 || index > 1))
        return;
    const int32_t local = drum ? local::DrumSemitone + 17 * index : local::OscSemitone + index;
    const int32_t parameter = currentChannel * kChannelParameterCount + local;
    int32_t n = int32_t(std::lround(engine->getParameterValue(parameter) * 96.0)) + delta;
    if (n - 48 > 48)
        n = 96;
    else if (n - 48 < -48)
        n = 0;
    engine->setParameterValue(parameter, float(n) * 0.010416667f);
}

void Quorix_Editor::openManual()
{
    podoStr path = engine->getPaths().appFolder;
    path += "Quorix.pdf";
    podo::shellOpen(path);
}
