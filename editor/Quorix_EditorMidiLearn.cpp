// MIDI learn and host automation: the assignment menu of a control, the overlay that prints each
// control's controller and host slot into its value label, and the setup page's report, clear and
// reset commands. The tables themselves are the engine's.
#include "editor/Quorix_Editor.h"

#include "editor-framework/controls/vgcTextLabel.h"
#include "editor/AssignmentMenus.h"
#include "engine/ConfigurationBlock.h"
#include "engine/ControllerAssignments.h"
#include "engine/HostAutomationMap.h"
#include "engine/ParameterIndex.h"
#include "engine/Quorix.h"
#include "foundation/podoMenu.h"
#include "foundation/podoWnd.h"
#include "gui/CFrame.h"

#include <cstdio>
#include <utility>

using namespace qgui;
using namespace engine;

namespace {

constexpr const char *errorCaption = "Kestrane Quorix";
constexpr int32_t lastAssignableTag = 28643;
constexpr int32_t firstEditorTag = 28641;

constexpr const char *shortSourceNames[4] = {"ONV", "OFV", "PTB", "AFT"};

// Menu ids of the assignment menu.
enum : uint32_t { learnItem = 11, forgetItem = 12, minItem = 13, maxItem = 14, reverseItem = 15, forgetSlotItem = 22 };

// Columns of 32 with a separator every 8, as both submenus lay out their entries.
podoMenuFlags columnFlags(int32_t n)
{
    if (n % 32 == 0)
        return podo::menuNewColumn;
    return n % 8 == 0 ? podo::menuSeparator : podoMenuFlags(0);
}

bool validSource(int32_t source) { return source >= 0 && source < kAssignmentSources; }

} // namespace

namespace assignmentmenu {

bool isReservedSource(int32_t source)
{
    return source == 0 || source == 32 || (source >= 98 && source <= 101) || (source >= 120 && source <= 127);
}

podoMenu *buildControllerMenu(podoWnd *owner, int32_t currentSource)
{
    auto *menu = new podoMenu(owner);
    for (int32_t n = 0; n < kAssignmentSources; ++n) {
        char caption[48];
        if (n < 128)
            std::snprintf(caption, sizeof caption, "%03d %s", n, controllerSourceName(n));
        else
            std::snprintf(caption, sizeof caption, "%s", controllerSourceName(n));
        podoMenuFlags flags = columnFlags(n);
        if (isReservedSource(n))
            flags |= podo::menuGrayed | podo::menuDisabled;
        menu->addItem(flags, sourceBase + uint32_t(n), podoStr(caption));
    }
    if (currentSource > 0 && currentSource < kAssignmentSources)
        menu->select(sourceBase + uint32_t(currentSource));
    return menu;
}

podoMenu *buildAutomationMenu(Quorix *engine, podoWnd *owner, int32_t currentSlotPlusOne)
{
    auto *menu = new podoMenu(owner);
    for (int32_t n = 0; n < kHostSlotCount; ++n) {
        char name[128] = {};
        engine->getParameterName(n, name);
        name[sizeof name - 1] = 0;
        menu->addItem(columnFlags(n), slotBase + uint32_t(n), podoStr(name));
    }
    if (currentSlotPlusOne > 0 && currentSlotPlusOne <= kHostSlotCount)
        menu->select(slotBase + uint32_t(currentSlotPlusOne - 1));
    return menu;
}

} // namespace assignmentmenu

bool Quorix_Editor::assignmentOf(int32_t tag, bool assignableOnly, AssignmentTable *table, int32_t *entry)
{
    int32_t channel = 0, local = 0;
    const TagCategory category = decodeTag(tag, &channel, &local);
    int32_t mode = 0;
    bool assignable = false;
    switch (category) {
    case tagMaster:
        assignable = tag != master::VoiceLimit;
        break;
    case tagChannelSetting:
        assignable = local != local::Mode && local != local::On && local != local::Link &&
                     local != local::VoiceLimit && local != local::OutputBus;
        break;
    case tagSequencerSetting:
        assignable = local == local::SeqOn || local == local::SeqSwing || local == local::SeqLatch ||
                     local == local::SeqRootPitch || local == local::SeqVelocityAmount;
        break;
    case tagLane: {
        int32_t lane = 0, step = 0, base = local;
        engine->decodeSequencerParameter(local, &lane, &step, &base);
        assignable = base == local::LaneOn;
        break;
    }
    case tagInstrument:
        // Only a melody or drum channel has a row of instrument entries.
        mode = engine->getChannelMode(channel);
        if (mode == 0) {
            assignable = local <= local::LastMelody && local != local::KeyRangeLow && local != local::KeyRangeHigh &&
                         local != local::VelocityRangeLow && local != local::VelocityRangeHigh &&
                         local != local::PitchBendRange && local != local::OscWave && local != local::OscWave + 1;
        } else if (mode == 1) {
            int32_t key = 0, base = local;
            if (engine->decodeDrumParameter(local, &key, &base) == kindDrumKey)
                assignable = base != local::DrumWave && base != local::DrumMuteGroup && base != local::DrumInsertBus;
            else
                assignable = local != local::KitKeyRangeLow && local != local::KitKeyRangeHigh;
        } else {
            return false;
        }
        break;
    case tagSpecial:
        if (tag > lastAssignableTag)
            return false;
        assignable = true;
        break;
    default:
        return false;
    }
    if (assignableOnly && !assignable)
        return false;
    return assignmentEntryOf(tag, mode, table, entry);
}

