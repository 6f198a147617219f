// The browser (pages 3 and 4): the patch categories in a scrolling list, the entries of the selected
// one beside it, each painted in its patch colour; the program menu of a channel, the save menu into
// the user banks and the colour menu of an entry.
//
// The category table is the process's (banks/PatchBanks.h) and is only read here, except an entry's
// colour. browserCategory and browserEntry are the selection painted on the lists: -1 when none.
#include "editor/EditorBuild.h"
#include "editor/Quorix_Editor.h"

#include "banks/PatchBanks.h"
#include "editor-framework/controls/vgcButtons.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "engine/Quorix.h"
#include "foundation/podoMenu.h"
#include "foundation/podoWnd.h"
#include "gui/CScrollView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace qgui;

namespace {

const char *const caption = "Kestrane Quorix";

// Category numbers from here on are user banks.
constexpr int32_t firstUserBankNumber = 120;
// Rows of the category list in view; it scrolls when there are more.
constexpr int32_t visibleCategoryRows = 26;
// Where the pages sit in the window (unzoomed): the menus open beside their controls.
constexpr int32_t keyboardPageTop = 446;
constexpr int32_t browserPageLeft = 157;

// The browser's option button: the setup page's option of the same tag, loading on select.
constexpr int32_t loadOnSelectTag = 29223;

// Save menu ids: (category + 128 for a single patch) × 128 + entry + 1.
constexpr uint32_t patchIdOffset = 128;

// A stored 24-byte name, terminated.
struct Name {
    char text[banks::kNameSize + 1] = {};
    explicit Name(const char *field) { std::memcpy(text, field, banks::kNameSize); }
};

PatchCategory *categoryAt(int32_t index)
{
    if (!patchCategories || index < 0 || index >= numPatchCategories)
        return nullptr;
    return &patchCategories[index];
}

int32_t entryCount(int32_t category)
{
    const PatchCategory *c = categoryAt(category);
    return c && c->patches ? std::clamp(c->numPatches, 0, banks::kMaxPatchesPerCategory) : 0;
}

PatchRecord *patchAt(int32_t category, int32_t entry)
{
    if (entry < 0 || entry >= entryCount(category))
        return nullptr;
    return &patchCategories[category].patches[entry];
}

// The index of a category number; -1 for a number no loaded category carries.
int32_t categoryOfNumber(int32_t number)
{
    if (number < 0 || number >= banks::kBankNumberCount)
        return -1;
    const int32_t index = patchCategoryIndex[number];
    return categoryAt(index) ? index : -1;
}

// 1 for a single patch, 2 for a combi; 2 more when a channel runs its sequencer.
int16_t defaultColour(const PatchRecord &patch)
{
    const int32_t channels = patch.channels ? std::max<int32_t>(patch.numChannels, 0) : 0;
    bool sequenced = false;
    for (int32_t c = 0; c < channels; ++c)
        if (patch.channels[c].numValues > banks::kSeqOnValue && patch.channels[c].values[banks::kSeqOnValue] >= 0.5f)
            sequenced = true;
    return int16_t((channels > 1 ? 2 : 1) + (sequenced ? 2 : 0));
}

// Columns of 32 items, a separator before each further group of 8.
podoMenuFlags entryFlags(int32_t k)
{
    if (k > 0 && k % 32 == 0)
        return podo::menuNewColumn;
    if (k > 0 && k % 8 == 0)
        return podo::menuSeparator;
    return 0;
}

// One submenu per user bank: ids (offset + category) × 128 + entry + 1; (category, entry) ticked.
podoMenu *buildBankEntryMenu(podoWnd *owner, uint32_t offset, int32_t category, int32_t entry)
{
    auto *menu = new podoMenu(owner);
    int32_t previous = numPatchCategories > 0 && patchCategories ? patchCategories[0].number : 0;
    for (int32_t i = 0; i < numPatchCategories && patchCategories; ++i) {
        const PatchCategory &c = patchCategories[i];
        const int32_t gap = c.number - previous;
        previous = c.number;
        if (c.number < firstUserBankNumber)
            continue;
        auto *bank = new podoMenu(owner);
        const int32_t count = entryCount(i);
        for (int32_t k = 0; k < count; ++k) {
            char text[48];
            std::snprintf(text, sizeof text, "%03d %s", k, Name(c.patches[k].name).text);
            bank->addItem(entryFlags(k), (offset + uint32_t(i)) * 128 + uint32_t(k) + 1, podoStr(text));
        }
        if (i == category && entry >= 0 && entry < count)
            bank->check((offset + uint32_t(i)) * 128 + uint32_t(entry) + 1, true);
        char text[40];
        std::snprintf(text, sizeof text, "%03d %s", c.number, Name(c.name).text);
        menu->appendSubmenu(gap > 1 ? podo::menuSeparator : 0, bank, podoStr(text));
        if (i == category)
            menu->checkSubmenu(bank, true);
    }
    return menu;
}

} // namespace

