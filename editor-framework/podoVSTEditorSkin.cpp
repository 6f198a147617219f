// The skin operations of the editor: image list, skin folders, image files and their zoom variants,
// colours, and the records shared between the editors of the process.
#include "editor-framework/controls/vgcControl.h"
#include "editor-framework/podoVSTEditor.h"
#include "foundation/podoFile.h"
#include "foundation/podoFileCFG.h"
#include "foundation/podoFileFind.h"
#include "foundation/podoLog.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/CSlider.h"
#include "host/podoVST.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

using namespace qgui;

davalArrayString skinImageNames;
davalArrayString skinNames;
SkinRecord sharedSkin;

namespace {

const char *const colourKeys[skinColorCount] = {
    "font-default", "font-second", "font-glossy", "font-highlight", "font-disabled",
    "back-default", "back-second", "back-glossy", "back-highlight", "back-disabled",
};

bool pathExists(const podoStr &path)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::u8path(path.getNarrow()), error);
}

bool sharedName(const char *name) { return name && name[0] == '$'; }

} // namespace

bool readImageNames(const podoStr &path, davalArrayString &names)
{
    podoFile file;
    if (file.open(path, podoFileFlags::read) != 0)
        return false;
    // Two passes: count the lines up to the first empty one, then read them into room made once.
    int32_t lines = 0;
    while (file.readLine(nullptr) > 0)
        ++lines;
    names.reserve(names.getCount() + lines);
    file.rewind();
    podoStr line;
    for (int32_t i = 0; i < lines && file.readLine(&line) > 0; ++i) {
        line.trim(" \t\r\n");
        if (!line.isEmpty())
            names.add(line);
    }
    file.close();
    return true;
}