void Quorix_Editor::showMidiLearnMenu(int32_t tag, int32_t x, int32_t y)
{
    if (!frame || !editorOpen)
        return;
    AssignmentTable table{};
    int32_t entry = 0;
    if (!assignmentOf(tag, true, &table, &entry))
        return;
    ControllerAssignment a{};
    if (!engine->getAssignment(table, entry, &a))
        return;
    const int32_t source = validSource(a.source) ? a.source : 0;
    const bool waiting = (a.state & kAssignmentLearning) != 0;
    const bool engineParameter = tag >= 0 && tag < firstEditorTag;
    const int32_t slot = engineParameter ? hostSlotOf(tag) : -1;

    podoMenu menu(getWindow());
    constexpr podoMenuFlags heading = 0x83, headingChecked = 0x87;
    menu.appendLabel(source != 0 ? headingChecked : heading, podoStr("MIDI"));
    menu.appendSeparator();
    menu.appendSubmenu(0, assignmentmenu::buildControllerMenu(getWindow(), source), podoStr("&Assign"));
    char caption[96];
    if (source != 0) {
        char number[8] = "";
        if (source < 128)
            std::snprintf(number, sizeof number, "%03d:", source);
        std::snprintf(caption, sizeof caption, "%s (%s%s)", waiting ? "&Cancel" : "&Learn", number,
                      controllerSourceName(source));
        menu.addItem(0, learnItem, podoStr(caption));
        menu.addItem(0, forgetItem, podoStr("&Forget"));
        menu.appendSeparator();
        std::snprintf(caption, sizeof caption, "Set &Min (%f)", double(a.min));
        menu.addItem(0, minItem, podoStr(caption));
        std::snprintf(caption, sizeof caption, "Set Ma&x (%f)", double(a.max));
        menu.addItem(0, maxItem, podoStr(caption));
        menu.appendSeparator();
        menu.addItem(0, reverseItem, podoStr("&Reverse"));
        menu.check(reverseItem, a.reversed != 0);
    } else {
        menu.addItem(0, learnItem, podoStr(waiting ? "&Cancel" : "&Learn"));
    }
    if (engineParameter) {
        menu.appendLabel(slot >= 0 ? headingChecked : heading, podoStr("Automation"));
        menu.appendSeparator();
        menu.appendSubmenu(0, assignmentmenu::buildAutomationMenu(engine, getWindow(), slot + 1), podoStr("A&ssign"));
        if (slot >= 0) {
            std::snprintf(caption, sizeof caption, "F&orget (%03d)", slot);
            menu.addItem(0, forgetSlotItem, podoStr(caption));
        }
    }

    const uint32_t id = menu.track(x, y, false);
    // The entry as it is now: a learn may have completed while the menu was open.
    engine->getAssignment(table, entry, &a);
    const bool assigned = validSource(a.source) && a.source != 0;
    bool entryChanged = true, save = true;
    if (id == learnItem) {
        a.state = (a.state & kAssignmentLearning) ? 0 : kAssignmentLearning;
        save = false; // the engine saves once the source has arrived
    } else if (id == forgetItem && assigned) {
        a.source = 0;
    } else if ((id == minItem || id == maxItem) && assigned) {
        // The record is packed: its fields are assigned by value, never bound to references.
        const float value = engine->getParameterValue(tag);
        if (id == minItem)
            a.min = value;
        else
            a.max = value;
        if (a.min > a.max) {
            const float low = a.max;
            a.max = a.min;
            a.min = low;
        }
    } else if (id == reverseItem && assigned) {
        a.reversed = a.reversed ? 0 : 1;
    } else if (id >= assignmentmenu::sourceBase && id < assignmentmenu::sourceBase + kAssignmentSources &&
               !assignmentmenu::isReservedSource(int32_t(id - assignmentmenu::sourceBase))) {
        a = {0, int16_t(id - assignmentmenu::sourceBase), 0.0f, 1.0f, 0};
    } else if (id == forgetSlotItem && slot >= 0) {
        entryChanged = false;
        assignHostSlot(slot, -1);
    } else if (engineParameter && id >= assignmentmenu::slotBase && id < assignmentmenu::slotBase + kHostSlotCount) {
        // The slot's former parameter and the parameter's former slot are freed, so each host slot
        // drives one parameter and each parameter answers to one slot.
        entryChanged = false;
        assignHostSlot(int32_t(id - assignmentmenu::slotBase), tag);
    } else {
        entryChanged = save = false;
    }
    if (entryChanged)
        engine->setAssignment(table, entry, a);
    if (save)
        engine->saveAutomation();
    refreshAssignmentOverlay(true);
}

