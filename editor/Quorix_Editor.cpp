// The editor object: construction and destruction, the frame's hooks, and the page containers.
#include "editor/Quorix_Editor.h"

#include "banks/PatchBanks.h"
#include "editor-framework/controls/vgcButtons.h"
#include "editor-framework/controls/vgcControl.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "engine/Quorix.h"
#include "gui/CFrame.h"
#include "gui/CScrollView.h"
#include "gui/CViewContainer.h"
#include "host/podoVST.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace qgui;

namespace {

struct PageLayout {
    int32_t x, y;
    const char *image;
    int32_t width, height; // when the skin has no image
};

constexpr PageLayout pageLayouts[editorPageCount] = {
    {0, 0, "02-back-channel", 157, 446},  {0, 446, "01-back-keyboard", 745, 149},
    {157, 0, "03-back-mixer", 588, 446},  {157, 0, "04-back-browser", 588, 446},
    {0, 0, nullptr, 0, 0},                {157, 0, "05-back-seq", 588, 446},
    {157, 0, "06-back-melody", 588, 446}, {157, 0, "07-back-drum", 588, 446},
    {157, 0, "08-back-setup", 588, 446},
};

constexpr CColor transparentWhite{255, 255, 255, 0};

} // namespace

Quorix_Editor::Quorix_Editor(Quorix *engine) : podoVSTEditor(engine), engine(engine)
{
    {
        podoSyncCriticalBlock block(&processLock());
        createSharedFonts();
    }
    engine->getConfiguration(&configurationCopy);
    static const CColor defaults[11] = {
        {0x77, 0x88, 0xAA, 0xFF}, {0x0A, 0x16, 0x47, 0xFF}, {0x00, 0x33, 0xEE, 0xFF}, {0x05, 0x77, 0x05, 0xFF},
        {0xEE, 0x11, 0x00, 0xFF}, {0xCC, 0x60, 0x10, 0xFF}, {0x61, 0x11, 0xCB, 0xFF}, {0x11, 0x77, 0xBB, 0xFF},
        {0x70, 0x70, 0x10, 0xFF}, {0x77, 0x88, 0xAA, 0xFF}, {0x99, 0x99, 0xBB, 0xFF}};
    std::copy(std::begin(defaults), std::end(defaults), patchColors);
    for (auto &wheels : wheelValues) {
        wheels[0] = 0.5f;
        wheels[1] = 0.0f;
    }

    podoStr root = engine->getPaths().appFolder;
    root.addTrailingSeparator();
    root += "skins";
    root.addTrailingSeparator();
    setSkinsRoot(root);

    loadImageList();
    char name[sizeof configurationCopy.skinName + 1] = {};
    std::memcpy(name, configurationCopy.skinName, sizeof configurationCopy.skinName - 1);
    setSkin(podoStr(name), configurationCopy.editorScale);

    backgroundArea = addArea(0, 0, 745, 595, editorTag::background, transparentWhite);

    buildMainPages();
    buildMixerPage();
    buildBrowserPage();
    buildSequencerPage();
    buildEditPages();
    buildSetupPage();

    for (int32_t page = 0; page < editorPageCount; ++page)
        createPage(page, pageLayouts[page].image);

    applySkinColors();
    rebuildControlIndex();
}

Quorix_Editor::~Quorix_Editor()
{
    // The frame goes first, while this object's hooks still answer.
    close();
    removeAllPages();
    releaseAllPageControls();
    if (backgroundArea) {
        backgroundArea->forget();
        backgroundArea = nullptr;
    }
    podoSyncCriticalBlock block(&processLock());
    if (podoVST::getInstanceCount() <= 1)
        releaseSharedFonts();
}

bool Quorix_Editor::onOpen(void *)
{
    if (!frame || editorOpen)
        return false;
    editorOpen = true;
    frame->addView(backgroundArea);
    engine->getConfiguration(&configurationCopy);
    char name[sizeof configurationCopy.skinName + 1] = {};
    std::memcpy(name, configurationCopy.skinName, sizeof configurationCopy.skinName - 1);
    setSkin(podoStr(name), zoomPercent);
    if (!checkSkinDrawable())
        return true; // the notice stands instead of pages that cannot be drawn
    requestRedraw();
    return true;
}