void Quorix_Editor::buildBrowserPage()
{
    pageControlRange[pageBrowser].first = uint32_t(getControlCount());
    for (int32_t i = 0; i < browserRowCount; ++i) {
        const int32_t x = 110 * (i / 32), y = 25 + 13 * (i % 32);
        BrowserRow &row = entryRows[i];
        row.number = addTextLabel(x + 4, y, 19, 12, nullptr, editorTag::entryRow + i);
        char text[12];
        std::snprintf(text, sizeof text, "%03d", i);
        row.number->setPartText(text, 0);
        row.name = addTextLabel(x + 24, y, 89, 12, nullptr, editorTag::entryRow + i);
        row.name->setTextInsets(1, 0, 0, 0, false);
        row.name->setHoriAlign(kLeftText);
        for (vgcTextLabel *label : {row.number, row.name}) {
            named(label, "");
            label->setStyle(label->getStyle() | kDoubleClickStyle);
            label->setMouseEnabled(false); // until a category fills the row
        }
    }
    named(addKickButton(452, 414, "button-miniadd", editorTag::userFolder), "USER BANKS", rightOf, 90);
    loadOnSelectButton = named(addOnOffButton(452, 430, "button-minion", loadOnSelectTag), "LOAD ON SELECT", rightOf, 90);
    groupTitle(pageBrowser, 4, 12, 436, "PATCHES");
    groupTitle(pageBrowser, 452, 28, 102, "CATEGORIES");
    pageControlRange[pageBrowser].end = uint32_t(getControlCount());

    // The category list is built for the library loaded now; createPage sizes its scroll area alike.
    pageControlRange[pageBrowserCategories].first = uint32_t(getControlCount());
    categoryRowCount = patchCategories ? std::clamp(numPatchCategories, 0, browserRowCount) : 0;
    for (int32_t k = 0; k < categoryRowCount; ++k) {
        const PatchCategory &c = patchCategories[k];
        BrowserRow &row = categoryRows[k];
        row.number = addTextLabel(0, 14 * k, 19, 13, nullptr, editorTag::categoryRow + k);
        row.number->setFontAndStyle(sharedFontSmall, -1);
        char text[16];
        std::snprintf(text, sizeof text, "%03d", c.number);
        row.number->setPartText(text, 0);
        row.name = addTextLabel(20, 14 * k, 76, 13, nullptr, editorTag::categoryRow + k);
        row.name->setTextInsets(1, 0, 0, 0, false);
        row.name->setHoriAlign(kLeftText);
        row.name->setPartText(Name(c.name).text, 0);
        named(row.number, "");
        named(row.name, "");
        paintCategoryRow(k, false);
    }
    pageControlRange[pageBrowserCategories].end = uint32_t(getControlCount());
}

void Quorix_Editor::paintEntryRow(int32_t row, bool selected)
{
    if (row < 0 || row >= browserRowCount || !entryRows[row].name)
        return;
    const BrowserRow &r = entryRows[row];
    const CColor back = vgcSkinColor(row % 2 == 0 ? skinBackDefault : skinBackSecond);
    const PatchRecord *patch = patchAt(browserCategory, row);
    if (!patch) {
        r.name->setPartText("", 0);
        r.name->setBackColor(back);
        r.number->setPartColor(back, 0);
        r.number->setBackColor(back);
        return;
    }
    const CColor colour = patchColors[std::clamp<int32_t>(patch->colour, 0, 8)];
    paintRow(r, colour, back, selected);
}

