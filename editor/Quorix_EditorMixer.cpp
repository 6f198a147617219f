// The mixer (page 2): a row per channel beside the channel list, and the master block.
#include "editor/Quorix_Editor.h"

#include "editor-framework/controls/vgcButtons.h"
#include "editor-framework/controls/vgcKnobs.h"
#include "editor-framework/controls/vgcOptionMenu.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "editor/EditorBuild.h"
#include "engine/EngineLimits.h"

using namespace qgui;
using editorbuild::placed;
using editorbuild::withValueLabel;

void Quorix_Editor::buildMixerPage()
{
    pageControlRange[pageMixer].first = uint32_t(getControlCount());

    for (int32_t c = 0; c < channelCount; ++c) {
        const int32_t r = 26 * c;
        const int32_t base = c * engine::kChannelParameterCount;
        // Assignments belong to a parameter, not a channel: the first row alone shows them.
        const bool first = c == 0;
        CControl **row = channelControls[c];

        vgcFader *level = placed(*this, addHorizontalFader(8, 29 + r, "channel-level", "channel-level-handle", base + 20, 2));
        if (first)
            withValueLabel(level, 2, -10, -20);
        level->setDefaultValue(0.70710683f);
        addChannelArea(c, 20, 59, 12, 27, 9);
        row[levelFader] = level;

        vgcTextLabel *levelValue = placed(*this, addTextLabel(8, 38 + r, 34, 9, "back-LCDinput", -1));
        levelValue->setHoriAlign(kRightText);
        row[levelText] = levelValue;

        vgcFader *pan = placed(*this, addHorizontalFader(100, 29 + r, "channel-pan", "channel-level-handle", base + 21, 2));
        if (first)
            withValueLabel(pan, 2, -10, -20);
        addChannelArea(c, 21, 31, 12, 19, 9);
        row[panFader] = pan;

        row[panText] = placed(*this, addTextLabel(100, 38 + r, 27, 9, "back-LCDinput", -1));

        vgcTextLabel *voices = placed(*this, addTextLabel(157, 29 + r, 31, 9, "back-LCDinput", base + 22));
        voices->setTextInsets(0, 0, 8, 0, true);
        addChannelArea(c, 22, 0, 12, 31, 9);
        row[voiceLimitText] = voices;

        vgcTextLabel *transpose = placed(*this, addTextLabel(197, 29 + r, 31, 9, "back-LCDinput", base + 23));
        transpose->setTextInsets(0, 0, 8, 0, true);
        if (first)
            withValueLabel(transpose, 2, -10, -20);
        addChannelArea(c, 23, 0, 12, 31, 9);
        row[transposeText] = transpose;

        vgcDropdownList *bus = placed(*this, addDropdownList(237, 29 + r, 31, 9, "back-LCDinput", base + 24));
        if (sharedFontSmall)
            bus->setFont(sharedFontSmall);
        bus->setTextInsets(0, 0, 8, 0, true);
        bus->addEntry("main");
        bus->addEntry("sub");
        row[outputBusList] = bus;

        for (int32_t k = 0; k < 2; ++k) {
            vgcAnimKnob *send = placed(*this, addAnimKnob(276 + 58 * k, 27 + r, "knob2-small-left", base + 25 + k, 228));
            if (first)
                withValueLabel(send, 2, 0, -20);
            addChannelArea(c, 25 + k, 22, 14, 32, 9);
            row[chorusSendKnob + k] = send;
            vgcTextLabel *sendValue = placed(*this, addTextLabel(300 + 58 * k, 29 + r, 27, 9, "back-LCDinput", -1));
            sendValue->setHoriAlign(kRightText);
            row[chorusSendText + k] = sendValue;
        }

        // Column headings over the first row name every row; a value text is named with its control.
        CControl **top = channelControls[0];
        if (first) {
            named(level, "LEVEL", above, 55, 0, -1);
            named(pan, "PAN", above, 28, 0, -1);
            named(voices, "VOICES", above, 38, 0, -1);
            named(transpose, "TRANSP", above, 38, 0, -1);
            named(bus, "OUT", above, 31, 0, -1);
            named(row[chorusSendKnob], "CHORUS", above, 50, 13, 1);
            named(row[reverbSendKnob], "REVERB", above, 50, 13, 1);
        } else {
            for (int32_t e : {levelFader, panFader, voiceLimitText, transposeText, outputBusList, chorusSendKnob,
                              reverbSendKnob})
                namedBy(row[e], top[e]);
        }
        for (int32_t e : {levelText, panText, chorusSendText, reverbSendText})
            namedBy(row[e], row[e == levelText ? levelFader : e == panText ? panFader : e - 2]);
    }

    masterVoiceLimitLabel = placed(*this, addTextLabel(432, 168, 34, 11, "back-LCDinput", 3));
    masterVoiceLimitLabel->setTextInsets(0, 0, 8, 0, true);
    voiceCountLabels[0] = placed(*this, addTextLabel(482, 168, 16, 11, "back-LCDinput", editorTag::voiceCount));
    voiceCountLabels[0]->setHoriAlign(kLeftText);
    voiceCountLabels[0]->setFontAndStyle(sharedFontTiny, 0);
    voiceCountLabels[1] = placed(*this, addTextLabel(498, 168, 24, 11, "back-LCDinput", editorTag::voiceCount));
    voiceCountLabels[1]->setHoriAlign(kRightText);
    voiceCountLabels[2] = placed(*this, addTextLabel(528, 168, 24, 11, "back-LCDinput", editorTag::voiceCount));
    voiceCountLabels[2]->setHoriAlign(kLeftText);
    tempoField = placed(*this, addTextEdit(432, 186, 51, 11, "back-LCDinput", editorTag::tempo, 1));
    tempoField->setHoriAlign(kRightText);
    syncButton = placed(*this, addOnOffButton(509, 186, "button-sync", editorTag::hostTempoSync));
    masterTransposeLabel = withValueLabel(placed(*this, addTextLabel(432, 204, 62, 11, "back-LCDinput", 2)), 2, 0, 0);
    masterTransposeLabel->setTextInsets(0, 0, 8, 0, true);
    masterTuneField = withValueLabel(placed(*this, addTextEdit(432, 222, 51, 11, "back-LCDinput", 1, 1)), 2, 0, 0);
    editorbuild::setTextColour(masterTuneField, patchColors[1]);
    insertEffectsButton = withValueLabel(placed(*this, addOnOffButton(509, 204, "button-IFXs", 4)), 2, 0, 0);
    gmResetButton = placed(*this, addKickButton(509, 222, "button-GMreset", editorTag::gmReset));

    groupTitle(pageMixer, 392, 140, 160, "MASTER");
    named(masterVoiceLimitLabel, "VOICES", leftOf, 40);
    named(voiceCountLabels[1], "NOW", above, 40, -6, 0);
    namedBy(voiceCountLabels[0], voiceCountLabels[1]);
    named(voiceCountLabels[2], "PEAK", above, 24);
    named(tempoField, "TEMPO", leftOf, 40);
    named(tempoField, "BPM", rightOf, 22);
    named(masterTransposeLabel, "TRANSP", leftOf, 40);
    named(masterTuneField, "TUNE", leftOf, 40);
    named(masterTuneField, "Hz", rightOf, 20);
    named(syncButton, "", above);
    named(insertEffectsButton, "", above);
    named(gmResetButton, "", above);

    pageControlRange[pageMixer].end = uint32_t(getControlCount());
}
