// Keyboard shortcuts: browser navigation, page choice, master and channel toggles, channel stepping,
// patch colours and the editing of the sequencer grid. Keys a text field takes never come here.
#include "editor/Quorix_Editor.h"

#include "banks/PatchBanks.h"
#include "engine/EngineLimits.h"
#include "engine/ParameterIndex.h"
#include "engine/Quorix.h"
#include "foundation/podoWnd.h"
#include "gui/CFrame.h"

#include <algorithm>
#include <cmath>

using namespace qgui;

namespace {

const char *const caption = "Kestrane Quorix";

bool confirmed(const char *detail) { return podo::askError(podoStr("Are you sure?"), podoStr(detail), podoStr(caption)); }

float stepValue(int32_t code) { return float(code + 48) * 0.01f; }

} // namespace

bool Quorix_Editor::onKeyDown(VstKeyCode key, bool shift, bool alternate, bool command, bool control)
{
    using namespace engine;
    const int32_t ch = key.character;
    const uint8_t virt = key.virt;
    const bool plain = !shift && !alternate && !command && !control;
    const bool loadOnSelect = configurationCopy.loadOnSelect != 0;
    auto channelParameter = [this](int32_t local) { return currentChannel * kChannelParameterCount + local; };

    // 1. Browser navigation, whatever the shortcut option says.
    if (pageShown[pageBrowser] && plain) {
        switch (virt) {
        case VKEY_RETURN:
            if (!loadOnSelect) {
                loadBrowserEntry(currentChannel, browserCategory, browserEntry);
                return true;
            }
            break;
        case VKEY_UP:
        case VKEY_DOWN:
            moveBrowserSelection(virt == VKEY_UP ? -1 : 1, loadOnSelect);
            return true;
        case VKEY_LEFT:
        case VKEY_RIGHT:
            moveBrowserSelection(virt == VKEY_LEFT ? -32 : 32, loadOnSelect);
            return true;
        case VKEY_PAGEUP:
        case VKEY_PAGEDOWN: {
            const int32_t next = browserCategory + (virt == VKEY_PAGEUP ? -1 : 1);
            if (next >= 0 && next < numPatchCategories) {
                showBrowserCategory(next, -1);
                selectBrowserEntry(-1, -1, false, false);
            }
            return true;
        }
        default:
            break;
        }
    }

    // 2. The other shortcuts only when switched on; keypad digits never.
    if (configurationCopy.keyboardShortcutsOn == 0)
        return false;
    if (virt >= VKEY_NUMPAD0 && virt <= VKEY_NUMPAD9)
        return false;

    // 3. Every page.
    if (editorOpen) {
        if (ch == 'm' && shift && alternate && control) {
            if (confirmed("RESET ALL MIDI ASSIGNS!!!"))
                resetMidiAssignments(true);
            return true;
        }
        if (plain) {
            switch (virt) {
            case VKEY_ESCAPE: engine->allNotesOff(); return true;
            case VKEY_END: moveBrowserSelection(1, loadOnSelect); return true;
            case VKEY_HOME: moveBrowserSelection(-1, loadOnSelect); return true;
            case VKEY_F1: openManual(); return true;
            default: break;
            }
            if (virt == 0) {
                switch (ch) {
                case 'a':
                    engine->setParameterValue(master::PriorityMode, 1.0f - engine->getParameterValue(master::PriorityMode));
                    return true;
                case 'e': engine->setParameterValue(master::Page, 0.75f); return true;
                case 'i':
                    toggleAssignmentOverlay();
                    refreshSetupPage();
                    return true;
                case 'm': engine->setParameterValue(master::Page, 0.0f); return true;
                case 'p': engine->setParameterValue(master::Page, 0.25f); return true;
                case 'q': {
                    const int32_t seqOn = channelParameter(local::SeqOn);
                    engine->setParameterValue(seqOn, 1.0f - engine->getParameterValue(seqOn));
                    return true;
                }
                case 's': engine->setParameterValue(master::Page, 0.5f); return true;
                case 't':
                    engine->setParameterValue(master::InsertEffectsOn, engine->getInsertEffectsEnabled() ? 0.0f : 1.0f);
                    return true;
                case 'u': engine->setParameterValue(master::Page, 1.0f); return true;
                case 'v': showSaveMenu(); return true;
                case 'z': engine->allNotesOff(); return true;
                default: break;
                }
            }
        }
        if (control && (virt == VKEY_UP || virt == VKEY_DOWN)) {
            selectChannel(std::clamp(currentChannel + (virt == VKEY_UP ? -1 : 1), 0, channelCount - 1));
            return true;
        }
    }

    // 4. Mixer: every switched-on channel a little louder or softer.
    if (pageShown[pageMixer] && plain && virt == 0 && (ch == '0' || ch == '9')) {
        const float factor = ch == '0' ? 1.0050251f : 0.995f;
        for (int32_t c = 0; c < channelCount; ++c) {
            if (engine->getParameterValue(c * kChannelParameterCount + local::On) < 0.5f)
                continue;
            const int32_t volume = c * kChannelParameterCount + local::Volume;
            engine->setParameterValue(volume, std::clamp(engine->getParameterValue(volume) * factor, 0.0f, 1.0f));
        }
        return true;
    }

    // 5. Browser.
    if (pageShown[pageBrowser]) {
        if (plain && virt == 0 && ch == 'f') {
            configurationCopy.loadOnSelect = loadOnSelect ? 0 : 1;
            engine->setConfiguration(&configurationCopy);
            refreshSetupPage();
            return true;
        }
        if (plain && virt == 0 && ch >= '1' && ch <= '9') {
            setPatchColor(browserEntry, ch - '1', true);
            return true;
        }
        if (control && !shift && !alternate && !command && virt == 0 && ch == 'i') {
            if (confirmed("Set as Initial Preset"))
                engine->setInitialPreset(browserCategory, browserEntry);
            return true;
        }
        return false;
    }

    // 6. Sequencer.
    if (!pageShown[pageSequencer])
        return false;
    const bool hasCursor = sequencerCursor[0] >= 0 && sequencerCursor[1] >= 0;
    if (plain && virt == 0 && ch == 'r') {
        if (confirmed("Reset the Sequencer setting of this channel")) {
            for (int32_t lane = 0; lane < 5; ++lane) {
                const int32_t first = local::FirstLane + local::LaneSpan * lane;
                engine->setParameterValue(channelParameter(local::LaneOn + local::LaneSpan * lane), 1.0f);
                engine->setParameterValue(channelParameter(local::LaneBase + local::LaneSpan * lane), 0.969697f);
                for (int32_t s = 0; s < 64; ++s) {
                    engine->setParameterValue(channelParameter(first + 2 * s), 1.0f);
                    engine->setParameterValue(channelParameter(first + 2 * s + 1), 0.0f);
                }
            }
            engine->applySequencerParameters(currentChannel, true);
            if (frame)
                frame->invalid();
        }
        return true;
    }
    if (control) {
        const bool c = virt == 0;
        if (virt == VKEY_INSERT || (c && ch == 'i')) {
            copySteps();
            pasteSteps(true);
            return true;
        }
        if (virt == VKEY_DELETE || (c && ch == 'd')) {
            clearSteps(true);
            return true;
        }
        if (c) {
            switch (ch) {
            case 'e': clearSteps(false); return true;
            case 'c': copySteps(); return true;
            case 'v': pasteSteps(true); return true;
            case 'p': pasteSteps(false); return true;
            case 'b': expandSteps(alternate); return true;
            case 'h': compressSteps(alternate); return true;
            default: break;
            }
        }
    }

    switch (virt) {
    case VKEY_TAB: {
        const int32_t parts = std::max(1, (engine->getSeqLength(currentChannel) + 15) / 16);
        const int32_t part = engine->getSeqPart(currentChannel);
        const int32_t next = (part + parts + (shift ? -1 : 1)) % parts;
        engine->setParameterValue(channelParameter(local::SeqPart), float(next) / 3.0f);
        return true;
    }
    case VKEY_LEFT:
    case VKEY_RIGHT: moveStepCursor(virt == VKEY_LEFT ? -1 : 1, shift); return true;
    case VKEY_UP:
    case VKEY_DOWN: moveLaneCursor(virt == VKEY_UP ? -1 : 1, shift); return true;
    default: break;
    }

    const int32_t *cursor = sequencerCursor;
    const int32_t part = engine->getSeqPart(currentChannel);
    auto eachSelectedStep = [&](auto &&apply) {
        for (int32_t lane = std::max(cursor[4], 0); lane <= std::min(cursor[5], 4); ++lane)
            for (int32_t s = std::max(cursor[2], 0); s <= std::min(cursor[3], 15); ++s)
                apply(lane, 16 * part + s,
                      channelParameter(local::FirstLane + local::LaneSpan * lane + 2 * (16 * part + s)));
    };

    if (virt == VKEY_PAGEUP || virt == VKEY_PAGEDOWN) {
        if (!hasCursor)
            return true;
        const int32_t delta = (virt == VKEY_PAGEUP ? 1 : -1) * (alternate ? 12 : 1);
        eachSelectedStep([&](int32_t lane, int32_t step, int32_t note) {
            const int32_t code = engine->getStepNote(currentChannel, lane, step);
            if (code < 48)
                engine->setParameterValue(note, stepValue(std::clamp(code + delta, -48, 52)));
        });
        return true;
    }

    // Code entry. Delete empties the step: OFF without velocity, the value a cleared step holds.
    int32_t code = -100;
    bool empty = false;
    if (virt == VKEY_DELETE) {
        code = 52;
        empty = true;
    } else if (virt == 0) {
        switch (ch) {
        case '=': code = 49; break;
        case '\\': code = 50; break;
        case '-': code = 51; break;
        case '`':
        case 'o': code = 52; break;
        default:
            if (ch >= '0' && ch <= '9')
                code = alternate ? -(ch - '0') : ch - '0';
            break;
        }
    }
    if (code == -100 || !hasCursor)
        return false;
    eachSelectedStep([&](int32_t lane, int32_t step, int32_t note) {
        if (empty)
            engine->setParameterValue(note + 1, 0.0f);
        else if (code < 48 && engine->getStepNote(currentChannel, lane, step) == 52)
            engine->setParameterValue(note + 1, 1.0f);
        engine->setParameterValue(note, stepValue(code));
    });
    return true;
}

bool Quorix_Editor::onKeyUp(VstKeyCode key, bool shift, bool alternate, bool command, bool control)
{
    if (!pageShown[pageBrowser] || shift || alternate || command || control)
        return false;
    switch (key.virt) {
    case VKEY_LEFT:
    case VKEY_UP:
    case VKEY_RIGHT:
    case VKEY_DOWN:
    case VKEY_PAGEUP:
    case VKEY_PAGEDOWN:
        if (configurationCopy.loadOnSelect)
            loadBrowserEntry(currentChannel, browserCategory, browserEntry);
        return true;
    default: return false;
    }
}