void Quorix_Editor::updateAssignmentLabel(bool withMidi, vgcTextLabel *label)
{
    if (!label)
        return;
    if (configurationCopy.assignmentOverlay == 0) {
        label->clearParts();
        return;
    }
    int32_t tag = label->getTag();
    if (tag < 0 || tag > lastAssignableTag)
        return;
    resolveTagParameter(tag, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    char text[16];
    if (withMidi) {
        std::snprintf(text, sizeof text, "---");
        AssignmentTable table{};
        int32_t entry = 0;
        ControllerAssignment a{};
        if (assignmentOf(tag, false, &table, &entry) && engine->getAssignment(table, entry, &a)) {
            if (a.source >= 1 && a.source < 128)
                std::snprintf(text, sizeof text, "%03d", a.source);
            else if (a.source >= 128 && a.source < kAssignmentSources)
                std::snprintf(text, sizeof text, "%s", shortSourceNames[a.source - 128]);
        }
        label->setPartText(text, 0);
    }
    const int32_t slot = tag < firstEditorTag ? hostSlotOf(tag) : -1;
    if (slot >= 0)
        std::snprintf(text, sizeof text, "%03d", slot);
    else
        std::snprintf(text, sizeof text, "---");
    label->setPartText(text, 1);
}

void Quorix_Editor::refreshAssignmentOverlay(bool withMidi)
{
    if (!frame || !editorOpen)
        return;
    auto update = [&](CControl *control) {
        auto *group = dynamic_cast<vgcGroup *>(control);
        vgcTextLabel *label = group ? group->getValueLabel() : nullptr;
        if (!label)
            return;
        // A label takes its control's tag when made; the edit strips are retagged per channel since.
        if (label->getTag() != control->getTag())
            label->setTag(control->getTag());
        updateAssignmentLabel(withMidi, label);
    };
    for (CControl *control : {priorityModeSwitch, masterVolumeFader, panicSwitch, previousPatchButton, nextPatchButton})
        update(control);
    const bool mixer = pageShown[pageMixer];
    const bool melody = pageShown[pageMelodyEdit];
    const bool drum = pageShown[pageDrumEdit];
    if (mixer || melody || drum)
        for (auto &block : systemEffectControls)
            for (CControl *control : block)
                update(control);
    if (mixer) {
        // Assignments belong to a parameter, not a channel: the first row shows them.
        for (int32_t entry : {levelFader, panFader, transposeText, chorusSendKnob, reverbSendKnob})
            update(channelControls[0][entry]);
        update(masterTransposeLabel);
        update(masterTuneField);
        update(insertEffectsButton);
    }
    if (pageShown[pageSequencer]) {
        for (CControl *control : {sequencerOnButton, swingKnob, latchButton, static_cast<CControl *>(rootPitchLabel),
                                  velocityAmountKnob})
            update(control);
        for (const SequencerLane &lane : sequencerLanes)
            update(lane.onButton);
    }
    if (melody) {
        for (CControl *control : editStripControls[0])
            update(control);
        for (CControl *control : melodyControls)
            update(control);
    }
    if (drum) {
        for (CControl *control : editStripControls[1])
            update(control);
        for (CControl *control : drumKeyControls)
            update(control);
        for (CControl *control : drumKitControls)
            update(control);
    }
    frame->invalid();
}

void Quorix_Editor::toggleAssignmentOverlay()
{
    configurationCopy.assignmentOverlay = configurationCopy.assignmentOverlay ? 0 : 1;
    engine->setConfiguration(&configurationCopy);
    refreshAssignmentOverlay(true);
}

void Quorix_Editor::reportMidiAssignments()
{
    const int32_t code = engine->writeMidiAssignReport();
    if (code != 0)
        podo::showError(podoStr("MIDI Assign Report"), podoStr(dataFileErrorText(code)), podoStr(errorCaption),
                        getWindow());
}

void Quorix_Editor::clearMidiAssignments()
{
    if (!podo::askError(podoStr("Are you sure?"), podoStr("Clear All MIDI Assignments"), podoStr(errorCaption)))
        return;
    engine->setDefaultMidiAssignments(0, 0);
    engine->saveAutomation();
    refreshAssignmentOverlay(true);
}

void Quorix_Editor::resetMidiAssignments(bool otherSet)
{
    const char *detail = otherSet ? "Reset MIDI Assignments to Korvand Default Setting"
                                  : "Reset MIDI Assignments to Factory Default Setting";
    if (!podo::askError(podoStr("Are you sure?"), podoStr(detail), podoStr(errorCaption)))
        return;
    engine->setDefaultMidiAssignments(1, otherSet ? 1 : 0);
    engine->saveAutomation();
    refreshAssignmentOverlay(true);
}
