// Drum slots: the process-wide clipboard between slots, channels and instances, the drum-slot file,
// and the cell menu's road to them.
#include "editor/tests/EditorTestSupport.h"

#include "engine/ParameterIndex.h"
#include "foundation/podoMenu.h"
#include "foundation/podoShell.h"
#include "foundation/podoWnd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace editor_drum_slots_test {

using namespace editortest;
using namespace engine;

namespace {

int32_t slotParameter(int32_t channel, int32_t slot, int32_t i) { return ch(channel, local::DrumWave + 17 * slot + i); }

struct DrumSlots : OpenEditor {
    void SetUp() override
    {
        OpenEditor::SetUp();
        drumSlotClipboard() = DrumSlotClipboard{}; // as in a freshly loaded module
        engineSets(ch(0, local::Mode), 1.0f);
    }
    // Distinct values for a slot's 17 parameters, each on a step the engine keeps exactly.
    void fill(Quorix &target, int32_t channel, int32_t slot, float start)
    {
        for (int32_t i = 0; i < 17; ++i)
            target.setParameterValue(slotParameter(channel, slot, i), values(start)[size_t(i)]);
    }
    std::vector<float> values(float start)
    {
        std::vector<float> v;
        for (int32_t i = 0; i < 17; ++i)
            v.push_back(i == 0 ? 0.0f : std::fmod(start + 0.0625f * float(i), 1.0f));
        return v;
    }
    std::vector<float> slot(Quorix &source, int32_t channel, int32_t s)
    {
        std::vector<float> v;
        for (int32_t i = 0; i < 17; ++i)
            v.push_back(source.getParameterValue(slotParameter(channel, s, i)));
        return v;
    }
    std::string file(const char *name) { return applicationFolder() + name; }
};

TEST_F(DrumSlots, CopyPasteAndSwapCarryTheSeventeenValues)
{
    fill(*engine, 0, 3, 0.125f);
    fill(*engine, 0, 9, 0.5f);
    const std::vector<float> three = slot(*engine, 0, 3), nine = slot(*engine, 0, 9);
    ASSERT_NE(three, nine);

    editor->copyDrumSlot(3);
    EXPECT_TRUE(drumSlotClipboard().filled);
    // Another instance of the process pastes what this one copied.
    EditorEngine other;
    other.dispatcher(effOpen, 0, 0, nullptr, 0.0f);
    other.setParameterValue(ch(0, local::Mode), 1.0f);
    ASSERT_NE(other.editor(), nullptr);
    other.editor()->pasteDrumSlot(40);
    EXPECT_EQ(slot(other, 0, 40), three);

    // Swapping twice restores the slot and the clipboard.
    editor->swapDrumSlot(9);
    EXPECT_EQ(slot(*engine, 0, 9), three);
    editor->swapDrumSlot(9);
    EXPECT_EQ(slot(*engine, 0, 9), nine);
    editor->pasteDrumSlot(9);
    EXPECT_EQ(slot(*engine, 0, 9), three);
}

TEST_F(DrumSlots, TheFileHoldsTheMarkerAndTheValuesInTheWritersOrder)
{
    fill(*engine, 0, 5, 0.25f);
    engine->setParameterValue(slotParameter(0, 5, 16), 1.0f);
    ASSERT_EQ(editor->writeDrumSlotFile(5, podoStr(file("five.pds").c_str())), 0);
    std::ifstream in(file("five.pds"), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 69u);
    EXPECT_EQ(uint8_t(bytes[0]), engine->getByteOrderMark());
    float last;
    std::memcpy(&last, bytes.data() + 1 + 4 * 16, 4);
    EXPECT_EQ(last, 1.0f);

    ASSERT_EQ(editor->readDrumSlotFile(12, podoStr(file("five.pds").c_str())), 0);
    EXPECT_EQ(slot(*engine, 0, 12), slot(*engine, 0, 5));
    // Under a file no path can be opened or created.
    EXPECT_EQ(editor->readDrumSlotFile(12, podoStr(file("five.pds/none.pds").c_str())), 3);
    EXPECT_EQ(editor->writeDrumSlotFile(12, podoStr(file("five.pds/none.pds").c_str())), 3);
}

TEST_F(DrumSlots, ForeignFilesAreByteReversedAndUntrustedValuesLeftOut)
{
    auto write = [&](const char *name, uint8_t marker, const std::vector<float> &v, bool reversed, size_t cut) {
        std::string bytes(1, char(marker));
        for (float f : v) {
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            if (reversed)
                bits = __builtin_bswap32(bits);
            bytes.append(reinterpret_cast<const char *>(&bits), 4);
        }
        std::ofstream(file(name), std::ios::binary).write(bytes.data(), std::streamsize(bytes.size() - cut));
        return podoStr(file(name).c_str());
    };
    const std::vector<float> wanted = values(0.375f);
    const uint8_t foreign = uint8_t(engine->getByteOrderMark() ^ 0xFF);
    ASSERT_EQ(editor->readDrumSlotFile(2, write("foreign.pds", foreign, wanted, true, 0)), 0);
    EXPECT_EQ(slot(*engine, 0, 2), wanted);

    // A short file sets only the values it holds completely; NaN and values out of range are not taken.
    fill(*engine, 0, 6, 0.0f);
    std::vector<float> hostile = values(0.75f);
    hostile[3] = std::nanf("");
    hostile[4] = 7.0f;
    ASSERT_EQ(editor->readDrumSlotFile(6, write("short.pds", engine->getByteOrderMark(), hostile, false, 6)), 0);
    const std::vector<float> got = slot(*engine, 0, 6), before = values(0.0f);
    for (int32_t i = 0; i < 17; ++i) {
        SCOPED_TRACE(i);
        const float expected = i == 3 || i >= 15 ? before[size_t(i)] : i == 4 ? 1.0f : hostile[size_t(i)];
        EXPECT_EQ(got[size_t(i)], expected);
    }
}

// The menu's answer and what it showed.
uint32_t menuAnswer = 0;
std::vector<uint32_t> menuStates;
std::string dialogAnswer;

uint32_t chooseFromMenu(const podoMenu &menu, int32_t, int32_t)
{
    menuStates.clear();
    for (int32_t i = 0; i < menu.itemCount(); ++i)
        menuStates.push_back(menu.itemAt(i).state);
    return menuAnswer;
}

bool answerDialog(const podo::FileDialogRequest &, podoStr &chosen)
{
    if (dialogAnswer.empty())
        return false;
    chosen = podoStr(dialogAnswer.c_str());
    return true;
}

int32_t errorBoxes = 0;
int32_t countBox(podoWnd *, const podoStr &, const podoStr &, int32_t)
{
    ++errorBoxes;
    return 1;
}

TEST_F(DrumSlots, TheCellMenuOffersPasteOnlyAfterACopyAndReachesTheFiles)
{
    const auto previousMenu = podo::setMenuChooser(chooseFromMenu);
    const auto previousDialog = podo::setFileDialogHook(answerDialog);
    const auto previousBox = podo::setMessageBoxHook(countBox);
    engineSets(master::Page, 0.75f);
    qgui::CControl *cell = editor->drumSelectionLeds[4];

    fill(*engine, 0, 4, 0.125f);
    menuAnswer = 0; // dismissed: nothing changes
    editor->showDrumSlotMenu(cell, 4);
    ASSERT_EQ(menuStates.size(), 6u);
    EXPECT_TRUE(menuStates[1] & podo::itemGrayed);
    EXPECT_TRUE(menuStates[2] & podo::itemGrayed);
    EXPECT_FALSE(drumSlotClipboard().filled);

    menuAnswer = 11;
    editor->showDrumSlotMenu(cell, 4);
    menuAnswer = 0;
    editor->showDrumSlotMenu(cell, 4);
    EXPECT_FALSE(menuStates[1] & podo::itemGrayed);

    dialogAnswer = file("menu.pds");
    menuAnswer = 22;
    editor->showDrumSlotMenu(cell, 4);
    EXPECT_EQ(errorBoxes, 0);
    fill(*engine, 0, 4, 0.5f);
    menuAnswer = 21;
    editor->showDrumSlotMenu(cell, 4);
    EXPECT_EQ(slot(*engine, 0, 4), values(0.125f));
    podoStr remembered;
    ASSERT_TRUE(engine->readMachineRegistryString(podoStr("Path - Drum Slot Load"), &remembered));
    EXPECT_EQ(std::string(remembered.getNarrow()), file("menu.pds"));

    dialogAnswer = file("menu.pds/none.pds");
    editor->showDrumSlotMenu(cell, 4);
    EXPECT_EQ(errorBoxes, 1);
    EXPECT_EQ(slot(*engine, 0, 4), values(0.125f));

    podo::setMenuChooser(previousMenu);
    podo::setFileDialogHook(previousDialog);
    podo::setMessageBoxHook(previousBox);
}

} // namespace

} // namespace editor_drum_slots_test