void Quorix_Editor::onClose()
{
    clearMessages();
    if (frame && missingSkinNotice) {
        frame->removeView(missingSkinNotice, true);
        missingSkinNotice = nullptr;
    }
    if (frame) {
        hideOtherPages(-1);
        frame->removeView(backgroundArea, false);
        editorOpen = false;
    }
    engine->savePendingAutomation();
}

void Quorix_Editor::onIdle()
{
    podoVSTEditorBase::idle();
    engine->getConfiguration(&configurationCopy);

    bool redraw;
    {
        podoSyncCriticalBlock block(&editorLock);
        redraw = redrawPending;
        redrawPending = false;
    }
    if (redraw) {
        if (editorOpen) {
            hideOtherPages(-1);
            showReturnPage();
        } else {
            engine->applyProgram(false);
            refreshAll();
        }
        if (frame)
            frame->invalid();
    }
    if (lcdFocusResetPending) {
        lcdFocusResetPending = false;
        if (frame && frame->getFocusView())
            frame->setFocusView(nullptr);
    }

    if (frame) {
        CPoint mouse;
        getMousePosition(mouse);
        CView *view = frame->getViewAt(mouse, true);
        auto *control = dynamic_cast<CControl *>(view);
        if (heldKey >= 0) {
            const int32_t tag = control ? control->getTag() : -1;
            if (tag >= editorTag::firstKey && tag <= editorTag::lastKey && tag != editorTag::firstKey + heldKey) {
                const int32_t oldKey = heldKey;
                const int32_t newKey = tag - editorTag::firstKey;
                heldKey = newKey;
                float velocity = 0.0f;
                if (auto *key = dynamic_cast<vgcPlayKeyboard *>(control))
                    velocity = key->velocityAt(CPoint(mouse.x, mouse.y - pageLayouts[pageKeyboard].y));
                velocity = keyVelocity(newKey, control, velocity);
                setKeyState(currentChannel, newKey + 21, velocity, true);
                setKeyState(currentChannel, oldKey + 21, 0.0f, true);
            }
        } else if (configurationCopy.hoverDisplay == 1 && control && getEditCount() == 0 &&
                   frame->getFocusView() != lcdValueField) {
            showParameterInLcd(control->getTag(), false);
        }
    }
    // A MIDI learn on the audio thread leaves the file to be written here.
    engine->savePendingAutomation();
}

void Quorix_Editor::onTimer(float seconds)
{
    if (!(seconds >= 0.0f))
        seconds = 0.033f;
    if (seconds == 0.0f)
        return;
    for (int32_t ch = 0; ch < channelCount; ++ch) {
        if (channelLedTimers[ch] <= 0.0f)
            continue;
        channelLedTimers[ch] -= seconds;
        if (channelLedTimers[ch] <= 0.0f) {
            channelLedTimers[ch] = 0.0f;
            if (CControl *led = channelControls[ch][activityIndicator]) {
                led->setValue(0.0f);
                led->invalid();
            }
        }
    }
    if ((pageShown[pageMelodyEdit] || pageShown[pageDrumEdit]) && engine->getChannelMode(currentChannel) == 1) {
        for (int32_t slot = 0; slot < drumSlotCount; ++slot) {
            bool expired = false;
            {
                podoSyncCriticalBlock block(&editorLock);
                float &timer = drumLedTimers[currentChannel][slot];
                if (timer > 0.0f) {
                    timer -= seconds;
                    if (timer <= 0.0f) {
                        timer = 0.0f;
                        expired = true;
                    }
                }
            }
            if (expired)
                refreshDrumLeds(slot);
        }
    }
}

void Quorix_Editor::onSuspend() { clearNoteDisplays(-1); }

void Quorix_Editor::onResume() { refreshAll(); }

void Quorix_Editor::getCurrentChannel(int32_t *channel)
{
    podoSyncCriticalBlock block(&editorLock);
    if (channel)
        *channel = currentChannel;
}

void Quorix_Editor::requestRedraw()
{
    podoSyncCriticalBlock block(&editorLock);
    redrawPending = true;
}