void Quorix_Editor::paintCategoryRow(int32_t row, bool selected)
{
    if (row < 0 || row >= categoryRowCount || !categoryRows[row].name)
        return;
    const BrowserRow &r = categoryRows[row];
    const CColor back = vgcSkinColor(row % 2 == 0 ? skinBackDefault : skinBackSecond);
    const PatchCategory *category = categoryAt(row);
    const CColor colour = patchColors[category ? std::clamp<int32_t>(category->type, 0, 8) : 0];
    paintRow(r, colour, back, selected);
}

// A selected row is drawn in its colour with the row's back colour as text, others the other way round;
// a colour too close to the row's (a dark "black" on the dark rows) is made readable.
void Quorix_Editor::paintRow(const BrowserRow &r, CColor colour, CColor back, bool selected)
{
    const CColor fill = selected ? colour : back;
    r.name->setPartColor(editorbuild::readableColour(selected ? back : colour, fill), 0);
    r.name->setBackColor(fill);
    r.number->setPartColor(editorbuild::readableColour(patchColors[selected ? 10 : 9], fill), 0);
    r.number->setBackColor(fill);
}

// Keeps the selected category among the rows in view, moving the list as little as it can.
void Quorix_Editor::scrollToBrowserCategory()
{
    auto *scroll = dynamic_cast<CScrollView *>(pages[pageBrowserCategories]);
    if (!scroll || categoryRowCount <= visibleCategoryRows || browserCategory < 0)
        return;
    CScrollbar *bar = scroll->getVerticalScrollbar();
    if (!bar)
        return;
    const int32_t positions = categoryRowCount - visibleCategoryRows;
    int32_t top = int32_t(float(positions) * bar->getValueNormalized());
    if (top > browserCategory)
        top = browserCategory;
    else if (top <= browserCategory - visibleCategoryRows)
        top = browserCategory - visibleCategoryRows + 1;
    bar->setValueNormalized(std::clamp(float(top) / float(positions), 0.0f, 1.0f));
    scroll->valueChanged(bar);
    scroll->invalid();
}

void Quorix_Editor::showBrowserCategory(int32_t category, int32_t channel)
{
    if (channel < 0)
        channel = currentChannel;
    if (channel >= channelCount)
        return;
    if (category < 0) {
        for (int32_t k = 0; k < categoryRowCount; ++k)
            paintCategoryRow(k, false);
        const int32_t number = engine->getProgramBlock()->channels[channel].sourceCategory;
        category = categoryOfNumber(std::max(number, 0));
    } else if (!categoryAt(category)) {
        category = -1;
    }

    if (category != browserCategory) {
        paintCategoryRow(browserCategory, false);
        browserCategory = category;
        const int32_t count = entryCount(category);
        for (int32_t j = 0; j < browserRowCount; ++j) {
            BrowserRow &row = entryRows[j];
            if (!row.name)
                continue;
            if (j < count)
                row.name->setPartText(Name(patchCategories[category].patches[j].name).text, 0);
            paintEntryRow(j, false);
            row.name->setMouseEnabled(j < count);
            row.number->setMouseEnabled(j < count);
        }
    }
    // A channel whose sound came from a category that is not loaded selects nothing.
    if (browserCategory < 0) {
        browserEntry = -1;
        return;
    }
    paintCategoryRow(browserCategory, true);
    scrollToBrowserCategory();
    if (entryCount(browserCategory) == 0)
        podo::showError(podoStr("Patch bank version is not supported."),
                        podoStr("Please update Quorix to the latest version."), podoStr(caption), getWindow());
}

