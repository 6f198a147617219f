// The sequencer page (page 5): the current channel's sequencer settings and one 16-step part of its
// five lanes, the grid cursor and selection, the playing-step marker and the page's menus.
#include "editor/Quorix_Editor.h"

#include "editor/EditorText.h"

#include "editor-framework/controls/vgcButtons.h"
#include "editor-framework/controls/vgcControl.h"
#include "editor-framework/controls/vgcKnobs.h"
#include "editor-framework/controls/vgcOptionMenu.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "editor/EditorBuild.h"
#include "editor/EditorFileCommands.h"
#include "engine/EngineLimits.h"
#include "engine/ParameterIndex.h"
#include "engine/Quorix.h"
#include "foundation/podoMenu.h"
#include "gui/CFrame.h"
#include "gui/CViewContainer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

using namespace qgui;
using editorbuild::placed;
using editorbuild::withValueLabel;

namespace {

constexpr int32_t laneCount = 5;
constexpr int32_t columnCount = 16;
constexpr int32_t pageLeft = 157;
constexpr int32_t noChoice = -49;

int32_t nearest(double x) { return int32_t(std::lround(x)); }


int32_t laneY(int32_t lane) { return 128 + 74 * lane; }

// Tag of part 0 of a lane's step.
int32_t stepTag(int32_t lane, int32_t column, bool velocity)
{
    return engine::local::FirstLane + engine::local::LaneSpan * lane + 2 * column + (velocity ? 1 : 0);
}

} // namespace

