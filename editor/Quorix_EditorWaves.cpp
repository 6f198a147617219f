// Choosing the wavetable of a melody oscillator or of the selected drum key: a menu of categories
// and their wavetables, and stepping through the library in table order.
#include "editor/Quorix_Editor.h"

#include "banks/Wavetables.h"
#include "engine/EngineLimits.h"
#include "engine/ParameterIndex.h"
#include "engine/Quorix.h"
#include "foundation/podoMenu.h"
#include "gui/CFrame.h"

#include <cstring>

using namespace qgui;
using namespace engine;

namespace {

// A wave parameter holds category number × 128 + index + 1 over 16,384, so only categories
// 0..127 can be stored; an empty category offers nothing to choose or step to.
bool eligible(int32_t h, bool drum)
{
    if (h < 0 || h >= numWavetableCategories || !wavetableCategories)
        return false;
    const WavetableCategory &c = wavetableCategories[h];
    return c.count > 0 && c.wavetables && c.number >= 0 && c.number < banks::kWaveCategories &&
           (!drum || c.kind != 0);
}

int32_t nextEligible(int32_t from, bool drum)
{
    for (int32_t h = from < 0 ? 0 : from; h < numWavetableCategories; ++h)
        if (eligible(h, drum))
            return h;
    return -1;
}

int32_t previousEligible(int32_t from, bool drum)
{
    for (int32_t h = from >= numWavetableCategories ? numWavetableCategories - 1 : from; h >= 0; --h)
        if (eligible(h, drum))
            return h;
    return -1;
}

float waveValue(int32_t h, int32_t m)
{
    return float(wavetableCategories[h].number * 128 + m + 1) / 16384.0f;
}

} // namespace

// The wave parameter and location of slot (an oscillator 0..1 on a melody channel, a drum key on
// a kit); false when the slot does not exist.
bool Quorix_Editor::waveSlot(int32_t slot, int32_t *parameter, WaveLocation *location, bool *drum)
{
    *drum = engine->getChannelMode(currentChannel) == 1;
    if (*drum ? (slot < 0 || slot >= drumSlotCount) : (slot < 0 || slot > 1))
        return false;
    const int32_t local = *drum ? local::DrumWave + 17 * slot : local::OscWave + slot;
    *parameter = currentChannel * kChannelParameterCount + local;
    *location = WaveLocation{};
    if (*drum)
        engine->getDrumKeyWave(currentChannel, slot, location);
    else
        engine->getOscillatorWave(currentChannel, slot, location);
    return true;
}

void Quorix_Editor::stepWave(int32_t slot, int32_t direction)
{
    int32_t parameter = 0;
    WaveLocation location{};
    bool drum = false;
    if (!waveSlot(slot, &parameter, &location, &drum) || direction == 0)
        return;
    // A library without anything to step to leaves the wave as it is.
    if (nextEligible(0, drum) < 0)
        return;
    int32_t h = location.category >= 0 && location.category < banks::kBankNumberCount
                    ? wavetableCategoryIndex[location.category]
                    : 0;
    if (!eligible(h, drum)) {
        const int32_t forward = nextEligible(h, drum);
        h = forward >= 0 ? forward : previousEligible(numWavetableCategories - 1, drum);
    }
    int32_t m = location.index - 1 + (direction < 0 ? -1 : 1);
    if (m < 0) {
        const int32_t before = previousEligible(h - 1, drum);
        if (before >= 0) {
            h = before;
            m = wavetableCategories[h].count - 1;
        } else {
            h = nextEligible(0, drum);
            m = 0;
        }
    } else if (m >= wavetableCategories[h].count) {
        const int32_t after = nextEligible(h + 1, drum);
        if (after >= 0) {
            h = after;
            m = 0;
        } else {
            h = previousEligible(numWavetableCategories - 1, drum);
            m = wavetableCategories[h].count - 1;
        }
    }
    engine->setParameterValue(parameter, waveValue(h, m));
}

void Quorix_Editor::showWaveMenu(int32_t slot)
{
    int32_t parameter = 0;
    WaveLocation location{};
    bool drum = false;
    if (!frame || !editorOpen || !waveSlot(slot, &parameter, &location, &drum))
        return;
    CControl *label = drum ? drumKeyControls[0] : melodyControls[local::OscWave + slot - local::FirstInstrument];
    if (!label)
        return;

    const int32_t current = location.index != 0 && location.category >= 0 &&
                                    location.category < banks::kBankNumberCount
                                ? wavetableCategoryIndex[location.category]
                                : -1;
    podoMenu menu(getWindow());
    int32_t previousNumber = -1;
    for (int32_t h = 0; h < numWavetableCategories; ++h) {
        if (!eligible(h, drum))
            continue;
        const WavetableCategory &category = wavetableCategories[h];
        auto *submenu = new podoMenu(getWindow());
        for (int32_t j = 0; j < category.count; ++j) {
            char name[banks::kNameSize + 1] = {};
            std::memcpy(name, category.wavetables[j].name, banks::kNameSize);
            podoMenuFlags flags = 0;
            if (j % 32 == 0 && j != 0)
                flags = podo::menuNewColumn;
            else if (j % 8 == 0 && j != 0)
                flags = podo::menuSeparator;
            submenu->addItem(flags, uint32_t(category.number * 128 + j + 2), podoStr(name));
        }
        char caption[banks::kNameSize + 1] = {};
        std::memcpy(caption, category.name, banks::kNameSize);
        const bool gap = previousNumber >= 0 && category.number > previousNumber + 1;
        previousNumber = category.number;
        if (h == current) {
            submenu->check(uint32_t(category.number * 128 + location.index + 1), true);
            menu.appendSubmenu(podoMenuFlags((gap ? podo::menuSeparator : 0) | podo::menuChecked), submenu,
                               podoStr(caption));
        } else {
            menu.appendSubmenu(gap ? podo::menuSeparator : 0, submenu, podoStr(caption));
        }
    }
    menu.appendSeparator();
    menu.addItem(current < 0 ? podo::menuChecked : 0, 1, podoStr("<&empty>"));

    CRect r;
    scaleRect(r, label, 157, 0);
    const uint32_t id = menu.track(int32_t(r.left), int32_t(r.bottom), false);
    if (id >= 1)
        engine->setParameterValue(parameter, float(id - 1) / 16384.0f);
    requestRedraw();
}