void Quorix_Editor::selectBrowserEntry(int32_t entry, int32_t channel, bool load, bool noLoad)
{
    if (channel < 0)
        channel = currentChannel;
    if (channel >= channelCount)
        return;
    if (browserCategory < 0)
        showBrowserCategory(-1, -1);
    const int32_t count = entryCount(browserCategory);
    if (entry < 0)
        entry = std::max<int32_t>(engine->getProgramBlock()->channels[channel].sourcePatch, 0);
    const int32_t index = std::min(entry, count - 1);
    if (index < 0) {
        // Nothing to select: a later move starts from the category's ends.
        browserEntry = -1;
    } else {
        if (index != browserEntry) {
            if (browserEntry < count)
                paintEntryRow(browserEntry, false);
            browserEntry = index;
        }
        paintEntryRow(browserEntry, true);
        if ((load || configurationCopy.loadOnSelect) && !noLoad)
            loadBrowserEntry(channel, browserCategory, browserEntry);
    }
    if (pageShown[pageBrowser])
        updateChannelButtons(-1);
}

int32_t Quorix_Editor::loadBrowserEntry(int32_t channel, int32_t category, int32_t entry)
{
    if (channel < 0)
        channel = currentChannel;
    const PatchRecord *patch = patchAt(category, entry);
    if (!patch || channel >= channelCount)
        return -1;
    // The channels a combi recalled here before, beyond the new patch, go back to their defaults.
    const int32_t span = lastPatchSpan;
    for (int32_t i = channel + std::max<int32_t>(patch->numChannels, 0); i < channel + span && i < channelCount; ++i) {
        engine->loadDefaultChannel(i, engine->getProgram());
        engine->applyChannelParameters(i, true, false);
        updateChannelButtons(i);
    }
    return engine->recallPatch(channel, category, entry);
}

void Quorix_Editor::moveBrowserSelection(int32_t delta, bool load)
{
    if (!categoryAt(browserCategory)) {
        browserCategory = -1;
        selectBrowserEntry(-1, -1, false, true);
        if (browserCategory < 0)
            return;
    }
    const int32_t c = browserCategory;
    const int32_t e = browserEntry;
    const int32_t count = entryCount(c);
    int32_t t = e + delta;
    if (t < 0) {
        if (e > 0) {
            t = 0;
        } else if (c > 0) {
            showBrowserCategory(c - 1, -1);
            t = entryCount(c - 1) - 1;
        } else {
            t = 0; // the first entry of the first category stays
        }
    } else if (t >= count) {
        if (e < count - 1) {
            t = count - 1;
        } else if (c + 1 < numPatchCategories) {
            showBrowserCategory(c + 1, -1);
            t = 0;
        } else {
            t = count - 1; // the last entry of the last category stays
        }
    }
    selectBrowserEntry(t, -1, load, !load);
}

void Quorix_Editor::onProgramChanged(int32_t channel)
{
    if (channel >= 0 && channel != currentChannel)
        return;
    showBrowserCategory(-1, currentChannel);
    selectBrowserEntry(-1, currentChannel, false, true);
}

int32_t Quorix_Editor::combiSpan()
{
    const PatchRecord *patch = patchAt(browserCategory, browserEntry);
    return patch ? patch->numChannels : 0;
}

void Quorix_Editor::showPatchName(int32_t category)
{
    const PatchCategory *c = categoryAt(category);
    if (c && patchLabel)
        setLabelText(patchLabel, Name(c->name).text);
}

void Quorix_Editor::getPatchLabelText(char *buffer, size_t size)
{
    if (!buffer || size == 0)
        return;
    buffer[0] = '\0';
    if (programNameField)
        std::snprintf(buffer, size, "%s", programNameField->getText().c_str());
}