CColor parseSkinColor(const podoStr &text)
{
    const uint32_t v = text.toULong(0, 16);
    return CColor{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

bool podoVSTEditor::loadImageList()
{
    if (skinImageNames.getCount() > 0)
        return false;
    const podoStr path = skinsRoot + "images.lst";
    if (!readImageNames(path, skinImageNames)) {
        podo::logMessage(4, true, "podoVSTEditor: failed to load image list : %s", path.getNarrow());
        return false;
    }
    skinImageNames.sort(true);
    return true;
}

davalArrayString &podoVSTEditor::listSkins()
{
    skinNames.removeAll();
    podoStr pattern = skinsRoot;
    pattern.addTrailingSeparator();
    pattern += "*";
    podoFileFind find;
    podoStr name;
    uint32_t attributes = 0;
    for (bool more = find.findFirst(pattern, &name, &attributes); more; more = find.findNext(&name, &attributes))
        if (attributes & podoFileAttributes::folder)
            skinNames.add(name);
    find.close();
    skinNames.sort(true);
    return skinNames;
}

void podoVSTEditor::imagePath(podoStr &out, const podoStr &skinName, const char *name)
{
    out = skinsRoot;
    if (!sharedName(name)) {
        out += skinName;
        out.addTrailingSeparator();
    }
    out += name ? name : "";
}

int32_t podoVSTEditor::findImageFile(podoStr *out, const podoStr &skinName, const char *name, int32_t percent)
{
    podoStr base;
    imagePath(base, skinName, name);
    const auto variant = [&](int32_t k) {
        podoStr candidate = base;
        if (k > 1) {
            podoStr suffix;
            suffix.format("@%dx", int(k));
            candidate += suffix;
        }
        candidate += ".png";
        return candidate;
    };
    // The smallest variant at least as large as the zoom, so no bitmap is ever drawn larger than it was
    // made; a skin without one is drawn from its largest.
    constexpr int32_t largestVariant = 4;
    const int32_t wanted = std::clamp((std::max(percent, int32_t(100)) + 99) / 100, int32_t(1), largestVariant);
    for (int32_t k = wanted; k <= largestVariant; ++k)
        if (pathExists(variant(k))) {
            if (out)
                *out = variant(k);
            return k * 100;
        }
    for (int32_t k = wanted - 1; k >= 1; --k)
        if (pathExists(variant(k))) {
            if (out)
                *out = variant(k);
            return k * 100;
        }
    if (!sharedName(name))
        podo::logMessage(4, true, "podoVSTEditor: failed to find image file : %s", base.getNarrow());
    if (out)
        *out = base + ".png";
    return 0;
}

bool podoVSTEditor::loadImages(const podoStr &skinName, int32_t percent)
{
    const int32_t n = skinImageNames.getCount();
    if (n == 0)
        return false;
    const int32_t z = std::max(findImageFile(nullptr, skinName, skinImageNames.at(0)->getNarrow(), percent), 100);
    if (skin->name != skinName || skin->zoom != z) {
        if (skin == &sharedSkin) {
            podoSyncCriticalBlock block(&processLock());
            if (podoVST::getInstanceCount() > 1)
                skin = new SkinRecord; // the others keep showing the shared record
        }
        skin->name = skinName;
        skin->zoom = z;
        podo::logMessage(1, false, "podoVSTEditor::loadImages(%s %d%%)", skinName.getNarrow(), int(z));
    }
    if (int32_t(skin->images.size()) != n)
        skin->images.resize(size_t(n), nullptr);
    for (int32_t i = 0; i < n; ++i) {
        podoStr path;
        const int32_t k = findImageFile(&path, skinName, skinImageNames.at(i)->getNarrow(), z);
        if (k < 1)
            continue;
        std::shared_ptr<CPlatformBitmap> pixels = CPlatformBitmap::createFromPath(path.getNarrow());
        if (!pixels) {
            podo::logMessage(4, true, "podoVSTEditor: failed to load image file : %s", path.getNarrow());
            continue;
        }
        // Each file is drawn at the zoom of the variant it is, so every image keeps its logical size even
        // where a skin lacks some variants.
        pixels->setScaleFactor(k >= 100 ? k * 0.01 : 1.0);
        CBitmap *&slot = skin->images[size_t(i)];
        if (slot)
            slot->setPlatformBitmap(std::move(pixels));
        else
            slot = new CBitmap(std::move(pixels));
    }
    return true;
}

bool podoVSTEditor::loadSkin(const podoStr &skinName, int32_t percent)
{
    podoStr name = skinName;
    const podoStr folder = skinsRoot + name;
    if (!pathExists(folder)) {
        podo::logMessage(3, true, "podoVSTEditor: skin folder not found: %s", folder.getNarrow());
        name = "Default";
    }
    podo::logMessage(1, false, "podoVSTEditor: loadSkin(  %s %d%%  )", name.getNarrow(), int(percent));
    const bool images = loadImages(name, percent);
    const bool colours = loadSkinColors();
    if (!images || !colours)
        return false;
    if (frame)
        frame->invalid();
    return true;
}

void podoVSTEditor::setSkin(const podoStr &skinName, int32_t percent)
{
    if (!skinName.isEmpty())
        skin->name = skinName;
    if (percent > 0 && percent != zoomPercent)
        zoomPercent = percent;
    setZoom(zoomPercent, 0, 0);
    const int32_t z = int32_t(zoomFactor * 100);
    loadSkin(podoStr(skin->name), z);
    updateControlBitmaps(z);
}

void podoVSTEditor::updateControlBitmaps(int32_t)
{
    if (skin == lastSkin)
        return;
    for (int32_t i = 0; i < getControlCount(); ++i) {
        CControl *control = getControlAt(i);
        const int32_t index = control ? imageIndex(control->getBackground(), lastSkin) : -1;
        if (index >= 0 && index < int32_t(skin->images.size()))
            control->setBackground(skin->images[size_t(index)]);
    }
    lastSkin = skin;
}

int32_t podoVSTEditor::imageIndex(CBitmap *bitmap, SkinRecord *record)
{
    if (!record)
        record = skin;
    if (!bitmap)
        return -1;
    for (size_t i = 0; i < record->images.size(); ++i)
        if (record->images[i] == bitmap)
            return int32_t(i);
    return -1;
}

bool podoVSTEditor::loadSkinColors()
{
    podoStr path = skinsRoot + skin->name;
    path.addTrailingSeparator();
    path += "colors.txt";
    return loadColors(path);
}

bool podoVSTEditor::loadColors(const podoStr &path)
{
    podoFileCFG file(path);
    if (!file.isOpen())
        return false;
    file.load();
    skin->colours.assign(skinColorCount, kWhiteCColor);
    for (int32_t i = 0; i < skinColorCount; ++i) {
        podoStr text;
        if (file.get(podoStr(colourKeys[i]), text) && !text.isEmpty())
            skin->colours[size_t(i)] = parseSkinColor(text);
    }
    file.close();
    publishSkinColors();
    return true;
}

void podoVSTEditor::publishSkinColors() { vgcSetSkinColors(skin->colours); }

CBitmap *podoVSTEditor::findImage(const char *name)
{
    currentImage = nullptr;
    currentImageRect = CRect();
    if (skin->images.empty() || !name)
        return nullptr;
    const int32_t index = skinImageNames.findSorted(podoStr(name));
    if (index >= 0 && index < int32_t(skin->images.size()) && skin->images[size_t(index)]) {
        currentImage = skin->images[size_t(index)];
        currentImageRect = CRect(0, 0, currentImage->getWidth(), currentImage->getHeight());
    }
    if (!currentImage)
        podo::logMessage(3, true, "podoVSTEditor::findImage(%s) - not found", name);
    return currentImage;
}

bool podoVSTEditor::setControlImage(CControl *control, const char *name)
{
    if (!control)
        return false;
    if (!name) {
        control->setBackground(nullptr);
        return false;
    }
    CBitmap *bitmap = findImage(name);
    if (!bitmap)
        return false;
    control->setBackground(bitmap);
    return true;
}

bool podoVSTEditor::setHandleImage(CSlider *slider, const podoStr &name)
{
    CBitmap *bitmap = findImage(name.getNarrow());
    if (!bitmap || !slider)
        return false;
    slider->setHandle(bitmap);
    return true;
}

// Views that still hold the bitmap keep a valid object that draws nothing.
bool podoVSTEditor::releaseBitmap(CBitmap *bitmap)
{
    if (!bitmap)
        return false;
    bitmap->setPlatformBitmap(nullptr);
    bitmap->forget();
    return true;
}

bool podoVSTEditor::releaseImage(const char *name)
{
    if (skin->images.empty() || !name)
        return false;
    const int32_t index = skinImageNames.findSorted(podoStr(name));
    if (index < 0 || index >= int32_t(skin->images.size()) || !skin->images[size_t(index)])
        return false;
    releaseBitmap(skin->images[size_t(index)]);
    skin->images[size_t(index)] = nullptr;
    return true;
}

void podoVSTEditor::freeImages(SkinRecord *record)
{
    if (!record)
        return;
    for (CBitmap *bitmap : record->images)
        releaseBitmap(bitmap);
    std::vector<CBitmap *>().swap(record->images);
    std::vector<CColor>().swap(record->colours);
}

void podoVSTEditor::freeSkin()
{
    podoSyncCriticalBlock block(&processLock());
    const int32_t instances = podoVST::getInstanceCount();
    if (skin == &sharedSkin && instances > 1)
        return;
    if (instances <= 1 && skin != &sharedSkin)
        freeImages(&sharedSkin);
    freeImages(skin);
    if (skin != &sharedSkin)
        delete skin;
    skin = lastSkin = &sharedSkin;
}