void Quorix_Editor::buildSequencerPage()
{
    pageControlRange[pageSequencer].first = uint32_t(getControlCount());
    using namespace engine::local;

    sequencerOnButton = withValueLabel(placed(*this, addOnOffButton(10, 30, "button-seq", SeqOn)), 2, -10, 0);
    named(sequencerOnButton, "");
    named(placed(*this, addKickButton(61, 30, "button-load", editorTag::loadPattern)), "");
    named(placed(*this, addKickButton(112, 30, "button-save", editorTag::savePattern)), "");
    groupTitle(pageSequencer, 10, 14, 568, "PATTERN");

    vgcDropdownList *order = placed(*this, addDropdownList(10, 50, 60, 11, "back-LCDinput", SeqNoteOrder));
    for (const char *entry : {"As Played", "Note Up", "Note Down"})
        order->addEntry(entry);
    noteOrderList = order;
    vgcDropdownList *rate = placed(*this, addDropdownList(118, 50, 38, 11, "back-LCDinput", SeqRate));
    for (const char *entry : {"1/1", "1/2", "1/4", "1/8", "1/16", "1/32", "1/64", "1/128"})
        rate->addEntry(entry);
    rateList = rate;
    tripletButton = placed(*this, addOnOffButton(161, 50, "button-triplet", SeqTriplet));
    swingKnob = withValueLabel(placed(*this, addAnimKnob(214, 32, "knob1-big-left", SeqSwing, 228)), 2, 0, 0);
    lengthLabel = placed(*this, addTextLabel(289, 50, 38, 11, "back-LCDinput", SeqLength));
    static const char *const partImages[4] = {"button-0116", "button-1732", "button-3348", "button-4964"};
    for (int32_t k = 0; k < 4; ++k)
        partButtons[k] = placed(*this, addOnOffButton(332 + 45 * k, 50, partImages[k], editorTag::sequencerPart + k));
    vgcDropdownList *sync = placed(*this, addDropdownList(282, 30, 53, 11, "back-LCDinput", SeqSync));
    for (const char *entry : {"BPM", "FIRST", "RETRIG"})
        sync->addEntry(entry);
    syncList = sync;
    latchButton = withValueLabel(placed(*this, addOnOffButton(341, 30, "button-latch", SeqLatch)), 2, 0, 0);
    rootPitchLabel = withValueLabel(placed(*this, addTextLabel(434, 30, 37, 11, "back-LCDinput", SeqRootPitch)), 2, 0, 0);
    velocityAmountKnob =
        withValueLabel(placed(*this, addAnimKnob(526, 32, "knob1-big-left", SeqVelocityAmount, 228)), 2, 0, 0);
    followButton = placed(*this, addOnOffButton(454, 72, "button-minion", 29224));
    named(order, "NOTE ORDER", below, 60);
    named(rate, "RATE", below, 38);
    named(tripletButton, "TRIPLET", below, 40);
    named(swingKnob, "SWING", below, 40);
    named(lengthLabel, "LENGTH", below, 38);
    for (CControl *part : partButtons)
        named(part, "");
    named(partButtons[0], "PART", below, 40);
    named(sync, "SYNC", leftOf, 36);
    named(latchButton, "");
    named(rootPitchLabel, "ROOT", leftOf, 40);
    named(velocityAmountKnob, "VEL AMOUNT", below, 62);
    named(followButton, "FOLLOW", leftOf, 44);

    for (int32_t lane = 0; lane < laneCount; ++lane) {
        SequencerLane &row = sequencerLanes[lane];
        const int32_t y = laneY(lane);
        row.onButton = withValueLabel(placed(*this, addOnOffButton(10, y - 39, "button-laneON", LaneOn + LaneSpan * lane)),
                                      2, -10, 0);
        named(row.onButton, "");
        named(placed(*this, addKickButton(70, y - 52, "button-miniload", editorTag::loadLane + lane)), "");
        named(placed(*this, addKickButton(104, y - 52, "button-minisave", editorTag::saveLane + lane)), "");
        row.baseLabel = placed(*this, addTextLabel(10, y, 27, 11, "back-LCDinput", LaneBase + LaneSpan * lane));
        named(row.baseLabel, "NOTE", above, 30);
        char title[24];
        std::snprintf(title, sizeof title, "LANE %d", int(lane + 1));
        groupTitle(pageSequencer, 10, y - 53, 54, title);
        for (int32_t k = 0; k < columnCount; ++k) {
            row.notes[k] = placed(*this, addTextLabel(46 + 32 * k, y, 27, 11, "back-seq01", stepTag(lane, k, false)));
            row.velocities[k] = placed(
                *this, addVerticalFader(46 + 32 * k, y - 39, "cell-seq1", "cell-seq-handle", stepTag(lane, k, true), 2));
        }
    }
    // The steps are numbered under the last lane; every lane's steps are named by those numbers.
    const SequencerLane &last = sequencerLanes[laneCount - 1];
    for (int32_t k = 0; k < columnCount; ++k) {
        named(last.notes[k], std::to_string(k + 1), below, 27);
        for (const SequencerLane &row : sequencerLanes) {
            namedBy(row.velocities[k], last.notes[k]);
            if (&row != &last)
                namedBy(row.notes[k], last.notes[k]);
        }
    }

    pageControlRange[pageSequencer].end = uint32_t(getControlCount());
}

bool Quorix_Editor::formatStepLabel(int32_t code, int32_t base, char *text, size_t size, bool forMenu)
{
    if (base < 128 && code + base >= 0 && code + base <= 128)
        editortext::note(text, size, code + base);
    else if (code != 0)
        std::snprintf(text, size, "%+2d", int(code));
    else
        std::snprintf(text, size, "%s", forMenu ? "&0" : "0");
    return true;
}