bool Quorix_Editor::isSharedControl(CControl *control) const
{
    if (!control)
        return false;
    if (control == lcdNameLabel || control == lcdValueField)
        return true;
    for (const auto &block : systemEffectControls)
        for (CControl *c : block)
            if (c == control)
                return true;
    for (int32_t slot = 9; slot <= 16; ++slot)
        if (gridAreaTable[slot] == control)
            return true;
    return false;
}

void Quorix_Editor::createPage(int32_t page, const char *imageName)
{
    if (page < 0 || page >= editorPageCount || pages[page])
        return;
    const PageLayout &layout = pageLayouts[page];
    if (page == pageBrowserCategories) {
        const int32_t categories = std::max<int32_t>(numPatchCategories, 0);
        const int32_t height = std::max(363, 14 * categories - 1);
        auto *scroll = new CScrollView(CRect(452, 41, 554, 404), CRect(0, 0, 102, height),
                                       CScrollView::kHorizontalScrollbar | CScrollView::kVerticalScrollbar, 3);
        scroll->setTransparency(true);
        if (CScrollbar *bar = scroll->getVerticalScrollbar()) {
            bar->setScrollerColor(vgcSkinColor(skinBackDisabled));
            bar->setFrameColor(CColor{0, 0, 0, 0});
            bar->setBackgroundColor(CColor{0, 0, 0, 0});
            bar->setWheelInc(2.0f / float(std::max(categories - 26, 2)));
            CRect r = bar->getViewSize();
            r.top -= 1;
            bar->setViewSize(r);
        }
        pages[page] = scroll;
    } else {
        CBitmap *image = findImage(imageName);
        const int32_t w = image ? int32_t(getCurrentImageRect().getWidth()) : layout.width;
        const int32_t h = image ? int32_t(getCurrentImageRect().getHeight()) : layout.height;
        pages[page] = addImageContainer(layout.x, layout.y, w, h, imageName);
        pages[page]->setTransparency(true);
    }
    const ControlRange range = pageControlRange[page];
    for (uint32_t i = range.first; i < range.end; ++i) {
        CControl *control = getControlAt(int32_t(i));
        // The LCD and the system-effect blocks sit where the right-hand pages are; attached with the
        // always-shown channel list they would belong to it and never to the page that shows them.
        if (control && !(page == pageChannelList && isSharedControl(control)))
            pages[page]->addView(control);
    }
    if (page == pageMixer || page == pageMelodyEdit || page == pageDrumEdit)
        attachSharedControls(pages[page]);
}

void Quorix_Editor::attachSharedControls(CViewContainer *container)
{
    if (!container)
        return;
    if (lcdNameLabel)
        container->addView(lcdNameLabel);
    if (lcdValueField)
        container->addView(lcdValueField);
    for (const auto &block : systemEffectControls)
        for (CControl *c : block)
            if (c)
                container->addView(c);
    for (int32_t slot = 9; slot <= 16; ++slot)
        if (gridAreaTable[slot])
            container->addView(gridAreaTable[slot]);
}

void Quorix_Editor::removePage(int32_t page)
{
    if (page < 0 || page >= editorPageCount || !pages[page])
        return;
    CViewContainer *container = pages[page];
    container->removeAll(false);
    const bool last = container->getNbReference() <= 1;
    container->forget();
    if (last)
        pages[page] = nullptr;
}

void Quorix_Editor::removeAllPages()
{
    for (int32_t page = 0; page < editorPageCount; ++page)
        removePage(page);
}

void Quorix_Editor::releasePageControls(int32_t page)
{
    if (page < 0 || page >= editorPageCount)
        return;
    const ControlRange range = pageControlRange[page];
    for (uint32_t i = range.first; i < range.end; ++i)
        if (CControl *control = getControlAt(int32_t(i)))
            control->forget();
    pageControlRange[page] = ControlRange{};
}

void Quorix_Editor::releaseAllPageControls()
{
    for (int32_t page = 0; page < editorPageCount; ++page)
        releasePageControls(page);
}

void Quorix_Editor::notePlaced(CView *view)
{
    if (view)
        areaOrigin = view->getViewSize().getTopLeft();
}