void Quorix_Editor::showProgramMenu(int32_t channel)
{
    if (!frame || !editorOpen || channel < 0 || channel >= channelCount)
        return;
    podoMenu menu(getWindow());
    menu.addItem(0, 1, podoStr("<&empty>"));
    menu.appendSeparator();
    int32_t source = -1, sourceEntry = -1;
    const bool hasSource = engine->getChannelPatchSource(channel, &source, &sourceEntry);
    int32_t previous = numPatchCategories > 0 && patchCategories ? patchCategories[0].number : 0;
    for (int32_t i = 0; i < numPatchCategories && patchCategories; ++i) {
        const PatchCategory &c = patchCategories[i];
        auto *submenu = new podoMenu(getWindow());
        const int32_t count = entryCount(i);
        for (int32_t k = 0; k < count; ++k) {
            const PatchRecord &patch = c.patches[k];
            char text[48];
            std::snprintf(text, sizeof text, "%03d %d %s", k, int(patch.numChannels), Name(patch.name).text);
            submenu->addItem(entryFlags(k), uint32_t(i * 128 + k + 2), podoStr(text));
        }
        char text[40];
        std::snprintf(text, sizeof text, "%03d %s", c.number, Name(c.name).text);
        menu.appendSubmenu(c.number - previous > 1 ? podo::menuSeparator : 0, submenu, podoStr(text));
        previous = c.number;
        if (hasSource && i == source) {
            menu.selectSubmenu(submenu);
            submenu->select(uint32_t(i * 128 + sourceEntry + 2));
        }
    }
    if (!hasSource)
        menu.select(1);

    CRect r;
    scaleRect(r, channelControls[channel][nameField], 0, 0);
    const uint32_t id = menu.track(int32_t(r.right), int32_t(r.top), false);
    if (id == 0)
        return;
    lcdEnabled = false;
    clearLcd();
    if (id == 1) {
        engine->loadDefaultChannel(channel, engine->getProgram());
        engine->applyChannelParameters(channel, true, false);
        updateChannelButtons(channel);
    } else {
        const int32_t category = int32_t(id - 2) / 128, entry = int32_t(id - 2) % 128;
        if (patchAt(category, entry) && engine->recallPatch(channel, category, entry) == 0) {
            // Repainted through the lists' own steps, so that the entry list shows this category.
            showBrowserCategory(category, channel);
            selectBrowserEntry(entry, channel, false, true);
        }
    }
    lcdEnabled = true;
}

void Quorix_Editor::showSaveMenu()
{
    if (!frame || !editorOpen)
        return;
    // The source is kept apart from the browser's selection: a dismissed menu leaves that alone.
    int32_t category = -1, entry = -1;
    if (!engine->getChannelPatchSource(currentChannel, &category, &entry))
        return;
    const PatchCategory *source = categoryAt(category);
    if (!source)
        return;
    podoMenu menu(getWindow());
    if (source->number >= firstUserBankNumber) {
        char program[banks::kNameSize + 1] = {};
        std::memcpy(program, engine->getProgramBlock()->name, banks::kNameSize);
        const podoStr channelName = engine->getChannelName(currentChannel);
        const Name bank(source->name);
        char text[128];
        const uint32_t id = uint32_t(category) * 128 + uint32_t(entry) + 1;
        std::snprintf(text, sizeof text, "Save to &Combi [%03d %s] %03d %s", source->number, bank.text, entry, program);
        menu.addItem(0, id, podoStr(text));
        std::snprintf(text, sizeof text, "Save to &Patch [%03d %s] %03d %s", source->number, bank.text, entry,
                      channelName.getNarrow());
        menu.addItem(0, id + patchIdOffset * 128, podoStr(text));
        menu.appendSeparator();
    }
    menu.appendSubmenu(0, buildBankEntryMenu(getWindow(), 0, category, entry), podoStr("Save as Combi..."));
    menu.appendSubmenu(0, buildBankEntryMenu(getWindow(), patchIdOffset, category, entry), podoStr("Save as Patch..."));

    CRect r;
    scaleRect(r, saveButton, 0, keyboardPageTop);
    const uint32_t id = menu.track(int32_t(r.left), int32_t(r.bottom), false);
    if (id == 0)
        return;
    const uint32_t f = (id - 1) / 128;
    const int32_t targetCategory = int32_t(f % 128), targetEntry = int32_t((id - 1) % 128);
    const bool combi = f < patchIdOffset;
    const PatchCategory *target = categoryAt(targetCategory);
    if (!target || target->number < firstUserBankNumber)
        return;
    if (targetCategory != category || targetEntry != entry) {
        const PatchRecord *old = patchAt(targetCategory, targetEntry);
        char detail[128];
        std::snprintf(detail, sizeof detail, "Save as %s to [%03d %s] %03d %s", combi ? "Combi" : "Patch",
                      target->number, Name(target->name).text, targetEntry, old ? Name(old->name).text : "");
        if (!podo::askError(podoStr("Are you sure?"), podoStr(detail), podoStr(caption)))
            return;
    }
    const int32_t first = engine->storePatch(targetCategory, targetEntry, combi);
    if (first >= 0) {
        engine->saveUserBanks(targetCategory);
        selectChannel(first);
    }
    browserCategory = -1;
    showBrowserCategory(-1, -1);
    selectBrowserEntry(-1, -1, false, true);
}