void Quorix_Editor::updateSequencerPage(int32_t, TagCategory category, int32_t base, float v)
{
    using namespace engine::local;
    char text[16];
    const float on = v >= 0.5f ? 1.0f : 0.0f;
    if (category == tagSequencerSetting) {
        switch (base) {
        case SeqOn: sequencerOnButton->setValue(on); break;
        case SeqNoteOrder: noteOrderList->setValue(v); break;
        case SeqRate: rateList->setValue(v); break;
        case SeqSwing: swingKnob->setValue(v); break;
        case SeqSync: syncList->setValue(v); break;
        case SeqLatch: latchButton->setValue(on); break;
        case SeqVelocityAmount: velocityAmountKnob->setValue(v); break;
        case SeqTriplet:
            tripletButton->setValue(on);
            refreshSequencerSelection(-1, -1);
            break;
        case SeqLength:
            std::snprintf(text, sizeof text, "%d", int(nearest(63.0 * v) + 1));
            setLabelText(lengthLabel, text);
            break;
        case SeqPart: {
            const int32_t part = nearest(3.0 * v);
            for (int32_t k = 0; k < 4; ++k)
                partButtons[k]->setValue(k == part ? 1.0f : 0.0f);
            if (!engineBulkLoading)
                refreshSequencerSteps(-1, -1, true, true);
            break;
        }
        case SeqRootPitch: {
            const int32_t r = nearest(128.0 * v);
            if (r > 127)
                std::snprintf(text, sizeof text, "OFF");
            else
                editortext::note(text, sizeof text, r);
            setLabelText(rootPitchLabel, text);
            break;
        }
        default: break;
        }
        return;
    }
    if (category != tagLane || base < FirstLane || base > LastLane)
        return;
    const int32_t lane = (base - FirstLane) / LaneSpan;
    const int32_t offset = (base - FirstLane) % LaneSpan;
    if (offset == LaneOn - FirstLane) {
        sequencerLanes[lane].onButton->setValue(on);
        refreshLaneButtons(lane);
    } else if (offset == LaneBase - FirstLane) {
        const int32_t b = nearest(132.0 * v);
        if (b < 128)
            editortext::note(text, sizeof text, b);
        else
            std::snprintf(text, sizeof text, "IN%d", int(b - 127));
        setLabelText(sequencerLanes[lane].baseLabel, text);
        if (!engineBulkLoading)
            refreshSequencerSteps(-1, -1, true, true);
    } else {
        const int32_t step = offset / 2;
        if (step / columnCount != engine->getSeqPart(currentChannel))
            return;
        const bool velocity = offset % 2 == 1;
        refreshSequencerSteps(lane, step, !velocity, velocity);
    }
}

void Quorix_Editor::refreshSequencerSteps(int32_t lane, int32_t step, bool texts, bool velocities)
{
    if (lane < -1 || lane >= laneCount || step < -1 || step >= columnCount * 4)
        return;
    if (lane == -1 && step == -1)
        refreshSequencerSelection(-1, -1);
    const int32_t channel = currentChannel;
    const int32_t part = engine->getSeqPart(channel);
    const int32_t firstLane = lane < 0 ? 0 : lane, lastLane = lane < 0 ? laneCount - 1 : lane;
    const int32_t firstStep = step < 0 ? columnCount * part : step;
    const int32_t lastStep = step < 0 ? firstStep + columnCount - 1 : step;
    for (int32_t l = firstLane; l <= lastLane; ++l) {
        const int32_t base = engine->getLaneBase(channel, l);
        for (int32_t s = firstStep; s <= lastStep; ++s) {
            const int32_t k = s % columnCount;
            if (texts) {
                const int32_t code = engine->getStepNote(channel, l, s);
                char text[16];
                bool known = true;
                if (code >= -48 && code <= 48)
                    formatStepLabel(code, base, text, sizeof text, false);
                else if (code == 49)
                    std::snprintf(text, sizeof text, "===");
                else if (code == 50)
                    std::snprintf(text, sizeof text, "==|");
                else if (code == 51)
                    std::snprintf(text, sizeof text, "|__");
                else if (code == 52) // a step that plays nothing, shown in words rather than the host's mark
                    std::snprintf(text, sizeof text, "OFF");
                else
                    known = false;
                if (known)
                    setLabelText(sequencerLanes[l].notes[k], text);
            }
            if (velocities) {
                sequencerLanes[l].velocities[k]->setValue(engine->getStepVelocity(channel, l, s));
                sequencerLanes[l].velocities[k]->invalid();
            }
        }
    }
}

