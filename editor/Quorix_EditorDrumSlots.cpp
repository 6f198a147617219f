// A drum cell's menu: copy, paste and swap a slot's 17 values through one clipboard of the process,
// and load or save them as a drum-slot file.
#include "editor/Quorix_Editor.h"

#include "engine/ConfigurationBlock.h"
#include "engine/EngineLimits.h"
#include "engine/ParameterIndex.h"
#include "engine/Quorix.h"
#include "foundation/podoFile.h"
#include "foundation/podoMenu.h"
#include "foundation/podoShell.h"
#include "foundation/podoWnd.h"
#include "gui/CFrame.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

using namespace qgui;
using namespace engine;

namespace {

constexpr int32_t slotValueCount = DrumSlotClipboard::valueCount;

podoStr fileNameOf(const podoStr &path)
{
    const std::string text = path.getNarrow();
    const size_t slash = text.find_last_of("\\/");
    return podoStr((slash == std::string::npos ? text : text.substr(slash + 1)).c_str());
}

} // namespace

DrumSlotClipboard &drumSlotClipboard()
{
    static DrumSlotClipboard clipboard;
    return clipboard;
}

int32_t Quorix_Editor::drumSlotParameter(int32_t slot, int32_t i) const
{
    return currentChannel * kChannelParameterCount + local::FirstInstrument + 17 * slot + i;
}

void Quorix_Editor::copyDrumSlot(int32_t slot)
{
    if (slot < 0 || slot >= drumSlotCount)
        return;
    DrumSlotClipboard &clip = drumSlotClipboard();
    for (int32_t i = 0; i < slotValueCount; ++i) {
        const int32_t parameter = drumSlotParameter(slot, i);
        clip.values[i] = parameter <= kLastParameterIndex ? engine->getParameterValue(parameter) : 0.0f;
    }
    clip.filled = true;
}

void Quorix_Editor::pasteDrumSlot(int32_t slot)
{
    if (slot < 0 || slot >= drumSlotCount)
        return;
    const DrumSlotClipboard &clip = drumSlotClipboard();
    for (int32_t i = 0; i < slotValueCount; ++i)
        engine->setParameterValue(drumSlotParameter(slot, i), clip.values[i]);
}

void Quorix_Editor::swapDrumSlot(int32_t slot)
{
    if (slot < 0 || slot >= drumSlotCount)
        return;
    DrumSlotClipboard &clip = drumSlotClipboard();
    for (int32_t i = 0; i < slotValueCount; ++i) {
        const float incoming = clip.values[i];
        clip.values[i] = engine->getParameterValue(drumSlotParameter(slot, i));
        engine->setParameterValue(drumSlotParameter(slot, i), incoming);
    }
}

int32_t Quorix_Editor::writeDrumSlotFile(int32_t slot, const podoStr &path)
{
    if (slot < 0 || slot >= drumSlotCount)
        return fileNotAccessible;
    uint8_t bytes[1 + 4 * slotValueCount];
    bytes[0] = engine->getByteOrderMark();
    for (int32_t i = 0; i < slotValueCount; ++i) {
        const float value = engine->getParameterValue(drumSlotParameter(slot, i));
        std::memcpy(bytes + 1 + 4 * i, &value, sizeof value);
    }
    podoFile file;
    if (file.open(path, podoFileFlags::write | podoFileFlags::create) != 0)
        return fileNotAccessible;
    // A short write (a full disk) is not reported as a saved slot.
    const bool written = file.write(bytes, 1, sizeof bytes) == sizeof bytes;
    file.close();
    return written ? fileOk : fileNotAccessible;
}

int32_t Quorix_Editor::readDrumSlotFile(int32_t slot, const podoStr &path)
{
    if (slot < 0 || slot >= drumSlotCount)
        return fileNotAccessible;
    podoFile file;
    if (file.open(path, podoFileFlags::read) != 0)
        return fileNotAccessible;
    uint8_t bytes[1 + 4 * slotValueCount] = {};
    const size_t got = file.read(bytes, 1, sizeof bytes);
    file.close();
    if (got < 1)
        return fileOk;
    const bool swap = bytes[0] != engine->getByteOrderMark();
    // Only values read completely are set; the file is not trusted with NaN or values out of range.
    const int32_t complete = int32_t((got - 1) / 4);
    for (int32_t i = 0; i < complete; ++i) {
        uint32_t bits;
        std::memcpy(&bits, bytes + 1 + 4 * i, sizeof bits);
        if (swap)
            bits = __builtin_bswap32(bits);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value))
            engine->setParameterValue(drumSlotParameter(slot, i), std::clamp(value, 0.0f, 1.0f));
    }
    return fileOk;
}

void Quorix_Editor::showDrumSlotMenu(CControl *control, int32_t slot)
{
    if (!frame || !editorOpen || !control || slot < 0 || slot >= drumSlotCount)
        return;
    const bool filled = drumSlotClipboard().filled;
    podoMenu menu(getWindow());
    menu.addItem(0, 11, podoStr("&Copy Drum Slot"));
    menu.addItem(filled ? 0 : podo::menuGrayed, 12, podoStr("&Paste Drum Slot"));
    menu.addItem(filled ? 0 : podo::menuGrayed, 13, podoStr("S&wap Drum Slot"));
    menu.appendSeparator();
    menu.addItem(0, 21, podoStr("&Load Drum Slot"));
    menu.addItem(0, 22, podoStr("&Save Drum Slot"));
    CRect r;
    scaleRect(r, control, 157, 0);
    const uint32_t id = menu.track(int32_t(r.left), int32_t(r.bottom), false);
    switch (id) {
    case 11: copyDrumSlot(slot); break;
    case 12: pasteDrumSlot(slot); break;
    case 13: swapDrumSlot(slot); break;
    case 21:
    case 22: {
        const bool save = id == 22;
        const podoStr key(save ? "Path - Drum Slot Save" : "Path - Drum Slot Load");
        podoStr last;
        if (!engine->readMachineRegistryString(key, &last))
            last = podoStr();
        podoStr path = last.isEmpty() ? podoStr() : fileNameOf(last);
        if (!podo::fileDialog(save, path, last, podoStr(".pds"),
                              podoStr("Drum Slot"), podoStr("Quorix"), getWindow()))
            break;
        engine->writeMachineRegistryString(key, path);
        const int32_t code = save ? writeDrumSlotFile(slot, path) : readDrumSlotFile(slot, path);
        if (code != fileOk)
            podo::showError(path, podoStr(dataFileErrorText(code)), podoStr("Kestrane Quorix"), getWindow());
        break;
    }
    default:
        return; // dismissed: nothing changes, nothing is sent again
    }
    engine->applyDrumSlots(slot, false);
    frame->invalid();
}
