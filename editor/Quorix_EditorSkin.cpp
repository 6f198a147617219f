// Zoom and skin choice: the two menus of the setup page, storing the default zoom, and what a skin or
// zoom change means for this editor's own controls (page backgrounds, slider handles, the patch
// colours of the skin's colour file, the text colours of every page).
#include "editor/Quorix_Editor.h"

#include "editor-framework/controls/vgcControl.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "engine/Quorix.h"
#include "foundation/podoFileCFG.h"
#include "foundation/podoLog.h"
#include "foundation/podoMenu.h"
#include "foundation/podoShell.h"
#include "gui/CDrawContext.h"
#include "gui/CFontDesc.h"
#include "gui/CFrame.h"
#include "gui/CScrollView.h"
#include "gui/CSlider.h"
#include "gui/CViewContainer.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace qgui;

namespace {

// Drawn over the whole window when the skin cannot be drawn at all: what is missing and where it was
// looked for, instead of an empty window.
class MissingSkinNotice : public CView
{
public:
    MissingSkinNotice(const CRect &size, std::vector<std::string> lines) : CView(size), lines(std::move(lines)) {}
    void draw(CDrawContext *context) override
    {
        context->setFillColor(CColor{0x1B, 0x21, 0x30, 0xFF});
        context->drawRect(getViewSize(), kDrawFilled);
        CFontDesc font("DejaVu Sans", 13, kNormalFace);
        context->setFont(&font);
        CRect line(getViewSize().left + 24, getViewSize().top + 40, getViewSize().right - 24, getViewSize().top + 60);
        for (size_t i = 0; i < lines.size(); ++i) {
            context->setFontColor(i == 0 ? CColor{0xFF, 0xB0, 0x30, 0xFF} : CColor{0xE8, 0xEC, 0xF2, 0xFF});
            context->drawString(lines[i], line, kLeftText);
            line.offset(0, 24);
        }
        setDirty(false);
    }

private:
    std::vector<std::string> lines;
};

constexpr int32_t pageLeft = 157;
constexpr int32_t zoomSteps[] = {100, 125, 150, 175, 200, 225, 250, 275, 300};
// Zoom menu ids besides the steps: the system's scale, and storing the zoom in use as the default.
// Neither is a step, so a percent of 11 never means a zoom.
constexpr uint32_t zoomSystemId = 1;
constexpr uint32_t zoomStoreDefaultId = 11;

// Patch colours 0..8 by their key in the skin's colour file; 9 and 10 are the browser's own.
constexpr const char *patchColorKeys[9] = {"gray", "black", "blue", "green", "red",
                                           "orange", "purple", "cyan", "olive"};

void colourText(CControl *control, int32_t font, int32_t back)
{
    auto *display = dynamic_cast<CParamDisplay *>(control);
    if (!display)
        return;
    const CColor text = vgcSkinColor(font);
    display->setFontColor(text);
    if (auto *label = dynamic_cast<vgcTextLabel *>(control))
        label->setPartColor(text, 0);
    display->setBackColor(vgcSkinColor(back));
}

} // namespace

uint32_t Quorix_Editor::trackAt(podoMenu &menu, const CPoint *at, CControl *display)
{
    CPoint where;
    if (at) {
        where = *at;
    } else if (display) {
        CRect r;
        scaleRect(r, display, pageLeft, 0);
        where = CPoint(r.left, r.bottom);
    }
    return menu.track(int32_t(where.x), int32_t(where.y), false);
}

void Quorix_Editor::showZoomMenu(const CPoint *at)
{
    if (!editorOpen || !frame)
        return;
    const int32_t system = getDefaultZoom();
    const int32_t most = getMaxZoom();
    const int32_t stored = configurationCopy.editorScale;
    podoMenu menu(getWindow());
    char text[48];
    std::snprintf(text, sizeof text, "System : %d%%%s", int(system), stored <= 1 ? " (default)" : "");
    menu.addItem(0, zoomSystemId, podoStr(text));
    menu.appendSeparator();
    for (int32_t step : zoomSteps) {
        std::snprintf(text, sizeof text, "%d%%%s", int(step), step == stored ? " (default)" : "");
        // Steps the screen cannot hold are drawn grey, not only refused.
        menu.addItem(step > most ? podoMenuFlags(podo::menuDisabled | podo::menuGrayed) : podoMenuFlags(0), uint32_t(step),
                     podoStr(text));
    }
    if (zoomPercent <= 1) {
        menu.select(zoomSystemId);
        menu.check(uint32_t(system), true);
    } else {
        menu.select(uint32_t(zoomPercent));
    }
    menu.appendSeparator();
    if (zoomPercent > 1)
        std::snprintf(text, sizeof text, "Set %d%% as default", int(zoomPercent));
    else
        std::snprintf(text, sizeof text, "Set System scale as default");
    menu.addItem(zoomPercent == stored ? podo::menuDisabled : podoMenuFlags(0), zoomStoreDefaultId, podoStr(text));

    const uint32_t id = trackAt(menu, at, zoomLabel);
    if (id != 0)
        engine->changeSkin(podoStr(), int32_t(id));
}

void Quorix_Editor::showSkinMenu(const CPoint *at)
{
    if (!editorOpen || !frame)
        return;
    // The list is the process's; keep the names this menu offers.
    davalArrayString names = listSkins();
    const int32_t count = names.getCount();
    if (count == 0)
        return;
    podoMenu menu(getWindow());
    for (int32_t i = 0; i < count; ++i)
        menu.addItem(0, uint32_t(i + 1), *names.at(i));
    for (int32_t i = 0; i < count; ++i)
        if (names.at(i)->compare(skin->name) == 0) {
            menu.select(uint32_t(i + 1));
            break;
        }
    const uint32_t id = trackAt(menu, at, skinLabel);
    if (id >= 1 && id <= uint32_t(count))
        engine->changeSkin(*names.at(int32_t(id) - 1), 0);
}