void Quorix_Editor::refreshSequencerSelection(int32_t lane, int32_t step)
{
    if (lane < -1 || lane >= laneCount)
        return;
    const int32_t channel = currentChannel;
    const int32_t part = engine->getSeqPart(channel);
    int32_t firstStep = columnCount * part, lastStep = firstStep + columnCount - 1;
    if (step >= 0) {
        if (step < firstStep || step > lastStep)
            return;
        firstStep = lastStep = step;
    } else if (step < -1) {
        return;
    }
    const int32_t group = engine->getSeqTriplet(channel) ? 3 : 4;
    const int32_t playing = sequencerPositions[channel];
    const int32_t *c = sequencerCursor;
    for (int32_t l = lane < 0 ? 0 : lane; l <= (lane < 0 ? laneCount - 1 : lane); ++l) {
        for (int32_t s = firstStep; s <= lastStep; ++s) {
            const int32_t k = s % columnCount;
            const int32_t beat = (k / group) % 2 + 1;
            int32_t look = beat;
            if (l >= c[4] && l <= c[5] && k >= c[2] && k <= c[3])
                look = 3;
            else if (s == playing)
                look = 4;
            char name[16];
            std::snprintf(name, sizeof name, "back-seq%02d", int(look));
            setControlImage(sequencerLanes[l].notes[k], name);
            sequencerLanes[l].notes[k]->invalid();
            std::snprintf(name, sizeof name, "cell-seq%d", int(beat));
            setControlImage(sequencerLanes[l].velocities[k], name);
            sequencerLanes[l].velocities[k]->invalid();
        }
    }
}

void Quorix_Editor::refreshLaneButtons(int32_t lane)
{
    if (lane < -1 || lane >= laneCount)
        return;
    for (int32_t l = lane < 0 ? 0 : lane; l <= (lane < 0 ? laneCount - 1 : lane); ++l) {
        const bool on = engine->getLaneOn(currentChannel, l) != 0;
        for (int32_t k = 0; k < columnCount; ++k) {
            const bool cursor = sequencerCursor[0] == k && sequencerCursor[1] == l;
            editorbuild::setTextColour(sequencerLanes[l].notes[k],
                vgcSkinColor(cursor ? skinFontHighlight : on ? skinFontDefault : skinFontDisabled));
            sequencerLanes[l].notes[k]->invalid();
        }
    }
}

// Cursor and selection move the same way along steps (axis 0: cursor 0, selection 2..3, range 0..15)
// and lanes (axis 1: cursor 1, selection 4..5, range 0..4).
namespace {

struct CursorAxis {
    int32_t cursor, first, last, limit;
    int32_t otherCursor, otherFirst, otherLast;
};

constexpr CursorAxis stepAxis{0, 2, 3, 15, 1, 4, 5};
constexpr CursorAxis laneAxis{1, 4, 5, 4, 0, 2, 3};

} // namespace

static void moveCursor(int32_t *c, const CursorAxis &axis, int32_t delta, bool extend)
{
    if (c[axis.otherCursor] < 0 || c[axis.cursor] < 0) {
        c[0] = 0;
        c[1] = 0;
    }
    const int32_t o = c[axis.cursor];
    const int32_t n = std::clamp(o + delta, 0, axis.limit);
    if (extend) {
        if (c[axis.first] == o) {
            if (c[axis.last] == o && delta > 0)
                c[axis.last] = n;
            else
                c[axis.first] = n;
        } else if (c[axis.last] == o) {
            c[axis.last] = n;
        }
    } else {
        c[axis.first] = c[axis.last] = n;
        c[axis.otherFirst] = c[axis.otherLast] = c[axis.otherCursor];
    }
    c[axis.cursor] = n;
}

void Quorix_Editor::moveStepCursor(int32_t delta, bool extend)
{
    const bool hadCursor = sequencerCursor[0] >= 0 && sequencerCursor[1] >= 0;
    const int32_t oldLane = sequencerCursor[1];
    moveCursor(sequencerCursor, stepAxis, delta, extend);
    refreshSequencerSelection(-1, -1);
    if (hadCursor)
        refreshLaneButtons(oldLane);
    refreshLaneButtons(sequencerCursor[1]);
}

