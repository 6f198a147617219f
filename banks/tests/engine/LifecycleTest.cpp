// An instance's life with the library: the initial preset recalled on open, an open without an
// editor, the shared files saved by the last instance only, colours kept across a restart, and a
// user bank that cannot be saved.
#include "banks/PatchColours.h"
#include "banks/tests/BankTestLibrary.h"
#include "engine/DefaultProgram.h"
#include "engine/ParameterIndex.h"
#include "engine/tests/EngineTestSupport.h"
#include "foundation/podoWnd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace enginetest;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> boxes;
int32_t recordBox(podoWnd *, const podoStr &caption, const podoStr &text, int32_t)
{
    boxes.push_back(std::string(caption.getNarrow()) + "|" + text.getNarrow());
    return podo::idOk;
}

constexpr int32_t kMachine = 0x10000, kUser = 0x10001;

class NoEditorQuorix : public TestQuorix
{
public:
    Quorix_Editor *createEditor() override { return nullptr; }
};

class Lifecycle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::error_code ignored;
        fs::remove_all(userFolder(), ignored);
        boxes.clear();
        podo::setMessageBoxHook(recordBox);
        ASSERT_TRUE(content.write(lib.setup.folder, banks::kLittleEndianMark));
        // Category 12 with 35 patches "n0".."n34".
        PatchCategory twelve{};
        twelve.number = 12;
        banks::copyNameField(twelve.name, "Many");
        std::vector<PatchRecord> patches(35);
        ChannelProgram channel{};
        channel.numValues = 727;
        for (size_t j = 0; j < patches.size(); ++j) {
            banks::copyNameField(patches[j].name, ("n" + std::to_string(j)).c_str());
            patches[j].numChannels = 1;
            patches[j].channels = &channel;
        }
        twelve.patches = patches.data();
        twelve.numPatches = 35;
        ASSERT_TRUE(banks::writePatchFile(lib.setup.folder, twelve, banks::kLittleEndianMark));
        resetRegistry();
    }
    void TearDown() override
    {
        podo::setMessageBoxHook(nullptr);
        resetRegistry("");
    }
    // Forgets every registry value, then names the application folder.
    void resetRegistry(const char *appFolder = nullptr)
    {
        std::error_code ignored;
        fs::remove_all(testHome() + "/registry", ignored);
        KestraneVST identity;
        ASSERT_TRUE(identity.writeMachineRegistryString("Path", appFolder ? podoStr(appFolder) : lib.setup.folder));
    }
    static void setPreset(int32_t selector, const char *text)
    {
        KestraneVST identity;
        ASSERT_TRUE(identity.writeRegistryString(selector, "Initial Preset", text));
    }
    // The category number and patch index channel 0's sound came from, or -1/-1.
    static std::pair<int32_t, int32_t> channelZeroSource(TestQuorix &q)
    {
        int32_t category = -1, patch = -1;
        if (!q.getChannelPatchSource(0, &category, &patch))
            return {-1, -1};
        return {patchCategories[category].number, patch};
    }
    static bool userFileExists(const char *name) { return fs::exists(userFolder() + name); }

    LibraryFolder lib;
    TestLibrary content;
};

} // namespace

TEST_F(Lifecycle, OpenRecallsTheInitialPresetTheRegistryNames)
{
    struct Case {
        const char *machine, *user;
        std::pair<int32_t, int32_t> recalled;
    };
    const Case cases[] = {
        {nullptr, nullptr, {50, 0}},
        {"012034", nullptr, {12, 34}},
        {"012034", "050001", {50, 1}},
        {nullptr, "12007 and more", {12, 7}},
        {nullptr, "5000000", {50, 0}}, // category 5000: beyond the number table
        {nullptr, "-5", {50, 0}},      // patch -5
        {"999999999999", nullptr, {50, 0}},
        {nullptr, "none", {-1, -1}},   // no number: category 0, which this library lacks
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.machine ? c.machine : "-") << " / " << (c.user ? c.user : "-"));
        resetRegistry();
        if (c.machine)
            setPreset(kMachine, c.machine);
        if (c.user)
            setPreset(kUser, c.user);
        TestQuorix q;
        q.openEditor();
        EXPECT_EQ(channelZeroSource(q), c.recalled);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Lifecycle, InitialPresetIsStoredAsCategoryNumberAndPatch)
{
    {
        TestQuorix q;
        EXPECT_TRUE(q.setInitialPreset(patchCategoryIndex[12], 5));
        EXPECT_FALSE(q.setInitialPreset(numPatchCategories, 5));
        EXPECT_FALSE(q.setInitialPreset(patchCategoryIndex[12], -1));
    }
    KestraneVST identity;
    podoStr text;
    ASSERT_TRUE(identity.readRegistryString(kUser, "Initial Preset", &text));
    EXPECT_EQ(text, podoStr("012005"));
    TestQuorix q;
    q.openEditor();
    EXPECT_EQ(channelZeroSource(q), (std::pair<int32_t, int32_t>{12, 5}));
}

TEST_F(Lifecycle, AnOpenWithoutAnEditorStillRecallsThePresetButSavesNothing)
{
    setPreset(kUser, "012003");
    {
        NoEditorQuorix q;
        fs::remove(userFolder() + "Quorix.plc");
        q.dispatcher(effOpen, 0, 0, nullptr, 0.0f);
        EXPECT_EQ(boxes, (std::vector<std::string>{"Kestrane Quorix|creator\n\neditor"}));
        EXPECT_TRUE(q.hasConstructionFailed());
        EXPECT_EQ(channelZeroSource(q), (std::pair<int32_t, int32_t>{12, 3})) << "the rest of the open ran";
        EXPECT_EQ(q.getAeffect()->flags & effFlagsHasEditor, 0);
    }
    EXPECT_EQ(patchCategories, nullptr) << "the library is freed all the same";
    for (const char *name : {"Quorix.con", "Quorix.atm", "Quorix.plc"})
        EXPECT_FALSE(userFileExists(name)) << name;
}

