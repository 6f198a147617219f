// Page switching: the channel list and keyboard always, beside them one of the five views chosen by
// master parameter 6.
#include "editor/Quorix_Editor.h"

#include "engine/Quorix.h"
#include "gui/CFrame.h"
#include "gui/CViewContainer.h"

using namespace qgui;

namespace {

// The page button lit while a page is shown: mixer, browser, sequencer, edit, setup.
int32_t buttonOfPage(int32_t page)
{
    switch (page) {
    case pageMixer: return 0;
    case pageBrowser: return 1;
    case pageSequencer: return 2;
    case pageMelodyEdit:
    case pageDrumEdit: return 3;
    case pageSetup: return 4;
    default: return -1;
    }
}

} // namespace

bool Quorix_Editor::anyPageShown(std::initializer_list<int32_t> list) const
{
    for (int32_t page : list)
        if (pageShown[page])
            return true;
    return false;
}

void Quorix_Editor::hidePage(int32_t page)
{
    if (page < 0 || page >= editorPageCount)
        return;
    if (frame && frame->getFocusView())
        frame->setFocusView(nullptr);
    if (page == pageBrowserCategories)
        return;
    const int32_t button = buttonOfPage(page);
    if (button >= 0 && pageButtons[button]) {
        pageButtons[button]->setValue(0.0f);
        pageButtons[button]->invalid();
    }
    if (!pageShown[page])
        return;
    if (CViewContainer *container = pages[page]) {
        if (page == pageBrowser && pages[pageBrowserCategories])
            container->removeView(pages[pageBrowserCategories], false);
        if (frame)
            frame->removeView(container, false);
    }
    pageShown[page] = false;
    if (page == pageBrowser)
        lastPatchSpan = 0;
}

void Quorix_Editor::hideOtherPages(int32_t page)
{
    if (page == -1) {
        for (int32_t p = 0; p < editorPageCount; ++p)
            hidePage(p);
        return;
    }
    for (int32_t p = pageMixer; p < editorPageCount; ++p)
        if (p != page && !(page == pageBrowser && p == pageBrowserCategories))
            hidePage(p);
}

// The steps every view shares: a page already shown is shown afresh.
void Quorix_Editor::showPage(int32_t page)
{
    if (pageShown[page])
        hidePage(page);
    hideOtherPages(page);
    if (frame && pages[page]) {
        if (page == pageBrowser && pages[pageBrowserCategories])
            pages[page]->addView(pages[pageBrowserCategories]);
        frame->addView(pages[page]);
    }
    const int32_t button = buttonOfPage(page);
    if (button >= 0 && pageButtons[button])
        pageButtons[button]->setValue(1.0f);
    pageShown[page] = true;
}

void Quorix_Editor::showMainPages()
{
    for (int32_t page : {pageChannelList, pageKeyboard}) {
        if (frame && pages[page] && !pageShown[page])
            frame->addView(pages[page]);
        pageShown[page] = true;
    }
    engine->getChannelPatchSource(currentChannel, &browserCategory, &browserEntry);
}

void Quorix_Editor::showMixerPage()
{
    showPage(pageMixer);
    lcdEnabled = false;
    engine->applyChannelSettings(-1, false);
    lcdEnabled = true;
    refreshAssignmentOverlay(true);
    onPageShown(pageMixer);
}

void Quorix_Editor::showBrowserPage()
{
    showPage(pageBrowser);
    if (loadOnSelectButton)
        loadOnSelectButton->setValue(configurationCopy.loadOnSelect ? 1.0f : 0.0f);
    browserCategory = -1;
    browserEntry = -1;
    onProgramChanged(-1);
    refreshAssignmentOverlay(true);
    onPageShown(pageBrowser);
}

void Quorix_Editor::showSequencerPage()
{
    showPage(pageSequencer);
    if (followButton)
        followButton->setValue(configurationCopy.seqFollowPlayback ? 1.0f : 0.0f);
    if (!engineBulkLoading)
        engine->applySequencerParameters(currentChannel, false);
    refreshAssignmentOverlay(true);
    onPageShown(pageSequencer);
}

void Quorix_Editor::showEditPage(bool reapply)
{
    const int32_t mode = engine->getChannelMode(currentChannel);
    const int32_t page = mode == 1 ? pageDrumEdit : pageMelodyEdit;
    lcdEnabled = false;
    showPage(page);
    shownEditMode = mode;
    if (reapply) {
        engine->applyChannelSettings(currentChannel, false);
        if (mode == 1) {
            // The cell of the slot the page edits is lit from the start, not only after a click.
            clearDrumSlotSelection();
            const int32_t slot = engine->getSelectedDrumSlot(currentChannel);
            if (slot >= 0 && slot < drumSlotCount && drumSelectionLeds[slot]) {
                drumSelectionLeds[slot]->setValue(1.0f);
                drumSelectionLeds[slot]->invalid();
            }
        }
        engine->applyInstrumentParameters(currentChannel, false, false);
        clearLcd();
    }
    lcdEnabled = true;
    refreshAssignmentOverlay(true);
    onPageShown(page);
}

void Quorix_Editor::showSetupPage()
{
    showPage(pageSetup);
    refreshSetupPage();
    refreshAssignmentOverlay(true);
    onPageShown(pageSetup);
}

void Quorix_Editor::showReturnPage()
{
    showMainPages();
    switch (engine->getReturnPage()) {
    case 1: showBrowserPage(); break;
    case 2: showSequencerPage(); break;
    case 3: showEditPage(true); break;
    case 4: showSetupPage(); break;
    default: showMixerPage(); break;
    }
    engine->applyProgram(false);
    refreshAll();
    int32_t category = -1, entry = -1;
    if (engine->getChannelPatchSource(0, &category, &entry))
        postMessage(editorTag::programName, uint64_t(uint32_t(category + 1)));
}