void Quorix_Editor::moveLaneCursor(int32_t delta, bool extend)
{
    const bool hadCursor = sequencerCursor[0] >= 0 && sequencerCursor[1] >= 0;
    const int32_t oldLane = sequencerCursor[1];
    moveCursor(sequencerCursor, laneAxis, delta, extend);
    refreshSequencerSelection(-1, -1);
    if (hadCursor)
        refreshLaneButtons(oldLane);
    refreshLaneButtons(sequencerCursor[1]);
}

void Quorix_Editor::copySteps()
{
    const int32_t *c = sequencerCursor;
    if (c[0] < 0 || c[1] < 0)
        return;
    engine->copySteps(c[4], c[5], c[2], c[3]);
}

void Quorix_Editor::pasteSteps(bool insert)
{
    const int32_t *c = sequencerCursor;
    if (c[0] < 0 || c[1] < 0)
        return;
    engine->pasteSteps(insert, c[1], c[0], c[4], c[5], c[2], c[3]);
}

void Quorix_Editor::clearSteps(bool shift)
{
    const int32_t *c = sequencerCursor;
    if (c[0] < 0 || c[1] < 0)
        return;
    engine->clearSteps(shift, c[4], c[5], c[2], c[3]);
}

void Quorix_Editor::expandSteps(bool shift)
{
    int32_t *c = sequencerCursor;
    if (c[0] < 0 || c[1] < 0)
        return;
    const int32_t n = engine->expandSteps(shift, c[4], c[5], c[2], c[3]);
    // The selection stays within the shown part.
    c[3] = std::min(c[3] + n, columnCount - 1);
    refreshSequencerSelection(-1, -1);
}

void Quorix_Editor::compressSteps(bool shift)
{
    int32_t *c = sequencerCursor;
    if (c[0] < 0 || c[1] < 0)
        return;
    const int32_t n = engine->compressSteps(shift, c[4], c[5], c[2], c[3]);
    c[3] -= n / 2;
    refreshSequencerSelection(-1, -1);
}

void Quorix_Editor::setSequencerPosition(int32_t channel, int32_t step)
{
    if (channel < 0 || channel >= channelCount)
        return;
    const int32_t old = sequencerPositions[channel];
    sequencerPositions[channel] = step;
    if (channel != currentChannel)
        return;
    if (step != old)
        refreshSequencerSelection(-1, old);
    if (configurationCopy.seqFollowPlayback && step >= 0 && step / columnCount != engine->getSeqPart(channel)) {
        const bool previous = engine->setBulkLoading(true);
        engine->setParameterValue(channel * engine::kChannelParameterCount + engine::local::SeqPart,
                                  float(step / columnCount) * 0.33333334f);
        engine->setBulkLoading(previous);
        // The part's notice comes under bulk loading, which skips the grid: write the new part here.
        // (A full redraw request would also reset every playing step and send the page back.)
        refreshSequencerSteps(-1, -1, true, true);
        if (CViewContainer *page = pages[pageSequencer])
            page->invalid();
        return;
    }
    refreshSequencerSelection(-1, step);
}

int32_t Quorix_Editor::showStepMenu(CControl *control, int32_t parameter)
{
    if (!editorOpen || !getFrame())
        return noChoice;
    const int32_t local = parameter % engine::kChannelParameterCount;
    const int32_t lane = std::clamp((local - engine::local::FirstLane) / engine::local::LaneSpan, 0, laneCount - 1);
    const int32_t b = engine->getLaneBase(currentChannel, lane);
    podoMenu menu(getWindow());
    char text[16];
    auto add = [&](int32_t code, podoMenuFlags flags) {
        formatStepLabel(code, b, text, sizeof text, true);
        menu.addItem(flags, uint32_t(code + 49), podoStr(text));
    };
    for (int32_t top : {-37, -25, -13, -1})
        for (int32_t code = top; code > top - 12; --code)
            add(code, code == top ? podo::menuNewColumn : 0);
    add(0, podo::menuNewColumn);
    menu.appendSeparator();
    menu.addItem(0, 49 + 49, podoStr("&==="));
    menu.addItem(0, 50 + 49, podoStr("==&|"));
    menu.addItem(0, 51 + 49, podoStr("|&__"));
    menu.appendSeparator();
    menu.addItem(0, 52 + 49, podoStr("&OFF"));
    for (int32_t code = 1; code <= 48; ++code)
        add(code, (code - 1) % 12 == 0 ? podo::menuNewColumn : 0);
    menu.check(uint32_t(nearest(100.0 * engine->getParameterValue(parameter)) + 1), true);
    CRect r;
    scaleRect(r, control, pageLeft, 0);
    const uint32_t id = menu.track(int32_t(r.left), int32_t(r.bottom), false);
    if (id < 1 || id > 101)
        return noChoice;
    return int32_t(id) - 49;
}

