// Value fields edited by choosing from a popup menu: velocity and key windows, semitones and
// transposition, the voice limits. Each menu marks the current value and opens under its field.
#include "editor/Quorix_Editor.h"

#include "editor/EditorText.h"
#include "engine/Quorix.h"
#include "foundation/podoMenu.h"
#include "gui/CFrame.h"

#include <cmath>
#include <cstdio>
#include <iterator>

using namespace qgui;

namespace {

constexpr int32_t pageLeft = 157;
constexpr int32_t voiceModes[] = {2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64};
constexpr int32_t voiceCounts[] = {16, 32, 48, 64, 96, 128, 160, 256, 512, 768, 1024};

// x rounded half away from zero.
uint32_t nearest(double x) { return uint32_t(int32_t(std::lround(x))); }

void addNumber(podoMenu &menu, podoMenuFlags flags, uint32_t id, const char *format, int value)
{
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    menu.addItem(flags, id, podoStr(text));
}

} // namespace

namespace editortext {

void addNoteColumns(podoMenu &menu)
{
    for (int32_t column = 0; column < 11; ++column) {
        for (int32_t n = 12 * column + 11; n >= 12 * column; --n) {
            const podoMenuFlags flags = n == 12 * column + 11 ? podo::menuNewColumn : podoMenuFlags(0);
            if (n > 127) {
                menu.addItem(flags | podo::menuDisabled, uint32_t(n + 257), podoStr(" "));
                continue;
            }
            char text[8];
            note(text, sizeof text, n);
            menu.addItem(flags, uint32_t(n + 1), podoStr(text));
        }
    }
}

} // namespace editortext

// Marks the current value's item, tracks the menu under the field and answers the chosen id
// (0 when dismissed or when the editor is not open).
uint32_t Quorix_Editor::trackPicker(podoMenu &menu, CControl *control, uint32_t markedId)
{
    menu.select(markedId); // no item with that id: nothing is marked
    CRect r;
    scaleRect(r, control, pageLeft, 0);
    return menu.track(int32_t(r.left), int32_t(r.bottom), false);
}

void Quorix_Editor::pickStep(podoMenu &menu, CControl *control, int32_t parameter, int32_t steps, bool automated)
{
    const uint32_t id = trackPicker(menu, control, nearest(engine->getParameterValue(parameter) * float(steps)) + 1);
    if (id < 1 || id > uint32_t(steps) + 1)
        return;
    const float value = float(id - 1) / float(steps);
    if (automated)
        engine->setParameterValueAutomated(parameter, value);
    else
        engine->setParameterValue(parameter, value);
}

void Quorix_Editor::showValueMenu(CControl *control, int32_t parameter)
{
    if (!editorOpen || !getFrame())
        return;
    podoMenu menu(getWindow());
    for (int32_t n = 0; n <= 127; ++n)
        addNumber(menu, n % 16 == 0 ? podo::menuNewColumn : 0, uint32_t(n + 1), "%d", int(n));
    pickStep(menu, control, parameter, 127, true);
}

void Quorix_Editor::showNoteMenu(CControl *control, int32_t parameter)
{
    if (!editorOpen || !getFrame())
        return;
    podoMenu menu(getWindow());
    editortext::addNoteColumns(menu);
    pickStep(menu, control, parameter, 127, true);
}

void Quorix_Editor::showTransposeMenu(CControl *control, int32_t parameter)
{
    if (!editorOpen || !getFrame())
        return;
    podoMenu menu(getWindow());
    // Four columns below zero (each read downwards away from it), zero alone, four above.
    for (int32_t top : {-37, -25, -13, -1})
        for (int32_t s = top; s > top - 12; --s)
            addNumber(menu, s == top ? podo::menuNewColumn : 0, uint32_t(s + 49), "%+d", int(s));
    menu.addItem(podo::menuNewColumn, 49, podoStr("0"));
    for (int32_t s = 1; s <= 48; ++s)
        addNumber(menu, (s - 1) % 12 == 0 ? podo::menuNewColumn : 0, uint32_t(s + 49), "%+d", int(s));
    pickStep(menu, control, parameter, 96, true);
}

void Quorix_Editor::showTransposeMenuB(CControl *control, int32_t parameter) { showTransposeMenu(control, parameter); }

void Quorix_Editor::showVoiceModeMenu(CControl *control, int32_t parameter, int32_t channel)
{
    if (!editorOpen || !getFrame())
        return;
    podoMenu menu(getWindow());
    const int32_t mode = engine->getChannelMode(channel);
    if (mode == 0) {
        menu.addItem(0, 1, podoStr("Mono Legato"));
        menu.addItem(0, 2, podoStr("Mono Retrigger"));
        menu.appendSeparator();
    } else if (mode == 1) {
        menu.addItem(0, 2, podoStr("1"));
    }
    for (int32_t n : voiceModes)
        addNumber(menu, 0, uint32_t(n + 1), "%d", int(n));
    pickStep(menu, control, parameter, 64, false);
}

void Quorix_Editor::showCountMenu(CControl *control, int32_t parameter)
{
    if (!editorOpen || !getFrame())
        return;
    podoMenu menu(getWindow());
    for (int32_t n : voiceCounts)
        addNumber(menu, 0, uint32_t(n + 1), "%d", int(n));
    const uint32_t id = trackPicker(menu, control, nearest(engine->getParameterValue(parameter) * 1023.0f) + 2);
    if (id >= 2 && id <= 1025)
        engine->setParameterValue(parameter, float(id - 2) * 0.0009775171f);
}