void Quorix_Editor::showColorMenu(int32_t entry)
{
    if (!frame || !editorOpen)
        return;
    const PatchRecord *patch = patchAt(browserCategory, entry);
    if (!patch)
        return;
    static const char *const names[9] = {"Gray  \t&1",  "Black \t&2", "Blue  \t&3", "Green \t&4", "Red   \t&5",
                                         "Orange\t&6", "Purple\t&7", "Cyan  \t&8", "Olive \t&9"};
    podoMenu menu(getWindow());
    for (int32_t colour = 8; colour >= 0; --colour)
        menu.addItem(0, uint32_t(colour + 1), podoStr(names[colour]));
    menu.select(uint32_t(std::clamp<int32_t>(patch->colour, 0, 8) + 1));
    menu.appendSeparator();
    menu.addItem(0, 10, podoStr("Reset colors"));
    menu.appendSeparator();
    menu.addItem(0, 11, podoStr("Set as initial preset"));

    CRect r;
    scaleRect(r, entryRows[entry].name, browserPageLeft, 0);
    const uint32_t id = menu.track(int32_t(r.left), int32_t(r.bottom), false);
    if (id >= 1 && id <= 9) {
        setPatchColor(entry, int32_t(id) - 1, true);
    } else if (id == 10) {
        if (!podo::askError(podoStr("Are you sure?"), podoStr("Reset Colors in This Category Only"), podoStr(caption)))
            return;
        // Written straight into the records and painted once: the refresh below loads at most once.
        const int32_t count = entryCount(browserCategory);
        for (int32_t j = 0; j < count; ++j) {
            PatchRecord &p = patchCategories[browserCategory].patches[j];
            p.colour = defaultColour(p);
        }
        engine->writePatchColors();
        browserCategory = -1;
        showBrowserCategory(-1, -1);
        selectBrowserEntry(-1, -1, false, false);
    } else if (id == 11) {
        engine->setInitialPreset(browserCategory, entry);
    }
}

void Quorix_Editor::setPatchColor(int32_t entry, int32_t colour, bool write)
{
    PatchRecord *patch = patchAt(browserCategory, entry);
    if (!patch || colour < 0 || colour > 8)
        return;
    patch->colour = int16_t(colour);
    const int32_t selected = browserEntry;
    if (entry != selected)
        paintEntryRow(entry, false);
    browserEntry = -1;
    selectBrowserEntry(selected, -1, false, false);
    if (write)
        engine->writePatchColors();
}

namespace editorbuild {

namespace {

double luminance(const CColor &c)
{
    auto channel = [](uint8_t v) {
        const double x = v / 255.0;
        return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red) + 0.7152 * channel(c.green) + 0.0722 * channel(c.blue);
}

} // namespace

double contrastRatio(const CColor &a, const CColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

CColor readableColour(const CColor &text, const CColor &back)
{
    constexpr double wanted = 4.5;
    if (contrastRatio(text, back) >= wanted)
        return text;
    const CColor target = contrastRatio(kWhiteCColor, back) >= contrastRatio(kBlackCColor, back) ? kWhiteCColor : kBlackCColor;
    CColor c = text;
    for (int32_t step = 1; step <= 20; ++step) {
        const double t = step / 20.0;
        auto mix = [t](uint8_t from, uint8_t to) { return uint8_t(std::lround(from + (to - from) * t)); };
        c = CColor{mix(text.red, target.red), mix(text.green, target.green), mix(text.blue, target.blue), text.alpha};
        if (contrastRatio(c, back) >= wanted)
            break;
    }
    return c;
}

} // namespace editorbuild