void Quorix_Editor::showLaneBaseMenu(CControl *control, int32_t parameter)
{
    if (!editorOpen || !getFrame())
        return;
    podoMenu menu(getWindow());
    char text[16];
    for (int32_t k = 1; k <= 5; ++k) {
        std::snprintf(text, sizeof text, "IN &%d", int(k));
        menu.addItem(0, uint32_t(128 + k), podoStr(text));
    }
    menu.appendSeparator();
    editortext::addNoteColumns(menu);
    menu.check(uint32_t(nearest(132.0 * engine->getParameterValue(parameter)) + 1), true);
    CRect r;
    scaleRect(r, control, pageLeft, 0);
    const uint32_t id = menu.track(int32_t(r.left), int32_t(r.bottom), false);
    // The blanks above note 127 carry ids past 384 and are never a base.
    if (id >= 1 && id <= 133)
        engine->setParameterValueAutomated(parameter, float(id - 1) / 132.0f);
}

void Quorix_Editor::showStepCountMenu(CControl *control, int32_t parameter)
{
    if (!editorOpen || !getFrame())
        return;
    podoMenu menu(getWindow());
    char text[16];
    for (int32_t n = 1; n <= 64; ++n) {
        std::snprintf(text, sizeof text, "%d", int(n));
        menu.addItem((n - 1) % 16 == 0 ? podo::menuNewColumn : 0, uint32_t(n), podoStr(text));
    }
    menu.check(uint32_t(nearest(63.0 * engine->getParameterValue(parameter)) + 1), true);
    CRect r;
    scaleRect(r, control, pageLeft, 0);
    const uint32_t id = menu.track(int32_t(r.left), int32_t(r.bottom), false);
    if (id >= 1 && id <= 64)
        engine->setParameterValueAutomated(parameter, float(id - 1) / 63.0f);
}

void Quorix_Editor::showSequencerNoteMenu(CControl *control, int32_t parameter)
{
    if (!editorOpen || !getFrame())
        return;
    podoMenu menu(getWindow());
    menu.addItem(0, 129, podoStr("OFF"));
    menu.appendSeparator();
    editortext::addNoteColumns(menu);
    menu.check(uint32_t(nearest(128.0 * engine->getParameterValue(parameter)) + 1), true);
    CRect r;
    scaleRect(r, control, pageLeft, 0);
    const uint32_t id = menu.track(int32_t(r.left), int32_t(r.bottom), false);
    if (id >= 1 && id <= 129)
        engine->setParameterValueAutomated(parameter, float(id - 1) / 128.0f);
}

// The file commands keep no state of their own beyond the engine and this editor.
static EditorFileCommands &filesOf(std::shared_ptr<EditorFileCommands> &slot, Quorix *engine, podoVSTEditor *editor)
{
    if (!slot)
        slot = std::make_shared<EditorFileCommands>(engine, editor);
    return *slot;
}

void Quorix_Editor::loadPatternDialog(CControl *button)
{
    filesOf(fileCommands, engine, this).loadPatternDialog(button);
}

void Quorix_Editor::savePatternDialog() { filesOf(fileCommands, engine, this).savePatternDialog(); }

void Quorix_Editor::loadLaneDialog(int32_t lane, CControl *button)
{
    filesOf(fileCommands, engine, this).loadLaneDialog(lane, button);
}

void Quorix_Editor::saveLaneDialog(int32_t lane) { filesOf(fileCommands, engine, this).saveLaneDialog(lane); }