void Quorix_Editor::setSkin(const podoStr &skinName, int32_t percent)
{
    if (percent != int32_t(zoomStoreDefaultId)) {
        podoVSTEditor::setSkin(skinName, percent);
        return;
    }
    // Only the default changes; the window keeps its zoom. The engine's block is taken first so that a
    // change it made since the last idle (a new skin name) is not written back over.
    engine->getConfiguration(&configurationCopy);
    configurationCopy.editorScale = zoomPercent;
    engine->setConfiguration(&configurationCopy);
}

void Quorix_Editor::updateControlBitmaps(int32_t percent)
{
    char text[32];
    std::snprintf(text, sizeof text, "%s%d%%", zoomPercent <= 1 ? "System : " : "", int(percent));
    setLabelText(zoomLabel, text);
    setLabelText(skinLabel, skin->name.getNarrow());

    if (skin != lastSkin) {
        const auto remap = [this](CBitmap *bitmap) -> CBitmap * {
            const int32_t i = imageIndex(bitmap, lastSkin);
            return i >= 0 && i < int32_t(skin->images.size()) ? skin->images[size_t(i)] : nullptr;
        };
        for (CViewContainer *container : pages)
            if (container)
                if (CBitmap *bitmap = remap(container->getBackground()))
                    container->setBackground(bitmap);
        // Faders, wheels, envelope handles and sequencer cells: the base gives controls their
        // backgrounds only.
        for (int32_t i = 0; i < getControlCount(); ++i)
            if (auto *slider = dynamic_cast<CSlider *>(getControlAt(i)))
                if (CBitmap *bitmap = remap(slider->getHandle()))
                    slider->setHandle(bitmap);
    }
    podoVSTEditor::updateControlBitmaps(percent);
}

bool Quorix_Editor::loadColors(const podoStr &path)
{
    if (!podoVSTEditor::loadColors(path))
        return false;
    podoFileCFG file(path);
    if (!file.isOpen())
        return false;
    file.load();
    for (int32_t i = 0; i < 9; ++i) {
        podoStr text;
        if (file.get(podoStr(patchColorKeys[i]), text) && !text.isEmpty())
            patchColors[i] = parseSkinColor(text);
    }
    file.close();
    applySkinColors();
    return true;
}

void Quorix_Editor::applySkinColors()
{
    // The channel list's texts are its channel labels (and the LCD it lends to other pages).
    for (int32_t page : {pageChannelList, pageKeyboard, pageMixer, pageSequencer, pageMelodyEdit, pageDrumEdit,
                         pageSetup}) {
        const ControlRange range = pageControlRange[page];
        for (uint32_t i = range.first; i < range.end; ++i) {
            CControl *control = getControlAt(int32_t(i));
            if (!control)
                continue;
            if (control == patchLabel || control == programNameField)
                colourText(control, skinFontGlossy, skinBackGlossy);
            else if (control->getTag() == editorTag::voiceCount)
                colourText(control, skinFontDisabled, skinBackDisabled);
            else
                colourText(control, skinFontDefault, skinBackDefault);
        }
    }
    if (auto *list = dynamic_cast<CScrollView *>(pages[pageBrowserCategories]))
        if (CScrollbar *bar = list->getVerticalScrollbar())
            bar->setScrollerColor(vgcSkinColor(skinBackDisabled));

    // Last, so that the colours that show a state (a channel switched off, the tempo following the
    // host) are not reset to the plain ones.
    updateChannelButtons(-1);
    updateSyncButton();
}

std::string Quorix_Editor::missingSkinText() const
{
    std::string text;
    for (const std::string &line : missingSkinLines)
        text += line + "\n";
    return text;
}

bool Quorix_Editor::checkSkinDrawable()
{
    missingSkinLines.clear();
    const std::string root = getSkinsRoot().getNarrow();
    const std::string name = skin->name.getNarrow();
    // The pages cannot be drawn without the list of images or the backgrounds of the two pages always shown.
    if (!podo::pathExists(getSkinsRoot() + "images.lst")) {
        missingSkinLines = {"The editor cannot be drawn: its skins are missing.",
                            "Looked for the image list " + root + "images.lst",
                            "and the skin \"" + name + "\" in " + root + name + "/",
                            "Copy the \"skins\" folder that comes with Quorix.so beside it,",
                            "then close and open the editor again."};
    } else {
        for (const char *image : {"01-back-keyboard", "02-back-channel"})
            if (!findImage(image)) {
                missingSkinLines = {"The editor cannot be drawn: the skin \"" + name + "\" is incomplete.",
                                    std::string("Missing: ") + image + ".png",
                                    "Looked for it in " + root + name + "/",
                                    "Copy the \"skins\" folder that comes with Quorix.so beside it,",
                                    "then close and open the editor again."};
                break;
            }
    }
    if (missingSkinLines.empty() || !frame)
        return missingSkinLines.empty();
    if (!missingSkinNotice) {
        missingSkinNotice = new MissingSkinNotice(CRect(0, 0, 745, 595), missingSkinLines);
        frame->addView(missingSkinNotice);
    }
    podo::logMessage(4, true, "Quorix_Editor: %s", missingSkinText().c_str());
    return false;
}