TEST_F(Lifecycle, OnlyTheLastInstanceSavesTheSharedFilesAndFreesTheLibrary)
{
    auto first = std::make_unique<TestQuorix>();
    EXPECT_TRUE(userFileExists("Quorix.plc")) << "no colour file yet: one is written from the library";
    auto second = std::make_unique<TestQuorix>();
    for (const char *name : {"Quorix.con", "Quorix.atm", "Quorix.plc"})
        fs::remove(userFolder() + name);

    PatchCategory *library = patchCategories;
    second.reset();
    EXPECT_EQ(patchCategories, library);
    for (const char *name : {"Quorix.con", "Quorix.atm", "Quorix.plc"})
        EXPECT_FALSE(userFileExists(name)) << name;

    first.reset();
    EXPECT_EQ(patchCategories, nullptr);
    EXPECT_EQ(numSampleBanks, 0);
    for (const char *name : {"Quorix.con", "Quorix.atm", "Quorix.plc"})
        EXPECT_TRUE(userFileExists(name)) << name;
}

TEST_F(Lifecycle, ColoursOfFactoryAndUserPatchesSurviveARestart)
{
    int32_t user = 0;
    {
        TestQuorix q;
        user = firstUserCategory + 2;
        patchCategories[patchCategoryIndex[50]].patches[1].colour = 6; // the browser's change
        patchCategories[user].patches[100].colour = 8;
        EXPECT_TRUE(q.writePatchColors());
        patchCategories[patchCategoryIndex[12]].patches[0].colour = 5; // saved by the last close
    }
    TestQuorix q;
    EXPECT_EQ(+patchCategories[patchCategoryIndex[50]].patches[1].colour, 6);
    EXPECT_EQ(+patchCategories[patchCategoryIndex[50]].patches[0].colour, 1) << "a single, as loaded";
    EXPECT_EQ(+patchCategories[user].patches[100].colour, 8);
    EXPECT_EQ(+patchCategories[patchCategoryIndex[12]].patches[0].colour, 5);
}

// A colour file the start refuses is the user's work all the same: it is kept under a backup name
// before the fresh one is written.
TEST_F(Lifecycle, ARefusedColourFileIsBackedUpBeforeItIsReplaced)
{
    { TestQuorix first; } // makes the user folder and its files
    const std::string colours = userFolder() + "Quorix.plc";
    const std::string damaged = "ORVANEX -Quorix    -not a colour file at all";
    std::ofstream(colours, std::ios::binary | std::ios::trunc) << damaged;
    {
        TestQuorix q;
    }
    std::vector<std::string> backups;
    for (const auto &entry : fs::directory_iterator(userFolder()))
        if (entry.path().filename().string().rfind("Quorix.plc.", 0) == 0)
            backups.push_back(entry.path().string());
    ASSERT_EQ(backups.size(), 1u);
    auto contents = [](const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(contents(backups[0]), damaged);
    EXPECT_NE(contents(colours), damaged) << "a fresh file in its place";

    // A start without the file writes one and backs nothing up.
    fs::remove(backups[0]);
    fs::remove(colours);
    { TestQuorix q; }
    EXPECT_TRUE(fs::exists(colours));
    size_t extra = 0;
    for (const auto &entry : fs::directory_iterator(userFolder()))
        extra += entry.path().extension() == ".bak";
    EXPECT_EQ(extra, 0u);
}

TEST_F(Lifecycle, AUserBankThatCannotBeSavedLeavesTheUserFolderInPlace)
{
    TestQuorix q;
    const podoStr folder = q.getUserPath();
    const int32_t bank = firstUserCategory + 1;
    const std::string path = userFolder() + "121 User 2.usr";
    fs::remove(path);
    fs::create_directory(path); // nothing can be renamed over it
    EXPECT_FALSE(q.saveUserBanks(bank));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(q.getUserPath(), folder);
    EXPECT_TRUE(q.saveUserBanks(bank + 1));
    EXPECT_TRUE(userFileExists("122 User 3.usr"));
    EXPECT_EQ(q.saveAutomation(), 0);
    EXPECT_TRUE(userFileExists("Quorix.atm"));
    fs::remove(path);
}

TEST_F(Lifecycle, EmptyUserPatchesOfTheFirstStartHoldTheDefaultProgram)
{
    std::memset(static_cast<void *>(&defaultProgram), 0, sizeof defaultProgram); // as a new process has it
    TestQuorix q;
    ASSERT_TRUE(userFileExists("120 User 1.usr"));
    const PatchRecord &patch = patchCategories[firstUserCategory].patches[0];
    ASSERT_EQ(+patch.numChannels, 1);
    for (int32_t v = 0; v < banks::kChannelProgramValues; ++v)
        ASSERT_EQ(patch.channels[0].values[v], +defaultProgram.values[engine::parameterIndex(0, 17 + v)]) << v;
    for (int32_t g = 0; g < 8; ++g)
        EXPECT_EQ(patch.globals[g], +defaultProgram.values[engine::master::ChorusFirst + g]) << g;
    EXPECT_EQ(patch.globals[8], 0.0f);
    EXPECT_NE(+defaultProgram.values[engine::parameterIndex(0, engine::local::Volume)], 0.0f);
}
